// The page as a user meets it, against the native command: the module in a worker that a link
// or a file cannot freeze, the command's defaults and the basis of a result said, warnings and
// refusals in the page's language, a user's own line without the sample's crossings, a link's
// unknown names said, and a drawing that zooms and pans.
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {
  AREA, AREAS, CONDUCTOR, CONDUCTORS, PROFILE, SHOTS, root, cellValues, design, drop, figures, goHash,
  launch, nativeJson, nativeRun, openPage, settle,
} from './page_harness.mjs';

let browser;
const problems = [];
before(async () => { browser = await launch(); });
after(async () => { if (browser) await browser.close(); });

const profileFiles = ['--terrain', path.join(PROFILE, 'terrain.csv'), '--towers', path.join(PROFILE, 'towers.csv'),
  '--crossings', path.join(PROFILE, 'crossings.csv')];
const CJK = /[\u4e00-\u9fff]/;

// A straight line of `n` towers 350 m apart over gently rolling ground, a strain tower every
// tenth: its terrain and towers files.
function line(n) {
  const towers = ['name,station_m,kind,arm_height_m,insulator_length_m,insulator_weight_N,angle_deg,max_swing_deg'];
  for (let i = 0; i < n; ++i) {
    const strain = i % 10 === 0 || i === n - 1;
    towers.push(`T${i + 1},${i * 350},${strain ? 'strain' : 'suspension'},24,${strain ? '2.3,1150' : '1.7,520'},0,${strain ? '' : 55}`);
  }
  const terrain = ['station_m,elevation_m'];
  for (let k = 0; k <= (n - 1) * 7; ++k) terrain.push(`${k * 50},${100 + (k % 7)}`);
  return { towers: towers.join('\n') + '\n', terrain: terrain.join('\n') + '\n' };
}

describe('the module runs off the page\'s thread, within stated bounds', () => {
  it('refuses a sag table past its limit at once, saying the limit and the count, and computes the next range', async () => {
    const page = await openPage(browser, '#tab=sag&from=1&to=1000000&step=1', problems);
    const said = await page.textContent('#error-sag');
    assert.match(said, /100,000/);
    assert.match(said, /1,000,000/);
    assert.equal(await page.$('#sag-table'), null);
    // The same in English, and a range within the limit computes as the command does.
    await goHash(page, { tab: 'sag', lang: 'en', from: '50', to: '400', step: '50' });
    assert.equal(await page.textContent('#error-sag'), '');
    const d = nativeJson(['sag-table', ...design(['--spans', '50:400:50'])]);
    assert.deepEqual((await cellValues(page, '#sag-table')).map((r) => r[0]), d.spans.map((s) => s.span_m));
    await page.context().close();
  });

  it('cancels a long run, says so, and computes again in a fresh worker', async () => {
    const page = await openPage(browser, '#tab=sag', problems);
    await page.evaluate(() => { location.hash = 'tab=sag&from=1&to=100000&step=1'; });
    // The page answers while the worker runs: the run is seen running, and its button stops it.
    await page.waitForFunction(() => window.varnelPage.running === true);
    assert.equal(await page.isHidden('#busy'), false);
    await page.click('#cancel');
    await settle(page);
    assert.equal(await page.textContent('#error-sag'), '已取消计算；修改输入后将重新计算。');
    assert.equal(await page.$('#sag-table'), null);
    assert.equal(await page.isHidden('#busy'), true);
    // The next input computes in the new worker, to the command's figures.
    await page.fill('#sagTo', '300');
    await settle(page);
    assert.equal(await page.textContent('#error-sag'), '');
    const d = nativeJson(['sag-table', ...design(['--spans', '1:300:1'])]);
    const rows = await cellValues(page, '#sag-table');
    assert.deepEqual(rows[0], [d.spans[0].span_m, null, ...d.spans[0].stress_N_per_mm2, ...d.spans[0].sag_m]);
    await page.context().close();
  });

  it('refuses a dropped line past its limit, keeping the line in use', async () => {
    const page = await openPage(browser, '#tab=profile', problems);
    const big = line(100000);
    await page.setInputFiles('#file-towers', { name: 'long line.csv', mimeType: 'text/csv', buffer: Buffer.from(big.towers) });
    await page.waitForFunction(() => document.getElementById('error-profile').textContent !== '');
    const said = await page.textContent('#error-profile');
    assert.match(said, /long line\.csv/);
    assert.match(said, /100,000/);
    assert.match(said, /2,000/);
    assert.equal(await page.textContent('#source-towers'), '示例表');
    assert.ok((await page.$$('#profile-towers tbody tr')).length === 20, 'the sample line stays checked');
    await page.context().close();
  });
});

