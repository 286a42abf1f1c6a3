// SPDX-License-Identifier: MIT
// One plot in the page: what its markup says, the numbers it pulled, its two scales, the
// overlays' current places, and the user's gestures. It draws on one canvas (the data) and
// keeps a second one above for the cursor, so moving the mouse never redraws the data.
// Gestures go back to the host as callbacks: VLinesDragged, BoxResized, OnMouseClick,
// XScalingChanged and YScalingChanged.
import { compileMarkup, dataIdsOf } from './markup.js';
import { DataStore, pointsOf, TO_THE_END } from './data.js';
import { Scale, valueText } from './scale.js';
import { CanvasPainter } from './painter.js';
import { drawPlot } from './draw.js';
import { hitBox, hitLine, moveBox, moveLine } from './overlays.js';
import { ScaleMenu } from './menu.js';
import { copyPlot, printPlot } from './export.js';

// A click that moved less than this many CSS pixels is a click, not a drag.
const STILL = 3;
// How near the pointer a point must be to be clicked or read out, in CSS pixels.
const NEAR = 12;

function element(tag, className, parent) {
  const e = document.createElement(tag);
  e.className = className;
  parent.append(e);
  return e;
}

// A value rounded to the resolution one pixel gives, so that a dragged edge reads 0.2
// rather than 0.19986.
function roundToPixel(value, perPixel) {
  const step = 10 ** Math.floor(Math.log10(Math.abs(perPixel) || 1));
  return Number((Math.round(value / step) * step).toPrecision(6));
}

// The scale commands of get_scales()[n]: 0 both scales, 1 the x scale, 2 the y scale.
class ScaleProxy {
  static commands = new Set(['auto_scale', 'set_unipolar', 'set_bipolar', 'set_range', 'menu_closed']);

  constructor(plot, axes) {
    this.plot = plot;
    this.axes = axes;
  }
  auto_scale() {
    this.plot.changeScales(this.axes, (s) => s.autoScale());
  }
  set_unipolar() {
    this.plot.changeScales(this.axes, (s) => s.setUnipolar());
  }
  set_bipolar() {
    this.plot.changeScales(this.axes, (s) => s.setBipolar());
  }
  set_range(min, max) {
    this.plot.changeScales(this.axes, (s) => s.setRange(min, max));
  }
  // The host's scale menu closed with the pointer at (x, y) in page coordinates.
  menu_closed(x, y) {
    this.plot.menu.close();
    this.plot.hover(x, y);
  }
  get range() {
    const s = this.plot.scales[this.axes[0]];
    return [s.min, s.max];
  }
  get state() {
    return this.plot.scales[this.axes[0]].state;
  }
}

export class Plot {
  static commands = new Set(['dblclick_ms', 'set_markup', 'plotter_data_changed', 'get_scales', 'copy', 'print']);

  constructor(id, parent, link, sent) {
    this.id = id;
    this.link = link;
    this.sent = sent; // every callback sent, in order, shared by the page's plots
    this.store = new DataStore(link);
    this.scales = { x: new Scale('x'), y: new Scale('y') };
    this.figure = null;
    this.overlay = new Map();
    this.doubleClickMs = 500;
    this.lastClick = null;
    this.drag = null;
    this.layout = null;
    this.markupVersion = 0;
    this.changes = new Map(); // by plotter: the data change being pulled and the one after it

    this.root = element('div', 'etch-plot', parent);
    this.root.dataset.plot = id;
    this.canvas = element('canvas', 'etch-canvas', this.root);
    this.hoverCanvas = element('canvas', 'etch-hover', this.root);
    this.readout = element('div', 'etch-readout', this.root);
    this.readout.setAttribute('role', 'status');
    this.readout.hidden = true;
    this.error = element('div', 'etch-error', this.root);
    this.error.setAttribute('role', 'alert');
    this.error.hidden = true;
    this.status = element('div', 'etch-status', this.root);
    this.status.setAttribute('aria-live', 'polite');
    const tools = element('div', 'etch-tools', this.root);
    for (const [label, action] of [['Copy PNG', () => this.copy()], ['Copy SVG', () => this.copy(true)], ['Print', () => this.print()]]) {
      const b = element('button', '', tools);
      b.type = 'button';
      b.textContent = label;
      b.addEventListener('click', action);
    }
    this.menu = new ScaleMenu(this.root);
    this.proxies = [new ScaleProxy(this, ['x', 'y']), new ScaleProxy(this, ['x']), new ScaleProxy(this, ['y'])];
    this.listen();
    new ResizeObserver(() => this.schedule()).observe(this.root);
  }

