// SPDX-License-Identifier: MIT
// The few drawing operations a plot is made of, on a canvas or as SVG text, so that the
// same drawing code gives the screen, the PNG and the SVG copy. Coordinates are CSS
// pixels; the canvas painter scales to device pixels and `crisp` puts a line of a whole
// number of device pixels on pixel boundaries, so that axes and ticks stay sharp at any
// device-pixel ratio.

export const FONT = '12px system-ui, "DejaVu Sans", sans-serif';

let measurer = null;
// The squares of a scatter are written here first, then drawn over the plot.
const scratch = document.createElement('canvas');
let image = null;

// A CSS colour as the 32-bit word of its pixel (RGBA bytes in memory order).
const words = new Map();
function rgbaWord(colour) {
  if (!words.has(colour)) {
    const c = document.createElement('canvas').getContext('2d', { willReadFrequently: true });
    c.fillStyle = colour;
    c.fillRect(0, 0, 1, 1);
    const [r, g, b, a] = c.getImageData(0, 0, 1, 1).data;
    words.set(colour, new Uint32Array(new Uint8ClampedArray([r, g, b, a]).buffer)[0]);
  }
  return words.get(colour);
}
// Width of `text` in CSS pixels in `font`.
export function textWidth(text, font = FONT) {
  measurer ??= document.createElement('canvas').getContext('2d');
  measurer.font = font;
  return measurer.measureText(text).width;
}

export class CanvasPainter {
  constructor(ctx, ratio) {
    this.ctx = ctx;
    this.ratio = ratio;
    ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
  }

  path() {
    return new Path2D();
  }

  // Position of a line `width` CSS pixels wide at `v`, snapped to the device-pixel grid.
  crisp(v, width = 1) {
    const w = Math.max(1, Math.round(width * this.ratio));
    return (Math.round(v * this.ratio - (w % 2) / 2) + (w % 2) / 2) / this.ratio;
  }

  lineWidth(width = 1) {
    return Math.max(1, Math.round(width * this.ratio)) / this.ratio;
  }

  clear(width, height, colour) {
    this.ctx.fillStyle = colour;
    this.ctx.fillRect(0, 0, width, height);
  }

  fill(path, colour) {
    this.ctx.fillStyle = colour;
    this.ctx.fill(path);
  }

  stroke(path, colour, width = 1, dash = null) {
    const c = this.ctx;
    c.strokeStyle = colour;
    c.lineWidth = this.lineWidth(width);
    c.lineJoin = 'round';
    c.setLineDash(dash ?? []);
    c.stroke(path);
    c.setLineDash([]);
  }

  // `align` left|center|right, `baseline` top|middle|bottom|alphabetic; `turn` rotates the
  // text a quarter turn anticlockwise about (x, y).
  text(s, x, y, { colour = '#222', font = FONT, align = 'left', baseline = 'alphabetic', turn = false } = {}) {
    const c = this.ctx;
    c.fillStyle = colour;
    c.font = font;
    c.textAlign = align;
    c.textBaseline = baseline;
    if (turn) {
      c.save();
      c.translate(x, y);
      c.rotate(-Math.PI / 2);
      c.fillText(s, 0, 0);
      c.restore();
    } else {
      c.fillText(s, x, y);
    }
  }

  // Spans of device pixels, [x, top, bottom] triples (traceColumns), clipped to the
  // rectangle `area` and written into the pixels directly.
  columns(spans, colour, area) {
    const left = Math.floor(area.x * this.ratio);
    const top = Math.floor(area.y * this.ratio);
    const w = Math.ceil(area.w * this.ratio) + 1;
    const h = Math.ceil(area.h * this.ratio) + 1;
    const pixels = this.pixels(w, h);
    const value = rgbaWord(colour);
    for (let i = 0; i < spans.length; i += 3) {
      const x = spans[i] - left;
      if (x < 0 || x >= w) continue;
      const y0 = Math.max(0, spans[i + 1] - top);
      const y1 = Math.min(h - 1, spans[i + 2] - top);
      for (let y = y0; y <= y1; ++y) pixels[y * w + x] = value;
    }
    this.blit(w, h, left, top);
  }

  // A cleared block of w × h pixels to write into, then drawn by blit at (left, top).
  pixels(w, h) {
    if (!image || image.width !== w || image.height !== h) image = new ImageData(w, h);
    const words = new Uint32Array(image.data.buffer);
    words.fill(0);
    return words;
  }

  blit(w, h, left, top) {
    if (scratch.width < w || scratch.height < h) {
      scratch.width = Math.max(scratch.width, w);
      scratch.height = Math.max(scratch.height, h);
    }
    scratch.getContext('2d').putImageData(image, 0, 0);
    this.ctx.save();
    this.ctx.setTransform(1, 0, 0, 1, 0, 0);
    this.ctx.drawImage(scratch, 0, 0, w, h, left, top, w, h);
    this.ctx.restore();
  }

