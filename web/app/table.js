// SPDX-License-Identifier: MIT
// The table of the HRV Tabulet functions over consecutive windows of the active document,
// as the server computes it (the CSV of `korvel-hrv table`), shown and offered as a file.
import { get } from './api.js';

function cells(line) {
  const out = [];
  let cell = '';
  let quoted = false;
  for (let i = 0; i < line.length; ++i) {
    const c = line[i];
    if (quoted) {
      if (c === '"' && line[i + 1] === '"') (cell += '"'), ++i;
      else if (c === '"') quoted = false;
      else cell += c;
    } else if (c === '"') quoted = true;
    else if (c === ',') out.push(cell), (cell = '');
    else cell += c;
  }
  out.push(cell);
  return out;
}

// Shows the table of `doc` over windows of `windowSeconds`; what it was made of.
export async function showTable(parent, doc, windowSeconds) {
  const address = `/api/documents/${doc.id}/table?window=${windowSeconds}`;
  const csv = await get(address);
  let section = parent.querySelector('section.table');
  if (!section) {
    section = document.createElement('section');
    section.className = 'panel table';
    section.setAttribute('aria-label', 'Table');
    parent.prepend(section);
  }
  const header = document.createElement('header');
  const title = document.createElement('h3');
  title.textContent = `Table of ${doc.title}, ${windowSeconds} s windows`;
  const download = document.createElement('a');
  download.href = address;
  download.download = `${doc.title.replace(/\.[^.]*$/, '')}_table.csv`;
  download.textContent = 'Export CSV';
  header.append(title, download);
  const table = document.createElement('table');
  const rows = csv.trim().split('\n').map(cells);
  rows.forEach((row, r) => {
    const tr = table.insertRow();
    for (const value of row) {
      const cell = document.createElement(r === 0 ? 'th' : 'td');
      // Shown to four significant digits; the exported file keeps every digit.
      const number = Number(value);
      cell.textContent = r > 0 && value !== '' && !Number.isInteger(number) && Number.isFinite(number) ? String(Number(number.toPrecision(4))) : value;
      tr.append(cell);
    }
  });
  const scroller = document.createElement('div');
  scroller.className = 'scroller';
  scroller.append(table);
  section.replaceChildren(header, scroller);
  section.dataset.document = String(doc.id);
  return { document: doc.id, window: windowSeconds, analysis: doc.analysis };
}
