// SPDX-License-Identifier: MIT
// Each way of drawing a plotter is a function from its points and the scales to paths; the
// plot strokes or fills them and never knows how they were built. `area` is the plot's
// rectangle {x, y, w, h} in CSS pixels; `ratio` the device-pixel ratio.

const xPixel = (scale, area) => (v) => area.x + ((v - scale.min) / (scale.max - scale.min)) * area.w;
const yPixel = (scale, area) => (v) => area.y + area.h - ((v - scale.min) / (scale.max - scale.min)) * area.h;

// The indices of a grid's points that fall in the x scale, one either side included so
// that the line reaches the edges.
function visibleGridRange(grid, n, xs) {
  const lo = Math.min(xs.min, xs.max);
  const hi = Math.max(xs.min, xs.max);
  const a = (lo - grid.start) / grid.step;
  const b = (hi - grid.start) / grid.step;
  const from = Math.max(0, Math.floor(Math.min(a, b)) - 1);
  const to = Math.min(n - 1, Math.ceil(Math.max(a, b)) + 1);
  return [from, to];
}

// A line through the points. Where many points share a device-pixel column they are
// folded into that column's first, lowest, highest and last value, so a long series costs
// at most four vertices per column. A NaN breaks the line. `folded` says whether most
// points were folded.
export function tracePath(pts, xs, ys, area, ratio, path) {
  const X = xPixel(xs, area);
  const Y = yPixel(ys, area);
  const [from, to] = pts.grid ? visibleGridRange(pts.grid, pts.n, xs) : [0, pts.n - 1];
  let column = NaN;
  let cx = 0, first = 0, lo = 0, hi = 0, last = 0;
  let pen = false; // a point has been placed since the last break
  let folded = 0; // points that shared a column with the one before
  const flush = () => {
    if (pen) path.lineTo(cx, first);
    else path.moveTo(cx, first);
    if (lo !== hi) {
      path.lineTo(cx, lo);
      path.lineTo(cx, hi);
    }
    path.lineTo(cx, last);
    pen = true;
  };
  for (let i = from; i <= to; ++i) {
    const xv = pts.grid ? pts.grid.start + i * pts.grid.step : pts.x[i];
    const yv = pts.y[i];
    if (Number.isNaN(yv) || Number.isNaN(xv)) {
      if (!Number.isNaN(column)) flush();
      column = NaN;
      pen = false;
      continue;
    }
    const px = X(xv);
    const py = Y(yv);
    const c = Math.round(px * ratio);
    if (c === column) {
      ++folded;
      if (py < lo) lo = py;
      if (py > hi) hi = py;
      last = py;
    } else {
      if (!Number.isNaN(column)) flush();
      column = c;
      cx = px;
      first = lo = hi = last = py;
    }
  }
  if (!Number.isNaN(column)) flush();
  return { path, folded: folded > (to - from) / 2 };
}

// A long trace as one span of device pixels per column: the column's lowest to highest
// value, stretched to meet the last value of the column before, which is how a line one
// device pixel wide through all the points looks. Spans are [x, top, bottom] triples from
// the page's top left; null when the points do not outnumber the columns, where the line
// itself is drawn.
export function traceColumns(pts, xs, ys, area, ratio) {
  const [from, to] = pts.grid ? visibleGridRange(pts.grid, pts.n, xs) : [0, pts.n - 1];
  if (!pts.grid || to - from < 2 * area.w * ratio) return null;
  const ax = (area.w * ratio) / (xs.max - xs.min);
  const bx = area.x * ratio - xs.min * ax;
  const ay = -(area.h * ratio) / (ys.max - ys.min);
  const by = (area.y + area.h) * ratio - ys.min * ay;
  const spans = new Int32Array(3 * (Math.ceil(area.w * ratio) + 3));
  let count = 0;
  let column = NaN;
  let lo = 0, hi = 0, last = NaN;
  const flush = () => {
    spans[count++] = column;
    spans[count++] = Math.round(lo);
    spans[count++] = Math.round(hi);
  };
  for (let i = from; i <= to; ++i) {
    const py = pts.y[i] * ay + by;
    if (Number.isNaN(py)) {
      last = NaN;
      continue;
    }
    const c = Math.round((pts.grid.start + i * pts.grid.step) * ax + bx);
    if (c !== column) {
      if (!Number.isNaN(column) && count + 3 <= spans.length) flush();
      column = c;
      lo = hi = Number.isNaN(last) ? py : last;
    }
    if (py < lo) lo = py;
    if (py > hi) hi = py;
    last = py;
  }
  if (!Number.isNaN(column) && count + 3 <= spans.length) flush();
  return spans.subarray(0, count);
}

