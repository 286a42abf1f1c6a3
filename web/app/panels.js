// SPDX-License-Identifier: MIT
// The views of a document as panels. A plot view is the plot engine's page (web/engine) in
// a frame, linked to its plot control on the server: the page pulls numbers and sends
// gestures itself, and the panel hands it the script commands the view sent the control.
// The report is its HTML in a frame that runs no script.
import { get, post } from './api.js';

// Commands that act once, when they are sent; a panel opened later does not replay them.
const ONCE = /\.(copy|print)\(/;

function panelFrame(doc, view, parent, notify) {
  const section = document.createElement('section');
  section.className = 'panel';
  section.setAttribute('aria-label', view.title || view.name);
  const header = document.createElement('header');
  const title = document.createElement('h3');
  title.textContent = view.title || view.name;
  const copy = document.createElement('button');
  copy.type = 'button';
  copy.textContent = 'Copy';
  copy.title = view.copy;
  const print = document.createElement('button');
  print.type = 'button';
  print.textContent = 'Print';
  print.title = view.print;
  header.append(title, copy, print);
  section.append(header);
  parent.append(section);
  const command = (what) => post(`/api/documents/${doc.id}/views/${view.index}/${what}`);
  return { section, title, copy, print, command, notify };
}

export class PlotPanel {
  constructor(doc, view, parent, notify) {
    Object.assign(this, panelFrame(doc, view, parent, notify));
    this.control = view.control;
    this.sent = 0;
    this.frame = document.createElement('iframe');
    this.frame.title = view.title || view.name;
    this.frame.src = `/engine/local.html?control=${view.control}`;
    this.ready = new Promise((resolve) => this.frame.addEventListener('load', resolve, { once: true }));
    this.section.append(this.frame);
    this.queue = Promise.resolve();
    this.copy.addEventListener('click', () => this.command('copy').then(() => this.notify(`${this.title.textContent} copied`), this.notify));
    this.print.addEventListener('click', () => this.command('print').catch(this.notify));
  }

  get etch() {
    return this.frame.contentWindow?.etch;
  }

  // Hands the page the commands the control was sent since the last time, in order.
  update(view) {
    this.title.textContent = view.title || view.name;
    if (view.commands <= this.sent) return this.queue;
    this.queue = this.queue.then(async () => {
      await this.ready;
      if (view.commands <= this.sent) return;
      const first = this.sent === 0;
      const { commands, total } = await get(`/api/plots/${this.control}/commands?from=${this.sent}`);
      this.sent = total;
      for (const c of commands) if (!(first && ONCE.test(c))) this.etch?.run(c);
    }).catch(this.notify);
    return this.queue;
  }
}

export class ReportPanel {
  constructor(doc, view, parent, notify) {
    Object.assign(this, panelFrame(doc, view, parent, notify));
    this.section.classList.add('report');
    this.page = view.page;
    this.revision = null;
    this.frame = document.createElement('iframe');
    this.frame.title = view.title || view.name;
    // The report is shown, never run; the same origin lets this page print it.
    this.frame.setAttribute('sandbox', 'allow-same-origin allow-modals');
    this.section.append(this.frame);
    this.copy.addEventListener('click', () => this.copyReport().catch(this.notify));
    this.print.addEventListener('click', () =>
      this.command('print').then(() => this.frame.contentWindow.print(), this.notify),
    );
  }

  // The report's text and HTML forms, as the view put them on the host's clipboard, go to
  // the browser's clipboard together.
  async copyReport() {
    const forms = await this.command('copy');
    const items = {};
    if (forms.text !== undefined) items['text/plain'] = new Blob([forms.text], { type: 'text/plain' });
    if (forms.html !== undefined) items['text/html'] = new Blob([forms.html], { type: 'text/html' });
    await navigator.clipboard.write([new ClipboardItem(items)]);
    this.notify('Report copied as text and HTML');
  }

  async update(view) {
    if (view.revision === this.revision) return;
    this.revision = view.revision;
    const { html } = await get(`/api/pages/${this.page}`);
    this.frame.srcdoc = html;
    this.section.dataset.revision = String(view.revision);
  }
}
