// The page: takes the files and folders dropped or picked, converts each
// file in a worker and offers its document, then the zip of all of them,
// then draws them, and gives each row the figures of its document as the
// map reads it, and the first track's elevation profile. Each drop or pick
// is a batch that replaces the one before.
import workerCode from 'trove:worker';
import pintroveWasm from 'trove:pintrove.wasm';
import pathtroveWasm from 'trove:pathtrove.wasm';
import { Batch, plan } from './batch.js';
import { kmText, metresText } from './figures.js';
import { pickedFiles, walkEntries } from './folder.js';
import { programFor } from './names.js';
import { Pool } from './pool.js';
import { createPreview } from './preview.js';
import { createProfile } from './profile.js';

const PROGRESS_AFTER_MS = 500;

// Each program is compiled once, and sent once to each worker, which the
// page starts before any file arrives.
const init = Promise.all([WebAssembly.compile(pintroveWasm), WebAssembly.compile(pathtroveWasm)]).then(
  ([pintrove, pathtrove]) => ({ type: 'init', modules: { pintrove, pathtrove } }),
);
const pool = new Pool(
  URL.createObjectURL(new Blob([workerCode], { type: 'text/javascript' })),
  Math.max(1, Math.min(4, navigator.hardwareConcurrency || 2)),
  init,
);
const preview = createPreview(document.getElementById('map'), { read: readFigures, lineClicked });
const profile = createProfile(document.getElementById('profile'), (coordinate) => preview.mark(coordinate));
const table = document.getElementById('results');
const rows = document.getElementById('rows');
const others = document.getElementById('others');
const status = document.getElementById('status');
const all = document.getElementById('all');
const note = document.getElementById('preview-note');
let batch = null;
let drawn = null; // the rows of the documents on the map, in their order, and what the map read of them

const element = (tag, properties = {}, ...children) => {
  const e = Object.assign(document.createElement(tag), properties);
  e.append(...children);
  return e;
};
const failure = (text) => element('span', { className: 'error', textContent: text });

function sizeText(bytes) {
  if (bytes < 1000) return `${bytes} bytes`;
  const [value, unit] = bytes < 1e6 ? [bytes / 1e3, 'kB'] : bytes < 1e9 ? [bytes / 1e6, 'MB'] : [bytes / 1e9, 'GB'];
  return `${value.toFixed(value < 10 ? 1 : 0)} ${unit}`;
}

function setStatus(state, text) {
  status.dataset.state = state;
  status.textContent = text;
}

/// The row of `row`, as it is before its conversion starts.
function rowElement(row) {
  const outcome = row.error
    ? failure(row.error)
    : row.document
      ? element('span', { className: 'waiting', textContent: 'Waiting' })
      : failure(`Not converted: ${row.path} is neither a waypoint file (.wpt) nor a track file (.plt).`);
  row.cells = {
    records: element('td', { className: 'number' }),
    size: element('td', { className: 'number' }),
    figures: element('td', { className: 'figures' }),
    outcome: element('td', { className: 'outcome' }, outcome),
  };
  const name = element('td', { className: 'name', textContent: row.path });
  const tr = element('tr', {}, name, ...Object.values(row.cells));
  tr.dataset.file = row.path;
  return tr;
}

// An object URL takes the page a millisecond or two to make, too long for
// each of a thousand files, so a document's link gets its URL only as it is
// about to be used: when pointed at, focused or clicked.
const documentOf = new WeakMap(); // a link without its URL yet → its document

function giveURL({ target }) {
  const link = target.closest?.('a');
  const blob = documentOf.get(link);
  if (!blob) return;
  documentOf.delete(link);
  link.href = batch.url(blob);
}
for (const type of ['pointerover', 'focusin', 'click']) rows.addEventListener(type, giveURL, true);

/// Draws the rows whose conversion moved on since the last frame.
function drawRows(changed) {
  for (const row of changed) {
    const { records, size, outcome } = row.cells;
    if (row.state === 'running') outcome.textContent = 'Converting';
    else if (row.state === 'progress') {
      row.bar ??= element('progress', { max: row.file.size });
      row.bar.value = row.read ?? 0;
      if (row.bar.parentNode !== outcome) outcome.replaceChildren(row.bar);
    } else if (row.state === 'failed') outcome.replaceChildren(failure(row.message));
    else if (row.state === 'done') {
      const { result } = row;
      records.textContent = `${result.records.toLocaleString('en')} ${programFor(row.path).records}`;
      size.textContent = sizeText(result.document.size);
      const link = element('a', { download: row.download, textContent: row.download, tabIndex: 0, role: 'link' });
      documentOf.set(link, result.document);
      outcome.replaceChildren(link);
    }
  }
}

