// SPDX-License-Identifier: MIT
// A scale maps values of one axis to pixels. Its range [min, max] is what is shown; min >
// max shows the axis inverted. The full range comes from the markup (or, without one, from
// the data); the scale states are:
//   auto      the full range
//   unipolar  0 to the largest magnitude of the current range
//   bipolar   minus to plus the largest magnitude of the current range
//   set       a range given by the user: Set Scale, zoom or pan
// Ticks fall on 1, 2 or 5 times a power of ten, as many as fit the pixels available.

export class Scale {
  constructor(axis) {
    this.axis = axis; // 'x' or 'y'
    this.min = 0;
    this.max = 1;
    this.full = [0, 1];
    this.state = 'auto';
  }

  get inverted() {
    return this.min > this.max;
  }

  setFull(min, max) {
    this.full = [min, max];
    if (this.state === 'auto') [this.min, this.max] = this.full;
  }

  autoScale() {
    this.state = 'auto';
    [this.min, this.max] = this.full;
  }

  // The sign of the span is kept, so an inverted scale stays inverted.
  setUnipolar() {
    const m = Math.max(Math.abs(this.min), Math.abs(this.max)) || 1;
    this.state = 'unipolar';
    [this.min, this.max] = this.inverted ? [m, 0] : [0, m];
  }

  setBipolar() {
    const m = Math.max(Math.abs(this.min), Math.abs(this.max)) || 1;
    this.state = 'bipolar';
    [this.min, this.max] = this.inverted ? [m, -m] : [-m, m];
  }

  setRange(min, max) {
    if (!Number.isFinite(min) || !Number.isFinite(max) || min === max) return false;
    this.state = 'set';
    this.min = min;
    this.max = max;
    return true;
  }

  // Zooms by `factor` (below 1 zooms in) keeping the value at `anchor` where it is.
  zoom(factor, anchor) {
    this.setRange(anchor + (this.min - anchor) * factor, anchor + (this.max - anchor) * factor);
  }

  // Moves the range by `delta` in values.
  pan(delta) {
    this.setRange(this.min + delta, this.max + delta);
  }

  // Pixel of `value` on an axis from pixel `from` (the min end) to `to` (the max end).
  toPixel(value, from, to) {
    return from + ((value - this.min) / (this.max - this.min)) * (to - from);
  }

  toValue(pixel, from, to) {
    return this.min + ((pixel - from) / (to - from)) * (this.max - this.min);
  }
}

// Ticks of [min, max] (either order) at least `minGap` pixels apart over `pixels`:
// {step, values, decimals} with values ascending.
export function ticks(min, max, pixels, minGap) {
  const lo = Math.min(min, max);
  const hi = Math.max(min, max);
  const span = hi - lo;
  if (!(span > 0) || !(pixels > 0)) return { step: 0, values: [], decimals: 0 };
  const most = Math.max(1, Math.floor(pixels / minGap));
  const raw = span / most;
  const power = 10 ** Math.floor(Math.log10(raw));
  const step = [1, 2, 5, 10].map((m) => m * power).find((s) => s >= raw * (1 - 1e-9)) ?? 10 * power;
  const values = [];
  const first = Math.ceil(lo / step - 1e-9);
  for (let k = first; k * step <= hi + step * 1e-9; ++k) values.push(cleanZero(k * step));
  return { step, values, decimals: Math.max(0, -Math.floor(Math.log10(step) + 1e-9)) };
}

const cleanZero = (v) => (Math.abs(v) < 1e-12 ? 0 : v);

// A tick label: fixed decimals for the step, exponent form for very large or small values.
export function tickText(value, t) {
  const magnitude = Math.max(Math.abs(t.values[0] ?? 0), Math.abs(t.values[t.values.length - 1] ?? 0));
  if (magnitude >= 1e6 || (t.step < 1e-4 && magnitude < 1e-3)) return value === 0 ? '0' : value.toExponential(2);
  return value.toFixed(Math.min(t.decimals, 10));
}

// A value for the readout: up to 6 significant digits, no trailing zeros.
export function valueText(value) {
  if (!Number.isFinite(value)) return '–';
  if (value !== 0 && (Math.abs(value) >= 1e7 || Math.abs(value) < 1e-5)) return value.toExponential(4);
  return String(Number(value.toPrecision(6)));
}
