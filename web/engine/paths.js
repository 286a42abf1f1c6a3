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
// at most four vertices per column. A NaN breaks the line.
export function tracePath(pts, xs, ys, area, ratio, path) {
  const X = xPixel(xs, area);
  const Y = yPixel(ys, area);
  const [from, to] = pts.grid ? visibleGridRange(pts.grid, pts.n, xs) : [0, pts.n - 1];
  let column = NaN;
  let cx = 0, first = 0, lo = 0, hi = 0, last = 0;
  let pen = false; // a point has been placed since the last break
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
  return path;
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

// Points of a scatter as small squares, one path per colour group: `groupOf(x, y)` gives
// the group of a point. A square already placed on the same device pixel is not placed
// again, so dense clouds cost what their covered pixels cost.
export function pointPaths(pts, xs, ys, area, ratio, groups, groupOf, makePath, size = 3) {
  const X = xPixel(xs, area);
  const Y = yPixel(ys, area);
  const w = Math.ceil(area.w * ratio) + 1;
  const h = Math.ceil(area.h * ratio) + 1;
  const seen = new Uint8Array(w * h);
  const paths = Array.from({ length: groups }, makePath);
  const half = size / 2;
  for (let i = 0; i < pts.n; ++i) {
    const xv = pts.x[i];
    const yv = pts.y[i];
    const px = X(xv);
    const py = Y(yv);
    const cx = Math.round((px - area.x) * ratio);
    const cy = Math.round((py - area.y) * ratio);
    if (!(cx >= 0 && cy >= 0 && cx < w && cy < h)) continue; // outside, or NaN
    const g = groupOf(xv, yv);
    const bit = 1 << g;
    const cell = cy * w + cx;
    if (seen[cell] & bit) continue;
    seen[cell] |= bit;
    paths[g].rect(px - half, py - half, size, size);
  }
  return paths;
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