  dblclick_ms(ms) {
    if (Number.isFinite(ms) && ms > 0) this.doubleClickMs = ms;
    return this;
  }

  get_scales() {
    return this.proxies;
  }

  // Compiles and shows `text`, then pulls every series it names. A markup that does not
  // compile is shown as such in the page, with where it failed.
  set_markup(text) {
    let figure;
    try {
      figure = compileMarkup(text);
    } catch (e) {
      this.showError(e);
      return Promise.resolve();
    }
    this.error.hidden = true;
    this.figure = figure;
    this.overlay = new Map(
      figure.plotters.map((p) => [
        p.id,
        { lines: p.vlines ? p.vlines.positions.map((pair) => [...pair]) : [], box: p.box ? { x: [...p.box.x], y: [...p.box.y] } : null },
      ]),
    );
    const ids = new Set(figure.plotters.flatMap(dataIdsOf));
    const version = ++this.markupVersion;
    this.applyFullRanges();
    this.schedule();
    return this.track(Promise.all([...ids].map((id) => this.store.pull(id))).then(() => {
      if (version !== this.markupVersion) return;
      this.applyFullRanges();
      this.schedule();
    }));
  }

  // The series behind plotter `plotterId` changed from `start` (AFTER_READ: after what was
  // read) for `count` values (TO_THE_END: to its end).
  // Changes that come while the plotter's data are on their way (a recording analysed while
  // it is sampled sends them faster than a host may answer) are folded into one more pull
  // after it, from the earliest start, so that at most two are ever outstanding.
  plotter_data_changed(plotterId, start = 0, count = TO_THE_END) {
    const plotter = this.figure?.plotters.find((p) => p.id === plotterId);
    if (!plotter) return Promise.resolve();
    const queued = this.changes.get(plotterId);
    if (queued) {
      queued.next = queued.next ? { start: Math.min(queued.next.start, start), count: TO_THE_END } : { start, count };
      return queued.done;
    }
    const entry = { next: null, done: null };
    const pull = async (start, count) => {
      await Promise.all(dataIdsOf(plotter).map((id) => this.store.pull(id, start, count)));
      if (!entry.next) return;
      const next = entry.next;
      entry.next = null;
      await pull(next.start, next.count);
    };
    this.changes.set(plotterId, entry);
    entry.done = this.track(pull(start, count).finally(() => this.changes.delete(plotterId)).then(() => {
      this.applyFullRanges();
      this.schedule();
    }));
    return entry.done;
  }

  copy(svg = false) {
    return copyPlot(this, svg).then(
      (types) => this.say(`Copied as ${types.join(' and ')}`),
      (e) => this.say(`Copy failed: ${e.message}`),
    );
  }

  print(title = document.title) {
    printPlot(this, title);
  }

  // Settles when every pull started so far has; tests and benchmarks wait on it.
  idle() {
    return this.pendingPromise ?? Promise.resolve();
  }

  track(promise) {
    const all = Promise.all([this.pendingPromise, promise]).then(() => undefined);
    this.pendingPromise = all;
    return promise.catch((e) => this.say(`The host gave no data: ${e.message}`));
  }

  showError(e) {
    this.figure = null;
    this.error.hidden = false;
    this.error.textContent = '';
    const head = element('strong', '', this.error);
    head.textContent = 'Invalid Etch Markup';
    const where = element('p', '', this.error);
    where.textContent = e.message;
    if (e.excerpt) element('pre', '', this.error).textContent = e.excerpt;
    this.schedule();
  }

  say(text) {
    this.status.textContent = text;
  }

  // The scales' full ranges: the markup's, else what the data span.
  applyFullRanges() {
    if (!this.figure) return;
    for (const axis of ['x', 'y']) {
      const given = this.figure.full[axis];
      const [min, max] = given ?? this.dataExtent(axis);
      this.scales[axis].setFull(min, max);
    }
  }

