// Reads the placemarks of a KML document given in pieces of bytes, without
// ever holding the whole text: each Placemark's name, and the coordinates of
// its Point or LineString, read as OpenLayers' KML reader reads them.
//
//   const scan = new KmlScan({ point(name, x, y, z, start, end) {}, line(name, xyz) {} });
//   scan.feed(bytes, offset); ... scan.end();
//
// `offset` is where `bytes` begin in the document; a point reports where the
// text of its coordinates starts and ends there, so that it can be shown as
// the document writes it. A line's `xyz` is a Float64Array of longitude,
// latitude and altitude triples, valid during the call only.

const LT = 0x3c;
const GT = 0x3e;
const AMP = 0x26;
const COMMA = 0x2c;
const NAME_END = new TextEncoder().encode('</name>');
const NAME_LIMIT = 1 << 16; // a name not ended within this is taken as it is
const POWERS = Array.from({ length: 23 }, (_, k) => 10 ** k);
const ENTITIES = { amp: '&', lt: '<', gt: '>', quot: '"', apos: "'" };

// The elements read, by the first letter of the tag; all others are passed over.
const TAGS = { P: ['Placemark', 'Point'], '/': ['/Placemark'], n: ['name'], L: ['LineString'], c: ['coordinates'] };
const TAG_BYTES = new Map(Object.values(TAGS).flat().map((t) => [t, new TextEncoder().encode(t)]));
const BY_FIRST = Array.from({ length: 128 }, (_, b) => TAGS[String.fromCharCode(b)] ?? null);

const isSpace = (b) => b === 0x20 || b === 0x0a || b === 0x0d || b === 0x09;
const latin1 = (bytes, from, to) => String.fromCharCode.apply(null, bytes.subarray(from, to));
const utf8 = new TextDecoder();

/// The name of the tag that starts at `at` when it is one of TAGS, else undefined.
function tagAt(bytes, at) {
  const candidates = BY_FIRST[bytes[at]];
  if (!candidates) return undefined;
  for (const tag of candidates) {
    const name = TAG_BYTES.get(tag);
    let k = 1;
    while (k < name.length && bytes[at + k] === name[k]) k++;
    const after = bytes[at + k];
    if (k === name.length && (after === GT || after === 0x2f || isSpace(after))) return tag;
  }
  return undefined;
}