async function convertOne(current, row) {
  if (!row.document) return null;
  const kind = programFor(row.path);
  const moved = (state) => {
    row.state = state;
    current.change(row);
  };
  let timer;
  try {
    row.result = await pool.run(
      {
        type: 'convert',
        program: kind.program,
        file: row.file,
        name: row.path,
        outputName: row.document,
        headerLines: kind.headerLines,
      },
      {
        // The bar is for a conversion that itself takes a while, not for one that waits its turn.
        onStart: () => {
          moved('running');
          timer = setTimeout(() => moved('progress'), PROGRESS_AFTER_MS);
        },
        onProgress: ({ read }) => {
          row.read = read;
          if (row.state === 'progress') current.change(row);
        },
      },
    );
    clearTimeout(timer);
    if (row.result.status !== 0) {
      row.message = row.result.message.trim() || `${kind.program} ended with status ${row.result.status}.`;
      moved('failed');
      return null;
    }
    moved('done');
    return { name: row.document, blob: row.result.document, row };
  } catch (e) {
    clearTimeout(timer);
    row.message = `${row.path} could not be converted: ${e.message}`;
    moved('failed');
    return null;
  }
}

async function zipAll(current, documents) {
  setStatus('zipping', `Making the zip of ${documents.length} documents…`);
  try {
    const entries = documents.map(({ name, blob }) => ({ name, blob }));
    const { archive } = await pool.run({ type: 'zip', entries });
    if (!current.live) return;
    const text = `All ${documents.length} documents (trove.zip, ${sizeText(archive.size)})`;
    all.replaceChildren(element('a', { href: current.url(archive), download: 'trove.zip', textContent: text }));
  } catch (e) {
    if (current.live) all.replaceChildren(failure(`The zip of the documents could not be made: ${e.message}`));
  }
}

/// ", LOW m to HIGH m" for a range of altitudes, or nothing for none.
const altitudes = ({ lowest, highest }) => (lowest <= highest ? `, ${metresText(lowest)} to ${metresText(highest)}` : '');
const plural = (count, one) => `${count.toLocaleString('en')} ${one}${count === 1 ? '' : 's'}`;

/// Widens the range of altitudes of `o` to take in `lowest` to `highest` (null: no altitude).
function widen(o, lowest, highest) {
  if (lowest !== null) [o.lowest, o.highest] = [Math.min(o.lowest, lowest), Math.max(o.highest, highest)];
}

/// Adds what the map read of a document (a batch of markers or a line) to its row's figures.
function readFigures(message) {
  const row = drawn.rows[message.document];
  const seen = drawn.seen;
  if (message.type === 'markers') {
    const m = (row.markers ??= { count: 0, lowest: Infinity, highest: -Infinity });
    m.count += message.ends.length;
    seen.markers += message.ends.length;
    for (const o of [m, seen]) widen(o, message.lowest, message.highest);
    row.cells.figures.textContent = `${plural(m.count, 'marker')}${altitudes(m)}`;
    return;
  }
  const { figures } = message;
  seen.tracks++;
  widen(seen, figures.lowest, figures.highest);
  if (row.line || figures.along.length < 2) return;
  row.line = message;
  const climb = `ascent ${metresText(figures.ascent)}, descent ${metresText(figures.descent)}`;
  const button = element('button', { type: 'button', textContent: 'Profile' });
  button.setAttribute('aria-label', `Elevation profile of ${row.path}`);
  button.addEventListener('click', () => showProfile(row));
  const text = `${kmText(figures.length)}, ${climb}${altitudes(figures)}`;
  row.cells.figures.replaceChildren(element('span', { textContent: text }), button);
  if (!profile.line) showProfile(row);
}

/// Shows the profile of the track of `row`, and says so at its button.
function showProfile(row) {
  profile.show(row.path, row.line);
  for (const other of drawn.rows) other.cells.figures.querySelector('button')?.setAttribute('aria-pressed', other === row);
}

/// A click on a track marks its nearest point on its profile, shown first if it was not.
function lineClicked(line, coordinate) {
  const row = drawn.rows[line.document];
  if (profile.line !== line && row.line === line) showProfile(row);
  if (profile.line === line) profile.markNear(coordinate);
}

