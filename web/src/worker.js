// Runs one job at a time for the page, away from its thread: a conversion (a
// program on one File, as `pintrove NAME OUTPUT` would run from the folder
// NAME is relative to) or the zip of finished documents. The page sends the
// compiled programs once, first ('init').
import { Zip, ZipPassThrough } from 'fflate';
import { BlobWriter, run, SliceReader } from './wasi.js';

// Large slices and parts: each read of a File and each Blob part costs a
// round trip to the browser, so fewer of them is faster (64 MB slices read a
// large file in two thirds of the time 16 MB ones take). A file of up to
// READ_AHEAD bytes is read whole before the program runs, in slices read side
// by side, its lines counted while the later slices come in: about a quarter
// off a conversion of 100 MB. A small file gets buffers of its own size: a
// document is a few times its input at most, and one that outgrows its buffer
// only takes one more part.
const SLICE = 64 << 20;
const READ_AHEAD = 256 << 20;
const AHEAD_SLICE = 32 << 20;
const PART = 64 << 20;
const PART_PER_INPUT_BYTE = 4;
const SMALLEST_PART = 64 << 10;
const PROGRESS_EVERY_MS = 100;
const KML = 'application/vnd.google-earth.kml+xml';
let programs = {};

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

/// Calls `report(position)` with the position the program has read up to
/// once the conversion has run for PROGRESS_EVERY_MS, then at most that often:
/// a file that converts quickly sends nothing.
function throttled(report) {
  let shown = performance.now();
  return (position) => {
    const now = performance.now();
    if (now - shown < PROGRESS_EVERY_MS) return;
    shown = now;
    report(position);
  };
}

/// The slices of `file` read side by side, each shown to `onSlice` in turn
/// as it comes in.
async function readWhole(file, onSlice) {
  const reads = [];
  for (let at = 0; at < file.size; at += AHEAD_SLICE)
    reads.push(file.slice(at, Math.min(file.size, at + AHEAD_SLICE)).arrayBuffer());
  const slices = [];
  for (const read of reads) {
    slices.push(new Uint8Array(await read));
    onSlice(slices.at(-1));
  }
  return slices;
}

async function convert({ program, file, name, outputName, headerLines }) {
  const lines = lineCounter();
  const ahead = file.size <= READ_AHEAD;
  const input = new SliceReader(file, ahead ? AHEAD_SLICE : SLICE, {
    slices: ahead ? await readWhole(file, lines.add) : [],
    onSlice: lines.add,
    onRead: throttled((read) => postMessage({ type: 'progress', read })),
  });
  const output = new BlobWriter(Math.min(PART, SMALLEST_PART + file.size * PART_PER_INPUT_BYTE), KML);
  const { status, message } = run(programs[program], { args: [program, name, outputName], input, output });
  const records = Math.max(0, lines.lines() - headerLines);
  return { status, message, document: output.blob(), records };
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

onmessage = async ({ data }) => {
  try {
    if (data.type === 'init') programs = data.modules;
    else if (data.type === 'convert') postMessage({ type: 'done', ...(await convert(data)) });
    else postMessage({ type: 'done', archive: zip(data.entries) });
  } catch (e) {
    postMessage({ type: 'failed', message: String(e) });
  }
};
