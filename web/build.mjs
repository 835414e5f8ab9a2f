// Bundles the page into one self-contained file: its styles, its script,
// the scripts of its workers (the converter's and the map's reader), the
// map's atlas and both WebAssembly programs inside one HTML file.
//
//   node build.mjs NODE_MODULES PINTROVE.wasm PATHTROVE.wasm OUTPUT.html
//
// NODE_MODULES is the folder the page's packages were installed in.
import { readFile, writeFile } from 'node:fs/promises';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const [modules, pintrove, pathtrove, output] = process.argv.slice(2).map((p) => resolve(p));
const esbuild = createRequire(join(modules, 'package.json'))('esbuild');

const bundle = async (entry, plugins = []) => {
  const result = await esbuild.build({
    entryPoints: [join(here, 'src', entry)],
    bundle: true,
    write: false,
    format: 'iife',
    minify: true,
    target: 'es2022',
    legalComments: 'none',
    nodePaths: [modules],
    plugins,
  });
  return result.outputFiles[0].text;
};

// What the page imports as trove:NAME: the workers' code as text, the
// programs as bytes (esbuild writes them in base64).
const embedded = (workers) => ({
  name: 'trove',
  setup(build) {
    build.onResolve({ filter: /^trove:/ }, (args) => ({ path: args.path.slice(6), namespace: 'trove' }));
    build.onLoad({ filter: /.*/, namespace: 'trove' }, async (args) =>
      args.path in workers
        ? { contents: workers[args.path], loader: 'text' }
        : { contents: await readFile(args.path === 'pintrove.wasm' ? pintrove : pathtrove), loader: 'binary' },
    );
  },
});

const workers = { worker: await bundle('worker.js'), 'map-reader': await bundle('map-reader.js') };
const script = await bundle('page.js', [embedded(workers)]);
const sheets = [join(modules, 'ol/ol.css'), join(modules, 'uplot/dist/uPlot.min.css'), join(here, 'style.css')];
const styles = (await Promise.all(sheets.map((path) => readFile(path, 'utf8')))).join('\n');
const html = await readFile(join(here, 'index.html'), 'utf8');
// The script may not end the element that holds it.
const safe = script.replaceAll('</script', '<\\/script');
await writeFile(output, html.replace('/*STYLE*/', () => styles).replace('/*SCRIPT*/', () => safe));
