// SPDX-License-Identifier: MIT
// Plot engine timings in headless Chromium, run by hand (not by the tests):
//   node bench/web/plot_bench.mjs [--ratio 2]
// The page is local.html with a host in the page that answers in JSON text, as a real
// link delivers it. Each figure is the median of repeated runs, in milliseconds:
//   tachogram  drawing a tachogram of 100,000 beats          (goal: at most 16 ms)
//   scatter    drawing a scatter of 100,000 points            (goal: at most 30 ms)
//   data       100,000 beats in the page after the data-changed command (goal: at most 50 ms)
import { mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const engine = resolve(dirname(fileURLToPath(import.meta.url)), '../../web/engine');
const ratio = Number(process.argv[process.argv.indexOf('--ratio') + 1]) || 1;
const N = 100000;

const context = await chromium.launchPersistentContext(mkdtempSync(join(tmpdir(), 'etch-bench-')), {
  executablePath: '/usr/bin/chromium',
  headless: true,
  viewport: { width: 1280, height: 720 },
  deviceScaleFactor: ratio,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});
const page = await context.newPage();
page.on('pageerror', (e) => console.error('page error:', e.message));
// The host: series by id, answered as JSON text.
await page.addInitScript(() => {
  window.hostSeries = new Map();
  window.etchHost = async (text) => {
    const m = JSON.parse(text);
    const all = window.hostSeries.get(m.id) ?? [];
    if (m.op !== 'series') return JSON.stringify({ result: 0, labels: [] });
    const values = all.slice(m.start, m.start + m.count);
    return JSON.stringify({ id: m.id, total: all.length, start: m.start, values, min: 500, max: 1200 });
  };
});
await page.route('http://etch.test/**', (route) => route.fulfill({ path: join(engine, new URL(route.request().url()).pathname.slice(1)) }));
await page.goto('http://etch.test/local.html');
await page.waitForFunction(() => document.documentElement.dataset.etch === 'ready');

const figures = await page.evaluate(async (n) => {
  const median = (xs) => xs.sort((a, b) => a - b)[Math.floor(xs.length / 2)];
  // RR-like values: 800 ms with slow and fast rhythms and noise (a fixed-seed generator).
  let seed = 12345;
  const random = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
  const rr = Array.from({ length: n }, (_, i) => 800 + 40 * Math.sin(i / 300) + 15 * Math.sin(i / 3.7) + 20 * (random() - 0.5));
  const timeRender = (plot, runs = 15) => {
    plot.render(); // warm
    const t = [];
    for (let k = 0; k < runs; ++k) {
      const s = performance.now();
      plot.render();
      plot.canvas.getContext('2d').getImageData(0, 0, 1, 1); // wait for the drawing to finish
      t.push(performance.now() - s);
    }
    return median(t);
  };

  window.hostSeries.set('$T', rr);
  etch.run("etch.make_plot('t');");
  etch.run("etch.get_plot('t').set_markup('tplot: {id: \\'t\\', xdata: [0:1:end], ydata: \\'$T\\' [0:1:end], colour: #0000c0ff}, graticule: { colour:#c0c0c0ff }, xlabel: \\'Interval Number\\', ylabel: \\'RR Interval (ms)\\',');");
  await etch.idle();
  const tachogram = timeRender(etch.get_plot('t'));

  window.hostSeries.set('$X', rr.slice(0, n - 1));
  window.hostSeries.set('$Y', rr.slice(1));
  etch.get_plot('t').root.remove();
  etch.run("etch.make_plot('s');");
  etch.run("etch.get_plot('s').set_markup('scatter: {id: \\'s\\', box: {id: \\'b\\', colour: #ff0000ff, range_x: { min:780, max:830}, range_y: { min:780, max:830}, plotcolours: [#0050ffff, #ff00aaff, #ff0000ff, #ffaa00ff]}, xdata: \\'$X\\' [0:1:end], ydata: \\'$Y\\' [0:1:end], colour: #0000c0ff}, graticule: { colour:#c0c0c0ff },');");
  await etch.idle();
  const scatter = timeRender(etch.get_plot('s'));
  etch.get_plot('s').root.remove();

  const data = [];
  const drawn = [];
  for (let k = 0; k < 7; ++k) {
    const id = `d${k}`;
    window.hostSeries.set('$D', []);
    etch.run(`etch.make_plot('${id}');`);
    etch.run(`etch.get_plot('${id}').set_markup('tplot: {id: \\'${id}\\', xdata: [0:1:end], ydata: \\'$D\\' [0:1:end]},');`);
    await etch.idle();
    window.hostSeries.set('$D', rr);
    const s = performance.now();
    etch.run(`etch.get_plot('${id}').plotter_data_changed('${id}', 2147483647, 2147483647);`);
    await etch.get_plot(id).idle();
    data.push(performance.now() - s);
    etch.get_plot(id).render();
    drawn.push(performance.now() - s);
    if (etch.get_plot(id).store.get('$D').length !== n) throw new Error('not all the data arrived');
    etch.get_plot(id).root.remove();
  }
  return { tachogram, scatter, data: median(data), dataAndDrawn: median(drawn) };
}, N);

console.log(`device-pixel ratio ${ratio}, 1280 x 720, ${N} values`);
console.log(`tachogram drawn          ${figures.tachogram.toFixed(1)} ms (goal 16)`);
console.log(`scatter drawn            ${figures.scatter.toFixed(1)} ms (goal 30)`);
console.log(`data in the page         ${figures.data.toFixed(1)} ms (goal 50)`);
console.log(`data in and drawn        ${figures.dataAndDrawn.toFixed(1)} ms`);
await context.close();
