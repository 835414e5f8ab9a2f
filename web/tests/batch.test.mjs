// The page's parts that need no browser: a folder walked, the rows and
// names a batch gives its files, what an ended batch still does, and the
// pool's workers (made up here).
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { Batch, plan } from '../src/batch.js';
import { pickedFiles, walkEntries } from '../src/folder.js';
import { documentNames } from '../src/names.js';
import { Pool } from '../src/pool.js';

// Entries as a drop gives them; a folder's reader hands out two at a time.
const file = (name) => ({ name, isFile: true, file: (ok) => ok({ name }) });
const folder = (name, children) => ({
  name,
  isDirectory: true,
  createReader: (at = 0) => ({ readEntries: (ok) => ok(children.slice(at, (at += 2))) }),
});
const locked = {
  name: 'locked',
  isDirectory: true,
  createReader: () => ({ readEntries: (_, fail) => fail(new Error('denied')) }),
};

test('a dropped folder at any depth: rows, zip paths, downloads and notes', async () => {
  const trip = folder('trip', [file('b.WPT'), folder('day1', [file('a.wpt'), file('x.txt'), file('A.plt')]),
    folder('day2', [file('a.wpt'), file('y.jpg')]), locked]);
  const { rows, notes } = plan(await walkEntries([trip, file('a.wpt'), file('notes.txt')]));
  assert.deepEqual(rows.map((r) => [r.path, r.document, r.download, r.error]), [
    ['trip/b.WPT', 'trip/b.kml', 'b.kml', undefined],
    ['trip/day1/A.plt', 'trip/day1/A.plt.kml', 'A.plt.kml', undefined],
    ['trip/day1/a.wpt', 'trip/day1/a.wpt.kml', 'a.wpt.kml', undefined],
    ['trip/day2/a.wpt', 'trip/day2/a.kml', 'a.kml', undefined],
    ['trip/locked', null, null, 'trip/locked could not be read: denied'],
    ['a.wpt', 'a.kml', 'a (2).kml', undefined],
    ['notes.txt', null, null, undefined],
  ]);
  assert.deepEqual(notes, ['2 other files in trip were not converted']);
});

test('names distinct in any letter case', () => {
  assert.deepEqual(documentNames(['A.wpt', 'a.wpt', 'a.WPT (2).wpt', 'x/b.plt', 'X/B.plt', 'x/b.txt']),
    ['A.wpt.kml', 'a.wpt (3).kml', 'a.WPT (2).kml', 'x/b.plt.kml', 'X/B.plt (2).kml', null]);
  const picked = pickedFiles([
    { name: 'b.wpt', webkitRelativePath: 'trip/z/b.wpt' },
    { name: 'a.wpt', webkitRelativePath: 'trip/a.wpt' },
  ]);
  assert.deepEqual(picked.map((p) => [p.path, p.folder]), [['trip/a.wpt', 'trip'], ['trip/z/b.wpt', 'trip']]);
});

test('an ended batch draws nothing more and releases its URLs', async () => {
  const drawn = [];
  const frames = [];
  const batch = new Batch((rows) => drawn.push(...rows), (draw) => frames.push(draw));
  const url = batch.url(new Blob(['x']));
  batch.change('one');
  batch.change('one');
  frames.shift()();
  batch.change('two');
  batch.end();
  frames.forEach((draw) => draw());
  await batch.drawn();
  assert.deepEqual(drawn, ['one']);
  assert.equal(batch.url(new Blob(['y'])), null);
  await assert.rejects(fetch(url));
});

test('the pool: each worker sent init once before its jobs, a broken one let go and replaced', async () => {
  const workers = [];
  globalThis.Worker = class {
    posted = [];
    constructor() { workers.push(this); }
    postMessage(message) { this.posted.push(message.type); }
    terminate() { this.ended = true; }
  };
  let ready;
  const pool = new Pool('worker.js', 2, new Promise((resolve) => (ready = resolve)));
  const jobs = [1, 2, 3].map(() => pool.run({ type: 'convert' }));
  assert.deepEqual(workers.map((w) => w.posted), [[], []]);
  ready({ type: 'init' });
  await new Promise(setImmediate);
  const [first, second] = workers;
  second.onerror({ message: 'Uncaught RangeError', preventDefault() {} });
  await assert.rejects(jobs[0], /RangeError/);
  first.onmessage({ data: { type: 'done', status: 0 } });
  assert.equal((await jobs[1]).status, 0);
  assert.ok(second.ended);
  // The third job went to the worker started in place of the broken one.
  assert.deepEqual(workers.map((w) => w.posted), [['init', 'convert'], ['init', 'convert'], ['init', 'convert']]);
});
