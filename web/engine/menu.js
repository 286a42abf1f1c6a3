// SPDX-License-Identifier: MIT
// The scale menu of a plot: Auto Scale, Unipolar, Bipolar, Invert Scale and Data (never
// enabled; checked when the scale runs from a larger to a smaller value) and Set Scale,
// which asks for the two ends. It acts through the scale proxy it was opened for, and
// reports its closing with menu_closed, as the host's own menu does.

export class ScaleMenu {
  constructor(parent) {
    this.parent = parent;
    this.element = null;
  }

  open(proxy, x, y) {
    this.close();
    const menu = document.createElement('div');
    menu.className = 'etch-menu';
    menu.setAttribute('role', 'menu');
    menu.style.left = `${x}px`;
    menu.style.top = `${y}px`;
    const done = () => {
      this.close();
      proxy.menu_closed(x, y);
    };
    const item = (label, action, { disabled = false, checked = null } = {}) => {
      const b = document.createElement('button');
      b.type = 'button';
      b.textContent = label;
      b.setAttribute('role', checked === null ? 'menuitem' : 'menuitemcheckbox');
      if (checked !== null) b.setAttribute('aria-checked', String(checked));
      b.disabled = disabled;
      b.addEventListener('click', () => {
        if (action()) return;
        done();
      });
      menu.append(b);
    };
    const [min, max] = proxy.range;
    item('Auto Scale', () => proxy.auto_scale());
    item('Unipolar', () => proxy.set_unipolar());
    item('Bipolar', () => proxy.set_bipolar());
    item('Invert Scale and Data', () => {}, { disabled: true, checked: min > max });
    item('Set Scale...', () => {
      this.askRange(menu, proxy, min, max, done);
      return true;
    });
    menu.addEventListener('keydown', (e) => e.key === 'Escape' && done());
    this.parent.append(menu);
    this.element = menu;
    this.outside = (e) => !menu.contains(e.target) && done();
    setTimeout(() => document.addEventListener('pointerdown', this.outside), 0);
    menu.querySelector('button').focus();
  }

  // The two ends of the scale as a small form in the menu.
  askRange(menu, proxy, min, max, done) {
    menu.textContent = '';
    const form = document.createElement('form');
    form.className = 'etch-range';
    const field = (label, value) => {
      const l = document.createElement('label');
      l.textContent = label;
      const input = document.createElement('input');
      input.type = 'number';
      input.step = 'any';
      input.value = String(Number(value.toPrecision(6)));
      l.append(input);
      form.append(l);
      return input;
    };
    const from = field('Minimum', min);
    const to = field('Maximum', max);
    const ok = document.createElement('button');
    ok.textContent = 'OK';
    form.append(ok);
    form.addEventListener('submit', (e) => {
      e.preventDefault();
      proxy.set_range(Number(from.value), Number(to.value));
      done();
    });
    menu.append(form);
    from.focus();
  }

  close() {
    if (!this.element) return;
    document.removeEventListener('pointerdown', this.outside);
    this.element.remove();
    this.element = null;
  }
}
