// The page opened from disk in headless Chromium: each document it offers is
// byte for byte the native program's, beside the messages, the zip and the
// map; and nothing is requested from outside the page.
//
// Environment: TROVE_PAGE, the built trove.html (its build folder holds the
// page's npm packages); TROVE_NATIVE, a native build folder with pintrove
// and pathtrove.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
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
// A folder, given whole: each file by its path from the folder's parent; and many small files.
const programOf = (name) => (name.endsWith('.plt') ? 'pathtrove' : 'pintrove');
const trip = [
  ['trip/day1/a.wpt', 'alps.wpt', 'a.kml'],
  ['trip/day2/a.wpt', 'huts.wpt', 'a (2).kml'],
  ['trip/day2/ridge.plt', 'ridge.plt', 'ridge.kml'],
].map(([name, from, document]) => {
  return { name, from: example(from), program: programOf(name), document, zip: name.replace(/\.\w+$/, '.kml') };
});
const many = Array.from({ length: 300 }, (_, i) => {
  const from = ['alps.wpt', 'huts.wpt', 'ridge.plt'][i % 3];
  const name = `f${i}.${from.slice(-3)}`;
  return { name, from: example(from), program: programOf(name), document: `f${i}.kml` };
});

let context, tab;
const outside = [];
before(async () => {
  mkdirSync(join(folder, 'trip/day1'), { recursive: true });
  mkdirSync(join(folder, 'trip/day2'));
  writeFileSync(join(folder, 'trip/day1/photo.jpg'), 'not a track\n');
  for (const f of [...examples, ...others, ...trip, ...many]) {
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

/// Gives the page `files` (or a folder) and waits until every row, the zip and the map are done.
async function convert(files, input = '#files') {
  await tab.setInputFiles(input, typeof files === 'string' ? files : files.map((f) => join(folder, f.name)));
  await tab.waitForSelector('#status[data-state=done]', { timeout: 120e3 });
}

/// Each row's download (its link gets its URL once pointed at) is the native document.
async function checkRows(files) {
  for (const f of files) {
    const row = tab.locator(`#rows tr[data-file="${f.name}"]`);
    if (f.message) {
      assert.match(await row.locator('.error').innerText(), new RegExp(f.message.replace(/[.*]/g, '\\$&')));
      continue;
    }
    const link = row.locator('a[download]');
    assert.equal(await link.getAttribute('download'), f.document);
    await link.hover();
    assert.ok(nativeDocument(f).equals(await fetchBytes(await link.getAttribute('href'))), f.name);
  }
}

/// The zip holds each of `files`'s native documents at its path, and nothing else.
async function checkZip(files) {
  const zip = unzipSync(await fetchBytes(await tab.locator('#all a').getAttribute('href')));
  assert.deepEqual(Object.keys(zip).sort(), files.map((f) => f.zip ?? f.document).sort());
  for (const f of files) assert.ok(nativeDocument(f).equals(Buffer.from(zip[f.zip ?? f.document])), f.name);
}

test('the examples: the native documents, their zip, the map', async () => {
  await convert(examples);
  await checkRows(examples);
  await checkZip(examples);
  // 12 and 8 markers, one track.
  assert.equal(await tab.locator('#preview-note').getAttribute('data-features'), '21');
  await tab.waitForTimeout(300); // the map draws on the next frame
  await tab.screenshot({ path: join(root, 'web/screenshot.png'), fullPage: true });
});

test('a short file, another kind, a shared stem, a name beyond ASCII', async () => {
  await convert(others);
  await checkRows(others);
});

test('a folder: paths, names unique, other kinds in one line, a download by a click', async () => {
  await convert(join(folder, 'trip'), '#folder');
  assert.equal(await tab.locator('#rows tr').count(), 3);
  await checkRows(trip);
  await checkZip(trip);
  assert.equal(await tab.locator('#others').innerText(), '1 other file in trip was not converted');
  const [download] = await Promise.all([tab.waitForEvent('download'), tab.locator('#rows a').last().click()]);
  assert.ok(nativeDocument(trip[2]).equals(readFileSync(await download.path())));
});

test('300 small files: the native documents', async () => {
  await convert(many);
  assert.equal(await tab.locator('#rows a[download]').count(), 300);
  await checkZip(many);
});

test('a second batch while the first converts: only its own rows, links, zip and map', async () => {
  await tab.setInputFiles('#files', many.map((f) => join(folder, f.name)));
  await convert(examples);
  // The first batch's running conversions finished before the second's, which queued behind them.
  assert.deepEqual(await tab.locator('#rows tr').evaluateAll((trs) => trs.map((tr) => tr.dataset.file)),
    examples.map((f) => f.name));
  await checkRows(examples);
  await checkZip(examples);
  assert.equal(await tab.locator('#preview-note').getAttribute('data-features'), '21');
});

test('the map: the examples as OpenLayers\' KML reader reads them, and a marker\'s popup', async () => {
  await convert(examples);
  const reader = await require('esbuild').build({
    stdin: {
      contents: `import KML from 'ol/format/KML.js';
        window.readKml = (text) => new KML().readFeatures(text, { featureProjection: 'EPSG:3857' }).map((f) =>
          ({ name: f.get('name'), type: f.getGeometry().getType(), coordinates: f.getGeometry().getFlatCoordinates() }));`,
      resolveDir: join(dirname(page), 'web'),
    },
    bundle: true,
    write: false,
  });
  await tab.addScriptTag({ content: reader.outputFiles[0].text });
  const [drawn, read] = await tab.evaluate(async () => [
    document.getElementById('map').troveMap.features(),
    (await Promise.all([...document.querySelectorAll('#rows a[download]')].map(async (a) => {
      a.dispatchEvent(new FocusEvent('focusin', { bubbles: true })); // its URL is made as it is about to be used
      return (await fetch(a.href)).text();
    }))).flatMap(readKml),
  ]);
  const sorted = (features) => features.map((f) => JSON.stringify(f)).sort();
  assert.equal(drawn.length, 21);
  assert.deepEqual(sorted(drawn), sorted(read));

  const hut = drawn.find((f) => f.name === 'Jökulsárlón');
  const [x, y] = await tab.evaluate((c) => document.getElementById('map').troveMap.pixel(c), hut.coordinates);
  const box = await tab.locator('#map').boundingBox();
  await tab.mouse.click(box.x + x, box.y + y - 18);
  const [, lon, lat, alt] = /Jökulsárlón[^]*?<coordinates>([^,]*),([^,]*),([^<]*)</.exec(nativeDocument(examples[0]));
  assert.equal(await tab.locator('.map-popup .content', { has: tab.locator('strong') }).innerText(), `Jökulsárlón\nLatitude ${lat}\nLongitude ${lon}\nAltitude ${alt} m`);
});

test('the figures as the native documents give them; the profile marks the map', async () => {
  await convert(examples);
  const { getDistance } = await import(pathToFileURL(require.resolve('ol/sphere.js')).href);
  const m = (v) => `${Math.round(v).toLocaleString('en')} m`;
  for (const f of examples) {
    const text = nativeDocument(f).toString();
    const points = [...text.matchAll(/<coordinates>([^<]*)</g)]
      .flatMap(([, c]) => c.trim().split(/\s+/).map((p) => p.split(',').map(Number)));
    const z = points.map((p) => p[2]);
    const range = `${m(Math.min(...z))} to ${m(Math.max(...z))}`;
    let expected = `${points.length} markers, ${range}`;
    if (f.program === 'pathtrove') {
      let length = 0, up = 0, down = 0;
      for (let i = 1; i < points.length; i++) {
        length += getDistance(points[i - 1], points[i]);
        [up, down] = [up + Math.max(0, z[i] - z[i - 1]), down + Math.max(0, z[i - 1] - z[i])];
      }
      expected = `${(length / 1000).toFixed(1)} km, ascent ${m(up)}, descent ${m(down)}, ${range}`;
      f.half = (length / 2000).toFixed(1);
    }
    const figures = tab.locator(`#rows tr[data-file="${f.name}"] td.figures`);
    assert.equal(await figures.evaluate((td) => td.firstChild.textContent), expected);
  }
  assert.equal(await tab.locator('#profile figcaption').innerText(), 'Elevation profile of ridge.plt');
  await tab.locator('#profile .u-over').scrollIntoViewIfNeeded();
  const plot = await tab.locator('#profile .u-over').boundingBox();
  await tab.mouse.move(plot.x + plot.width / 2, plot.y + plot.height / 2);
  assert.match(await tab.locator('#profile .profile-readout').innerText(), new RegExp(`^Marked: ${examples[2].half} km along`));
  const [mark, [track]] = await tab.evaluate(() => ['mark', 'features'].map((f) => document.getElementById('map').troveMap[f]()))
    .then(([mark, features]) => [mark, features.filter((f) => f.type === 'LineString')]);
  const xs = track.coordinates.filter((_, i) => i % 3 === 0), ys = track.coordinates.filter((_, i) => i % 3 === 1);
  assert.ok(mark[0] >= Math.min(...xs) && mark[0] <= Math.max(...xs) && mark[1] >= Math.min(...ys) && mark[1] <= Math.max(...ys));
});

test('a page anyone can use: the drop zone opens the picker from the keyboard, axe-core finds nothing', async () => {
  // The picker's opening is counted, not let open.
  await tab.evaluate(() => document.getElementById('files').addEventListener('click', (e) => {
    e.preventDefault();
    window.picked = (window.picked ?? 0) + 1;
  }));
  await tab.focus('#drop');
  for (const key of ['Enter', ' ', 'a']) await tab.keyboard.press(key);
  assert.equal(await tab.evaluate(() => window.picked), 2);
  await tab.addScriptTag({ path: require.resolve('axe-core') });
  const violations = await tab.evaluate(async () =>
    (await axe.run()).violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`));
  assert.deepEqual(violations, []);
});

test('the map: documents over 8 MB drawn whole', async () => {
  const lines = (count, line) => Array.from({ length: count }, (_, i) => line(i)).join('\n');
  const track = lines(300000, (i) => `${47 + Math.sin(i / 5e4)},${11 + i / 1e5},0,${i % 9000},46123.3,12-Apr-26,07:12:39`);
  const points = lines(25000, (i) => `${i},P${i}, ${(i % 140) - 70}.5, ${(i % 360) - 180}.25,46123.5, 0, 1, 3, 0, 65535,,0,0,0, ${i}, 6, 0, 17`);
  const big = [{ name: 'big.plt', text: `H\nWGS 84\nFeet\nR3\n0,2,255,Long,0,0,2,0\n300000\n${track}\n` },
    { name: 'big.wpt', text: `H\nWGS 84\nR2\nR3\n${points}\n` }];
  big.forEach((f) => writeFileSync(join(folder, f.name), f.text));
  await convert(big);
  assert.equal(await tab.locator('#preview-note').getAttribute('data-features'), '25001');
});

test('no request leaves the page', () => {
  assert.deepEqual(outside, []);
});
