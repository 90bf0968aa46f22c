// What the browser tests share: the native command beside the page, the page opened from disk in
// Debian's chromium, and a user's gestures (a link pasted, a file dropped). Environment as in
// page.test.mjs: VARNEL, VARNEL_PAGE, VARNEL_SCREENSHOTS, CHROMIUM.
import { execFileSync, spawnSync } from 'node:child_process';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import fs from 'node:fs';
import { chromium } from 'playwright-core';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const fromRoot = (p) => path.resolve(root, p);
export const VARNEL = fromRoot(process.env.VARNEL || 'build/release/bin/varnel');
export const PAGE = process.env.VARNEL_PAGE && /^https?:/.test(process.env.VARNEL_PAGE) ? process.env.VARNEL_PAGE
  : pathToFileURL(fromRoot(process.env.VARNEL_PAGE || 'build/wasm/web/index.html')).href;
export const SHOTS = fromRoot(process.env.VARNEL_SCREENSHOTS || 'build/wasm/screenshots');
export const SAMPLES = fromRoot('samples');
export const PROFILE = path.join(SAMPLES, 'profile');
export const AREAS = path.join(SAMPLES, 'weather_areas.dbf');
export const CONDUCTORS = path.join(SAMPLES, 'conductors.dbf');
export const AREA = '典型气象区Ⅵ';
export const CONDUCTOR = 'JL/G1A-240/30';

export const native = (args) => execFileSync(VARNEL, args, { cwd: root, maxBuffer: 1 << 28 });
export const nativeJson = (args) => JSON.parse(native([...args, '--json']).toString('utf8'));
// The command's whole answer, failures too: {status, stdout, stderr}.
export const nativeRun = (args) => spawnSync(VARNEL, args, { cwd: root, encoding: 'utf8', maxBuffer: 1 << 28 });
export const design = (extra = []) => ['--areas', AREAS, '--area', AREA, '--conductors', CONDUCTORS,
  '--conductor', CONDUCTOR, ...extra];

export async function launch() {
  assert(fs.existsSync(VARNEL), 'the native command is built: ' + VARNEL);
  assert(!PAGE.startsWith('file:') || fs.existsSync(fileURLToPath(PAGE)), 'the page is built: ' + PAGE);
  fs.mkdirSync(SHOTS, { recursive: true });
  return chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
}
function assert(ok, message) { if (!ok) throw new Error(message); }

// Opens the page (the hash as a link gives it) and waits until it is ready; `problems` collects
// requests leaving the page, console errors and uncaught exceptions.
export async function openPage(browser, hash = '', problems = []) {
  const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1280, height: 900 } });
  const page = await context.newPage();
  page.on('request', (req) => {
    if (!/^(file|data|blob):/.test(req.url())) problems.push('request: ' + req.url());
  });
  page.on('console', (msg) => { if (msg.type() === 'error') problems.push('console: ' + msg.text()); });
  page.on('pageerror', (err) => problems.push('page error: ' + err.message));
  await page.goto(PAGE + hash);
  await page.waitForFunction(() => window.varnelPage && window.varnelPage.ready, null, { timeout: 120000 });
  return page;
}

// Waits until no recomputation is pending or running.
export const settle = (page) => page.waitForFunction(() => !window.varnelPage.pending, null, { timeout: 120000 });

// Takes a hash as a user would paste a link, and waits for the page to have recomputed.
export async function goHash(page, params) {
  const before = await page.evaluate(() => window.varnelPage.generation);
  await page.evaluate((h) => { location.hash = h; }, new URLSearchParams(params).toString());
  await page.waitForFunction((g) => window.varnelPage.generation > g, before);
  await settle(page);
}

// Drops bytes on an element as a file dragged from the desktop would arrive.
export async function drop(page, selector, name, bytes) {
  const transfer = await page.evaluateHandle(([n, b]) => {
    const dt = new DataTransfer();
    dt.items.add(new File([new Uint8Array(b)], n));
    return dt;
  }, [name, [...bytes]]);
  await page.dispatchEvent(selector, 'drop', { dataTransfer: transfer });
}

// The whole doubles behind a table's cells, row by row (cells without one as null).
export const cellValues = (page, selector) => page.$$eval(selector + ' tbody tr', (rows) => rows.map((r) =>
  [...r.querySelectorAll('td')].map((td) => (td.dataset.v === undefined ? null : Number(td.dataset.v)))));

// The figures of a text: every number in it, as written.
export const figures = (s) => String(s).match(/\d+(?:\.\d+)?/g) || [];
