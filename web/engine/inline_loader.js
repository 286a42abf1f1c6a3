// SPDX-License-Identifier: MIT
// Starts the engine in a page that carries its modules inline (a page opened from a file,
// where a module cannot import another file): each <script type="text/plain"
// data-etch-module="name.js"> becomes a module at a blob address, its imports pointed at
// the addresses of the modules it names, and etch_local.js is imported last.
(() => {
  const sources = new Map([...document.querySelectorAll('script[data-etch-module]')].map((s) => [s.dataset.etchModule, s.textContent]));
  const urls = new Map();
  const load = (name, path = []) => {
    if (urls.has(name)) return urls.get(name);
    if (path.includes(name) || !sources.has(name)) throw new Error(`cannot load the plot engine's ${name}`);
    const text = sources.get(name).replace(/(from\s+|import\s*\()'\.\/([\w.]+\.js)'/g, (_, lead, dep) => `${lead}'${load(dep, [...path, name])}'`);
    const url = URL.createObjectURL(new Blob([text], { type: 'text/javascript' }));
    urls.set(name, url);
    return url;
  };
  import(load('etch_local.js')).catch((e) => {
    document.body.textContent = `The plot engine did not start: ${e.message}`;
  });
})();
