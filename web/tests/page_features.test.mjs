// The page's charts in its language and its towers and crossings editor, in a real browser opened
// from disk, held against the native command run in the same test. Same environment as
// page.test.mjs: VARNEL, VARNEL_PAGE, VARNEL_SCREENSHOTS, CHROMIUM (web/tests/page_harness.mjs).
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {
  PROFILE, SHOTS, VARNEL, root, cellValues, design, launch, nativeJson, openPage as openWith, settle,
} from './page_harness.mjs';

// Chinese characters and their full-width punctuation.
const CHINESE = /[\u3000-\u303f\u3400-\u9fff\uff00-\uffef]/;

let browser;
const problems = [];
const openPage = (hash = '') => openWith(browser, hash, problems);

function assertClose(actual, expected, tolerance, where) {
  assert.equal(actual.length, expected.length, where);
  actual.forEach((row, i) => row.forEach((x, j) => {
    const want = expected[i][j];
    if (x === null || want === null) return assert.equal(x, want, `${where}: row ${i}, column ${j}`);
    assert.ok(Math.abs(x - want) <= tolerance * Math.max(Math.abs(want), 1e-300), `${where}: row ${i}, column ${j}: ${x} against ${want}`);
  }));
}

// The texts of an SVG drawn in the page, in document order.
const svgTexts = (page, selector) => page.$$eval(selector + ' svg text', (ts) => ts.map((t) => t.textContent));

before(async () => { browser = await launch(); });
after(async () => { if (browser) await browser.close(); });

describe('charts in the page\'s language', () => {
  it('draws the sag chart with the command\'s Chinese words on the Chinese page, and English on the English one', async () => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnel-lang-'));
    const page = await openPage('#tab=sag&from=50&to=800&step=10&scos=1&avg=0.25&sf=0.95&k=2.5&model=parabola');
    await settle(page);
    for (const lang of ['zh', 'en']) {
      if (lang === 'en') { await page.click('#lang'); await settle(page); }
      const file = path.join(dir, lang + '.svg');
      execFileSync(VARNEL, ['sag-table', ...design(['--spans', '50:800:10', '--cos', '1', '--avg-ratio', '0.25',
        '--strength-factor', '0.95', '--safety', '2.5', '--model', 'parabola', '--svg', file, '--lang', lang])], { cwd: root });
      const want = [...fs.readFileSync(file, 'utf8').matchAll(/<text[^>]*>([^<]*)<\/text>/g)]
        .map((m) => m[1].replace(/&amp;/g, '&').replace(/&lt;/g, '<').replace(/&gt;/g, '>'));
      const got = await svgTexts(page, '#chart-sag');
      assert.deepEqual(got, want, lang);
      // The panels' titles are in the page's language.
      assert.equal(CHINESE.test(got[2]), lang === 'zh', got[2]);
    }
    fs.rmSync(dir, { recursive: true });
    await page.context().close();
  });

  it('draws the profile in Chinese on the Chinese page: legend, band, caption', async () => {
    const page = await openPage('#tab=profile');
    await settle(page);
    const legend = await page.$$eval('#chart-profile svg text.legend', (ts) => ts.map((t) => t.textContent));
    assert.deepEqual(legend.slice(0, 2), ['地面', '导线']);
    const band = await page.$$eval('#chart-profile svg text.band-title', (ts) => ts.map((t) => t.textContent));
    assert.deepEqual(band, ['杆塔', '里程 (m)', '挂线高 (m)', '档距 (m)', '耐张段']);
    const captions = await page.$$eval('#chart-profile svg text.caption', (ts) => ts.map((t) => t.textContent));
    for (const c of captions) assert.ok(CHINESE.test(c), c);
    // No English word is left in the drawing but the sample's own crossing names.
    const names = ['river (highest navigable level)', 'road S214', 'farm building'];
    for (const text of await svgTexts(page, '#chart-profile')) {
      let rest = text;
      for (const n of names) rest = rest.replace(n, '');
      const words = (rest.replace(/--[a-z-]+/g, '').match(/[A-Za-z]{2,}/g) || [])
        .filter((w) => !['cos', 'tan', 'px', 'mm', 'GB', 'JL', 'G1A'].includes(w));
      assert.deepEqual(words, [], text);
    }
    await page.click('#lang');
    await settle(page);
    const english = await page.$$eval('#chart-profile svg text.legend', (ts) => ts.map((t) => t.textContent));
    assert.deepEqual(english.slice(0, 2), ['ground', 'conductor']);
    await page.context().close();
  });
});

