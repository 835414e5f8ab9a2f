// The map: the documents drawn over the world's coastlines and borders, as a
// KML reader reads them, whatever their size. A worker of its own reads them
// in slices (map-reader.js), so the page stays responsive meanwhile; a click
// on a marker or a line shows its name, and for a marker its latitude,
// longitude and altitude as the document writes them.
//
// `listener.read(message)` gets each batch of markers and each line as the
// reader posts it; `listener.lineClicked(line, coordinate)` each click on a line.
//
// For the page's tests and anyone at a console, the map's element carries
// `troveMap`: { features() (as map-data.js gives them), pixel(coordinate),
// mark() (the point marked, or null) }.
import readerCode from 'trove:map-reader';
import Map from 'ol/Map.js';
import Overlay from 'ol/Overlay.js';
import View from 'ol/View.js';
import { defaults as defaultControls } from 'ol/control/defaults.js';
import ScaleLine from 'ol/control/ScaleLine.js';
import { isEmpty } from 'ol/extent.js';
import { toLonLat, transformExtent } from 'ol/proj.js';
import { atlasLayer } from './atlas.js';
import { MapData } from './map-data.js';

const WORLD = transformExtent([-170, -58, 190, 78], 'EPSG:4326', 'EPSG:3857');
const readerUrl = URL.createObjectURL(new Blob([readerCode], { type: 'text/javascript' }));

const element = (tag, text, className = '') => Object.assign(document.createElement(tag), { textContent: text, className });

/// The popup: an element the map moves to where it was opened.
function createPopup(map, data, lineClicked) {
  const content = element('div', '', 'content');
  const close = element('button', '×', 'close');
  close.title = 'Close';
  const box = element('div', '', 'map-popup');
  box.append(close, content);
  const overlay = new Overlay({ element: box, positioning: 'bottom-center', stopEvent: true });
  map.addOverlay(overlay);
  let opened = 0; // a later click supersedes the text still being read for an earlier one
  const hide = () => (opened++, overlay.setPosition(undefined));
  close.addEventListener('click', hide);

  map.on('singleclick', async ({ pixel, coordinate }) => {
    const call = ++opened;
    const hit = data.hit(pixel);
    if (!hit) return hide();
    if (hit.line) lineClicked(hit.line, coordinate);
    const rows = [element('strong', hit.name || '(no name)')];
    if (hit.text) {
      const text = await data.documents[hit.document].slice(...hit.text).text();
      const [longitude, latitude, altitude] = text.trim().split(/\s*,\s*/);
      rows.push(
        element('div', `Latitude ${latitude}`),
        element('div', `Longitude ${longitude}`),
        element('div', `Altitude ${altitude} m`),
      );
    }
    if (call !== opened) return;
    content.replaceChildren(...rows);
    overlay.setOffset(hit.text ? [0, -32] : [0, -8]);
    overlay.setPosition(coordinate);
  });
  return hide;
}

export function createPreview(target, listener) {
  const data = new MapData();
  const map = new Map({
    target,
    controls: defaultControls({ rotate: false, attributionOptions: { collapsible: false } }).extend([new ScaleLine()]),
    layers: [atlasLayer(), data.layer],
    view: new View({ center: [0, 0], zoom: 1 }),
  });
  const showWorld = () => map.getView().fit(WORLD);
  showWorld();
  const hidePopup = createPopup(map, data, listener.lineClicked);
  target.troveMap = {
    features: () => data.features(),
    pixel: (coordinate) => map.getPixelFromCoordinate(coordinate),
    mark: () => data.mark,
  };

  let shown = 0; // counts the calls of show and clear: a later one supersedes an earlier show
  let reader = null; // the worker reading the documents of the show under way
  let abandon = () => {}; // settles the show under way with null
  const stop = () => {
    shown++;
    reader?.terminate();
    reader = null;
    abandon();
    data.clear();
    hidePopup();
  };

  /// Resolves once `documents` are all read, rejects on a failure to read them.
  const read = (documents) =>
    new Promise((resolve, reject) => {
      abandon = () => resolve(false);
      const call = shown;
      reader = new Worker(readerUrl);
      reader.onerror = (e) => reject(new Error(`The map could not read the documents: ${e.message}`));
      reader.onmessage = ({ data: message }) => {
        // A message the reader sent before a later show or clear stopped it draws nothing.
        if (call !== shown) return;
        if (message.type === 'done') resolve(true);
        else if (message.type === 'error') reject(new Error(`The map could not read the documents: ${message.message}`));
        else {
          data.add(message);
          listener.read(message);
        }
      };
      reader.postMessage({ documents: documents.map((d) => d.blob) });
    });

  return {
    /// Marks the point at `coordinate` (map coordinates), or none for null.
    mark: (coordinate) => data.setMark(coordinate),

    /// The south-west and north-east corners of what is drawn, in degrees, or null.
    bounds: () => (isEmpty(data.extent) ? null : [toLonLat(data.extent.slice(0, 2)), toLonLat(data.extent.slice(2))]),

    /// Removes what is drawn; a show still reading its documents draws nothing.
    clear() {
      stop();
      showWorld();
    },

    /// Draws `documents` ({name, blob}) in place of what was drawn. Resolves
    /// with the number of features drawn once they are on the map, or null
    /// when a later show or clear came first; rejects when a document cannot
    /// be read.
    async show(documents) {
      stop();
      const call = shown;
      data.documents = documents.map((d) => d.blob);
      try {
        if (!(await read(documents))) return null;
      } finally {
        if (call === shown) {
          reader?.terminate();
          reader = null;
        }
      }
      const drawn = new Promise((resolve) => map.once('rendercomplete', resolve));
      if (!isEmpty(data.extent)) map.getView().fit(data.extent, { padding: [40, 40, 40, 40], maxZoom: 15 });
      map.render();
      await drawn;
      return call === shown ? data.count : null;
    },
  };
}
