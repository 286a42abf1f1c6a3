// SPDX-License-Identifier: MIT
// The page's link to the host that owns its plots. The page asks, the host answers:
//   {op: 'series', id, start, count}   -> {id, total, start, values, min, max}
//   {op: 'labels', id, start, count}   -> {labels}
//   {op: 'callback', plot, name, plotter, values | label} -> {result}
// and the host sends script commands, which the page runs (etch.run). How the messages
// travel is the link's business:
//   - a host that embeds the page defines window.etchHost(json) -> Promise<json>;
//   - a page written to a file carries a snapshot of what its host answered: the commands
//     it sent and every series with its labels, and keeps the callbacks it would send.

export class EmbeddedLink {
  constructor(send) {
    this.send = send;
  }
  async request(message) {
    return JSON.parse(await this.send(JSON.stringify(message)));
  }
}

export class SnapshotLink {
  // `snapshot`: {series: {id: {values, labels}}}.
  constructor(snapshot) {
    this.series = new Map(
      Object.entries(snapshot.series ?? {}).map(([id, s]) => [id, { values: Float32Array.from(s.values, (v) => v ?? NaN), labels: s.labels ?? [] }]),
    );
    for (const s of this.series.values()) {
      let min = Infinity;
      let max = -Infinity;
      for (const v of s.values) {
        if (v < min) min = v;
        if (v > max) max = v;
      }
      [s.min, s.max] = min <= max ? [min, max] : [null, null];
    }
  }

  async request(message) {
    const s = this.series.get(message.id);
    if (message.op === 'series') {
      if (!s) return { id: message.id, total: 0, start: 0, values: [], min: null, max: null };
      const start = Math.min(message.start, s.values.length);
      const values = s.values.subarray(start, Math.min(s.values.length, start + message.count));
      return { id: message.id, total: s.values.length, start, values, min: s.min, max: s.max };
    }
    if (message.op === 'labels') return { labels: s ? s.labels.slice(message.start, message.start + message.count) : [] };
    return { result: 0 }; // a callback: nobody here recomputes; the page keeps it in etch.sent
  }
}
