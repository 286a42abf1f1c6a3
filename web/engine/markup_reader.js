// SPDX-License-Identifier: MIT
// Reads plot markup into a tree of positioned values. A markup is a list of items
// "key: value" separated by commas (a trailing comma is allowed); a value is a block
// "{ items }", a quoted text, a number, a colour "#rrggbb" or "#rrggbbaa", a word (true,
// false, end), a list "[a, b, ...]", an index interval "[start:step:stop]" or
// "[start:step:end]", or a data reference: a quoted source id followed by an interval.
// Every value carries `at`, its offset in the text, so that errors can say where.

export class MarkupError extends Error {
  constructor(message, text, at) {
    const { line, column } = lineAndColumn(text, at);
    super(`${message} at line ${line}, column ${column}`);
    this.name = 'MarkupError';
    this.reason = message;
    this.at = at;
    this.line = line;
    this.column = column;
    this.excerpt = excerptAround(text, at);
  }
}

function lineAndColumn(text, at) {
  let line = 1;
  let start = 0;
  for (let i = 0; i < at && i < text.length; ++i) {
    if (text[i] === '\n') {
      ++line;
      start = i + 1;
    }
  }
  return { line, column: at - start + 1 };
}

// The line of the failure with a caret under the failing column (at most 60 characters
// either side).
function excerptAround(text, at) {
  const lineStart = text.lastIndexOf('\n', at - 1) + 1;
  let lineEnd = text.indexOf('\n', at);
  if (lineEnd < 0) lineEnd = text.length;
  const from = Math.max(lineStart, at - 60);
  const to = Math.min(lineEnd, at + 60);
  const shown = text.slice(from, to).replace(/\r/g, ' ');
  return `${shown}\n${' '.repeat(at - from)}^`;
}

const ESCAPES = { n: '\n', r: '\r', t: '\t', '\\': '\\', "'": "'", '"': '"' };

class Reader {
  constructor(text) {
    this.text = text;
    this.at = 0;
  }

  fail(message, at = this.at) {
    throw new MarkupError(message, this.text, at);
  }

  space() {
    while (this.at < this.text.length && /\s/.test(this.text[this.at])) ++this.at;
  }

  peek() {
    this.space();
    return this.text[this.at];
  }

  expect(c, what) {
    if (this.peek() !== c) this.fail(`${what} expected`);
    ++this.at;
  }

  // Items up to `close` ('}' for a block, undefined for the whole markup).
  items(close) {
    const items = [];
    for (;;) {
      const c = this.peek();
      if (c === close) break;
      if (c === undefined) this.fail(close ? `'${close}' expected to close the block` : 'an item expected');
      if (c === ',') this.fail('an item expected before the comma');
      const at = this.at;
      const key = this.word();
      if (!key) this.fail('a key expected');
      this.expect(':', `':' after '${key}'`);
      items.push({ key, at, value: this.value() });
      if (this.peek() === ',') ++this.at;
      else if (this.peek() !== close) this.fail(close ? `',' or '${close}' expected` : `',' expected`);
    }
    return items;
  }

  word() {
    this.space();
    const m = /^[A-Za-z_][A-Za-z0-9_]*/.exec(this.text.slice(this.at, this.at + 64));
    if (!m) return '';
    this.at += m[0].length;
    return m[0];
  }

  value() {
    const c = this.peek();
    const at = this.at;
    if (c === '{') {
      ++this.at;
      const items = this.items('}');
      ++this.at;
      return { kind: 'block', items, at };
    }
    if (c === "'" || c === '"') {
      const text = this.quoted();
      if (this.peek() === '[') {
        const interval = this.bracketed();
        if (interval.kind !== 'interval') this.fail('an index interval expected after the source id', interval.at);
        return { kind: 'data', id: text, interval, at };
      }
      return { kind: 'text', text, at };
    }
    if (c === '[') return this.bracketed();
    if (c === '#') return this.colour();
    if (c !== undefined && /[-+.0-9]/.test(c)) return { kind: 'number', value: this.number(), at };
    const word = this.word();
    if (!word) this.fail(c === undefined ? 'a value expected' : `unexpected '${c}'`);
    return { kind: 'word', word, at };
  }

  // A quoted text. Backslash escapes \n \r \t \\ \' \"; a doubled quote stands for one.
  quoted() {
    const quote = this.text[this.at];
    const start = this.at++;
    let out = '';
    for (;;) {
      if (this.at >= this.text.length) this.fail('the quoted text does not end', start);
      const c = this.text[this.at++];
      if (c === quote) {
        if (this.text[this.at] !== quote) return out;
        ++this.at;
        out += quote;
      } else if (c === '\\') {
        const e = this.text[this.at++];
        if (!(e in ESCAPES)) this.fail(`unknown escape '\\${e ?? ''}'`, this.at - 2);
        out += ESCAPES[e];
      } else {
        out += c;
      }
    }
  }

  number() {
    const m = /^[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?/.exec(this.text.slice(this.at, this.at + 64));
    if (!m) this.fail('a number expected');
    this.at += m[0].length;
    return Number(m[0]);
  }

  colour() {
    const at = this.at;
    const m = /^#([0-9a-fA-F]{8}|[0-9a-fA-F]{6})(?![0-9a-zA-Z])/.exec(this.text.slice(this.at, this.at + 10));
    if (!m) this.fail('a colour #rrggbb or #rrggbbaa expected');
    this.at += m[0].length;
    const hex = m[1].length === 6 ? `${m[1]}ff` : m[1];
    const rgba = [0, 2, 4, 6].map((i) => parseInt(hex.slice(i, i + 2), 16));
    return { kind: 'colour', rgba, at };
  }

  // "[" opens a list or an index interval; the first ':' tells them apart.
  bracketed() {
    const at = this.at;
    this.expect('[', "'['");
    if (this.peek() === ']') {
      ++this.at;
      return { kind: 'list', items: [], at };
    }
    const first = this.value();
    if (this.peek() === ':') {
      ++this.at;
      const step = this.value();
      this.expect(':', "':' before the end of the interval");
      const stop = this.value();
      this.expect(']', "']' to close the interval");
      for (const [part, name] of [[first, 'start'], [step, 'step']])
        if (part.kind !== 'number') this.fail(`the interval's ${name} must be a number`, part.at);
      if (!(stop.kind === 'number' || (stop.kind === 'word' && stop.word === 'end')))
        this.fail("the interval ends with a number or 'end'", stop.at);
      if (step.value === 0) this.fail("the interval's step must not be 0", step.at);
      return { kind: 'interval', start: first.value, step: step.value, stop: stop.kind === 'number' ? stop.value : null, at };
    }
    const items = [first];
    while (this.peek() === ',') {
      ++this.at;
      items.push(this.value());
    }
    this.expect(']', "',' or ']' in the list");
    return { kind: 'list', items, at };
  }
}

// The items of a whole markup; throws MarkupError.
export function readMarkup(text) {
  if (typeof text !== 'string') throw new MarkupError('the markup is not text', '', 0);
  const reader = new Reader(text);
  const items = reader.items(undefined);
  return { kind: 'block', items, at: 0 };
}
