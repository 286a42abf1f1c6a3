// SPDX-License-Identifier: MIT
// The main window: it follows the server's state (documents, views, menus) by asking for
// it again whenever it changes, and turns the user's actions into API requests. What the
// page shows is always drawn from the last state; nothing is kept in the DOM.
import { get, post } from './api.js';
import { renderMenus } from './menus.js';
import { Chart } from './chart.js';
import { PlotPanel, ReportPanel } from './panels.js';
import { showTable } from './table.js';
import { renderDialogs } from './dialogs.js';

const $ = (id) => document.getElementById(id);
const app = { version: 0, state: null, panels: new Map(), charts: new Map(), table: null };
window.korvelApp = app; // for the browser tests: the last state

function notify(message, isError = message instanceof Error) {
  const status = $('status');
  status.textContent = message instanceof Error ? message.message : message;
  status.classList.toggle('error', isError);
}

const active = () => app.state?.documents.find((d) => d.active) ?? null;

// Runs an action; its failure is shown, never thrown.
async function act(work) {
  try {
    await work();
  } catch (e) {
    notify(e);
  }
}

function renderDocuments(state) {
  const list = $('document-list');
  list.replaceChildren();
  for (const doc of state.documents) {
    const li = document.createElement('li');
    li.className = doc.active ? 'active' : '';
    const name = document.createElement('button');
    name.type = 'button';
    name.className = 'document-name';
    name.textContent = doc.title + (doc.dirty ? ' •' : '');
    name.title = doc.file ?? 'not saved yet';
    name.setAttribute('aria-current', doc.active ? 'true' : 'false');
    name.addEventListener('click', () => act(() => post(`/api/documents/${doc.id}/activate`)));
    const save = document.createElement('button');
    save.type = 'button';
    save.textContent = 'Save';
    save.addEventListener('click', () =>
      act(async () => {
        if (!doc.file) {
          $('save-form').hidden = false;
          $('save-form').path.focus();
          return;
        }
        await post(`/api/documents/${doc.id}/save`);
        notify(`Saved ${doc.file}`, false);
      }),
    );
    if (doc.playing) {
      const stop = document.createElement('button');
      stop.type = 'button';
      stop.textContent = 'Stop';
      stop.title = 'Stop playing the recording into this document';
      stop.addEventListener('click', () => act(() => post(`/api/documents/${doc.id}/stop`)));
      li.append(stop);
    }
    const close = document.createElement('button');
    close.type = 'button';
    close.textContent = 'Close';
    close.addEventListener('click', () => act(() => post(`/api/documents/${doc.id}/close`)));
    li.prepend(name);
    li.append(save, close);
    list.append(li);
  }
}

function renderCharts(state) {
  for (const doc of state.documents) {
    let chart = app.charts.get(doc.id);
    if (!chart) app.charts.set(doc.id, (chart = new Chart(doc, $('panels'), notify)));
    chart.section.hidden = !doc.active;
    // A hidden chart asks for nothing; it catches up when its document is active again.
    if (doc.active) chart.update(doc);
  }
  for (const [id, chart] of app.charts)
    if (!state.documents.some((d) => d.id === id)) {
      chart.section.remove();
      app.charts.delete(id);
    }
}

function renderPanels(state) {
  const parent = $('panels');
  const shown = new Set();
  for (const doc of state.documents)
    for (const view of doc.views) {
      if (view.control === undefined && view.page === undefined) continue;
      const key = `${doc.id}:${view.index}`;
      let panel = app.panels.get(key);
      if (!panel) {
        const Kind = view.page !== undefined ? ReportPanel : PlotPanel;
        panel = new Kind(doc, view, parent, notify);
        panel.section.dataset.view = view.name;
        app.panels.set(key, panel);
      }
      panel.section.hidden = !doc.active;
      panel.update(view)?.catch?.(notify);
      shown.add(key);
    }
  // The panels of documents that were closed go with them.
  for (const [key, panel] of app.panels)
    if (!shown.has(key)) {
      panel.section.remove();
      app.panels.delete(key);
    }
}

// The host's own Channel menu: a channel of the HRV calculation, drawn on the chart with
// its guide lines.
function channelMenu(state) {
  const doc = state.documents.find((d) => d.active);
  const kinds = [[0, 'Beat Period'], [1, 'Change in Beat Period'], [2, 'Beat Rate'], [5, 'Beat Complexity']];
  return {
    name: 'Channel',
    text: 'Channel',
    items: [
      ...kinds.map(([parameter, text]) => ({
        path: `Channel|HRVCalculation${parameter}`,
        text: `Add HRV Calculation: ${text}`,
        enabled: !!doc,
        checked: false,
        action: () => post(`/api/documents/${doc.id}/calculation`, { parameter }).then(() => notify(`Added the HRV calculation of ${text.toLowerCase()}`, false)),
      })),
      {
        path: 'Channel|HRVCalculationSettings',
        text: 'HRV Calculation Settings...',
        enabled: !!doc,
        checked: false,
        action: () => post(`/api/documents/${doc.id}/calculation_settings`),
      },
    ],
  };
}