/// What the map shows, in words: how many of what, where, how high.
function mapSummary(count, { markers, tracks, lowest, highest }) {
  const parts = [plural(markers, 'marker'), plural(tracks, 'track')].filter((p) => !p.startsWith('0 '));
  let text = `${plural(count, 'feature')} drawn${parts.length ? `: ${parts.join(' and ')}` : ''}`;
  const bounds = preview.bounds();
  if (bounds) {
    const degrees = (v, positive, negative) => `${Math.abs(v).toFixed(2)}° ${v < 0 ? negative : positive}`;
    const [[west, south], [east, north]] = bounds;
    text += `, from ${degrees(south, 'N', 'S')} to ${degrees(north, 'N', 'S')}`;
    text += `, ${degrees(west, 'E', 'W')} to ${degrees(east, 'E', 'W')}`;
  }
  if (lowest <= highest) text += `, at altitudes from ${metresText(lowest)} to ${metresText(highest)}`;
  return `${text}.`;
}

async function showPreview(documents) {
  drawn = { rows: documents.map((d) => d.row), seen: { markers: 0, tracks: 0, lowest: Infinity, highest: -Infinity } };
  const count = await preview.show(documents);
  if (count === null) return;
  note.dataset.features = count;
  note.textContent = mapSummary(count, drawn.seen);
}

/// Converts the files of `items` (a promise of them, as folder.js gives
/// them) as batch `current`: its rows, then its zip, then the map.
async function convertAll(current, items) {
  const { rows: planned, notes } = plan(await items);
  if (!current.live) return;
  others.replaceChildren(...notes.map((text) => element('li', { textContent: text })));
  const fragment = document.createDocumentFragment();
  fragment.append(...planned.map(rowElement));
  rows.append(fragment);
  const converting = planned.filter((row) => row.document).length;
  setStatus('converting', `Converting ${plural(converting, 'file')}…`);
  const documents = (await Promise.all(planned.map((row) => convertOne(current, row)))).filter(Boolean);
  await current.drawn();
  if (!current.live) return;
  table.dataset.done = '';
  if (documents.length > 1) await zipAll(current, documents);
  if (!current.live) return;
  setStatus('drawing', `Converted ${documents.length} of ${converting}. Drawing the map…`);
  try {
    await showPreview(documents);
  } catch (e) {
    note.replaceChildren(failure(`The map could not be drawn: ${e.message}`));
  }
  if (current.live) setStatus('done', `Converted ${documents.length} of ${converting}.`);
}

/// Calls `draw` with the next frame; a hidden page has no frames, and still
/// draws, so that its zip and map follow, a few times a second at most.
function nextFrame(draw) {
  const timer = setTimeout(draw, 250);
  requestAnimationFrame(() => {
    clearTimeout(timer);
    draw();
  });
}

/// Starts a new batch in place of the one before: its rows, links, zip and
/// map go, and its conversions that finish later change nothing.
function start(items) {
  batch?.end();
  pool.cancel();
  const current = (batch = new Batch(drawRows, nextFrame));
  rows.replaceChildren();
  delete table.dataset.done;
  others.replaceChildren();
  all.replaceChildren();
  preview.clear();
  profile.clear();
  note.textContent = '';
  delete note.dataset.features;
  setStatus('reading', 'Reading the files…');
  convertAll(current, items).catch(
    (e) => current.live && setStatus('failed', `The files could not be converted: ${e.message}`),
  );
}

for (const input of document.querySelectorAll('input[type=file]')) {
  input.addEventListener('change', () => {
    start(Promise.resolve(pickedFiles(input.files)));
    input.value = '';
  });
}
const zone = document.getElementById('drop');
zone.addEventListener('keydown', (event) => {
  if (event.target !== zone || (event.key !== 'Enter' && event.key !== ' ')) return;
  event.preventDefault();
  document.getElementById('files').click();
});
zone.addEventListener('dragover', (event) => {
  event.preventDefault();
  zone.classList.add('over');
});
zone.addEventListener('dragleave', () => zone.classList.remove('over'));
zone.addEventListener('drop', (event) => {
  event.preventDefault();
  zone.classList.remove('over');
  // The entries are there only while the drop is handled; the folders are walked after.
  const entries = [...event.dataTransfer.items].map((item) => item.webkitGetAsEntry?.()).filter(Boolean);
  const files = [...event.dataTransfer.files];
  start(entries.length ? walkEntries(entries) : Promise.resolve(pickedFiles(files)));
});
// Files dropped beside the zone are not opened by the browser in place of the page.
window.addEventListener('dragover', (event) => event.preventDefault());
window.addEventListener('drop', (event) => event.preventDefault());
