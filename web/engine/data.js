// SPDX-License-Identifier: MIT
// The numbers of a plot, pulled from the host by data id in blocks: the page asks, the host
// answers from the series the view registered (its count, range, values and labels). A
// series is kept as a growing Float32Array, the form the host hands values out in.

// The start of a data-changed command that means "after what was read before", and the
// count that means "to the end".
export const AFTER_READ = 2147483647;
export const TO_THE_END = 2147483647;
// Values asked for at a time.
export const BLOCK = 65536;

export class Series {
  constructor(id) {
    this.id = id;
    this.values = new Float32Array(1024);
    this.length = 0;
    this.min = NaN; // the range the host reports for the whole series
    this.max = NaN;
  }

  view() {
    return this.values.subarray(0, this.length);
  }

  truncate(length) {
    this.length = Math.max(0, Math.min(this.length, length));
  }

  append(values) {
    const need = this.length + values.length;
    if (need > this.values.length) {
      const grown = new Float32Array(Math.max(need, this.values.length * 2));
      grown.set(this.view());
      this.values = grown;
    }
    this.values.set(values, this.length);
    this.length = need;
  }
}

export class DataStore {
  constructor(link) {
    this.link = link;
    this.series = new Map();
  }

  get(id) {
    let s = this.series.get(id);
    if (!s) this.series.set(id, (s = new Series(id)));
    return s;
  }

  clear() {
    this.series.clear();
  }

  // Reads `count` values of `id` from `start` (AFTER_READ: from what is held), replacing
  // what was held from there on.
  async pull(id, start = 0, count = TO_THE_END) {
    const s = this.get(id);
    const from = start === AFTER_READ ? s.length : Math.max(0, Math.min(start, s.length));
    s.truncate(from);
    for (let left = count; left > 0; ) {
      const want = Math.min(left, BLOCK);
      const reply = await this.link.request({ op: 'series', id, start: s.length, count: want });
      if (!reply || !reply.values) break;
      s.append(reply.values);
      s.min = reply.min ?? NaN;
      s.max = reply.max ?? NaN;
      left -= reply.values.length;
      if (reply.values.length < want) break;
    }
    return s;
  }

  // The label the host gives for value `index` of `id` ('' when it gives none).
  async label(id, index) {
    const reply = await this.link.request({ op: 'labels', id, start: index, count: 1 });
    return reply?.labels?.[0] ?? '';
  }
}

// The values a plotter's source stands for, from index `start` in steps of `step` up to
// `stop` (null: to the end), as a Float32Array.
export function sourceValues(source, store) {
  const all = store.get(source.id).view();
  const last = source.stop === null ? all.length - 1 : Math.min(all.length - 1, source.stop);
  if (source.step === 1) return all.subarray(Math.min(source.start, all.length), last + 1);
  const out = [];
  for (let i = source.start; i <= last; i += source.step) out.push(all[i]);
  return Float32Array.from(out);
}

// The points of a plotter: n values of y against x, where x is values (a Float32Array) or
// a regular grid {start, step} (value k is start + k × step); `index[k]` is the series
// index of point k, for its label.
export function pointsOf(plotter, store) {
  const y = sourceValues(plotter.y, store);
  let n = y.length;
  const yStep = plotter.y.step;
  const index = (k) => plotter.y.start + k * yStep;
  if (plotter.x.type === 'data') {
    const x = sourceValues(plotter.x, store);
    n = Math.min(n, x.length);
    return { n, x, grid: null, y, index };
  }
  const g = plotter.x;
  if (g.stop !== null) n = Math.min(n, Math.max(0, Math.floor((g.stop - g.start) / g.step + 1e-9) + 1));
  return { n, x: null, grid: { start: g.start, step: g.step }, y, index };
}
