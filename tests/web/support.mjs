// SPDX-License-Identifier: MIT
// What the web tests share: the built tool, the shared recordings, the analyses they write
// (made once per run, in the build folder) and a headless Chromium.
import { execFileSync, spawn } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

export const repo = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
export const build = resolve(repo, process.env.HRV_BUILD_DIR ?? 'build');
export const tool = join(build, 'apps/korvel-hrv');
export const sharedData = process.env.HRV_SHARED_DATA ?? resolve(repo, '../shared/data');
export const CHROMIUM = '/usr/bin/chromium';
export const VIEWS = ['tachogram', 'spectrum', 'rr_histogram', 'delta_rr_histogram', 'poincare', 'classifier'];

// Why the analyses cannot be made here, or null when they can.
export function missing(recording) {
  if (!existsSync(tool)) return `the tool ${tool} is not built`;
  if (!existsSync(join(sharedData, recording))) return `the shared recording ${recording} is not under ${sharedData}`;
  return null;
}

// The output folder of `korvel-hrv analyze` on a shared recording, written afresh once per
// test file (`user`), so that the pages carry the engine of this build.
const made = new Set();
export function analysed(recording, user) {
  const out = join(build, 'web-tests', user, recording.replace(/[/.]/g, '_'));
  if (!made.has(out)) {
    mkdirSync(out, { recursive: true });
    execFileSync(tool, ['analyze', join(sharedData, recording), '--out', out], { stdio: 'ignore' });
    made.add(out);
  }
  return out;
}

export const markupOf = (out, view) => readFileSync(join(out, 'markup', `${view}.txt`), 'utf8');

// A fresh headless Chromium context; null (with the reason) when Chromium is absent.
export async function browser({ width = 900, height = 500 } = {}) {
  if (!existsSync(CHROMIUM)) return null;
  const { chromium } = await import('playwright-core');
  return chromium.launchPersistentContext(mkdtempSync(join(tmpdir(), 'etch-')), {
    executablePath: CHROMIUM,
    headless: true,
    viewport: { width, height },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
}

export const screenshots = join(build, 'screenshots');

// `korvel-hrv serve` with `args`, and a 1400 × 1000 page on its address whose console errors
// and uncaught exceptions collect in `errors`. `close()` ends both.
export async function servePage(args, { clipboard = false } = {}) {
  const server = spawn(tool, ['serve', ...args], { stdio: ['ignore', 'pipe', 'inherit'] });
  const address = await new Promise((resolve, reject) => {
    server.stdout.on('data', (d) => /open (\S+)/.test(String(d)) && resolve(/open (\S+)/.exec(String(d))[1]));
    server.on('exit', () => reject(new Error('korvel-hrv serve ended before it printed its address')));
  });
  const context = await browser({ width: 1400, height: 1000 });
  if (clipboard) await context.grantPermissions(['clipboard-read', 'clipboard-write']);
  const page = await context.newPage();
  const errors = [];
  page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(address);
  mkdirSync(screenshots, { recursive: true });
  return { page, errors, close: async () => { await context.close(); server.kill(); } };
}
