// The elevation profile of one track: altitude in metres against the
// distance along it in km, as the map's reader reduced it (figures.js), so
// that a track of millions of points draws as a few thousand. A point chosen
// on it, by the pointer or with the arrow keys, is marked on the profile and
// handed to `marked(coordinate)` to be marked on the map; `markNear` marks
// the point of the track nearest a place on the map.
import uPlot from 'uplot';
import { kmText, metresText } from './figures.js';

const HEIGHT = 220;
const STEPS = 200; // presses of an arrow key from one end of the track to the other

/// The point `metres` along `line`: [x, y, altitude], between the two points it falls between.
function pointAt(line, metres) {
  const { along } = line.figures;
  let low = 0, high = along.length - 1;
  while (low < high) {
    const middle = (low + high) >> 1;
    if (along[middle] < metres) low = middle + 1;
    else high = middle;
  }
  const k = Math.max(1, low), xyz = line.xyz;
  if (along.length < 2) return [xyz[0], xyz[1], xyz[2]];
  const f = Math.min(1, Math.max(0, (metres - along[k - 1]) / (along[k] - along[k - 1]) || 0));
  return [0, 1, 2].map((c) => xyz[3 * k - 3 + c] + f * (xyz[3 * k + c] - xyz[3 * k - 3 + c]));
}

/// The distance along `line` to its point nearest `coordinate`.
function metresNear(line, [x, y]) {
  let best = 0, nearest = Infinity;
  for (let i = 0, xyz = line.xyz; i < xyz.length; i += 3) {
    const d = (xyz[i] - x) ** 2 + (xyz[i + 1] - y) ** 2;
    if (d < nearest) [nearest, best] = [d, i / 3];
  }
  return line.figures.along[best] ?? 0;
}

/// What the profile shows, in words.
function summary(name, { figures, profile }) {
  const { km, metres } = profile;
  const at = (value) => kmText(1000 * km[metres.indexOf(value)]);
  return (
    `${name}: ${figures.along.length.toLocaleString('en')} points over ${kmText(figures.length)}, ` +
    `from ${metresText(metres[0])} at the start to ${metresText(metres.at(-1))} at the end; ` +
    `lowest ${metresText(figures.lowest)} at ${at(figures.lowest)}, ` +
    `highest ${metresText(figures.highest)} at ${at(figures.highest)}.`
  );
}

export function createProfile(box, marked) {
  const [title, chart, text, readout] = ['title', 'chart', 'summary', 'readout'].map((p) => box.querySelector(`.profile-${p}`));
  let line = null, at = null; // the track shown, and the metres along it marked
  const plot = new uPlot(
    {
      width: 600,
      height: HEIGHT,
      scales: { x: { time: false } },
      series: [{ label: 'Distance' }, { label: 'Altitude', stroke: '#1457d6', width: 1.5, fill: 'rgba(20,87,214,0.12)' }],
      axes: [{ label: 'Distance (km)' }, { label: 'Altitude (m)', size: 60 }],
      legend: { show: false },
      cursor: { drag: { x: false, y: false, setScale: false }, points: { show: false } },
      hooks: {
        setCursor: [(u) => u.cursor.left >= 0 && line && mark(1000 * u.posToVal(u.cursor.left, 'x'))],
        draw: [(u) => at !== null && drawMark(u)],
      },
    },
    [[], []],
    chart,
  );

  function drawMark(u) {
    const x = u.valToPos(at / 1000, 'x', true);
    u.ctx.save();
    u.ctx.strokeStyle = '#000';
    u.ctx.lineWidth = 2 * devicePixelRatio;
    u.ctx.beginPath();
    u.ctx.moveTo(x, u.bbox.top);
    u.ctx.lineTo(x, u.bbox.top + u.bbox.height);
    u.ctx.stroke();
    u.ctx.restore();
  }

  /// Marks the point `metres` along the track on the profile and the map.
  function mark(metres) {
    at = Math.min(line.figures.length, Math.max(0, metres));
    const point = pointAt(line, at);
    readout.textContent = `Marked: ${kmText(at)} along, ${metresText(point[2])}.`;
    plot.redraw(false, false);
    marked(point.slice(0, 2));
  }

  new ResizeObserver(() => line && plot.setSize({ width: chart.clientWidth, height: HEIGHT })).observe(chart);
  chart.addEventListener('keydown', (event) => {
    const step = { ArrowLeft: -1, ArrowDown: -1, ArrowRight: 1, ArrowUp: 1, Home: -STEPS, End: STEPS }[event.key];
    if (!line || !step) return;
    event.preventDefault();
    mark((at ?? 0) + (step * line.figures.length) / STEPS);
  });

  return {
    /// The track shown, or null.
    get line() {
      return line;
    },

    /// Shows the profile of `shown` (a line as the map's reader posts it), named `name`.
    show(name, shown) {
      [line, at] = [shown, null];
      box.hidden = false;
      title.textContent = `Elevation profile of ${name}`;
      text.textContent = summary(name, shown);
      readout.textContent = '';
      plot.setSize({ width: chart.clientWidth || 600, height: HEIGHT });
      plot.setData([shown.profile.km, shown.profile.metres]);
      marked(null);
    },

    /// Marks the point of the track shown nearest `coordinate` on the map.
    markNear(coordinate) {
      if (line) mark(metresNear(line, coordinate));
    },

    clear() {
      [line, at] = [null, null];
      box.hidden = true;
    },
  };
}