describe('the page\'s defaults are the command\'s, and it says what gave a result', () => {
  it('checks the sample line as the README\'s command does: catenary, the area\'s conditions, 2 violations', async () => {
    const page = await openPage(browser, '#tab=profile', problems);
    await settle(page);
    // scripts/run_demo.sh's command: no model, no temperature given.
    const d = nativeJson(['profile', ...profileFiles, ...design(['--ground-clearance', '7'])]);
    assert.equal(d.model, 'catenary');
    assert.equal(d.violations.length, 2);
    assert.equal(await page.textContent('#profile-count'), d.violations.length + ' 项超限');
    assert.deepEqual(await page.$$eval('#profile-violations tbody tr', (trs) => trs.map((r) => r.dataset.kind)),
      d.violations.map((x) => x.kind));
    const basis = await page.textContent('#basis-profile');
    assert.match(basis, /悬链线/);
    assert.match(basis, /命令的默认值/);
    // The conditions beyond the area's are named; those of the area are counted.
    const area = nativeJson(['areas', AREAS]).areas.find((a) => a.name === AREA);
    const added = d.conditions.map((c) => c.name).filter((n) => !area.conditions.some((c) => c.name === n));
    assert.ok(basis.includes(area.conditions.length + ' 个工况'), basis);
    for (const n of added) assert.ok(basis.includes(n), n + ' in ' + basis);
    assert.ok(!/导线温度/.test(basis));

    // A temperature given is a condition of its own, said as the command names it.
    await goHash(page, { tab: 'profile', pft: '80', model: 'parabola' });
    const hot = nativeJson(['profile', ...profileFiles, ...design(['--ground-clearance', '7', '--max-temperature', '80',
      '--model', 'parabola'])]);
    const basis80 = await page.textContent('#basis-profile');
    assert.match(basis80, /斜抛物线/);
    assert.ok(basis80.includes(hot.operating.condition.name), basis80);
    assert.equal(await page.textContent('#profile-count'), hot.violations.length + ' 项超限');
    await page.context().close();
  });

  it('names the inclined parabola as docs/catenary.md does, and says the default model per command', async () => {
    const doc = fs.readFileSync(path.join(root, 'docs', 'catenary.md'), 'utf8');
    assert.match(doc, /inclined parabola/);
    const page = await openPage(browser, '#tab=span', problems);
    const option = () => page.$eval('#model option[value=parabola]', (o) => o.textContent);
    assert.equal(await option(), '斜抛物线');
    assert.match(await page.$eval('#model option[value=""]', (o) => o.textContent), /斜抛物线/);
    // The span tab's default is the command's parabola, and the result says so.
    const d = nativeJson(['control', ...design(['--span', '300'])]);
    assert.equal(d.model, 'parabola');
    assert.match(await page.textContent('#basis-span'), /斜抛物线/);
    await page.click('#tab-profile');
    await settle(page);
    assert.match(await page.$eval('#model option[value=""]', (o) => o.textContent), /悬链线/);
    await page.click('#lang');
    await settle(page);
    assert.equal(await option(), 'Inclined parabola');
    await page.context().close();
  });
});

