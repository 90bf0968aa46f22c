// The page's WebAssembly module under node: the command run in process must give what the native
// command gives, byte for byte, on the samples and on inputs drawn at random. The native command
// is VARNEL_NATIVE, or build/release/bin/varnel, or build/native/bin/varnel of this source tree;
// without one the comparisons are skipped and only the checks with oracles of their own run.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {spawnSync} from 'node:child_process';
import {createRequire} from 'node:module';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.dirname(here);
const modulePath = process.env.VARNEL_WEB_MODULE ?? path.join(root, 'build/wasm/web/varnel.js');
const samples = process.env.VARNEL_SAMPLES ?? path.join(root, 'samples');
const native = [process.env.VARNEL_NATIVE, path.join(root, 'build/release/bin/varnel'),
                path.join(root, 'build/native/bin/varnel')]
                   .find((p) => p && fs.existsSync(p));

const createVarnel = createRequire(import.meta.url)(modulePath);
const v = await createVarnel();

// Both sides work in a folder holding copies of the samples and name files relative to it, so
// that paths in messages are the same words.
const nativeDir = fs.mkdtempSync(path.join(os.tmpdir(), 'varnel-web-'));
for (const name of fs.readdirSync(samples)) {
  if (/\.(dbf|csv)$/.test(name)) fs.copyFileSync(path.join(samples, name), path.join(nativeDir, name));
}
v.FS.mkdirTree('/tables');
for (const name of v.FS.readdir(v.samplesDir)) {
  // The tables themselves; the sample line's folder (profile/) is not among the tables here.
  const sample = `${v.samplesDir}/${name}`;
  if (name !== '.' && name !== '..' && !v.FS.isDir(v.FS.stat(sample).mode)) {
    v.FS.writeFile(`/tables/${name}`, v.FS.readFile(sample));
  }
}
v.FS.chdir('/tables');

function putFile(name, bytes) {
  fs.writeFileSync(path.join(nativeDir, name), bytes);
  v.FS.writeFile(`/tables/${name}`, bytes);
}

function runNative(args) {
  const r = spawnSync(native, args, {cwd: nativeDir, encoding: 'utf8',
                                     env: {...process.env, LC_ALL: 'C.UTF-8'}});
  return {status: r.status, stdout: r.stdout, stderr: r.stderr};
}

// The same run on both sides: status, standard output and standard error, and the files named
// in `outputs`, equal.
function same(t, args, outputs = []) {
  const web = v.run(args);
  if (!native) {
    t.skip('no native varnel to compare with');
    return web;
  }
  const expected = runNative(args);
  assert.deepEqual(web, expected, `varnel ${args.join(' ')}`);
  for (const out of outputs) {
    assert.equal(v.FS.readFile(`/tables/${out}`, {encoding: 'utf8'}),
                 fs.readFileSync(path.join(nativeDir, out), 'utf8'), out);
  }
  return web;
}

// Two JSON values alike: the same keys, texts and structure, numbers within `tolerance` of each
// other relative to their size.
function assertClose(actual, expected, tolerance, where = '') {
  if (typeof expected === 'number' && typeof actual === 'number') {
    const scale = Math.max(Math.abs(expected), 1e-300);
    assert.ok(Math.abs(actual - expected) <= tolerance * scale, `${where}: ${actual} ≠ ${expected}`);
  } else if (expected !== null && typeof expected === 'object') {
    assert.equal(typeof actual, 'object', where);
    assert.deepEqual(Object.keys(actual), Object.keys(expected), where);
    for (const key of Object.keys(expected)) assertClose(actual[key], expected[key], tolerance, `${where}.${key}`);
  } else {
    assert.equal(actual, expected, where);
  }
}

// The catenary's figures and a section's (its support stresses) go through cosh, sinh, asinh or
// hypot, which the C libraries (glibc natively, musl in the module) round differently in the last
// bit: there the JSON must agree to 1e-12.
function close(t, args) {
  const web = v.run(args);
  if (!native) {
    t.skip('no native varnel to compare with');
    return web;
  }
  const expected = runNative(args);
  assert.equal(web.status, expected.status);
  assert.equal(web.stderr, expected.stderr);
  assertClose(JSON.parse(web.stdout), JSON.parse(expected.stdout), 1e-12, args.join(' '));
  return web;
}

const design = ['--areas', 'weather_areas.dbf', '--area', '典型气象区Ⅵ', '--conductors',
                'conductors.dbf', '--conductor', 'JL/G1A-240/30'];

test('the WebAssembly module embedded in varnel.js is under 2 MB', () => {
  const source = fs.readFileSync(modulePath, 'utf8');
  const embedded = source.match(/data:application\/octet-stream;base64,([A-Za-z0-9+/=]+)/);
  assert.ok(embedded, 'varnel.js embeds its module');
  const wasm = Buffer.from(embedded[1], 'base64');
  assert.equal(wasm.subarray(0, 4).toString('latin1'), '\0asm');
  assert.ok(wasm.length < 2 * 1024 * 1024, `${wasm.length} bytes`);
});

