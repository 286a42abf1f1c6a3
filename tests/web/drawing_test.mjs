// SPDX-License-Identifier: MIT
// The parts of drawing that decide what a person reads: ticks, the scale states, and the
// folding of long series into pixel columns.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { Scale, ticks, tickText } from '../../web/engine/scale.js';
import { pointCells, tracePath } from '../../web/engine/paths.js';

test('ticks fall on 1, 2 or 5 times a power of ten, inside the range, never closer than asked', () => {
  // [min, max, pixels, least gap in pixels]
  for (const [min, max, pixels, gap] of [[795.833, 887.5, 400, 30], [0.001, 0.5, 800, 60], [-190, 70, 800, 60], [0, 2147483647, 500, 60],
    [1e-7, 3e-6, 300, 30], [887.5, 795.833, 400, 30]]) {
    const t = ticks(min, max, pixels, gap);
    const where = `${min}..${max}`;
    assert.ok(t.values.length >= 2, where);
    const mantissa = t.step / 10 ** Math.floor(Math.log10(t.step) + 1e-9);
    assert.ok([1, 2, 5].some((m) => Math.abs(mantissa - m) < 1e-9), `${where}: step ${t.step}`);
    assert.ok((t.step / Math.abs(max - min)) * pixels >= gap - 1e-9, `${where}: too dense`);
    for (const v of t.values) assert.ok(v >= Math.min(min, max) - 1e-9 && v <= Math.max(min, max) + 1e-9, `${where}: ${v}`);
    assert.equal(new Set(t.values.map((v) => tickText(v, t))).size, t.values.length, `${where}: labels repeat`);
  }
  assert.deepEqual(ticks(0.001, 0.5, 800, 60).values.slice(0, 3).map((v) => tickText(v, ticks(0.001, 0.5, 800, 60))), ['0.05', '0.10', '0.15']);
});

test('unipolar and bipolar reach the largest magnitude, keep an inverted scale inverted, and auto returns the full range', () => {
  const s = new Scale('y');
  s.setFull(-20, 150);
  s.setUnipolar();
  assert.deepEqual([s.min, s.max, s.state], [0, 150, 'unipolar']);
  s.setBipolar();
  assert.deepEqual([s.min, s.max], [-150, 150]);
  s.setRange(10, -30);
  assert.ok(s.inverted);
  s.setUnipolar();
  assert.deepEqual([s.min, s.max], [30, 0]);
  s.autoScale();
  assert.deepEqual([s.min, s.max, s.state], [-20, 150, 'auto']);
  s.zoom(0.5, 0);
  assert.deepEqual([s.min, s.max], [-10, 75]);
  assert.equal(s.setRange(5, 5), false); // an empty range is refused
});

// A path that records its vertices.
const recorder = () => ({ v: [], moveTo(x, y) { this.v.push([x, y]); }, lineTo(x, y) { this.v.push([x, y]); } });
const area = { x: 0, y: 0, w: 200, h: 100 };
const scale = (min, max) => Object.assign(new Scale('x'), { min, max });

test('a long trace folds into at most four vertices per column and keeps each column\'s extremes', () => {
  const n = 100000;
  const y = Float32Array.from({ length: n }, (_, i) => (i === 31234 ? 95 : Math.sin(i) * 40));
  const { path, folded } = tracePath({ n, y, grid: { start: 0, step: 1 } }, scale(0, n), scale(-100, 100), area, 1, recorder());
  assert.ok(folded);
  assert.ok(path.v.length <= 4 * (area.w + 1), `${path.v.length} vertices`);
  // The spike at 31234 (95) is still drawn: y pixel 100 - (95 + 100) / 2 = 2.5.
  assert.ok(path.v.some(([, py]) => Math.abs(py - 2.5) < 0.01));
  // A NaN breaks the line: the next point starts a new piece.
  const gap = tracePath({ n: 3, y: Float32Array.of(1, NaN, 2), grid: { start: 0, step: 1 } }, scale(0, 2), scale(0, 2), area, 1, recorder());
  assert.equal(gap.path.v.length, 4);
  assert.equal(gap.folded, false);
});

test('scatter points on one device pixel are placed once per colour group', () => {
  const x = Float32Array.of(10, 10.001, 10, 50, NaN, 500);
  const y = Float32Array.of(5, 5.001, 5, 50, 1, 1);
  const cells = pointCells({ n: 6, x, y }, scale(0, 100), scale(0, 100), area, 2, 2, (xv) => (xv < 20 ? 0 : 1));
  assert.deepEqual([...cells[0]], [40, 190]); // the three near (10, 5) on one pixel; NaN and the far point dropped
  assert.deepEqual([...cells[1]], [200, 100]);
});
