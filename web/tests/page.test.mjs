// The page in a real browser, opened from disk, against the native command run in the same test:
// every figure the page shows must be the command's --json to the bit, every download the
// command's bytes. Debian's chromium, driven by playwright-core (which downloads no browser).
//
// Environment: VARNEL (the native command, default build/release/bin/varnel), VARNEL_PAGE (the
// page, default build/wasm/web/index.html), VARNEL_SCREENSHOTS (default build/wasm/screenshots),
// CHROMIUM (default /usr/bin/chromium). Relative paths are taken from the repository's root.
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const fromRoot = (p) => path.resolve(root, p);
const VARNEL = fromRoot(process.env.VARNEL || 'build/release/bin/varnel');
// The page: a file, or a URL (a page served for development).
const PAGE = process.env.VARNEL_PAGE && /^https?:/.test(process.env.VARNEL_PAGE) ? process.env.VARNEL_PAGE
  : pathToFileURL(fromRoot(process.env.VARNEL_PAGE || 'build/wasm/web/index.html')).href;
const SHOTS = fromRoot(process.env.VARNEL_SCREENSHOTS || 'build/wasm/screenshots');
const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
const SAMPLES = fromRoot('samples');
const AREAS = path.join(SAMPLES, 'weather_areas.dbf');
const CONDUCTORS = path.join(SAMPLES, 'conductors.dbf');
const AREA = '典型气象区Ⅵ';
const CONDUCTOR = 'JL/G1A-240/30';

const native = (args) => execFileSync(VARNEL, args, { cwd: root, maxBuffer: 1 << 28 });
const nativeJson = (args) => JSON.parse(native([...args, '--json']).toString('utf8'));
const design = (extra = []) => ['--areas', AREAS, '--area', AREA, '--conductors', CONDUCTORS,
  '--conductor', CONDUCTOR, ...extra];

// A small seeded generator (mulberry32): the random cases are the same on every run.
function prng(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let x = a;
    x = Math.imul(x ^ (x >>> 15), x | 1);
    x ^= x + Math.imul(x ^ (x >>> 7), x | 61);
    return ((x ^ (x >>> 14)) >>> 0) / 4294967296;
  };
}

let browser;
const measured = {};
const problems = [];  // requests leaving the page, console errors, uncaught exceptions

async function openPage(hash = '') {
  const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1280, height: 900 } });
  const page = await context.newPage();
  page.on('request', (req) => {
    if (!/^(file|data|blob):/.test(req.url())) problems.push('request: ' + req.url());
  });
  page.on('console', (msg) => { if (msg.type() === 'error') problems.push('console: ' + msg.text()); });
  page.on('pageerror', (err) => problems.push('page error: ' + err.message));
  const t0 = Date.now();
  await page.goto(PAGE + hash);
  await page.waitForFunction(() => window.varnelPage && window.varnelPage.ready);
  measured.loadMs = Date.now() - t0;
  measured.loadInPageMs = await page.evaluate(() => window.varnelPage.loadMs);
  return page;
}

// Waits until no recomputation is pending (the page recomputes when the typing pauses).
const settle = (page) => page.waitForFunction(() => !window.varnelPage.pending);

// Takes a hash as a user would paste a link, and waits for the page to have recomputed.
async function goHash(page, params) {
  const before = await page.evaluate(() => window.varnelPage.generation);
  await page.evaluate((h) => { location.hash = h; }, new URLSearchParams(params).toString());
  await page.waitForFunction((g) => window.varnelPage.generation > g, before);
  await settle(page);
}

// Figures alike: equal, or within a relative `tolerance`. The parabola's figures are exact; the
// catenary's and a section's pass through cosh, sinh, asinh or hypot, which the C libraries
// (glibc natively, musl in the module) may round differently in the last bit, so there the page
// must agree with the command to 1e-12.
function assertFigures(actual, expected, tolerance, where) {
  if (tolerance === 0) return assert.deepEqual(actual, expected, where);
  assert.equal(actual.length, expected.length, where);
  actual.forEach((row, i) => {
    assert.equal(row.length, expected[i].length, where);
    row.forEach((x, j) => {
      const want = expected[i][j];
      if (x === null || want === null) return assert.equal(x, want, where);
      assert.ok(Math.abs(x - want) <= tolerance * Math.max(Math.abs(want), 1e-300),
        `${where}: row ${i}, column ${j}: ${x} against ${want}`);
    });
  });
}

// The whole doubles behind a table's cells, row by row (cells without one as null).
const cellValues = (page, selector) => page.$$eval(selector + ' tbody tr', (rows) => rows.map((r) =>
  [...r.querySelectorAll('td')].map((td) => (td.dataset.v === undefined ? null : Number(td.dataset.v)))));

