// SPDX-License-Identifier: MIT
// The host's windows in a browser (`korvel-hrv serve`), walked as a user walks them on
// mitdb/100: open, analyse, open the views and the report, tabulate, drag a band edge and
// the classifier box, click the tachogram, delete and add a beat, save, reopen, copy the
// report. Each result is checked against the command-line tool; screenshots of the main
// window and of each panel go to the build folder for a person to look at.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { CHROMIUM, missing, screenshots, servePage, sharedData, tool } from './support.mjs';

const RECORDING = join(sharedData, 'mitdb/100.hea');
const why = missing('mitdb/100.hea') ?? (existsSync(CHROMIUM) ? null : `Chromium is not installed at ${CHROMIUM}`);
const skip = () => why ?? false;
const VIEWS = ['HRV Tachogram Plot', 'HRV Power Spectrum Plot', 'HRV RR Histogram Plot', 'HRV Delta RR Histogram Plot',
  'HRV Poincaré Plot', 'HRV Classifier Plot'];
const work = mkdtempSync(join(tmpdir(), 'korvel-serve-'));
let page, errors, close;

before(async () => {
  if (why) return;
  ({ page, errors, close } = await servePage([], { clipboard: true }));
});
after(async () => close?.());

const state = () => page.evaluate(() => window.korvelApp.state);
const doc = async () => (await state()).documents.find((d) => d.active);
const until = (predicate, arg) => page.waitForFunction(predicate, arg, { timeout: 20000 });
const results = async () => JSON.parse(await page.evaluate(async (id) => (await fetch(`/api/documents/${id}/results`)).text(), (await doc()).id));

// Chooses an item of the HRV menu (or of `top`), through its submenus.
async function menu(...path) {
  const top = ['Macro', 'Channel'].includes(path[0]) ? path.shift() : 'HRV';
  await page.getByRole('button', { name: top, exact: true }).click();
  for (const sub of path.slice(0, -1)) await page.locator('.submenu > span', { hasText: sub }).hover();
  await page.getByRole('menuitem', { name: path.at(-1), exact: true }).or(page.getByRole('menuitemcheckbox', { name: path.at(-1), exact: true })).click();
}

// The plot engine page of a view's panel, with its data in.
async function plotOf(view) {
  const panel = page.getByRole('region', { name: view });
  await panel.scrollIntoViewIfNeeded();
  const frame = await panel.locator('iframe').elementHandle();
  const content = await frame.contentFrame();
  await content.waitForFunction(() => window.etch?.plots.size > 0 && [...etch.plots.values()][0].figure);
  await content.evaluate(() => etch.idle());
  const box = await frame.boundingBox();
  // Page coordinates of the value (x, y) in the page's plot.
  const pixel = async (x, y) => {
    const [px, py] = await content.evaluate(([x, y]) => {
      const p = [...etch.plots.values()][0];
      const a = p.layout.area;
      const r = p.root.getBoundingClientRect();
      return [r.left + p.scales.x.toPixel(x, a.x, a.x + a.w), r.top + p.scales.y.toPixel(y, a.y + a.h, a.y)];
    }, [x, y]);
    return [box.x + px, box.y + py];
  };
  return { content, pixel };
}

async function drag([x0, y0], [x1, y1]) {
  await page.mouse.move(x0, y0);
  await page.mouse.down();
  await page.mouse.move((x0 + x1) / 2, (y0 + y1) / 2, { steps: 3 });
  await page.mouse.move(x1, y1, { steps: 3 });
  await page.mouse.up();
}

const analyze = (args) => JSON.parse(execFileSync(tool, ['analyze', RECORDING, '--json', '--out', join(work, 'a'), ...args], { encoding: 'utf8' }));
const reportRevision = () => page.getByRole('region', { name: 'HRV Report' }).getAttribute('data-revision');