  dataExtent(axis) {
    let lo = Infinity;
    let hi = -Infinity;
    for (const p of this.figure.plotters) {
      const pts = pointsOf(p, this.store);
      if (!pts.n) continue;
      if (axis === 'x' && pts.grid) {
        const end = pts.grid.start + (pts.n - (p.kind === 'histogram' ? 0 : 1)) * pts.grid.step;
        lo = Math.min(lo, pts.grid.start, end);
        hi = Math.max(hi, pts.grid.start, end);
        continue;
      }
      const values = axis === 'x' ? pts.x : pts.y;
      for (let i = 0; i < pts.n; ++i) {
        const v = values[i];
        if (v < lo) lo = v;
        if (v > hi) hi = v;
      }
      if (axis === 'y' && p.kind === 'histogram') lo = Math.min(lo, 0);
    }
    if (!(lo <= hi)) return [0, 1];
    if (lo === hi) return [lo - 1, hi + 1];
    const pad = (hi - lo) * 0.05;
    return [lo - pad, hi + pad];
  }

  ranges() {
    return { x: [this.scales.x.min, this.scales.x.max], y: [this.scales.y.min, this.scales.y.max] };
  }

  // Sends XScalingChanged and YScalingChanged for each scale that moved since `before`.
  reportScales(before) {
    for (const axis of ['x', 'y']) {
      const s = this.scales[axis];
      if (s.min !== before[axis][0] || s.max !== before[axis][1])
        this.send(axis === 'x' ? 'XScalingChanged' : 'YScalingChanged', { plotter: this.id, values: [s.min, s.max] });
    }
  }

  // Applies `change` to the scales of `axes` and reports each one that moved.
  changeScales(axes, change) {
    const before = this.ranges();
    for (const axis of axes) change(this.scales[axis]);
    this.reportScales(before);
    this.schedule();
  }

  send(name, fields) {
    const message = { op: 'callback', plot: this.id, name, ...fields };
    this.sent.push(message);
    return this.link.request(message).catch((e) => this.say(`The host did not take ${name}: ${e.message}`));
  }

  schedule() {
    if (this.frame) return;
    this.frame = requestAnimationFrame(() => {
      this.frame = 0;
      this.render();
    });
  }

  // Draws now, at the page's size and device-pixel ratio.
  render() {
    const width = this.root.clientWidth;
    const height = this.root.clientHeight;
    const ratio = window.devicePixelRatio || 1;
    for (const c of [this.canvas, this.hoverCanvas]) {
      const w = Math.round(width * ratio);
      const h = Math.round(height * ratio);
      if (c.width !== w || c.height !== h) {
        c.width = w;
        c.height = h;
      }
    }
    const painter = new CanvasPainter(this.canvas.getContext('2d'), ratio);
    if (!this.figure || width < 20 || height < 20) {
      painter.clear(width, height, '#fff');
      this.layout = null;
      return;
    }
    this.layout = drawPlot(painter, this, width, height, ratio);
  }

  // --- the pointer ---------------------------------------------------------------------

  listen() {
    const c = this.hoverCanvas;
    c.addEventListener('pointerdown', (e) => this.press(e));
    c.addEventListener('pointermove', (e) => (this.drag ? this.dragTo(e) : this.hover(e.clientX, e.clientY)));
    c.addEventListener('pointerup', (e) => this.release(e));
    c.addEventListener('pointerleave', () => this.drag || this.clearHover());
    c.addEventListener('wheel', (e) => this.wheel(e), { passive: false });
    c.addEventListener('contextmenu', (e) => {
      e.preventDefault();
      const n = this.zone(e.clientX, e.clientY) === 'x' ? 1 : 2;
      this.menu.open(this.proxies[n], e.clientX - this.root.getBoundingClientRect().left, e.clientY - this.root.getBoundingClientRect().top);
    });
  }

  local(clientX, clientY) {
    const r = this.root.getBoundingClientRect();
    return [clientX - r.left, clientY - r.top];
  }

  // 'plot', 'x' (under the plot), 'y' (left of it) or null.
  zone(clientX, clientY) {
    if (!this.layout) return null;
    const [px, py] = this.local(clientX, clientY);
    const a = this.layout.area;
    if (px >= a.x && px <= a.x + a.w && py >= a.y && py <= a.y + a.h) return 'plot';
    if (py > a.y + a.h && px >= a.x) return 'x';
    if (px < a.x && py <= a.y + a.h) return 'y';
    return null;
  }

