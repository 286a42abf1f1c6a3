// SPDX-License-Identifier: MIT
// The host's dialogs: each dialog an extension shows (state.dialogs.open, the one in front
// last) drawn from its template as a modal form over the page. Every control sends its
// notifications to the dialog's controller on the server (POST /api/dialogs/N); what the
// controls show always comes back in the next state. A preview pane draws channels of the
// active document over its first ten seconds; a help button's topic opens beside it.
import { get, post } from './api.js';

// Dialog units to pixels for an 8-point dialog font.
const X = 1.5;
const Y = 1.75;
const PREVIEW_SECONDS = 10;
const kind = { group: 1, label: 2, edit: 3, check: 4, radio: 5, list: 6, button: 7, slider: 8, updown: 9, indicator: 10, icon: 11, preview: 12 };
const code = { text: 1, clicked: 2, selected: 3, sliding: 4, slid: 5, stepped: 6 };

// A label's text without its access-key marker ("&Preset:" -> "Preset:").
const plain = (text) => text.replace(/&(.)/g, '$1');

function place(element, c) {
  Object.assign(element.style, { left: `${c.x * X}px`, top: `${c.y * Y}px`, width: `${c.width * X}px`, height: `${c.height * Y}px` });
  return element;
}

function warningMark() {
  const mark = document.createElement('span');
  mark.className = 'warning-mark';
  mark.setAttribute('role', 'img');
  mark.setAttribute('aria-label', 'invalid value');
  mark.textContent = '!';
  return mark;
}

// Builds the element of one control; `send(code, value, text)` notifies the controller.
function build(c, send, level) {
  const id = `dialog${level}-control${c.id}`;
  switch (c.kind) {
    case kind.group: {
      const box = place(document.createElement('fieldset'), c);
      const legend = document.createElement('legend');
      legend.textContent = plain(c.text);
      box.append(legend);
      return box;
    }
    case kind.label:
      return Object.assign(place(document.createElement('span'), c), { className: 'label', textContent: plain(c.text) });
    case kind.edit: {
      const input = place(document.createElement('input'), c);
      input.type = 'text';
      input.id = id;
      input.addEventListener('input', () => send(code.text, 0, input.value));
      return input;
    }
    case kind.check:
    case kind.radio: {
      const label = place(document.createElement('label'), c);
      const input = document.createElement('input');
      input.type = c.kind === kind.check ? 'checkbox' : 'radio';
      input.id = id;
      input.addEventListener('click', (e) => {
        e.preventDefault(); // the controller decides what is checked
        send(code.clicked);
      });
      label.append(input, plain(c.text));
      return label;
    }
    case kind.list: {
      const select = place(document.createElement('select'), c);
      select.id = id;
      select.addEventListener('change', () => send(code.selected, select.selectedIndex));
      return select;
    }
    case kind.button: {
      const button = place(document.createElement('button'), c);
      button.type = 'button';
      button.textContent = plain(c.text);
      button.addEventListener('click', () => send(code.clicked));
      return button;
    }
    case kind.slider: {
      const slider = place(document.createElement('input'), c);
      Object.assign(slider, { type: 'range', min: c.min, max: c.max, step: 1, id });
      slider.addEventListener('input', () => send(code.sliding, Number(slider.value)));
      slider.addEventListener('change', () => send(code.slid, Number(slider.value)));
      return slider;
    }
    case kind.updown: {
      const arrows = place(document.createElement('span'), c);
      arrows.className = 'updown';
      for (const [text, step, name] of [['\u25B2', 1, 'up'], ['\u25BC', -1, 'down']]) {
        const b = document.createElement('button');
        b.type = 'button';
        b.textContent = text;
        b.setAttribute('aria-label', name);
        b.addEventListener('click', () => send(code.stepped, step));
        arrows.append(b);
      }
      return arrows;
    }
    case kind.indicator:
    case kind.icon:
      return place(warningMark(), c);
    case kind.preview: {
      const canvas = place(document.createElement('canvas'), c);
      canvas.className = 'preview';
      canvas.width = Math.round(c.width * X);
      canvas.height = Math.round(c.height * Y);
      return canvas;
    }
    default:
      return place(document.createElement('span'), c);
  }
}

