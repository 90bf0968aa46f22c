// The wind tab: `varnel wind pole|conductor|insulator`, the wind load on a tapered pole, a length
// of conductor or an insulator string, with every coefficient the command took.
// A classic script: app.js calls window.varnelWindTab(api) once the module is loaded.
'use strict';

(function () {
  const TEXT = {
    zh: {
      tabWind: '风荷载', windInputs: '风荷载', windKind: '对象', windPole: '电杆（锥形环形截面）',
      windConductor: '导线（按裸线外径）', windInsulator: '绝缘子串', windSpeed: '风速',
      windIce: '覆冰厚度', windLength: '受风长度', windHeight: '离地高度', windAngle: '风向与导线夹角',
      windTopDiameter: '梢径', windTopHeight: '杆顶离地高度', windTaper: '锥度 1:N', windBottomHeight: '杆底离地高度',
      windArea: '受风面积', windLoad: '风荷载', windRefHeight: '风速基准高度', basicPressure: '基本风压 W0',
      alphaCoefficient: '风压不均匀系数 α', muZ: '风压高度变化系数 μz', muSc: '体型系数 μsc', muS: '体型系数 μs',
      windNoteConductor: '风速为离地 15 m 处的风速（示例气象区的风速为 10 m 处）。', windNotePole: '风速为离地 10 m 处的风速。',
      windForce: '风荷载合力', windMoment: '对杆底弯矩', muZTop: '杆顶 μz', muZBottom: '杆底 μz',
    },
    en: {
      tabWind: 'Wind loads', windInputs: 'Wind load', windKind: 'On', windPole: 'a pole (tapered ring section)',
      windConductor: 'a conductor (bare diameter)', windInsulator: 'an insulator string', windSpeed: 'Wind speed',
      windIce: 'Ice', windLength: 'Length under the wind', windHeight: 'Height above ground', windAngle: 'Angle of wind to conductor',
      windTopDiameter: 'Top diameter', windTopHeight: 'Top above ground', windTaper: 'Taper 1:N', windBottomHeight: 'Bottom above ground',
      windArea: 'Area in the wind', windLoad: 'Wind load', windRefHeight: 'Height of the wind speed', basicPressure: 'Basic pressure W0',
      alphaCoefficient: 'Non-uniformity α', muZ: 'Height coefficient μz', muSc: 'Shape coefficient μsc', muS: 'Shape coefficient μs',
      windNoteConductor: 'The speed is at 15 m above ground (the sample areas give theirs at 10 m).', windNotePole: 'The speed is at 10 m above ground.',
      windForce: 'Wind force', windMoment: 'Moment at the bottom', muZTop: 'μz at the top', muZBottom: 'μz at the bottom',
    },
  };
  // Each field: its id, the command's option, its label, unit, default, and the kinds it is for.
  const FIELDS = [
    ['wWind', '--wind', 'windSpeed', 'm/s', '25', ['pole', 'conductor', 'insulator']],
    ['wIce', '--ice', 'windIce', 'mm', '0', ['conductor']],
    ['wDiameter', '--diameter', 'diameter', 'mm', '21.6', ['conductor']],
    ['wLength', '--length', 'windLength', 'm', '300', ['conductor']],
    ['wHeight', '--height', 'windHeight', 'm', '20', ['conductor', 'insulator']],
    ['wAngle', '--angle', 'windAngle', '°', '90', ['conductor']],
    ['wTopDiameter', '--top-diameter', 'windTopDiameter', 'mm', '190', ['pole']],
    ['wTopHeight', '--top-height', 'windTopHeight', 'm', '12', ['pole']],
    ['wTaper', '--taper', 'windTaper', '—', '75', ['pole']],
    ['wBottomHeight', '--bottom-height', 'windBottomHeight', 'm', '0', ['pole']],
    ['wArea', '--area', 'windArea', 'm²', '2', ['insulator']],
  ];
  // [key, label, unit, decimals shown]
  const RESULTS = [['load_kN', 'windLoad', 'kN', 4], ['force_kN', 'windForce', 'kN', 4], ['moment_kN_m', 'windMoment', 'kN·m', 4]];
  const COEFFICIENTS = [['wind_reference_height_m', 'windRefHeight', 'm', 0], ['basic_pressure_kN_per_m2', 'basicPressure', 'kN/m²', 6],
    ['alpha', 'alphaCoefficient', '—', 3], ['mu_z', 'muZ', '—', 4], ['mu_sc', 'muSc', '—', 2], ['mu_s', 'muS', '—', 4],
    ['mu_z_top', 'muZTop', '—', 4], ['mu_z_bottom', 'muZBottom', '—', 4]];

  window.varnelWindTab = function (api) {
    const { $, t, esc, num } = api;
    api.addText(TEXT);
    const panel = $('panel-wind');
    panel.innerHTML = '<fieldset class="inputs"><legend data-t="windInputs"></legend>' +
      '<label><span data-t="windKind"></span> <select id="wKind" name="wk"><option value="conductor" data-t="windConductor"></option>' +
      '<option value="pole" data-t="windPole"></option><option value="insulator" data-t="windInsulator"></option></select></label>' +
      FIELDS.map(([id, , label, unit, value]) => '<label><span data-t="' + label + '"></span> <input id="' + id + '" name="' +
        id.toLowerCase() + '" type="number" step="any" value="' + value + '"> <span class="unit">' + esc(unit) + '</span></label>').join('') +
      '</fieldset><p class="note" id="wind-note"></p><div class="downloads"><button type="button" id="dl-wind-json" data-t="downloadJson"></button></div>' +
      '<div id="error-wind" class="error" role="alert"></div><div id="out-wind"></div>';
    let last = null;

    function showFields() {
      const kind = $('wKind').value;
      for (const [id, , , , , kinds] of FIELDS) $(id).closest('label').hidden = !kinds.includes(kind);
      $('wind-note').textContent = t(kind === 'pole' ? 'windNotePole' : 'windNoteConductor');
    }
    $('wKind').addEventListener('change', showFields);
    $('dl-wind-json').addEventListener('click', () => { if (last) api.download('wind.json', 'application/json', last); });

    function args() {
      const kind = $('wKind').value;
      const out = ['wind', kind];
      for (const [id, option, , , , kinds] of FIELDS) {
        const value = $(id).value.trim();
        if (kinds.includes(kind) && value !== '') out.push(option, value);
      }
      return [...out, '--json'];
    }

    function render(d) {
      // The results first (a pole's force and its moment at the bottom, else the load), then
      // every coefficient the command gives.
      let html = '<table class="grid" id="wind-table"><tbody>';
      for (const [key, label, unit, digits] of RESULTS) {
        if (d[key] === undefined) continue;
        html += '<tr class="ctl" data-key="' + key + '"><th scope="row">' + esc(t(label)) + '</th>' + num(d[key], digits) +
          '<td>' + esc(unit) + '</td></tr>';
      }
      for (const [key, x] of Object.entries(d.coefficients)) {
        const known = COEFFICIENTS.find((c) => c[0] === key);
        html += '<tr data-key="' + key + '"><th scope="row">' + esc(known ? t(known[1]) : key) + '</th>' +
          (typeof x === 'number' ? num(x, known ? known[3] : 4) : '<td>' + esc(x) + '</td>') +
          '<td>' + esc(known ? known[2] : '—') + '</td></tr>';
      }
      $('out-wind').innerHTML = html + '</tbody></table>';
    }

    return {
      // Asynchronous: the command runs in the page's worker.
      async compute() {
        showFields();
        $('error-wind').textContent = '';
        const r = await api.runOrShow('wind', args(), ['out-wind']);
        if (!r) {
          last = null;
          return;
        }
        last = r.stdout;
        render(JSON.parse(r.stdout));
      },
      relabel() {
        for (const el of panel.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
        showFields();
      },
    };
  };
}());
