// SPDX-License-Identifier: MIT
// The chart of a document: every channel against time, from the whole recording down to a
// few beats. The server folds each channel into the minimum and maximum of each pixel
// column, so a window costs the same whatever its length; while a window is on its way the
// chart draws the last one it has, moved to where the time now lies, so scrolling never
// waits. A chart at the end of a recording being sampled follows the windows it receives.
// Beat markers come with the colour and comment of the extension's draw class.
// Dragging selects a range, a click a point; the server hears both as the chart view's
// selection, on which "Analyze Selection" and the beat commands act.
import { get, post } from './api.js';

const ROW = 96; // CSS pixels per channel
const AXIS = 22;
const LEFT = 110; // channel names
const MIN_SPAN = 2; // seconds: a few beats
const STILL = 3;

function niceStep(span, pixels) {
  const raw = span / Math.max(1, pixels / 90);
  const p = 10 ** Math.floor(Math.log10(raw));
  for (const m of [1, 2, 5, 10]) if (m * p >= raw) return m * p;
  return 10 * p;
}

export function timeText(t, step = 1) {
  if (Math.abs(t) < 120) return `${Number(t.toFixed(Math.max(0, -Math.floor(Math.log10(step)))))} s`;
  const s = Math.round(t);
  const h = Math.floor(s / 3600);
  const m = Math.floor((s % 3600) / 60);
  const pad = (n) => String(n).padStart(2, '0');
  return h ? `${h}:${pad(m)}:${pad(s % 60)}` : `${m}:${pad(s % 60)}`;
}

export class Chart {
  constructor(doc, parent, notify) {
    this.doc = doc;
    this.notify = notify;
    this.view = { from: 0, to: 10 };
    this.data = null; // the last window the server sent
    this.inFlight = false;
    this.pending = false;
    this.following = false; // showing the end of a recording that may grow
    this.computed = false;
    this.drag = null;
    this.pointer = null;
    this.pinned = null; // the event a tachogram click showed
    this.shown = doc.shown_s;

    this.section = document.createElement('section');
    this.section.className = 'panel chart';
    this.section.setAttribute('aria-label', 'Chart');
    const header = document.createElement('header');
    const title = document.createElement('h3');
    title.textContent = `Chart of ${doc.title}`;
    const button = (text, action) => {
      const b = document.createElement('button');
      b.type = 'button';
      b.textContent = text;
      b.addEventListener('click', action);
      header.append(b);
      return b;
    };
    header.append(title);
    button('All', () => this.setView(0, this.doc.duration_s));
    button('Zoom in', () => this.zoom(0.5));
    button('Zoom out', () => this.zoom(2));
    const label = document.createElement('label');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.addEventListener('change', () => {
      this.computed = box.checked;
      this.request();
    });
    label.append(box, ' HRV stage channels');
    header.append(label);
    this.readout = document.createElement('div');
    this.readout.className = 'chart-readout';
    this.readout.setAttribute('role', 'status');
    this.canvas = document.createElement('canvas');
    this.canvas.tabIndex = 0;
    this.canvas.setAttribute('aria-label', 'Channels against time');
    this.scroll = document.createElement('input');
    this.scroll.type = 'range';
    this.scroll.min = '0';
    this.scroll.step = 'any';
    this.scroll.setAttribute('aria-label', 'Scroll the chart');
    this.scroll.addEventListener('input', () => {
      const span = this.view.to - this.view.from;
      this.setView(Number(this.scroll.value), Number(this.scroll.value) + span);
    });
    this.section.append(header, this.readout, this.canvas, this.scroll);
    parent.prepend(this.section);
    this.listen();
    this.setView(this.view.from, this.view.to);
    new ResizeObserver(() => this.resize()).observe(this.section);
  }

