// The page opened from disk in headless Chromium: each document it offers is
// byte for byte the native program's, beside the messages, the zip and the
// map; and nothing is requested from outside the page.
//
// Environment: TROVE_PAGE, the built trove.html (its build folder holds the
// page's npm packages); TROVE_NATIVE, a native build folder with pintrove
// and pathtrove.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath, pathToFileURL } from 'node:url';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const page = resolve(process.env.TROVE_PAGE ?? join(root, 'build-wasi/trove.html'));
const native = resolve(process.env.TROVE_NATIVE ?? join(root, 'build'));
const require = createRequire(join(dirname(page), 'web', 'package.json'));
const { chromium } = require('playwright-core');
const { unzipSync } = require('fflate');

const folder = mkdtempSync(join(tmpdir(), 'trove-page-test.'));
const example = (name) => join(root, 'examples', name);
// Each given file: its name in the folder, where its bytes come from, the
// program and document name expected (null: refused), or the message.
const examples = [
  { name: 'alps.wpt', from: example('alps.wpt'), program: 'pintrove', document: 'alps.kml' },
  { name: 'huts.wpt', from: example('huts.wpt'), program: 'pintrove', document: 'huts.kml' },
  { name: 'ridge.plt', from: example('ridge.plt'), program: 'pathtrove', document: 'ridge.kml' },
];
const others = [
  { name: 'short.wpt', text: 'one\ntwo\n', message: 'pintrove: Error reading short.wpt' },
  { name: 'notes.txt', text: 'not a track\n', message: 'notes.txt is neither' },
  { name: 'trip.wpt', from: example('huts.wpt'), program: 'pintrove', document: 'trip.wpt.kml' },
  { name: 'trip.PLT', from: example('ridge.plt'), program: 'pathtrove', document: 'trip.PLT.kml' },
  { name: 'Zürich 東京.wpt', from: example('alps.wpt'), program: 'pintrove', document: 'Zürich 東京.kml' },
];

let context, tab;
const outside = [];
before(async () => {
  for (const f of [...examples, ...others]) {
    if (f.from) copyFileSync(f.from, join(folder, f.name));
    else writeFileSync(join(folder, f.name), f.text);
  }
  context = await chromium.launchPersistentContext(mkdtempSync(join(tmpdir(), 'trove-chromium.')), {
    executablePath: '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1100, height: 1000 },
  });
  context.on('request', (r) => /^(file|blob|data):/.test(r.url()) || outside.push(r.url()));
  tab = await context.newPage();
  await tab.goto(pathToFileURL(page).href);
});
after(async () => {
  await context?.close();
  rmSync(folder, { recursive: true, force: true });
});

/// The native document of `f`, written beside it as the command line would.
function nativeDocument(f) {
  execFileSync(join(native, f.program), [f.name, 'expected.kml'], { cwd: folder });
  return readFileSync(join(folder, 'expected.kml'));
}

const fetchBytes = (href) =>
  tab.evaluate(async (url) => [...new Uint8Array(await (await fetch(url)).arrayBuffer())], href).then(Buffer.from);

/// Gives the page `files` and waits until every row and the map are done.
async function convert(files) {
  await tab.setInputFiles('#files', files.map((f) => join(folder, f.name)));
  await tab.waitForFunction(() => document.getElementById('preview-note').dataset.features !== undefined);
}

async function checkRows(files) {
  for (const f of files) {
    const row = tab.locator('#rows tr', { has: tab.locator('td.name', { hasText: f.name }) });
    if (f.message) {
      assert.match(await row.locator('.error').innerText(), new RegExp(f.message.replace(/[.*]/g, '\\$&')));
      continue;
    }
    const link = row.locator('a[download]');
    assert.equal(await link.getAttribute('download'), f.document);
    assert.ok(nativeDocument(f).equals(await fetchBytes(await link.getAttribute('href'))), f.name);
  }
}

test('the examples: the native documents, their zip, the map', async () => {
  await convert(examples);
  await checkRows(examples);
  const zip = unzipSync(await fetchBytes(await tab.locator('#all a').getAttribute('href')));
  assert.deepEqual(Object.keys(zip).sort(), examples.map((f) => f.document).sort());
  for (const f of examples) assert.ok(nativeDocument(f).equals(Buffer.from(zip[f.document])), f.document);
  // 12 and 8 markers, one track.
  assert.equal(await tab.locator('#preview-note').getAttribute('data-features'), '21');
  await tab.waitForTimeout(300); // the map draws on the next frame
  await tab.screenshot({ path: join(root, 'web/screenshot.png'), fullPage: true });
});

test('a short file, another kind, a shared stem, a name beyond ASCII', async () => {
  await convert(others);
  await checkRows(others);
});

test('no request leaves the page', () => {
  assert.deepEqual(outside, []);
});
