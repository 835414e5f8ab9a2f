// The files of a drop or a pick, each with its path from where it was
// given: a loose file by its name, a folder's file by its path from the
// folder's parent, the folder's own name first ('trip/day1/a.wpt').

const byPath = (a, b) => (a.path < b.path ? -1 : a.path > b.path ? 1 : 0);

/// The files of a pick ({file, path, folder}, folder null for a loose
/// file); those of a folder picked whole carry their path in it.
export function pickedFiles(files) {
  const items = [...files].map((file) => {
    const path = file.webkitRelativePath || file.name;
    const slash = path.indexOf('/');
    return { file, path, folder: slash < 0 ? null : path.slice(0, slash) };
  });
  // Loose files keep the order they were given in; a folder's go by path.
  return items.some((item) => item.folder) ? items.sort(byPath) : items;
}

/// Every file under the dropped `entries` (FileSystemEntry), folders walked
/// at any depth, as pickedFiles gives them; a file or folder that cannot be
/// read is {path, folder, error} with the reason in words.
export async function walkEntries(entries) {
  const groups = await Promise.all(
    entries.map(async (entry) => {
      const found = [];
      await visit(entry, entry.name, entry.isDirectory ? entry.name : null, found);
      return found.sort(byPath);
    }),
  );
  return groups.flat();
}

async function visit(entry, path, folder, found) {
  try {
    if (entry.isDirectory) {
      const children = await readAll(entry.createReader());
      await Promise.all(children.map((child) => visit(child, `${path}/${child.name}`, folder, found)));
    } else {
      found.push({ file: await new Promise((ok, fail) => entry.file(ok, fail)), path, folder });
    }
  } catch (e) {
    found.push({ path, folder, error: `${path} could not be read: ${e?.message || e}` });
  }
}

// A reader gives a folder's entries some at a time (a hundred or so), then
// none once it has given them all.
async function readAll(reader) {
  const all = [];
  for (;;) {
    const some = await new Promise((ok, fail) => reader.readEntries(ok, fail));
    if (!some.length) return all;
    all.push(...some);
  }
}