  listen() {
    const c = this.canvas;
    c.addEventListener('wheel', (e) => {
      e.preventDefault();
      const span = this.view.to - this.view.from;
      if (e.shiftKey || Math.abs(e.deltaX) > Math.abs(e.deltaY)) {
        const d = ((e.deltaX || e.deltaY) / this.plotWidth()) * span;
        this.setView(this.view.from + d, this.view.to + d);
      } else this.zoom(e.deltaY > 0 ? 1.25 : 0.8, this.timeAt(e.offsetX));
    }, { passive: false });
    c.addEventListener('pointerdown', (e) => {
      if (e.button !== 0 || e.offsetX < LEFT) return;
      c.setPointerCapture(e.pointerId);
      this.drag = { x0: e.offsetX, x1: e.offsetX };
    });
    c.addEventListener('pointermove', (e) => {
      this.pointer = { x: e.offsetX, y: e.offsetY };
      if (this.drag) this.drag.x1 = e.offsetX;
      this.draw();
    });
    c.addEventListener('pointerleave', () => {
      this.pointer = null;
      this.draw();
    });
    c.addEventListener('pointerup', (e) => {
      const drag = this.drag;
      this.drag = null;
      if (!drag) return;
      const a = this.timeAt(Math.min(drag.x0, e.offsetX));
      const b = this.timeAt(Math.max(drag.x0, e.offsetX));
      const clamp = (t) => Math.min(Math.max(t, 0), this.doc.duration_s);
      const body = Math.abs(e.offsetX - drag.x0) < STILL ? { from: clamp(a) } : { from: clamp(a), to: clamp(b) };
      post(`/api/documents/${this.doc.id}/select`, body).catch(this.notify);
    });
    c.addEventListener('keydown', (e) => {
      const span = this.view.to - this.view.from;
      const by = { ArrowLeft: -0.25, ArrowRight: 0.25, PageUp: -1, PageDown: 1 }[e.key];
      if (by === undefined) return;
      e.preventDefault();
      this.setView(this.view.from + by * span, this.view.to + by * span);
    });
  }

  plotWidth() {
    return Math.max(1, this.canvas.clientWidth - LEFT);
  }
  timeAt(x) {
    return this.view.from + ((x - LEFT) / this.plotWidth()) * (this.view.to - this.view.from);
  }
  xOf(t) {
    return LEFT + ((t - this.view.from) / (this.view.to - this.view.from)) * this.plotWidth();
  }

  zoom(factor, about = (this.view.from + this.view.to) / 2) {
    const span = Math.min(Math.max((this.view.to - this.view.from) * factor, MIN_SPAN), Math.max(this.doc.duration_s, 10));
    const at = (about - this.view.from) / (this.view.to - this.view.from);
    this.setView(about - at * span, about - at * span + span);
  }

  setView(from, to) {
    // A document still empty (about to be sampled into) shows its first seconds.
    const length = Math.max(this.doc.duration_s, 10);
    const span = Math.min(Math.max(to - from, MIN_SPAN), length);
    from = Math.min(Math.max(from, 0), Math.max(0, length - span));
    this.view = { from, to: from + span };
    this.following = this.view.to >= this.doc.duration_s - 1e-6;
    this.syncScroll();
    this.draw();
    this.request();
  }

  syncScroll() {
    const span = this.view.to - this.view.from;
    this.scroll.max = String(Math.max(0, Math.max(this.doc.duration_s, 10) - span));
    this.scroll.value = String(this.view.from);
  }

  // The document's state changed: its length (while sampling), the selection, the beat a
  // view asked to show, or its beats after an edit.
  update(doc) {
    const before = this.doc.duration_s;
    this.doc = doc;
    if (doc.shown_s !== null && doc.shown_s !== this.shown) {
      this.shown = doc.shown_s;
      const span = Math.min(this.view.to - this.view.from, 10);
      this.pinned = doc.shown_s;
      this.setView(doc.shown_s - span / 2, doc.shown_s + span / 2);
      return;
    }
    // While the document grows, a chart showing its end keeps showing it: it asks for the
    // newest window and moves there when that window arrives. Played fast, the end moves
    // a whole window before a reply comes back, so moving first would leave the chart
    // always a window ahead of what it has to draw.
    if (doc.duration_s > before && this.following) this.syncScroll();
    this.request();
  }