// The host's own Macro menu: the HRV commands chosen while recording make the macro.
function macroMenu(state) {
  const { recording, steps } = state.macro;
  const doc = state.documents.find((d) => d.active);
  const item = (name, text, enabled, action) => ({ path: `Macro|${name}`, text, enabled, checked: false, action });
  return {
    name: 'Macro',
    text: 'Macro',
    items: [
      item('Record', 'Record Macro', !recording, () => post('/api/macro/start').then(() => notify('Recording a macro…', false))),
      item('Stop', 'Stop Recording', recording, () => post('/api/macro/stop').then(() => notify('Macro recorded', false))),
      item('Replay', `Replay Macro (${steps.join(', ') || 'empty'})`, !recording && steps.length > 0 && !!doc, () =>
        post('/api/macro/replay', { document: doc.id }).then(() => notify('Macro replayed', false)),
      ),
      item('Save', 'Save Macro As…', steps.length > 0, async () => {
        const path = window.prompt('Save the macro as (a path ending in .macro)');
        if (path) await post('/api/macro/save', { path }).then(() => notify(`Saved ${path}`, false));
      }),
    ],
  };
}

function render(state) {
  app.state = state;
  renderDocuments(state);
  renderMenus($('menus'), [...state.menus, channelMenu(state), macroMenu(state)], (entry) =>
    act(async () => {
      if (entry.action) return entry.action();
      const doc = active();
      const { done } = await post(`/api/documents/${doc.id}/command`, { command: entry.command });
      notify(done ? `${entry.text}: done` : `${entry.text} is not possible now`, !done);
    }),
    active()?.id,
  );
  renderCharts(state);
  renderPanels(state);
  const doc = active();
  renderDialogs($('dialogs'), state.dialogs, doc, notify);
  // The table belongs to the document it was made of.
  for (const table of document.querySelectorAll('section.table')) table.hidden = table.dataset.document !== String(doc?.id);
  // The table follows the analysis it was made of: a band dragged, a beat deleted.
  const made = app.table;
  if (made && doc?.id === made.document && doc.analysis !== made.analysis) {
    made.analysis = doc.analysis;
    act(async () => (app.table = await showTable($('panels'), doc, made.window)));
  }
  $('selection').hidden = $('table-section').hidden = !doc;
  const sel = doc?.selection;
  $('selection-text').textContent = !sel
    ? 'None: drag over the chart, or click it for a point.'
    : sel.to_s > sel.from_s
      ? `${sel.from_s.toFixed(3)} s to ${sel.to_s.toFixed(3)} s`
      : `A point at ${sel.from_s.toFixed(3)} s`;
  if (!doc) $('save-form').hidden = true;
  document.documentElement.dataset.version = String(state.version);
}

// Follows the state: each answer comes when something changed (or after a while).
async function follow() {
  for (;;) {
    try {
      render(await get(app.version ? `/api/state?after=${app.version}` : '/api/state'));
      app.version = app.state.version;
    } catch (e) {
      notify(`Lost the server: ${e.message}`);
      await new Promise((resolve) => setTimeout(resolve, 2000));
    }
  }
}

$('open-form').addEventListener('submit', (e) => {
  e.preventDefault();
  const path = e.target.path.value.trim();
  act(async () => {
    notify(`Opening ${path}…`, false);
    await post('/api/open', { path });
    notify(`Opened ${path}`, false);
    e.target.reset();
  });
});

$('play').addEventListener('click', () => {
  const form = $('open-form');
  const path = form.path.value.trim();
  const speed = Number(form.speed.value);
  if (!path) return notify('Give the path of a recording to play', true);
  act(async () => {
    await post('/api/play', { path, speed });
    notify(`Playing ${path} at ${speed} × its rate, analysing while sampling`, false);
  });
});

$('save-form').addEventListener('submit', (e) => {
  e.preventDefault();
  const path = e.target.path.value.trim();
  act(async () => {
    await post(`/api/documents/${active().id}/save`, { path });
    notify(`Saved ${path}`, false);
    e.target.hidden = true;
  });
});

$('select-form').addEventListener('submit', (e) => {
  e.preventDefault();
  const from = Number(e.target.from.value);
  const to = e.target.to.value === '' ? undefined : Number(e.target.to.value);
  act(() => post(`/api/documents/${active().id}/select`, to === undefined ? { from } : { from, to }));
});

$('table-form').addEventListener('submit', (e) => {
  e.preventDefault();
  const window = Number(e.target.window.value);
  act(async () => (app.table = await showTable($('panels'), active(), window)));
});

follow();
