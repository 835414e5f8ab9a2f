// What the documents hold, drawn straight from the reader's arrays as a
// layer of the map: each line at the simplification made for the zoom level
// shown, markers as pins with their names (a name that would overlap one
// drawn before is left out), or as dots while more are in view than pins
// can be told apart. Only what lies in view is drawn. One point may be
// marked (a point of a track chosen on its profile): a ring on top of all.
import Layer from 'ol/layer/Layer.js';
import { createEmpty, extend, isEmpty } from 'ol/extent.js';

const PIN_LIMIT = 1500; // markers in view above which they are drawn as dots
const WORLD = 2 * 20037508.342789244; // the width of the world in map units
const MARGIN = 40; // pixels beyond the view still drawn, for pins and labels
const DOT = 2; // pixels of a dot
const LABEL_CELL = 64; // pixels of the grid that finds overlapping labels
const FONT = '12px sans-serif';
const PIN_PATH = 'M10 27C10 27 1 15 1 9.5a9 9 0 0 1 18 0C19 15 10 27 10 27z';

/// The pin, 20 by 28 pixels with its point at the bottom, drawn once at `ratio`.
function pinImage(ratio) {
  const canvas = document.createElement('canvas');
  canvas.width = 20 * ratio;
  canvas.height = 28 * ratio;
  const context = canvas.getContext('2d');
  context.scale(ratio, ratio);
  context.fillStyle = '#d33';
  context.strokeStyle = '#722';
  context.fill(new Path2D(PIN_PATH));
  context.stroke(new Path2D(PIN_PATH));
  context.fillStyle = '#fff';
  context.beginPath();
  context.arc(10, 9.5, 3.5, 0, 2 * Math.PI);
  context.fill();
  return canvas;
}

/// The name of marker `i` of `batch`.
const nameOf = (batch, i) => batch.names.slice(i ? batch.ends[i - 1] : 0, batch.ends[i]);

/// The horizontal offsets of the copies of the world that `extent` shows.
function worldOffsets(extent) {
  const offsets = [];
  const first = Math.floor((extent[0] + WORLD / 2) / WORLD);
  const last = Math.floor((extent[2] + WORLD / 2) / WORLD);
  for (let k = first; k <= last; k++) offsets.push(k * WORLD);
  return offsets;
}

/// Labels placed so far, found by the grid cells their boxes cover.
class Labels {
  constructor() {
    this.cells = new Map();
  }
  /// Takes the box [x0, y0, x1, y1] unless it overlaps one taken before;
  /// with `always` (a pin's box) whatever it overlaps.
  take(box, always = false) {
    const keys = [];
    for (let cx = Math.floor(box[0] / LABEL_CELL); cx <= Math.floor(box[2] / LABEL_CELL); cx++)
      for (let cy = Math.floor(box[1] / LABEL_CELL); cy <= Math.floor(box[3] / LABEL_CELL); cy++) keys.push(cx * 65536 + cy);
    for (const key of always ? [] : keys)
      for (const b of this.cells.get(key) ?? [])
        if (b[0] < box[2] && box[0] < b[2] && b[1] < box[3] && box[1] < b[3]) return false;
    for (const key of keys) {
      if (!this.cells.has(key)) this.cells.set(key, []);
      this.cells.get(key).push(box);
    }
    return true;
  }
}

export class MapData {
  constructor() {
    this.canvas = document.createElement('canvas');
    this.canvas.style.cssText = 'position:absolute;left:0;top:0;width:100%;height:100%';
    this.layer = new Layer({ render: (frame) => this.render(frame) });
    this.clear();
  }

  /// Forgets every document.
  clear() {
    this.markers = []; // batches: { document, names, ends, xyz, text } (see map-reader.js)
    this.lines = []; // { document, name, xyz, levels }
    this.count = 0;
    this.extent = createEmpty();
    this.dotsKey = null;
    this.mark = null;
    this.layer.changed();
  }

  /// Marks the point at `coordinate` ([x, y] in the map's projection), or nothing for null.
  setMark(coordinate) {
    this.mark = coordinate;
    this.layer.changed();
  }

  /// Adds what the reader posted: a batch of markers or a line.
  add(message) {
    if (message.type === 'markers') this.markers.push(message);
    else this.lines.push(message);
    this.count += message.type === 'markers' ? message.ends.length : 1;
    if (!isEmpty(message.extent)) extend(this.extent, message.extent);
    this.layer.changed();
  }

  /// The features as a KML reader gives them: name, geometry type and flat
  /// coordinates (x, y, altitude), in the order of the documents.
  features() {
    const points = this.markers.flatMap((m) =>
      Array.from(m.ends, (_, i) => {
        const coordinates = [...m.xyz.subarray(3 * i, 3 * i + 3)];
        return { document: m.document, name: nameOf(m, i), type: 'Point', coordinates };
      }),
    );
    const lines = this.lines.map((l) => ({ document: l.document, name: l.name, type: 'LineString', coordinates: [...l.xyz] }));
    return [...points, ...lines].sort((a, b) => a.document - b.document).map(({ document, ...f }) => f);
  }