test('the module says its version and where its samples are', () => {
  assert.match(v.version(), /^\d+\.\d+\.\d+$/);
  assert.equal(v.run(['--version']).stdout, `varnel ${v.version()}\n`);
  assert.ok(v.FS.readdir(v.samplesDir).includes('weather_areas.dbf'));
});

test('the sample span, sag table and section equal the native command', (t) => {
  for (const span of ['50', '92.84', '150', '199.57', '400']) {
    same(t, ['control', ...design, '--span', span, '--json']);
    same(t, ['control', ...design, '--span', span]);
  }
  same(t, ['sag-table', ...design, '--spans', '50:800:10', '--csv', '-']);
  same(t, ['sag-table', ...design, '--spans', '50:800:50', '--json', '--svg', 'sag.svg'], ['sag.svg']);
  same(t, ['critical', ...design, '--json']);
  close(t, ['section', ...design, '--section', 'section.csv', '--json']);
  same(t, ['section', ...design, '--section', 'section.csv', '--csv', '-', '--compensate', '15']);
});

test('the critical spans of the sample area are those worked out for it', () => {
  const r = v.run(['critical', ...design, '--json']);
  assert.equal(r.status, 0, r.stderr);
  const ends = JSON.parse(r.stdout).ranges.map((range) => range.to_m).filter((x) => x !== null);
  assert.deepEqual(ends.map((x) => x.toFixed(2)), ['92.84', '199.56']);
});

test('each run is independent: a refusal leaves nothing behind for the next', (t) => {
  const bad = same(t, ['control', ...design, '--span', '-5', '--json']);
  assert.equal(bad.status, 2);
  assert.equal(bad.stdout, '');
  assert.match(bad.stderr, /^varnel: .*\n$/);
  const good = v.run(['control', ...design, '--span', '300', '--json']);
  assert.equal(good.status, 0);
  assert.equal(good.stderr, '');
  assert.equal(v.run(['control', ...design, '--span', '300', '--json']).stdout, good.stdout);
});

// A dBASE III table of character fields, as a design tool writes one.
function dbf(fields, rows, {recordCount = rows.length, cut = 0} = {}) {
  const recordLength = 1 + fields.reduce((n, [, w]) => n + w, 0);
  const headerLength = 32 + 32 * fields.length + 1;
  const head = Buffer.alloc(32);
  head.writeUInt8(0x03, 0);
  head.writeUInt8(126, 1), head.writeUInt8(12, 2), head.writeUInt8(7, 3);
  head.writeInt32LE(recordCount, 4);
  head.writeUInt16LE(headerLength, 8);
  head.writeUInt16LE(recordLength, 10);
  const descriptors = fields.map(([name, width]) => {
    const d = Buffer.alloc(32);
    Buffer.from(name).copy(d, 0, 0, 10);
    d.write('C', 11, 'latin1');
    d.writeUInt8(width, 16);
    return d;
  });
  const body = rows.map((row) => Buffer.concat([Buffer.from(' '), ...row.map((cell, k) => {
    const b = Buffer.alloc(fields[k][1], ' ');
    cell.copy(b, 0, 0, Math.min(cell.length, b.length));
    return b;
  })]));
  const all = Buffer.concat([head, ...descriptors, Buffer.from('\r'), ...body, Buffer.from([0x1a])]);
  return cut ? all.subarray(0, all.length - cut) : all;
}

test('a table the reader refuses gives its reason, as natively', (t) => {
  const five = [['NAME', 10], ['A', 4], ['B', 4], ['C', 4], ['D', 4]];
  const x = Buffer.from('x');
  putFile('cut.dbf', dbf(five, Array(4).fill([x, x, x, x, x]), {cut: 30}));
  putFile('tiny.dbf', Buffer.from('\x03abc', 'latin1'));
  putFile('zero.dbf', dbf([['NAME', 10], ['W', 0]], [[x, Buffer.alloc(0)]]));
  for (const [name, needle] of [['cut.dbf', 'short'], ['tiny.dbf', '32'], ['zero.dbf', '0 bytes']]) {
    for (const command of ['table', 'conductors']) {
      const r = same(t, [command, name]);
      assert.equal(r.status, 1);
      assert.equal(r.stdout, '');
      assert.ok(r.stderr.startsWith(`varnel: ${name}`) && r.stderr.includes(needle), r.stderr);
    }
  }
});

