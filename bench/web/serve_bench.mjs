// SPDX-License-Identifier: MIT
// `korvel-hrv serve` on a 24-hour recording (about 100,000 beats), run by hand (not by the
// tests):   node bench/web/serve_bench.mjs [BUILD_DIR]
// It synthesizes the recording, starts the server on it and times, as medians in ms:
//   analyse         "Analyze Channel" through the menu, once
//   band drag       a spectrum band edge dragged: the server's answer to the gesture, then the
//                   report's HTML and the spectrum's new commands   (goal: at most 100 ms)
//   table           the Tabulet functions over 5-minute windows after the drag
//   drag, then table   the drag, then report, spectrum and table together (goal: 100 ms)
//   state           the documents, views and menus the page follows
//   chart 10 s      one chart window of 10 s, 1200 columns, with its beats
//   chart 24 h      the whole day in 1200 columns (too many beats to mark: none sent)
//   chart stages    the whole day with the HRV stage channels, first time and kept
//   draw 10 s / 24 h   the page drawing a chart window in headless Chromium (60 frames
//                   per second is 16.7 ms a frame)
// and the server's peak resident memory (goal: at most 1.5 GiB).
import { execFileSync, spawn } from 'node:child_process';
import { mkdtempSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { browser } from '../../tests/web/support.mjs';

const build = resolve(process.argv[2] ?? 'build');
const tool = join(build, 'apps/korvel-hrv');
const dir = mkdtempSync(join(tmpdir(), 'korvel-serve-bench-'));
const header = join(dir, 'day.hea');
execFileSync(tool, ['synthesize', header, '--minutes', '1440'], { stdio: 'inherit' });

const server = spawn(tool, ['serve', header], { stdio: ['ignore', 'pipe', 'inherit'] });
process.on('exit', () => server.kill());
process.on('uncaughtException', (e) => {
  console.error(e);
  process.exit(1);
});
const address = await new Promise((ok) => server.stdout.on('data', (d) => /open (\S+)/.test(String(d)) && ok(/open (\S+)/.exec(String(d))[1])));
const url = new URL(address);
const token = url.searchParams.get('token');
const api = async (path, body) => {
  const response = await fetch(`${url.origin}${path}`, {
    method: body ? 'POST' : 'GET',
    headers: { 'X-Korvel-Token': token, ...(body ? { 'Content-Type': 'application/json' } : {}) },
    body: body ? JSON.stringify(body) : undefined,
  });
  if (!response.ok) throw new Error(`${path}: ${await response.text()}`);
  return response.headers.get('Content-Type').startsWith('application/json') ? response.json() : response.text();
};
const median = (xs) => xs.sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const time = async (work) => {
  const t0 = performance.now();
  await work();
  return performance.now() - t0;
};
// Each figure is shown as soon as it is measured.
const figures = new Proxy({}, {
  set(target, name, ms) {
    target[name] = ms;
    console.log(`${String(name).padEnd(22)} ${ms.toFixed(1)} ms`);
    return true;
  },
});

let state = await api('/api/state');
const doc = state.documents[0].id;
// The command of the HRV menu item with that text, through its submenus.
const command = (text) => {
  const flat = (items) => items.flatMap((i) => (i.items ? flat(i.items) : [i]));
  return flat(state.menus[0].items).find((i) => i.text === text).command;
};
figures.analyse = await time(() => api(`/api/documents/${doc}/command`, { command: command('Analyze Channel') }));
await api(`/api/documents/${doc}/command`, { command: command('Report View') });
await api(`/api/documents/${doc}/command`, { command: command('Power Spectrum Plot') });
state = await api('/api/state');
const views = state.documents[0].views;
const report = views.find((v) => v.page !== undefined);
const spectrum = views.find((v) => v.control !== undefined);
const beats = (await api(`/api/documents/${doc}/results`)).beats;
console.log(`${beats.detected} beats detected, ${beats.total} analysed`);

const drags = [];
for (let i = 0; i < 7; ++i) {
  const edge = i % 2 ? 0.15 : 0.2;
  drags.push(await time(async () => {
    await api(`/api/plots/${spectrum.control}`, { op: 'callback', name: 'VLinesDragged', plotter: 'spectrum_freq_bands', values: [0, 0.04, 0.04, edge, edge, 0.45] });
    await api(`/api/pages/${report.page}`);
    await api(`/api/plots/${spectrum.control}/commands?from=0`);
  }));
}
figures['band drag'] = median(drags);
figures.table = await time(() => api(`/api/documents/${doc}/table?window=300`));
// What a user waits for: the edge dropped, then spectrum, report and table, fetched together.
const dragThenTable = [];
for (const edge of [0.17, 0.15, 0.16]) {
  dragThenTable.push(await time(async () => {
    await api(`/api/plots/${spectrum.control}`, { op: 'callback', name: 'VLinesDragged', plotter: 'spectrum_freq_bands', values: [0, 0.04, 0.04, edge, edge, 0.45] });
    await Promise.all([api(`/api/pages/${report.page}`), api(`/api/plots/${spectrum.control}/commands?from=0`), api(`/api/documents/${doc}/table?window=300`)]);
  }));
}
figures['drag, then table'] = median(dragThenTable);
figures.state = median(await Promise.all([0, 1, 2].map(() => time(() => api('/api/state')))));

const duration = state.documents[0].duration_s;
const windows = [];
for (let i = 0; i < 15; ++i) {
  const from = (duration - 10) * ((i * 7919) % 101) / 100;
  windows.push(await time(() => api(`/api/documents/${doc}/chart?from=${from}&to=${from + 10}&columns=1200`)));
}
figures['chart 10 s'] = median(windows);
figures['chart 24 h'] = median(await Promise.all([0, 1, 2].map(async () => time(() => api(`/api/documents/${doc}/chart?from=0&to=${duration}&columns=1200`)))));
figures['chart stages, first'] = await time(() => api(`/api/documents/${doc}/chart?from=0&to=${duration}&columns=1200&computed=1`));
figures['chart stages, kept'] = await time(() => api(`/api/documents/${doc}/chart?from=0&to=${duration}&columns=1200&computed=1`));

// Drawing in the page: the chart's draw() on a window it holds.
const context = await browser({ width: 1400, height: 900 });
const page = await context.newPage();
await page.goto(address);
await page.waitForFunction(() => window.korvelApp?.charts.size === 1 && [...window.korvelApp.charts.values()][0].data, null, { timeout: 120000 });
for (const [name, span] of [['draw 10 s', 10], ['draw 24 h', duration]]) {
  await page.evaluate((span) => [...window.korvelApp.charts.values()][0].setView(3600, 3600 + span), span);
  await page.waitForFunction(() => !([...window.korvelApp.charts.values()][0].inFlight), null, { timeout: 120000 });
  figures[name] = await page.evaluate(() => {
    const chart = [...window.korvelApp.charts.values()][0];
    const times = [];
    for (let i = 0; i < 30; ++i) {
      const t0 = performance.now();
      chart.view = { from: chart.view.from + 0.01, to: chart.view.to + 0.01 };
      chart.draw();
      times.push(performance.now() - t0);
    }
    return times.sort((a, b) => a - b)[15];
  });
}
await context.close();

const status = readFileSync(`/proc/${server.pid}/status`, 'utf8');
const peak = Number(/VmHWM:\s+(\d+)/.exec(status)[1]) / 1024;
server.kill();
console.log(`${'peak memory'.padEnd(22)} ${peak.toFixed(0)} MiB`);