  valueAt(px, py) {
    const a = this.layout.area;
    return [this.scales.x.toValue(px, a.x, a.x + a.w), this.scales.y.toValue(py, a.y + a.h, a.y)];
  }

  // What a press at (px, py) takes hold of: an overlay edge or the whole plot (a pan).
  grab(px, py) {
    const a = this.layout.area;
    for (const p of this.figure.plotters) {
      const o = this.overlay.get(p.id);
      if (p.vlines?.draggable) {
        const hit = hitLine(p.vlines, o.lines, this.scales.x, a, px);
        if (hit) return { kind: 'lines', plotter: p, grab: { ...hit, current: hit.value } };
      }
      if (p.box?.draggable) {
        const hit = hitBox(o.box, this.scales.x, this.scales.y, a, px, py);
        if (hit) return { kind: 'box', plotter: p, grab: hit, start: { x: [...o.box.x], y: [...o.box.y] } };
      }
    }
    return { kind: 'pan', ranges: this.ranges() };
  }

  press(e) {
    if (e.button !== 0 || this.zone(e.clientX, e.clientY) !== 'plot') return;
    const [px, py] = this.local(e.clientX, e.clientY);
    this.drag = { ...this.grab(px, py), from: [px, py], moved: false };
    this.hoverCanvas.setPointerCapture(e.pointerId);
  }

  dragTo(e) {
    const d = this.drag;
    const [px, py] = this.local(e.clientX, e.clientY);
    if (!d.moved && Math.hypot(px - d.from[0], py - d.from[1]) < STILL) return;
    d.moved = true;
    const a = this.layout.area;
    const xs = this.scales.x;
    const ys = this.scales.y;
    const perX = (xs.max - xs.min) / a.w;
    const perY = (ys.max - ys.min) / a.h;
    if (d.kind === 'lines') {
      moveLine(this.overlay.get(d.plotter.id).lines, d.grab, roundToPixel(xs.toValue(px, a.x, a.x + a.w), perX));
    } else if (d.kind === 'box') {
      const dx = roundToPixel((px - d.from[0]) * perX, perX);
      const dy = roundToPixel(-(py - d.from[1]) * perY, perY);
      const moved = moveBox(d.start, d.grab, dx, dy);
      this.overlay.get(d.plotter.id).box = { x: moved.x.map((v) => roundToPixel(v, perX)), y: moved.y.map((v) => roundToPixel(v, perY)) };
    } else {
      xs.setRange(d.ranges.x[0] - (px - d.from[0]) * perX, d.ranges.x[1] - (px - d.from[0]) * perX);
      ys.setRange(d.ranges.y[0] + (py - d.from[1]) * perY, d.ranges.y[1] + (py - d.from[1]) * perY);
    }
    this.clearHover();
    this.schedule();
  }

  release(e) {
    const d = this.drag;
    this.drag = null;
    if (!d) return;
    if (!d.moved) {
      this.click(e);
      return;
    }
    const o = this.overlay.get(d.plotter?.id);
    if (d.kind === 'lines') this.send('VLinesDragged', { plotter: d.plotter.vlines.id, values: o.lines.flat() });
    else if (d.kind === 'box') {
      // Edges dragged past each other are reported in order.
      const b = { x: [...o.box.x].sort((p, q) => p - q), y: [...o.box.y].sort((p, q) => p - q) };
      o.box = b;
      this.send('BoxResized', { plotter: d.plotter.box.id, values: [...b.x, ...b.y] });
      this.schedule();
    } else {
      this.reportScales(d.ranges);
    }
  }

  // A click reports the nearest point's label; a second click within the double-click
  // time auto-scales both scales instead.
  async click(e) {
    const now = e.timeStamp;
    const [px, py] = this.local(e.clientX, e.clientY);
    const last = this.lastClick;
    if (last && now - last.at <= this.doubleClickMs && Math.hypot(px - last.px, py - last.py) < NEAR) {
      this.lastClick = null;
      this.proxies[0].auto_scale();
      return;
    }
    this.lastClick = { at: now, px, py };
    const hit = this.nearest(px, py);
    if (!hit) return;
    const label = await this.store.label(hit.plotter.y.id, hit.index);
    this.send('OnMouseClick', { plotter: hit.plotter.id, label });
  }