// The names of a table's first field, read from the file's bytes here and decoded by node's own
// GBK decoder: what the module must show after its own reading and conversion.
function firstFieldTexts(bytes) {
  const b = Buffer.from(bytes);
  const count = b.readInt32LE(4), headerLength = b.readUInt16LE(8), recordLength = b.readUInt16LE(10);
  const width = b.readUInt8(32 + 16);
  const gbk = new TextDecoder('gbk');
  const texts = [];
  for (let i = 0; i < count; ++i) {
    const at = headerLength + i * recordLength + 1;
    texts.push(gbk.decode(b.subarray(at, at + width)).trim());
  }
  return texts;
}

test('GBK names come out right: the sample tables and one written here', (t) => {
  const conductors = JSON.parse(v.run(['conductors', 'conductors.dbf', '--json']).stdout).conductors;
  assert.deepEqual(conductors.map((c) => c.name), firstFieldTexts(v.FS.readFile('/tables/conductors.dbf')));
  const areas = JSON.parse(v.run(['areas', 'weather_areas.dbf', '--json']).stdout).areas;
  assert.deepEqual(areas.map((a) => a.name), firstFieldTexts(v.FS.readFile('/tables/weather_areas.dbf')));
  assert.ok(areas.some((a) => a.name === '典型气象区Ⅵ'));
  // A conductor table of a name with characters from every part of GBK, and the euro sign, which
  // code page 936 writes as the one byte 0x80.
  const names = ['钢芯铝绞线甲', '導線·乙—丙', 'АБВ€αβγ', 'ＪＬ／Ｇ１Ａ'];
  const gbk = {'钢芯铝绞线甲': 'b8d6 d0be c2c1 bdca cfdf bcd7', '導線·乙—丙': '8ca7 be80 a1a4 d2d2 a1aa b1fb',
               'АБВ€αβγ': 'a7a1 a7a2 a7a3 80 a6c1 a6c2 a6c3', 'ＪＬ／Ｇ１Ａ': 'a3ca a3cc a3af a3c7 a3b1 a3c1'};
  const rows = names.map((n) => [Buffer.from(gbk[n].replace(/ /g, ''), 'hex'), Buffer.from('1')]);
  const table = dbf([['NAME', 20], ['AREA', 6]], rows);
  assert.deepEqual(firstFieldTexts(table), names);  // the hand-written bytes are GBK
  putFile('gbk_names.dbf', table);
  const shown = same(t, ['table', 'gbk_names.dbf', '--csv']);
  for (const n of names) assert.ok(shown.stdout.includes(n), `${n} in ${shown.stdout}`);
});

// A small seeded generator (mulberry32): the same draws on every run.
function generator(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

test('random spans, cosines, areas and conductors equal the native command', (t) => {
  const random = generator(20261208);
  const pick = (list) => list[Math.floor(random() * list.length)];
  const areas = JSON.parse(v.run(['areas', 'weather_areas.dbf', '--json']).stdout).areas.map((a) => a.name);
  const conductors = JSON.parse(v.run(['conductors', 'conductors.dbf', '--json']).stdout)
                         .conductors.map((c) => c.name);
  const digits = (x, n) => x.toFixed(n);
  for (let i = 0; i < 12; ++i) {
    const base = ['--areas', 'weather_areas.dbf', '--area', pick(areas), '--conductors',
                  'conductors.dbf', '--conductor', pick(conductors)];
    const cos = digits(0.6 + 0.4 * random(), 4);
    const model = pick(['parabola', 'catenary']);
    const compare = model === 'parabola' ? same : close;
    compare(t, ['control', ...base, '--span', digits(20 + 1200 * random(), 2), '--cos', cos,
                '--model', model, '--json']);
    const from = 20 + Math.floor(300 * random());
    compare(t, ['sag-table', ...base, '--model', model, '--spans', `${from}:${from + 100 + Math.floor(900 * random())}:${
             5 + Math.floor(40 * random())}`, '--cos', cos, '--json']);
    const lines = ['span_m,height_difference_m'];
    for (let k = 1 + Math.floor(8 * random()); k > 0; --k) {
      lines.push(`${digits(100 + 500 * random(), 1)},${digits(60 * random() - 30, 1)}`);
    }
    putFile(`section${i}.csv`, lines.join('\n') + '\n');
    close(t, ['section', ...base, '--section', `section${i}.csv`, '--model', model, '--json']);
  }
});

// (Not the section's help: CLI11 lists an option's exclusions in the order of their addresses.)
test('help and command-line refusals equal the native command', (t) => {
  for (const args of [['--help'], ['help', 'control'], ['sag-table', '--help'], [], ['bogus'],
                      ['control', '--spam', '3'], ['control', ...design], ['table', 'missing.dbf'],
                      ['control', ...design, '--span', '1e400']]) {
    const r = same(t, args);
    assert.ok(r.status === 0 ? r.stdout.length > 0 : r.stderr.startsWith('varnel: '), args.join(' '));
  }
});
