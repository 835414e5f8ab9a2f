// What a walker or a pilot reads off a track or a set of markers: length,
// climb and altitudes, computed from longitude, latitude and altitude as the
// document writes them, every `stride` values (x, y, z first).

const RADIUS = 6371008.8; // metres: the mean radius of the earth, as the map's sphere has it
const radians = (degrees) => (degrees * Math.PI) / 180;

/// The great-circle distance in metres (haversine) between two points at
/// latitudes `lat1` and `lat2` (in degrees) given the cosines of those
/// latitudes, which a track's next segment uses again.
function distance(lon1, lat1, cos1, lon2, lat2, cos2) {
  const halfLat = radians(lat2 - lat1) / 2;
  const halfLon = radians(lon2 - lon1) / 2;
  const a = Math.sin(halfLat) * Math.sin(halfLat) + Math.sin(halfLon) * Math.sin(halfLon) * cos1 * cos2;
  return 2 * RADIUS * Math.atan2(Math.sqrt(a), Math.sqrt(1 - a));
}

/// The lowest and highest altitude of the points, or nulls when there are none.
export function altitudeRange(values, stride = 3) {
  let lowest = Infinity, highest = -Infinity;
  for (let i = 2; i < values.length; i += stride) {
    lowest = Math.min(lowest, values[i]);
    highest = Math.max(highest, values[i]);
  }
  return lowest <= highest ? [lowest, highest] : [null, null];
}

/// A track's figures: `length` in metres, `ascent` and `descent` in metres
/// (every rise and fall between consecutive altitudes, unsmoothed, so a
/// noisy log counts its noise), `lowest` and `highest`; and `along`, the
/// distance in metres from the first point to each point.
export function trackFigures(values, stride = 3) {
  const count = Math.floor(values.length / stride);
  const along = new Float64Array(count);
  let length = 0, ascent = 0, descent = 0;
  let cos = Math.cos(radians(values[1]));
  for (let k = 1, i = stride; k < count; k++, i += stride) {
    const before = cos;
    cos = Math.cos(radians(values[i + 1]));
    length += distance(values[i - stride], values[i - stride + 1], before, values[i], values[i + 1], cos);
    along[k] = length;
    const rise = values[i + 2] - values[i - stride + 2];
    if (rise > 0) ascent += rise;
    else descent -= rise;
  }
  const [lowest, highest] = altitudeRange(values, stride);
  return { length, ascent, descent, lowest, highest, along };
}

/// The profile to draw, altitude against distance in km: every point of a
/// short track; of a longer one, the lowest and highest point of each of
/// `columns` equal stretches of its length, in their order along it, so that
/// no peak or dip is lost at that width.
export function reduceProfile(along, values, stride, columns) {
  const count = along.length;
  if (count <= 2 * columns) {
    const metres = Float64Array.from({ length: count }, (_, k) => values[k * stride + 2]);
    return { km: along.map((d) => d / 1000), metres };
  }
  const km = [], metres = [];
  const keep = (k) => (km.push(along[k] / 1000), metres.push(values[k * stride + 2]));
  const width = along[count - 1] / columns || 1;
  for (let k = 0; k < count; ) {
    const column = Math.min(columns - 1, Math.floor(along[k] / width));
    let low = k, high = k;
    for (k++; k < count && Math.min(columns - 1, Math.floor(along[k] / width)) === column; k++) {
      if (values[k * stride + 2] < values[low * stride + 2]) low = k;
      if (values[k * stride + 2] > values[high * stride + 2]) high = k;
    }
    keep(Math.min(low, high));
    if (low !== high) keep(Math.max(low, high));
  }
  return { km: Float64Array.from(km), metres: Float64Array.from(metres) };
}

/// Metres as whole metres, "1,234 m".
export const metresText = (metres) => `${Math.round(metres).toLocaleString('en')} m`;

/// Metres as km to one decimal, "12.3 km".
export const kmText = (metres) =>
  `${(metres / 1000).toLocaleString('en', { minimumFractionDigits: 1, maximumFractionDigits: 1 })} km`;