  // Squares `size` CSS pixels wide centred on device pixels: `groups` [{cells, colour}],
  // cells the x, y pairs of pointCells. They are written into the pixels directly, which
  // is many times faster than filling a path of 100,000 squares.
  squares(groups, size) {
    const side = Math.max(1, Math.round(size * this.ratio));
    const back = Math.floor(side / 2);
    let left = Infinity, top = Infinity, right = -Infinity, bottom = -Infinity;
    for (const { cells } of groups)
      for (let i = 0; i < cells.length; i += 2) {
        left = Math.min(left, cells[i]);
        right = Math.max(right, cells[i]);
        top = Math.min(top, cells[i + 1]);
        bottom = Math.max(bottom, cells[i + 1]);
      }
    if (left > right) return;
    left -= back;
    top -= back;
    const w = right - left + side;
    const h = bottom - top + side;
    const pixels = this.pixels(w, h);
    for (const { cells, colour } of groups) {
      const value = rgbaWord(colour);
      for (let i = 0; i < cells.length; i += 2) {
        let at = (cells[i + 1] - back - top) * w + cells[i] - back - left;
        for (let dy = 0; dy < side; ++dy, at += w) for (let dx = 0; dx < side; ++dx) pixels[at + dx] = value;
      }
    }
    this.blit(w, h, left, top);
  }

  clip(x, y, w, h) {
    this.ctx.save();
    this.ctx.beginPath();
    this.ctx.rect(x, y, w, h);
    this.ctx.clip();
  }

  unclip() {
    this.ctx.restore();
  }
}

// Path data in SVG syntax, with the methods of Path2D that the plots use.
class SvgPath {
  constructor() {
    this.d = [];
  }
  moveTo(x, y) {
    this.d.push(`M${r(x)} ${r(y)}`);
  }
  lineTo(x, y) {
    this.d.push(`L${r(x)} ${r(y)}`);
  }
  rect(x, y, w, h) {
    this.d.push(`M${r(x)} ${r(y)}h${r(w)}v${r(h)}h${r(-w)}Z`);
  }
  closePath() {
    this.d.push('Z');
  }
}

const r = (v) => Math.round(v * 100) / 100;
const esc = (s) => String(s).replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);
const anchors = { left: 'start', center: 'middle', right: 'end' };
const baselines = { top: 'hanging', middle: 'central', bottom: 'text-after-edge', alphabetic: 'alphabetic' };

export class SvgPainter {
  constructor(width, height) {
    this.width = width;
    this.height = height;
    this.parts = [];
    this.clips = 0;
  }
  path() {
    return new SvgPath();
  }
  crisp(v) {
    return Math.round(v) + 0.5;
  }
  lineWidth(width = 1) {
    return width;
  }
  clear(width, height, colour) {
    this.parts.push(`<rect width="${width}" height="${height}" fill="${colour}"/>`);
  }
  fill(path, colour) {
    if (path.d.length) this.parts.push(`<path d="${path.d.join('')}" fill="${colour}"/>`);
  }
  stroke(path, colour, width = 1, dash = null) {
    if (!path.d.length) return;
    const dashes = dash ? ` stroke-dasharray="${dash.join(' ')}"` : '';
    this.parts.push(`<path d="${path.d.join('')}" fill="none" stroke="${colour}" stroke-width="${width}" stroke-linejoin="round"${dashes}/>`);
  }
  text(s, x, y, { colour = '#222', font = FONT, align = 'left', baseline = 'alphabetic', turn = false } = {}) {
    const size = /(\d+)px/.exec(font)?.[1] ?? 12;
    const rotate = turn ? ` transform="rotate(-90 ${r(x)} ${r(y)})"` : '';
    this.parts.push(
      `<text x="${r(x)}" y="${r(y)}" fill="${colour}" font-size="${size}" font-family="system-ui, DejaVu Sans, sans-serif" ` +
        `text-anchor="${anchors[align]}" dominant-baseline="${baselines[baseline]}"${rotate}>${esc(s)}</text>`,
    );
  }
  columns(spans, colour) {
    const path = this.path();
    for (let i = 0; i < spans.length; i += 3) {
      path.moveTo(spans[i] + 0.5, spans[i + 1]);
      path.lineTo(spans[i] + 0.5, spans[i + 2] + 1);
    }
    this.stroke(path, colour, 1);
  }
  squares(groups, size) {
    for (const { cells, colour } of groups) {
      const path = this.path();
      for (let i = 0; i < cells.length; i += 2) path.rect(cells[i] - size / 2, cells[i + 1] - size / 2, size, size);
      this.fill(path, colour);
    }
  }
  clip(x, y, w, h) {
    const id = `clip${++this.clips}`;
    this.parts.push(`<clipPath id="${id}"><rect x="${r(x)}" y="${r(y)}" width="${r(w)}" height="${r(h)}"/></clipPath><g clip-path="url(#${id})">`);
  }
  unclip() {
    this.parts.push('</g>');
  }
  svg() {
    return `<svg xmlns="http://www.w3.org/2000/svg" width="${this.width}" height="${this.height}" viewBox="0 0 ${this.width} ${this.height}">${this.parts.join('')}</svg>`;
  }
}
