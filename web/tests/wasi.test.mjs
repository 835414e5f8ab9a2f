// The WASI calls the page's worker gives the programs (web/src/wasi.js),
// run here under Node on the built .wasm programs: each document byte for
// byte the native program's, run with the same paths from the same folder,
// for paths into folders too.
//
// Environment: TROVE_PAGE, the built trove.html (the .wasm programs are
// beside it); TROVE_NATIVE, a native build folder with pintrove and pathtrove.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { after, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { BlobWriter, run, SliceReader } from '../src/wasi.js';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const wasm = dirname(resolve(process.env.TROVE_PAGE ?? join(root, 'build-wasi/trove.html')));
const native = resolve(process.env.TROVE_NATIVE ?? join(root, 'build'));
const folder = mkdtempSync(join(tmpdir(), 'trove-wasi-test.'));
after(() => rmSync(folder, { recursive: true, force: true }));

// The worker reads Files with FileReaderSync, which Node lacks: here a "file"
// is bytes, and its slices are read as they are.
globalThis.FileReaderSync = class {
  readAsArrayBuffer(bytes) {
    return bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length);
  }
};

/// The document and standard error of `program` run as the page runs it,
/// its input read as the program gets to it or, `ahead`, all before.
async function runInPage(program, name, outputName, ahead) {
  const module = await WebAssembly.compile(readFileSync(join(wasm, `${program}.wasm`)));
  const bytes = readFileSync(join(folder, name));
  const file = { size: bytes.length, slice: (from, to) => bytes.subarray(from, to) };
  const output = new BlobWriter(100, 'text/xml'); // small, so the document takes several parts
  const slices = [];
  for (let at = 0; ahead && at < bytes.length; at += 100) slices.push(bytes.subarray(at, at + 100));
  const input = new SliceReader(file, 100, { slices });
  const { status, message } = run(module, { args: [program, name, outputName], input, output });
  return { status, message, document: Buffer.from(await output.blob().arrayBuffer()) };
}

// A file of a folder is run as from the folder's parent, the path its name.
const cases = [
  { program: 'pintrove', from: 'alps.wpt', name: 'alps.wpt', output: 'alps.kml' },
  { program: 'pintrove', from: 'huts.wpt', name: 'trip/day1/a.wpt', output: 'trip/day1/a.kml', ahead: true },
  { program: 'pathtrove', from: 'ridge.plt', name: 'trip/day 2/b.plt', output: 'trip/day 2/b.kml' },
];

for (const c of cases) {
  test(`${c.program} ${c.name} ${c.output}`, async () => {
    mkdirSync(join(folder, dirname(c.name)), { recursive: true });
    copyFileSync(join(root, 'examples', c.from), join(folder, c.name));
    const got = await runInPage(c.program, c.name, c.output, c.ahead);
    assert.equal(got.status, 0, got.message);
    execFileSync(join(native, c.program), [c.name, c.output], { cwd: folder });
    assert.ok(got.document.equals(readFileSync(join(folder, c.output))), c.name);
  });
}