  resize() {
    const rows = this.data?.channels.length ?? 2;
    const dpr = window.devicePixelRatio || 1;
    const height = rows * ROW + AXIS;
    this.canvas.style.height = `${height}px`;
    this.canvas.width = Math.round(this.canvas.clientWidth * dpr);
    this.canvas.height = Math.round(height * dpr);
    this.draw();
    if (!this.data) this.request();
  }

  // Asks for the window shown now; a window asked for while one is on its way waits for it.
  async request() {
    if (this.inFlight) {
      this.pending = true;
      return;
    }
    this.inFlight = true;
    try {
      do {
        this.pending = false;
        const span = this.view.to - this.view.from;
        const follow = this.following;
        const end = Math.max(this.doc.duration_s, span);
        const { from, to } = follow ? { from: end - span, to: end } : this.view;
        const columns = Math.max(1, Math.round(this.plotWidth()));
        const data = await get(`/api/documents/${this.doc.id}/chart?from=${from}&to=${to}&columns=${columns}&computed=${this.computed ? 1 : 0}`);
        const rowsChanged = data.channels.length !== this.data?.channels.length;
        this.data = data;
        if (follow && this.following) {
          this.view = { from: data.from_s, to: data.to_s };
          this.syncScroll();
        }
        if (rowsChanged) this.resize();
        else this.draw();
      } while (this.pending);
      this.section.dataset.ready = `${this.view.from},${this.view.to}`;
    } catch (e) {
      this.notify(e);
    } finally {
      this.inFlight = false;
    }
  }

