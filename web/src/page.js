// The page: takes the files dropped or picked, converts each in a worker and
// offers its document, then the zip of all of them, then draws them.
import workerCode from 'trove:worker';
import pintroveWasm from 'trove:pintrove.wasm';
import pathtroveWasm from 'trove:pathtrove.wasm';
import { documentNames, programFor } from './names.js';
import { Pool } from './pool.js';
import { createPreview } from './preview.js';

const PROGRESS_AFTER_MS = 500;

const modules = {
  pintrove: WebAssembly.compile(pintroveWasm),
  pathtrove: WebAssembly.compile(pathtroveWasm),
};
const pool = new Pool(
  URL.createObjectURL(new Blob([workerCode], { type: 'text/javascript' })),
  Math.max(1, Math.min(4, navigator.hardwareConcurrency || 2)),
);
const preview = createPreview(document.getElementById('map'));
const rows = document.getElementById('rows');
const all = document.getElementById('all');
const note = document.getElementById('preview-note');
let links = []; // object URLs of the current batch, released with it

const element = (tag, properties = {}, ...children) => {
  const e = Object.assign(document.createElement(tag), properties);
  e.append(...children);
  return e;
};

function sizeText(bytes) {
  if (bytes < 1000) return `${bytes} bytes`;
  const [value, unit] = bytes < 1e6 ? [bytes / 1e3, 'kB'] : bytes < 1e9 ? [bytes / 1e6, 'MB'] : [bytes / 1e9, 'GB'];
  return `${value.toFixed(value < 10 ? 1 : 0)} ${unit}`;
}

function download(blob, name, text) {
  const url = URL.createObjectURL(blob);
  links.push(url);
  return element('a', { href: url, download: name, textContent: text ?? name });
}

/// One row: the file's name, then its records, size and outcome.
function addRow(file) {
  const cells = {
    records: element('td', { className: 'number' }),
    size: element('td', { className: 'number' }),
    outcome: element('td', { className: 'outcome' }),
  };
  const row = element('tr', {}, element('td', { className: 'name', textContent: file.name }), ...Object.values(cells));
  row.dataset.file = file.name;
  rows.append(row);
  return cells;
}

/// Shows a progress bar of the bytes read once the conversion has run for a while.
function progressIn(cell, total) {
  const bar = element('progress', { max: total, value: 0 });
  const timer = setTimeout(() => cell.replaceChildren(bar), PROGRESS_AFTER_MS);
  return { update: ({ read }) => (bar.value = read), stop: () => clearTimeout(timer) };
}

async function convertOne(file, outputName, cells) {
  const kind = programFor(file.name);
  const progress = progressIn(cells.outcome, file.size);
  try {
    const result = await pool.run(
      {
        type: 'convert',
        module: await modules[kind.program],
        program: kind.program,
        file,
        name: file.name,
        outputName,
        headerLines: kind.headerLines,
      },
      progress.update,
    );
    if (result.status !== 0) {
      cells.outcome.replaceChildren(element('span', { className: 'error', textContent: result.message.trim() }));
      return null;
    }
    cells.records.textContent = `${result.records.toLocaleString('en')} ${kind.records}`;
    cells.size.textContent = sizeText(result.document.size);
    cells.outcome.replaceChildren(download(result.document, outputName));
    return { name: outputName, blob: result.document };
  } catch (e) {
    cells.outcome.replaceChildren(element('span', { className: 'error', textContent: `${file.name}: ${e.message}` }));
    return null;
  } finally {
    progress.stop();
  }
}

async function showPreview(documents) {
  const count = await preview.show(documents);
  if (count === null) return;
  note.dataset.features = count;
  note.textContent = `${count.toLocaleString('en')} features drawn.`;
}

async function convertAll(files) {
  links.forEach((url) => URL.revokeObjectURL(url));
  links = [];
  rows.replaceChildren();
  all.replaceChildren();
  preview.clear();
  note.textContent = '';
  delete note.dataset.features;
  const names = documentNames(files.map((f) => f.name));
  const jobs = files.map((file, i) => {
    const cells = addRow(file);
    if (names[i]) return convertOne(file, names[i], cells);
    cells.outcome.replaceChildren(
      element('span', {
        className: 'error',
        textContent: `Not converted: ${file.name} is neither a waypoint file (.wpt) nor a track file (.plt).`,
      }),
    );
    return null;
  });
  const documents = (await Promise.all(jobs)).filter(Boolean);
  if (documents.length > 1) {
    const { archive } = await pool.run({ type: 'zip', entries: documents });
    all.replaceChildren(download(archive, 'trove.zip', `All ${documents.length} documents (trove.zip, ${sizeText(archive.size)})`));
  }
  await showPreview(documents);
}

const input = document.getElementById('files');
input.addEventListener('change', () => {
  convertAll([...input.files]);
  input.value = '';
});
const zone = document.getElementById('drop');
zone.addEventListener('dragover', (event) => {
  event.preventDefault();
  zone.classList.add('over');
});
zone.addEventListener('dragleave', () => zone.classList.remove('over'));
zone.addEventListener('drop', (event) => {
  event.preventDefault();
  zone.classList.remove('over');
  convertAll([...event.dataTransfer.files]);
});
// Files dropped beside the zone are not opened by the browser in place of the page.
window.addEventListener('dragover', (event) => event.preventDefault());
window.addEventListener('drop', (event) => event.preventDefault());
