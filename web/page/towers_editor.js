// The profile tab's editor of the towers and crossings tables: the file in use (the sample, or
// the user's own) as a table of cells, edited, added to, removed from and pasted into from a
// spreadsheet (tab-separated rows). Every change is written at once as the CSV file the command
// reads, and the page recomputes when the typing pauses; the download is that file to the byte.
// A classic script: app.js calls window.varnelTowersEditor(api) once the module is loaded. The
// module runs in a worker: the editor writes its file there (api.writeFile, kept for any later
// worker) and reads the line's files back from it (api.readFile, asynchronous).
'use strict';

(function () {
  const TEXT = {
    zh: {
      editorTitle: '编辑杆塔与交叉跨越表', editorNote: '可直接修改单元格，或从电子表格复制若干行（含或不含表头）粘贴到单元格中；回车移到下一行，最后一行回车添加一行。修改后自动重新计算。',
      editorTowers: '杆塔', editorCrossings: '交叉跨越', addRow: '添加一行', removeRow: '删除',
      removeRowOf: '删除第 {n} 行', downloadTowersCsv: '下载 towers.csv', downloadCrossingsCsv: '下载 crossings.csv',
      edited: '已编辑（{n} 行）', editorTooLarge: '{n} 行，超出编辑上限 {max} 行：请在电子表格中编辑此表。',
      editorCell: '第 {n} 行 {column}', editorEmpty: '无数据行',
      editorPasteTooLarge: '粘贴后将有 {n} 行，超出编辑上限 {max} 行：未粘贴。请在电子表格中编辑此表，再作为文件选择。',
    },
    en: {
      editorTitle: 'Edit the towers and crossings', editorNote: 'Edit the cells, or copy rows from a spreadsheet (with or without their header) and paste them into a cell; Enter moves down a row, and adds one on the last. The page recomputes as you type.',
      editorTowers: 'Towers', editorCrossings: 'Crossings', addRow: 'Add a row', removeRow: 'Remove',
      removeRowOf: 'Remove row {n}', downloadTowersCsv: 'Download towers.csv', downloadCrossingsCsv: 'Download crossings.csv',
      edited: 'edited ({n} rows)', editorTooLarge: '{n} rows, more than the {max} the editor takes: edit this table in a spreadsheet.',
      editorCell: 'row {n}, {column}', editorEmpty: 'no rows',
      editorPasteTooLarge: 'The paste would make {n} rows, more than the {max} the editor takes: nothing was pasted. Edit this table in a spreadsheet and choose it as a file.',
    },
  };
  // The columns a new table starts with: the command's required ones and the usual optional ones.
  const COLUMNS = {
    towers: ['name', 'station_m', 'kind', 'arm_height_m', 'insulator_length_m', 'insulator_weight_N',
      'angle_deg', 'max_swing_deg'],
    crossings: ['name', 'station_m', 'elevation_m', 'clearance_m', 'offset_m'],
  };
  // More rows than a page of inputs can hold comfortably; such a table is checked as it is. No
  // more than the page checks in a line's table either (web/page/page_limits.js), so that no
  // paste makes a table the page would refuse as a file.
  const MAX_ROWS = Math.min(2000, ...(window.VarnelLimits ? [VarnelLimits.towers, VarnelLimits.crossings] : []));
  const KINDS = ['towers', 'crossings'];

  // A CSV line's cells: commas separate, a cell may be quoted, a quote inside doubled.
  function csvCells(line) {
    const cells = [];
    let cell = '';
    let quoted = false;
    for (let i = 0; i < line.length; ++i) {
      const c = line[i];
      if (quoted) {
        if (c === '"' && line[i + 1] === '"') { cell += '"'; ++i; } else if (c === '"') quoted = false;
        else cell += c;
      } else if (c === '"' && cell.trim() === '') { quoted = true; cell = ''; } else if (c === ',') {
        cells.push(cell.trim());
        cell = '';
      } else cell += c;
    }
    cells.push(quoted ? cell : cell.trim());
    return cells;
  }

  const csvCell = (s) => (/[",\r\n]|^\s|\s$/.test(s) ? '"' + s.replace(/"/g, '""') + '"' : s);

  // The file's text: UTF-8 where it is (its byte order mark dropped), else GBK, as the command
  // reads either.
  function decode(bytes) {
    try {
      return new TextDecoder('utf-8', { fatal: true, ignoreBOM: false }).decode(bytes);
    } catch (e) {
      return new TextDecoder('gbk').decode(bytes);
    }
  }

  function parse(text) {
    const lines = text.split(/\r\n|\r|\n/).filter((l) => l.trim() !== '');
    if (!lines.length) return { columns: [], rows: [] };
    const columns = csvCells(lines[0]);
    const rows = lines.slice(1).map((l) => {
      const cells = csvCells(l);
      while (cells.length < columns.length) cells.push('');
      return cells;
    });
    return { columns, rows };
  }

  window.varnelTowersEditor = function (api) {
    const { $, t, esc } = api;
    api.addText(TEXT);
    const box = $('towers-editor');
    const tables = { towers: null, crossings: null };
    const edited = { towers: false, crossings: false };
    // Each kind's latest load: an earlier one answered late is dropped.
    const loads = { towers: 0, crossings: 0 };

    box.innerHTML = '<details id="editor-details"><summary data-t="editorTitle">' + esc(t('editorTitle')) +
      '</summary><p class="note" data-t="editorNote">' + esc(t('editorNote')) + '</p>' +
      KINDS.map((kind) => '<div class="editor" id="editor-' + kind + '"><h3 data-t="' +
        (kind === 'towers' ? 'editorTowers' : 'editorCrossings') + '"></h3>' +
        '<div class="scroll editor-scroll" id="editor-' + kind + '-grid"></div>' +
        '<p class="error" id="editor-' + kind + '-error" role="alert"></p><p>' +
        '<button type="button" id="editor-' + kind + '-add" data-t="addRow"></button> ' +
        '<button type="button" id="editor-' + kind + '-download" data-t="' +
        (kind === 'towers' ? 'downloadTowersCsv' : 'downloadCrossingsCsv') + '"></button></p></div>').join('') +
      '</details>';
    for (const el of box.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);

    // The table as the command reads it. A row with nothing typed in yet is not a row of the
    // line: it is left out, so that adding one does not make the command refuse the file.
    const filled = (kind) => tables[kind].rows.filter((r) => r.some((c) => c !== ''));
    function csvOf(kind) {
      return [tables[kind].columns, ...filled(kind)].map((r) => r.map(csvCell).join(',')).join('\n') + '\n';
    }

    // Writes the table where the command will read it, and makes it the file in use. One path a
    // kind: the worker keeps the page's files for its successor, and so keeps only the latest.
    function commit(kind) {
      const path = '/tables/edited/' + kind + '.csv';
      api.writeFile(path, new TextEncoder().encode(csvOf(kind)));
      edited[kind] = true;
      api.useProfileFile(kind, path, t('edited', { n: filled(kind).length }));
    }

    function render(kind) {
      const tb = tables[kind];
      const grid = $('editor-' + kind + '-grid');
      $('editor-' + kind + '-add').disabled = tb.tooLarge || !tb.columns.length;
      if (tb.tooLarge) {
        grid.innerHTML = '<p class="note">' + esc(t('editorTooLarge', { n: tb.rows.length, max: MAX_ROWS })) + '</p>';
        return;
      }
      // Each column as wide as its longest text, within reason.
      const sizes = tb.columns.map((c, k) => Math.max(4, Math.min(28, 1 + Math.max(c.length,
        ...tb.rows.map((r) => (r[k] === undefined ? 0 : r[k].length))))));
      let html = '<table class="grid editor-grid" id="editor-' + kind + '-table"><thead><tr><th scope="col">#</th>' +
        tb.columns.map((c) => '<th scope="col">' + esc(c) + '</th>').join('') + '<th scope="col"></th></tr></thead><tbody>';
      tb.rows.forEach((row, r) => {
        html += '<tr><th scope="row">' + (r + 1) + '</th>' + tb.columns.map((c, k) =>
          '<td><label><span class="sr-only">' + esc(t('editorCell', { n: r + 1, column: c })) +
          '</span><input type="text" class="cell" spellcheck="false" data-row="' + r + '" data-col="' + k +
          '" value="' + esc(row[k] === undefined ? '' : row[k]) + '" size="' + sizes[k] + '"></label></td>').join('') +
          '<td><button type="button" class="remove" data-row="' + r + '" aria-label="' +
          esc(t('removeRowOf', { n: r + 1 })) + '">' + esc(t('removeRow')) + '</button></td></tr>';
      });
      if (!tb.rows.length) {
        html += '<tr><td colspan="' + (tb.columns.length + 2) + '" class="none">' + esc(t('editorEmpty')) + '</td></tr>';
      }
      grid.innerHTML = html + '</tbody></table>';
    }

    function focusCell(kind, r, k) {
      const cell = $('editor-' + kind + '-grid').querySelector('input[data-row="' + r + '"][data-col="' + k + '"]');
      if (cell) { cell.focus(); cell.select(); }
    }

    function addRow(kind) {
      const tb = tables[kind];
      if (!tb || tb.tooLarge) return;
      tb.rows.push(tb.columns.map(() => ''));
      render(kind);
      commit(kind);
      api.schedule(150);
    }

    // Rows pasted from a spreadsheet: tab-separated cells, a row a line. A first row of column
    // names makes them the table's columns and the rows after it the whole table; otherwise the
    // rows fill the table from the cell pasted into, adding rows as they need.
    function paste(kind, text, r0, k0) {
      const lines = text.replace(/\r\n|\r/g, '\n').replace(/\n+$/, '').split('\n');
      const rows = lines.map((l) => l.split('\t').map((c) => c.trim()));
      const tb = tables[kind];
      const known = new Set([...COLUMNS[kind], ...tb.columns]);
      const isHeader = rows[0].includes('name') && rows[0].every((c) => known.has(c) || /^[a-z_]+$/.test(c) ||
        /^max_swing_.+_deg$/.test(c));
      const n = isHeader ? rows.length - 1 : Math.max(tb.rows.length, r0 + rows.length);
      $('editor-' + kind + '-error').textContent = n > MAX_ROWS ? t('editorPasteTooLarge', { n, max: MAX_ROWS }) : '';
      if (n > MAX_ROWS) return;
      if (isHeader) {
        tb.columns = rows[0];
        tb.rows = rows.slice(1).map((r) => tb.columns.map((c, k) => (r[k] === undefined ? '' : r[k])));
      } else {
        rows.forEach((cells, i) => {
          const r = r0 + i;
          while (tb.rows.length <= r) tb.rows.push(tb.columns.map(() => ''));
          cells.forEach((c, j) => { if (k0 + j < tb.columns.length) tb.rows[r][k0 + j] = c; });
        });
      }
      tb.tooLarge = tb.rows.length > MAX_ROWS;
      render(kind);
      commit(kind);
      api.schedule(150);
    }

    for (const kind of KINDS) {
      const grid = $('editor-' + kind + '-grid');
      // Typing: the cell's text into the table and the file; app.js recomputes when it pauses.
      grid.addEventListener('input', (e) => {
        const el = e.target;
        if (!el.classList.contains('cell')) return;
        tables[kind].rows[Number(el.dataset.row)][Number(el.dataset.col)] = el.value;
        commit(kind);
      });
      grid.addEventListener('keydown', (e) => {
        const el = e.target;
        if (!el.classList.contains('cell') || e.key !== 'Enter') return;
        e.preventDefault();
        const r = Number(el.dataset.row) + (e.shiftKey ? -1 : 1);
        const k = Number(el.dataset.col);
        if (r >= tables[kind].rows.length) addRow(kind);
        if (r >= 0) focusCell(kind, r, k);
      });
      grid.addEventListener('paste', (e) => {
        if (!tables[kind] || tables[kind].tooLarge) return;
        const text = e.clipboardData ? e.clipboardData.getData('text/plain') : '';
        // A single cell's text pastes as in any field.
        if (!/[\t\n]/.test(text.replace(/\n+$/, ''))) return;
        e.preventDefault();
        const el = e.target;
        const inCell = el.classList && el.classList.contains('cell');
        paste(kind, text, inCell ? Number(el.dataset.row) : tables[kind].rows.length, inCell ? Number(el.dataset.col) : 0);
      });
      grid.addEventListener('click', (e) => {
        const b = e.target.closest('button.remove');
        if (!b) return;
        const r = Number(b.dataset.row);
        tables[kind].rows.splice(r, 1);
        render(kind);
        commit(kind);
        api.schedule(150);
        focusCell(kind, Math.min(r, tables[kind].rows.length - 1), 0);
      });
      $('editor-' + kind + '-add').addEventListener('click', () => {
        addRow(kind);
        focusCell(kind, tables[kind].rows.length - 1, 0);
      });
      // The file the check reads, read back from the module: the table as the editor wrote it.
      $('editor-' + kind + '-download').addEventListener('click', async () => {
        if (!tables[kind]) return;
        if (!edited[kind]) commit(kind);
        const bytes = await api.readFile(api.profilePath(kind));
        if (bytes) api.download(kind + '.csv', 'text/csv', bytes);
      });
    }

    return {
      // Takes the file in use (the sample's, or one the user chose) into the editor; none in use
      // (a user's line without crossings) is an empty table of the usual columns.
      async load(kind) {
        if (!KINDS.includes(kind)) return;
        const mine = ++loads[kind];
        const path = api.profilePath(kind);
        const bytes = path === null ? null : await api.readFile(path);
        if (mine !== loads[kind]) return;
        let doc = { columns: COLUMNS[kind].slice(), rows: [] };
        try {
          const parsed = bytes ? parse(decode(bytes)) : doc;
          if (parsed.columns.length) doc = parsed;
        } catch (e) {
          // A file that cannot be read is the command's to refuse; the editor starts empty.
        }
        doc.tooLarge = doc.rows.length > MAX_ROWS;
        tables[kind] = doc;
        edited[kind] = false;
        $('editor-' + kind + '-error').textContent = '';
        render(kind);
      },
      relabel() {
        for (const el of box.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
        for (const kind of KINDS) {
          if (!tables[kind]) continue;
          render(kind);
          // The file in use keeps its path; its label follows the language.
          if (edited[kind]) api.useProfileFile(kind, api.profilePath(kind), t('edited', { n: filled(kind).length }));
        }
      },
    };
  };
}());
