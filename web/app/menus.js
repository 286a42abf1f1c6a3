// SPDX-License-Identifier: MIT
// The menu bar: each menu the extensions added, its items with the enabled and checked
// states the extension reported for the active document, submenus nested in place.
// Choosing an item runs its command (main.js passes `run`).

function item(entry, run, close) {
  const li = document.createElement('li');
  if (entry.separator) {
    li.className = 'separator';
    li.setAttribute('role', 'separator');
    return li;
  }
  if (entry.items) {
    li.className = 'submenu';
    const label = document.createElement('span');
    label.textContent = entry.text;
    const list = document.createElement('ul');
    list.setAttribute('role', 'menu');
    list.setAttribute('aria-label', entry.text);
    for (const child of entry.items) list.append(item(child, run, close));
    li.append(label, list);
    return li;
  }
  const button = document.createElement('button');
  button.type = 'button';
  button.textContent = entry.text;
  button.disabled = !entry.enabled;
  button.setAttribute('role', entry.checked ? 'menuitemcheckbox' : 'menuitem');
  if (entry.checked) button.setAttribute('aria-checked', 'true');
  button.dataset.path = entry.path;
  button.addEventListener('click', () => {
    close();
    run(entry);
  });
  li.append(button);
  return li;
}

// What the menu bar was last drawn from: it is drawn again only when that changes, so that
// a menu the user is in stays put while the state streams in (while sampling, say).
let drawn = '';

// Draws `menus` into `nav`, keeping the menu that is open open. `key` names whatever else
// the items' actions depend on (the active document).
export function renderMenus(nav, menus, run, key) {
  const text = JSON.stringify([key, menus]);
  if (text === drawn) return;
  drawn = text;
  const open = nav.querySelector('.menu.open')?.dataset.name;
  nav.replaceChildren();
  for (const menu of menus) {
    const wrap = document.createElement('div');
    wrap.className = 'menu';
    wrap.dataset.name = menu.name;
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'menu-title';
    button.textContent = menu.text || menu.name;
    button.setAttribute('aria-haspopup', 'menu');
    const list = document.createElement('ul');
    list.setAttribute('role', 'menu');
    list.setAttribute('aria-label', menu.text || menu.name);
    const close = () => wrap.classList.remove('open');
    for (const entry of menu.items) list.append(item(entry, run, close));
    button.addEventListener('click', () => wrap.classList.toggle('open'));
    wrap.append(button, list);
    if (menu.name === open) wrap.classList.add('open');
    nav.append(wrap);
  }
}

// Clicking elsewhere closes an open menu.
document.addEventListener('click', (e) => {
  for (const open of document.querySelectorAll('.menu.open')) if (!open.contains(e.target)) open.classList.remove('open');
});
