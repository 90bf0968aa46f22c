// The page's charts in its language, its towers and crossings editor, and what else the command
// can do that the page does (the span's curve, the wind loads, the section's conductor
// temperature, the thermal tab's sun, strands, core and two-point resistance, the profile's
// current, the HB line and insulator tables), in a real browser opened from disk, held against
// the native command run in the same test. Same environment as page.test.mjs: VARNEL,
// VARNEL_PAGE, VARNEL_SCREENSHOTS, CHROMIUM (web/tests/page_harness.mjs).
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {
  AREA, CONDUCTOR, PROFILE, SAMPLES, SHOTS, VARNEL, root, cellValues, design, launch, nativeJson, openPage as openWith, settle,
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

describe('the span tab\'s height difference and curve', () => {
  for (const model of ['catenary', 'parabola']) {
    it(`hangs the span between supports at their heights and draws varnel span's curve (${model})`, async () => {
      const page = await openPage(`#tab=span&span=420&sh=35&model=${model}&avg=0.25&sf=0.95&k=2.5`);
      await settle(page);
      const control = nativeJson(['control', ...design(['--span', '420', '--height-difference', '35', '--model', model,
        '--avg-ratio', '0.25', '--strength-factor', '0.95', '--safety', '2.5'])]);
      // The control search's figures are the command's with the height difference, not a level span's.
      const level = nativeJson(['control', ...design(['--span', '420', '--model', model])]);
      assert.notDeepEqual(control.conditions.map((c) => c.sag_m), level.conditions.map((c) => c.sag_m));
      assertClose((await cellValues(page, '#span-table')).map((r) => r.slice(1, 4)),
        control.conditions.map((c) => [c.stress_N_per_mm2, c.sag_m, c.limit_N_per_mm2]), 1e-12, 'conditions');
      // The curve of the still-air condition of largest sag, as varnel span gives it for that
      // condition's stress and load.
      const areas = JSON.parse(execFileSync(VARNEL, ['areas', path.join(SAMPLES, 'weather_areas.dbf'), '--json']).toString());
      const still = new Set(areas.areas.find((a) => a.name === AREA).conditions.filter((c) => c.wind_m_per_s === 0).map((c) => c.name));
      const c = control.conditions.filter((x) => still.has(x.name)).reduce((a, b) => (b.sag_m > a.sag_m ? b : a));
      assert.equal(await page.inputValue('#spanCurveCondition'), c.name);
      const span = nativeJson(['span', '--span', '420', '--height-difference', '35', '--stress', String(c.stress_N_per_mm2),
        '--load', String(c.specific_load_N_per_m_mm2), '--model', model, '--points', '200']);
      // In still air the curve is the one the search strung: its largest sag is the search's.
      assert.ok(Math.abs(span.max_sag_m - c.sag_m) <= 1e-9 * c.sag_m, `${span.max_sag_m} against ${c.sag_m}`);
      const shown = await page.$$eval('#span-curve-table tr', (trs) => Object.fromEntries(trs.map((r) => [r.dataset.key, Number(r.querySelector('td').dataset.v)])));
      const want = { lowPoint: span.low_point_m, nearHeight: span.near_height_above_low_point_m,
        farHeight: span.far_height_above_low_point_m, maxSag: span.max_sag_m, maxSagAt: span.max_sag_at_m,
        length: span.length_m, nearStress: span.near_stress_N_per_mm2, farStress: span.far_stress_N_per_mm2,
        nearAngle: span.near_angle_deg, farAngle: span.far_angle_deg };
      assertClose([Object.keys(want).map((k) => shown[k])], [Object.values(want)], 1e-12, 'span');
      // The drawing is the command's 201 points, from the near support to the far one 35 m up.
      const d = await page.getAttribute('#chart-span path.curve', 'd');
      assert.equal(d.split(' ').length, 201);
      // Another condition, chosen, is drawn with its own figures; its JSON is downloadable.
      const other = control.conditions.find((x) => still.has(x.name) && x.name !== c.name);
      await page.selectOption('#spanCurveCondition', other.name);
      await settle(page);
      const [download] = await Promise.all([page.waitForEvent('download'), page.click('#dl-span-json')]);
      const got = JSON.parse(fs.readFileSync(await download.path(), 'utf8'));
      const again = nativeJson(['span', '--span', '420', '--height-difference', '35', '--stress', String(other.stress_N_per_mm2),
        '--load', String(other.specific_load_N_per_m_mm2), '--model', model, '--points', '200']);
      assertClose([[got.max_sag_m, got.length_m, got.points.length]], [[again.max_sag_m, again.length_m, again.points.length]], 1e-12, 'json');
      await page.screenshot({ path: path.join(SHOTS, `web-span-curve-${model}.png`), fullPage: true });
      await page.context().close();
    });
  }
});

describe('what the command can do, on the page', () => {
  // The figures of a table whose rows carry data-key, by key.
  const byKey = (page, selector) => page.$$eval(selector + ' tr[data-key]', (trs) => Object.fromEntries(trs.map((r) =>
    [r.dataset.key, r.querySelector('td').dataset.v === undefined ? r.querySelector('td').textContent : Number(r.querySelector('td').dataset.v)])));

  for (const [kind, hash, args] of [
    ['conductor', 'wk=conductor&wwind=25&wice=10&wdiameter=21.6&wlength=300&wheight=20&wangle=60',
      ['--wind', '25', '--ice', '10', '--diameter', '21.6', '--length', '300', '--height', '20', '--angle', '60']],
    ['pole', 'wk=pole&wwind=25&wtopdiameter=190&wtopheight=12&wtaper=75&wbottomheight=2',
      ['--wind', '25', '--top-diameter', '190', '--top-height', '12', '--taper', '75', '--bottom-height', '2']],
    ['insulator', 'wk=insulator&wwind=20&wheight=15&warea=2', ['--wind', '20', '--height', '15', '--area', '2']],
  ]) {
    it(`gives the wind load on ${kind === 'insulator' ? 'an' : 'a'} ${kind} as varnel wind does`, async () => {
      const page = await openPage('#tab=wind&' + hash);
      await settle(page);
      const d = nativeJson(['wind', kind, ...args]);
      const shown = await byKey(page, '#wind-table');
      const want = { ...d.coefficients };
      for (const key of ['load_kN', 'force_kN', 'moment_kN_m']) if (d[key] !== undefined) want[key] = d[key];
      assert.deepEqual(shown, want);
      await page.context().close();
    });
  }

  it('takes a conductor temperature on the section tab and shows every condition\'s stress and every span\'s sags as the command does', async () => {
    const page = await openPage('#tab=section&smt=75&model=parabola&avg=0.25&sf=0.95&k=2.5');
    await settle(page);
    const text = await page.inputValue('#sectionText');
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnel-section-'));
    const file = path.join(dir, 'section.csv');
    fs.writeFileSync(file, 'span_m,height_difference_m\n' + text.trim().split('\n').join('\n') + '\n');
    const d = nativeJson(['section', ...design(['--section', file, '--max-temperature', '75', '--model', 'parabola',
      '--avg-ratio', '0.25', '--strength-factor', '0.95', '--safety', '2.5', '--suspension-safety', '2.25',
      '--stringing', '-20:40:5', '--compensate', '0'])]);
    assert.equal(d.conditions[d.operating.condition.index].temperature_degC, 75);
    assertClose((await cellValues(page, '#section-conditions-table')).map((r) => [r[0], r[2], r[3]]),
      d.conditions.map((c) => [c.temperature_degC, c.stress_N_per_mm2, c.limit_N_per_mm2]), 1e-12, 'conditions');
    assertClose((await cellValues(page, '#section-sags')).map((r) => r.slice(1)), d.spans.map((x) => x.sag_m), 1e-12, 'sags');
    assert.equal(await page.$$eval('#section-conditions-table tr[data-operating]', (r) => r.length), 1);
    fs.rmSync(dir, { recursive: true });
    await page.context().close();
  });

  it('sends the thermal tab\'s temperature to the section and profile tabs', async () => {
    const page = await openPage('#tab=thermal&tsrc=table&tm=temperature&i=600&ta=35&w=0.6&wa=90&el=0&sol=1000&em=0.9&ab=0.9&thm=ieee738');
    await settle(page);
    const d = nativeJson(['thermal', '--conductors', path.join(SAMPLES, 'conductors.dbf'), '--conductor', CONDUCTOR,
      '--current', '600', '--ambient', '35', '--wind', '0.6', '--wind-angle', '90', '--elevation', '0', '--solar', '1000',
      '--emissivity', '0.9', '--absorptivity', '0.9', '--model', 'ieee738']);
    await page.click('#send-temperature');
    await settle(page);
    assert.equal(Number(await page.inputValue('#secMaxT')), d.temperature_degC);
    assert.equal(Number(await page.inputValue('#pfMaxT')), d.temperature_degC);
    await page.click('#tab-section');
    await settle(page);
    const temperatures = await cellValues(page, '#section-conditions-table');
    assert.equal(temperatures[temperatures.length - 1][0], d.temperature_degC);
    await page.context().close();
  });

  it('rates a conductor with the sun placed in the sky, its strands and core, and a two-point resistance as the command does', async () => {
    const page = await openPage('#tab=thermal&tsrc=diameter&d=28.14&tm=current&tmax=100&ta=40&w=0.61&wa=90&el=0&em=0.8&ab=0.8' +
      '&tsun=placed&thlatitude=30&thday=161&thhour=11&thazimuth=90&tatm=industrial&thstrand=3.5&thcore=10' +
      '&tres=25:0.07283,75:0.08688&thm=cigre601');
    await settle(page);
    assert.equal(await page.isVisible('#thSolar'), false);
    assert.equal(await page.isVisible('#thR20'), false);
    const d = nativeJson(['thermal', '--diameter', '28.14', '--max-temperature', '100', '--ambient', '40', '--wind', '0.61',
      '--wind-angle', '90', '--elevation', '0', '--latitude', '30', '--day', '161', '--hour', '11', '--azimuth', '90',
      '--atmosphere', 'industrial', '--strand-diameter', '3.5', '--core-diameter', '10', '--resistance', '25:0.07283,75:0.08688',
      '--emissivity', '0.8', '--absorptivity', '0.8', '--model', 'cigre601']);
    const shown = await byKey(page, '#thermal-table');
    const numeric = Object.fromEntries(Object.entries(d).filter(([, x]) => typeof x === 'number'));
    assertClose([Object.keys(numeric).map((k) => shown[k])], [Object.values(numeric)], 1e-12, 'thermal');
    // The sun's position, not the default 1000 W/m², gave the solar heating.
    const given = nativeJson(['thermal', '--diameter', '28.14', '--max-temperature', '100', '--ambient', '40', '--wind', '0.61',
      '--resistance', '25:0.07283,75:0.08688', '--strand-diameter', '3.5', '--core-diameter', '10', '--emissivity', '0.8',
      '--absorptivity', '0.8', '--model', 'cigre601']);
    assert.notEqual(shown.solar_W_per_m, given.solar_W_per_m);
    await page.context().close();
  });

  for (const [kind, file] of [['hb', 'hb_lines.dbf'], ['insulators', 'insulators.dbf']]) {
    it(`lists the ${file} sample as varnel table --csv reads it`, async () => {
      const page = await openPage('#tab=tables');
      const csv = execFileSync(VARNEL, ['table', path.join(SAMPLES, file), '--csv']).toString('utf8');
      const want = csv.trim().split('\n').map((l) => l.replace(/\r$/, ''));
      const head = await page.$$eval(`#table-${kind} thead th`, (ths) => ths.map((x) => x.textContent));
      const rows = await page.$$eval(`#table-${kind} tbody tr`, (trs) => trs.map((r) => [...r.children].map((c) => c.textContent)));
      // No cell of the samples holds a comma: a line's cells are its comma-separated parts.
      assert.deepEqual([head, ...rows], want.map((l) => l.split(',')));
      const [download] = await Promise.all([page.waitForEvent('download'), page.click(`#dl-${kind}-csv`)]);
      assert.equal(fs.readFileSync(await download.path(), 'utf8'), csv);
      await page.context().close();
    });
  }

  it('shows a tower\'s figures in every condition, and downloads each tab\'s JSON, as the command gives them', async () => {
    const page = await openPage('#tab=profile&model=catenary&gc=7&pft=80');
    await settle(page);
    const args = ['profile', ...design(['--terrain', path.join(PROFILE, 'terrain.csv'), '--towers', path.join(PROFILE, 'towers.csv'),
      '--crossings', path.join(PROFILE, 'crossings.csv'), '--ground-clearance', '7', '--max-temperature', '80', '--model', 'catenary'])];
    const d = nativeJson(args);
    await page.selectOption('#pfTowerChoice', 'N8');
    const n8 = d.towers.find((x) => x.name === 'N8');
    const column = (xs) => d.conditions.map((c, k) => (xs === null ? null : xs[k]));
    const want = d.conditions.map((c, k) => [n8.vertical_span_m, n8.vertical_load_N, n8.horizontal_load_N, n8.swing_angle_deg,
      n8.swing_limit_deg, n8.uplift_load_N].map((xs) => column(xs)[k]));
    assertClose(await cellValues(page, '#profile-tower-conditions'), want, 1e-12, 'N8');
    assert.deepEqual(await page.$$eval('#profile-tower-conditions tbody th', (ths) => ths.map((x) => x.textContent)),
      d.conditions.map((c) => c.name));
    // The JSON download is the document the page laid out: the command's, to the last bits of
    // libm (1e-9 m or N beside: a weight span near 0 is a difference of two hundreds of metres).
    const close = (a, b, where) => {
      if (typeof a === 'number' && typeof b === 'number') {
        return assert.ok(Math.abs(a - b) <= 1e-12 * Math.abs(b) + 1e-9, `${where}: ${a} against ${b}`);
      }
      if (a === null || typeof a !== 'object') return assert.equal(a, b, where);
      assert.deepEqual(Object.keys(a), Object.keys(b), where);
      for (const k of Object.keys(a)) close(a[k], b[k], where + '.' + k);
    };
    for (const [tab, hash, native] of [
      ['profile', null, args],
      ['sag', '#tab=sag&from=100&to=600&step=50&scos=1&model=parabola', ['sag-table', ...design(['--spans', '100:600:50', '--cos', '1', '--model', 'parabola'])]],
      ['thermal', '#tab=thermal&tsrc=table&tm=current&tmax=70&ta=40&w=0.5&thm=ieee738',
        ['thermal', '--conductors', path.join(SAMPLES, 'conductors.dbf'), '--conductor', CONDUCTOR, '--max-temperature', '70',
          '--ambient', '40', '--wind', '0.5', '--model', 'ieee738']],
    ]) {
      if (hash) {
        await page.evaluate((h) => { location.hash = h; }, hash.slice(1));
        await page.waitForFunction((tb) => document.getElementById('tab-' + tb).getAttribute('aria-selected') === 'true', tab);
        await settle(page);
      }
      const [download] = await Promise.all([page.waitForEvent('download'), page.click('#dl-' + tab + '-json')]);
      assert.equal(download.suggestedFilename(), tab === 'sag' ? 'sag-table.json' : tab + '.json');
      close(JSON.parse(fs.readFileSync(await download.path(), 'utf8')), nativeJson(native), tab);
    }
    await page.context().close();
  });

  it('checks the profile for a current and a suspension safety factor as the command does', async () => {
    const page = await openPage('#tab=profile&model=catenary&gc=7&pfi=700&pam=35&pws=0.6&psol=900&pks=2.5');
    await settle(page);
    const d = nativeJson(['profile', ...design(['--terrain', path.join(PROFILE, 'terrain.csv'), '--towers', path.join(PROFILE, 'towers.csv'),
      '--crossings', path.join(PROFILE, 'crossings.csv'), '--ground-clearance', '7', '--current', '700', '--ambient', '35',
      '--wind', '0.6', '--solar', '900', '--suspension-safety', '2.5', '--model', 'catenary'])]);
    assert.ok(d.conditions.some((c) => /700 A/.test(c.name)), 'the current is a condition');
    assert.equal(await page.isVisible('#pfMaxT'), false);
    assertClose((await cellValues(page, '#profile-spans')).map((r) => r.slice(2, 12)),
      d.spans.map((x) => [x.span_m, x.height_difference_m, x.near_attachment_m, x.far_attachment_m,
        x.max_sag_m, x.low_point_station_m, x.min_clearance_m, x.min_clearance_station_m,
        x.required_clearance_m, x.support_stress_N_per_mm2]), 1e-12, 'spans');
    assert.deepEqual(await page.$$eval('#profile-violations tbody tr', (trs) => trs.map((r) => r.dataset.kind)),
      d.violations.map((x) => x.kind));
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
    // The files in use are said to be the edited ones, in the page's language.
    assert.equal(await page.textContent('#source-towers'), '已编辑（' + towers.length + ' 行）');
    await page.click('#lang');
    await settle(page);
    assert.equal(await page.textContent('#source-crossings'), 'edited (3 rows)');
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
    assert.equal(await page.textContent('#source-crossings'), '已编辑（0 行）', 'a row with nothing in it is not counted');
    await paste(page, cell('crossings', 0, 0), 'road S214\t4470\t162.8\t7\t\n');
    await page.waitForFunction(() => document.getElementById('source-crossings').textContent === '已编辑（1 行）');
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