// Shows a control's state in its element; an edit the user is typing in keeps its text.
function show(element, c) {
  if (c.enabled !== undefined) element.querySelectorAll('input, select, button').forEach((e) => (e.disabled = !c.enabled));
  if (c.enabled !== undefined && element.matches('input, select, button')) element.disabled = !c.enabled;
  if (c.kind === kind.edit && document.activeElement !== element) element.value = c.text;
  if (c.kind === kind.edit) element.setAttribute('aria-invalid', 'false');
  if (c.kind === kind.label && c.id) element.textContent = plain(c.text);
  if (c.kind === kind.check || c.kind === kind.radio) element.querySelector('input').checked = c.checked;
  if (c.kind === kind.list) {
    if (element.options.length !== c.items.length || [...element.options].some((o, i) => o.text !== c.items[i]))
      element.replaceChildren(...c.items.map((text) => new Option(text)));
    element.selectedIndex = c.selection;
  }
  if (c.kind === kind.slider && document.activeElement !== element) element.value = c.position;
  if (c.kind === kind.indicator) element.hidden = !c.warning;
}

// The preview: the source channel's trace with the detected beats marked, and the
// normalised envelope under it on its fixed scale, over the document's first ten seconds.
async function drawPreview(canvas, preview, doc) {
  const columns = canvas.width;
  const data = await get(`/api/documents/${doc.id}/chart?from=0&to=${PREVIEW_SECONDS}&columns=${columns}&computed=1`);
  const source = data.channels.find((c) => !c.computed && c.id === preview.source);
  const trace = data.channels.find((c) => c.computed && c.id === preview.trace);
  const events = data.events.filter((e) => e.channel === preview.events && e.on.includes(preview.source));
  canvas.preview = { source: source?.max ?? [], trace: trace?.max ?? [], events: events.map((e) => e.t), generation: preview.generation };
  const g = canvas.getContext('2d');
  const { width, height } = canvas;
  const half = height / 2;
  g.fillStyle = '#fff';
  g.fillRect(0, 0, width, height);
  g.strokeStyle = '#e4e6ea'; // graticule: a line a second, and each half's middle
  for (let s = 1; s < PREVIEW_SECONDS; ++s) g.strokeRect(Math.round((s * width) / PREVIEW_SECONDS) + 0.5, 0, 0, height);
  g.strokeRect(0, half / 2 + 0.5, width, 0);
  g.strokeRect(0, half + half / 2 + 0.5, width, 0);
  const line = (lo, hi, top, bottom, colour, y0, y1) => {
    g.strokeStyle = colour;
    g.beginPath();
    for (let k = 0; k < lo.length; ++k) {
      if (lo[k] === null || hi[k] === null) continue;
      const y = (v) => y0 + ((top - v) / (top - bottom || 1)) * (y1 - y0);
      g.moveTo(k + 0.5, y(lo[k]));
      g.lineTo(k + 0.5, y(hi[k]) - 0.5);
    }
    g.stroke();
  };
  if (source) {
    const values = [...source.min, ...source.max].filter((v) => v !== null);
    const top = Math.max(...values), bottom = Math.min(...values);
    line(source.min, source.max, top, bottom, `#${(preview.source_colour & 0xff).toString(16).padStart(2, '0')}${((preview.source_colour >> 8) & 0xff).toString(16).padStart(2, '0')}${((preview.source_colour >> 16) & 0xff).toString(16).padStart(2, '0')}`, 4, half - 4);
    g.fillStyle = '#1a7f37'; // every detected cycle marked on the waveform
    for (const t of canvas.preview.events) {
      const x = Math.round((t / PREVIEW_SECONDS) * width);
      g.fillRect(x, 2, 1, half - 4);
      g.beginPath();
      g.moveTo(x - 4, 2);
      g.lineTo(x + 5, 2);
      g.lineTo(x + 0.5, 9);
      g.fill();
    }
  }
  if (trace) {
    g.save(); // the envelope keeps to its half, on its fixed scale
    g.beginPath();
    g.rect(0, half, width, half);
    g.clip();
    line(trace.min, trace.max, preview.trace_top, preview.trace_bottom, '#000', half, height);
    g.restore();
  }
  g.strokeStyle = '#999';
  g.strokeRect(0, half + 0.5, width, 0);
  g.fillStyle = '#333';
  g.font = '11px sans-serif';
  g.fillText(`${preview.trace_unit} (${preview.trace_bottom} to ${preview.trace_top})`, 4, half + 12);
  g.fillText(`${PREVIEW_SECONDS} s`, width - 30, half - 6);
}

