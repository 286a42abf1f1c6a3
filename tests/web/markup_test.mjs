// SPDX-License-Identifier: MIT
// The markup compiler on every markup the six views send for real recordings, on the
// views' worked examples, and on markups it must refuse, saying where.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { compileMarkup, dataIdsOf, MarkupError } from '../../web/engine/markup.js';
import { runCommand } from '../../web/engine/commands.js';
import { analysed, markupOf, missing, VIEWS } from './support.mjs';

const RECORDINGS = ['mitdb/100.hea', 'animal/Rabbit_example.hea', 'animal/Mouse_24.hea'];
const KIND = { tachogram: 'tplot', spectrum: 'tplot', rr_histogram: 'histogram', delta_rr_histogram: 'histogram', poincare: 'scatter', classifier: 'scatter' };

// The number after `key:` in the markup, as the markup writes it.
const numberAfter = (markup, key) => Number(new RegExp(`${key}:\\s*([-+0-9.e]+)`).exec(markup)[1]);

for (const recording of RECORDINGS) {
  test(`every view's markup of ${recording} compiles to what it says`, { skip: missing(recording) ?? false }, () => {
    const out = analysed(recording, 'markup');
    for (const view of VIEWS) {
      const markup = markupOf(out, view);
      const figure = compileMarkup(markup);
      const [plotter] = figure.plotters;
      assert.equal(figure.plotters.length, 1, view);
      assert.equal(plotter.kind, KIND[view], view);
      assert.equal(plotter.id, /id: '([^']+)'/.exec(markup)[1], view);
      assert.deepEqual(figure.full.x, [numberAfter(markup, 'fullrange_xscalemin'), numberAfter(markup, 'fullrange_xscalemax')], view);
      assert.deepEqual(figure.full.y, [numberAfter(markup, 'fullrange_yscalemin'), numberAfter(markup, 'fullrange_yscalemax')], view);
      assert.deepEqual(dataIdsOf(plotter), [...markup.matchAll(/'(\$[^']+)'/g)].map((m) => m[1]), view);
      assert.match(plotter.readout, /\{0\}/, view);
      assert.deepEqual([figure.margins.top, figure.margins.right], [40, 40], view);
    }
  });
}

test('the worked examples compile with their overlays, grids and colours', () => {
  const spectrum = compileMarkup(
    "topmargin: 40, rightmargin: 40, tplot: {id: 'hrv_spectrum_view', cursor: { readout: 'Power spectrum at {0} Hz = {1} ms²'}, vlines: {id: 'spectrum_freq_bands', colour: #787878ff, fillcolours: [#0000ff20, #00ff0020, #ff000020], showvalues: true, textcolour: 'blue', draggable: true, positions: [[0, 0.04], [0.04, 0.15], [0.15, 0.45]]}, xdata: [0.001:0.001:end], ydata: '$HRV_Spectrum' [0:1:end], colour: #ff0000ff}, graticule: { colour:#c0c0c0ff }, xlabel: 'Frequency (Hz)', ylabel: 'Power (ms²)', fullrange_yscalemin: 0,fullrange_yscalemax: 2100,fullrange_xscalemin: 0.001,fullrange_xscalemax: 0.5,",
  );
  const [s] = spectrum.plotters;
  assert.deepEqual(s.x, { type: 'grid', start: 0.001, step: 0.001, stop: null });
  assert.deepEqual(s.y, { type: 'data', id: '$HRV_Spectrum', start: 0, step: 1, stop: null });
  assert.deepEqual(s.vlines.positions, [[0, 0.04], [0.04, 0.15], [0.15, 0.45]]);
  assert.equal(s.vlines.fillcolours[1], 'rgba(0, 255, 0, 0.125)');
  assert.equal(s.vlines.draggable, true);
  assert.equal(spectrum.ylabel, 'Power (ms²)');

  const classifier = compileMarkup(
    "scatter: {id: 'c', box: {id: 'classifier_box', colour: #ff0000ff, showvalues: true, draggable: false, range_x: { min:800, max:1200}, range_y: { min:1, max:1.5}, plotcolours: [#0050ffff, #ff00aaff, #ff0000ff, #ffaa00ff]}, xdata: '$X' [0:1:2147483647], ydata: '$Y' [0:1:2147483647], colour: #0000c0ff}, graticule: { colour:#c0c0c0ff, style: 'dashed' },",
  );
  const [c] = classifier.plotters;
  assert.deepEqual([c.box.x, c.box.y, c.box.draggable], [[800, 1200], [1, 1.5], false]);
  assert.equal(c.x.stop, 2147483647);
  assert.equal(classifier.graticule.dashed, true);
  assert.equal(classifier.full.x, null); // no full range: the plot fits the data

  const e = compileMarkup("scatter: {id: 'p', ellipse: {x:800, y:800, a:60, b:20, rotate: -45, colour: #000000ff, draw_axes: true}, xdata: '$X' [0:1:end], ydata: '$Y' [0:1:end]}, xlabel: 'it\\'s ''quoted''\\n'").plotters[0];
  assert.deepEqual([e.ellipse.a, e.ellipse.b, e.ellipse.rotate, e.ellipse.drawAxes], [60, 20, -45, true]);
});

