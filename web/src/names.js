// Which program converts a file, and the names of its document: the path in
// the zip and the name of its own download.

const PROGRAMS = {
  wpt: { program: 'pintrove', headerLines: 4, records: 'markers' },
  plt: { program: 'pathtrove', headerLines: 6, records: 'track points' },
};

/// The program for `path` by its extension in any letter case, or null.
export function programFor(path) {
  const dot = path.lastIndexOf('.');
  return dot <= path.lastIndexOf('/') ? null : PROGRAMS[path.slice(dot + 1).toLowerCase()] ?? null;
}

/// The last part of `path`, the file's own name.
export const baseName = (path) => path.slice(path.lastIndexOf('/') + 1);

function stem(path) {
  const dot = path.lastIndexOf('.');
  return dot > path.lastIndexOf('/') + 1 ? path.slice(0, dot) : path;
}

/// `names` (null ones left as they are) made distinct without regard to
/// letter case, as many systems' folders are: a name taken already, whatever
/// its case, gets " (2)", " (3)", ... before its extension.
export function distinct(names) {
  const taken = new Set(names.filter(Boolean).map((name) => name.toLowerCase()));
  const given = new Set();
  return names.map((name) => {
    if (name === null) return null;
    let unique = name;
    for (let n = 2; given.has(unique.toLowerCase()); n++) {
      unique = `${stem(name)} (${n})${name.slice(stem(name).length)}`;
      if (taken.has(unique.toLowerCase())) unique = name; // another file's own name: try the next number
    }
    given.add(unique.toLowerCase());
    return unique;
  });
}

/// The document path of each of `paths` (null for a file no program reads):
/// the file's path with STEM.kml for its name, or NAME.kml where another file
/// of the same folder has the same STEM, so that no document replaces
/// another. Stems are compared without regard to letter case.
export function documentNames(paths) {
  const key = (path) => stem(path).toLowerCase();
  const count = new Map();
  for (const path of paths) if (programFor(path)) count.set(key(path), (count.get(key(path)) ?? 0) + 1);
  return distinct(
    paths.map((path) => {
      if (!programFor(path)) return null;
      return (count.get(key(path)) > 1 ? path : stem(path)) + '.kml';
    }),
  );
}