test('open mitdb/100, analyse it, open the six views and the report', { skip: skip() }, async () => {
  await page.getByLabel('Open a recording or document').fill(RECORDING);
  await page.getByRole('button', { name: 'Open', exact: true }).click();
  await until(() => window.korvelApp.state?.documents.length === 1);
  await menu('Analyze Channel');
  await until(() => window.korvelApp.state.menus[0].items.some((i) => i.path === 'HRV|ClearAnalysis' && i.enabled));
  await menu('Report View');
  for (const view of VIEWS.slice(0, 5)) await menu('Analysis Plots', view.replace('HRV ', ''));
  await menu('Beat Classifier View');
  await until(() => window.korvelApp.state.documents[0].views.length === 7);
  for (const view of VIEWS) await plotOf(view);
  const expected = analyze([]);
  const report = page.getByRole('region', { name: 'HRV Report' }).frameLocator('iframe');
  await assert.doesNotReject(report.getByText(String(expected.beats.total), { exact: true }).first().waitFor());
  // The beat rate as a channel of the chart, with the guide lines the calculation sets.
  await menu('Channel', 'Add HRV Calculation: Beat Rate');
  await until(() => [...window.korvelApp.charts.values()][0].data?.channels.some((c) => c.name === 'HRV_Calculation' && c.guides.length > 0));
  await page.evaluate(() => document.getElementById('panels').scrollTo(0, 0));
  await page.screenshot({ path: join(screenshots, 'serve_main.png') });
  for (const view of ['HRV Report', 'Chart', ...VIEWS])
    await page.getByRole('region', { name: new RegExp(`^${view}`) }).screenshot({ path: join(screenshots, `serve_${view.replace(/\W+/g, '_')}.png`) });
  assert.deepEqual(errors, []);
});

test('the table of 5-minute windows equals `korvel-hrv table --window 300`', { skip: skip() }, async () => {
  await page.getByRole('button', { name: 'Tabulate' }).click();
  const link = page.getByRole('link', { name: 'Export CSV' });
  await link.waitFor();
  const csv = await page.evaluate(async (href) => (await fetch(href)).text(), await link.getAttribute('href'));
  assert.equal(csv, execFileSync(tool, ['table', RECORDING, '--window', '300'], { encoding: 'utf8' }));
  await page.getByRole('region', { name: 'Table' }).screenshot({ path: join(screenshots, 'serve_table.png') });
});

test('dragging the LF/HF edge and the classifier box analyse as `analyze --settings` does', { skip: skip() }, async () => {
  const spectrum = await plotOf('HRV Power Spectrum Plot');
  let revision = await reportRevision();
  await drag(await spectrum.pixel(0.15, 5), await spectrum.pixel(0.2, 5));
  await until((r) => document.querySelector('section.report')?.dataset.revision !== r, revision);
  const classifier = await plotOf('HRV Classifier Plot');
  revision = await reportRevision();
  await drag(await classifier.pixel(800, 1.25), await classifier.pixel(700, 1.25));
  await until((r) => document.querySelector('section.report')?.dataset.revision !== r, revision);
  const edited = await results();
  assert.ok(Math.abs(edited.settings.LFHighHz - 0.2) <= 0.001 && edited.settings.HFLowHz === edited.settings.LFHighHz, `LF/HF edge at ${edited.settings.LFHighHz}`);
  assert.ok(Math.abs(edited.settings.MinRR - 0.7) <= 0.003, `box edge at ${edited.settings.MinRR} s`);
  const settings = join(work, 'edited.json');
  writeFileSync(settings, JSON.stringify(edited));
  const expected = analyze(['--settings', settings]);
  for (const part of ['beats', 'time_domain', 'frequency', 'nonlinear']) assert.deepEqual(edited[part], expected[part], part);
  const report = page.getByRole('region', { name: 'HRV Report' }).frameLocator('iframe');
  await report.getByText(`0.04 - ${edited.settings.LFHighHz} Hz`).waitFor();
  // The table shown follows: its LF power of the first window is the one `table` gives with that edge.
  const table = execFileSync(tool, ['table', RECORDING, '--window', '300', '--settings', settings], { encoding: 'utf8' }).split('\n');
  const lf = table[0].split(',').indexOf('LF Power (ms2)');
  const expectedLf = Number(Number(table[1].split(',')[lf]).toPrecision(4));
  await until(([column, value]) => document.querySelector('section.table tr:nth-child(2)')?.children[column]?.textContent === String(value), [lf, expectedLf]);
});

