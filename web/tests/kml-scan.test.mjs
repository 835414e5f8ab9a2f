// The map's reader of documents given in slices: whatever the slices, it
// reads the same placemarks, and the text of a marker's coordinates is where
// it says.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { KmlScan } from '../src/kml-scan.js';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const native = resolve(process.env.TROVE_NATIVE ?? join(root, 'build'));

function read(bytes, slice) {
  const found = [];
  const scan = new KmlScan({
    point: (name, x, y, z, start, end) => found.push([name, x, y, z, new TextDecoder().decode(bytes.subarray(start, end))]),
    line: (name, xyz) => found.push([name, ...xyz]),
  });
  for (let at = 0; at < bytes.length; at += slice) scan.feed(bytes.subarray(at, at + slice), at);
  scan.end();
  return found;
}

test('the examples read alike in slices of any size', () => {
  const folder = mkdtempSync(join(tmpdir(), 'trove-scan.'));
  for (const [program, name, first] of [['pintrove', 'alps.wpt', 'Tom&Jerry_Alm'], ['pathtrove', 'ridge.plt', 'ridge.plt']]) {
    execFileSync(join(native, program), [name, join(folder, 'd.kml')], { cwd: join(root, 'examples') });
    const bytes = readFileSync(join(folder, 'd.kml'));
    const whole = read(bytes, bytes.length);
    assert.ok(whole.some((f) => f[0] === first), name);
    for (const slice of [1, 7, 64]) assert.deepEqual(read(bytes, slice), whole, `${name} in slices of ${slice}`);
    if (program === 'pintrove') for (const [, x, y, z, text] of whole) assert.equal(text, `${x.toFixed(6)},${y.toFixed(6)},${z.toFixed(6)}`);
  }
  rmSync(folder, { recursive: true, force: true });
});
