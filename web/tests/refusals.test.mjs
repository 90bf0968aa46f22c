// The page's translation of the command's refusals (web/page/refusals.js) against what the
// native command says today: every message the page's fields and files can provoke is said in
// Chinese, with the field or file named as the page names it and every figure kept. A reworded
// message in the command fails here, before a user meets it untranslated.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import vm from 'node:vm';
import { PROFILE, SAMPLES, root, design, figures, nativeRun } from './page_harness.mjs';

const context = { window: {} };
vm.runInNewContext(fs.readFileSync(path.join(root, 'web', 'page', 'refusals.js'), 'utf8'), context);
const { say } = context.window.VarnelRefusals;

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnel-refusals-'));
const file = (name, bytes) => { fs.writeFileSync(path.join(dir, name), bytes); return path.join(dir, name); };
const conductors = fs.readFileSync(path.join(SAMPLES, 'conductors.dbf'));
const towers = fs.readFileSync(path.join(PROFILE, 'towers.csv'), 'utf8');
const line = (t) => ['profile', '--terrain', path.join(PROFILE, 'terrain.csv'), '--towers', t, ...design()];

// [what, the command's arguments, the page's name of the field or file refused]
const CASES = [
  ['a span below 0', ['control', ...design(['--span', '-5'])], '“档距”'],
  ['a cosine above 1', ['control', ...design(['--span', '300', '--cos', '1.5'])], '“高差角余弦”'],
  ['a factor not a number', ['control', ...design(['--span', '300', '--safety', 'abc'])], '“安全系数”'],
  ['a range backwards', ['sag-table', ...design(['--spans', '10:5:1'])], '“档距范围”'],
  ['a range without a step', ['sag-table', ...design(['--spans', '1:2:0'])], '“档距范围”'],
  ['a range not a range', ['sag-table', ...design(['--spans', 'abc'])], '“档距范围”'],
  ['an area not in the table', ['control', ...design(['--span', '300']).map((a) => (a === '典型气象区Ⅵ' ? '典型气象区XX' : a))],
    '示例 weather_areas.dbf'],
  ['a conductor not in the table', ['control', ...design(['--span', '300']).map((a) => (a === 'JL/G1A-240/30' ? 'LGJ-1' : a))],
    '示例 conductors.dbf'],
  ['not a table', ['conductors', file('a.dbf', 'some text, not a table at all, more than 32 bytes')], 'a.dbf'],
  ['a table cut short', ['conductors', file('b.dbf', conductors.subarray(0, 300))], 'b.dbf'],
  ['an empty table', ['conductors', file('c.dbf', Buffer.alloc(0))], 'c.dbf'],
  ['the wrong kind of table', ['areas', file('d.dbf', conductors)], 'd.dbf'],
  ['a tower\'s station not a number', line(file('e.csv', towers.replace(/^N3,[^,]*,/m, 'N3,x,'))), 'e.csv'],
  ['a tower\'s cell empty', line(file('f.csv', towers.replace(/^N3,[^,]*,/m, 'N3,,'))), 'f.csv'],
  ['stations not increasing', line(file('g.csv', towers.replace(/^N3,[^,]*,/m, 'N3,10,'))), 'g.csv'],
  ['an unknown column', line(file('h.csv', towers.replace(/^name,/, 'nmae,'))), 'h.csv'],
  ['a window off the line', ['profile', '--terrain', path.join(PROFILE, 'terrain.csv'), '--towers',
    path.join(PROFILE, 'towers.csv'), ...design(['--from', '8000', '--to', '9000', '--svg', path.join(dir, 'x.svg')])],
  '“绘图起点里程” / “绘图终点里程”'],
];

// The page's folders for what it hands the module: the samples, and a folder per user's file.
const pagePath = (p) => (p.startsWith(SAMPLES) ? '/samples' + p.slice(SAMPLES.length) : '/tables/x/1/' + path.basename(p));
const fields = { '--span': '“档距”', '--cos': '“高差角余弦”', '--safety': '“安全系数”', '--spans': '“档距范围”',
  '--from': '“绘图起点里程”', '--to': '“绘图终点里程”' };

describe('the command\'s refusals in the page\'s words', () => {
  for (const [what, args, who] of CASES) {
    it(what, () => {
      const r = nativeRun(args);
      assert.notEqual(r.status, 0, r.stdout);
      // What the module would say: the same line with the page's paths.
      const message = r.stderr.trim().replace(/(\/[^\s:"]+)/g, (p) => (fs.existsSync(p) ? pagePath(p) : p));
      const files = Object.fromEntries(CASES.map((c) => c[1]).flat().filter((a) => a.startsWith(dir))
        .map((p) => [pagePath(p), path.basename(p)]));
      const [said] = say(message, 'zh', { files, fields });
      assert.equal(said.warning, false);
      assert.ok(said.text.startsWith(who + '：'), said.text);
      const reason = said.text.slice(who.length + 1);
      // Chinese, not the command's English: no three English words in a row.
      assert.ok(!/[A-Za-z]+ [A-Za-z]+ [A-Za-z]+/.test(reason), reason);
      assert.ok(!/--[a-z]|\/tables\/|\/samples\/|varnel/.test(said.text), said.text);
      // Every figure of the command's reason is there (the file or option named apart).
      const commandReason = r.stderr.trim().replace(/^varnel: (--[a-z/-]+(?: \S+?)?|[^:]+): /, '');
      assert.deepEqual(figures(reason).sort(), figures(commandReason).sort(), reason + ' | ' + commandReason);
    });
  }
});