test('clicking a tachogram point scrolls the chart to that beat and shows its comment', { skip: skip() }, async () => {
  const tachogram = await plotOf('HRV Tachogram Plot');
  const series = await tachogram.content.evaluate(() => Array.from([...etch.plots.values()][0].store.get('$HRV_Tachogram').view()));
  await page.mouse.click(...(await tachogram.pixel(100, series[100])));
  await until(() => window.korvelApp.state.documents[0].shown_s !== null);
  const shown = (await doc()).shown_s;
  await until((t) => {
    const chart = [...window.korvelApp.charts.values()][0];
    return chart.view.from < t && t < chart.view.to && chart.data?.from_s === chart.view.from;
  }, shown);
  await page.mouse.move(0, 0);
  assert.match(await page.getByRole('region', { name: /^Chart/ }).getByRole('status').textContent(), /HRV Beat \d+: RR = [\d.]+ ms/);
});

test('a beat deleted and one added on the chart stay deleted and added after save and reopen', { skip: skip() }, async () => {
  const before = await results();
  const chart = () => page.evaluate(() => [...window.korvelApp.charts.values()][0].data);
  await page.evaluate(() => [...window.korvelApp.charts.values()][0].setView(100, 104));
  await until(() => [...window.korvelApp.charts.values()][0].data?.from_s === 100);
  await page.getByRole('region', { name: /^Chart/ }).scrollIntoViewIfNeeded();
  const canvas = await page.getByRole('region', { name: /^Chart/ }).locator('canvas').boundingBox();
  const xOf = (t) => page.evaluate((t) => [...window.korvelApp.charts.values()][0].xOf(t), t);
  const beat = (await chart()).events.find((e) => e.t > 101);
  const y = canvas.y + 50;
  await drag([canvas.x + (await xOf(beat.t - 0.1)), y], [canvas.x + (await xOf(beat.t + 0.1)), y]);
  await until(() => window.korvelApp.state.documents[0].selection?.to_s > window.korvelApp.state.documents[0].selection?.from_s);
  await menu('Delete Beat Marker');
  await until((n) => fetch(`/api/documents/${window.korvelApp.state.documents[0].id}/results`).then((r) => r.json()).then((j) => j.beats.detected === n), before.beats.detected - 1);
  const added = beat.t + 0.35;
  await page.mouse.click(canvas.x + (await xOf(added)), y);
  await until((t) => Math.abs(window.korvelApp.state.documents[0].selection?.from_s - t) < 0.01, added);
  await menu('Add Beat Marker');
  await until((n) => fetch(`/api/documents/${window.korvelApp.state.documents[0].id}/results`).then((r) => r.json()).then((j) => j.beats.detected === n), before.beats.detected);
  // The chart follows: the deleted beat's marker gone, the added one drawn.
  await until(([gone, added]) => {
    const events = [...window.korvelApp.charts.values()][0].data.events;
    return !events.some((e) => Math.abs(e.t - gone) < 0.01) && events.some((e) => Math.abs(e.t - added) < 0.05);
  }, [beat.t, added]);
  await page.getByRole('region', { name: /^Chart/ }).screenshot({ path: join(screenshots, 'serve_chart_edited.png') });
  const edited = await results();

  const file = join(work, 'edited.korvel');
  await page.getByRole('button', { name: 'Save', exact: true }).first().click();
  await page.getByLabel('Save the document as').fill(file);
  await page.locator('#save-form').getByRole('button', { name: 'Save' }).click();
  await until(() => window.korvelApp.state.documents[0].file !== null);
  await page.getByRole('button', { name: 'Close' }).click();
  await until(() => window.korvelApp.state.documents.length === 0);
  await page.getByLabel('Open a recording or document').fill(file);
  await page.getByRole('button', { name: 'Open', exact: true }).click();
  await until(() => window.korvelApp.state.documents.length === 1);
  assert.deepEqual(await results(), edited);
  const around = await page.evaluate(async ([id, t]) => (await fetch(`/api/documents/${id}/chart?from=${t - 1}&to=${t + 1}&columns=100`)).json(), [(await doc()).id, beat.t]);
  assert.ok(!around.events.some((e) => Math.abs(e.t - beat.t) < 0.01), 'the deleted beat is back');
  assert.ok(around.events.some((e) => Math.abs(e.t - added) < 0.05), 'the added beat is gone');
});

