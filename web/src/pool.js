// A few workers, started with the page, each running one job at a time and
// kept for the next job. Each worker is sent the 'init' message once, before
// its first job; a worker that breaks is replaced by a new one.

export class Pool {
  /// `size` workers of the script at `url`; `init` is a promise of the
  /// message each worker is sent first. Jobs wait until it has come.
  constructor(url, size, init) {
    this.url = url;
    this.size = size;
    this.count = 0;
    this.idle = [];
    this.waiting = [];
    this.init = null;
    this.failure = null;
    for (let i = 0; i < size; i++) this.idle.push(this.start());
    init.then(
      (message) => {
        this.init = message;
        for (const worker of this.idle) worker.postMessage(message);
        this.next();
      },
      (error) => {
        this.failure = error;
        this.cancel(error);
      },
    );
  }

  /// Runs `message` on a worker: resolves with its 'done' message, calling
  /// `onStart` when a worker takes the job and `onProgress` with each
  /// 'progress' message; rejects with the failure in words.
  run(message, { onStart = () => {}, onProgress = () => {} } = {}) {
    return new Promise((resolve, reject) => {
      if (this.failure) return reject(this.failure);
      this.waiting.push({ message, onStart, onProgress, resolve, reject });
      this.next();
    });
  }

  /// Rejects every job no worker has taken yet with `error`.
  cancel(error = new Error('cancelled')) {
    this.waiting.splice(0).forEach((job) => job.reject(error));
  }

  next() {
    while (this.init && this.waiting.length) {
      const worker = this.idle.pop() ?? (this.count < this.size ? this.start() : null);
      if (!worker) return;
      worker.job = this.waiting.shift();
      worker.job.onStart();
      worker.postMessage(worker.job.message);
    }
  }

  start() {
    const worker = new Worker(this.url);
    this.count++;
    worker.onmessage = ({ data }) => {
      const job = worker.job;
      if (data.type === 'progress') return job?.onProgress(data);
      worker.job = null;
      this.idle.push(worker);
      this.next();
      if (data.type === 'done') job?.resolve(data);
      else job?.reject(new Error(data.message));
    };
    // A broken worker is let go; the next job that finds no idle worker
    // starts a new one in its place.
    const broken = (words) => {
      if (worker.broken) return;
      worker.broken = true;
      worker.terminate();
      this.count--;
      this.idle = this.idle.filter((w) => w !== worker);
      worker.job?.reject(new Error(words));
      worker.job = null;
      this.next();
    };
    worker.onerror = (event) => {
      event.preventDefault();
      broken(event.message || 'the worker stopped');
    };
    worker.onmessageerror = () => broken('a message from the worker could not be read');
    if (this.init) worker.postMessage(this.init);
    return worker;
  }
}
