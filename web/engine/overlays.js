// SPDX-License-Identifier: MIT
// What the views lay over their data, each drawn, hit and dragged here: the vertical band
// lines (the spectrum's frequency bands), the box (the classifier's limits) and the ellipse
// (the Poincaré SD1/SD2 ellipse, drawn only). Positions are in the scales' units.
import { ellipseOutline } from './paths.js';
import { valueText } from './scale.js';

// Distance in CSS pixels within which a line or edge can be grabbed.
export const GRAB = 6;

const X = (xs, area, v) => area.x + ((v - xs.min) / (xs.max - xs.min)) * area.w;
const Y = (ys, area, v) => area.y + area.h - ((v - ys.min) / (ys.max - ys.min)) * area.h;

// The distinct positions of the band lines, ascending.
export function lineValues(positions) {
  return [...new Set(positions.flat())].sort((a, b) => a - b);
}

export function drawBands(p, v, positions, xs, area) {
  positions.forEach(([from, to], k) => {
    const colour = v.fillcolours[k];
    if (!colour) return;
    const a = X(xs, area, from);
    const b = X(xs, area, to);
    const path = p.path();
    path.rect(Math.min(a, b), area.y, Math.abs(b - a), area.h);
    p.fill(path, colour);
  });
}

export function drawLines(p, v, positions, xs, area) {
  const path = p.path();
  const values = lineValues(positions);
  for (const value of values) {
    const x = p.crisp(X(xs, area, value));
    if (x < area.x - 0.5 || x > area.x + area.w + 0.5) continue;
    path.moveTo(x, area.y);
    path.lineTo(x, area.y + area.h);
  }
  p.stroke(path, v.colour, v.draggable ? 2 : 1);
  if (!v.showvalues) return;
  let right = -Infinity; // the labels' right end so far: crowded labels go one row higher
  let row = 0;
  for (const value of values) {
    const x = X(xs, area, value);
    if (x < area.x - 0.5 || x > area.x + area.w + 0.5) continue;
    const text = valueText(value);
    const half = text.length * 3.5;
    row = x - half < right + 4 ? row + 1 : 0;
    right = x + half;
    p.text(text, x, area.y - 4 - row * 13, { colour: v.textcolour, align: 'center', baseline: 'bottom' });
  }
}

// The line under pixel x: {value, slots} where slots are the [band, end] places holding
// that value; null when none is within GRAB pixels.
export function hitLine(v, positions, xs, area, px) {
  let best = null;
  for (const value of lineValues(positions)) {
    const d = Math.abs(X(xs, area, value) - px);
    if (d <= GRAB && (!best || d < best.d)) best = { value, d };
  }
  if (!best) return null;
  const slots = [];
  positions.forEach((pair, k) => pair.forEach((value, j) => value === best.value && slots.push([k, j])));
  return { value: best.value, slots };
}

// Moves the grabbed line to `value`, kept between its neighbours so that no band turns
// inside out; lines that coincided move together.
export function moveLine(positions, grab, value) {
  const others = lineValues(positions).filter((v) => v !== grab.current);
  const below = Math.max(-Infinity, ...others.filter((v) => v < grab.current));
  const above = Math.min(Infinity, ...others.filter((v) => v > grab.current));
  const moved = Math.min(above, Math.max(below, value));
  for (const [k, j] of grab.slots) positions[k][j] = moved;
  grab.current = moved;
}

// The box's outline, or (`values`) the values of its edges beside them.
export function drawBox(p, box, edges, xs, ys, area, values) {
  const x0 = X(xs, area, edges.x[0]);
  const x1 = X(xs, area, edges.x[1]);
  const y0 = Y(ys, area, edges.y[0]);
  const y1 = Y(ys, area, edges.y[1]);
  if (!values) {
    const path = p.path();
    path.rect(p.crisp(Math.min(x0, x1)), p.crisp(Math.min(y0, y1)), Math.round(Math.abs(x1 - x0)), Math.round(Math.abs(y1 - y0)));
    p.stroke(path, box.colour, box.draggable ? 2 : 1, box.draggable ? null : [5, 3]);
    return;
  }
  if (!box.showvalues) return;
  const style = { colour: box.colour };
  const bottom = Math.max(y0, y1);
  const right = Math.max(x0, x1);
  p.text(valueText(edges.x[0]), x0, bottom + 4, { ...style, align: 'center', baseline: 'top' });
  p.text(valueText(edges.x[1]), x1, bottom + 4, { ...style, align: 'center', baseline: 'top' });
  p.text(valueText(edges.y[0]), right + 4, y0, { ...style, align: 'left', baseline: 'middle' });
  p.text(valueText(edges.y[1]), right + 4, y1, { ...style, align: 'left', baseline: 'middle' });
}

// What a press at (px, py) grabs of the box: {x: 0 | 1 | null, y: 0 | 1 | null} naming
// the edges held (both null: inside, the whole box moves); null outside.
export function hitBox(edges, xs, ys, area, px, py) {
  const xp = edges.x.map((v) => X(xs, area, v));
  const yp = edges.y.map((v) => Y(ys, area, v));
  const within = (v, [a, b]) => v >= Math.min(a, b) - GRAB && v <= Math.max(a, b) + GRAB;
  if (!within(px, xp) || !within(py, yp)) return null;
  const near = (v, ends) => {
    const d = ends.map((e) => Math.abs(e - v));
    const k = d[0] <= d[1] ? 0 : 1;
    return d[k] <= GRAB ? k : null;
  };
  return { x: near(px, xp), y: near(py, yp) };
}

// Applies a drag of (dx, dy) in values to the edges held, from the edges at the press.
export function moveBox(start, grab, dx, dy) {
  const x = [...start.x];
  const y = [...start.y];
  if (grab.x === null && grab.y === null) {
    x[0] += dx;
    x[1] += dx;
    y[0] += dy;
    y[1] += dy;
  } else {
    if (grab.x !== null) x[grab.x] += dx;
    if (grab.y !== null) y[grab.y] += dy;
  }
  return { x, y };
}

// The colour group of a point against the box, edges counting as inside: 0 inside, 1 x
// inside and y outside, 2 both outside, 3 y inside and x outside.
export function boxGroup(edges) {
  const [x0, x1] = [Math.min(...edges.x), Math.max(...edges.x)];
  const [y0, y1] = [Math.min(...edges.y), Math.max(...edges.y)];
  return (x, y) => {
    const inX = x >= x0 && x <= x1;
    const inY = y >= y0 && y <= y1;
    return inX ? (inY ? 0 : 1) : inY ? 3 : 2;
  };
}

export function drawEllipse(p, e, xs, ys, area) {
  const { path, axes } = ellipseOutline(e, xs, ys, area, p.path());
  p.stroke(path, e.colour, 1.5);
  if (!e.drawAxes) return;
  const lines = p.path();
  for (const [[ax, ay], [bx, by]] of axes) {
    lines.moveTo(ax, ay);
    lines.lineTo(bx, by);
  }
  p.stroke(lines, e.colour, 1, [4, 3]);
}