test('Copy puts the report on the clipboard as text and as HTML', { skip: skip() }, async () => {
  await menu('Report View');
  const report = page.getByRole('region', { name: 'HRV Report' });
  await report.getByRole('button', { name: 'Copy' }).click();
  await until(() => /Report copied/.test(document.getElementById('status').textContent));
  const copied = await page.evaluate(async () => {
    const [item] = await navigator.clipboard.read();
    return { types: item.types, text: await (await item.getType('text/plain')).text(), html: await (await item.getType('text/html')).text() };
  });
  assert.deepEqual(copied.types.sort(), ['text/html', 'text/plain']);
  assert.match(copied.text, /Total Included Beats/);
  assert.match(copied.html, /<table[^]*Total Included Beats/);
  assert.deepEqual(errors, []);
});

test('a macro recorded from the menu replays its commands', { skip: skip() }, async () => {
  const cleared = () => !window.korvelApp.state.menus[0].items.some((i) => i.path === 'HRV|ClearAnalysis' && i.enabled);
  await menu('Macro', 'Record Macro');
  await menu('Clear Analysis');
  await until(cleared);
  await menu('Macro', 'Stop Recording');
  await until(() => window.korvelApp.state.macro.steps.length > 0);
  assert.deepEqual((await state()).macro.steps, ['HRV_ClearAnalysis']);
  await menu('Analyze Channel');
  await until(() => window.korvelApp.state.menus[0].items.some((i) => i.path === 'HRV|ClearAnalysis' && i.enabled));
  await menu('Macro', 'Replay Macro (HRV_ClearAnalysis)');
  await until(cleared);
});

test('a recording played live at 50 times its rate ends with the beats `analyze` finds', { skip: skip() }, async () => {
  const recording = join(sharedData, 'mitdb/106.hea');
  await page.getByLabel('Open a recording or document').fill(recording);
  await page.getByLabel('at').fill('50');
  await page.getByRole('button', { name: 'Play live' }).click();
  await until(() => window.korvelApp.state.documents.some((d) => d.playing));
  await menu('Analysis Plots', 'Tachogram Plot');
  await until(() => window.korvelApp.state.documents.find((d) => d.active).duration_s > 300);
  // Played this fast the end moves a whole window before a reply comes back: the chart
  // follows the windows it receives, so that it always has the one it shows.
  await until(() => [...window.korvelApp.charts.values()].at(-1).data?.from_s > 200);
  const live = await page.evaluate(() => {
    const chart = [...window.korvelApp.charts.values()].at(-1);
    return { shown: [chart.view.from, chart.view.to], received: [chart.data.from_s, chart.data.to_s] };
  });
  assert.deepEqual(live.shown, live.received);
  await page.getByRole('region', { name: /^Chart/ }).and(page.locator(':not([hidden])')).screenshot({ path: join(screenshots, 'serve_live_chart.png') });
  // 30 minutes at 50 times: 36 s.
  await page.waitForFunction(() => !window.korvelApp.state.documents.some((d) => d.playing), null, { timeout: 90000 });
  const beats = await page.evaluate(async (id) => (await fetch(`/api/documents/${id}/beats`)).text(), (await doc()).id);
  execFileSync(tool, ['analyze', recording, '--out', join(work, '106')]);
  assert.equal(beats, readFileSync(join(work, '106', 'beats.csv'), 'utf8'));
  await page.evaluate(() => document.getElementById('panels').scrollTo(0, 0));
  await page.screenshot({ path: join(screenshots, 'serve_live_main.png') });
  assert.deepEqual(errors, []);
});
