// The world under the data: land, coastlines and country borders from
// Natural Earth's 1:50m countries (world-atlas), carried in the page.
import { feature, mesh } from 'topojson-client';
import world from 'world-atlas/countries-50m.json';
import Feature from 'ol/Feature.js';
import MultiLineString from 'ol/geom/MultiLineString.js';
import MultiPolygon from 'ol/geom/MultiPolygon.js';
import VectorImageLayer from 'ol/layer/VectorImage.js';
import VectorSource from 'ol/source/Vector.js';
import { Fill, Stroke, Style } from 'ol/style.js';

/// A feature of `geometry`, in longitude and latitude, drawn with `style`.
const drawn = (geometry, style) => {
  const f = new Feature(geometry.transform('EPSG:4326', 'EPSG:3857'));
  f.setStyle(style);
  return f;
};

export function atlasLayer() {
  const { countries, land } = world.objects;
  const polygons = feature(world, land).features.flatMap(({ geometry: g }) =>
    g.type === 'Polygon' ? [g.coordinates] : g.coordinates,
  );
  const source = new VectorSource({
    attributions: 'Natural Earth',
    features: [
      drawn(new MultiPolygon(polygons), new Style({ fill: new Fill({ color: '#f4f1ea' }) })),
      drawn(
        new MultiLineString(mesh(world, countries, (a, b) => a !== b).coordinates),
        new Style({ stroke: new Stroke({ color: '#b3a592', width: 1, lineDash: [4, 3] }) }),
      ),
      drawn(new MultiLineString(mesh(world, land).coordinates), new Style({ stroke: new Stroke({ color: '#7d98b3', width: 1 }) })),
    ],
  });
  return new VectorImageLayer({ source, imageRatio: 1.5 });
}