  render(frame) {
    const [width, height] = frame.size;
    const ratio = frame.pixelRatio;
    if (this.canvas.width !== Math.round(width * ratio) || this.canvas.height !== Math.round(height * ratio)) {
      this.canvas.width = Math.round(width * ratio);
      this.canvas.height = Math.round(height * ratio);
    }
    if (this.pinRatio !== ratio) [this.pin, this.pinRatio] = [pinImage(ratio), ratio];
    const context = this.canvas.getContext('2d');
    context.setTransform(1, 0, 0, 1, 0, 0);
    context.clearRect(0, 0, this.canvas.width, this.canvas.height);
    context.setTransform(ratio, 0, 0, ratio, 0, 0);
    const t = frame.coordinateToPixelTransform;
    const view = { width, height, resolution: frame.viewState.resolution };
    this.shown = { view, worlds: worldOffsets(frame.extent), t };
    this.drawLines(context);
    this.drawMarkers(context);
    if (this.mark) this.drawMark(context);
    return this.canvas;
  }

  /// The coordinates of `line` to draw at the resolution shown, and their stride.
  level(line) {
    const fit = line.levels.filter((l) => l.resolution <= this.shown.view.resolution).pop();
    return fit ? [fit.xy, 2] : [line.xyz, 3];
  }

  drawLines(context) {
    const { view, worlds, t } = this.shown;
    context.strokeStyle = '#1457d6';
    context.lineWidth = 3;
    context.lineJoin = 'bevel'; // round joins take several times as long on dense tracks
    for (const line of this.lines) {
      const [flat, stride] = this.level(line);
      context.beginPath();
      for (const dx of worlds) {
        // A segment wholly beyond one side of the view is left out.
        let before = -1, open = false, segments = 0, px = 0, py = 0;
        for (let i = 0; i < flat.length; i += stride) {
          const x = t[0] * (flat[i] + dx) + t[2] * flat[i + 1] + t[4];
          const y = t[1] * (flat[i] + dx) + t[3] * flat[i + 1] + t[5];
          const side =
            (x < -MARGIN) | ((x > view.width + MARGIN) << 1) | ((y < -MARGIN) << 2) | ((y > view.height + MARGIN) << 3);
          if (before >= 0 && (side & before) === 0) {
            if (!open) context.moveTo(px, py);
            context.lineTo(x, y);
            open = true;
            // Many short paths draw far faster than one long one crossing itself.
            if (++segments % 256 === 0) {
              context.stroke();
              context.beginPath();
              context.moveTo(x, y);
            }
          } else open = false;
          before = side;
          px = x;
          py = y;
        }
      }
      context.stroke();
    }
  }

  drawMark(context) {
    const { worlds, t } = this.shown;
    context.lineWidth = 3;
    context.fillStyle = '#ffd400';
    context.strokeStyle = '#000';
    for (const dx of worlds) {
      context.beginPath();
      const [x, y] = [this.mark[0] + dx, this.mark[1]];
      context.arc(t[0] * x + t[2] * y + t[4], t[1] * x + t[3] * y + t[5], 7, 0, 2 * Math.PI);
      context.fill();
      context.stroke();
    }
  }

  /// Calls `each(x, y, batch, i)` for every marker in view, at its pixel.
  eachMarkerInView(each) {
    const { view, worlds, t } = this.shown;
    for (const batch of this.markers)
      for (const dx of worlds)
        for (let i = 0, xyz = batch.xyz; i < batch.ends.length; i++) {
          const x = t[0] * (xyz[3 * i] + dx) + t[2] * xyz[3 * i + 1] + t[4];
          const y = t[1] * (xyz[3 * i] + dx) + t[3] * xyz[3 * i + 1] + t[5];
          const inView = x >= -MARGIN && y >= -MARGIN && x <= view.width + MARGIN && y <= view.height + MARGIN;
          if (inView) each(x, y, batch, i);
        }
  }

  /// Whether at most PIN_LIMIT markers are in view.
  fewInView() {
    const { view, worlds, t } = this.shown;
    let inView = 0;
    for (const batch of this.markers)
      for (const dx of worlds)
        for (let i = 0, xyz = batch.xyz; i < xyz.length; i += 3) {
          const x = t[0] * (xyz[i] + dx) + t[2] * xyz[i + 1] + t[4];
          const y = t[1] * (xyz[i] + dx) + t[3] * xyz[i + 1] + t[5];
          if (x >= 0 && y >= 0 && x <= view.width && y <= view.height && ++inView > PIN_LIMIT) return false;
        }
    return true;
  }

