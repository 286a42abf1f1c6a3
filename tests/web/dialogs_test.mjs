// SPDX-License-Identifier: MIT
// The extension's dialogs in `korvel-hrv serve`, on mitdb/100: the settings dialog with a
// species preset, an invalid value and Cancel; the detector dialog's preview against the
// document's own stage channels; the help pages. Screenshots of each dialog go to the
// build folder for a person to look at.
import assert from 'node:assert/strict';
import { existsSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { CHROMIUM, missing, screenshots, servePage, sharedData } from './support.mjs';

const RECORDING = join(sharedData, 'mitdb/100.hea');
const why = missing('mitdb/100.hea') ?? (existsSync(CHROMIUM) ? null : `Chromium is not installed at ${CHROMIUM}`);
const skip = () => why ?? false;
let page, errors, close;

before(async () => {
  if (why) return;
  ({ page, errors, close } = await servePage([RECORDING]));
});
after(async () => close?.());

const until = (predicate, arg) => page.waitForFunction(predicate, arg, { timeout: 30000 });
const results = () => page.evaluate(async () => (await fetch(`/api/documents/${window.korvelApp.state.documents[0].id}/results`)).json());
const dialog = (title) => page.getByRole('dialog', { name: title, exact: true });
const settingsOf = async () => (await results()).settings;

async function openSettings() {
  await page.getByRole('button', { name: 'HRV', exact: true }).click();
  await page.getByRole('menuitem', { name: 'Settings...', exact: true }).click();
  await dialog('HRV Settings').waitFor();
}

test('choosing "Mouse" and OK analyses again with the mouse values', { skip: skip() }, async () => {
  await until(() => window.korvelApp.state?.documents.length === 1);
  await page.getByRole('button', { name: 'HRV', exact: true }).click();
  await page.getByRole('menuitem', { name: 'Analyze Channel', exact: true }).click();
  await until(() => window.korvelApp.state.documents[0].analysis !== 0);
  await openSettings();
  await page.screenshot({ path: join(screenshots, 'dialog_settings.png') });
  await dialog('HRV Settings').getByLabel('Preset:').selectOption('Mouse');
  await until(() => document.querySelector('[aria-label="HRV Settings"] [aria-label="Maximum frequency:"]')?.value === '5');
  await dialog('HRV Settings').getByRole('button', { name: 'OK' }).click();
  await dialog('HRV Settings').waitFor({ state: 'detached' });
  await until(async () => (await (await fetch(`/api/documents/${window.korvelApp.state.documents[0].id}/results`)).json()).settings.Preset === 4);
  const s = await settingsOf();
  assert.deepEqual([s.LowPassHz, s.WindowSec, s.MinRR, s.MaxRR, s.MaxFrequencyHz], [150, 1, 0.09, 0.12, 5]);
});

test('an out-of-range value shows the warning on OK, and Cancel changes nothing', { skip: skip() }, async () => {
  const before = await results();
  await openSettings();
  await dialog('HRV Settings').getByLabel('Number of frequencies:').fill('5');
  await until(() => !document.querySelector('[aria-label="HRV Settings"] [data-control="133"]').hidden);
  await dialog('HRV Settings').getByRole('button', { name: 'OK' }).click();
  const warning = dialog('HRV');
  for (const text of ['One or more settings are invalid and need correcting.', 'The invalid settings are marked with a',
    'Correct these settings before continuing.'])
    await warning.getByText(text, { exact: true }).waitFor();
  await page.screenshot({ path: join(screenshots, 'dialog_settings_warning.png') });
  await warning.getByRole('button', { name: 'OK' }).click();
  await warning.waitFor({ state: 'detached' });
  await dialog('HRV Settings').getByRole('button', { name: 'Cancel' }).click();
  await dialog('HRV Settings').waitFor({ state: 'detached' });
  assert.deepEqual(await results(), before);
});

test('the detector preview follows the low-pass cut-off and equals the stage channels of the analysis', { skip: skip() }, async () => {
  await openSettings();
  const settings = dialog('HRV Settings');
  await settings.getByLabel('Preset:').selectOption('Custom');
  await settings.getByRole('button', { name: 'Advanced...' }).click();
  const detector = dialog('HRV Detector Settings');
  await detector.waitFor();
  const preview = () => page.evaluate(() => document.querySelector('canvas.preview').preview);
  await until(() => document.querySelector('canvas.preview')?.preview?.trace?.length > 0);
  const first = await preview();
  await detector.getByLabel('Help').or(detector.getByRole('button', { name: 'HRV HTML Help' })).click();
  await page.getByRole('complementary', { name: 'Help' }).frameLocator('iframe').getByRole('heading', { name: 'HRV Detector Settings' }).waitFor();
  await page.getByRole('button', { name: 'Close help' }).click();
  await detector.getByLabel('Low pass filter:').fill('40');
  await until((g) => document.querySelector('canvas.preview').preview?.generation > g && document.querySelector('canvas.preview').preview.trace, first.generation);
  const second = await preview();
  assert.notDeepEqual(second.trace, first.trace);
  await page.screenshot({ path: join(screenshots, 'dialog_detector.png') });
  await detector.getByRole('button', { name: 'OK' }).click();
  await settings.getByRole('button', { name: 'OK' }).click();
  await settings.waitFor({ state: 'detached' });
  await until(async () => (await (await fetch(`/api/documents/${window.korvelApp.state.documents[0].id}/results`)).json()).settings.LowPassHz === 40);
  // The document's own chain, computed with the same parameters, shows what the preview showed.
  const chart = await page.evaluate(async (columns) => (await fetch(`/api/documents/${window.korvelApp.state.documents[0].id}/chart?from=0&to=10&columns=${columns}&computed=1`)).json(), second.trace.length);
  const channel = (name) => chart.channels.find((c) => c.name === name);
  assert.deepEqual(channel('HRV_vNRM').max, second.trace);
  assert.deepEqual(channel('HRV_vNRM').max, channel('HRV_pNRM').max);
  const beats = chart.events.filter((e) => e.channel === channel('HRV_vFID')?.id).map((e) => e.t);
  assert.deepEqual(second.events, chart.events.filter((e) => e.channel !== undefined && e.on.includes(0) && second.events.includes(e.t)).map((e) => e.t).slice(0, second.events.length));
  assert.ok(beats.length === 0 || beats.length === second.events.length);
});

test('the HRV Calculations dialog changes the channel on OK', { skip: skip() }, async () => {
  const channelMenu = async (item) => {
    await page.getByRole('button', { name: 'Channel', exact: true }).click();
    await page.getByRole('menuitem', { name: item, exact: true }).click();
  };
  await channelMenu('Add HRV Calculation: Beat Period');
  const unitIs = (want) =>
    until(async (unit) => {
      const chart = await (await fetch(`/api/documents/${window.korvelApp.state.documents[0].id}/chart?from=0&to=10&columns=10`)).json();
      return chart.channels.find((c) => c.name === 'HRV_Calculation')?.unit === unit;
    }, want);
  await unitIs('s');
  await channelMenu('HRV Calculation Settings...');
  const calculations = dialog('HRV Calculations');
  await calculations.waitFor();
  await calculations.getByLabel('HRV Parameter:').selectOption('Change in Beat Period');
  await until(() => document.querySelector('[aria-label="HRV Calculations"] input[type="checkbox"]').disabled);
  await calculations.getByLabel('HRV Parameter:').selectOption('Beat Rate');
  await page.screenshot({ path: join(screenshots, 'dialog_calculations.png') });
  await calculations.getByRole('button', { name: 'OK' }).click();
  await calculations.waitFor({ state: 'detached' });
  await unitIs('BPM');
  assert.deepEqual(errors, []);
});