/// Text of an element with its character references replaced.
function elementText(bytes, from, to) {
  const text = utf8.decode(bytes.subarray(from, to));
  if (bytes.subarray(from, to).indexOf(AMP) < 0) return text;
  return text.replace(/&(#x[0-9a-f]+|#[0-9]+|[a-z]+);/gi, (whole, ref) =>
    ref[0] !== '#'
      ? ENTITIES[ref] ?? whole
      : String.fromCodePoint(ref[1] === 'x' || ref[1] === 'X' ? parseInt(ref.slice(2), 16) : parseInt(ref.slice(1), 10)),
  );
}

let numberEnd = 0; // where the number readNumber read ends

/// The number written as -?DIGITS(.DIGITS)? from `from` (before `to`), as
/// parseFloat gives it, or NaN for any other form; sets numberEnd. Up to 15
/// digits the integer they make and the power of ten are exact, so one
/// division rounds correctly.
export function readNumber(bytes, from, to) {
  let i = from;
  const negative = bytes[i] === 0x2d;
  if (negative) i++;
  let digits = 0, fraction = -1, value = 0;
  for (; i < to; i++) {
    const b = bytes[i];
    if (b >= 0x30 && b <= 0x39) {
      value = value * 10 + (b - 0x30);
      digits++;
      if (fraction >= 0) fraction++;
    } else if (b === 0x2e && fraction < 0 && digits > 0) fraction = 0;
    else break;
  }
  numberEnd = i;
  if (digits === 0 || fraction === 0) return NaN;
  if (digits > 15 || fraction > 22) return parseFloat(latin1(bytes, from, i));
  const result = fraction > 0 ? value / POWERS[fraction] : value;
  return negative ? -result : result;
}

/// OpenLayers' reading of a coordinates text: tuples of two or three numbers,
/// blanks tolerated around commas; anything left over voids the geometry.
export function readCoordinateText(s, out) {
  s = s.replace(/\s*,\s*/g, ',');
  const re =
    /^\s*([+\-]?\d*\.?\d+(?:e[+\-]?\d+)?),([+\-]?\d*\.?\d+(?:e[+\-]?\d+)?)(?:\s+|,|$)(?:([+\-]?\d*\.?\d+(?:e[+\-]?\d+)?)(?:\s+|$))?\s*/i;
  let m;
  while ((m = re.exec(s))) {
    out.push(parseFloat(m[1]), parseFloat(m[2]), m[3] ? parseFloat(m[3]) : 0);
    s = s.substring(m[0].length);
  }
  return s === '';
}

/// A Float64Array that grows by doubling.
class Numbers {
  constructor() {
    this.array = new Float64Array(15); // a point's three numbers, or a line's first five points
    this.length = 0;
  }
  push(a, b, c) {
    if (this.length + 3 > this.array.length) {
      const wider = new Float64Array(this.array.length * 2);
      wider.set(this.array);
      this.array = wider;
    }
    this.array[this.length++] = a;
    this.array[this.length++] = b;
    this.array[this.length++] = c;
  }
}

export class KmlScan {
  constructor(sink) {
    this.sink = sink;
    this.carry = null; // bytes not yet read, and where they start
    this.carryOffset = 0;
    this.placemark = null; // { name, type }
    this.coordinates = null; // { start, slow } while inside <coordinates>
    this.xyz = new Numbers(); // their values, read again for every geometry
  }

  /// Reads `bytes`, which start at `offset` in the document.
  feed(bytes, offset) {
    if (this.carry) {
      const joined = new Uint8Array(this.carry.length + bytes.length);
      joined.set(this.carry);
      joined.set(bytes, this.carry.length);
      bytes = joined;
      offset = this.carryOffset;
    }
    const read = this.read(bytes, offset, false);
    this.carry = read < bytes.length ? bytes.slice(read) : null;
    this.carryOffset = offset + read;
  }

  /// Reads what is left at the end of the document.
  end() {
    if (this.carry) this.read(this.carry, this.carryOffset, true);
    this.carry = null;
  }

  /// Reads elements from `i`; returns where the first byte not read is.
  read(bytes, offset, last) {
    let i = 0;
    while (i < bytes.length) {
      if (this.coordinates) {
        i = this.readTuples(bytes, i, offset, last);
        if (this.coordinates) return i;
      }
      const lt = bytes.indexOf(LT, i);
      if (lt < 0) return bytes.length;
      const gt = bytes.indexOf(GT, lt);
      if (gt < 0) return last ? bytes.length : lt;
      i = gt + 1;
      const name = tagAt(bytes, lt + 1);
      if (name === 'Placemark') this.placemark = { name: '', type: null };
      else if (name === '/Placemark') this.placemark = null;
      else if (!this.placemark) continue;
      else if (name === 'name' && !this.placemark.type) {
        const end = indexOfBytes(bytes, NAME_END, i);
        if (end < 0 && !last && bytes.length - i < NAME_LIMIT) return lt;
        const stop = end < 0 ? bytes.length : end;
        this.placemark.name = elementText(bytes, i, stop).trim();
        i = end < 0 ? stop : end + NAME_END.length;
      } else if (name === 'Point' || name === 'LineString') this.placemark.type ??= name;
      else if (name === 'coordinates' && this.placemark.type)
        [this.coordinates, this.xyz.length] = [{ start: offset + i, slow: null }, 0];
    }
    return i;
  }

  /// Reads coordinate tuples from `i` up to the end of the element, or of
  /// what is given; returns where the first byte not read is.
  readTuples(bytes, i, offset, last) {
    const c = this.coordinates;
    const n = bytes.length;
    if (c.slow === null) {
      for (;;) {
        while (i < n && isSpace(bytes[i])) i++;
        if (i === n) return i;
        if (bytes[i] === LT) return this.endCoordinates(offset + i, i);
        // "x,y,z" up to a blank or the end of the element.
        const x = readNumber(bytes, i, n);
        const y = bytes[numberEnd] === COMMA ? readNumber(bytes, numberEnd + 1, n) : NaN;
        const z = bytes[numberEnd] === COMMA ? readNumber(bytes, numberEnd + 1, n) : NaN;
        if (numberEnd === n && !last) return i;
        if (Number.isNaN(x + y + z) || (numberEnd < n && !isSpace(bytes[numberEnd]) && bytes[numberEnd] !== LT)) break;
        this.xyz.push(x, y, z);
        i = numberEnd;
      }
      c.slow = '';
    }
    // Any other form: the rest of the text, read as OpenLayers reads it.
    const lt = bytes.indexOf(LT, i);
    c.slow += elementText(bytes, i, lt < 0 ? n : lt);
    return lt < 0 ? n : this.endCoordinates(offset + lt, lt);
  }

  /// Ends the coordinates at `at` in the document (`i` in the bytes) and
  /// hands the geometry over.
  endCoordinates(at, i) {
    const { start, slow } = this.coordinates;
    const xyz = this.xyz;
    this.coordinates = null;
    if (slow !== null) {
      const more = [];
      if (!readCoordinateText(slow, more)) return i;
      for (let k = 0; k < more.length; k += 3) xyz.push(more[k], more[k + 1], more[k + 2]);
    }
    const { name, type } = this.placemark;
    const values = xyz.array.subarray(0, xyz.length);
    if (type === 'Point' && values.length >= 3) this.sink.point(name, values[0], values[1], values[2], start, at);
    else if (type === 'LineString') this.sink.line(name, values);
    return i;
  }
}

/// The index of `needle` in `bytes` from `from`, or -1.
function indexOfBytes(bytes, needle, from) {
  for (let i = bytes.indexOf(needle[0], from); i >= 0; i = bytes.indexOf(needle[0], i + 1)) {
    let k = 1;
    while (k < needle.length && bytes[i + k] === needle[k]) k++;
    if (k === needle.length) return i;
    if (i + k >= bytes.length) return -1;
  }
  return -1;
}
