// The command's refusals and warnings, said in the page's language: the file named as the user
// chose it (never the module's own folders), the option as the page's field, every figure kept.
//
// The command says a failure as one line, `varnel: FILE: reason` or `varnel: --option: "text"
// reason`, and a warning as `varnel: warning: ...`. The reasons this page can provoke from its
// fields and files are translated phrase by phrase; a reason met nowhere below keeps the
// command's English words after the translated file or field, so nothing the command said is
// lost.
'use strict';

(function () {
  // The page's texts that belong to the worker, its limits and these messages.
  const TEXT = {
    zh: {
      busy: '正在计算…', cancel: '取消计算', cancelled: '已取消计算；修改输入后将重新计算。',
      workerRestarted: '计算模块已重新启动（{why}）。',
      tooManySpans: '本页一次最多计算 {limit} 个档距，此范围有 {n} 个：请缩小范围或加大步长。',
      tooManyTemperatures: '本页一次最多计算 {limit} 个架线温度，此范围有 {n} 个：请缩小范围或加大步长。',
      tooManySectionSpans: '本页一个耐张段最多 {limit} 档，输入有 {n} 档。',
      tooManyRows: '{file}：{n} 行数据，本页最多读取 {limit} 行（{what}）。',
      tooLarge: '{file}：{size} MB，本页最多读取 {limit} MB 的文件。',
      limitsNote: '本页的上限：应力弧垂表 {spans} 个档距，架线表 {temps} 个温度，每个文件 {mb} MB，杆塔表 {towers} 基，地形表 {terrain} 点，交叉跨越表 {crossings} 项。命令行的上限更大。',
      rowsTowers: '杆塔', rowsTerrain: '地形点', rowsCrossings: '交叉跨越',
      unknownArea: '链接中的气象区“{name}”不在所用的表中，已改用“{used}”。',
      unknownConductor: '链接中的导线“{name}”不在所用的表中，已改用“{used}”。',
      noCrossings: '无（未检查交叉跨越）', filesInUse: '所用文件',
      modelUsed: '计算模型：{model}{dflt}', modelDefault: '（命令的默认值）',
      conditionsUsed: '工况：气象区“{area}”的 {n} 个工况', conditionsAdded: '；另加 {list}',
      fieldsHint: '请在“绘图起点里程”“绘图终点里程”中缩小绘图范围',
      zoomIn: '放大', zoomOut: '缩小', zoomFit: '适合宽度', zoomActual: '原始大小',
      zoomHint: '拖动平移，Ctrl + 滚轮缩放',
      refused: '{who}：{why}', sampleFile: '示例 {name}', sectionFile: '耐张段各档',
      warningLead: '注意：',
      // reasons
      notNumber: '“{text}”不是数字', outOfRange: '“{text}”超出数字范围', notFinite: '“{text}”不是有限数',
      atLeast: '须不小于 {n}，现为“{text}”', above: '须大于 {n}，现为“{text}”',
      atMost: '须不大于 {n}，现为“{text}”', below: '须小于 {n}，现为“{text}”',
      shortFile: '文件有 {size} 字节，比文件头给出的 {want} 字节（文件头 {header} + {records} 条记录 × {length} 字节）少 {missing} 字节',
      shorterThanHeader: '文件只有 {size} 字节，不足 32 字节的文件头',
      versionByte: '版本字节 {v} 不是本程序能读的 dBASE 版本（0x03、0x30），这不是 dBASE 表',
      fieldCount: '有 {n} 个字段，{kind}应有 {want} 个', kindAreas: '气象区表', kindLoadCase: '荷载组合气象区表',
      kindConductors: '导线表', cannotOpen: '无法打开：{why}',
      longSpan: '{span} m 的档距超过 5 km，请确认单位是米',
      modelMatters: '第 {span} 档（{l} m）：{a}的最大弧垂 {fa} m，{b}的 {fb} m；此处模型的差别不可忽略',
      csvAt: '第 {line} 行第 {column} 列（{name}）：{why}', csvLine: '第 {line} 行：{why}',
      emptyCell: '为空', negative: '为负数', stationsIncrease: '里程须递增：{a} 在 {b} 之后',
      unknownColumn: '第 {line} 行第 {column} 列：未知的列 {name}', missingColumn: '第 {line} 行：缺少 {name} 列',
      namedTwice: '第 {line} 行第 {column} 列：{name} 列出现两次',
      emptyCsv: '文件为空；第一行须写列名', cells: '有 {n} 个单元格，表头有 {want} 个',
      offTerrain: '杆塔 {name}（{s} m）不在地形范围内（{a} 至 {b} m）',
      windowOutside: '绘图范围 {a} 至 {b} m 不含线路的任何部分，线路从 {c} m 到 {d} m',
      labelsLeftOut: '此比例下有 {n} 个标注未画出：请在“绘图起点里程”“绘图终点里程”中缩小绘图范围',
      toBelowFrom: '“止”小于“起”', stepAbove0: '“步长”须大于 0', expectedRange: '应为“起:止:步长”三个数',
      noArea: '没有气象区“{name}”{mean}；表中有：{list}', noConductor: '没有导线“{name}”{mean}；表中有：{list}',
      didYouMean: '（是否指“{near}”？）',
      tooHigh: '绘图将高 {px} px：请降低“竖向放大倍数”或缩小绘图范围',
      catenary: '悬链线', parabola: '斜抛物线', modelDefaultIs: '命令默认（{model}）', stringingRange: '架线温度范围',
    },
    en: {
      busy: 'Computing…', cancel: 'Cancel', cancelled: 'Cancelled; change an input to compute again.',
      workerRestarted: 'The calculation module was restarted ({why}).',
      tooManySpans: 'The page computes at most {limit} spans at a time; this range has {n}: narrow it or take a larger step.',
      tooManyTemperatures: 'The page computes at most {limit} stringing temperatures at a time; this range has {n}: narrow it or take a larger step.',
      tooManySectionSpans: 'The page takes at most {limit} spans in a section; this one has {n}.',
      tooManyRows: '{file}: {n} rows; the page reads at most {limit} ({what}).',
      tooLarge: '{file}: {size} MB; the page reads files of at most {limit} MB.',
      limitsNote: 'The page\'s limits: {spans} spans in a sag table, {temps} stringing temperatures, {mb} MB a file, {towers} towers, {terrain} terrain points, {crossings} crossings. The command line takes more.',
      rowsTowers: 'towers', rowsTerrain: 'terrain points', rowsCrossings: 'crossings',
      unknownArea: 'The link names the weather area "{name}", which the table in use does not hold; "{used}" is used instead.',
      unknownConductor: 'The link names the conductor "{name}", which the table in use does not hold; "{used}" is used instead.',
      noCrossings: 'none (no crossing checked)', filesInUse: 'Files in use',
      modelUsed: 'Model: {model}{dflt}', modelDefault: ' (the command\'s default)',
      conditionsUsed: 'Conditions: weather area "{area}" ({n})', conditionsAdded: '; added: {list}',
      fieldsHint: 'narrow the drawing with "Drawn from station" and "Drawn to station"',
      zoomIn: 'Zoom in', zoomOut: 'Zoom out', zoomFit: 'Fit the width', zoomActual: 'Actual size',
      zoomHint: 'Drag to pan, Ctrl + wheel to zoom',
      refused: '{who}: {why}', sampleFile: 'sample {name}', sectionFile: 'the section\'s spans',
      warningLead: 'Note: ',
      notNumber: '"{text}" is not a number', outOfRange: '"{text}" is out of the range of numbers',
      notFinite: '"{text}" is not a finite number',
      atLeast: 'must be at least {n}, not "{text}"', above: 'must be above {n}, not "{text}"',
      atMost: 'must be at most {n}, not "{text}"', below: 'must be below {n}, not "{text}"',
      shortFile: 'the file is {size} bytes, {missing} short of the {want} its header gives (header {header} + {records} records of {length} bytes)',
      shorterThanHeader: 'the file is {size} bytes, shorter than the 32-byte header',
      versionByte: 'version byte {v} is not a dBASE version this program reads (0x03, 0x30): this is not a dBASE table',
      fieldCount: '{n} fields; a {kind} has {want}', kindAreas: 'weather area table',
      kindLoadCase: 'load-case weather area table', kindConductors: 'conductor table', cannotOpen: 'cannot be opened: {why}',
      longSpan: 'a span of {span} m is longer than 5 km; check that it is in metres',
      modelMatters: 'span {span} ({l} m): the {a}\'s largest sag {fa} m, the {b}\'s {fb} m; the model matters here',
      csvAt: 'line {line}, column {column} ({name}): {why}', csvLine: 'line {line}: {why}',
      emptyCell: 'empty', negative: 'negative', stationsIncrease: 'stations must increase: {a} after {b}',
      unknownColumn: 'line {line}, column {column}: unknown column {name}', missingColumn: 'line {line}: missing column {name}',
      namedTwice: 'line {line}, column {column}: {name} named twice',
      emptyCsv: 'empty; the first line must name the columns', cells: '{n} cells where the header names {want}',
      offTerrain: 'tower {name} at {s} m is off the terrain ({a} to {b} m)',
      windowOutside: 'the window {a} to {b} m holds no part of the line, which runs from {c} to {d} m',
      labelsLeftOut: '{n} labels left out at this scale: narrow the drawing with "Drawn from station" and "Drawn to station"',
      toBelowFrom: '"To" is below "From"', stepAbove0: '"Step" must be above 0', expectedRange: 'expected three numbers, from:to:step',
      noArea: 'no weather area "{name}"{mean}; there are: {list}', noConductor: 'no conductor "{name}"{mean}; there are: {list}',
      didYouMean: ' (did you mean "{near}"?)',
      tooHigh: 'the drawing would be {px} px high: lower the "Vertical exaggeration" or narrow the drawn stations',
      catenary: 'catenary', parabola: 'inclined parabola', modelDefaultIs: 'The command\'s default ({model})',
      stringingRange: 'Stringing temperatures',
    },
  };

  function text(lang, key, subs) {
    let s = (TEXT[lang] && TEXT[lang][key]) || TEXT.zh[key];
    if (s === undefined) return undefined;
    if (subs) for (const k of Object.keys(subs)) s = s.split('{' + k + '}').join(String(subs[k]));
    return s;
  }

  // Reasons, as the command words them, and their translation; groups are named after the
  // placeholders of the page's text.
  const REASONS = [
    [/^"(?<text>.*)" is not a number$/, 'notNumber'],
    [/^"(?<text>.*)" is out of the range of numbers$/, 'outOfRange'],
    [/^"(?<text>.*)" is not a finite number$/, 'notFinite'],
    [/^"(?<text>.*)" must be at least (?<n>\S+)$/, 'atLeast'],
    [/^"(?<text>.*)" must be above (?<n>\S+)$/, 'above'],
    [/^"(?<text>.*)" must be at most (?<n>\S+)$/, 'atMost'],
    [/^"(?<text>.*)" must be below (?<n>\S+)$/, 'below'],
    [/^the file is (?<size>\d+) bytes, (?<missing>\d+) short of the (?<want>\d+) its header gives \(header length (?<header>\d+) \+ (?<records>\d+) records? of (?<length>\d+) bytes?\)$/, 'shortFile'],
    [/^the file is (?<size>\d+) bytes, shorter than the 32-byte header$/, 'shorterThanHeader'],
    [/^version byte (?<v>0x[0-9a-fA-F]+) is not one this reader reads \(0x03, 0x30\)$/, 'versionByte'],
    [/^(?<n>\d+) fields?; a (?<kind>load-case weather area|weather area|conductor) table has (?<want>\d+)$/, 'fieldCount'],
    [/^cannot open the file: (?<why>.*)$/, 'cannotOpen'],
    [/^a span of (?<span>\S+) m is longer than 5 km; check that it is in metres$/, 'longSpan'],
    [/^span (?<span>\S+) \((?<l>\S+) m\): the (?<a>catenary|parabola)'s largest sag (?<fa>\S+) m, the (?<b>catenary|parabola)'s (?<fb>\S+) m; the model matters here$/, 'modelMatters'],
    [/^empty; the first line must name the columns$/, 'emptyCsv'],
    [/^line (?<line>\d+), column (?<column>\d+): unknown column (?<name>.*)$/, 'unknownColumn'],
    [/^line (?<line>\d+), column (?<column>\d+): (?<name>.*) named twice$/, 'namedTwice'],
    [/^line (?<line>\d+): missing column (?<name>.*)$/, 'missingColumn'],
    [/^line (?<line>\d+), column (?<column>\d+) \((?<name>[^)]*)\): (?<why>.*)$/, 'csvAt'],
    [/^line (?<line>\d+): (?<why>.*)$/, 'csvLine'],
    [/^(?<n>\d+) cells where the header names (?<want>\d+)$/, 'cells'],
    [/^empty$/, 'emptyCell'],
    [/^a negative .*$/, 'negative'],
    [/^stations must increase: (?<a>\S+) after (?<b>.*)$/, 'stationsIncrease'],
    [/^tower (?<name>.*) at (?<s>\S+) m is off the terrain \((?<a>\S+) to (?<b>\S+) m\)$/, 'offTerrain'],
    [/^TO is below FROM$/, 'toBelowFrom'],
    [/^STEP must be above 0$/, 'stepAbove0'],
    [/^expected FROM:TO:STEP$/, 'expectedRange'],
    [/^no weather area "(?<name>.*?)"(?: \(did you mean "(?<near>.*)"\?\))?; there are: (?<list>.*)$/, 'noArea'],
    [/^no conductor "(?<name>.*?)"(?: \(did you mean "(?<near>.*)"\?\))?; there are: (?<list>.*)$/, 'noConductor'],
    [/^the drawing would be (?<px>\S+) px high: lower the exaggeration or narrow the window$/, 'tooHigh'],
    [/^the window (?<a>\S+) to (?<b>\S+) m holds no part of the line, which runs from (?<c>\S+) to (?<d>\S+) m$/, 'windowOutside'],
  ];
  const KINDS = { 'weather area': 'kindAreas', 'load-case weather area': 'kindLoadCase', conductor: 'kindConductors' };
  const MODELS = { catenary: 'catenary', parabola: 'parabola' };

  // A reason in the page's language, its nested reasons too (a CSV cell's own reason).
  function reason(lang, why) {
    for (const [re, key] of REASONS) {
      const m = re.exec(why);
      if (!m) continue;
      const g = Object.assign({}, m.groups);
      if (g.kind) g.kind = text(lang, KINDS[g.kind]);
      if (g.a && MODELS[g.a]) g.a = text(lang, MODELS[g.a]);
      if (g.b && MODELS[g.b]) g.b = text(lang, MODELS[g.b]);
      if (g.why && key !== 'cannotOpen') g.why = reason(lang, g.why);
      if ('near' in g) g.mean = g.near === undefined ? '' : text(lang, 'didYouMean', { near: g.near });
      return text(lang, key, g);
    }
    return why;
  }

  // Where the module keeps what the page wrote: the user's files in a folder each, the samples,
  // the section typed in. `ctx.files`: path → the name the user knows; `ctx.fields`: option →
  // the page's label of its field.
  function nameOfPath(lang, path, ctx) {
    if (ctx.files && ctx.files[path] !== undefined) return ctx.files[path];
    let m = /^\/samples\/(?:profile\/)?([^/]+)$/.exec(path);
    if (m) return text(lang, 'sampleFile', { name: m[1] });
    if (path === '/in/section.csv') return text(lang, 'sectionFile');
    m = /^\/(?:tables|in|out)\/(?:.*\/)?([^/]+)$/.exec(path);
    return m ? m[1] : path;
  }

  // One line of the command's standard error: {warning, text}.
  function line(lang, raw, ctx) {
    let s = raw.replace(/^varnel: /, '');
    const warning = s.startsWith('warning: ');
    if (warning) s = s.slice('warning: '.length);
    // Who is refused: an option (with its value, as --spans gives it) or a file.
    let who = null;
    let m = /^(--[a-z0-9-]+(?:\/--[a-z0-9-]+)?)(?: \S+?)?: (.*)$/.exec(s);
    if (m) {
      who = m[1].split('/').map((o) => (ctx.fields && ctx.fields[o]) || o).join(' / ');
      s = m[2];
    } else if ((m = /^(\/[^:]*?): (.*)$/.exec(s))) {
      who = nameOfPath(lang, m[1], ctx);
      s = m[2];
    }
    // Paths anywhere else in the text (a file named inside a reason).
    s = s.replace(/\/(?:samples|tables|in|out)\/[^\s:,;)]+/g, (p) => nameOfPath(lang, p, ctx));
    const why = reason(lang, s);
    return { warning, text: who === null ? why : text(lang, 'refused', { who, why }) };
  }

  // The command's standard error as the page shows it: its lines, translated.
  function say(stderr, lang, ctx = {}) {
    return String(stderr).split('\n').filter((x) => x.trim() !== '').map((x) => line(lang, x.trim(), ctx));
  }

  window.VarnelRefusals = { say, text, reason };
}());
