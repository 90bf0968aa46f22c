// The tables tab's HB line and insulator tables: the samples shipped with the command, or the
// user's own, shown field by field as `varnel table FILE --csv` reads them (texts from GBK), and
// downloadable as that CSV.
// A classic script: app.js calls window.varnelMoreTables(api) once the module is loaded.
'use strict';

(function () {
  const TEXT = {
    zh: {
      hbLinesTable: 'HB 线路表', insulatorsTable: '绝缘子表', chooseHbLines: '选择 HB 线路表 (.dbf)',
      chooseInsulators: '选择绝缘子表 (.dbf)', rowsCount: '{n} 行',
    },
    en: {
      hbLinesTable: 'HB line table', insulatorsTable: 'Insulator table', chooseHbLines: 'Choose an HB line table (.dbf)',
      chooseInsulators: 'Choose an insulator table (.dbf)', rowsCount: '{n} rows',
    },
  };
  const KINDS = [['hb', 'hb_lines.dbf', 'hbLinesTable', 'chooseHbLines'], ['insulators', 'insulators.dbf', 'insulatorsTable', 'chooseInsulators']];

  // One CSV line's cells (the command quotes a cell holding a comma, a quote or a line end).
  function cells(line) {
    const out = [];
    let cell = '';
    let quoted = false;
    for (let i = 0; i < line.length; ++i) {
      const c = line[i];
      if (quoted) {
        if (c === '"' && line[i + 1] === '"') { cell += '"'; ++i; } else if (c === '"') quoted = false; else cell += c;
      } else if (c === '"') quoted = true;
      else if (c === ',') { out.push(cell); cell = ''; } else cell += c;
    }
    out.push(cell);
    return out;
  }

  window.varnelMoreTables = function (api) {
    const { $, t, esc } = api;
    api.addText(TEXT);
    const state = {};
    $('more-tables').innerHTML = KINDS.map(([kind, , title, choose]) => '<div class="table-box" id="box-' + kind + '">' +
      '<h2 data-t="' + title + '"></h2><div class="drop"><label><span data-t="' + choose + '"></span> ' +
      '<input type="file" id="file-' + kind + '" accept=".dbf,.DBF"></label></div>' +
      '<p><span data-t="source"></span>: <output id="source-' + kind + '"></output> ' +
      '<button type="button" id="reset-' + kind + '" data-t="useSample"></button> ' +
      '<button type="button" id="dl-' + kind + '-csv" data-t="downloadCsv"></button></p>' +
      '<div id="error-' + kind + '" class="error" role="alert"></div><div id="list-' + kind + '" class="scroll"></div></div>').join('');
    for (const el of $('more-tables').querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);

    // Asynchronous: the command runs in the page's worker. A refused table leaves the one shown.
    async function show(kind, path, label) {
      const r = await api.run(['table', path, '--csv']);
      if (r.status !== 0) {
        $('error-' + kind).textContent = api.refusal(r);
        return;
      }
      $('error-' + kind).textContent = '';
      state[kind] = { path, label, csv: r.stdout };
      $('source-' + kind).textContent = label === null ? t('sample') : label;
      const lines = r.stdout.split(/\r?\n/).filter((l) => l !== '');
      const [head, ...rows] = lines.map(cells);
      $('list-' + kind).innerHTML = '<p>' + esc(t('rowsCount', { n: rows.length })) + '</p><table class="grid" id="table-' + kind +
        '"><thead><tr>' + head.map((h) => '<th scope="col">' + esc(h) + '</th>').join('') + '</tr></thead><tbody>' +
        rows.map((row) => '<tr>' + row.map((c) => '<td>' + esc(c) + '</td>').join('') + '</tr>').join('') + '</tbody></table>';
    }

    let count = 0;
    for (const [kind, sample] of KINDS) {
      const input = $('file-' + kind);
      input.addEventListener('change', async () => {
        const file = input.files[0];
        input.value = '';
        if (!file) return;
        // No larger than the page reads any table (web/page/page_limits.js).
        if (file.size > VarnelLimits.fileMB * 1024 * 1024) {
          $('error-' + kind).textContent = t('tooLarge', { file: file.name, size: (file.size / 1048576).toFixed(1),
            limit: VarnelLimits.fileMB });
          return;
        }
        const path = '/tables/' + kind + '/' + (++count) + '/' + (file.name.replace(/[/\\]/g, '_') || 'table.dbf');
        api.writeFile(path, new Uint8Array(await file.arrayBuffer()));
        await show(kind, path, file.name);
      });
      $('reset-' + kind).addEventListener('click', () => show(kind, api.samplesDir() + '/' + sample, null));
      $('dl-' + kind + '-csv').addEventListener('click', () => {
        if (state[kind]) api.download(kind + '.csv', 'text/csv', state[kind].csv);
      });
    }
    // The samples, shown once the page starts.
    const ready = Promise.all(KINDS.map(([kind, sample]) => show(kind, api.samplesDir() + '/' + sample, null)));
    return {
      ready,
      relabel() {
        for (const kind of Object.keys(state)) $('source-' + kind).textContent = state[kind].label === null ? t('sample') : state[kind].label;
      },
    };
  };
}());