// Bars of a histogram: bin k spans [start + k × step, start + (k + 1) × step) and rises
// from 0 to its count.
export function barsPath(pts, xs, ys, area, path) {
  const X = xPixel(xs, area);
  const Y = yPixel(ys, area);
  const base = Y(Math.max(Math.min(0, Math.max(ys.min, ys.max)), Math.min(ys.min, ys.max)));
  for (let k = 0; k < pts.n; ++k) {
    const h = pts.y[k];
    if (!(h !== 0) || Number.isNaN(h)) continue;
    const left = X(pts.grid.start + k * pts.grid.step);
    const right = X(pts.grid.start + (k + 1) * pts.grid.step);
    const top = Y(h);
    path.rect(Math.min(left, right), Math.min(top, base), Math.abs(right - left), Math.abs(base - top));
  }
  return path;
}

// Points of a scatter: the device pixel of each point, one list per colour group
// (`groupOf(x, y)` gives the group). A point on a pixel that already holds one of its
// group is left out, so a dense cloud costs what its covered pixels cost. Pixels are
// counted from the page's top left, in device pixels.
export function pointCells(pts, xs, ys, area, ratio, groups, groupOf) {
  // Device pixel = value × a + b, worked out once rather than per point.
  const ax = (area.w * ratio) / (xs.max - xs.min);
  const bx = area.x * ratio - xs.min * ax;
  const ay = -(area.h * ratio) / (ys.max - ys.min);
  const by = (area.y + area.h) * ratio - ys.min * ay;
  const x0 = Math.floor(area.x * ratio);
  const y0 = Math.floor(area.y * ratio);
  const w = Math.ceil(area.w * ratio) + 2;
  const h = Math.ceil(area.h * ratio) + 2;
  const seen = new Uint8Array(w * h);
  const lists = Array.from({ length: groups }, () => new Int32Array(2 * pts.n));
  const counts = new Int32Array(groups);
  const { x, y } = pts;
  for (let i = 0; i < pts.n; ++i) {
    const xv = x[i];
    const yv = y[i];
    const cx = Math.round(xv * ax + bx);
    const cy = Math.round(yv * ay + by);
    const u = cx - x0;
    const v = cy - y0;
    if (!(u >= 0 && v >= 0 && u < w && v < h)) continue; // outside, or NaN
    const g = groups === 1 ? 0 : groupOf(xv, yv);
    const bit = 1 << g;
    const at = v * w + u;
    if (seen[at] & bit) continue;
    seen[at] |= bit;
    const k = counts[g]++ * 2;
    lists[g][k] = cx;
    lists[g][k + 1] = cy;
  }
  return lists.map((list, g) => list.subarray(0, counts[g] * 2));
}

// The outline of an ellipse centred at (x, y) in values with radii a and b (values),
// turned by `rotate` degrees clockwise as seen on a screen whose y grows downwards. The
// turn is made in values, so the radius a of a -45° ellipse lies on the identity line
// whatever the scales. Also the ends of its two axes.
export function ellipseOutline(e, xs, ys, area, path, steps = 180) {
  const X = xPixel(xs, area);
  const Y = yPixel(ys, area);
  const phi = (-e.rotate * Math.PI) / 180; // anticlockwise in values, y upwards
  const c = Math.cos(phi);
  const s = Math.sin(phi);
  const at = (u, v) => [X(e.x + u * c - v * s), Y(e.y + u * s + v * c)];
  for (let k = 0; k <= steps; ++k) {
    const t = (2 * Math.PI * k) / steps;
    const [px, py] = at(e.a * Math.cos(t), e.b * Math.sin(t));
    if (k === 0) path.moveTo(px, py);
    else path.lineTo(px, py);
  }
  return { path, axes: [[at(-e.a, 0), at(e.a, 0)], [at(0, -e.b), at(0, e.b)]] };
}