before(async () => {
  assert.ok(fs.existsSync(VARNEL), 'the native command is built: ' + VARNEL);
  assert.ok(!PAGE.startsWith('file:') || fs.existsSync(fileURLToPath(PAGE)), 'the page is built: ' + PAGE);
  fs.mkdirSync(SHOTS, { recursive: true });
  browser = await chromium.launch({ executablePath: CHROMIUM, args: ['--no-sandbox'] });
});

after(async () => {
  if (browser) await browser.close();
  fs.writeFileSync(path.join(SHOTS, 'timings.json'), JSON.stringify(measured, null, 2) + '\n');
  console.log('# page timings (ms): ' + JSON.stringify(measured));
});

describe('the page against the command', () => {
  it('shows the controlling condition and every stress of several spans as the command does', async () => {
    const page = await openPage();
    await page.click('#tab-span');
    for (const span of ['50', '100', '150', '250', '300', '620.5']) {
      await page.fill('#span', span);
      await settle(page);
      const d = nativeJson(['control', ...design(['--span', span])]);
      assert.equal(await page.textContent('#span-controlling'), d.controlling.name, 'span ' + span);
      const rows = await cellValues(page, '#span-table');
      assert.deepEqual(rows.map((r) => r.slice(0, 4)), d.conditions.map((c) =>
        [c.specific_load_N_per_m_mm2, c.stress_N_per_mm2, c.sag_m, c.limit_N_per_mm2]), 'span ' + span);
    }
    // The account of the search is the command's text output.
    const text = native(['control', ...design(['--span', '620.5', '--model', 'parabola'])]).toString('utf8');
    assert.equal(await page.textContent('#account-span'), text.replaceAll(SAMPLES, '/samples'));
    await page.context().close();
  });

  it('finds the critical spans 92.84 and 199.56 m as the command does', async () => {
    const page = await openPage('#tab=sag');
    const d = nativeJson(['critical', ...design()]);
    const ranges = await cellValues(page, '#critical-ranges');
    assert.deepEqual(ranges.map((r) => r.slice(0, 2)), d.ranges.map((g) => [g.from_m, g.to_m]));
    // The published critical spans of this area and conductor, to the centimetre.
    assert.deepEqual(ranges.slice(1).map((r) => r[0].toFixed(2)), ['92.84', '199.56']);
    const names = await page.$$eval('#critical-ranges tbody td:nth-child(3)', (tds) => tds.map((x) => x.textContent));
    assert.deepEqual(names, d.ranges.map((g) => g.controlling.name));
    const pairs = await cellValues(page, '#critical-pairs');
    assert.deepEqual(pairs.map((r) => r[2]), d.pairs.map((p) => p.span_m));
    await page.context().close();
  });

  it('finds the catenary\'s own critical spans with the catenary, 92.84 and 199.74 m', async () => {
    const page = await openPage('#tab=sag&model=catenary');
    const d = nativeJson(['critical', ...design(['--model', 'catenary'])]);
    const ranges = await cellValues(page, '#critical-ranges');
    assert.deepEqual(ranges.map((r) => r.slice(0, 2)), d.ranges.map((g) => [g.from_m, g.to_m]));
    assert.deepEqual(ranges.slice(1).map((r) => r[0].toFixed(2)), ['92.84', '199.74']);
    // The sag table's last columns: the area's ice without wind.
    const heads = await page.$$eval('#sag-table thead th.sub', (ths) => ths.map((x) => x.textContent));
    assert.equal(heads[heads.length - 1], '覆冰无风');
    await page.context().close();
  });

  it('draws the sag table of 2,000 spans and its chart as the command does', async () => {
    const page = await openPage('#tab=sag');
    await page.fill('#sagFrom', '1');
    await page.fill('#sagTo', '2000');
    await page.fill('#sagStep', '1');
    await settle(page);
    // Five recomputations of 2,000 or 1,999 spans as the range is typed (the last of 2,000, the
    // one checked below); the medians go to timings.json.
    const runs = [];
    for (const to of ['1999', '2000', '1999', '2000', '1999', '2000']) {
      await page.evaluate(() => { window.varnelPage.painted = {}; });
      await page.fill('#sagTo', to);
      await settle(page);
      await page.waitForFunction(() => window.varnelPage.painted.sag !== undefined);
      runs.push(await page.evaluate(() => [window.varnelPage.timings.sag, window.varnelPage.commandMs.sag,
        window.varnelPage.painted.sag]));
    }
    const median = (k) => runs.slice(1).map((r) => r[k]).sort((a, b) => a - b)[2];
    Object.assign(measured, {
      sagTable2000Ms: median(0), sagTable2000CommandMs: median(1), sagTable2000PaintedMs: median(2),
    });
    const d = nativeJson(['sag-table', ...design(['--spans', '1:2000:1'])]);
    const want = d.spans.map((s) => [s.span_m, null, ...s.stress_N_per_mm2, ...s.sag_m]);
    // Only the rows in view are in the document: scroll through the table, reading as it goes.
    const seen = new Map();
    const box = await page.$('#out-sag');
    for (let guard = 0; guard < 1000; ++guard) {
      const rows = await page.$$eval('#sag-table tbody tr[data-i]', (trs) => trs.map((r) => [Number(r.dataset.i),
        [...r.querySelectorAll('td')].map((td) => (td.dataset.v === undefined ? null : Number(td.dataset.v)))]));
      for (const [i, cells] of rows) seen.set(i, cells);
      const more = await box.evaluate((b) => {
        const end = b.scrollTop + b.clientHeight >= b.scrollHeight - 1;
        b.scrollTop += b.clientHeight;
        b.dispatchEvent(new Event('scroll'));
        return !end;
      });
      if (!more) break;
    }
    assert.equal(seen.size, 2000);
    for (const [i, cells] of seen) assert.deepEqual(cells, want[i], 'span ' + want[i][0]);
    // The spacers keep the scroll bar that of the whole table.
    assert.ok(await box.evaluate((b) => b.scrollHeight > 2000 * 20));
    // The chart inline is the command's SVG (compared as parsed by the browser, both sides).
    const svgFile = path.join(os.tmpdir(), 'varnel-web-sag-' + process.pid + '.svg');
    // The page draws in its language, Chinese here.
    native(['sag-table', ...design(['--spans', '1:2000:1', '--svg', svgFile, '--lang', 'zh'])]);
    const same = await page.evaluate((expected) => {
      const doc = new DOMParser().parseFromString(expected, 'image/svg+xml');
      return document.querySelector('#chart-sag svg').isEqualNode(doc.documentElement);
    }, fs.readFileSync(svgFile, 'utf8'));
    fs.rmSync(svgFile);
    assert.ok(same, 'the inline chart is the command\'s SVG');
    await page.context().close();
  });

  for (const bom of [false, true]) {
    it('downloads the CSV the command writes, byte for byte' + (bom ? ', with a BOM' : ''), async () => {
      const page = await openPage('#tab=sag&from=50&to=800&step=25&scos=0.95');
      if (bom) await page.check('#sagBom');
      const [download] = await Promise.all([page.waitForEvent('download'), page.click('#dl-sag-csv')]);
      const got = fs.readFileSync(await download.path());
      const want = native(['sag-table', ...design(['--spans', '50:800:25', '--cos', '0.95', '--csv', '-',
        ...(bom ? ['--bom'] : [])])]);
      assert.ok(want.length > 1000);
      assert.ok(got.equals(want), 'the downloaded CSV differs from the command\'s');
      await page.context().close();
    });
  }

  it('takes a section pasted from a spreadsheet: ruling span and stringing table as the command\'s', async () => {
    const page = await openPage('#tab=section');
    const rows = [['255', '0'], ['410.5', '18.25'], ['380', '-12'], ['520', '40'], ['300', '3.5']];
    // A spreadsheet's copy: a header row, tab-separated cells, CR LF line ends.
    await page.fill('#sectionText', '档距\t高差\r\n' + rows.map((r) => r.join('\t')).join('\r\n'));
    await page.fill('#compensate', '15');
    await settle(page);
    const csv = path.join(os.tmpdir(), 'varnel-web-section-' + process.pid + '.csv');
    fs.writeFileSync(csv, 'span_m,height_difference_m\n' + rows.map((r) => r.join(',')).join('\n') + '\n');
    const d = nativeJson(['section', ...design(['--section', csv, '--compensate', '15'])]);
    fs.rmSync(csv);
    assertFigures([[Number(await page.getAttribute('#ruling-span', 'data-v'))]], [[d.ruling_span_m]], 1e-12, 'ruling span');
    assertFigures(await cellValues(page, '#section-stringing'),
      d.stringing.map((s) => [s.temperature_degC, s.stress_N_per_mm2, ...s.sag_m]), 1e-12, 'stringing');
    // Beside each span's largest sag, the other model's (here the catenary's).
    assertFigures((await cellValues(page, '#section-spans')).map((r) => [r[0], r[1], r[2], r[4], r[5]]),
      d.spans.map((s) => [s.span_m, s.height_difference_m, s.max_sag_m, s.other_model_max_sag_m,
        s.max_support_stress_N_per_mm2]), 1e-12, 'spans');
    // The figures are rounded as the command's text rounds them.
    assert.equal(await page.textContent('#ruling-span'), d.ruling_span_m.toFixed(3) + ' m');
    // A line that is not a span is named, not sent.
    await page.fill('#sectionText', '320,0\n385;12.5x');
    await settle(page);
    assert.match(await page.textContent('#error-section'), /2/);
    assert.equal(await page.$('#section-stringing'), null);
    await page.context().close();
  });

  it('gives the command\'s figures on random inputs', async () => {
    const random = prng(20261208);
    const areas = nativeJson(['areas', AREAS]).areas.map((a) => a.name);
    const conductors = nativeJson(['conductors', CONDUCTORS]).conductors.map((c) => c.name);
    const page = await openPage();
    for (let i = 0; i < 10; ++i) {
      const pick = (list) => list[Math.floor(random() * list.length)];
      const p = {
        tab: 'span', area: pick(areas), conductor: pick(conductors),
        span: (random() * 1200).toFixed(1), cos: (0.7 + 0.3 * random()).toFixed(4),
        avg: (0.15 + 0.15 * random()).toFixed(3), sf: (0.9 + 0.1 * random()).toFixed(3),
        k: (2 + random()).toFixed(2), model: random() < 0.5 ? 'parabola' : 'catenary',
      };
      await goHash(page, p);
      const d = nativeJson(['control', '--areas', AREAS, '--area', p.area, '--conductors', CONDUCTORS,
        '--conductor', p.conductor, '--span', p.span, '--cos', p.cos, '--avg-ratio', p.avg,
        '--strength-factor', p.sf, '--safety', p.k, '--model', p.model]);
      const label = JSON.stringify(p);
      assert.equal(await page.textContent('#span-controlling'),
        d.controlling ? d.controlling.name : '没有满足全部条件的控制工况', label);
      assertFigures((await cellValues(page, '#span-table')).map((r) => r.slice(0, 4)),
        d.conditions.map((c) => [c.specific_load_N_per_m_mm2, c.stress_N_per_mm2, c.sag_m, c.limit_N_per_mm2]),
        p.model === 'parabola' ? 0 : 1e-12, label);
    }
    await page.context().close();
  });

  it('rates the conductor as the command does', async () => {
    const page = await openPage('#tab=thermal&tm=current&tmax=80&w=1.2');
    const d = nativeJson(['thermal', '--conductors', CONDUCTORS, '--conductor', CONDUCTOR,
      '--max-temperature', '80', '--wind', '1.2']);
    const got = await page.$$eval('#thermal-table tbody tr', (rows) => Object.fromEntries(rows.map((r) => {
      const td = r.querySelector('td');
      return [r.dataset.key, td.dataset.v === undefined ? td.textContent : Number(td.dataset.v)];
    })));
    assert.deepEqual(got, d);
    await page.context().close();
  });

  it('shows the command\'s refusal of a bad input in the page', async () => {
    const page = await openPage('#tab=span&span=-5');
    const r = spawnSync(VARNEL, ['control', ...design(['--span', '-5'])], { cwd: root, encoding: 'utf8' });
    assert.equal(r.status, 2);
    // Said in the page's language, naming the field: page_robustness.test.mjs checks the words.
    assert.equal(await page.textContent('#error-span'), '“档距”：须不小于 0，现为“-5”');
    assert.match(r.stderr, /"-5" must be at least 0/);
    assert.equal(await page.$('#span-table'), null);
    await page.context().close();
  });
});