  wheel(e) {
    const zone = this.zone(e.clientX, e.clientY);
    if (!zone) return;
    e.preventDefault();
    const [px, py] = this.local(e.clientX, e.clientY);
    const [vx, vy] = this.valueAt(px, py);
    const factor = Math.exp(Math.sign(e.deltaY) * 0.15);
    const axes = zone === 'plot' ? (e.shiftKey ? ['y'] : ['x']) : [zone];
    this.wheelStart ??= this.ranges();
    for (const axis of axes) this.scales[axis].zoom(factor, axis === 'x' ? vx : vy);
    this.schedule();
    clearTimeout(this.wheelTimer);
    // The host hears the scales once the wheel rests.
    this.wheelTimer = setTimeout(() => {
      this.reportScales(this.wheelStart);
      this.wheelStart = null;
    }, 200);
  }

  // The point nearest (px, py) within NEAR pixels: {plotter, k (point), index (series
  // index), x, y}; for a histogram the bin under the pointer.
  nearest(px, py) {
    if (!this.layout) return null;
    const a = this.layout.area;
    const [vx] = this.valueAt(px, py);
    const X = (v) => this.scales.x.toPixel(v, a.x, a.x + a.w);
    const Y = (v) => this.scales.y.toPixel(v, a.y + a.h, a.y);
    let best = null;
    for (const p of this.figure.plotters) {
      const pts = pointsOf(p, this.store);
      if (!pts.n) continue;
      if (p.kind === 'histogram') {
        const k = Math.floor((vx - pts.grid.start) / pts.grid.step);
        if (k >= 0 && k < pts.n) {
          const left = pts.grid.start + k * pts.grid.step;
          best = { plotter: p, k, index: pts.index(k), values: [left, left + pts.grid.step, pts.y[k]], px, py: Y(pts.y[k]), d: 0 };
        }
        continue;
      }
      const consider = (k) => {
        const x = pts.grid ? pts.grid.start + k * pts.grid.step : pts.x[k];
        const y = pts.y[k];
        const d = Math.hypot(X(x) - px, Y(y) - py);
        if (d <= NEAR * (pts.grid ? 4 : 1) && (!best || d < best.d))
          best = { plotter: p, k, index: pts.index(k), values: [x, y, k], px: X(x), py: Y(y), d };
      };
      if (pts.grid) {
        // Along a line the nearest sample by x is the one read out.
        const k = Math.round((vx - pts.grid.start) / pts.grid.step);
        const span = Math.ceil(NEAR / Math.abs(X(pts.grid.step) - X(0)) || 0);
        for (let j = Math.max(0, k - span); j <= Math.min(pts.n - 1, k + span); ++j) consider(j);
      } else {
        for (let k = 0; k < pts.n; ++k) consider(k);
      }
    }
    return best;
  }

  hover(clientX, clientY) {
    if (!this.figure || !this.layout || this.zone(clientX, clientY) !== 'plot') return this.clearHover();
    const [px, py] = this.local(clientX, clientY);
    const hit = this.nearest(px, py);
    this.drawHover(hit);
    if (!hit || !hit.plotter.readout) {
      this.readout.hidden = true;
      return;
    }
    this.readout.textContent = hit.plotter.readout.replace(/\{([012])\}/g, (_, n) => valueText(hit.values[n]));
    this.readout.hidden = false;
    const w = this.readout.offsetWidth;
    const flip = hit.px + 14 + w > this.root.clientWidth;
    this.readout.style.left = `${flip ? hit.px - 14 - w : hit.px + 14}px`;
    this.readout.style.top = `${Math.max(0, hit.py - 28)}px`;
  }

  drawHover(hit) {
    const ratio = window.devicePixelRatio || 1;
    const c = this.hoverCanvas.getContext('2d');
    c.setTransform(1, 0, 0, 1, 0, 0);
    c.clearRect(0, 0, this.hoverCanvas.width, this.hoverCanvas.height);
    if (!hit) return;
    c.setTransform(ratio, 0, 0, ratio, 0, 0);
    c.strokeStyle = '#000';
    c.lineWidth = 1.5;
    c.beginPath();
    c.arc(hit.px, hit.py, 5, 0, 2 * Math.PI);
    c.stroke();
  }

  clearHover() {
    this.readout.hidden = true;
    this.drawHover(null);
  }
}
