// The world under the data: land, coastlines and country borders from
// Natural Earth's 1:50m countries (world-atlas), carried in the page. Each
// island, coast and border is a feature of its own, so that only those in
// view are drawn.
import { feature, mesh } from 'topojson-client';
import world from 'world-atlas/countries-50m.json';
import Feature from 'ol/Feature.js';
import LineString from 'ol/geom/LineString.js';
import Polygon from 'ol/geom/Polygon.js';
import VectorImageLayer from 'ol/layer/VectorImage.js';
import VectorSource from 'ol/source/Vector.js';
import { Fill, Stroke, Style } from 'ol/style.js';

const LAND = new Style({ fill: new Fill({ color: '#f4f1ea' }) });
const BORDER = new Style({ stroke: new Stroke({ color: '#b3a592', width: 1 }) });
const COAST = new Style({ stroke: new Stroke({ color: '#7d98b3', width: 1 }) });

/// `points` with their longitudes made continuous where they cross the
/// 180th meridian: the atlas jumps from 180 to -180 there, which would draw
/// a line across the world. What comes to lie beyond 180 is drawn on the
/// other side, the map repeating the world.
function unwrap(points) {
  let shift = 0;
  return points.map(([x, y], i) => {
    const before = i > 0 ? points[i - 1][0] : x;
    if (Math.abs(x - before) > 180) shift += x > before ? -360 : 360;
    return [x + shift, y];
  });
}

/// A ring unwrapped, unless it goes round a pole (it would not close).
function unwrapRing(ring) {
  const continuous = unwrap(ring);
  return continuous[0][0] === continuous[continuous.length - 1][0] ? continuous : ring;
}

/// Features of `geometries`, given in longitude and latitude, drawn with `style`.
const drawn = (geometries, style) =>
  geometries.map((geometry) => {
    const f = new Feature(geometry.transform('EPSG:4326', 'EPSG:3857'));
    f.setStyle(style);
    return f;
  });

export function atlasLayer() {
  const { countries, land } = world.objects;
  const islands = feature(world, land).features.flatMap(({ geometry: g }) =>
    g.type === 'Polygon' ? [g.coordinates] : g.coordinates,
  );
  const lines = (object, filter) => mesh(world, object, filter).coordinates.map((c) => new LineString(unwrap(c)));
  const source = new VectorSource({
    attributions: 'Natural Earth',
    features: [
      ...drawn(islands.map((rings) => new Polygon(rings.map(unwrapRing))), LAND),
      ...drawn(lines(countries, (a, b) => a !== b), BORDER),
      ...drawn(lines(land), COAST),
    ],
  });
  return new VectorImageLayer({ source });
}
