// Times the browser page against the native programs on the same files in
// the same run, and checks four figures against their limits:
//   - 300 small waypoint files (5 kB each) given at once, until the page has
//     finished the batch, against a shell loop running the native program on
//     each (`for f in *.wpt; do pintrove "$f" "${f%.wpt}.kml"; done`): 3x;
//   - 1,000,000 waypoints and 2,000,000 track points, until the document's
//     download link appears, against the native program writing its document
//     to a file: 3x each;
//   - a track of 1,000,000 points, from giving it until the map has drawn it:
//     the longest task on the page's main thread (PerformanceObserver
//     'longtask') at most 250 ms; its seconds are printed.
//
//   node bench/page.mjs PAGE.html NATIVE_BUILD_DIR [WPT PLT]
//
// NATIVE_BUILD_DIR is a native build with the benchmark tools (TROVE_BENCH=ON,
// as bench/run.sh makes it): the inputs are made with its bench_generate,
// the large ones only when WPT and PLT are not given. The page is opened from
// disk in headless Chromium (/usr/bin/chromium, driven by playwright-core
// from the page's build folder), loaded afresh for each run. Prints the
// median of RUNS runs (default 5) of each, and exits with 1 when a figure
// misses its limit.
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { basename, dirname, join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

// What tells that the page has finished a batch: the rows' table says so once
// every row has its link or its error. Every row is checked besides.
const BATCH_DONE = '#results[data-done]';
// What tells that the map has drawn the documents given.
const DRAWN = '#preview-note[data-features]';
// What tells that a document can be downloaded.
const LINKED = '#rows a[download]';

const SMALL_FILES = 300;
const SMALL_RECORDS = 48; // some 5 kB a file
const LIMIT = 3;
const LONGEST_TASK_MS = 250;
const GIVE_UP_S = 300;

const [page, native, wptGiven, pltGiven] = process.argv.slice(2).map((p) => p && resolve(p));
if (!native || (wptGiven && !pltGiven)) {
  console.error('usage: node bench/page.mjs PAGE.html NATIVE_BUILD_DIR [WPT PLT]');
  process.exit(2);
}
const runs = Number(process.env.RUNS ?? 5);
const require = createRequire(join(dirname(page), 'web', 'package.json'));
const { chromium } = require('playwright-core');
const scratch = mkdtempSync(join(tmpdir(), 'trove-page-bench.'));
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

/// Writes `lines` lines of KIND (wpt, plt) from the benchmark's generator to `path`.
function generate(kind, lines, path) {
  writeFileSync(path, execFileSync(join(native, 'bench', 'bench_generate'), [kind, String(lines)], { maxBuffer: 1 << 30 }));
  return path;
}

/// SMALL_FILES waypoint files, each the generator's header and its own
/// SMALL_RECORDS waypoints, in a folder of their own.
function smallFiles() {
  const folder = join(scratch, 'small');
  mkdirSync(folder);
  const lines = readFileSync(generate('wpt-varied', SMALL_FILES * SMALL_RECORDS, join(scratch, 'small.wpt')), 'latin1')
    .split('\n');
  const header = lines.slice(0, 4);
  return Array.from({ length: SMALL_FILES }, (_, i) => {
    const records = lines.slice(4 + i * SMALL_RECORDS, 4 + (i + 1) * SMALL_RECORDS);
    const path = join(folder, `w${String(i).padStart(3, '0')}.wpt`);
    writeFileSync(path, [...header, ...records, ''].join('\n'), 'latin1');
    return path;
  });
}

function seconds(run) {
  const start = process.hrtime.bigint();
  const done = run();
  if (done.status !== 0) throw new Error(`${done.error ?? done.stderr}`);
  return Number(process.hrtime.bigint() - start) / 1e9;
}

/// The native program writing the document of `input` to a file, as `pintrove NAME OUTPUT`.
const timeNative = (program, input) =>
  seconds(() =>
    spawnSync(join(native, program), [basename(input), join(scratch, 'document.kml')], {
      cwd: dirname(input),
      stdio: ['ignore', 'ignore', 'inherit'],
    }),
  );

/// The shell loop running pintrove on every file in the folder of `files`.
const timeLoop = (files) =>
  seconds(() =>
    spawnSync('bash', ['-c', 'for f in *.wpt; do "$0" "$f" "${f%.wpt}.kml"; done', join(native, 'pintrove')], {
      cwd: dirname(files[0]),
      stdio: ['ignore', 'ignore', 'inherit'],
    }),
  );

/// Gives a freshly loaded page `files` and resolves, once `selector` matches,
/// with the seconds since the input's change event, the longest main-thread
/// task meanwhile (ms), the rows, the rows with their link or error, and the
/// map's count of features.
async function timePage(tab, files, selector) {
  await tab.goto(pathToFileURL(page).href);
  const timing = tab.evaluate(
    (selector) =>
      new Promise((done) => {
        let start, end;
        let longest = 0;
        const tasks = new PerformanceObserver((list) => {
          for (const task of list.getEntries())
            if (start !== undefined && task.startTime + task.duration >= start && (end === undefined || task.startTime <= end))
              longest = Math.max(longest, task.duration);
        });
        tasks.observe({ type: 'longtask' });
        window.addEventListener('change', () => (start = performance.now()), { capture: true, once: true });
        const seen = new MutationObserver(() => {
          if (start === undefined || !document.querySelector(selector)) return;
          end = performance.now();
          seen.disconnect();
          // A long task is reported after it ends: the one that ended the batch too.
          setTimeout(() => {
            tasks.disconnect();
            const rows = [...document.querySelectorAll('#rows tr')];
            done({
              seconds: (end - start) / 1000,
              longest,
              rows: rows.length,
              finished: rows.filter((row) => row.querySelector('a[download], .error')).length,
              features: Number(document.getElementById('preview-note').dataset.features ?? -1),
            });
          }, 200);
        });
        seen.observe(document.body, { subtree: true, childList: true, attributes: true });
      }),
    selector,
  );
  await tab.setInputFiles('#files', files);
  let late;
  const limit = new Promise((_, fail) => {
    late = setTimeout(() => fail(new Error(`the page did not get to ${selector} in ${GIVE_UP_S} s`)), GIVE_UP_S * 1000);
  });
  return Promise.race([timing, limit]).finally(() => clearTimeout(late));
}

const results = [];
/// Prints one figure and keeps whether it kept within its limit.
function report(figure, text, within) {
  results.push(within);
  console.log(`${figure.padEnd(34)} ${text}  ${within ? 'ok' : 'MISSED'}`);
}

/// Page against native, RUNS times each in turn, so that a passing load on
/// the machine slows both alike.
async function compare(tab, figure, native, files, selector, check = () => {}) {
  const times = { native: [], page: [] };
  for (let i = 0; i < runs; i++) {
    times.native.push(native());
    const got = await timePage(tab, files, selector);
    check(got);
    times.page.push(got.seconds);
  }
  const [n, p] = [median(times.native), median(times.page)];
  const text = `native ${n.toFixed(3).padStart(7)} s  page ${p.toFixed(3).padStart(7)} s  ${(p / n).toFixed(2).padStart(5)}x (at most ${LIMIT}x)`;
  report(figure, text, p / n <= LIMIT);
}

/// The four figures, in a browser started and closed here.
async function measure() {
  console.log(`Making the inputs in ${scratch} ...`);
  const small = smallFiles();
  const wpt = wptGiven ?? generate('wpt', 1000000, join(scratch, 'full.wpt'));
  const plt = pltGiven ?? generate('plt', 2000000, join(scratch, 'full.plt'));
  const track = generate('plt', 1000000, join(scratch, 'track.plt'));
  const browser = await chromium.launchPersistentContext(mkdtempSync(join(scratch, 'chromium.')), {
    executablePath: '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  try {
    const tab = await browser.newPage();
    const load = readFileSync('/proc/loadavg', 'utf8').split(' ').slice(0, 3).join(' ');
    console.log(`The page against the native programs, median of ${runs} runs (load average: ${load}):`);
    await compare(tab, `${SMALL_FILES} waypoint files of 5 kB`, () => timeLoop(small), small, BATCH_DONE, (got) => {
      if (got.rows !== SMALL_FILES || got.finished !== SMALL_FILES)
        throw new Error(`the page finished ${got.finished} of ${got.rows} rows, not ${SMALL_FILES}`);
    });
    await compare(tab, '1,000,000 waypoints', () => timeNative('pintrove', wpt), wpt, LINKED);
    await compare(tab, '2,000,000 track points', () => timeNative('pathtrove', plt), plt, LINKED);

    const drawn = [];
    for (let i = 0; i < runs; i++) drawn.push(await timePage(tab, track, DRAWN));
    const features = Math.min(...drawn.map((d) => d.features));
    const longest = median(drawn.map((d) => d.longest));
    report(
      'a 1,000,000-point track drawn',
      `${median(drawn.map((d) => d.seconds)).toFixed(3)} s, longest main-thread task ${longest.toFixed(0)} ms` +
        ` (at most ${LONGEST_TASK_MS} ms)${features > 0 ? '' : ', but the track was not drawn'}`,
      longest <= LONGEST_TASK_MS && features > 0,
    );
  } finally {
    await browser.close();
  }
}

try {
  await measure();
} finally {
  rmSync(scratch, { recursive: true, force: true });
}
process.exitCode = results.every(Boolean) ? 0 : 1;
