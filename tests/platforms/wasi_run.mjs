// Runs a WASI module (pintrove.wasm, a test program) under Node's own WASI,
// as qemu-user runs another processor's programs:
//
//   node wasi_run.mjs PROGRAM.wasm [ARGUMENT...]
//
// The module sees the words after this script as its arguments, the program
// path first, the working folder as its only folder (relative paths are read
// there) and this process's standard streams; its exit status is ours.
import { readFile } from 'node:fs/promises';
import { WASI } from 'node:wasi';

const args = process.argv.slice(2);
const wasi = new WASI({
  version: 'preview1',
  args,
  env: {},
  preopens: { '.': process.cwd() },
  returnOnExit: true,
});
const module = await WebAssembly.compile(await readFile(args[0]));
const instance = await WebAssembly.instantiate(module, wasi.getImportObject());
process.exitCode = wasi.start(instance);
