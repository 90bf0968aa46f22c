// The page runs the varnel command itself, compiled to WebAssembly: every figure, table, CSV and
// chart shown here is the command's own output (its --json, --csv and --svg), so the page and
// the command agree to the bit. This file only gathers inputs, calls the command and lays its
// answers out. A classic script (not a module): module scripts do not load from file://.
'use strict';

(function () {
  const TEXT = {
    zh: {
      title: 'Varnel 线路设计', langButton: 'English', langHint: '切换界面语言',
      loading: '正在载入计算模块…', tabsLabel: '计算', tabTables: '表格', tabSpan: '档距',
      tabSag: '应力弧垂表', tabSection: '耐张段', tabThermal: '载流量', design: '设计条件',
      area: '气象区', conductor: '导线', avgRatio: '年平均运行应力系数', strengthFactor: '强度系数',
      safety: '安全系数', model: '模型', parabola: '斜抛物线', catenary: '悬链线',
      tablesNote: '默认使用随附的示例表。可选择或拖入您自己的气象区表和导线表（dBASE，GBK 编码），只在本页内存中读取，不会上传。',
      areasTable: '气象区表', conductorsTable: '导线表', chooseAreas: '选择气象区表 (.dbf)',
      chooseConductors: '选择导线表 (.dbf)', dropHere: '或拖放到此处',
      loadCase: '荷载组合表（10 个字段，6 种工况）', source: '来源', useSample: '使用示例表',
      sample: '示例表', spanInputs: '档距', span: '档距', cos: '高差角余弦',
      account: '命令输出（含控制工况的搜索过程）', spanRange: '档距范围', from: '起', to: '止',
      step: '步长', downloadCsv: '下载 CSV', downloadSvg: '下载 SVG',
      bom: 'CSV 加 BOM（供电子表格识别中文）', criticalSpans: '临界档距', sagTable: '应力弧垂表',
      sectionInputs: '耐张段',
      sectionSpans: '各档档距与高差（每行一档：档距 m，高差 m；可从电子表格粘贴，制表符或逗号分隔）',
      stringFrom: '架线温度 起', compensate: '初伸长补偿降温', suspensionSafety: '悬挂点安全系数',
      spansTable: '各档弧垂', stringingTable: '架线表', thermalInputs: '载流量',
      thermalConductor: '导线', fromTable: '导线表中所选导线（示例表附电阻）',
      byDiameter: '按外径与电阻', diameter: '外径', r20: '20 °C 直流电阻', solve: '求解',
      solveTemperature: '已知电流求导线温度', solveCurrent: '已知最高温度求载流量', current: '电流',
      maxTemperature: '导线最高温度', ambient: '环境温度', wind: '风速', windAngle: '风向与线路夹角',
      elevation: '海拔', solar: '日照强度', emissivity: '辐射系数', absorptivity: '吸热系数',
      thermalModel: '计算方法',
      footer: '本页不联网：计算在浏览器内由 Varnel 命令（编译为 WebAssembly）完成，结果即命令行的结果。',
      condition: '工况', specificLoad: '比载', stress: '应力', sag: '弧垂', limit: '许用应力',
      holds: '满足', yes: '是', no: '否', controlling: '控制工况', controlStress: '控制应力',
      none: '无', noControlling: '没有满足全部条件的控制工况', rangeFrom: '档距自',
      rangeTo: '至', conditionA: '工况甲', conditionB: '工况乙', criticalSpan: '临界档距',
      noCrossing: '无交点', ranges: '各档距段的控制工况', pairs: '两两工况间的临界档距',
      rulingSpan: '代表档距', rulingCos: '代表档距高差角余弦',
      suspensionAllowable: '悬挂点许用应力', index: '档', heightDifference: '高差',
      maxSag: '最大弧垂', maxSagCondition: '最大弧垂工况', maxSupportStress: '悬挂点最大应力',
      otherModelSag: '另一模型最大弧垂',
      suspensionOk: '悬挂点应力', ok: '合格', exceeded: '超限', temperature: '温度',
      spanN: '第 {n} 档弧垂', badLine: '第 {n} 行不是“档距, 高差”两个数：{line}',
      noSpans: '请至少输入一档', tableLoaded: '{file}：{n} 项', commandFailed: '命令失败',
      areasCount: '{n} 个气象区', conductorsCount: '{n} 种导线', unloadable: '无法读取',
      term: '项目', value: '数值', unit: '单位', iceMm: '覆冰', windMs: '风速',
      temperatureC: '气温', name: '名称', areaMm2: '截面', diameterMm: '外径', massKgKm: '单位质量',
      modulus: '弹性模量', expansion: '线膨胀系数', strength: '额定拉断力', stranding: '结构',
      th_model: '计算方法', th_temperature_degC: '导线温度', th_current_A: '电流',
      th_resistance_ohm_per_m: '交流电阻', th_joule_W_per_m: '焦耳热', th_solar_W_per_m: '日照吸热',
      th_convection_W_per_m: '对流散热', th_forced_W_per_m: '强迫对流',
      th_natural_W_per_m: '自然对流', th_radiation_W_per_m: '辐射散热',
      tabProfile: '纵断面',
      profileNote: '默认使用随附的示例线路。可选择或拖入您自己的地形、杆塔和交叉跨越表（CSV，UTF-8 或 GBK），只在本页内存中读取。',
      chooseTerrain: '地形表 (.csv)', chooseTowers: '杆塔表 (.csv)', chooseCrossings: '交叉跨越表 (.csv)',
      useSampleLine: '使用示例线路', profileInputs: '纵断面校验', groundClearance: '对地距离要求',
      exaggeration: '竖向放大倍数', stationFrom: '绘图起点里程', stationTo: '绘图终点里程',
      downloadSpans: '下载各档 CSV', downloadTowers: '下载杆塔 CSV', downloadViolations: '下载超限项 CSV',
      violations: '超限项', sectionsTable: '耐张段', spansTable2: '各档', towersTable: '杆塔',
      noViolations: '无超限项', violationsCount: '{n} 项超限', kind: '类别', where: '位置',
      station: '里程', figure: '数值', v_ground: '对地距离', v_crossing: '交叉跨越', v_swing: '悬垂串摇摆角',
      v_uplift: '上拔', v_suspension_point: '悬挂点应力', fromTower: '起', toTower: '止', spansN: '档数',
      nearAttachment: '近端挂点高程', farAttachment: '远端挂点高程', lowPoint: '最低点里程',
      minClearance: '最小对地距离', minClearanceAt: '所在里程', required: '要求', crossings: '交叉跨越',
      supportStress: '悬挂点应力', result: '结论', tower: '杆塔', towerKind: '型式', strain: '耐张',
      suspension: '直线', ground: '地面高程', attachment: '挂点高程', hSpan: '水平档距',
      vSpanMin: '最小垂直档距', vSpanMax: '最大垂直档距', vLimit: '限值', maxVLoad: '最大垂直荷载', maxHLoad: '最大水平荷载', maxSwing: '最大摇摆角',
      swingLimit: '允许摇摆角', uplift: '上拔', upliftLoad: '最大上拔力',
      windHeight: '气象区风速基准高度', alphaLoads: '风压不均匀系数（杆塔荷载）',
      alphaClearance: '风压不均匀系数（电气间隙）',
      windNote: '风：气象区风速为 {h} m 高处的风速，地面粗糙度 {terrain} 类{to15}；杆塔荷载的 α 取 {loads}，摇摆角与交叉跨越的 α 取 {clearance}。',
      to15: '，导线与绝缘子串风荷载换算至 15 m（×√1.14）', alphaTableLoads: 'GB 50545-2010 表 10.1.18-1（杆塔荷载）',
      alphaTableClearance: 'GB 50545-2010 表 10.1.18-1（电气间隙）', alphaFixed: '定值 {a}',
      solveFor: '求解', solveNone: '不求解', solveMaxT: '各项距离允许的导线最高温度',
      downloadSolve: '下载最高温度 CSV', solveTitle: '各项距离允许的导线最高温度（无风、无冰）',
      solveLimit: '导线最高允许温度', solveSetBy: '控制项', solveCurrent: '对应载流量',
      solveFailsAt: '在 {t} °C 即已不满足', solveHoldsTo: '至 {t} °C 均满足', solveSearched: '搜索范围',
      solveGround: '{span} 对地距离', solveCrossing: '{span} 跨越 {crossing}', solveNoCurrent: '无：{why}',
      solveAskCurrent: '填写环境温度、风速或日照强度以求载流量', spanName: '档',
      pfCurrent: '电流（代替导线温度）', ownTemperature: '本项允许温度',
      crossingName: '跨越物',
    },
    en: {
      title: 'Varnel line design', langButton: '中文', langHint: 'Switch the page language',
      loading: 'Loading the calculation module…', tabsLabel: 'Calculations', tabTables: 'Tables',
      tabSpan: 'Span', tabSag: 'Sag table', tabSection: 'Section', tabThermal: 'Thermal',
      design: 'Design inputs', area: 'Weather area', conductor: 'Conductor',
      avgRatio: 'Annual average ratio', strengthFactor: 'Strength factor', safety: 'Safety factor',
      model: 'Model', parabola: 'Inclined parabola', catenary: 'Catenary',
      tablesNote: 'The shipped sample tables are used by default. Choose or drop your own weather-area and conductor tables (dBASE, GBK texts); they are read in this page\'s memory and never uploaded.',
      areasTable: 'Weather areas', conductorsTable: 'Conductors',
      chooseAreas: 'Choose a weather-area table (.dbf)',
      chooseConductors: 'Choose a conductor table (.dbf)', dropHere: 'or drop it here',
      loadCase: 'Load-case table (10 fields, six conditions)', source: 'Source',
      useSample: 'Use the sample', sample: 'sample table', spanInputs: 'Span', span: 'Span',
      cos: 'Cosine of the height-difference angle', account: 'The command\'s output (with its search for the controlling condition)',
      spanRange: 'Span range', from: 'From', to: 'To', step: 'Step', downloadCsv: 'Download CSV',
      downloadSvg: 'Download SVG', bom: 'CSV with a byte order mark (for spreadsheets)',
      criticalSpans: 'Critical spans', sagTable: 'Stress and sag table', sectionInputs: 'Strain section',
      sectionSpans: 'Spans and height differences (one span a line: span m, height difference m; paste from a spreadsheet, tab or comma separated)',
      stringFrom: 'Stringing temperature from', compensate: 'Compensation for initial elongation',
      suspensionSafety: 'Suspension point safety factor', spansTable: 'Sags per span',
      stringingTable: 'Stringing table', thermalInputs: 'Thermal rating',
      thermalConductor: 'Conductor', fromTable: 'The conductor chosen above (samples carry resistance)',
      byDiameter: 'By diameter and resistance', diameter: 'Diameter', r20: 'DC resistance at 20 °C',
      solve: 'Solve for', solveTemperature: 'Temperature for a current',
      solveCurrent: 'Ampacity for a temperature', current: 'Current',
      maxTemperature: 'Highest conductor temperature', ambient: 'Air temperature', wind: 'Wind speed',
      windAngle: 'Angle of wind to line', elevation: 'Elevation', solar: 'Solar irradiance',
      emissivity: 'Emissivity', absorptivity: 'Absorptivity', thermalModel: 'Method',
      footer: 'This page makes no network request: the Varnel command, compiled to WebAssembly, computes in the browser: its figures are those of the command line.',
      condition: 'Condition', specificLoad: 'Specific load', stress: 'Stress', sag: 'Sag',
      limit: 'Limit', holds: 'Holds', yes: 'yes', no: 'no', controlling: 'Controlling condition',
      controlStress: 'Strung to', none: 'none', noControlling: 'No condition qualifies as controlling',
      rangeFrom: 'Span from', rangeTo: 'to', conditionA: 'Condition', conditionB: 'Condition',
      criticalSpan: 'Critical span', noCrossing: 'no crossing',
      ranges: 'Controlling condition by span', pairs: 'Critical span of each pair',
      rulingSpan: 'Ruling span', rulingCos: 'Ruling cosine',
      suspensionAllowable: 'Allowable at a suspension point', index: 'Span',
      heightDifference: 'Height difference', maxSag: 'Largest sag',
      maxSagCondition: 'in condition', maxSupportStress: 'Largest support stress',
      otherModelSag: 'By the other model',
      suspensionOk: 'Support stress', ok: 'ok', exceeded: 'exceeded', temperature: 'Temperature',
      spanN: 'Sag, span {n}', badLine: 'Line {n} is not two numbers "span, height difference": {line}',
      noSpans: 'Type at least one span', tableLoaded: '{file}: {n} entries',
      commandFailed: 'The command failed', areasCount: '{n} weather areas',
      conductorsCount: '{n} conductors', unloadable: 'cannot be read', term: 'Term',
      value: 'Value', unit: 'Unit', iceMm: 'Ice', windMs: 'Wind', temperatureC: 'Temperature',
      name: 'Name', areaMm2: 'Area', diameterMm: 'Diameter', massKgKm: 'Mass',
      modulus: 'Elastic modulus', expansion: 'Expansion', strength: 'Rated strength',
      stranding: 'Stranding', th_model: 'Method', th_temperature_degC: 'Conductor temperature',
      th_current_A: 'Current', th_resistance_ohm_per_m: 'AC resistance', th_joule_W_per_m: 'Joule heating',
      th_solar_W_per_m: 'Solar heating', th_convection_W_per_m: 'Convective cooling',
      th_forced_W_per_m: 'forced', th_natural_W_per_m: 'natural',
      th_radiation_W_per_m: 'Radiative cooling',
      tabProfile: 'Profile',
      profileNote: 'The shipped sample line is used by default. Choose or drop your own terrain, tower and crossing tables (CSV, UTF-8 or GBK); they are read in this page\'s memory only.',
      chooseTerrain: 'Terrain (.csv)', chooseTowers: 'Towers (.csv)', chooseCrossings: 'Crossings (.csv)',
      useSampleLine: 'Use the sample line', profileInputs: 'Profile check', groundClearance: 'Ground clearance required',
      exaggeration: 'Vertical exaggeration', stationFrom: 'Drawn from station', stationTo: 'Drawn to station',
      downloadSpans: 'Download spans CSV', downloadTowers: 'Download towers CSV',
      downloadViolations: 'Download violations CSV',
      violations: 'Violations', sectionsTable: 'Strain sections', spansTable2: 'Spans', towersTable: 'Towers',
      noViolations: 'No violations', violationsCount: '{n} violations', kind: 'Kind', where: 'Where',
      station: 'Station', figure: 'Figure', v_ground: 'Ground clearance', v_crossing: 'Crossing',
      v_swing: 'String swing', v_uplift: 'Uplift', v_suspension_point: 'Support stress', fromTower: 'From',
      toTower: 'To', spansN: 'Spans', nearAttachment: 'Near attachment', farAttachment: 'Far attachment',
      lowPoint: 'Low point at', minClearance: 'Least clearance', minClearanceAt: 'at station',
      required: 'Required', crossings: 'Crossings', supportStress: 'Support stress', result: 'Result',
      tower: 'Tower', towerKind: 'Kind', strain: 'strain', suspension: 'suspension', ground: 'Ground',
      attachment: 'Attachment', hSpan: 'Wind span', vSpanMin: 'Least weight span', vSpanMax: 'Largest weight span', vLimit: 'Limit',
      maxVLoad: 'Largest vertical load', maxHLoad: 'Largest horizontal load', maxSwing: 'Largest swing',
      swingLimit: 'Allowed swing', uplift: 'Uplift', upliftLoad: 'Largest uplift',
      windHeight: 'Height of the area\'s wind speeds', alphaLoads: 'Wind α, tower loads',
      alphaClearance: 'Wind α, clearances',
      windNote: 'Wind: the area\'s speeds are at {h} m, terrain class {terrain}{to15}; α for the towers\' loads {loads}, for swing and crossings {clearance}.',
      to15: ', raised to 15 m (×√1.14) for the conductor\'s and the strings\' wind loads',
      alphaTableLoads: 'GB 50545-2010 Table 10.1.18-1, tower loads',
      alphaTableClearance: 'GB 50545-2010 Table 10.1.18-1, electrical clearance',
      alphaFixed: 'fixed at {a}',
      solveFor: 'Solve for', solveNone: 'nothing', solveMaxT: 'the highest conductor temperature the clearances allow',
      downloadSolve: 'Download solve CSV', solveTitle: 'The highest conductor temperature the clearances allow (still air, no ice)',
      solveLimit: 'Highest temperature', solveSetBy: 'Set by', solveCurrent: 'Current for it',
      solveFailsAt: 'fails already at {t} °C', solveHoldsTo: 'holds up to {t} °C', solveSearched: 'Searched',
      solveGround: 'the ground under {span}', solveCrossing: '{crossing} over {span}', solveNoCurrent: 'none: {why}',
      solveAskCurrent: 'give the air temperature, wind or sun for the current', spanName: 'Span',
      pfCurrent: 'Current (instead of the temperature)',
      ownTemperature: 'Its own highest temperature', crossingName: 'Crossing',
    },
  };

  // What the page exposes for its tests and for anyone curious: how long each recomputation took
  // (ms: `timings` the command's runs and the page's building of its tables, `commandMs` the
  // command's runs alone, `painted` until the browser has drawn the result).
  // `pending` is true while a recomputation waits for the typing to pause; `generation` counts
  // the times the page took its inputs from the address.
  const page = { ready: false, timings: {}, painted: {}, commandMs: {}, loadMs: null, generation: 0 };
  Object.defineProperty(page, 'pending', { get: () => timer !== null || running > 0 || editorLoads > 0 });
  window.varnelPage = page;

  let lang = 'zh';
  let v = null;
  const $ = (id) => document.getElementById(id);
  const t = (key, subs) => {
    let s = (TEXT[lang] && TEXT[lang][key]) || TEXT.zh[key] || VarnelRefusals.text(lang, key) || key;
    if (subs) for (const k of Object.keys(subs)) s = s.replace('{' + k + '}', subs[k]);
    return s;
  };
  const esc = (s) => String(s).replace(/[&<>"']/g, (c) => ({
    '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;',
  })[c]);

  // A figure as shown (rounded like the command's text tables) with the whole double kept in
  // data-v, so that nothing is lost to the display.
  function num(x, digits, exp) {
    if (x === null || x === undefined) return '<td class="n">—</td>';
    const shown = exp ? x.toExponential(digits) : x.toFixed(digits);
    return '<td class="n" data-v="' + String(x) + '">' + shown + '</td>';
  }
  const unit = (u) => (u ? ' <span class="unit">' + esc(u) + '</span>' : '');
  const th = (label, u) => '<th scope="col">' + esc(label) + unit(u) + '</th>';
  const condName = (c) => (c ? esc(c.name) : '<span class="none">' + esc(t('none')) + '</span>');

  // ----- Tables -----------------------------------------------------------------------------

  const tables = {
    areas: { path: null, sample: 'weather_areas.dbf', label: null, names: [], doc: null },
    conductors: { path: null, sample: 'conductors.dbf', label: null, names: [], doc: null },
  };

  // The command runs in a worker (web/page/worker_client.js). `read` names the files to read
  // back after the run, as text; each is removed before it, so that what the page reads back is
  // this run's and never an earlier one's. A cancelled run answers {cancelled: true}.
  let commandMs = 0;
  async function run(args, read = [], binary = []) {
    const t0 = performance.now();
    try {
      const r = await v.run(args, { read: [...read.map((f) => [f, 'utf8']), ...binary.map((f) => [f, 'binary'])],
        clear: [...read, ...binary] });
      commandMs += performance.now() - t0;
      return r;
    } catch (e) {
      if (e && e.cancelled) return { status: null, cancelled: true, stdout: '', stderr: '', files: {} };
      return { status: 1, stdout: '', stderr: 'varnel: ' + (e && e.message ? e.message : String(e)), files: {} };
    }
  }

  // The command's words in the page's language: the user's files by the names they chose, the
  // options by the fields that give them.
  const fieldOf = {};
  function refusalContext() {
    const files = {};
    for (const kind of Object.keys(tables)) if (tables[kind].label !== null) files[tables[kind].path] = tables[kind].label;
    for (const kind of Object.keys(profileFiles)) {
      if (profileFiles[kind].label !== null) files[profileFiles[kind].path] = profileFiles[kind].label;
    }
    const fields = {};
    for (const [option, id] of Object.entries(fieldOf)) {
      if (id.startsWith('@')) { fields[option] = '“' + t(id.slice(1)) + '”'; continue; }
      const label = $(id) && $(id).closest('label');
      const words = label && label.querySelector('[data-t]');
      if (words) fields[option] = '“' + words.textContent + '”';
    }
    return { files, fields };
  }
  const said = (stderr) => VarnelRefusals.say(stderr, lang, refusalContext());
  const refusal = (r) => (r.cancelled ? t('cancelled')
    : said(r.stderr).map((x) => x.text).join('\n') || t('commandFailed') + ' (' + r.status + ')');

  function loadCaseArgs() { return $('loadCase').checked ? ['--load-case'] : []; }

  // Reads a table through the command; on refusal keeps the table in use and shows the reason.
  async function readTable(kind, path, label) {
    const args = kind === 'areas' ? ['areas', path, '--json', ...loadCaseArgs()]
      : ['conductors', path, '--json'];
    const r = await run(args);
    const err = $('error-' + kind);
    if (r.status !== 0) {
      // Named as the user named the file, which this table is not yet.
      const ctx = refusalContext();
      if (label !== null) ctx.files[path] = label;
      err.textContent = r.cancelled ? t('cancelled')
        : VarnelRefusals.say(r.stderr, lang, ctx).map((x) => x.text).join('\n') || t('commandFailed');
      return false;
    }
    err.textContent = '';
    const doc = JSON.parse(r.stdout);
    const entries = kind === 'areas' ? doc.areas : doc.conductors;
    Object.assign(tables[kind], { path, label, doc, names: entries.map((e) => e.name) });
    renderTableList(kind);
    fillSelect(kind === 'areas' ? 'area' : 'conductor', tables[kind].names);
    return true;
  }

  function renderTableList(kind) {
    const tb = tables[kind];
    $('source-' + kind).textContent = tb.label === null ? t('sample') : tb.label;
    let html = '';
    if (kind === 'areas') {
      html += '<p>' + esc(t('areasCount', { n: tb.doc.areas.length })) + '</p>';
      html += '<table class="grid"><thead><tr>' + th(t('area')) + th(t('condition')) +
        th(t('iceMm'), 'mm') + th(t('windMs'), 'm/s') + th(t('temperatureC'), '°C') +
        '</tr></thead><tbody>';
      for (const a of tb.doc.areas) {
        a.conditions.forEach((c, i) => {
          html += '<tr>' + (i === 0 ? '<th scope="rowgroup" rowspan="' + a.conditions.length +
            '" class="name">' + esc(a.name) + '</th>' : '') + '<td>' + esc(c.name) + '</td>' +
            num(c.ice_mm, 1) + num(c.wind_m_per_s, 2) + num(c.temperature_degC, 1) + '</tr>';
        });
      }
    } else {
      html += '<p>' + esc(t('conductorsCount', { n: tb.doc.conductors.length })) + '</p>';
      html += '<table class="grid"><thead><tr>' + th(t('name')) + th(t('areaMm2'), 'mm²') +
        th(t('diameterMm'), 'mm') + th(t('massKgKm'), 'kg/km') + th(t('modulus'), 'N/mm²') +
        th(t('expansion'), '1/°C') + th(t('strength'), 'N') + th(t('stranding')) +
        '</tr></thead><tbody>';
      for (const c of tb.doc.conductors) {
        html += '<tr><th scope="row" class="name">' + esc(c.name) + '</th>' +
          num(c.area_mm2, 2) + num(c.diameter_mm, 2) + num(c.unit_mass_kg_per_km, 1) +
          num(c.elastic_modulus_N_per_mm2, 0) + num(c.expansion_per_degC, 2, true) +
          num(c.rated_strength_N, 0) + '<td>' + esc(c.stranding) + '</td></tr>';
      }
    }
    $('list-' + kind).innerHTML = html + '</tbody></table>';
  }

  function fillSelect(id, names) {
    const sel = $(id);
    const fromLink = pendingSelection[id] !== undefined;
    const want = fromLink ? pendingSelection[id] : sel.value;
    delete pendingSelection[id];
    sel.innerHTML = names.map((n) => '<option>' + esc(n) + '</option>').join('');
    if (names.includes(want)) sel.value = want;
    // A name the link gave that the table does not hold: said, with the one used instead.
    const notice = $('notice-' + id);
    if (fromLink && want !== '' && !names.includes(want) && names.length) {
      notice.dataset.name = want;
      notice.dataset.used = sel.value;
    } else {
      delete notice.dataset.name;
    }
    renderNotices();
  }
  function renderNotices() {
    for (const id of ['area', 'conductor']) {
      const notice = $('notice-' + id);
      notice.textContent = notice.dataset.name === undefined ? ''
        : t(id === 'area' ? 'unknownArea' : 'unknownConductor', { name: notice.dataset.name, used: notice.dataset.used });
      notice.hidden = notice.textContent === '';
    }
  }
  const pendingSelection = {};

  function useSample(kind) {
    const file = kind === 'areas' && $('loadCase').checked ? 'load_case_areas.dbf' : tables[kind].sample;
    return readTable(kind, v.samplesDir + '/' + file, null);
  }

  // A file the user gave, refused here when it is larger than the page reads; {bytes} or {error}.
  async function fileBytes(file) {
    if (file.size > VarnelLimits.fileMB * 1024 * 1024) {
      return { error: t('tooLarge', { file: file.name, size: (file.size / 1048576).toFixed(1), limit: VarnelLimits.fileMB }) };
    }
    return { bytes: new Uint8Array(await file.arrayBuffer()) };
  }

  let userFileCount = 0;
  async function takeFile(kind, file) {
    if (!file) return;
    const got = await fileBytes(file);
    if (got.error) { $('error-' + kind).textContent = got.error; return; }
    // A folder per file: the page says the file by the name the user knows.
    const dir = '/tables/' + kind + '/' + (++userFileCount);
    const name = file.name.replace(/[/\\]/g, '_') || 'table.dbf';
    const path = dir + '/' + name;
    v.writeFile(path, got.bytes);
    if (await readTable(kind, path, file.name)) schedule(0);
  }

  function wireTableBox(kind) {
    const input = $('file-' + kind);
    input.addEventListener('change', () => { takeFile(kind, input.files[0]); input.value = ''; });
    const zone = $('box-' + kind);
    zone.addEventListener('dragover', (e) => { e.preventDefault(); zone.classList.add('over'); });
    zone.addEventListener('dragleave', () => zone.classList.remove('over'));
    zone.addEventListener('drop', (e) => {
      e.preventDefault();
      zone.classList.remove('over');
      const f = e.dataTransfer && e.dataTransfer.files && e.dataTransfer.files[0];
      takeFile(kind, f);
    });
    $('reset-' + kind).addEventListener('click', () => { useSample(kind); schedule(0); });
  }

  // ----- The command's arguments ------------------------------------------------------------

  // An option with its value as typed (the command parses and judges it); left out when empty,
  // so that the command's default applies.
  function opt(args, name, id) {
    fieldOf[name] = id;
    const value = $(id).value.trim();
    if (value !== '') args.push(name, value);
    return args;
  }

  function designArgs() {
    const args = ['--areas', tables.areas.path, '--area', $('area').value,
      '--conductors', tables.conductors.path, '--conductor', $('conductor').value,
      ...loadCaseArgs()];
    Object.assign(fieldOf, { '--area': 'area', '--conductor': 'conductor' });
    opt(args, '--avg-ratio', 'avgRatio');
    opt(args, '--strength-factor', 'strengthFactor');
    opt(args, '--safety', 'safety');
    // Empty: the command's own default for the command run (the profile's is the catenary).
    return opt(args, '--model', 'model');
  }

  function range(fromId, toId, stepId) {
    return $(fromId).value.trim() + ':' + $(toId).value.trim() + ':' + $(stepId).value.trim();
  }

  function sagArgs() {
    fieldOf['--spans'] = '@spanRange';
    const args = ['sag-table', ...designArgs(), '--spans', range('sagFrom', 'sagTo', 'sagStep')];
    return opt(args, '--cos', 'sagCos');
  }

  // The page's bounds on a run (web/page/page_limits.js): a message, or null when within them.
  function sagTooLong() {
    const n = VarnelLimits.rangeCount($('sagFrom').value, $('sagTo').value, $('sagStep').value);
    return n !== null && n > VarnelLimits.sagSpans
      ? t('tooManySpans', { limit: VarnelLimits.sagSpans.toLocaleString('en'), n: n.toLocaleString('en') }) : null;
  }
  function sectionTooLong(spans) {
    const n = VarnelLimits.rangeCount($('strFrom').value, $('strTo').value, $('strStep').value);
    if (n !== null && n > VarnelLimits.temperatures) {
      return t('tooManyTemperatures', { limit: VarnelLimits.temperatures.toLocaleString('en'), n: n.toLocaleString('en') });
    }
    return spans.count > VarnelLimits.sectionSpans ? t('tooManySectionSpans', { limit: VarnelLimits.sectionSpans, n: spans.count }) : null;
  }

  // The section's spans as typed or pasted: a line a span, "span, height difference" separated
  // by a tab, comma, semicolon or spaces; a header line of words is skipped. The numbers go to
  // the command as typed.
  function sectionCsv() {
    const lines = $('sectionText').value.split(/\r\n|\r|\n/);
    const rows = [];
    for (let i = 0; i < lines.length; ++i) {
      const line = lines[i].trim();
      if (line === '') continue;
      const cells = line.split(/\s*[\t,;]\s*|\s+/).filter((c) => c !== '');
      const isNumber = (c) => c !== undefined && /^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/.test(c);
      if (rows.length === 0 && !cells.some(isNumber)) continue;
      if (cells.length < 1 || cells.length > 2 || !cells.every(isNumber)) {
        return { error: t('badLine', { n: i + 1, line }) };
      }
      rows.push(cells[0] + ',' + (cells.length === 2 ? cells[1] : '0'));
    }
    if (rows.length === 0) return { error: t('noSpans') };
    return { csv: 'span_m,height_difference_m\n' + rows.join('\n') + '\n', count: rows.length };
  }

  function sectionArgs() {
    fieldOf['--stringing'] = '@stringingRange';
    const args = ['section', ...designArgs(), '--section', '/in/section.csv',
      '--stringing', range('strFrom', 'strTo', 'strStep')];
    opt(args, '--compensate', 'compensate');
    if (sectionExtras) args.push(...sectionExtras.args());
    return opt(args, '--suspension-safety', 'suspSafety');
  }

  function thermalArgs() {
    const args = ['thermal'];
    if ($('thConductorSource').value === 'table') {
      args.push('--conductors', tables.conductors.path, '--conductor', $('conductor').value);
    } else {
      opt(args, '--diameter', 'thDiameter');
      if (!thermalExtras || !thermalExtras.twoPoint()) opt(args, '--r20', 'thR20');
    }
    if ($('thMode').value === 'temperature') opt(args, '--current', 'thCurrent');
    else opt(args, '--max-temperature', 'thMaxT');
    opt(args, '--ambient', 'thAmbient');
    opt(args, '--wind', 'thWind');
    opt(args, '--wind-angle', 'thWindAngle');
    opt(args, '--elevation', 'thElevation');
    if (!thermalExtras || !thermalExtras.sunPlaced()) opt(args, '--solar', 'thSolar');
    if (thermalExtras) args.push(...thermalExtras.args());
    opt(args, '--emissivity', 'thEmissivity');
    opt(args, '--absorptivity', 'thAbsorptivity');
    args.push('--model', $('thModel').value, '--json');
    return args;
  }

  // The line's three tables: the samples at /samples/profile unless the user gave their own.
  // `own`: the user gave the file; an edit keeps a table the sample line's or the user's.
  const profileFiles = {
    terrain: { path: null, label: null, own: false },
    towers: { path: null, label: null, own: false },
    crossings: { path: null, label: null, own: false },
  };
  const profilePath = (kind) => profileFiles[kind].path || v.samplesDir + '/profile/' + kind + '.csv';
  // The sample's crossings belong to the sample's line: once the user gives their own terrain or
  // towers, the line has no crossings until they give its own (a file, or rows in the editor).
  const ownLine = () => profileFiles.terrain.own || profileFiles.towers.own;
  const noCrossings = () => profileFiles.crossings.path === null && ownLine();

  function profileArgs() {
    const args = ['profile', ...designArgs(), '--terrain', profilePath('terrain'),
      '--towers', profilePath('towers')];
    if (!noCrossings()) args.push('--crossings', profilePath('crossings'));
    opt(args, '--ground-clearance', 'pfClearance');
    // Solving finds the conductor's temperature, which --max-temperature would fix; the heat
    // balance's weather gives the current for it.
    const solve = $('pfSolve').value;
    if (solve) {
      args.push('--solve', solve);
      opt(args, '--ambient', 'pfAmbient');
      opt(args, '--wind', 'pfWind');
      opt(args, '--solar', 'pfSolar');
    } else if ($('pfCurrent').value.trim() !== '') {
      // A current gives the conductor's temperature by the heat balance in the weather below.
      opt(args, '--current', 'pfCurrent');
      opt(args, '--ambient', 'pfAmbient');
      opt(args, '--wind', 'pfWind');
      opt(args, '--solar', 'pfSolar');
    } else {
      opt(args, '--max-temperature', 'pfMaxT');
    }
    opt(args, '--suspension-safety', 'pfSuspSafety');
    opt(args, '--exaggeration', 'pfExaggeration');
    opt(args, '--from', 'pfFrom');
    opt(args, '--to', 'pfTo');
    args.push('--wind-height', $('pfWindHeight').value);
    opt(args, '--alpha-loads', 'pfAlphaLoads');
    return opt(args, '--alpha-clearance', 'pfAlphaClearance');
  }

  function renderProfileSources() {
    for (const kind of Object.keys(profileFiles)) {
      const f = profileFiles[kind];
      $('source-' + kind).textContent = f.label !== null ? f.label
        : kind === 'crossings' && noCrossings() ? t('noCrossings') : t('sample');
    }
  }

  const ROWS = { terrain: ['terrain', 'rowsTerrain'], towers: ['towers', 'rowsTowers'], crossings: ['crossings', 'rowsCrossings'] };
  async function takeProfileFile(kind, file) {
    if (!file) return;
    $('error-profile').textContent = '';
    const got = await fileBytes(file);
    const rows = got.bytes ? VarnelLimits.csvRows(got.bytes) : 0;
    const [limitKey, what] = ROWS[kind];
    if (got.error || rows > VarnelLimits[limitKey]) {
      $('error-profile').textContent = got.error || t('tooManyRows', { file: file.name, n: rows.toLocaleString('en'),
        limit: VarnelLimits[limitKey].toLocaleString('en'), what: t(what) });
      return;
    }
    const path = '/tables/' + kind + '/' + (++userFileCount) + '/' + (file.name.replace(/[/\\]/g, '_') || kind + '.csv');
    v.writeFile(path, got.bytes);
    Object.assign(profileFiles[kind], { path, label: file.name, own: true });
    // A user's own line starts without crossings, whether the sample's or edits of them.
    const dropCrossings = kind !== 'crossings' && !profileFiles.crossings.own && profileFiles.crossings.path !== null;
    if (dropCrossings) Object.assign(profileFiles.crossings, { path: null, label: null });
    renderProfileSources();
    loadEditor(kind);
    if (kind !== 'crossings') loadEditor('crossings');
    schedule(0);
  }

  function wireProfileBox(kind) {
    const input = $('file-' + kind);
    input.addEventListener('change', () => { takeProfileFile(kind, input.files[0]); input.value = ''; });
    const zone = $('box-' + kind);
    zone.addEventListener('dragover', (e) => { e.preventDefault(); zone.classList.add('over'); });
    zone.addEventListener('dragleave', () => zone.classList.remove('over'));
    zone.addEventListener('drop', (e) => {
      e.preventDefault();
      zone.classList.remove('over');
      takeProfileFile(kind, e.dataTransfer && e.dataTransfer.files && e.dataTransfer.files[0]);
    });
  }

  // ----- The tabs' computations -------------------------------------------------------------

  // Runs the command; on failure shows its message in the tab and clears the tab's outputs; on
  // success shows its warnings, if any, above the tab's results.
  async function runOrShow(tab, args, outputs, read = []) {
    const r = await run(args, read);
    if (r.status !== 0) {
      $('error-' + tab).textContent = refusal(r);
      for (const id of outputs) $(id).innerHTML = '';
      showWarnings(tab, '');
      return null;
    }
    showWarnings(tab, r.stderr);
    return r;
  }
  function showWarnings(tab, stderr) {
    let box = $('warnings-' + tab);
    if (!box) {
      box = document.createElement('div');
      box.id = 'warnings-' + tab;
      box.className = 'note';
      $('error-' + tab).after(box);
    }
    box.innerHTML = said(stderr).map((x) => '<p class="warning">' + esc(x.warning ? t('warningLead') + x.text : x.text) +
      '</p>').join('');
  }
  // A tab refused before the command runs (a bound of the page's): said as a refusal.
  function refuseHere(tab, message, outputs) {
    $('error-' + tab).textContent = message;
    for (const id of outputs) $(id).innerHTML = '';
    showWarnings(tab, '');
  }

  // Which model and which conditions gave a result: the command's own account in its JSON.
  function renderBasis(tab, d) {
    let box = $('basis-' + tab);
    if (!box) {
      box = document.createElement('p');
      box.id = 'basis-' + tab;
      box.className = 'note basis';
      $('error-' + tab).before(box);
    }
    if (!d) { box.textContent = ''; return; }
    let s = t('modelUsed', { model: t(d.model), dflt: $('model').value === '' ? t('modelDefault') : '' });
    const area = tables.areas.doc && tables.areas.doc.areas.find((a) => a.name === d.area);
    if (area && d.conditions) {
      const own = new Set(area.conditions.map((c) => c.name));
      const added = d.conditions.map((c) => c.name).filter((n) => !own.has(n));
      s += (lang === 'zh' ? '；' : '; ') + t('conditionsUsed', { area: d.area, n: area.conditions.length }) +
        (added.length ? t('conditionsAdded', { list: added.join(lang === 'zh' ? '、' : ', ') }) : '');
    }
    box.textContent = s;
    box.dataset.model = d.model;
  }

  async function computeSpan() {
    // The span's curve, below, goes with a refused search too.
    const outs = ['out-span', 'account-span', ...(spanTab ? ['span-curve-summary', 'chart-span'] : [])];
    $('error-span').textContent = '';
    const base = ['control', ...designArgs()];
    opt(base, '--span', 'span');
    // A height difference gives the span's own cosine (and hangs the catenary between supports
    // at their heights); without it the cosine as typed.
    if ($('spanHeight').value.trim() !== '') opt(base, '--height-difference', 'spanHeight');
    else opt(base, '--cos', 'spanCos');
    const account = $('account-span').closest('details');
    const r = await runOrShow('span', [...base, '--json'], outs);
    account.hidden = !r;
    const d = r && JSON.parse(r.stdout);
    renderBasis('span', d);
    if (!r) return;
    let html = '<dl class="summary"><dt>' + esc(t('controlling')) + '</dt><dd id="span-controlling">' +
      (d.controlling ? esc(d.controlling.name) : esc(t('noControlling'))) + '</dd>';
    if (d.control_stress_N_per_mm2 !== null) {
      html += '<dt>' + esc(t('controlStress')) + '</dt><dd data-v="' + d.control_stress_N_per_mm2 +
        '">' + d.control_stress_N_per_mm2.toFixed(3) + unit('N/mm²') + '</dd>';
    }
    html += '</dl><table class="grid" id="span-table"><thead><tr>' + th(t('condition')) +
      th(t('specificLoad'), 'N/(m·mm²)') + th(t('stress'), 'N/mm²') + th(t('sag'), 'm') +
      th(t('limit'), 'N/mm²') + th(t('holds')) + '</tr></thead><tbody>';
    d.conditions.forEach((c, i) => {
      const ctl = d.controlling && d.controlling.index === i;
      html += '<tr' + (ctl ? ' class="ctl"' : '') + '><th scope="row">' + esc(c.name) +
        (ctl ? ' *' : '') + '</th>' + num(c.specific_load_N_per_m_mm2, 6, true) +
        num(c.stress_N_per_mm2, 3) + num(c.sag_m, 3) + num(c.limit_N_per_mm2, 3) + '<td>' +
        (c.holds === null ? '—' : esc(c.holds ? t('yes') : t('no'))) + '</td></tr>';
    });
    $('out-span').innerHTML = html + '</tbody></table>';
    // The curve by the model the search took (the command's default when none is chosen).
    if (spanTab) await spanTab.render(d, $('span').value.trim(), $('spanHeight').value.trim(), d.model);
    const text = await run(base);
    $('account-span').textContent = text.status === 0 ? text.stdout : refusal(text);
  }

  async function computeSag() {
    const outs = ['out-sag', 'chart-sag', 'out-critical'];
    $('error-sag').textContent = '';
    const bound = sagTooLong();
    if (bound) { refuseHere('sag', bound, outs); renderBasis('sag', null); sagView = null; lastJson.sag = null; return; }
    const r = await runOrShow('sag', [...sagArgs(), '--json', '--svg', '/out/sag.svg', '--lang', lang], outs, ['/out/sag.svg']);
    const d = r && JSON.parse(r.stdout);
    renderBasis('sag', d);
    lastJson.sag = r ? r.stdout : null;
    if (!r) return;
    lastSvg.sag = r.files['/out/sag.svg'];
    $('chart-sag').innerHTML = lastSvg.sag;
    const names = d.conditions.map((c) => c.name);
    const parts = ['<table class="grid" id="sag-table"><thead><tr>',
      '<th scope="col" rowspan="2">' + esc(t('span')) + unit('m') + '</th>',
      '<th scope="col" rowspan="2">' + esc(t('controlling')) + '</th>'];
    parts.push('<th scope="colgroup" colspan="' + names.length + '">' + esc(t('stress')) + unit('N/mm²') +
      '</th><th scope="colgroup" colspan="' + names.length + '">' + esc(t('sag')) + unit('m') + '</th></tr><tr>');
    for (const n of [...names, ...names]) parts.push('<th scope="col" class="sub">' + esc(n) + '</th>');
    parts.push('</tr></thead><tbody></tbody></table>');
    $('out-sag').innerHTML = parts.join('');
    sagView = { spans: d.spans, width: names.length, first: -1, last: -1 };
    $('out-sag').scrollTop = 0;
    drawSagRows();

    // The model's own critical spans: the table's rows and the chart's marks are the catenary's
    // with the catenary.
    const critArgs = ['critical', ...designArgs(), '--json'];
    opt(critArgs, '--cos', 'sagCos');
    // The critical spans do not depend on the range: a new range reuses the last answer.
    const key = JSON.stringify(critArgs);
    if (!criticalCache || criticalCache.key !== key) {
      const c = await runOrShow('sag', critArgs, ['out-critical']);
      if (!c) return;
      criticalCache = { key, doc: JSON.parse(c.stdout) };
    }
    const cd = criticalCache.doc;
    let html = '<h3>' + esc(t('ranges')) + '</h3><table class="grid" id="critical-ranges"><thead><tr>' +
      th(t('rangeFrom'), 'm') + th(t('rangeTo'), 'm') + th(t('controlling')) + '</tr></thead><tbody>';
    for (const g of cd.ranges) {
      html += '<tr>' + num(g.from_m, 2) + num(g.to_m, 2) + '<td>' + condName(g.controlling) + '</td></tr>';
    }
    html += '</tbody></table><h3>' + esc(t('pairs')) + '</h3><table class="grid" id="critical-pairs"><thead><tr>' +
      th(t('conditionA')) + th(t('conditionB')) + th(t('criticalSpan'), 'm') + '</tr></thead><tbody>';
    for (const p of cd.pairs) {
      html += '<tr><td>' + condName(p.a) + '</td><td>' + condName(p.b) + '</td>' +
        (p.span_m === null ? '<td class="n">' + esc(t('noCrossing')) + '</td>' : num(p.span_m, 2)) + '</tr>';
    }
    $('out-critical').innerHTML = html + '</tbody></table>';
  }

  let criticalCache = null;
  // The drawings as shown, for their downloads.
  const lastSvg = {};

  // The sag table holds as many rows as the range gives (thousands, often): only those in view,
  // and a screenful either side, are in the document; spacer rows of the same height stand for the
  // rest, so the scroll bar and the browser's work stay those of a short table.
  const SAG_ROW_PX = 24;
  let sagView = null;
  function sagRow(i) {
    const row = sagView.spans[i];
    const dashes = '<td>—</td>'.repeat(sagView.width);
    const cells = ['<tr data-i="' + i + '">', num(row.span_m, 2), '<td>', condName(row.controlling), '</td>'];
    cells.push(row.stress_N_per_mm2.length ? row.stress_N_per_mm2.map((x) => num(x, 3)).join('') : dashes);
    cells.push(row.sag_m.length ? row.sag_m.map((x) => num(x, 3)).join('') : dashes);
    return cells.join('') + '</tr>';
  }
  function drawSagRows() {
    const box = $('out-sag');
    const body = box.querySelector('tbody');
    if (!sagView || !body) return;
    const n = sagView.spans.length;
    // Rows for a window's height: the box may still be short, before its rows are in.
    const view = Math.ceil(Math.max(box.clientHeight, window.innerHeight) / SAG_ROW_PX);
    const first = Math.max(0, Math.floor(box.scrollTop / SAG_ROW_PX) - view);
    const last = Math.min(n, first + 3 * view);
    if (first === sagView.first && last === sagView.last) return;
    Object.assign(sagView, { first, last });
    const rows = [];
    if (first > 0) rows.push('<tr class="spacer" style="height:' + first * SAG_ROW_PX + 'px"></tr>');
    for (let i = first; i < last; ++i) rows.push(sagRow(i));
    if (last < n) rows.push('<tr class="spacer" style="height:' + (n - last) * SAG_ROW_PX + 'px"></tr>');
    body.innerHTML = rows.join('');
  }

  async function computeSection() {
    const outs = ['out-section-summary', 'chart-section', 'out-section-spans', 'out-section-stringing'];
    $('error-section').textContent = '';
    const spans = sectionCsv();
    if (spans.error) {
      $('error-section').textContent = spans.error;
      for (const id of outs) $(id).innerHTML = '';
      return;
    }
    const bound = sectionTooLong(spans);
    if (bound) {
      refuseHere('section', bound, outs);
      renderBasis('section', null);
      if (sectionExtras) sectionExtras.clear();
      lastJson.section = null;
      return;
    }
    v.writeFile('/in/section.csv', new TextEncoder().encode(spans.csv));
    const r = await runOrShow('section', [...sectionArgs(), '--json', '--svg', '/out/section.svg', '--lang', lang], outs,
      ['/out/section.svg']);
    const d = r && JSON.parse(r.stdout);
    renderBasis('section', d);
    lastJson.section = r ? r.stdout : null;
    if (!r) { if (sectionExtras) sectionExtras.clear(); return; }
    const dd = (label, x, digits, u, id) => '<dt>' + esc(label) + '</dt><dd' + (id ? ' id="' + id + '"' : '') +
      (x === null ? '>—' : ' data-v="' + x + '">' + x.toFixed(digits) + unit(u)) + '</dd>';
    $('out-section-summary').innerHTML = '<dl class="summary">' +
      dd(t('rulingSpan'), d.ruling_span_m, 3, 'm', 'ruling-span') + dd(t('rulingCos'), d.ruling_cos, 6, '') +
      '<dt>' + esc(t('controlling')) + '</dt><dd>' + condName(d.controlling) + '</dd>' +
      dd(t('controlStress'), d.control_stress_N_per_mm2, 3, 'N/mm²') +
      dd(t('suspensionAllowable'), d.suspension_point_allowable_N_per_mm2, 3, 'N/mm²') + '</dl>';
    lastSvg.section = r.files['/out/section.svg'];
    $('chart-section').innerHTML = lastSvg.section;

    let html = '<table class="grid" id="section-spans"><thead><tr>' + th(t('index')) + th(t('span'), 'm') +
      th(t('heightDifference'), 'm') + th(t('maxSag'), 'm') + th(t('maxSagCondition')) +
      th(t('otherModelSag'), 'm') + th(t('maxSupportStress'), 'N/mm²') + th(t('suspensionOk')) +
      '</tr></thead><tbody>';
    d.spans.forEach((s, i) => {
      html += '<tr' + (s.suspension_point_ok ? '' : ' class="bad"') + '><th scope="row">' + (i + 1) +
        '</th>' + num(s.span_m, 2) + num(s.height_difference_m, 2) + num(s.max_sag_m, 3) + '<td>' +
        condName(s.max_sag_condition) + '</td>' + num(s.other_model_max_sag_m, 3) +
        num(s.max_support_stress_N_per_mm2, 3) + '<td>' +
        esc(s.suspension_point_ok ? t('ok') : t('exceeded')) + '</td></tr>';
    });
    $('out-section-spans').innerHTML = html + '</tbody></table>';

    html = '<table class="grid" id="section-stringing"><thead><tr>' + th(t('temperature'), '°C') +
      th(t('stress'), 'N/mm²');
    d.spans.forEach((s, i) => { html += th(t('spanN', { n: i + 1 }), 'm'); });
    html += '</tr></thead><tbody>';
    for (const row of d.stringing) {
      html += '<tr>' + num(row.temperature_degC, 1) + num(row.stress_N_per_mm2, 3);
      for (const x of row.sag_m) html += num(x, 2);
      html += '</tr>';
    }
    $('out-section-stringing').innerHTML = html + '</tbody></table>';
    if (sectionExtras) sectionExtras.render(d);
  }

  async function computeProfile() {
    const outs = ['out-profile-violations', 'chart-profile', 'out-profile-sections',
      'out-profile-spans', 'out-profile-towers', 'profile-wind', 'warnings-profile', 'out-profile-solve'];
    $('error-profile').textContent = '';
    const r = await runOrShow('profile', [...profileArgs(), '--json', '--svg', '/out/profile.svg', '--lang', lang], outs,
      ['/out/profile.svg']);
    const d = r && JSON.parse(r.stdout);
    renderBasis('profile', d);
    lastJson.profile = r ? r.stdout : null;
    if (profileTowers) profileTowers.render(d);
    if (!r) return;
    const names = d.conditions.map((c) => c.name);
    // The wind the check took, and what the command warned of.
    const alpha = (a, table) => (typeof a === 'number' ? t('alphaFixed', { a }) : t(table));
    $('profile-wind').textContent = t('windNote', { h: d.wind.reference_height_m, terrain: d.wind.terrain_class,
      to15: d.wind.reference_height_m === 15 ? '' : t('to15'), loads: alpha(d.wind.alpha_loads, 'alphaTableLoads'),
      clearance: alpha(d.wind.alpha_clearance, 'alphaTableClearance') });
    renderSolve(d.solve);
    const cond = (c) => (c === null || c === undefined ? '<td>—</td>' : '<td>' + esc(c.name === undefined ? c : c.name) + '</td>');
    const okCell = (ok) => '<td>' + esc(ok ? t('ok') : t('exceeded')) + '</td>';

    let html = '<p id="profile-count">' + esc(d.violations.length ? t('violationsCount', { n: d.violations.length })
      : t('noViolations')) + '</p>';
    if (d.violations.length) {
      html += '<table class="grid" id="profile-violations"><thead><tr>' + th(t('kind')) + th(t('where')) +
        th(t('station'), 'm') + th(t('figure')) + th(t('vLimit')) + th(t('unit')) + th(t('condition')) +
        th(t('upliftLoad'), 'N') + '</tr></thead><tbody>';
      for (const x of d.violations) {
        html += '<tr class="bad" data-kind="' + esc(x.kind) + '"><td>' + esc(t('v_' + x.kind)) + '</td><td>' +
          esc(x.where) + '</td>' + num(x.station_m, 2) + num(x.value, 3) + num(x.limit, 3) + '<td>' +
          esc(x.unit) + '</td>' + cond(x.condition) + num(x.load_N, 0) + '</tr>';
      }
      html += '</tbody></table>';
    }
    $('out-profile-violations').innerHTML = html;
    lastSvg.profile = r.files['/out/profile.svg'];
    $('chart-profile').innerHTML = lastSvg.profile;
    pageCaptions($('chart-profile'));
    VarnelZoom.attach($('chart-profile'), t);

    html = '<table class="grid" id="profile-sections"><thead><tr>' + th(t('fromTower')) + th(t('toTower')) +
      th(t('spansN')) + th(t('rulingSpan'), 'm') + th(t('controlling')) + th(t('controlStress'), 'N/mm²') +
      th(t('maxSagCondition'));
    for (const n of names) html += th(t('stress') + ' ' + n, 'N/mm²');
    html += '</tr></thead><tbody>';
    for (const x of d.sections) {
      html += '<tr><td>' + esc(x.from) + '</td><td>' + esc(x.to) + '</td><td class="n">' + x.spans + '</td>' +
        num(x.ruling_span_m, 2) + cond(x.controlling) + num(x.control_stress_N_per_mm2, 3) +
        cond(x.max_sag_condition) + x.stress_N_per_mm2.map((y) => num(y, 3)).join('') + '</tr>';
    }
    $('out-profile-sections').innerHTML = html + '</tbody></table>';

    html = '<table class="grid" id="profile-spans"><thead><tr>' + th(t('fromTower')) + th(t('toTower')) +
      th(t('span'), 'm') + th(t('heightDifference'), 'm') + th(t('nearAttachment'), 'm') +
      th(t('farAttachment'), 'm') + th(t('maxSag'), 'm') + th(t('lowPoint'), 'm') + th(t('minClearance'), 'm') +
      th(t('minClearanceAt'), 'm') + th(t('required'), 'm') + th(t('supportStress'), 'N/mm²') +
      th(t('crossings'), 'm') + th(t('result')) + '</tr></thead><tbody>';
    for (const x of d.spans) {
      const crossings = x.crossings.map((c) => '<span' + (c.ok ? '' : ' class="bad-text"') + ' data-v="' +
        c.clearance_m + '">' + esc(c.name) + ' ' + c.clearance_m.toFixed(2) + '/' + c.required_m.toFixed(2) +
        '</span>').join('<br>');
      html += '<tr' + (x.ok ? '' : ' class="bad"') + '><td>' + esc(x.from) + '</td><td>' + esc(x.to) + '</td>' +
        num(x.span_m, 2) + num(x.height_difference_m, 2) + num(x.near_attachment_m, 2) +
        num(x.far_attachment_m, 2) + num(x.max_sag_m, 3) + num(x.low_point_station_m, 2) +
        num(x.min_clearance_m, 3) + num(x.min_clearance_station_m, 2) + num(x.required_clearance_m, 2) +
        num(x.support_stress_N_per_mm2, 3) + '<td>' + crossings + '</td>' + okCell(x.ok) + '</tr>';
    }
    $('out-profile-spans').innerHTML = html + '</tbody></table>';

    // A tower's figures per condition: the table shows the range of the weight span, the
    // largest loads, the largest swing where it is checked ("-" where the string is pulled up in
    // all of them) and the largest uplift; every condition's figure is in the JSON and CSV.
    const extreme = (xs, pick) => { const ys = (xs || []).filter((y) => y !== null); return ys.length ? pick(...ys) : null; };
    const checkedSwing = (x) => (x.swing_angle_deg || []).filter((a, k) =>
      x.swing_limit_deg[k] !== null || d.conditions[k].swing_checked);
    const swingCell = (x) => {
      if (x.swing_angle_deg === null) return num(null, 2);
      const largest = extreme(checkedSwing(x), Math.max);
      return largest === null ? '<td class="n">-</td>' : num(largest, 2);
    };
    html = '<table class="grid" id="profile-towers"><thead><tr>' + th(t('tower')) + th(t('towerKind')) +
      th(t('station'), 'm') + th(t('ground'), 'm') + th(t('attachment'), 'm') + th(t('hSpan'), 'm') +
      th(t('vSpanMin'), 'm') + th(t('vSpanMax'), 'm') + th(t('maxVLoad'), 'N') +
      th(t('maxHLoad'), 'N') + th(t('maxSwing'), '°') + th(t('swingLimit'), '°') + th(t('uplift')) +
      th(t('upliftLoad'), 'N') + th(t('result')) + '</tr></thead><tbody>';
    for (const x of d.towers) {
      html += '<tr' + (x.ok ? '' : ' class="bad"') + '><th scope="row">' + esc(x.name) + '</th><td>' +
        esc(t(x.kind)) + '</td>' + num(x.station_m, 2) + num(x.ground_elevation_m, 2) + num(x.attachment_m, 2) +
        num(x.horizontal_span_m, 2) + num(extreme(x.vertical_span_m, Math.min), 2) +
        num(extreme(x.vertical_span_m, Math.max), 2) + num(extreme(x.vertical_load_N, Math.max), 1) +
        num(extreme(x.horizontal_load_N, Math.max), 1) + swingCell(x) +
        num(x.max_swing_deg, 1) + '<td>' + esc(x.uplift ? t('yes') : t('no')) + '</td>' +
        num(extreme(x.uplift_load_N, Math.max), 0) + okCell(x.ok) + '</tr>';
    }
    $('out-profile-towers').innerHTML = html + '</tbody></table>';
  }

  // What --solve max-temperature found: the limit and what sets it, the current for it, and each
  // requirement's own temperature (beyond the range searched: the range's end, said so).
  function renderSolve(s) {
    const box = $('out-profile-solve');
    box.hidden = !s;
    if (!s) { box.innerHTML = ''; return; }
    const [from, to] = s.searched_degC;
    const own = (x) => (x.beyond === 'below' ? '<td class="n">&lt; ' + from + '</td>'
      : x.beyond === 'above' ? '<td class="n">&gt; ' + to + '</td>' : num(x.temperature_degC, 2));
    const named = (x) => t(x.crossing === null ? 'solveGround' : 'solveCrossing', { span: x.span, crossing: x.crossing });
    const worst = s.limiting === null ? null : s.items[s.limiting];
    let limit;
    if (s.beyond === 'below') limit = '<dd id="solve-limit">' + esc(t('solveFailsAt', { t: from })) + '</dd>';
    else if (s.beyond === 'above') limit = '<dd id="solve-limit">' + esc(t('solveHoldsTo', { t: to })) + '</dd>';
    else limit = '<dd id="solve-limit" data-v="' + s.temperature_degC + '">' + s.temperature_degC.toFixed(2) + unit('°C') + '</dd>';
    let current;
    if (s.current_A !== null) current = '<dd id="solve-current" data-v="' + s.current_A + '">' + s.current_A.toFixed(1) + unit('A') + '</dd>';
    else current = '<dd id="solve-current">' + esc(s.current_asked ? t('solveNoCurrent', { why: s.current_note }) : t('solveAskCurrent')) + '</dd>';
    let html = '<h2>' + esc(t('solveTitle')) + '</h2><dl class="summary"><dt>' + esc(t('solveLimit')) + '</dt>' + limit +
      '<dt>' + esc(t('solveSetBy')) + '</dt><dd id="solve-set-by">' + (worst ? esc(named(worst)) : '—') + '</dd>' +
      '<dt>' + esc(t('solveCurrent')) + '</dt>' + current +
      '<dt>' + esc(t('solveSearched')) + '</dt><dd>' + from + ' … ' + to + unit('°C') + '</dd></dl>';
    html += '<div class="scroll"><table class="grid" id="profile-solve"><thead><tr>' + th(t('kind')) + th(t('spanName')) +
      th(t('crossingName')) + th(t('required'), 'm') + th(t('ownTemperature'), '°C') + th(t('minClearanceAt'), 'm') +
      '</tr></thead><tbody>';
    s.items.forEach((x, i) => {
      html += '<tr' + (i === s.limiting ? ' class="ctl"' : '') + ' data-beyond="' + esc(x.beyond || '') + '"><td>' +
        esc(t('v_' + x.kind)) + '</td><td>' + esc(x.span) + '</td><td>' + esc(x.crossing === null ? '—' : x.crossing) +
        '</td>' + num(x.required_m, 2) + own(x) + num(x.station_m, 2) + '</tr>';
    });
    box.innerHTML = html + '</tbody></table></div>';
  }

  // The drawing's captions name the page's fields where they name the command's options.
  function pageCaptions(box) {
    const OPTIONS = { '--from': 'pfFrom', '--to': 'pfTo' };
    const label = (id) => '“' + $(id).closest('label').querySelector('[data-t]').textContent + '”';
    for (const el of box.querySelectorAll('text')) {
      if (!/--(from|to)\b/.test(el.textContent)) continue;
      el.textContent = el.textContent.replace(/--(from|to)\b/g, (o) => label(OPTIONS[o]));
    }
  }

  const THERMAL_UNITS = [['_degC', '°C'], ['_A', 'A'], ['_ohm_per_m', 'Ω/m'], ['_W_per_m', 'W/m']];
  async function computeThermal() {
    $('error-thermal').textContent = '';
    const r = await runOrShow('thermal', thermalArgs(), ['out-thermal']);
    lastJson.thermal = r ? r.stdout : null;
    if (sectionExtras) sectionExtras.thermalResult(r ? JSON.parse(r.stdout).temperature_degC : null);
    if (!r) return;
    const d = JSON.parse(r.stdout);
    let html = '<table class="grid" id="thermal-table"><thead><tr>' + th(t('term')) + th(t('value')) +
      th(t('unit')) + '</tr></thead><tbody>';
    for (const [key, x] of Object.entries(d)) {
      const u = THERMAL_UNITS.find(([suffix]) => key.endsWith(suffix));
      const label = t('th_' + key);
      const sub = key === 'forced_W_per_m' || key === 'natural_W_per_m';
      html += '<tr data-key="' + esc(key) + '"' + (sub ? ' class="sub"' : '') + '><th scope="row">' +
        esc(label) + '</th>' + (typeof x === 'number'
        ? num(x, key.endsWith('ohm_per_m') ? 4 : 2, key.endsWith('ohm_per_m')) : '<td>' + esc(x) + '</td>') +
        '<td>' + esc(u ? u[1] : '—') + '</td></tr>';
    }
    $('out-thermal').innerHTML = html + '</tbody></table>';
  }

  // ----- Tabs, state in the address, recomputation ------------------------------------------

  const TABS = ['tables', 'span', 'sag', 'section', 'wind', 'thermal', 'profile'];
  const COMPUTE = {
    span: computeSpan, sag: computeSag, section: computeSection, thermal: computeThermal, profile: computeProfile,
    wind: async () => { if (windTab) await windTab.compute(); },
  };
  let activeTab = 'tables';
  let dirty = new Set(TABS);

  function selectTab(name, focus) {
    activeTab = name;
    for (const n of TABS) {
      const tab = $('tab-' + n);
      const on = n === name;
      tab.setAttribute('aria-selected', String(on));
      tab.tabIndex = on ? 0 : -1;
      $('panel-' + n).hidden = !on;
      if (on && focus) tab.focus();
    }
    showFields();
    modelDefaultLabel();
    writeHash();
    return recompute();
  }

  // Only the fields that count for the tab and the choices made are shown.
  function showFields() {
    const tab = activeTab;
    const byTable = $('thConductorSource').value === 'table';
    $('design').hidden = tab === 'tables' || (tab === 'thermal' && !byTable);
    for (const label of $('design').querySelectorAll('label')) {
      label.hidden = tab === 'thermal' && !label.contains($('conductor'));
    }
    const show = (id, on) => { $(id).closest('label').hidden = !on; };
    show('thDiameter', !byTable);
    show('thR20', !byTable);
    show('thCurrent', $('thMode').value === 'temperature');
    show('thMaxT', $('thMode').value === 'current');
    const solving = $('pfSolve').value !== '';
    const byCurrent = !solving && $('pfCurrent').value.trim() !== '';
    show('pfMaxT', !solving && !byCurrent);
    show('pfCurrent', !solving);
    for (const id of ['pfAmbient', 'pfWind', 'pfSolar']) show(id, solving || byCurrent);
    $('dl-pf-solve').hidden = !solving;
    if (thermalExtras) thermalExtras.showFields();
  }

  function wireTabs() {
    for (const n of TABS) {
      const tab = $('tab-' + n);
      tab.addEventListener('click', () => selectTab(n, false));
      tab.addEventListener('keydown', (e) => {
        const i = TABS.indexOf(n);
        let j = null;
        if (e.key === 'ArrowRight') j = (i + 1) % TABS.length;
        else if (e.key === 'ArrowLeft') j = (i + TABS.length - 1) % TABS.length;
        else if (e.key === 'Home') j = 0;
        else if (e.key === 'End') j = TABS.length - 1;
        if (j !== null) { e.preventDefault(); selectTab(TABS[j], true); }
      });
    }
  }

  // Every named field of the page, in the address's fragment: a link reproduces the calculation
  // (with the sample tables; a user's own table stays on their machine).
  function fields() { return document.querySelectorAll('main [name]'); }

  function writeHash() {
    const p = new URLSearchParams();
    p.set('tab', activeTab);
    if (lang !== 'zh') p.set('lang', lang);
    for (const el of fields()) {
      if (el.type === 'checkbox') { if (el.checked) p.set(el.name, '1'); } else p.set(el.name, el.value);
    }
    const hash = '#' + p.toString();
    if (location.hash !== hash) history.replaceState(null, '', hash);
  }

  function readHash() {
    const p = new URLSearchParams(location.hash.slice(1));
    for (const el of fields()) {
      if (el.type === 'checkbox') el.checked = p.get(el.name) === '1';
      else if (p.has(el.name)) {
        if (el.tagName === 'SELECT' && (el.id === 'area' || el.id === 'conductor')) {
          pendingSelection[el.id] = p.get(el.name);
        }
        el.value = p.get(el.name);
      }
    }
    lang = p.get('lang') === 'en' ? 'en' : 'zh';
    const tab = p.get('tab');
    return TABS.includes(tab) ? tab : null;
  }

  // One recomputation at a time, in the order asked: a computation waits for the one before it,
  // in the worker, to have answered and been laid out. `running` counts those asked and not done.
  let running = 0;
  let chain = Promise.resolve();
  function recompute() {
    clearTimeout(timer);
    timer = null;
    writeHash();
    running += 1;
    showBusy();
    chain = chain.then(recomputeNow).catch((e) => {
      $('error-' + activeTab) && ($('error-' + activeTab).textContent = 'varnel: ' + (e && e.message ? e.message : String(e)));
    }).finally(() => { running -= 1; showBusy(); });
    return chain;
  }

  async function recomputeNow() {
    const fn = COMPUTE[activeTab];
    if (!fn || !dirty.has(activeTab)) return;
    const t0 = performance.now();
    const tab = activeTab;
    // Taken before the run: an input changed while it runs makes the tab dirty again.
    dirty.delete(tab);
    commandMs = 0;
    await fn();
    page.timings[tab] = performance.now() - t0;
    page.commandMs[tab] = commandMs;
    // And until the result is on the screen: the frame after the next has laid it out and painted.
    requestAnimationFrame(() => setTimeout(() => { page.painted[tab] = performance.now() - t0; }, 0));
  }

  // While the worker runs: a line saying so, with the button that stops the run (shown after a
  // moment, by the style sheet, so that quick runs do not flicker).
  function showBusy() {
    $('busy').hidden = running === 0;
    page.running = running > 0;
  }
  function cancelRun() {
    v.cancel();
  }

  let timer = null;
  function schedule(delay) {
    dirty = new Set(TABS);
    clearTimeout(timer);
    timer = setTimeout(recompute, delay);
  }

  function applyLanguage() {
    document.documentElement.lang = lang === 'zh' ? 'zh-CN' : 'en';
    document.title = t('title');
    for (const el of document.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
    $('tabs').setAttribute('aria-label', t('tabsLabel'));
    $('lang').textContent = t('langButton');
    for (const kind of ['areas', 'conductors']) if (tables[kind].doc) renderTableList(kind);
    renderProfileSources();
    renderNotices();
    renderLimits();
    modelDefaultLabel();
    if (towersEditor) towersEditor.relabel();
    if (spanTab) spanTab.relabel();
    if (windTab) windTab.relabel();
    if (moreTables) moreTables.relabel();
    if (profileTowers) profileTowers.relabel();
  }

  // The page's bounds, said where the user meets them.
  function renderLimits() {
    const L = VarnelLimits;
    $('limits-note').textContent = t('limitsNote', { spans: L.sagSpans.toLocaleString('en'),
      temps: L.temperatures.toLocaleString('en'), mb: L.fileMB, towers: L.towers.toLocaleString('en'),
      terrain: L.terrain.toLocaleString('en'), crossings: L.crossings.toLocaleString('en') });
  }

  // The model's empty choice is the command's default, named: the catenary for the profile,
  // the parabola elsewhere.
  function modelDefaultLabel() {
    $('model').options[0].textContent = t('modelDefaultIs', { model: t(activeTab === 'profile' ? 'catenary' : 'parabola') });
  }

  // ----- The page's modules (web/page/*.js beside this file) --------------------------------

  // What a module may use of the page: its texts, the command's runs and files, the line's
  // files, the downloads and the recomputation. The command runs in a worker: a file is written
  // into it (and kept for the next worker) and read back from it in the order asked, before or
  // after the runs around it.
  const moduleApi = {
    $, t, esc, num, th, unit,
    lang: () => lang,
    areaDoc: () => tables.areas.doc,
    // The --json document of the tab's last run (null when it failed or has not run).
    lastJson: (tab) => (lastJson[tab] === undefined ? null : lastJson[tab]),
    samplesDir: () => v.samplesDir,
    run: (args, read, binary) => run(args, read, binary),
    // The command's refusal or failure of a run, in the page's language.
    refusal: (r) => refusal(r),
    // A run whose refusal goes to the element error-TAB, its warnings below it, and which
    // empties the elements `outputs` when refused: its answer, or null.
    runOrShow: (tab, args, outputs, read) => runOrShow(tab, args, outputs, read),
    writeFile: (path, bytes) => v.writeFile(path, bytes),
    // A file's bytes as the module holds them, or null (none there, or the worker was stopped).
    readFile: async (path) => {
      try {
        const r = await v.run(null, { read: [[path, 'binary']] });
        return r.files[path] || null;
      } catch (e) {
        return null;
      }
    },
    addText: (dict) => { for (const l of Object.keys(dict)) Object.assign(TEXT[l], dict[l]); },
    schedule: (delay) => schedule(delay),
    download: (name, type, data) => download(name, type, data),
    // The file the line's check reads for the table, or null when it reads none (a user's line
    // without crossings).
    profilePath: (kind) => (kind === 'crossings' && noCrossings() ? null : profilePath(kind)),
    // A file the module wrote becomes the line's table of that kind.
    useProfileFile: (kind, path, label) => {
      Object.assign(profileFiles[kind], { path, label });
      renderProfileSources();
    },
  };
  let towersEditor = null;
  let spanTab = null;
  let windTab = null;
  let sectionExtras = null;
  let thermalExtras = null;
  let moreTables = null;
  let profileTowers = null;
  const lastJson = {};
  // Loads of the editor's tables not yet answered: the page is not settled while one is out.
  let editorLoads = 0;
  function loadEditor(kind) {
    if (!towersEditor) return Promise.resolve();
    editorLoads += 1;
    return towersEditor.load(kind).finally(() => { editorLoads -= 1; });
  }
  // The modules' own first runs (the tables tab's further tables) and the editor's loads.
  function startModules() {
    const first = [];
    if (window.varnelJsonDownloads) window.varnelJsonDownloads(moduleApi);
    if (window.varnelProfileTowers) profileTowers = window.varnelProfileTowers(moduleApi);
    if (window.varnelMoreTables) {
      moreTables = window.varnelMoreTables(moduleApi);
      first.push(moreTables.ready);
    }
    if (window.varnelThermalExtras) thermalExtras = window.varnelThermalExtras(moduleApi);
    if (window.varnelSectionExtras) sectionExtras = window.varnelSectionExtras(moduleApi);
    if (window.varnelWindTab) windTab = window.varnelWindTab(moduleApi);
    if (window.varnelSpanTab) spanTab = window.varnelSpanTab(moduleApi);
    if (window.varnelTowersEditor) towersEditor = window.varnelTowersEditor(moduleApi);
    return Promise.all([...first, ...['towers', 'crossings'].map(loadEditor)]);
  }

  async function start() {
    const t0 = performance.now();
    v = new VarnelWorker();
    await v.ready;
    $('version').textContent = v.version;
    $('cancel').addEventListener('click', cancelRun);
    // Before the address is read (their fields are named in it) and the page translated (they
    // bring texts of their own).
    const modules = startModules();
    const tab = readHash();
    // The sample area and conductor of the typical road, unless the link names others.
    if (!new URLSearchParams(location.hash.slice(1)).has('area')) pendingSelection.area = '典型气象区Ⅵ';
    applyLanguage();
    await useSample('areas');
    await useSample('conductors');
    wireTableBox('areas');
    wireTableBox('conductors');
    for (const kind of Object.keys(profileFiles)) wireProfileBox(kind);
    $('reset-profile').addEventListener('click', () => {
      $('error-profile').textContent = '';
      for (const kind of Object.keys(profileFiles)) Object.assign(profileFiles[kind], { path: null, label: null, own: false });
      renderProfileSources();
      for (const kind of Object.keys(profileFiles)) loadEditor(kind);
      schedule(0);
    });
    wireTabs();
    // The samples carry both forms of the weather areas; a user's table is read again as the
    // other form (and refused with the reason when it is not).
    $('loadCase').addEventListener('change', () => {
      if (tables.areas.label === null) useSample('areas');
      else readTable('areas', tables.areas.path, tables.areas.label);
      schedule(0);
    });
    $('app').addEventListener('input', (e) => {
      // A file chosen recomputes once it is read and accepted, not before: a refused one would
      // otherwise have its reason cleared by the recomputation.
      if (e.target.type === 'file') return;
      if (e.target.id === 'area' || e.target.id === 'conductor') {
        delete $('notice-' + e.target.id).dataset.name;
        renderNotices();
      }
      if (e.target.tagName === 'SELECT' || e.target.id === 'pfCurrent' || e.target.id === 'thResistance') showFields();
      schedule(150);
    });
    $('lang').addEventListener('click', () => {
      lang = lang === 'zh' ? 'en' : 'zh';
      applyLanguage();
      schedule(0);
    });
    window.addEventListener('hashchange', () => {
      const next = readHash();
      applyLanguage();
      fillSelect('area', tables.areas.names);
      fillSelect('conductor', tables.conductors.names);
      dirty = new Set(TABS);
      selectTab(next || activeTab, false);
      page.generation += 1;
    });
    wireDownloads();
    $('out-sag').addEventListener('scroll', drawSagRows, { passive: true });
    $('loading').hidden = true;
    $('app').hidden = false;
    selectTab(tab || 'tables', false);
    await Promise.all([chain, modules]);
    page.loadMs = performance.now() - t0;
    page.ready = true;
  }

  // ----- Downloads: the command's own bytes, handed over as a blob --------------------------

  function download(name, type, data) {
    const url = URL.createObjectURL(new Blob([data], { type }));
    const a = document.createElement('a');
    a.href = url;
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }

  function wireDownloads() {
    $('dl-sag-csv').addEventListener('click', async () => {
      $('error-sag').textContent = '';
      const bound = sagTooLong();
      if (bound) { $('error-sag').textContent = bound; return; }
      // Through a file of the module's, read back as bytes: the download is the command's CSV to
      // the byte, its byte order mark included.
      const args = [...sagArgs(), '--csv', '/out/sag.csv'];
      if ($('sagBom').checked) args.push('--bom');
      const r = await run(args, [], ['/out/sag.csv']);
      if (r.status !== 0) $('error-sag').textContent = refusal(r);
      else download('sag-table.csv', 'text/csv', r.files['/out/sag.csv']);
    });
    $('dl-sag-svg').addEventListener('click', async () => {
      await recompute();
      if ($('chart-sag').innerHTML) download('sag-table.svg', 'image/svg+xml', lastSvg.sag);
    });
    $('dl-sec-csv').addEventListener('click', async () => {
      $('error-section').textContent = '';
      const spans = sectionCsv();
      if (spans.error) { $('error-section').textContent = spans.error; return; }
      const bound = sectionTooLong(spans);
      if (bound) { $('error-section').textContent = bound; return; }
      v.writeFile('/in/section.csv', new TextEncoder().encode(spans.csv));
      const args = [...sectionArgs(), '--csv', '/out/stringing.csv'];
      const r = await run(args, [], ['/out/stringing.csv']);
      if (r.status !== 0) $('error-section').textContent = refusal(r);
      else download('stringing.csv', 'text/csv', r.files['/out/stringing.csv']);
    });
    // The profile's CSV files: the command writes them into a folder of the module's (solve.csv
    // when solving).
    const profileCsv = ['spans', 'towers', 'violations', 'solve'];
    for (const name of profileCsv) {
      $('dl-pf-' + name).addEventListener('click', async () => {
        $('error-profile').textContent = '';
        const file = '/out/profile/' + name + '.csv';
        const r = await run([...profileArgs(), '--csv', '/out/profile'], [], profileCsv.map((f) => '/out/profile/' + f + '.csv'));
        if (r.status !== 0) { $('error-profile').textContent = refusal(r); return; }
        if (r.files[file]) download(name + '.csv', 'text/csv', r.files[file]);
      });
    }
    $('dl-pf-svg').addEventListener('click', async () => {
      await recompute();
      if ($('chart-profile').innerHTML) download('profile.svg', 'image/svg+xml', lastSvg.profile);
    });
    $('dl-sec-svg').addEventListener('click', async () => {
      await recompute();
      if ($('chart-section').innerHTML) download('stringing.svg', 'image/svg+xml', lastSvg.section);
    });
  }

  start().catch((e) => {
    const box = $('loading');
    box.textContent = 'varnel: ' + (e && e.message ? e.message : String(e));
    box.classList.add('error');
  });
}());