describe('the command\'s words, in the page\'s language', () => {
  it('shows the warnings of a run that succeeds', async () => {
    const page = await openPage(browser, '#tab=span&span=6000', problems);
    const r = nativeRun(['control', ...design(['--span', '6000'])]);
    assert.equal(r.status, 0);
    assert.match(r.stderr, /warning/);
    const shown = await page.textContent('#warnings-span');
    assert.match(shown, /6000 m/);
    assert.match(shown, /5 km/);
    assert.match(shown, /档距/);
    assert.ok(!shown.includes('--span'), shown);
    // The figures are still there: the warning does not stop the result.
    assert.ok(await page.$('#span-table'));
    await page.context().close();
  });

  it('says a refusal with the field or the file the user chose, its figures kept, no internal path', async () => {
    const page = await openPage(browser, '#tab=span&span=-5', problems);
    const r = nativeRun(['control', ...design(['--span', '-5'])]);
    assert.equal(r.status, 2);
    const shown = await page.textContent('#error-span');
    assert.match(shown, /“档距”/);
    assert.ok(CJK.test(shown.replace(/“档距”/, '')), shown);
    assert.deepEqual(figures(shown).sort(), figures(r.stderr).sort(), 'the figures kept');
    assert.ok(!/--span|varnel:/.test(shown), shown);

    // Tables refused, each named as dropped.
    const sample = fs.readFileSync(CONDUCTORS);
    const cases = [
      ['areas', 'not_a_table.dbf', Buffer.from('some text, not a table at all, more than 32 bytes of it')],
      ['areas', 'conductors.dbf', sample],
      ['conductors', 'cut.dbf', sample.subarray(0, 300)],
      ['conductors', 'empty.dbf', Buffer.alloc(0)],
    ];
    await page.click('#tab-tables');
    for (const [kind, name, bytes] of cases) {
      const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnel-web-'));
      fs.writeFileSync(path.join(dir, name), bytes);
      const n = nativeRun([kind, path.join(dir, name)]);
      fs.rmSync(dir, { recursive: true });
      assert.equal(n.status, 1, name);
      await drop(page, '#box-' + kind, name, bytes);
      await page.waitForFunction((k) => document.getElementById('error-' + k).textContent !== '', kind);
      const said = await page.textContent('#error-' + kind);
      assert.ok(said.startsWith(name + '：'), said);
      assert.ok(!/\/tables\/|varnel:/.test(said), said);
      assert.ok(CJK.test(said), said);
      const want = figures(n.stderr.replace(/^varnel: [^:]*: /, ''));
      assert.deepEqual(figures(said.slice(name.length)).sort(), want.sort(), said);
      await page.evaluate((k) => { document.getElementById('error-' + k).textContent = ''; }, kind);
    }
    // In English, the same file in English words.
    await page.click('#lang');
    const [kind, name, bytes] = cases[0];
    await drop(page, '#box-' + kind, name, bytes);
    await page.waitForFunction((k) => document.getElementById('error-' + k).textContent !== '', kind);
    const english = await page.textContent('#error-' + kind);
    assert.match(english, /^not_a_table\.dbf: version byte 0x73 /);
    assert.ok(!CJK.test(english), english);
    await page.context().close();
  });
});

describe('a user\'s own line, and a link\'s names', () => {
  it('checks a dropped line without the sample\'s crossings, and says which files are in use', async () => {
    const page = await openPage(browser, '#tab=profile', problems);
    await settle(page);
    // The sample line has crossings on its spans.
    const crossed = await page.$$eval('#profile-spans tbody tr td:nth-child(13)', (tds) => tds.filter((x) => x.textContent).length);
    assert.ok(crossed > 0);
    for (const kind of ['terrain', 'towers']) {
      await page.setInputFiles('#file-' + kind, { name: 'my ' + kind + '.csv', mimeType: 'text/csv',
        buffer: fs.readFileSync(path.join(PROFILE, kind + '.csv')) });
      await page.waitForFunction((k) => document.getElementById('source-' + k).textContent === 'my ' + k + '.csv', kind);
      await settle(page);
    }
    assert.equal(await page.textContent('#source-crossings'), '无（未检查交叉跨越）');
    const d = nativeJson(['profile', ...profileFiles.slice(0, 4), ...design(['--ground-clearance', '7'])]);
    assert.ok(d.spans.every((s) => s.crossings.length === 0));
    assert.deepEqual(await page.$$eval('#profile-spans tbody tr td:nth-child(13)', (tds) => tds.map((x) => x.textContent)),
      d.spans.map(() => ''));
    assert.deepEqual(await page.$$eval('#profile-violations tbody tr', (trs) => trs.map((r) => r.children[1].textContent)),
      d.violations.map((x) => x.where));
    // The sample line again: its crossings with it.
    await page.click('#reset-profile');
    await settle(page);
    assert.equal(await page.textContent('#source-crossings'), '示例表');
    assert.ok((await page.$$eval('#profile-spans tbody tr td:nth-child(13)', (tds) => tds.filter((x) => x.textContent).length)) > 0);
    await page.context().close();
  });

  it('says when a link names an area or a conductor the table does not hold', async () => {
    const page = await openPage(browser, '#tab=span&area=典型气象区XX&conductor=LGJ-999', problems);
    const used = [await page.inputValue('#area'), await page.inputValue('#conductor')];
    const areas = nativeJson(['areas', AREAS]).areas.map((a) => a.name);
    const conductors = nativeJson(['conductors', CONDUCTORS]).conductors.map((c) => c.name);
    assert.ok(areas.includes(used[0]) && conductors.includes(used[1]));
    const area = await page.textContent('#notice-area');
    assert.ok(area.includes('典型气象区XX') && area.includes(used[0]), area);
    const conductor = await page.textContent('#notice-conductor');
    assert.ok(conductor.includes('LGJ-999') && conductor.includes(used[1]), conductor);
    // A name the table holds says nothing.
    await goHash(page, { tab: 'span', area: AREA, conductor: CONDUCTOR });
    assert.equal(await page.isHidden('#notice-area'), true);
    assert.equal(await page.isHidden('#notice-conductor'), true);
    await page.context().close();
  });
});