  draw() {
    const g = this.canvas.getContext('2d');
    const dpr = window.devicePixelRatio || 1;
    const width = this.canvas.clientWidth;
    g.setTransform(dpr, 0, 0, dpr, 0, 0);
    g.clearRect(0, 0, width, this.canvas.height / dpr);
    g.font = '12px system-ui, "DejaVu Sans", sans-serif';
    const data = this.data;
    if (!data) return;
    const rows = data.channels.length;
    const columns = data.channels[0]?.min.length ?? 0;
    const colWidth = (data.to_s - data.from_s) / Math.max(1, columns);
    const mid = (k) => this.xOf(data.from_s + (k + 0.5) * colWidth);

    data.channels.forEach((ch, r) => {
      const top = r * ROW;
      let lo = Infinity;
      let hi = -Infinity;
      for (let k = 0; k < columns; ++k)
        if (ch.min[k] !== null) {
          lo = Math.min(lo, ch.min[k]);
          hi = Math.max(hi, ch.max[k]);
        }
      // The guide lines stay in view with the trace.
      for (const guide of ch.guides) (lo = Math.min(lo, guide.value)), (hi = Math.max(hi, guide.value));
      if (!(hi > lo)) (lo -= 1), (hi += 1);
      const pad = (hi - lo) * 0.08;
      const y = (v) => top + 6 + (1 - (v - lo + pad) / (hi - lo + 2 * pad)) * (ROW - 12);
      g.fillStyle = r % 2 ? '#fafbfc' : '#fff';
      g.fillRect(LEFT, top, width - LEFT, ROW);
      g.strokeStyle = '#e3e5ea';
      g.beginPath();
      g.moveTo(0, top + ROW - 0.5);
      g.lineTo(width, top + ROW - 0.5);
      g.stroke();
      g.fillStyle = '#222';
      g.fillText(ch.name, 6, top + 18);
      g.fillStyle = '#667';
      g.fillText(ch.unit, 6, top + 34);
      for (const guide of ch.guides) {
        g.strokeStyle = guide.colour;
        g.setLineDash([4, 3]);
        g.beginPath();
        g.moveTo(LEFT, y(guide.value));
        g.lineTo(width, y(guide.value));
        g.stroke();
        g.setLineDash([]);
      }
      // Each column's range as a stroke, the columns joined through their middles.
      g.save();
      g.beginPath();
      g.rect(LEFT, top, width - LEFT, ROW);
      g.clip();
      g.strokeStyle = ch.computed ? '#7a3fb0' : '#1d4fa8';
      g.lineWidth = 1;
      g.beginPath();
      let drawing = false;
      for (let k = 0; k < columns; ++k) {
        if (ch.min[k] === null) continue; // fewer samples than columns: join across
        const x = mid(k);
        const m = (ch.min[k] + ch.max[k]) / 2;
        if (drawing) g.lineTo(x, y(m));
        else g.moveTo(x, y(m));
        g.moveTo(x, y(ch.min[k]));
        g.lineTo(x, y(ch.max[k]) - 0.5);
        g.moveTo(x, y(m));
        drawing = true;
      }
      g.stroke();
      g.restore();
    });

    // The selection, from the server's state.
    const sel = this.doc.selection;
    if (sel) {
      g.fillStyle = 'rgba(255, 200, 0, 0.25)';
      g.strokeStyle = '#d08a00';
      const x0 = this.xOf(sel.from_s);
      const x1 = this.xOf(sel.to_s);
      if (x1 - x0 >= 1) g.fillRect(Math.max(LEFT, x0), 0, Math.min(width, x1) - Math.max(LEFT, x0), rows * ROW);
      else {
        g.beginPath();
        g.moveTo(x0, 0);
        g.lineTo(x0, rows * ROW);
        g.stroke();
      }
    }
    if (this.drag) {
      g.fillStyle = 'rgba(60, 120, 255, 0.18)';
      g.fillRect(Math.min(this.drag.x0, this.drag.x1), 0, Math.abs(this.drag.x1 - this.drag.x0), rows * ROW);
    }

    // Beat markers on the channels they are drawn on.
    const rowOf = new Map(data.channels.map((ch, r) => [ch.id, r]));
    let near = null;
    for (const e of data.events) {
      const x = this.xOf(e.t);
      if (x < LEFT || x > width) continue;
      g.strokeStyle = e.colour;
      g.fillStyle = e.colour;
      for (const id of e.on) {
        const r = rowOf.get(id);
        if (r === undefined) continue;
        g.beginPath();
        g.moveTo(x, r * ROW + 10);
        g.lineTo(x, r * ROW + ROW - 4);
        g.stroke();
        g.beginPath();
        g.moveTo(x - 4, r * ROW + 2);
        g.lineTo(x + 4, r * ROW + 2);
        g.lineTo(x, r * ROW + 9);
        g.fill();
      }
      const d = this.pointer ? Math.abs(this.pointer.x - x) : Infinity;
      if (d <= 5 && (!near || d < near.d)) near = { d, e };
      if (this.pinned !== null && Math.abs(e.t - this.pinned) < 1e-6 && !this.pointer) near = { d: 0, e };
    }

    // Time axis.
    const axisTop = rows * ROW;
    const step = niceStep(this.view.to - this.view.from, width - LEFT);
    g.fillStyle = '#333';
    g.strokeStyle = '#999';
    for (let t = Math.ceil(this.view.from / step) * step; t <= this.view.to; t += step) {
      const x = this.xOf(t);
      g.beginPath();
      g.moveTo(x, axisTop);
      g.lineTo(x, axisTop + 4);
      g.stroke();
      g.fillText(timeText(t, step), x + 2, axisTop + 15);
    }

    // The cursor and what lies under it.
    let text = `${timeText(this.view.from)} – ${timeText(this.view.to)}`;
    if (this.pointer && this.pointer.x >= LEFT) {
      const t = this.timeAt(this.pointer.x);
      g.strokeStyle = '#c33';
      g.beginPath();
      g.moveTo(this.pointer.x + 0.5, 0);
      g.lineTo(this.pointer.x + 0.5, rows * ROW);
      g.stroke();
      const k = Math.floor((t - data.from_s) / colWidth);
      const values = data.channels
        .map((ch) => (k >= 0 && k < columns && ch.min[k] !== null ? `${ch.name} ${Number(ch.min[k].toPrecision(4))}…${Number(ch.max[k].toPrecision(4))} ${ch.unit}` : null))
        .filter(Boolean);
      text = [`t = ${t.toFixed(3)} s`, ...values].join(' · ');
    }
    if (near) text += ` — ${near.e.text}`;
    if (data.events_omitted) text += " (too many beats to mark at this scale: zoom in)";
    this.readout.textContent = text;
  }
}
