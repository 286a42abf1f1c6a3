// SPDX-License-Identifier: MIT
// Compiles plot markup into the description the plot draws from. Every item of every
// block is checked against what the block accepts, so a misspelt key or a value of the
// wrong kind fails with its position instead of being drawn wrongly.
//
// The description:
//   margins {top, right, bottom, left}   (CSS pixels; null where the plot chooses)
//   plotters [{kind: 'tplot'|'histogram'|'scatter', id, readout, x, y, colour,
//              fillcolour, vlines, box, ellipse}]
//     x, y: a source, {type: 'grid', start, step, stop} (values start + k × step) or
//           {type: 'data', id, start, step, stop} (indices of the series id);
//           stop null means "to the end". For a histogram x is the bins' left edges, y
//           the heights.
//   graticule {colour, dashed} or null; xlabel, ylabel, title;
//   full {x: [min, max] | null, y: [min, max] | null}  (min > max draws the scale inverted)
import { MarkupError, readMarkup } from './markup_reader.js';

export { MarkupError };

const rgbaText = ([r, g, b, a]) => `rgba(${r}, ${g}, ${b}, ${+(a / 255).toFixed(3)})`;

// Readers of one value kind; each returns the compiled value or throws through `fail`.
const kinds = {
  number: (v, fail) => (v.kind === 'number' ? v.value : fail('a number expected')),
  text: (v, fail) => (v.kind === 'text' ? v.text : fail('a quoted text expected')),
  flag: (v, fail) =>
    v.kind === 'word' && (v.word === 'true' || v.word === 'false') ? v.word === 'true' : fail("'true' or 'false' expected"),
  // A colour value, or a quoted CSS colour name.
  colour: (v, fail) => {
    if (v.kind === 'colour') return rgbaText(v.rgba);
    if (v.kind === 'text' && /^[a-z]+$/i.test(v.text)) return v.text;
    return fail('a colour expected');
  },
  colours: (v, fail) => (v.kind === 'list' ? v.items.map((c) => kinds.colour(c, fail.at(c))) : fail('a list of colours expected')),
  source: (v, fail) => {
    const i = v.kind === 'data' ? v.interval : v;
    if (i.kind !== 'interval') return fail('a data reference or an index interval expected');
    if (v.kind === 'data' && !(Number.isInteger(i.start) && Number.isInteger(i.step) && i.start >= 0 && i.step > 0))
      return fail('data indices start at a whole number from 0 and step by a whole number above 0');
    const base = { start: i.start, step: i.step, stop: i.stop };
    return v.kind === 'data' ? { type: 'data', id: v.id, ...base } : { type: 'grid', ...base };
  },
  // [[a, b], [c, d], ...]: pairs of line positions.
  pairs: (v, fail) => {
    if (v.kind !== 'list') return fail('a list of [from, to] pairs expected');
    return v.items.map((p) => {
      const f = fail.at(p);
      if (p.kind !== 'list' || p.items.length !== 2) return f('a pair [from, to] expected');
      return p.items.map((n) => kinds.number(n, f.at(n)));
    });
  },
};

const range = { min: 'number', max: 'number' };
const cursor = { readout: 'text' };
const vlines = {
  id: 'text', colour: 'colour', fillcolours: 'colours', showvalues: 'flag', textcolour: 'colour', draggable: 'flag',
  positions: 'pairs',
};
const box = {
  id: 'text', colour: 'colour', showvalues: 'flag', draggable: 'flag', range_x: range, range_y: range, plotcolours: 'colours',
};
const ellipse = { x: 'number', y: 'number', a: 'number', b: 'number', rotate: 'number', colour: 'colour', draw_axes: 'flag' };
const overlays = { vlines, box, ellipse };
const plotters = {
  tplot: { id: 'text', cursor, xdata: 'source', ydata: 'source', colour: 'colour', ...overlays },
  histogram: { id: 'text', cursor, bins: 'source', heights: 'source', colour: 'colour', fillcolour: 'colour', ...overlays },
  scatter: { id: 'text', cursor, xdata: 'source', ydata: 'source', colour: 'colour', ...overlays },
};
const markupSchema = {
  topmargin: 'number', rightmargin: 'number', bottommargin: 'number', leftmargin: 'number',
  ...plotters,
  graticule: { colour: 'colour', style: 'text' },
  title: 'text', xlabel: 'text', ylabel: 'text',
  fullrange_xscalemin: 'number', fullrange_xscalemax: 'number', fullrange_yscalemin: 'number', fullrange_yscalemax: 'number',
};
const repeatable = new Set(Object.keys(plotters));

// A failure reporter for one value; `.at(v)` makes one for another value.
function failer(text, at) {
  const fail = (message) => {
    throw new MarkupError(message, text, at);
  };
  fail.at = (v) => failer(text, v.at);
  return fail;
}

