// The page's module under node: its size, the time to load and instantiate it, and the time of a
// 2,000-span sag table as JSON (the page's heaviest recomputation), median of five runs.
//   node web/bench_module.mjs [build/wasm/web/varnel.js]
import {createRequire} from 'node:module';
import fs from 'node:fs';
import path from 'node:path';
import {performance} from 'node:perf_hooks';
import {fileURLToPath} from 'node:url';

const root = path.dirname(path.dirname(fileURLToPath(import.meta.url)));
const modulePath = path.resolve(process.argv[2] ?? path.join(root, 'build/wasm/web/varnel.js'));
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

// The WebAssembly module itself, decoded from the data address the single file embeds it as.
const source = fs.readFileSync(modulePath, 'utf8');
const embedded = source.match(/data:application\/octet-stream;base64,([A-Za-z0-9+/=]+)/);
const wasmBytes = embedded ? Buffer.from(embedded[1], 'base64').length : NaN;

const loads = [];
let v;
for (let i = 0; i < 5; ++i) {
  const start = performance.now();
  const require = createRequire(import.meta.url);
  delete require.cache[modulePath];
  v = await require(modulePath)();
  loads.push(performance.now() - start);
}

const args = ['sag-table', '--areas', `${v.samplesDir}/weather_areas.dbf`, '--area', '典型气象区Ⅵ',
              '--conductors', `${v.samplesDir}/conductors.dbf`, '--conductor', 'JL/G1A-240/30',
              '--spans', '1:2000:1', '--json'];
const runs = [];
for (let i = 0; i < 5; ++i) {
  const start = performance.now();
  const r = v.run(args);
  runs.push(performance.now() - start);
  if (r.status !== 0) throw new Error(r.stderr);
}

console.log(`varnel.js: ${fs.statSync(modulePath).size} bytes; the WebAssembly in it: ${wasmBytes} bytes`);
console.log(`load and instantiate: median ${median(loads).toFixed(1)} ms of 5`);
console.log(`sag-table --spans 1:2000:1 --json: median ${median(runs).toFixed(1)} ms of 5`);
