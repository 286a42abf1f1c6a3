// SPDX-License-Identifier: MIT
// Draws a whole plot on a painter: the layout from the labels' sizes, the graticule, the
// plotters with their overlays, the axes with their ticks and labels. The same function
// draws the screen, the PNG and the SVG copy.
import { textWidth } from './painter.js';
import { pointsOf } from './data.js';
import { barsPath, pointCells, traceColumns, tracePath } from './paths.js';
import { boxGroup, drawBands, drawBox, drawEllipse, drawLines } from './overlays.js';
import { tickText, ticks } from './scale.js';

const AXIS = '#333';
const LABEL_FONT = '13px system-ui, "DejaVu Sans", sans-serif';
const TICK = 5;

// Ticks of a horizontal axis spaced so that their labels never touch.
function xTicks(scale, pixels) {
  let t = ticks(scale.min, scale.max, pixels, 60);
  for (let tries = 0; tries < 3 && t.values.length > 1; ++tries) {
    const spacing = (t.step * pixels) / Math.abs(scale.max - scale.min);
    const widest = Math.max(...t.values.map((v) => textWidth(tickText(v, t))));
    if (widest + 12 <= spacing) break;
    t = ticks(scale.min, scale.max, pixels, widest + 16);
  }
  return t;
}

// The plot's rectangle and ticks for a size in CSS pixels.
export function layout(state, width, height) {
  const { figure, scales } = state;
  const m = figure.margins;
  const top = m.top ?? 16;
  const right = m.right ?? 16;
  const bottom = m.bottom ?? 6 + TICK + 16 + (figure.xlabel ? 22 : 0) + 4;
  const yt = ticks(scales.y.min, scales.y.max, Math.max(10, height - top - bottom), 30);
  const yWidest = Math.max(0, ...yt.values.map((v) => textWidth(tickText(v, yt))));
  const left = m.left ?? Math.ceil(TICK + 6 + yWidest + (figure.ylabel ? 26 : 0) + 6);
  const area = { x: left, y: top, w: Math.max(10, width - left - right), h: Math.max(10, height - top - bottom) };
  return { area, xt: xTicks(scales.x, area.w), yt };
}

function drawGraticule(p, figure, scales, { area, xt, yt }) {
  if (!figure.graticule) return;
  const path = p.path();
  for (const v of xt.values) {
    const x = p.crisp(scales.x.toPixel(v, area.x, area.x + area.w));
    path.moveTo(x, area.y);
    path.lineTo(x, area.y + area.h);
  }
  for (const v of yt.values) {
    const y = p.crisp(scales.y.toPixel(v, area.y + area.h, area.y));
    path.moveTo(area.x, y);
    path.lineTo(area.x + area.w, y);
  }
  p.stroke(path, figure.graticule.colour, 1, figure.graticule.dashed ? [4, 3] : null);
}

function drawAxes(p, figure, scales, { area, xt, yt }, height) {
  const frame = p.path();
  frame.rect(p.crisp(area.x), p.crisp(area.y), Math.round(area.w), Math.round(area.h));
  const marks = p.path();
  const bottom = p.crisp(area.y + area.h);
  for (const v of xt.values) {
    const x = p.crisp(scales.x.toPixel(v, area.x, area.x + area.w));
    marks.moveTo(x, bottom);
    marks.lineTo(x, bottom + TICK);
    p.text(tickText(v, xt), x, bottom + TICK + 3, { colour: AXIS, align: 'center', baseline: 'top' });
  }
  const left = p.crisp(area.x);
  for (const v of yt.values) {
    const y = p.crisp(scales.y.toPixel(v, area.y + area.h, area.y));
    marks.moveTo(left, y);
    marks.lineTo(left - TICK, y);
    p.text(tickText(v, yt), left - TICK - 4, y, { colour: AXIS, align: 'right', baseline: 'middle' });
  }
  p.stroke(frame, AXIS, 1);
  p.stroke(marks, AXIS, 1);
  if (figure.xlabel)
    p.text(figure.xlabel, area.x + area.w / 2, height - 6, { colour: AXIS, font: LABEL_FONT, align: 'center', baseline: 'bottom' });
  if (figure.ylabel) p.text(figure.ylabel, 6, area.y + area.h / 2, { colour: AXIS, font: LABEL_FONT, align: 'center', baseline: 'top', turn: true });
  if (figure.title) p.text(figure.title, area.x, 14, { colour: AXIS, font: LABEL_FONT, baseline: 'middle' });
}

function drawPlotter(p, plotter, state, area, ratio) {
  const { scales, store, overlay } = state;
  const pts = pointsOf(plotter, store);
  const o = overlay.get(plotter.id);
  if (plotter.kind === 'tplot') {
    // A trace with more points than pixel columns is drawn a column at a time, one device
    // pixel wide: a wide line over thousands of columns costs many times more and shows
    // nothing more.
    const spans = traceColumns(pts, scales.x, scales.y, area, ratio);
    if (spans) p.columns(spans, plotter.colour, area);
    else p.stroke(tracePath(pts, scales.x, scales.y, area, ratio, p.path()).path, plotter.colour, 1.25);
  } else if (plotter.kind === 'histogram') {
    const bars = barsPath(pts, scales.x, scales.y, area, p.path());
    if (plotter.fillcolour) p.fill(bars, plotter.fillcolour);
    p.stroke(bars, plotter.colour, 1);
  } else {
    const box = plotter.box && o.box;
    const colours = box && plotter.box.plotcolours.length >= 4 ? plotter.box.plotcolours : [plotter.colour];
    const groupOf = colours.length > 1 ? boxGroup(box) : () => 0;
    const cells = pointCells(pts, scales.x, scales.y, area, ratio, colours.length, groupOf);
    p.squares(cells.map((c, g) => ({ cells: c, colour: colours[g] })), 3);
  }
}

// Draws everything of `state` ({figure, store, scales, overlay}) on painter `p`.
export function drawPlot(p, state, width, height, ratio) {
  const { figure, scales, overlay } = state;
  const l = layout(state, width, height);
  const { area } = l;
  p.clear(width, height, '#fff');
  drawGraticule(p, figure, scales, l);
  p.clip(area.x, area.y, area.w, area.h);
  for (const plotter of figure.plotters) {
    const o = overlay.get(plotter.id);
    if (plotter.vlines) drawBands(p, plotter.vlines, o.lines, scales.x, area);
  }
  for (const plotter of figure.plotters) drawPlotter(p, plotter, state, area, ratio);
  for (const plotter of figure.plotters) {
    const o = overlay.get(plotter.id);
    if (plotter.ellipse) drawEllipse(p, plotter.ellipse, scales.x, scales.y, area);
    if (plotter.box) drawBox(p, plotter.box, o.box, scales.x, scales.y, area, false);
  }
  p.unclip();
  for (const plotter of figure.plotters) {
    const o = overlay.get(plotter.id);
    if (plotter.vlines) drawLines(p, plotter.vlines, o.lines, scales.x, area);
    if (plotter.box) drawBox(p, plotter.box, o.box, scales.x, scales.y, area, true);
  }
  drawAxes(p, figure, scales, l, height);
  return l;
}