  drawMarkers(context) {
    this.shown.pins = this.fewInView();
    if (!this.shown.pins) return this.drawDots(context);
    // Every pin first, then the names that overlap neither a pin nor a name.
    const labels = new Labels();
    this.eachMarkerInView((x, y) => {
      context.drawImage(this.pin, x - 10, y - 28, 20, 28);
      labels.take([x - 10, y - 28, x + 10, y], true);
    });
    context.font = FONT;
    context.textBaseline = 'middle';
    context.lineWidth = 3;
    context.strokeStyle = '#fff';
    context.fillStyle = '#222';
    this.eachMarkerInView((x, y, batch, i) => {
      const name = nameOf(batch, i);
      if (!name || !labels.take([x + 10, y - 27, x + 14 + context.measureText(name).width, y - 11])) return;
      context.strokeText(name, x + 12, y - 19);
      context.fillText(name, x + 12, y - 19);
    });
  }

  /// Dots written straight into the pixels (squares drawn one by one take
  /// hundreds of milliseconds by the ten thousand). While the view stays
  /// the same, only the markers added since are written.
  drawDots(context) {
    const { view, worlds, t } = this.shown;
    const [w, h] = [this.canvas.width, this.canvas.height];
    const key = [...t, w, h, ...worlds].join();
    if (key !== this.dotsKey) [this.dotsKey, this.dotPixels, this.dotBatches] = [key, new Uint32Array(w * h), 0];
    const pixels = this.dotPixels;
    const colour = new Uint32Array(new Uint8ClampedArray([0xdd, 0x33, 0x33, 0xff]).buffer)[0];
    const ratio = this.pinRatio;
    const size = Math.round(DOT * ratio);
    for (const batch of this.markers.slice(this.dotBatches))
      for (const dx of worlds)
        for (let i = 0, xyz = batch.xyz; i < xyz.length; i += 3) {
          const x = t[0] * (xyz[i] + dx) + t[2] * xyz[i + 1] + t[4];
          const y = t[1] * (xyz[i] + dx) + t[3] * xyz[i + 1] + t[5];
          if (!(x >= 0 && y >= 0 && x < view.width && y < view.height)) continue;
          const left = Math.min(w - size, Math.max(0, Math.round((x - DOT / 2) * ratio)));
          const top = Math.min(h - size, Math.max(0, Math.round((y - DOT / 2) * ratio)));
          for (let row = top * w + left; row < (top + size) * w; row += w)
            for (let k = row; k < row + size; k++) pixels[k] = colour;
        }
    this.dotBatches = this.markers.length;
    this.dots ??= document.createElement('canvas');
    if (this.dots.width !== w || this.dots.height !== h) [this.dots.width, this.dots.height] = [w, h];
    this.dots.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(pixels.buffer), w, h), 0, 0);
    context.drawImage(this.dots, 0, 0, view.width, view.height);
  }

  /// What is drawn at `pixel`: the nearest marker, { name, document, text:
  /// [start, end] }, else the nearest line within reach, { name, document,
  /// line } (line: as the reader posted it), or null.
  hit([cx, cy]) {
    if (!this.shown) return null;
    let best = null, nearest = Infinity;
    this.eachMarkerInView((x, y, batch, i) => {
      // A pin is hit anywhere on it, nearest its head; a dot a little around it.
      const [hx, hy] = this.shown.pins ? [x, y - 18] : [x, y];
      const reach = this.shown.pins ? cx >= x - 10 && cx <= x + 10 && cy >= y - 28 && cy <= y : true;
      const d = Math.hypot(cx - hx, cy - hy);
      if (reach && d < nearest && (this.shown.pins || d <= 2 * DOT)) {
        nearest = d;
        best = { name: nameOf(batch, i), document: batch.document, text: [batch.text[2 * i], batch.text[2 * i + 1]] };
      }
    });
    return best ?? this.hitLine(cx, cy);
  }

  hitLine(cx, cy) {
    const { worlds, t } = this.shown;
    const at = (x, y, dx) => [t[0] * (x + dx) + t[2] * y + t[4], t[1] * (x + dx) + t[3] * y + t[5]];
    let best = null, nearest = 6; // pixels
    for (const line of this.lines) {
      const [flat, stride] = this.level(line);
      for (const dx of worlds) {
        let [px, py] = at(flat[0], flat[1], dx);
        for (let i = stride; i < flat.length; i += stride) {
          const [x, y] = at(flat[i], flat[i + 1], dx);
          const d = segmentDistance(cx, cy, px, py, x, y);
          if (d < nearest) [nearest, best] = [d, { name: line.name, document: line.document, line }];
          [px, py] = [x, y];
        }
      }
    }
    return best;
  }
}

/// The distance from (x, y) to the segment from (ax, ay) to (bx, by).
function segmentDistance(x, y, ax, ay, bx, by) {
  const dx = bx - ax, dy = by - ay;
  const length = dx * dx + dy * dy;
  const t = length === 0 ? 0 : Math.max(0, Math.min(1, ((x - ax) * dx + (y - ay) * dy) / length));
  return Math.hypot(x - ax - t * dx, y - ay - t * dy);
}