describe('tables the user drops', () => {
  // Drops bytes on an element as a file dragged from the desktop would arrive.
  async function drop(page, selector, name, bytes) {
    const transfer = await page.evaluateHandle(([n, b]) => {
      const dt = new DataTransfer();
      dt.items.add(new File([new Uint8Array(b)], n));
      return dt;
    }, [name, [...bytes]]);
    await page.dispatchEvent(selector, 'drop', { dataTransfer: transfer });
  }

  // The fields of a dBASE III table: name, offset in a record, length.
  function dbfFields(bytes) {
    const fields = [];
    let offset = 1;
    for (let p = 32; bytes[p] !== 0x0d; p += 32) {
      const name = bytes.subarray(p, p + 11).toString('latin1').replace(/\0.*$/, '');
      fields.push({ name, offset, length: bytes[p + 16] });
      offset += bytes[p + 16];
    }
    return { fields, headerLength: bytes.readUInt16LE(8), recordLength: bytes.readUInt16LE(10),
      records: bytes.readUInt32LE(4) };
  }

  it('shows the reason a refused table is refused, with its figures', async () => {
    const page = await openPage();
    const samples = fs.readFileSync(CONDUCTORS);
    const cases = [
      ['areas', 'conductors.dbf', samples],                         // the wrong kind of table
      ['conductors', 'cut.dbf', samples.subarray(0, 300)],          // cut short
      ['conductors', 'empty.dbf', Buffer.alloc(0)],
    ];
    for (const [kind, name, bytes] of cases) {
      const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnel-web-'));
      const file = path.join(dir, name);
      fs.writeFileSync(file, bytes);
      const r = spawnSync(VARNEL, [kind, file], { cwd: root, encoding: 'utf8' });
      fs.rmSync(dir, { recursive: true });
      assert.equal(r.status, 1, name);
      await drop(page, '#box-' + kind, name, bytes);
      await page.waitForFunction((k) => document.getElementById('error-' + k).textContent !== '', kind);
      const shown = await page.textContent('#error-' + kind);
      // The same reason in the page's language, the file named as dropped, every figure kept.
      const numbers = (s) => (s.match(/\d+/g) || []).sort();
      assert.ok(shown.startsWith(name + '：'), shown);
      assert.deepEqual(numbers(shown.slice(name.length)), numbers(r.stderr.replace(/^varnel: [^:]*: /, '')), name);
      assert.match(shown, /\d/);
      // The table in use stays the sample's.
      assert.equal(await page.textContent('#source-' + kind), '示例表');
      await page.evaluate((k) => { document.getElementById('error-' + k).textContent = ''; }, kind);
    }
    await page.context().close();
  });

  it('lists the GBK names of a dropped conductor table right', async () => {
    // The sample table with its conductors renamed in Chinese: the GBK bytes of its own
    // stranding texts, so that the test needs no GBK encoder of its own.
    const bytes = Buffer.from(fs.readFileSync(CONDUCTORS));
    const { fields, headerLength, recordLength, records } = dbfFields(bytes);
    const [nameField] = fields;
    const stranding = fields.find((f) => f.name === 'STRANDING');
    assert.ok(stranding, 'the sample conductor table has its STRANDING field');
    const expected = [];
    for (let i = 0; i < records; ++i) {
      const rec = headerLength + i * recordLength;
      const text = bytes.subarray(rec + stranding.offset, rec + stranding.offset + 10);  // five characters
      const name = Buffer.concat([text, Buffer.from('-' + i)]);
      bytes.fill(0x20, rec + nameField.offset, rec + nameField.offset + nameField.length);
      name.copy(bytes, rec + nameField.offset);
      expected.push(new TextDecoder('gbk').decode(name));
    }
    assert.equal(expected[0], '钢芯铝绞线-0');
    const file = path.join(os.tmpdir(), 'varnel-web-gbk-' + process.pid + '.dbf');
    fs.writeFileSync(file, bytes);
    const d = nativeJson(['conductors', file]);
    fs.rmSync(file);
    assert.deepEqual(d.conductors.map((c) => c.name), expected);

    const page = await openPage();
    await page.setInputFiles('#file-conductors', { name: '导线.dbf', mimeType: 'application/octet-stream', buffer: bytes });
    await page.waitForFunction(() => document.getElementById('source-conductors').textContent === '导线.dbf');
    assert.equal(await page.textContent('#error-conductors'), '');
    assert.deepEqual(await page.$$eval('#list-conductors tbody th', (x) => x.map((e) => e.textContent)), expected);
    assert.deepEqual(await page.$$eval('#conductor option', (x) => x.map((e) => e.textContent)), expected);
    await page.context().close();
  });
});

