// SPDX-License-Identifier: MIT
// The page's link to the host that owns its plots. The page asks, the host answers:
//   {op: 'series', id, start, count}   -> {id, total, start, values, min, max}
//   {op: 'labels', id, start, count}   -> {labels}
//   {op: 'callback', plot, name, plotter, values | label} -> {result}
// and the host sends script commands, which the page runs (etch.run). How the messages
// travel is the link's business:
//   - a host that embeds the page defines window.etchHost(json) -> Promise<json>;
//   - a host that serves the page over HTTP (`korvel-hrv serve`) names the plot control in
//     the address (local.html?control=N) and answers POST /api/plots/N; it sends its
//     commands through the window that holds the page;
//   - a page written to a file carries a snapshot of what its host answered: the commands
//     it sent and every series with its labels, and keeps the callbacks it would send.

export class EmbeddedLink {
  constructor(send) {
    this.send = send;
  }
  async request(message) {
    const reply = JSON.parse(await this.send(JSON.stringify(message)));
    if (reply.error) throw new Error(reply.error);
    return reply;
  }
}

export class HttpLink {
  constructor(address) {
    this.address = address;
  }
  async request(message) {
    const response = await fetch(this.address, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(message),
    });
    const reply = await response.json();
    if (reply.error) throw new Error(reply.error);
    return reply;
  }
}

export class SnapshotLink {
  // `snapshot.series`: by data id, the host's answer for the whole series with the labels
  // of its points: {total, values, min, max, labels}.
  constructor(snapshot) {
    this.series = new Map(
      Object.entries(snapshot.series ?? {}).map(([id, s]) => [
        id,
        { values: Float32Array.from(s.values, (v) => v ?? NaN), labels: s.labels ?? [], min: s.min ?? null, max: s.max ?? null },
      ]),
    );
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
    return { result: 0 }; // a callback: nothing behind the page recomputes; etch.sent keeps it
  }
}