describe('the towers and crossings editor', () => {
  const towersCsv = fs.readFileSync(path.join(PROFILE, 'towers.csv'), 'utf8');
  const crossingsCsv = fs.readFileSync(path.join(PROFILE, 'crossings.csv'), 'utf8');
  const lines = (text) => text.trim().split('\n');
  // The page's inputs named in the link, so that the native command is run with the same.
  const HASH = '#tab=profile&model=parabola&gc=7&pft=80&ex=10';
  const line = (towers, crossings) => ['profile', ...design(['--terrain', path.join(PROFILE, 'terrain.csv'),
    '--towers', towers, '--crossings', crossings, '--ground-clearance', '7', '--max-temperature', '80',
    '--model', 'parabola'])];
  const rows = (page, kind) => page.$$eval('#editor-' + kind + '-table tbody input.cell', (cells) => {
    const out = [];
    for (const c of cells) (out[Number(c.dataset.row)] ||= [])[Number(c.dataset.col)] = c.value;
    return out;
  });
  const cell = (kind, r, k) => `#editor-${kind}-table input[data-row="${r}"][data-col="${k}"]`;
  // A paste as a spreadsheet makes it: tab-separated text on the clipboard event.
  const paste = (page, selector, text) => page.$eval(selector, (el, t) => {
    el.focus();
    const data = new DataTransfer();
    data.setData('text/plain', t);
    el.dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true, cancelable: true }));
  }, text);

  it('shows the line\'s tables, takes typing, a pasted row and a removal, recomputes, and downloads CSV the command reads to the same result', async () => {
    const page = await openPage(HASH);
    await settle(page);
    await page.click('#editor-details summary');
    // The sample's rows, cell for cell.
    const towers = await rows(page, 'towers');
    assert.deepEqual(towers.map((r) => r.join(',')), lines(towersCsv).slice(1));
    assert.deepEqual((await rows(page, 'crossings')).map((r) => r.join(',')), lines(crossingsCsv).slice(1));
    const before = await page.$$eval('#profile-violations tbody tr', (trs) => trs.map((r) => r.dataset.kind));
    assert.ok(before.includes('swing'), 'the sample line has a swing violation');

    // Typed: N8's string allowed 80°; the swing violation goes as the typing pauses.
    const header = lines(towersCsv)[0].split(',');
    const n8 = towers.findIndex((r) => r[0] === 'N8');
    await page.click(cell('towers', n8, header.indexOf('max_swing_deg')), { clickCount: 3 });
    await page.keyboard.type('80');
    await page.waitForFunction(() => !window.varnelPage.pending &&
      ![...document.querySelectorAll('#profile-violations tbody tr')].some((r) => r.dataset.kind === 'swing'));
    assert.match(await page.textContent('#source-towers'), /\d+/);

    // A crossing pasted from a spreadsheet into a new row, and the river removed.
    await page.click('#editor-crossings-add');
    const added = (await rows(page, 'crossings')).length - 1;
    await paste(page, cell('crossings', added, 0), '110 kV line\t2480\t158\t3\t\n');
    assert.deepEqual((await rows(page, 'crossings'))[added], ['110 kV line', '2480', '158', '3', '']);
    await page.click('#editor-crossings-table button.remove[data-row="0"]');
    await settle(page);
    assert.deepEqual((await rows(page, 'crossings')).map((r) => r[0]),
      ['road S214', 'farm building', '110 kV line']);

    // The downloads, fed to the native command, give what the page shows.
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnel-editor-'));
    const files = {};
    for (const kind of ['towers', 'crossings']) {
      const [download] = await Promise.all([page.waitForEvent('download'), page.click('#editor-' + kind + '-download')]);
      assert.equal(download.suggestedFilename(), kind + '.csv');
      files[kind] = path.join(dir, kind + '.csv');
      fs.copyFileSync(await download.path(), files[kind]);
    }
    assert.match(fs.readFileSync(files.towers, 'utf8'), /^N8,.*,80$/m);
    const d = nativeJson(line(files.towers, files.crossings));
    assert.ok(!d.violations.some((x) => x.kind === 'swing'));
    assert.deepEqual(await page.$$eval('#profile-violations tbody tr', (trs) => trs.map((r) => [r.dataset.kind, r.children[1].textContent])),
      d.violations.map((x) => [x.kind, x.where]));
    assertClose((await cellValues(page, '#profile-spans')).map((r) => r.slice(2, 12)),
      d.spans.map((x) => [x.span_m, x.height_difference_m, x.near_attachment_m, x.far_attachment_m,
        x.max_sag_m, x.low_point_station_m, x.min_clearance_m, x.min_clearance_station_m,
        x.required_clearance_m, x.support_stress_N_per_mm2]), 1e-12, 'spans');
    // The pasted crossing is checked, in the span the native command puts it in.
    const checked = d.spans.flatMap((x) => x.crossings.map((c) => [c.name, c.clearance_m]));
    assert.deepEqual(checked.map((c) => c[0]).sort(), ['110 kV line', 'farm building', 'road S214']);
    const shown = await page.$$eval('#profile-spans tbody td span[data-v]', (ss) => ss.map((s) => [s.textContent.split(' ').slice(0, -1).join(' '), Number(s.dataset.v)]));
    assertClose(shown.map((s) => [s[1]]), checked.map((c) => [c[1]]), 1e-12, 'crossings');
    await page.screenshot({ path: path.join(SHOTS, 'web-profile-editor.png'), fullPage: false });
    fs.rmSync(dir, { recursive: true });
    await page.context().close();
  });

  it('is worked by the keyboard: Enter moves down and adds a row at the end; a pasted header replaces the table', async () => {
    const page = await openPage(HASH);
    await settle(page);
    await page.click('#editor-details summary');
    const n = (await rows(page, 'crossings')).length;
    await page.click(cell('crossings', n - 2, 1));
    await page.keyboard.press('Enter');
    assert.equal(await page.evaluate(() => document.activeElement.dataset.row), String(n - 1));
    await page.keyboard.press('Enter');
    assert.equal((await rows(page, 'crossings')).length, n + 1);
    assert.equal(await page.evaluate(() => document.activeElement.dataset.row), String(n));
    // A row with nothing in it yet is not part of the line: the check goes on without it.
    await settle(page);
    assert.equal(await page.textContent('#error-profile'), '');
    // A spreadsheet's selection with its header: the table becomes those rows.
    await paste(page, cell('crossings', 0, 0), 'name\tstation_m\televation_m\tclearance_m\nroad S214\t4470\t162.8\t7\n');
    assert.deepEqual(await rows(page, 'crossings'), [['road S214', '4470', '162.8', '7']]);
    await settle(page);
    assert.equal(await page.textContent('#error-profile'), '');
    const d = nativeJson(line(path.join(PROFILE, 'towers.csv'), path.join(PROFILE, 'crossings.csv')));
    const shown = await page.$$eval('#profile-spans tbody td span[data-v]', (ss) => ss.map((s) => s.textContent.split(' ').slice(0, -1).join(' ')));
    assert.deepEqual(shown, ['road S214']);
    assert.ok(d.spans.some((x) => x.crossings.some((c) => c.name === 'road S214')));
    await page.context().close();
  });

  it('keeps the sample\'s crossings when the sample\'s towers are edited; a user\'s own towers start without, and crossings typed in are checked', async () => {
    const page = await openPage(HASH);
    await settle(page);
    await page.click('#editor-details summary');
    const crossedNames = () => page.$$eval('#profile-spans tbody td span[data-v]',
      (ss) => ss.map((x) => x.textContent.split(' ').slice(0, -1).join(' ')));
    const sample = nativeJson(line(path.join(PROFILE, 'towers.csv'), path.join(PROFILE, 'crossings.csv')));
    const sampleNames = sample.spans.flatMap((x) => x.crossings.map((c) => c.name));
    assert.ok(sampleNames.length > 0);
    // An edit of the sample line is still the sample line: its crossings stay checked.
    const header = lines(towersCsv)[0].split(',');
    const n8 = (await rows(page, 'towers')).findIndex((r) => r[0] === 'N8');
    await page.click(cell('towers', n8, header.indexOf('max_swing_deg')), { clickCount: 3 });
    await page.keyboard.type('80');
    await page.waitForFunction(() => /\d/.test(document.getElementById('source-towers').textContent));
    await settle(page);
    assert.equal(await page.textContent('#source-crossings'), '示例表');
    assert.deepEqual(await crossedNames(), sampleNames);
    assert.equal((await rows(page, 'crossings')).length, lines(crossingsCsv).length - 1);

    // The user's own towers: no crossings, none in the editor either, until typed in there.
    await page.setInputFiles('#file-towers', { name: 'my towers.csv', mimeType: 'text/csv', buffer: Buffer.from(towersCsv) });
    await page.waitForFunction(() => document.getElementById('source-towers').textContent === 'my towers.csv');
    await settle(page);
    assert.equal(await page.textContent('#source-crossings'), '无（未检查交叉跨越）');
    assert.deepEqual(await rows(page, 'crossings'), []);
    assert.deepEqual(await crossedNames(), []);
    await page.click('#editor-crossings-add');
    await paste(page, cell('crossings', 0, 0), 'road S214\t4470\t162.8\t7\t\n');
    await page.waitForFunction(() => document.getElementById('source-crossings').textContent !== '无（未检查交叉跨越）');
    await settle(page);
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnel-editor-'));
    const crossings = path.join(dir, 'crossings.csv');
    fs.writeFileSync(crossings, 'name,station_m,elevation_m,clearance_m,offset_m\nroad S214,4470,162.8,7,\n');
    const d = nativeJson(line(path.join(PROFILE, 'towers.csv'), crossings));
    fs.rmSync(dir, { recursive: true });
    const checked = d.spans.flatMap((x) => x.crossings.map((c) => [c.name, c.clearance_m]));
    assert.deepEqual(checked.map((c) => c[0]), ['road S214']);
    assert.deepEqual(await crossedNames(), ['road S214']);
    assertClose([await page.$eval('#profile-spans tbody td span[data-v]', (x) => [Number(x.dataset.v)])],
      [[checked[0][1]]], 1e-12, 'the typed crossing');
    await page.context().close();
  });

  it('refuses a paste that would take a table past the rows it edits, says so, and keeps the table', async () => {
    const page = await openPage(HASH);
    await settle(page);
    await page.click('#editor-details summary');
    const before = await rows(page, 'towers');
    const many = ['name\tstation_m\tkind\tarm_height_m\tinsulator_length_m\tinsulator_weight_N'];
    for (let i = 0; i <= 2000; ++i) many.push(`T${i}\t${i * 300}\t${i % 10 ? 'suspension' : 'strain'}\t24\t1.7\t520`);
    await paste(page, cell('towers', 0, 0), many.join('\n') + '\n');
    assert.match(await page.textContent('#editor-towers-error'), /2001 行.*2000 行/);
    assert.deepEqual(await rows(page, 'towers'), before);
    assert.equal(await page.textContent('#source-towers'), '示例表');
    await page.context().close();
  });

  it('sent no request out of the page and logged no error', () => {
    assert.deepEqual(problems, []);
  });
});