let helpShown = 0;

// Draws `dialogs` (state.dialogs) into `root`; `doc` is the active document.
export function renderDialogs(root, dialogs, doc, notify) {
  const open = dialogs?.open ?? [];
  // A form whose dialog closed goes; one still open keeps its elements (and the focus).
  for (const form of [...root.querySelectorAll('.dialog-layer')])
    if (Number(form.dataset.level) >= open.length || Number(form.dataset.template) !== open[form.dataset.level].id) form.remove();
  open.forEach((dialog, level) => {
    let layer = root.querySelector(`.dialog-layer[data-level="${level}"]`);
    const send = (c) => (notice, value = 0, text = '') =>
      post(`/api/dialogs/${level}`, { control: c.id, code: notice, value, text }).catch((e) => notify(e));
    if (!layer) {
      layer = document.createElement('div');
      layer.className = 'dialog-layer';
      layer.dataset.level = level;
      layer.dataset.template = dialog.id;
      const form = document.createElement('section');
      form.className = 'dialog';
      form.setAttribute('role', 'dialog');
      form.setAttribute('aria-modal', 'true');
      form.setAttribute('aria-label', dialog.title);
      const title = document.createElement('header');
      title.textContent = dialog.title;
      const body = document.createElement('div');
      body.className = 'dialog-body';
      Object.assign(body.style, { width: `${dialog.width * X}px`, height: `${dialog.height * Y}px` });
      for (const c of dialog.controls) {
        const element = build(c, send(c), level);
        element.dataset.control = c.id;
        body.append(element);
        // An edit and a check box are named by the label before them, for people and for tests.
        if (c.kind === kind.edit || c.kind === kind.list || c.kind === kind.slider) {
          const before = [...body.querySelectorAll('.label')].at(-1);
          if (before && !element.getAttribute('aria-label')) element.setAttribute('aria-label', before.textContent);
        }
      }
      form.append(title, body);
      layer.append(form);
      root.append(layer);
    }
    for (const c of dialog.controls) {
      const element = layer.querySelector(`[data-control="${c.id}"]`);
      if (element && c.id) show(element, c);
    }
    layer.classList.toggle('behind', level < open.length - 1);
    const canvas = layer.querySelector('canvas.preview');
    if (canvas && dialog.preview && doc && canvas.preview?.generation !== dialog.preview.generation) {
      canvas.preview = { generation: dialog.preview.generation };
      drawPreview(canvas, dialog.preview, doc)
        .then(() => (layer.dataset.previewGeneration = dialog.preview.generation))
        .catch((e) => notify(e));
    }
  });
  // A help topic asked for: its page opens beside the dialogs.
  if (dialogs && dialogs.help_count > helpShown) {
    helpShown = dialogs.help_count;
    let help = document.getElementById('help');
    if (!help) {
      help = document.createElement('aside');
      help.id = 'help';
      help.setAttribute('aria-label', 'Help');
      const close = document.createElement('button');
      close.type = 'button';
      close.textContent = 'Close help';
      close.addEventListener('click', () => help.remove());
      help.append(close, document.createElement('iframe'));
      document.body.append(help);
    }
    help.querySelector('iframe').src = `/help/${encodeURIComponent(dialogs.help)}.html`;
  }
}
