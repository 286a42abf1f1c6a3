// SPDX-License-Identifier: MIT
// The plot engine of the page: `etch` makes and finds plots and runs the host's commands.
//   etch.make_plot(id).dblclick_ms(ms);
//   etch.get_plot(id).set_markup(text);  .plotter_data_changed(plotter, start, count);
//   etch.get_plot(id).get_scales()[n].auto_scale();  .set_unipolar();  .set_bipolar();
//     .menu_closed(x, y);   (n: 1 the x scale, 2 the y scale, 0 both)
// On load it links to its host (host_link.js) and, for a page written to a file, runs the
// commands the page was written with.
import { runCommand } from './commands.js';
import { EmbeddedLink, HttpLink, SnapshotLink } from './host_link.js';
import { Plot } from './plot.js';

export class Etch {
  static commands = new Set(['make_plot', 'get_plot']);

  constructor(root, link) {
    this.root = root;
    this.link = link;
    this.plots = new Map();
    this.sent = []; // every callback the page sent, in order
  }

  make_plot(id) {
    let plot = this.plots.get(id);
    if (!plot) this.plots.set(id, (plot = new Plot(String(id), this.root, this.link, this.sent)));
    return plot;
  }

  get_plot(id) {
    const plot = this.plots.get(id);
    if (!plot) throw new Error(`the page holds no plot '${id}'`);
    return plot;
  }

  // Runs a host command; a command that fails is shown in the page and returned false.
  run(command) {
    try {
      runCommand(this, command);
      return true;
    } catch (e) {
      const note = document.createElement('p');
      note.className = 'etch-command-error';
      note.setAttribute('role', 'alert');
      note.textContent = `The plot engine refused a command: ${e.message}`;
      this.root.append(note);
      return false;
    }
  }

  // Settles when every plot has the data it asked for.
  idle() {
    return Promise.all([...this.plots.values()].map((p) => p.idle()));
  }
}

function start() {
  const root = document.getElementById('etch') ?? document.body;
  const snapshotText = document.getElementById('etch-snapshot')?.textContent;
  const snapshot = snapshotText ? JSON.parse(snapshotText) : null;
  const control = location.protocol.startsWith('http') ? new URLSearchParams(location.search).get('control') : null;
  const link =
    typeof window.etchHost === 'function'
      ? new EmbeddedLink(window.etchHost)
      : /^\d+$/.test(control ?? '')
        ? new HttpLink(`/api/plots/${control}`)
        : new SnapshotLink(snapshot ?? {});
  const etch = new Etch(root, link);
  window.etch = etch;
  for (const command of snapshot?.commands ?? []) etch.run(command);
  document.documentElement.dataset.etch = 'ready';
  return etch;
}

export const etch = start();
