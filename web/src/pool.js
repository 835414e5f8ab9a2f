// A few workers, each running one job at a time, kept for the next job.

export class Pool {
  constructor(url, size) {
    this.url = url;
    this.size = size;
    this.idle = [];
    this.started = 0;
    this.waiting = [];
  }

  /// Runs `message` on a worker: resolves with its 'done' message, calling
  /// `onProgress` with each 'progress' one before.
  run(message, onProgress = () => {}) {
    return new Promise((resolve, reject) => {
      this.waiting.push({ message, onProgress, resolve, reject });
      this.next();
    });
  }

  next() {
    if (!this.waiting.length) return;
    let worker = this.idle.pop();
    if (!worker && this.started < this.size) {
      worker = new Worker(this.url);
      this.started++;
    }
    if (!worker) return;
    const job = this.waiting.shift();
    const finish = () => {
      this.idle.push(worker);
      this.next();
    };
    worker.onmessage = ({ data }) => {
      if (data.type === 'progress') return job.onProgress(data);
      finish();
      if (data.type === 'done') job.resolve(data);
      else job.reject(new Error(data.message));
    };
    worker.onerror = (event) => {
      event.preventDefault();
      finish();
      job.reject(new Error(event.message));
    };
    worker.postMessage(job.message);
  }
}
