// The few WASI calls the two programs make, over one input File and one
// output document, as a command line would give them the folder their two
// paths are relative to (both may lead into its subfolders, as
// trip/day1/a.wpt): fd 3 is that folder ("."), the input opens as fd 4 and
// the output as fd 5. Standard error is kept as text; standard output is not used, since
// the document always goes to its named file.

const ERRNO = { badf: 8, inval: 28, noent: 44, spipe: 70 };
const FILETYPE = { character_device: 2, directory: 3, regular_file: 4 };
const FOLDER = 3;
const INPUT = 4;
const OUTPUT = 5;

/// Thrown by proc_exit to leave the program with its status.
class Exit {
  constructor(status) {
    this.status = status;
  }
}

/// Reads `file` ahead in slices of `sliceSize` bytes, so the program's many
/// small reads are served from one large one each: from `slices`, the
/// file's slices read before the program runs, where given; otherwise with
/// FileReaderSync as the program gets to them, each shown to `onSlice`.
/// `onRead(position)` sees each position the program has read up to.
export class SliceReader {
  constructor(file, sliceSize, { slices = [], onSlice = () => {}, onRead = () => {} } = {}) {
    this.file = file;
    this.sliceSize = sliceSize;
    this.slices = slices;
    this.onSlice = onSlice;
    this.onRead = onRead;
    this.reader = new FileReaderSync();
    this.slice = new Uint8Array(0);
    this.used = 0;
    this.start = 0; // offset in the file of slice[0]
  }

  get position() {
    return this.start + this.used;
  }

  seek(position) {
    if (position >= this.start && position <= this.start + this.slice.length) {
      this.used = position - this.start;
      return;
    }
    this.start = position;
    this.slice = new Uint8Array(0);
    this.used = 0;
  }

  /// Copies up to `target.length` bytes into `target`; 0 at the end.
  read(target) {
    if (this.used === this.slice.length) {
      const from = this.start + this.slice.length;
      if (from >= this.file.size) return 0;
      const to = Math.min(this.file.size, from + this.sliceSize);
      const early = from % this.sliceSize === 0 && this.slices[from / this.sliceSize];
      this.slice = early || new Uint8Array(this.reader.readAsArrayBuffer(this.file.slice(from, to)));
      this.start = from;
      this.used = 0;
      if (!early) this.onSlice(this.slice);
    }
    const n = Math.min(target.length, this.slice.length - this.used);
    target.set(this.slice.subarray(this.used, this.used + n));
    this.used += n;
    this.onRead(this.position);
    return n;
  }
}

/// Collects the document in a reused buffer of `bufferSize` bytes. Each time
/// it fills it becomes a Blob part, copied once into the browser's keeping;
/// the document's Blob is made of those parts and what the buffer holds at
/// the end, so no byte is copied into a Blob twice.
export class BlobWriter {
  constructor(bufferSize, type) {
    this.buffer = new Uint8Array(bufferSize);
    this.type = type;
    this.filled = 0;
    this.parts = [];
    this.size = 0;
  }

  write(bytes) {
    let offset = 0;
    while (offset < bytes.length) {
      const n = Math.min(bytes.length - offset, this.buffer.length - this.filled);
      this.buffer.set(bytes.subarray(offset, offset + n), this.filled);
      this.filled += n;
      offset += n;
      if (this.filled === this.buffer.length) {
        this.parts.push(new Blob([this.buffer]));
        this.filled = 0;
      }
    }
    this.size += bytes.length;
  }

  blob() {
    return new Blob([...this.parts, this.buffer.subarray(0, this.filled)], { type: this.type });
  }
}

