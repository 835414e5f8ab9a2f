// The map: documents drawn as a KML reader sees them, on a plain background
// with a graticule, and nothing fetched from anywhere.
import Map from 'ol/Map.js';
import View from 'ol/View.js';
import KML from 'ol/format/KML.js';
import Graticule from 'ol/layer/Graticule.js';
import VectorLayer from 'ol/layer/Vector.js';
import VectorSource from 'ol/source/Vector.js';
import { Icon, Stroke, Style, Text, Fill } from 'ol/style.js';
import { createEmpty, extend, isEmpty } from 'ol/extent.js';

// Parsing the text of a document as XML and drawing it take about a second
// for 8 MB (some 18,000 markers or 250,000 track points) here; larger ones
// would hold the page for many seconds, so they are offered but not drawn.
export const PREVIEW_LIMIT = 8e6;

// The reader's default marker is an image on a remote host: this one is
// drawn from the page itself.
const PIN =
  'data:image/svg+xml,' +
  encodeURIComponent(
    '<svg xmlns="http://www.w3.org/2000/svg" width="20" height="28" viewBox="0 0 20 28">' +
      '<path d="M10 27C10 27 1 15 1 9.5a9 9 0 0 1 18 0C19 15 10 27 10 27z" fill="#d33" stroke="#722"/>' +
      '<circle cx="10" cy="9.5" r="3.5" fill="#fff"/></svg>',
  );

const STYLE = new Style({
  image: new Icon({ src: PIN, anchor: [0.5, 1], width: 20, height: 28 }),
  stroke: new Stroke({ color: '#1457d6', width: 3 }),
  text: new Text({
    font: '12px sans-serif',
    fill: new Fill({ color: '#222' }),
    stroke: new Stroke({ color: '#fff', width: 3 }),
  }),
});

export function createPreview(target) {
  const source = new VectorSource();
  const map = new Map({
    target,
    controls: [],
    layers: [
      new Graticule({ strokeStyle: new Stroke({ color: 'rgba(0,0,0,0.2)', width: 1 }), showLabels: true }),
      new VectorLayer({ source }),
    ],
    view: new View({ center: [0, 0], zoom: 1 }),
  });
  const format = new KML({ defaultStyle: [STYLE], showPointNames: true });

  let shown = 0; // counts the calls of show and clear: a later one supersedes an earlier show

  return {
    /// Removes what is drawn; a show still reading its documents draws nothing.
    clear() {
      shown++;
      source.clear();
    },

    /// Draws `documents` ({name, blob}) in place of what was drawn. Resolves
    /// with the number of features drawn, or null when a later show or clear
    /// came first.
    async show(documents) {
      const call = ++shown;
      const drawn = documents.filter((d) => d.blob.size <= PREVIEW_LIMIT);
      const texts = await Promise.all(drawn.map((d) => d.blob.text()));
      if (call !== shown) return null;
      source.clear();
      for (const text of texts)
        source.addFeatures(format.readFeatures(text, { featureProjection: map.getView().getProjection() }));
      const extent = createEmpty();
      source.getFeatures().forEach((f) => extend(extent, f.getGeometry().getExtent()));
      if (!isEmpty(extent)) map.getView().fit(extent, { padding: [40, 40, 40, 40], maxZoom: 15 });
      return source.getFeatures().length;
    },
  };
}