test('quoted texts keep their escapes', () => {
  const figure = compileMarkup("xlabel: 'it\\'s', ylabel: 'say ''hi''\\tnow', title: \"a \\\"b\\\"\",");
  assert.deepEqual([figure.xlabel, figure.ylabel, figure.title], ["it's", "say 'hi'\tnow", 'a "b"']);
});

// [markup, what the message says, offset of the failure]
const BAD = [
  ['tplot: {id: 1}', /a quoted text expected/, 12],
  ["xlabel: 'never closed", /quoted text does not end/, 8],
  ["tplot: {id: 'a', ydata: '$y' [0:1:end], bogus: 3}", /unknown item 'bogus' in 'tplot'/, 40],
  ["xlabel 'x'", /':' after 'xlabel' expected/, 7],
  ["tplot: {id: 'a', ydata: '$y' [0:0:end]}", /step must not be 0/, 32],
  ["tplot: {id: 'a', ydata: '$y' [0:1:soon]}", /ends with a number or 'end'/, 34],
  ["tplot: {id: 'a', ydata: '$y' [0.5:1:end]}", /whole number/, 24],
  ['graticule: { colour: #12345 }', /a colour #rrggbb/, 21],
  ["tplot: {id: 'a', xdata: [0:1:end]}", /needs ydata from a data source/, 7],
  ["scatter: {id: 'a', ydata: '$y' [0:1:end]}", /needs xdata/, 9],
  ["tplot: {id: 'a', ydata: '$y' [0:1:end]", /',' or '}' expected/, 38],
  ["tplot: {id: 'a', ydata: '$y' [0:1:end],", /'}' expected to close the block/, 39],
  ['topmargin: 40 rightmargin: 40', /',' expected/, 14],
  ['xlabel: \'a\', xlabel: \'b\'', /'xlabel' given twice/, 13],
  ["scatter: {id: 'a', box: {id: 'b', range_x: {min: 1}}, xdata: '$x' [0:1:end], ydata: '$y' [0:1:end]}", /range_x and range_y/, 24],
  ["tplot: {id: 'a', ydata: '$y' [0:1:end], vlines: {positions: [[1, 2, 3]]}}", /a pair \[from, to\]/, 61],
  ["xlabel: 'a\\q'", /unknown escape/, 10],
  ['topmargin: ', /a value expected/, 11],
];

test('bad markups fail with "Invalid Etch Markup" material: the reason and where', () => {
  for (const [markup, reason, at] of BAD) {
    assert.throws(() => compileMarkup(markup), (e) => {
      assert.ok(e instanceof MarkupError, markup);
      assert.match(e.reason, reason, markup);
      assert.equal(e.at, at, `${markup}: ${e.message}`);
      assert.match(e.message, new RegExp(`at line 1, column ${at + 1}$`), markup);
      assert.equal(e.excerpt.split('\n')[1].indexOf('^'), Math.min(at, 60), markup); // the caret under the failure
      return true;
    });
  }
  assert.throws(() => compileMarkup("xlabel: 'a',\r\n  bogus: 1"), (e) => e.line === 2 && e.column === 3);
});

test('commands run as the host escapes them, and only the engine\'s own methods', () => {
  const calls = [];
  class Plot {
    static commands = new Set(['set_markup', 'get_scales']);
    set_markup(text) {
      calls.push(text);
    }
    get_scales() {
      return [null, new Scale()];
    }
  }
  class Scale {
    static commands = new Set(['auto_scale']);
    auto_scale() {
      calls.push('auto');
    }
  }
  class Etch {
    static commands = new Set(['get_plot']);
    get_plot(id) {
      calls.push(id);
      return new Plot();
    }
  }
  // A markup with a quote and a CR LF, escaped as the views send it.
  runCommand(new Etch(), "etch.get_plot('p').set_markup('xlabel: \\'RR\\',\\n\\\r\nylabel: \\'x\\'');");
  runCommand(new Etch(), 'etch.get_plot("q").get_scales()[1].auto_scale();');
  assert.deepEqual(calls, ['p', "xlabel: 'RR',\nylabel: 'x'", 'q', 'auto']);
  for (const bad of ["etch.get_plot('p').constructor('x')", "window.alert('x')", "etch.get_plot('p').set_markup('x') + 1", 'etch.get_plot(p)'])
    assert.throws(() => runCommand(new Etch(), bad), /CommandError|command|expected|unexpected|etch/, bad);
});