// The items of `block` as an object by key, checked against `schema`; plotter blocks
// (which may repeat) collect in `out.plotters`.
function compileBlock(block, schema, text, where) {
  const out = {};
  for (const item of block.items) {
    const fail = failer(text, item.value.at);
    const expected = schema[item.key];
    if (expected === undefined) failer(text, item.at)(`unknown item '${item.key}' in ${where}`);
    if (item.key in out && !repeatable.has(item.key)) failer(text, item.at)(`'${item.key}' given twice in ${where}`);
    let value;
    if (typeof expected === 'string') {
      value = kinds[expected](item.value, fail);
    } else {
      if (item.value.kind !== 'block') fail(`'${item.key}' takes a block { ... }`);
      value = compileBlock(item.value, expected, text, `'${item.key}'`);
      value.at = item.value.at;
    }
    if (repeatable.has(item.key)) (out.plotters ??= []).push({ kind: item.key, ...value });
    else out[item.key] = value;
  }
  return out;
}

function fullRange(m, axis) {
  const min = m[`fullrange_${axis}scalemin`];
  const max = m[`fullrange_${axis}scalemax`];
  if (min === undefined && max === undefined) return null;
  if (min === undefined || max === undefined || !Number.isFinite(min) || !Number.isFinite(max) || min === max) return null;
  return [min, max];
}

function plotterOf(p, text) {
  const fail = failer(text, p.at);
  if (!p.id) fail(`the ${p.kind} block needs an id`);
  const histogram = p.kind === 'histogram';
  const x = histogram ? p.bins : p.xdata;
  const y = histogram ? p.heights : p.ydata;
  if (!y || y.type !== 'data') fail(`the ${p.kind} block needs ${histogram ? 'heights' : 'ydata'} from a data source`);
  if (p.kind === 'scatter' && (!x || x.type !== 'data')) fail('the scatter block needs xdata from a data source');
  const compiled = {
    kind: p.kind,
    id: p.id,
    readout: p.cursor?.readout ?? null,
    x: x ?? { type: 'grid', start: 0, step: 1, stop: null },
    y,
    colour: p.colour ?? 'rgba(0, 0, 0, 1)',
    fillcolour: p.fillcolour ?? null,
    vlines: null,
    box: null,
    ellipse: null,
  };
  if (p.vlines) {
    const v = p.vlines;
    compiled.vlines = {
      id: v.id ?? '', colour: v.colour ?? 'rgba(120, 120, 120, 1)', fillcolours: v.fillcolours ?? [],
      showvalues: v.showvalues ?? false, textcolour: v.textcolour ?? 'blue', draggable: v.draggable ?? false,
      positions: v.positions ?? [],
    };
  }
  if (p.box) {
    const b = p.box;
    if (!b.range_x || !b.range_y || [b.range_x, b.range_y].some((r) => r.min === undefined || r.max === undefined))
      failer(text, b.at)('the box needs range_x and range_y, each with min and max');
    compiled.box = {
      id: b.id ?? '', colour: b.colour ?? 'rgba(255, 0, 0, 1)', showvalues: b.showvalues ?? false,
      draggable: b.draggable ?? false, x: [b.range_x.min, b.range_x.max], y: [b.range_y.min, b.range_y.max],
      plotcolours: b.plotcolours ?? [],
    };
  }
  if (p.ellipse) {
    const e = p.ellipse;
    for (const k of ['x', 'y', 'a', 'b'])
      if (e[k] === undefined) failer(text, e.at)(`the ellipse needs '${k}'`);
    compiled.ellipse = {
      x: e.x, y: e.y, a: e.a, b: e.b, rotate: e.rotate ?? 0, colour: e.colour ?? 'rgba(0, 0, 0, 1)',
      drawAxes: e.draw_axes ?? false,
    };
  }
  return compiled;
}

// Compiles `text`; throws MarkupError (message, line, column, excerpt).
export function compileMarkup(text) {
  const tree = readMarkup(text);
  const m = compileBlock(tree, markupSchema, text, 'the markup');
  const plotters = (m.plotters ?? []).map((p) => plotterOf(p, text));
  const ids = new Set();
  for (const p of plotters) {
    if (ids.has(p.id)) failer(text, 0)(`two plotters with the id '${p.id}'`);
    ids.add(p.id);
  }
  return {
    margins: { top: m.topmargin ?? null, right: m.rightmargin ?? null, bottom: m.bottommargin ?? null, left: m.leftmargin ?? null },
    plotters,
    graticule: m.graticule ? { colour: m.graticule.colour ?? 'rgba(192, 192, 192, 1)', dashed: m.graticule.style === 'dashed' } : null,
    title: m.title ?? '',
    xlabel: m.xlabel ?? '',
    ylabel: m.ylabel ?? '',
    full: { x: fullRange(m, 'x'), y: fullRange(m, 'y') },
  };
}

// The data ids a plotter reads, x first.
export function dataIdsOf(plotter) {
  return [plotter.x, plotter.y].filter((s) => s.type === 'data').map((s) => s.id);
}
