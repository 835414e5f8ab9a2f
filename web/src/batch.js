// A batch: the files of one drop or pick, the rows they make, and what the
// page has made for them so far. A later batch replaces an earlier one whole.
import { baseName, distinct, documentNames, programFor } from './names.js';

/// The rows and notes of a batch of `items` ({file, path, folder} as a drop
/// or pick gives them, or {path, folder, error}): a row for each file a
/// program converts, each loose file of another kind and each file that
/// could not be read; a folder's files of other kinds make one note a folder.
/// A row that converts gets `document`, its path in the zip, and `download`,
/// the name of its own download, both distinct in any letter case.
export function plan(items) {
  const skipped = new Map();
  const rows = items.filter((item) => {
    if (item.error || !item.folder || programFor(item.path)) return true;
    skipped.set(item.folder, (skipped.get(item.folder) ?? 0) + 1);
    return false;
  });
  const documents = documentNames(rows.map((row) => (row.error ? '' : row.path)));
  const downloads = distinct(documents.map((path) => path && baseName(path)));
  rows.forEach((row, i) => Object.assign(row, { document: documents[i], download: downloads[i] }));
  const notes = [...skipped].map(([folder, n]) =>
    n === 1 ? `1 other file in ${folder} was not converted` : `${n} other files in ${folder} were not converted`,
  );
  return { rows, notes };
}

/// The rows a batch changed, drawn together by `draw(rows)` when
/// `schedule(callback)` calls back (once a frame), and the object URLs it
/// made. Once it has ended it draws nothing more and makes no URL, and the
/// URLs it made are released.
export class Batch {
  constructor(draw, schedule) {
    this.draw = draw;
    this.schedule = schedule;
    this.live = true;
    this.changed = new Set();
    this.waiting = []; // resolves of drawn()
    this.urls = [];
  }

  /// Marks `row` to be drawn again with the next frame.
  change(row) {
    if (!this.live) return;
    if (!this.changed.size) this.schedule(() => this.flush());
    this.changed.add(row);
  }

  flush() {
    if (!this.live || !this.changed.size) return; // drawn already, by an earlier call
    const rows = [...this.changed];
    this.changed.clear();
    this.draw(rows);
    this.waiting.splice(0).forEach((resolve) => resolve());
  }

  /// Resolves once every change so far is drawn, or the batch has ended.
  drawn() {
    return this.changed.size ? new Promise((resolve) => this.waiting.push(resolve)) : Promise.resolve();
  }

  /// An object URL for `blob`, released when the batch ends; null after.
  url(blob) {
    if (!this.live) return null;
    const url = URL.createObjectURL(blob);
    this.urls.push(url);
    return url;
  }

  end() {
    this.live = false;
    this.changed.clear();
    this.urls.splice(0).forEach((url) => URL.revokeObjectURL(url));
    this.waiting.splice(0).forEach((resolve) => resolve());
  }
}