describe('the profile drawing', () => {
  it('is shown at its own size, zooms and pans', async () => {
    const page = await openPage(browser, '#tab=profile', problems);
    await settle(page);
    const size = () => page.$eval('#chart-profile svg', (s) => [s.getBoundingClientRect().width,
      Number(s.getAttribute('width'))]);
    const [shown, width] = await size();
    assert.ok(width > 1280, 'the sample drawing is wider than the window: ' + width);
    assert.equal(Math.round(shown), width);
    await page.click('#chart-profile .zoom-in');
    const [bigger] = await size();
    assert.ok(bigger > shown * 1.2, `${bigger} after zooming in from ${shown}`);
    // Dragged to the left, the view moves right along the line.
    const view = await page.$('#chart-profile .zoom-view');
    await view.scrollIntoViewIfNeeded();
    const box = await view.boundingBox();
    const before = await view.evaluate((v) => v.scrollLeft);
    await page.mouse.move(box.x + 600, box.y + 200);
    await page.mouse.down();
    await page.mouse.move(box.x + 200, box.y + 200, { steps: 5 });
    await page.mouse.up();
    assert.equal(await view.evaluate((v) => v.scrollLeft), before + 400);
    await page.click('#chart-profile .zoom-fit');
    const [fitted] = await size();
    assert.ok(fitted <= (await view.evaluate((v) => v.clientWidth)) + 1);
    // The zoom outlives a recomputation.
    await page.fill('#pfClearance', '6.5');
    await settle(page);
    assert.ok(Math.abs((await size())[0] - fitted) < 1);
    await page.screenshot({ path: path.join(SHOTS, 'web-profile-zoom.png') });
    await page.context().close();
  });

  it('names the page\'s fields, never the command\'s options, in its captions', async () => {
    const page = await openPage(browser, '#tab=profile', problems);
    await settle(page);
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnel-line-'));
    const long = line(300);
    for (const kind of ['terrain', 'towers']) fs.writeFileSync(path.join(dir, kind + '.csv'), long[kind]);
    const svg = path.join(dir, 'line.svg');
    const r = nativeRun(['profile', '--terrain', path.join(dir, 'terrain.csv'), '--towers', path.join(dir, 'towers.csv'),
      ...design(['--ground-clearance', '7', '--svg', svg])]);
    assert.equal(r.status, 0, r.stderr);
    assert.match(fs.readFileSync(svg, 'utf8'), /--from\/--to/, 'the command advises its options for this line');
    for (const kind of ['terrain', 'towers']) {
      await page.setInputFiles('#file-' + kind, { name: kind + '.csv', mimeType: 'text/csv', buffer: Buffer.from(long[kind]) });
      await page.waitForFunction((k) => document.getElementById('source-' + k).textContent === k + '.csv', kind);
      await settle(page);
    }
    fs.rmSync(dir, { recursive: true });
    const captions = await page.$$eval('#chart-profile svg text', (ts) => ts.map((x) => x.textContent).join('\n'));
    assert.ok(!/--from|--to\b/.test(captions), 'no option named');
    assert.match(captions, /“绘图起点里程”.*“绘图终点里程”/);
    await page.context().close();
  });

  it('sent no request out of the page and logged no error', () => {
    assert.deepEqual(problems, []);
  });
});
