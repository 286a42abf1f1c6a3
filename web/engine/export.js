// SPDX-License-Identifier: MIT
// The plot as a picture: a PNG drawn afresh at twice the screen's resolution and an SVG
// drawn by the same code, put on the clipboard; printing shows the view's title above the
// picture and nothing else of the page.
import { CanvasPainter, SvgPainter } from './painter.js';
import { drawPlot } from './draw.js';

const PRINT_RATIO = 3;

function size(plot) {
  return [plot.root.clientWidth, plot.root.clientHeight];
}

export function plotPng(plot, ratio = 2) {
  const [w, h] = size(plot);
  const canvas = document.createElement('canvas');
  canvas.width = Math.round(w * ratio);
  canvas.height = Math.round(h * ratio);
  if (plot.figure) drawPlot(new CanvasPainter(canvas.getContext('2d'), ratio), plot, w, h, ratio);
  return new Promise((resolve, reject) => canvas.toBlob((b) => (b ? resolve(b) : reject(new Error('no image'))), 'image/png'));
}

export function plotSvg(plot) {
  const [w, h] = size(plot);
  const p = new SvgPainter(w, h);
  if (plot.figure) drawPlot(p, plot, w, h, 1);
  return p.svg();
}

// Copies the PNG, with the SVG beside it when asked and the browser takes it; resolves to
// the types copied.
export async function copyPlot(plot, svg) {
  const items = { 'image/png': await plotPng(plot) };
  if (svg && globalThis.ClipboardItem?.supports?.('image/svg+xml'))
    items['image/svg+xml'] = new Blob([plotSvg(plot)], { type: 'image/svg+xml' });
  await navigator.clipboard.write([new ClipboardItem(items)]);
  return Object.keys(items).map((t) => (t === 'image/png' ? 'PNG' : 'SVG'));
}

export function printPlot(plot, title) {
  document.querySelector('.etch-print')?.remove();
  const sheet = document.createElement('section');
  sheet.className = 'etch-print';
  const heading = document.createElement('h1');
  heading.textContent = title;
  const image = document.createElement('img');
  image.alt = title;
  const [w, h] = size(plot);
  const canvas = document.createElement('canvas');
  canvas.width = w * PRINT_RATIO;
  canvas.height = h * PRINT_RATIO;
  if (plot.figure) drawPlot(new CanvasPainter(canvas.getContext('2d'), PRINT_RATIO), plot, w, h, PRINT_RATIO);
  image.src = canvas.toDataURL('image/png');
  sheet.append(heading, image);
  document.body.append(sheet);
  image.decode().finally(() => window.print());
}
