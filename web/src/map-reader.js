// The map's reader, run in a worker of its own: reads the documents in
// slices and posts their markers in batches and each line whole, in the
// map's projection, so that the page never holds nor parses a document's
// text. A line also comes simplified for each zoom level (its full geometry
// is kept): a track of millions of points is a few thousand at a glance.
// Their figures (figures.js) are computed here from the degrees and metres
// the document writes, before they are projected: markers' lowest and
// highest altitude, and a line's length, climb, altitudes, the distance
// along it to each point and its profile reduced to PROFILE_COLUMNS.
//
// In: { documents: [Blob] }. Out, in order: { type: 'markers', document,
// names, ends, xyz, text, extent, lowest, highest } and { type: 'line',
// document, name, xyz, levels, extent, figures, profile } as they are read,
// then { type: 'done' }, or { type: 'error', message }.
import { createOrUpdateFromFlatCoordinates } from 'ol/extent.js';
import { fromEPSG4326 } from 'ol/proj/epsg3857.js';
import { altitudeRange, reduceProfile, trackFigures } from './figures.js';
import { KmlScan } from './kml-scan.js';

const SLICE = 4 << 20;
const ZOOM_0_RESOLUTION = 156543.03392804097; // metres per pixel, the whole world in 256
const STRAY = 3; // pixels a simplified line may leave the full one by: its width
const PROFILE_COLUMNS = 2000; // at least the pixels across the widest profile drawn

/// Longitude, latitude, altitude triples made map coordinates in place, and their extent.
function project(xyz) {
  fromEPSG4326(xyz, xyz, 3);
  return createOrUpdateFromFlatCoordinates(xyz, 0, xyz.length, 3);
}

/// The points of `flat` (x, y first of every `stride` values) that lie
/// farther than `tolerance` from the point kept before, and the last one.
function simplify(flat, stride, tolerance) {
  const count = flat.length / stride;
  const out = new Float64Array(2 * count);
  let n = 0, x = Infinity, y = Infinity;
  const squared = tolerance * tolerance;
  for (let i = 0; i < flat.length; i += stride) {
    const dx = flat[i] - x, dy = flat[i + 1] - y;
    if (dx * dx + dy * dy > squared || i === flat.length - stride) {
      out[n++] = x = flat[i];
      out[n++] = y = flat[i + 1];
    }
  }
  return out.slice(0, n);
}

/// The line simplified for zoom levels 22 down to 0, each kept where it
/// holds markedly fewer points than the finer one: [{ resolution, xy }],
/// finest first, to be drawn at that resolution (metres per pixel) and above.
function levels(xyz) {
  const kept = [];
  let flat = xyz, stride = 3;
  for (let zoom = 22; zoom >= 0; zoom--) {
    const resolution = ZOOM_0_RESOLUTION / 2 ** zoom;
    const xy = simplify(flat, stride, STRAY * resolution);
    if (xy.length / 2 > 0.75 * (flat.length / stride)) continue;
    kept.push({ resolution, xy });
    flat = xy;
    stride = 2;
  }
  return kept;
}

/// Markers gathered until the next post: their names go as one string and
/// where each ends in it, far quicker to pass than a string each.
class MarkerBatch {
  constructor() {
    this.names = [];
    this.xyz = [];
    this.text = [];
  }
  post(document) {
    if (!this.names.length) return;
    const xyz = Float64Array.from(this.xyz);
    const text = Float64Array.from(this.text);
    let end = 0;
    const ends = Uint32Array.from(this.names, (name) => (end += name.length));
    const [lowest, highest] = altitudeRange(xyz);
    const extent = project(xyz);
    const names = this.names.join('');
    const message = { type: 'markers', document, names, ends, xyz, text, extent, lowest, highest };
    postMessage(message, [xyz.buffer, text.buffer, ends.buffer]);
    Object.assign(this, new MarkerBatch());
  }
}

async function read(blob, document) {
  const batch = new MarkerBatch();
  const scan = new KmlScan({
    point(name, x, y, z, start, end) {
      batch.names.push(name);
      batch.xyz.push(x, y, z);
      batch.text.push(start, end);
    },
    line(name, values) {
      const figures = trackFigures(values);
      const profile = reduceProfile(figures.along, values, 3, PROFILE_COLUMNS);
      const xyz = values.slice();
      const extent = project(xyz);
      const simplified = levels(xyz);
      const message = { type: 'line', document, name, xyz, levels: simplified, extent, figures, profile };
      postMessage(message, [
        xyz.buffer,
        figures.along.buffer,
        profile.km.buffer,
        profile.metres.buffer,
        ...simplified.map((l) => l.xy.buffer),
      ]);
    },
  });
  // The next slice is read while this one is scanned.
  let next = blob.slice(0, SLICE).arrayBuffer();
  for (let at = 0; at < blob.size; at += SLICE) {
    const bytes = new Uint8Array(await next);
    if (at + SLICE < blob.size) next = blob.slice(at + SLICE, at + 2 * SLICE).arrayBuffer();
    scan.feed(bytes, at);
    batch.post(document);
  }
  scan.end();
  batch.post(document);
}

onmessage = async ({ data }) => {
  try {
    for (const [i, blob] of data.documents.entries()) await read(blob, i);
    postMessage({ type: 'done' });
  } catch (e) {
    postMessage({ type: 'error', message: String(e?.message ?? e) });
  }
};