// The sample line: five strain sections, a swing past its limit and ground clearances short of
// 7 m at 80 °C. Every figure the tab shows is compared with the command's JSON run here.
describe('the profile tab', () => {
  const PROFILE = path.join(SAMPLES, 'profile');
  const line = (model) => ['profile', ...design(['--terrain', path.join(PROFILE, 'terrain.csv'),
    '--towers', path.join(PROFILE, 'towers.csv'), '--crossings', path.join(PROFILE, 'crossings.csv'),
    '--ground-clearance', '7', '--max-temperature', '80', '--model', model])];
  const lowest = (xs) => Math.min(...xs.filter((x) => x !== null));
  const highest = (xs) => Math.max(...xs.filter((x) => x !== null));

  for (const model of ['parabola', 'catenary']) {
    it(`shows the sample line's violations, clearances and tower figures as the command does (${model})`, async () => {
      const page = await openPage('#tab=profile&pft=80&model=' + model);
      await settle(page);
      const d = nativeJson(line(model));
      // Both models pass through cos, hypot or the hyperbolic functions here (the inclined
      // parabola too), which the C libraries may round differently in the last bit.
      const tolerance = 1e-12;
      assert.ok(d.violations.length > 0, 'the sample line has violations');
      const kinds = await page.$$eval('#profile-violations tbody tr', (trs) => trs.map((r) =>
        [r.dataset.kind, r.children[1].textContent, r.classList.contains('bad')]));
      assert.deepEqual(kinds, d.violations.map((x) => [x.kind, x.where, true]));
      assertFigures((await cellValues(page, '#profile-violations')).map((r) => r.slice(2, 5)),
        d.violations.map((x) => [x.station_m, x.value, x.limit]), tolerance, 'violations');
      assertFigures((await cellValues(page, '#profile-spans')).map((r) => r.slice(2, 12)),
        d.spans.map((x) => [x.span_m, x.height_difference_m, x.near_attachment_m, x.far_attachment_m,
          x.max_sag_m, x.low_point_station_m, x.min_clearance_m, x.min_clearance_station_m,
          x.required_clearance_m, x.support_stress_N_per_mm2]), tolerance, 'spans');
      // The failing spans are the ones marked, and exactly those.
      assert.deepEqual(await page.$$eval('#profile-spans tbody tr', (trs) => trs.map((r) => !r.classList.contains('bad'))),
        d.spans.map((x) => x.ok));
      // The largest swing where it is checked; the largest net upward load of a string pulled up.
      const checkedSwing = (x) => (x.swing_angle_deg === null ? null
        : highest(x.swing_angle_deg.filter((a, k) => x.swing_limit_deg[k] !== null || d.conditions[k].swing_checked)));
      const upward = (x) => (x.uplift_load_N.some((u) => u !== null) ? highest(x.uplift_load_N) : null);
      assertFigures((await cellValues(page, '#profile-towers')).map((r) => [...r.slice(1, 11), r[12]]),
        d.towers.map((x) => [x.station_m, x.ground_elevation_m, x.attachment_m, x.horizontal_span_m,
          lowest(x.vertical_span_m), highest(x.vertical_span_m), highest(x.vertical_load_N),
          highest(x.horizontal_load_N), checkedSwing(x), x.max_swing_deg, upward(x)]), tolerance, 'towers');
      assertFigures((await cellValues(page, '#profile-violations')).map((r) => [r[7]]),
        d.violations.map((x) => [x.load_N]), tolerance, 'violations\' loads');
      // The wind the check took, said as the command says it.
      const wind = await page.textContent('#profile-wind');
      assert.match(wind, /10 m/);
      assert.match(wind, /B/);
      assert.equal(d.wind.reference_height_m, 10);
      assertFigures((await cellValues(page, '#profile-sections')).map((r) => [r[3], r[5], ...r.slice(7)]),
        d.sections.map((x) => [x.ruling_span_m, x.control_stress_N_per_mm2, ...x.stress_N_per_mm2]),
        tolerance, 'sections');
      // The drawing is the command's SVG, inline, in its zooming view.
      assert.equal(await page.$$eval('#chart-profile .zoom-view > svg', (s) => s.length), 1);
      await page.context().close();
    });
  }

  it('takes the wind at 15 m and fixed α as the command does, and draws the same notes in the same order', async () => {
    // Every suspension string held to 1° in 外过, and a crossing at N8: many notes, one stack.
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnel-profile-'));
    const towers = path.join(dir, 'towers.csv');
    fs.writeFileSync(towers, fs.readFileSync(path.join(PROFILE, 'towers.csv'), 'utf8')
      .replace(/^(name,.*)$/m, '$1,max_swing_外过_deg').replace(/^(N\d+,[^\n]*,suspension,[^\n]*)$/gm, '$1,1')
      .replace(/^(N\d+,[^\n]*,strain,[^\n]*)$/gm, '$1,'));
    const crossings = path.join(dir, 'crossings.csv');
    fs.writeFileSync(crossings, fs.readFileSync(path.join(PROFILE, 'crossings.csv'), 'utf8') +
      'ditch at N8,2715.0,120.0,7.0,\n');
    const page = await openPage('#tab=profile&pft=80&model=catenary&pwh=15&pac=0.7');
    await settle(page);
    for (const [id, file] of [['#file-towers', towers], ['#file-crossings', crossings]]) {
      await page.setInputFiles(id, file);
      await settle(page);
    }
    const args = line('catenary');
    args[args.indexOf(path.join(PROFILE, 'towers.csv'))] = towers;
    args[args.indexOf(path.join(PROFILE, 'crossings.csv'))] = crossings;
    args.push('--wind-height', '15', '--alpha-clearance', '0.7');
    const d = nativeJson(args);
    assert.ok(d.violations.filter((x) => x.kind === 'swing').length >= 10);
    assert.equal(d.wind.reference_height_m, 15);
    assert.match(await page.textContent('#profile-wind'), /15 m/);
    assert.deepEqual(await page.$$eval('#profile-violations tbody tr', (trs) => trs.map((r) =>
      [r.dataset.kind, r.children[1].textContent])), d.violations.map((x) => [x.kind, x.where]));
    assertFigures((await cellValues(page, '#profile-violations')).map((r) => r.slice(2, 5)),
      d.violations.map((x) => [x.station_m, x.value, x.limit]), 1e-12, 'violations');
    // The notes of the command's own drawing, text and place, are the page's.
    const svg = path.join(dir, 'profile.svg');
    execFileSync(VARNEL, [...args, '--svg', svg, '--lang', 'zh'], { cwd: root });
    const notes = (text) => [...text.matchAll(/<text class="note[^"]*" x="([^"]+)" y="([^"]+)"[^>]*>([^<]*)<\/text>/g)]
      .map((m) => [m[1], m[2], m[3]]);
    const want = notes(fs.readFileSync(svg, 'utf8'));
    const got = notes(await page.$eval('#chart-profile', (e) => e.innerHTML));
    assert.ok(want.length > d.violations.length, 'crossings and violations drawn');
    assert.deepEqual(got.map((n) => n[2]), want.map((n) => n[2]));
    assert.deepEqual(got.map((n) => [Number(n[0]), Number(n[1])]), want.map((n) => [Number(n[0]), Number(n[1])]));
    // N8's two notes (its swing, the ditch) stand one over the other on one leader.
    const atN8 = want.filter((n) => /^(N8：|ditch at N8)/.test(n[2]));
    assert.equal(atN8.length, 2);
    assert.equal(atN8[0][0], atN8[1][0]);
    fs.rmSync(dir, { recursive: true });
    await page.context().close();
  });

  it('solves for the highest temperature the clearances allow and its current as the command does', async () => {
    const page = await openPage('#tab=profile&model=catenary&gc=3&psv=max-temperature&pam=35&pws=0.6&psol=900');
    await settle(page);
    const args = ['profile', ...design(['--terrain', path.join(PROFILE, 'terrain.csv'),
      '--towers', path.join(PROFILE, 'towers.csv'), '--crossings', path.join(PROFILE, 'crossings.csv'),
      '--ground-clearance', '3', '--model', 'catenary', '--solve', 'max-temperature',
      '--ambient', '35', '--wind', '0.6', '--solar', '900'])];
    const s = nativeJson(args).solve;
    assert.ok(s.temperature_degC > 35 && s.current_A > 0, 'the sample at 3 m has a limit above the air');
    // Solving, the page asks for the weather instead of a fixed temperature.
    assert.equal(await page.isVisible('#pfMaxT'), false);
    assert.equal(await page.isVisible('#pfAmbient'), true);
    const summary = await page.$$eval('#solve-limit, #solve-current', (ds) => ds.map((e) => Number(e.dataset.v)));
    assertFigures([summary], [[s.temperature_degC, s.current_A]], 1e-12, 'limit and current');
    const worst = s.items[s.limiting];
    assert.equal(await page.textContent('#solve-set-by'), worst.crossing === null
      ? worst.span + ' 对地距离' : worst.span + ' 跨越 ' + worst.crossing);
    // Every requirement's own temperature; those beyond the range said as its end.
    assert.deepEqual(await page.$$eval('#profile-solve tbody tr', (trs) => trs.map((r) =>
      [r.children[1].textContent, r.classList.contains('ctl'), r.dataset.beyond, r.children[4].textContent])),
    s.items.map((x, i) => [x.span, i === s.limiting, x.beyond || '',
      x.beyond === 'above' ? '> 250' : x.beyond === 'below' ? '< -40' : x.temperature_degC.toFixed(2)]));
    assertFigures((await cellValues(page, '#profile-solve')).map((r) => [r[3], r[4], r[5]]),
      s.items.map((x) => [x.required_m, x.temperature_degC, x.station_m]), 1e-12, 'requirements');
    // solve.csv is the command's.
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnel-solve-'));
    execFileSync(VARNEL, [...args, '--csv', dir], { cwd: root });
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#dl-pf-solve')]);
    const rows = (file) => fs.readFileSync(file, 'utf8').split('\n').map((l) => l.split(','));
    const got = rows(await download.path());
    const want = rows(path.join(dir, 'solve.csv'));
    assert.deepEqual(got.map((r) => [r[0], r[1], r[2], r[5], r[7]]), want.map((r) => [r[0], r[1], r[2], r[5], r[7]]));
    // 5 m of clearance: a limit below the air's 35 °C, so no current, and the page says why, as
    // the command does.
    await goHash(page, { tab: 'profile', model: 'catenary', gc: '5', psv: 'max-temperature', pam: '35', pws: '0.6', psol: '900' });
    const hot = nativeJson(args.map((a, i) => (args[i - 1] === '--ground-clearance' ? '5' : a))).solve;
    assert.ok(hot.temperature_degC < 35 && hot.current_A === null);
    assert.equal(await page.textContent('#solve-current'), '无：' + hot.current_note);
    fs.rmSync(dir, { recursive: true });
    await page.context().close();
  });

  it('checks a dropped towers table and gives the command\'s CSV files', async () => {
    const page = await openPage('#tab=profile&pft=80&model=parabola');
    await settle(page);
    // N8's string allowed to swing 80°: the sample's one swing violation goes.
    const towers = fs.readFileSync(path.join(PROFILE, 'towers.csv'), 'utf8')
      .replace(/^(N8,[^\n]*,)55\.0$/m, '$180.0');
    assert.notEqual(towers, fs.readFileSync(path.join(PROFILE, 'towers.csv'), 'utf8'));
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnel-profile-'));
    const file = path.join(dir, 'my towers.csv');
    fs.writeFileSync(file, towers);
    await page.setInputFiles('#file-towers', file);
    await page.waitForFunction(() => document.getElementById('source-towers').textContent === 'my towers.csv');
    await settle(page);
    const args = line('parabola');
    args[args.indexOf(path.join(PROFILE, 'towers.csv'))] = file;
    // A user's towers make a line of their own: the sample's crossings are not theirs.
    args.splice(args.indexOf('--crossings'), 2);
    const d = nativeJson(args);
    assert.ok(!d.violations.some((x) => x.kind === 'swing'));
    assert.deepEqual(await page.$$eval('#profile-violations tbody tr', (trs) => trs.map((r) => r.dataset.kind)),
      d.violations.map((x) => x.kind));
    execFileSync(VARNEL, [...args, '--csv', dir], { cwd: root });
    for (const name of ['spans', 'towers', 'violations']) {
      const [download] = await Promise.all([page.waitForEvent('download'), page.click('#dl-pf-' + name)]);
      // The same text cell for cell, the figures to 1e-12 (the last bit of libm, as above).
      const cells = (text) => text.split('\n').map((l) => l.split(','));
      const got = cells(fs.readFileSync(await download.path(), 'utf8'));
      const want = cells(fs.readFileSync(path.join(dir, name + '.csv'), 'utf8'));
      assert.deepEqual(got.map((r) => r.length), want.map((r) => r.length), name + '.csv');
      got.forEach((row, i) => row.forEach((cell, j) => {
        const x = Number(cell);
        const y = Number(want[i][j]);
        if (cell === '' || Number.isNaN(x) || Number.isNaN(y)) assert.equal(cell, want[i][j], name + '.csv');
        else assert.ok(Math.abs(x - y) <= 1e-12 * Math.abs(y), `${name}.csv line ${i + 1}: ${cell} against ${want[i][j]}`);
      }));
    }
    fs.rmSync(dir, { recursive: true });
    await page.context().close();
  });
});

describe('the page itself', () => {
  it('is worked by the keyboard: the tabs are a tablist, every field has a label', async () => {
    const page = await openPage();
    await page.focus('#tab-tables');
    const selected = () => page.evaluate(() => [document.activeElement.id,
      document.querySelector('[role=tab][aria-selected=true]').id,
      [...document.querySelectorAll('[role=tabpanel]')].filter((p) => !p.hidden).map((p) => p.id)]);
    await page.keyboard.press('ArrowRight');
    assert.deepEqual(await selected(), ['tab-span', 'tab-span', ['panel-span']]);
    await page.keyboard.press('End');
    assert.deepEqual(await selected(), ['tab-profile', 'tab-profile', ['panel-profile']]);
    await page.keyboard.press('ArrowRight');
    assert.deepEqual(await selected(), ['tab-tables', 'tab-tables', ['panel-tables']]);
    await page.keyboard.press('ArrowLeft');
    await page.keyboard.press('Home');
    assert.deepEqual(await selected(), ['tab-tables', 'tab-tables', ['panel-tables']]);
    const unlabelled = await page.$$eval('input, select, textarea', (els) =>
      els.filter((e) => e.labels.length === 0).map((e) => e.id));
    assert.deepEqual(unlabelled, []);
    // Every field's label carries a unit (— for ratios) or is a choice.
    const unitless = await page.$$eval('input[type=number]', (els) =>
      els.filter((e) => !e.labels[0].querySelector('.unit')).map((e) => e.id));
    assert.deepEqual(unitless, []);
    await page.context().close();
  });

  it('switches to English and keeps the language in the link', async () => {
    const page = await openPage('#tab=span&span=300');
    assert.equal(await page.textContent('#tab-span'), '档距');
    await page.click('#lang');
    await settle(page);
    assert.equal(await page.textContent('#tab-span'), 'Span');
    assert.equal(await page.evaluate(() => document.documentElement.lang), 'en');
    const hash = await page.evaluate(() => location.hash);
    assert.match(hash, /lang=en/);
    const again = await openPage(hash);
    assert.equal(await again.textContent('#tab-span'), 'Span');
    assert.equal(await again.inputValue('#span'), '300');
    await page.context().close();
    await again.context().close();
  });

  it('saves a screenshot of every tab', async () => {
    const page = await openPage();
    for (const [tab, lang] of [['tables', 'zh'], ['span', 'zh'], ['sag', 'zh'], ['section', 'zh'],
      ['thermal', 'zh'], ['profile', 'zh'], ['span', 'en'], ['profile', 'en']]) {
      await goHash(page, { tab, lang, from: '50', to: '800', step: '10' });
      const file = path.join(SHOTS, 'web-' + tab + (lang === 'zh' ? '' : '-en') + '.png');
      await page.screenshot({ path: file, fullPage: true });
      assert.ok(fs.statSync(file).size > 10000, file);
    }
    await page.context().close();
  });

  it('sent no request out of the page and logged no error', () => {
    assert.deepEqual(problems, []);
  });
});
