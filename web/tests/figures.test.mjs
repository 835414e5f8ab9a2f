// The profile of a long track, reduced to a few points a column, loses no
// peak nor dip and runs forward along the track.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { reduceProfile, trackFigures } from '../src/figures.js';

test('a reduced profile keeps every peak and dip, in order', () => {
  for (const [points, columns, peak, dip] of [[10000, 100, 4321, 7777], [5001, 2000, 0, 5000], [100000, 2000, 99999, 1]]) {
    const values = new Float64Array(3 * points);
    for (let k = 0; k < points; k++) values.set([11 + k / 1e5, 47, 500 + (k % 10)], 3 * k);
    [values[3 * peak + 2], values[3 * dip + 2]] = [9000, -400];
    const { along } = trackFigures(values);
    const { km, metres } = reduceProfile(along, values, 3, columns);
    assert.ok(km.length <= 2 * columns, `${points}`);
    assert.deepEqual([Math.max(...metres), Math.min(...metres)], [9000, -400]);
    assert.ok(km.every((d, i) => i === 0 || d >= km[i - 1]));
  }
});
