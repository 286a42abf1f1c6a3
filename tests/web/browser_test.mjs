// SPDX-License-Identifier: MIT
// The plot pages of a real analysis in headless Chromium, as a person uses them: open,
// read, drag, click, rescale, copy. Screenshots of the six views go to the build folder
// for a person to look at.
import assert from 'node:assert/strict';
import { existsSync, mkdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { compileMarkup } from '../../web/engine/markup.js';
import { analysed, browser, CHROMIUM, markupOf, missing, repo, screenshots, VIEWS } from './support.mjs';

const RECORDING = 'mitdb/100.hea';
const why = missing(RECORDING);
let context = null;
let out = null;

before(async () => {
  if (why) return;
  out = analysed(RECORDING, 'browser');
  context = await browser();
});
after(() => context?.close());

const skip = () => why ?? (existsSync(CHROMIUM) ? false : `Chromium is not installed at ${CHROMIUM}`);

// Opens plots/<view>.html and waits until its data is in; fails on any console error.
async function open(view) {
  const page = await context.newPage();
  const errors = [];
  page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(`file://${join(out, 'plots', `${view}.html`)}`);
  await page.waitForFunction(() => document.documentElement.dataset.etch === 'ready');
  await page.evaluate(() => etch.idle());
  await page.evaluate(() => new Promise(requestAnimationFrame));
  return { page, errors, plot: compileMarkup(markupOf(out, view)).plotters[0].id };
}

// Page coordinates of the value (x, y) in plot `id`.
const pixelOf = (page, id, x, y) =>
  page.evaluate(([id, x, y]) => {
    const p = etch.get_plot(id);
    const a = p.layout.area;
    const r = p.root.getBoundingClientRect();
    return [r.left + p.scales.x.toPixel(x, a.x, a.x + a.w), r.top + p.scales.y.toPixel(y, a.y + a.h, a.y)];
  }, [id, x, y]);

const lastSent = (page, name) => page.evaluate((name) => etch.sent.filter((m) => m.name === name).at(-1), name);

async function drag(page, [x0, y0], [x1, y1]) {
  await page.mouse.move(x0, y0);
  await page.mouse.down();
  await page.mouse.move((x0 + x1) / 2, (y0 + y1) / 2, { steps: 3 });
  await page.mouse.move(x1, y1, { steps: 3 });
  await page.mouse.up();
}

test('each plot page opens without an error, its axes at the markup\'s full ranges', { skip: skip() }, async () => {
  mkdirSync(screenshots, { recursive: true });
  for (const view of VIEWS) {
    const { page, errors, plot } = await open(view);
    const { full } = compileMarkup(markupOf(out, view));
    const shown = await page.evaluate((id) => {
      const p = etch.get_plot(id);
      const ticks = (t) => [t.values[0], t.values.at(-1)];
      return { x: [p.scales.x.min, p.scales.x.max], y: [p.scales.y.min, p.scales.y.max], xt: ticks(p.layout.xt), yt: ticks(p.layout.yt) };
    }, plot);
    assert.deepEqual([shown.x, shown.y], [full.x, full.y], view);
    // The outer ticks lie on the axes, never past their ends.
    assert.ok(shown.xt[0] >= full.x[0] - 1e-9 && shown.xt[1] <= full.x[1] + 1e-9, `${view} x ticks ${shown.xt}`);
    assert.ok(shown.yt[0] >= full.y[0] - 1e-9 && shown.yt[1] <= full.y[1] + 1e-9, `${view} y ticks ${shown.yt}`);
    await page.screenshot({ path: join(screenshots, `${view}.png`) });
    assert.deepEqual(errors, [], view);
    await page.close();
  }
});

test('dragging a spectrum band edge sends VLinesDragged with the new position', { skip: skip() }, async () => {
  const { page, plot } = await open('spectrum');
  const from = await pixelOf(page, plot, 0.15, 5);
  const to = await pixelOf(page, plot, 0.2, 5);
  await drag(page, from, to);
  const sent = await lastSent(page, 'VLinesDragged');
  assert.equal(sent.plotter, 'spectrum_freq_bands');
  // LF's upper and HF's lower edge moved together, to 0.2 Hz within a pixel's worth.
  const [vlfLo, vlfHi, lfLo, lfHi, hfLo, hfHi] = sent.values;
  assert.deepEqual([vlfLo, vlfHi, lfLo, hfHi], [0, 0.04, 0.04, 0.45]);
  assert.equal(lfHi, hfLo);
  assert.ok(Math.abs(lfHi - 0.2) <= 0.001, `moved to ${lfHi}`);
  await page.close();
});

test('clicking a tachogram point returns its label', { skip: skip() }, async () => {
  const { page, plot } = await open('tachogram');
  const series = JSON.parse(readFileSync(join(out, 'views', 'tachogram.json'), 'utf8')).series.$HRV_Tachogram;
  const index = 100;
  const [x, y] = await pixelOf(page, plot, index, series[index]);
  await page.mouse.click(x, y);
  await page.waitForFunction(() => etch.sent.some((m) => m.name === 'OnMouseClick'));
  const sent = await lastSent(page, 'OnMouseClick');
  assert.equal(sent.plotter, plot);
  const [i, value] = sent.label.split('\t');
  assert.equal(Number(i), index);
  assert.ok(Math.abs(Number(value) - series[index]) < 1e-3, sent.label);
  // The readout shows the point under the pointer in the markup's words.
  await page.mouse.move(x, y + 1);
  assert.match(await page.getByRole('status').first().textContent(), new RegExp(`^RR Interval ${index} = \\d+(\\.\\d+)? ms$`));
  await page.close();
});

test('resizing the classifier box returns its edges', { skip: skip() }, async () => {
  const { page, plot } = await open('classifier');
  const from = await pixelOf(page, plot, 1200, 1.25);
  const to = await pixelOf(page, plot, 1100, 1.25);
  await drag(page, from, to);
  const sent = await lastSent(page, 'BoxResized');
  assert.equal(sent.plotter, 'classifier_box');
  const [x0, x1, y0, y1] = sent.values;
  assert.deepEqual([x0, y0, y1], [800, 1, 1.5]);
  assert.ok(Math.abs(x1 - 1100) <= 2, `right edge at ${x1}`);
  await page.close();
});

test('auto scale, unipolar and bipolar change the scale and report it', { skip: skip() }, async () => {
  const { page, plot } = await open('tachogram');
  const run = (command) => page.evaluate((c) => etch.run(c), `etch.get_plot('${plot}').get_scales()[2].${command}();`);
  const y = () => page.evaluate((id) => [etch.get_plot(id).scales.y.min, etch.get_plot(id).scales.y.max], plot);
  const [lo, hi] = await y();
  const m = Math.max(Math.abs(lo), Math.abs(hi));
  await run('set_unipolar');
  assert.deepEqual(await y(), [0, m]);
  await run('set_bipolar');
  assert.deepEqual(await y(), [-m, m]);
  await run('auto_scale');
  assert.deepEqual(await y(), [lo, hi]);
  assert.deepEqual((await lastSent(page, 'YScalingChanged')).values, [lo, hi]);
  // Through the page's own menu on the x axis: zoomed by the wheel, then Auto Scale.
  const [cx, cy] = await pixelOf(page, plot, 300, (lo + hi) / 2);
  await page.mouse.move(cx, cy);
  await page.mouse.wheel(0, -300);
  const zoomed = await page.evaluate((id) => [etch.get_plot(id).scales.x.min, etch.get_plot(id).scales.x.max], plot);
  assert.ok(zoomed[1] - zoomed[0] < 767, `zoomed to ${zoomed}`);
  const [ax, ay] = await pixelOf(page, plot, 300, lo);
  await page.mouse.click(ax, ay + 20, { button: 'right' });
  await page.getByRole('menuitem', { name: 'Auto Scale' }).click();
  assert.deepEqual((await lastSent(page, 'XScalingChanged')).values, compileMarkup(markupOf(out, 'tachogram')).full.x);
  await page.close();
});

test('copy gives a PNG', { skip: skip() }, async () => {
  await context.grantPermissions(['clipboard-read', 'clipboard-write']);
  const { page } = await open('poincare');
  await page.mouse.move(300, 200);
  await page.getByRole('button', { name: 'Copy PNG' }).click();
  await page.waitForFunction(() => /Copied/.test(document.querySelector('.etch-status').textContent));
  const png = await page.evaluate(async () => {
    const [item] = await navigator.clipboard.read();
    const bytes = new Uint8Array(await (await item.getType('image/png')).arrayBuffer());
    return { types: item.types, head: [...bytes.slice(0, 8)], size: bytes.length };
  });
  assert.deepEqual(png.types, ['image/png']);
  assert.deepEqual(png.head, [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
  assert.ok(png.size > 5000, `${png.size} bytes`);
  await page.close();
});

test('a markup that does not compile shows "Invalid Etch Markup" and where', { skip: skip() }, async () => {
  const { page, plot } = await open('rr_histogram');
  await page.evaluate((id) => etch.run(`etch.get_plot('${id}').set_markup('histogram: {id: \\'x\\', bins: [0:1:end], oops}');`), plot);
  const alert = page.getByRole('alert');
  assert.match(await alert.textContent(), /Invalid Etch Markup.*':' after 'oops' expected at line 1, column 43/s);
  await page.close();
});

test('local.html, served by a host, runs its commands and pulls the data through it', { skip: skip() }, async () => {
  const page = await context.newPage();
  const values = Array.from({ length: 1000 }, (_, i) => 800 + 50 * Math.sin(i / 20));
  const heard = [];
  await page.exposeFunction('etchHost', (text) => {
    const m = JSON.parse(text);
    heard.push(m);
    if (m.op === 'series') {
      const part = values.slice(m.start, m.start + m.count);
      return JSON.stringify({ id: m.id, total: values.length, start: m.start, values: part, min: 750, max: 850 });
    }
    if (m.op === 'labels') return JSON.stringify({ labels: [`${m.start}\t${values[m.start]}`] });
    return JSON.stringify({ result: 0 });
  });
  await page.route('http://etch.test/**', (route) =>
    route.fulfill({ path: join(repo, 'web/engine', new URL(route.request().url()).pathname.slice(1)) }));
  await page.goto('http://etch.test/local.html');
  await page.waitForFunction(() => document.documentElement.dataset.etch === 'ready');
  const run = (c) => page.evaluate((c) => etch.run(c), c);
  assert.equal(await run("etch.make_plot('t').dblclick_ms(400);"), true);
  values.length = 600; // the series grows after the markup, as while sampling
  await run("etch.get_plot('t').set_markup('tplot: {id: \\'t\\', xdata: [0:1:end], ydata: \\'$S\\' [0:1:end]},');");
  await page.evaluate(() => etch.idle());
  values.push(...Array.from({ length: 400 }, (_, i) => 800 + 50 * Math.sin((600 + i) / 20)));
  await run("etch.get_plot('t').plotter_data_changed('t', 2147483647, 2147483647);");
  await page.evaluate(() => etch.idle());
  assert.equal(await page.evaluate(() => etch.get_plot('t').store.get('$S').length), 1000);
  assert.deepEqual(heard.filter((m) => m.op === 'series').map((m) => m.start), [0, 600]);
  const [x, y] = await pixelOf(page, 't', 700, values[700]);
  await page.mouse.click(x, y);
  await page.waitForFunction(() => etch.sent.length > 0);
  assert.deepEqual(heard.at(-1), { op: 'callback', plot: 't', name: 'OnMouseClick', plotter: 't', label: `700\t${values[700]}` });
  await page.close();
});
