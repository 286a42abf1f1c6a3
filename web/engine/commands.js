// SPDX-License-Identifier: MIT
// Runs the host's script commands without evaluating script: a command is a chain that
// starts at "etch", of member calls with string and number arguments and subscripts,
//   etch.get_plot('hrv_tachogram_view').get_scales()[1].auto_scale();
// Strings are read as script string literals (\' \" \\ \n \r \t \uXXXX, and a backslash
// before a line break continues the string). Only the methods an object lists in its
// class's `commands` can be called.

export class CommandError extends Error {}

const ESCAPES = { n: '\n', r: '\r', t: '\t', b: '\b', f: '\f', v: '\v', 0: '\0' };

function parse(text) {
  let at = 0;
  const fail = (what) => {
    throw new CommandError(`${what} at column ${at + 1}`);
  };
  const space = () => {
    while (at < text.length && /\s/.test(text[at])) ++at;
  };
  const name = () => {
    space();
    const m = /^[A-Za-z_$][\w$]*/.exec(text.slice(at, at + 64));
    if (!m) fail('a name expected');
    at += m[0].length;
    return m[0];
  };
  const string = () => {
    const quote = text[at++];
    let out = '';
    for (;;) {
      if (at >= text.length) fail('the string does not end');
      const c = text[at++];
      if (c === quote) return out;
      if (c === '\r' || c === '\n') fail('a line break inside a string');
      if (c !== '\\') {
        out += c;
        continue;
      }
      const e = text[at++];
      if (e === '\r') {
        if (text[at] === '\n') ++at;
      } else if (e === '\n' || e === '\u2028' || e === '\u2029') {
        // a continued line
      } else if (e === 'u' && /^[0-9a-fA-F]{4}$/.test(text.slice(at, at + 4))) {
        out += String.fromCharCode(parseInt(text.slice(at, at + 4), 16));
        at += 4;
      } else if (e === 'x' && /^[0-9a-fA-F]{2}$/.test(text.slice(at, at + 2))) {
        out += String.fromCharCode(parseInt(text.slice(at, at + 2), 16));
        at += 2;
      } else {
        out += ESCAPES[e] ?? e;
      }
    }
  };
  const argument = () => {
    space();
    if (text[at] === "'" || text[at] === '"') return string();
    const m = /^-?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?/.exec(text.slice(at, at + 64));
    if (!m) fail('a string or a number expected');
    at += m[0].length;
    return Number(m[0]);
  };
  const chain = [{ name: name(), args: null, index: null }];
  if (chain[0].name !== 'etch') fail("a command starts with 'etch'");
  for (;;) {
    space();
    const c = text[at];
    if (c === '.') {
      ++at;
      chain.push({ name: name(), args: null, index: null });
    } else if (c === '(') {
      ++at;
      const last = chain.at(-1);
      if (last.args) fail('a second argument list');
      last.args = [];
      space();
      if (text[at] === ')') ++at;
      else
        for (;;) {
          last.args.push(argument());
          space();
          if (text[at] === ')') {
            ++at;
            break;
          }
          if (text[at] !== ',') fail("',' or ')' expected");
          ++at;
        }
    } else if (c === '[') {
      ++at;
      space();
      const m = /^\d+/.exec(text.slice(at, at + 12));
      if (!m) fail('an index expected');
      at += m[0].length;
      space();
      if (text[at] !== ']') fail("']' expected");
      ++at;
      chain.push({ name: null, args: null, index: Number(m[0]) });
    } else {
      break;
    }
  }
  space();
  if (text[at] === ';') ++at;
  space();
  if (at !== text.length) fail('unexpected text');
  return chain;
}

// Runs `command` on `etch`; returns what the last call returned. Throws CommandError.
export function runCommand(etch, command) {
  const chain = parse(command);
  let target = etch;
  for (const step of chain.slice(1)) {
    if (step.index !== null) {
      if (!Array.isArray(target) || !(step.index in target)) throw new CommandError(`no item [${step.index}]`);
      target = target[step.index];
      continue;
    }
    if (!step.args || !target?.constructor?.commands?.has(step.name))
      throw new CommandError(`'${step.name}' is not a command of the plot engine`);
    target = target[step.name](...step.args);
  }
  return target;
}
