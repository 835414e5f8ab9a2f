// Runs one job at a time for the page, away from its thread: a conversion (a
// program on one File, as `pintrove NAME OUTPUT` would run beside it) or the
// zip of finished documents.
import { Zip, ZipPassThrough } from 'fflate';
import { BlobWriter, Exit, SliceReader, wasiImports } from './wasi.js';

// Large slices and parts: each read of a File and each Blob part costs a
// round trip to the browser, so fewer of them is faster.
const SLICE = 16 << 20;
const PART = 64 << 20;
const PROGRESS_EVERY_MS = 100;

/// Counts line feeds, and so the lines, of the input as it is read. Four
/// bytes are looked at at once, as few words hold a line feed.
function lineCounter() {
  const counter = { feeds: 0, last: 10 };
  counter.add = (slice) => {
    const words = new Uint32Array(slice.buffer, slice.byteOffset, slice.length >>> 2);
    let feeds = 0;
    for (let i = 0; i < words.length; i++) {
      const x = words[i] ^ 0x0a0a0a0a; // a line feed becomes a zero byte
      const zeros = ~(((x & 0x7f7f7f7f) + 0x7f7f7f7f) | x | 0x7f7f7f7f);
      if (zeros) feeds += Math.imul(zeros >>> 7, 0x01010101) >>> 24;
    }
    for (let i = words.length << 2; i < slice.length; i++) if (slice[i] === 10) feeds++;
    counter.feeds += feeds;
    if (slice.length) counter.last = slice[slice.length - 1];
  };
  // A last line without its line feed is a line too.
  counter.lines = () => counter.feeds + (counter.last === 10 ? 0 : 1);
  return counter;
}

function convert({ program, file, name, outputName, headerLines }) {
  const lines = lineCounter();
  let shown = 0;
  const input = new SliceReader(file, SLICE, (slice, readTo) => {
    lines.add(slice);
    const now = performance.now();
    if (now - shown >= PROGRESS_EVERY_MS) {
      shown = now;
      postMessage({ type: 'progress', read: readTo });
    }
  });
  const output = new BlobWriter(PART);
  const stderr = [];
  let instance;
  const imports = wasiImports({
    args: [program, name, outputName],
    inputName: name,
    input,
    outputName,
    output,
    memory: () => instance.exports.memory,
    stderr,
  });
  instance = new WebAssembly.Instance(modules[program], { wasi_snapshot_preview1: imports });
  let status = 0;
  try {
    instance.exports._start();
  } catch (e) {
    if (!(e instanceof Exit)) throw e;
    status = e.status;
  }
  const message = new TextDecoder().decode(new Uint8Array(stderr.flatMap((b) => [...b])));
  const document = output.blob();
  const records = Math.max(0, lines.lines() - headerLines);
  return { status, message, document, records };
}

/// A zip of `entries` ({name, blob}), stored as they are: the documents are
/// read a part at a time, never all at once.
function zip(entries) {
  const parts = [];
  const archive = new Zip((error, chunk) => {
    if (error) throw error;
    parts.push(chunk);
  });
  const reader = new FileReaderSync();
  for (const { name, blob } of entries) {
    const entry = new ZipPassThrough(name);
    archive.add(entry);
    for (let at = 0; at < blob.size; at += PART) {
      const piece = blob.slice(at, Math.min(blob.size, at + PART));
      entry.push(new Uint8Array(reader.readAsArrayBuffer(piece)), at + PART >= blob.size);
    }
    if (blob.size === 0) entry.push(new Uint8Array(0), true);
  }
  archive.end();
  return new Blob(parts, { type: 'application/zip' });
}

let modules; // the compiled programs, sent once by 'init'

onmessage = ({ data }) => {
  if (data.type === 'init') return void (modules = data.modules);
  try {
    if (data.type === 'convert') postMessage({ type: 'done', ...convert(data) });
    else postMessage({ type: 'done', archive: zip(data.entries) });
  } catch (e) {
    postMessage({ type: 'failed', message: String(e) });
  }
};