/// The import object for a run of `args` (argv[0] first) reading the input
/// named args[1] from `input` (a SliceReader) and writing the document named
/// `outputName` to `output` (a BlobWriter). `memory()` gives the instance's
/// memory once it exists; `stderr` collects the bytes written to standard error.
function wasiImports({ args, inputName, input, outputName, output, memory, stderr }) {
  const encoder = new TextEncoder();
  const decoder = new TextDecoder();
  const argBytes = args.map((a) => encoder.encode(a + '\0'));
  const open = new Set();
  const view = () => new DataView(memory().buffer);
  const bytes = (ptr, len) => new Uint8Array(memory().buffer, ptr, len);
  const text = (ptr, len) => decoder.decode(bytes(ptr, len).slice());
  const nameOf = (ptr, len) => {
    const name = text(ptr, len);
    return name.startsWith('./') ? name.slice(2) : name;
  };

  // Visits the iovec list as (pointer, length) pairs; stops when `visit`
  // does not use its whole piece. Returns the bytes moved.
  const eachPiece = (iovs, count, visit) => {
    const v = view();
    let total = 0;
    for (let i = 0; i < count; i++) {
      const ptr = v.getUint32(iovs + 8 * i, true);
      const len = v.getUint32(iovs + 8 * i + 4, true);
      const moved = visit(ptr, len);
      total += moved;
      if (moved < len) break;
    }
    return total;
  };

  const putFilestat = (ptr, type, ino, size) => {
    const v = view();
    bytes(ptr, 64).fill(0);
    v.setBigUint64(ptr + 8, BigInt(ino), true);
    v.setUint8(ptr + 16, type);
    v.setBigUint64(ptr + 24, 1n, true);
    v.setBigUint64(ptr + 32, BigInt(size), true);
  };

  const typeOf = (fd) => {
    if (fd <= 2) return FILETYPE.character_device;
    if (fd === FOLDER) return FILETYPE.directory;
    return open.has(fd) ? FILETYPE.regular_file : 0;
  };

  return {
    args_sizes_get(countPtr, sizePtr) {
      const v = view();
      v.setUint32(countPtr, argBytes.length, true);
      v.setUint32(sizePtr, argBytes.reduce((sum, a) => sum + a.length, 0), true);
      return 0;
    },
    args_get(argvPtr, bufPtr) {
      const v = view();
      argBytes.forEach((a, i) => {
        v.setUint32(argvPtr + 4 * i, bufPtr, true);
        bytes(bufPtr, a.length).set(a);
        bufPtr += a.length;
      });
      return 0;
    },
    fd_prestat_get(fd, ptr) {
      if (fd !== FOLDER) return ERRNO.badf;
      view().setUint32(ptr, 0, true); // a directory
      view().setUint32(ptr + 4, 1, true); // the length of "."
      return 0;
    },
    fd_prestat_dir_name(fd, ptr, len) {
      if (fd !== FOLDER) return ERRNO.badf;
      bytes(ptr, len).set(encoder.encode('.').subarray(0, len));
      return 0;
    },
    path_open(dirfd, _dirflags, pathPtr, pathLen, oflags, _base, _inheriting, _fdflags, fdPtr) {
      if (dirfd !== FOLDER) return ERRNO.badf;
      const name = nameOf(pathPtr, pathLen);
      let fd;
      if (name === inputName && (oflags & 1) === 0) fd = INPUT;
      else if (name === outputName) fd = OUTPUT;
      else return ERRNO.noent;
      open.add(fd);
      view().setUint32(fdPtr, fd, true);
      return 0;
    },
    path_filestat_get(dirfd, _flags, pathPtr, pathLen, ptr) {
      if (dirfd !== FOLDER) return ERRNO.badf;
      const name = nameOf(pathPtr, pathLen);
      if (name === inputName) putFilestat(ptr, FILETYPE.regular_file, INPUT, input.file.size);
      else if (name === outputName && open.has(OUTPUT))
        putFilestat(ptr, FILETYPE.regular_file, OUTPUT, output.size);
      else return ERRNO.noent;
      return 0;
    },
    fd_filestat_get(fd, ptr) {
      const type = typeOf(fd);
      if (!type) return ERRNO.badf;
      putFilestat(ptr, type, fd, fd === INPUT ? input.file.size : fd === OUTPUT ? output.size : 0);
      return 0;
    },
    fd_fdstat_get(fd, ptr) {
      const type = typeOf(fd);
      if (!type) return ERRNO.badf;
      const v = view();
      bytes(ptr, 24).fill(0);
      v.setUint8(ptr, type);
      v.setBigUint64(ptr + 8, 0xffffffffffffffffn, true);
      v.setBigUint64(ptr + 16, 0xffffffffffffffffn, true);
      return 0;
    },
    fd_fdstat_set_flags: () => 0,
    fd_seek(fd, offset, whence, resultPtr) {
      if (fd !== INPUT && fd !== OUTPUT) return fd <= FOLDER ? ERRNO.spipe : ERRNO.badf;
      const here = fd === INPUT ? input.position : output.size;
      const end = fd === INPUT ? input.file.size : output.size;
      const target = [0, here, end][whence] + Number(offset);
      if (whence > 2 || target < 0) return ERRNO.inval;
      // The document is written straight through and never seeks; a seek on
      // it only asks where it is.
      if (fd === OUTPUT && target !== here) return ERRNO.spipe;
      if (fd === INPUT) input.seek(target);
      view().setBigUint64(resultPtr, BigInt(target), true);
      return 0;
    },
    fd_read(fd, iovs, count, nreadPtr) {
      let total = 0;
      if (fd === INPUT) total = eachPiece(iovs, count, (ptr, len) => input.read(bytes(ptr, len)));
      else if (fd !== 0) return ERRNO.badf;
      view().setUint32(nreadPtr, total, true);
      return 0;
    },
    fd_write(fd, iovs, count, nwrittenPtr) {
      const sink =
        fd === OUTPUT ? (b) => output.write(b) : fd === 2 ? (b) => stderr.push(b.slice()) : fd === 1 ? () => {} : null;
      if (!sink) return ERRNO.badf;
      const total = eachPiece(iovs, count, (ptr, len) => (sink(bytes(ptr, len)), len));
      view().setUint32(nwrittenPtr, total, true);
      return 0;
    },
    fd_close(fd) {
      if (!open.delete(fd)) return ERRNO.badf;
      return 0;
    },
    proc_exit(status) {
      throw new Exit(status);
    },
  };
}

/// Runs `module` as `PROGRAM INPUT OUTPUT` (`args`) would run from the folder
/// the two paths are relative to: INPUT read from `input` (a SliceReader),
/// the document OUTPUT written to `output` (a BlobWriter). Returns the exit
/// status and what the program wrote to standard error, as text.
export function run(module, { args, input, output }) {
  const stderr = [];
  let instance;
  const imports = wasiImports({
    args,
    inputName: args[1],
    input,
    outputName: args[2],
    output,
    memory: () => instance.exports.memory,
    stderr,
  });
  instance = new WebAssembly.Instance(module, { wasi_snapshot_preview1: imports });
  let status = 0;
  try {
    instance.exports._start();
  } catch (e) {
    if (!(e instanceof Exit)) throw e;
    status = e.status;
  }
  return { status, message: new TextDecoder().decode(new Uint8Array(stderr.flatMap((b) => [...b]))) };
}
