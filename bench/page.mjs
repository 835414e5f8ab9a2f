// Times the browser page against the native programs on the same files in
// the same run:
//
//   node bench/page.mjs PAGE.html NATIVE_BUILD_DIR WPT PLT
//
// The native program runs as `pintrove NAME OUTPUT` in the input's folder,
// writing its document to a file (as the page makes one), and also with the
// document going to /dev/null. The page is opened from disk in headless
// Chromium (/usr/bin/chromium, driven by playwright-core from the page's
// build folder) and is timed from giving it the file to the document's
// download link appearing, on a page loaded afresh for each run. Prints the median of RUNS runs (default 3) of
// each and the ratio page / native.
import { spawnSync } from 'node:child_process';
import { mkdtempSync, openSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { basename, dirname, join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const [page, native, wpt, plt] = process.argv.slice(2).map((p) => p && resolve(p));
if (!plt) {
  console.error('usage: node bench/page.mjs PAGE.html NATIVE_BUILD_DIR WPT PLT');
  process.exit(2);
}
const runs = Number(process.env.RUNS ?? 3);
const require = createRequire(join(dirname(page), 'web', 'package.json'));
const { chromium } = require('playwright-core');
const scratch = mkdtempSync(join(tmpdir(), 'trove-page-bench.'));
const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];

function timeNative(program, input, toFile) {
  const stdout = toFile ? 'ignore' : openSync('/dev/null', 'w');
  const args = toFile ? [basename(input), join(scratch, 'document.kml')] : [basename(input)];
  const start = process.hrtime.bigint();
  const run = spawnSync(join(native, program), args, { cwd: dirname(input), stdio: ['ignore', stdout, 'inherit'] });
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  if (run.status !== 0) throw new Error(`${program} failed on ${input}`);
  return seconds;
}

// Resolves with the seconds from the input's change event to the first
// download link in the rows.
async function timePage(browserPage, input) {
  const timing = browserPage.evaluate(
    () =>
      new Promise((done) => {
        let start;
        window.addEventListener('change', () => (start = performance.now()), { capture: true, once: true });
        const rows = document.getElementById('rows');
        const seen = new MutationObserver(() => {
          if (start !== undefined && rows.querySelector('a[download]')) {
            seen.disconnect();
            done((performance.now() - start) / 1000);
          }
        });
        seen.observe(rows, { childList: true, subtree: true });
      }),
  );
  await browserPage.setInputFiles('#files', input);
  return timing;
}

const browser = await chromium.launchPersistentContext(mkdtempSync(join(scratch, 'chromium.')), {
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const browserPage = await browser.newPage();
  console.log('program    input          native, file  native, /dev/null   page   page/native (file)  (/dev/null)');
  for (const [program, input] of [['pintrove', wpt], ['pathtrove', plt]]) {
    const file = [], devnull = [], inPage = [];
    for (let i = 0; i < runs; i++) {
      file.push(timeNative(program, input, true));
      devnull.push(timeNative(program, input, false));
      // A fresh page each time, as the documents of the run before take memory.
      await browserPage.goto(pathToFileURL(page).href);
      inPage.push(await timePage(browserPage, input));
    }
    const [f, d, p] = [median(file), median(devnull), median(inPage)];
    console.log(
      `${program.padEnd(10)} ${basename(input).padEnd(14)} ${f.toFixed(3).padStart(10)} s ${d.toFixed(3).padStart(12)} s` +
        ` ${p.toFixed(3).padStart(9)} s ${(p / f).toFixed(2).padStart(10)} ${(p / d).toFixed(2).padStart(14)}`,
    );
  }
} finally {
  await browser.close();
  rmSync(scratch, { recursive: true, force: true });
}
