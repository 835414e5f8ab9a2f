// Which program converts a file, and the name of its document.

const PROGRAMS = {
  wpt: { program: 'pintrove', headerLines: 4, records: 'markers' },
  plt: { program: 'pathtrove', headerLines: 6, records: 'track points' },
};

/// The program for `name` by its extension in any letter case, or null.
export function programFor(name) {
  const dot = name.lastIndexOf('.');
  return dot < 0 ? null : PROGRAMS[name.slice(dot + 1).toLowerCase()] ?? null;
}

function stem(name) {
  const dot = name.lastIndexOf('.');
  return dot > 0 ? name.slice(0, dot) : name;
}

/// The document name of each of `names` (null for a file no program reads):
/// STEM.kml, or NAME.kml where another of them has the same STEM, so that no
/// document replaces another. Stems are compared without regard to letter
/// case, as many systems' folders do.
export function documentNames(names) {
  const key = (name) => stem(name).toLowerCase();
  const count = new Map();
  for (const name of names) if (programFor(name)) count.set(key(name), (count.get(key(name)) ?? 0) + 1);
  return names.map((name) => {
    if (!programFor(name)) return null;
    return (count.get(key(name)) > 1 ? name : stem(name)) + '.kml';
  });
}
