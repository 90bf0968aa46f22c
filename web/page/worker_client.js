// The varnel module in a Web Worker, so that no run, however long, freezes the page: the page
// asks, the worker runs the command and answers, and a run can be stopped by ending the worker
// and starting another.
//
// The worker is built from a blob: a page opened from disk may not start a worker from a file,
// and module scripts do not load from file:// either. Its source is this file's own `serve`
// function and the module's factory, taken as text from varnel.js, which the page has loaded as
// a classic script (the module's text holds its WebAssembly inline, so the worker fetches
// nothing). The page's Content-Security-Policy allows blob: workers for this alone.
//
// A worker ended mid-run loses its file system: the files the page wrote (the user's tables) are
// kept here and written again into the next worker before it takes any request.
'use strict';

(function () {
  // Runs in the worker. One request at a time, in the order they came: write files, remove the
  // outputs a run will write, run the command, read back the files it wrote.
  function serve() {
    let module = null;
    const queue = [];
    let busy = false;
    const dirOf = (p) => p.slice(0, p.lastIndexOf('/')) || '/';
    const exists = (p) => module.FS.analyzePath(p).exists;

    function handle(q) {
      for (const [path, bytes] of q.write || []) {
        module.FS.mkdirTree(dirOf(path));
        module.FS.writeFile(path, bytes);
      }
      for (const path of q.clear || []) {
        module.FS.mkdirTree(dirOf(path));
        if (exists(path)) module.FS.unlink(path);
      }
      const r = q.args ? module.run(q.args) : { status: 0, stdout: '', stderr: '' };
      const files = {};
      if (r.status === 0) {
        for (const [path, how] of q.read || []) {
          files[path] = exists(path) ? module.FS.readFile(path, how === 'utf8' ? { encoding: 'utf8' } : {}) : null;
        }
      }
      return { status: r.status, stdout: r.stdout, stderr: r.stderr, files };
    }

    function next() {
      if (busy || !module || queue.length === 0) return;
      busy = true;
      const q = queue.shift();
      let answer;
      try {
        answer = handle(q);
      } catch (e) {
        // The module failed (out of memory, most likely): said as the command says a failure,
        // and the page starts a fresh worker, since this one may be left unusable.
        answer = { status: 1, stdout: '', stderr: 'varnel: ' + (e && e.message ? e.message : String(e)), files: {},
          broken: true };
      }
      postMessage(Object.assign({ id: q.id }, answer));
      busy = false;
      next();
    }

    self.onmessage = (e) => { queue.push(e.data); next(); };
    createVarnel().then((m) => {
      module = m;
      postMessage({ ready: true, version: m.version(), samplesDir: m.samplesDir });
      next();
    }, (e) => postMessage({ ready: false, error: e && e.message ? e.message : String(e) }));
  }

  // The worker's script: the module's factory (MODULARIZE: the function varnel.js assigns to
  // createVarnel, closing over the folder of its own script, which no worker has) and serve().
  function workerSource() {
    if (typeof createVarnel !== 'function') throw new Error('varnel.js is not loaded');
    return 'var _scriptDir = undefined;\nvar createVarnel = ' + createVarnel.toString() + ';\n(' +
      serve.toString() + ')();\n';
  }

  class Cancelled extends Error {
    constructor() { super('cancelled'); this.cancelled = true; }
  }

  class VarnelWorker {
    constructor() {
      this.url = URL.createObjectURL(new Blob([workerSource()], { type: 'text/javascript' }));
      this.files = new Map();  // path → bytes, written again into each new worker
      this.pending = new Map();  // id → { resolve, reject }
      this.nextId = 1;
      this.version = null;
      this.samplesDir = null;
      this.starts = 0;
      this.ready = this.start();
    }

    // A new worker, with the page's files written into it before any request.
    start() {
      this.starts += 1;
      const worker = new Worker(this.url);
      this.worker = worker;
      if (this.files.size) worker.postMessage({ id: 0, write: [...this.files] });
      return new Promise((resolve, reject) => {
        worker.onmessage = (e) => {
          const m = e.data;
          if (m.ready !== undefined) {
            if (!m.ready) { reject(new Error(m.error)); return; }
            this.version = m.version;
            this.samplesDir = m.samplesDir;
            resolve(this);
            return;
          }
          const p = this.pending.get(m.id);
          if (!p) return;
          this.pending.delete(m.id);
          if (m.broken) this.restart();
          p.resolve(m);
        };
        worker.onerror = (e) => { e.preventDefault(); reject(new Error(e.message || 'worker failed')); };
      });
    }

    // How many requests are asked and not yet answered.
    get busy() { return this.pending.size; }

    // Keeps a file for every worker to come and writes it into this one.
    writeFile(path, bytes) {
      this.files.set(path, bytes);
      this.worker.postMessage({ id: 0, write: [[path, bytes]] });
    }

    // Runs `varnel ARGS...`: {status, stdout, stderr, files}. `read` names files to read back
    // after a successful run ([path, 'utf8'|'binary']), `clear` outputs to remove before it (their
    // folders made) so that what is read back is this run's.
    run(args, { read = [], clear = [] } = {}) {
      const id = this.nextId++;
      return new Promise((resolve, reject) => {
        this.pending.set(id, { resolve, reject });
        this.worker.postMessage({ id, args, read, clear });
      });
    }

    // Stops whatever runs: every request not answered fails with `cancelled`, and a fresh worker
    // (with the page's files) takes the next ones.
    restart() {
      this.worker.terminate();
      const waiting = [...this.pending.values()];
      this.pending.clear();
      for (const p of waiting) p.reject(new Cancelled());
      this.ready = this.start();
      return this.ready;
    }

    cancel() { return this.restart(); }
  }

  window.VarnelWorker = VarnelWorker;
}());
