// The span tab's curve: `varnel span` for one condition of the span just computed, its figures
// (low point, support heights, stresses and angles, largest sag, length) and its curve drawn from
// the command's points. Only the area's conditions without wind are offered: their load lies in
// the vertical plane, so the curve is the one the control search strung (a wind condition's
// curve swings out of that plane; its horizontal load can be given to the command here).
// A classic script: app.js calls window.varnelSpanTab(api) once the module is loaded.
'use strict';

(function () {
  const TEXT = {
    zh: {
      spanCurve: '档内导线曲线', spanCurveCondition: '工况', spanHorizontalLoad: '水平（风）比载',
      spanCurveNote: '曲线为 varnel span 按所选工况的水平应力与比载计算（只列无风工况；填写水平比载则在合成比载与弦线所在平面内）。',
      downloadJson: '下载 JSON', lowPoint: '最低点（距近端）', nearHeight: '近端悬挂点高于最低点',
      farHeight: '远端悬挂点高于最低点', maxSagAt: '最大弧垂位置（距近端）', length: '线长',
      nearStress: '近端悬挂点应力', farStress: '远端悬挂点应力', nearAngle: '近端悬垂角',
      farAngle: '远端悬垂角', swing: '风偏角', maxSagVertical: '最大弧垂竖向分量',
      maxSagSideways: '最大弧垂横向分量', curveX: '距近端 (m)', curveY: '高于近端悬挂点 (m)',
      chord: '弦线', curve: '导线', spanHeight: '高差（远端高于近端为正，填写时代替余弦）',
      noWindless: '此气象区没有无风工况',
    },
    en: {
      spanCurve: 'The conductor in the span', spanCurveCondition: 'Condition', spanHorizontalLoad: 'Horizontal (wind) specific load',
      spanCurveNote: 'The curve is varnel span\'s for the chosen condition\'s horizontal stress and specific load (conditions without wind only; with a horizontal load, in the plane of the resultant load and the chord).',
      downloadJson: 'Download JSON', lowPoint: 'Low point (from the near support)', nearHeight: 'Near support above the low point',
      farHeight: 'Far support above the low point', maxSagAt: 'Largest sag at', length: 'Length',
      nearStress: 'Stress at the near support', farStress: 'Stress at the far support', nearAngle: 'Angle at the near support',
      farAngle: 'Angle at the far support', swing: 'Swing', maxSagVertical: 'Largest sag, vertical part',
      maxSagSideways: 'Largest sag, sideways part', curveX: 'from the near support (m)', curveY: 'above the near support (m)',
      chord: 'chord', curve: 'conductor', spanHeight: 'Height difference (far above near; replaces the cosine)',
      noWindless: 'The area has no condition without wind',
    },
  };
  const POINTS = 200;

  window.varnelSpanTab = function (api) {
    const { $, t, esc, num } = api;
    api.addText(TEXT);
    const box = $('span-curve');
    box.innerHTML = '<h2 data-t="spanCurve"></h2><p class="note" data-t="spanCurveNote"></p>' +
      '<fieldset class="inputs"><label><span data-t="spanCurveCondition"></span> <select id="spanCurveCondition"></select></label>' +
      '<label><span data-t="spanHorizontalLoad"></span> <input id="spanHorizontalLoad" name="shl" type="number" step="any" min="0" value=""> ' +
      '<span class="unit">N/(m·mm²)</span></label></fieldset>' +
      '<div class="downloads"><button type="button" id="dl-span-json" data-t="downloadJson"></button></div>' +
      '<div id="error-span-curve" class="error" role="alert"></div>' +
      '<div id="span-curve-summary"></div><div id="chart-span" class="chart"></div>';
    for (const el of box.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
    let last = null;  // the command's arguments and its JSON
    let chosen = null;  // the condition's name, kept across recomputations

    $('spanCurveCondition').addEventListener('change', () => { chosen = $('spanCurveCondition').value; });
    $('dl-span-json').addEventListener('click', () => {
      if (last) api.download('span.json', 'application/json', last.stdout);
    });

    // The curve and its chord, from the command's points, with the largest sag marked.
    function chart(d, span, h) {
      const W = 900, H = 360, L = 70, R = 20, T = 20, B = 50;
      const ys = d.points.map((p) => p.height_m);
      let lo = Math.min(0, h, ...ys);
      let hi = Math.max(0, h, ...ys);
      if (!(hi > lo)) { lo -= 1; hi += 1; }
      const pad = (hi - lo) * 0.08;
      lo -= pad; hi += pad;
      const x = (v) => L + (v / span) * (W - L - R);
      const y = (v) => T + (hi - v) / (hi - lo) * (H - T - B);
      const path = d.points.map((p, i) => (i ? 'L' : 'M') + x(p.x_m).toFixed(2) + ',' + y(p.height_m).toFixed(2)).join(' ');
      const at = d.max_sag_at_m;
      const chordAt = h * at / span;
      // Round values, about five over [a, b].
      const ticks = (a, b) => {
        const raw = (b - a) / 5;
        const p = Math.pow(10, Math.floor(Math.log10(raw)));
        const step = [1, 2, 5, 10].map((m) => m * p).find((k) => k >= raw);
        const out = [];
        for (let v = Math.ceil(a / step) * step; v <= b + step * 1e-9; v += step) out.push(Number(v.toPrecision(12)));
        return out;
      };
      let s = '<svg xmlns="http://www.w3.org/2000/svg" width="' + W + '" height="' + H + '" viewBox="0 0 ' + W + ' ' + H +
        '" font-family="sans-serif" font-size="12" role="img" aria-label="' + esc(t('spanCurve')) + '"><rect width="100%" height="100%" fill="white"/>';
      for (const v of ticks(lo, hi)) {
        s += '<line x1="' + L + '" x2="' + (W - R) + '" y1="' + y(v).toFixed(2) + '" y2="' + y(v).toFixed(2) + '" stroke="#ddd"/>' +
          '<text x="' + (L - 6) + '" y="' + (y(v) + 4).toFixed(2) + '" text-anchor="end">' + v + '</text>';
      }
      for (const v of ticks(0, span)) {
        s += '<text x="' + x(v).toFixed(2) + '" y="' + (H - B + 18) + '" text-anchor="middle">' + v + '</text>';
      }
      s += '<line x1="' + L + '" y1="' + T + '" x2="' + L + '" y2="' + (H - B) + '" stroke="black"/>' +
        '<line x1="' + L + '" y1="' + (H - B) + '" x2="' + (W - R) + '" y2="' + (H - B) + '" stroke="black"/>' +
        '<text class="axis" x="' + ((L + W - R) / 2) + '" y="' + (H - 12) + '" text-anchor="middle">' + esc(t('curveX')) + '</text>' +
        '<text class="axis" transform="translate(16 ' + ((T + H - B) / 2) + ') rotate(-90)" text-anchor="middle">' + esc(t('curveY')) + '</text>' +
        '<line class="chord" x1="' + x(0) + '" y1="' + y(0).toFixed(2) + '" x2="' + x(span) + '" y2="' + y(h).toFixed(2) + '" stroke="#888" stroke-dasharray="6 4"/>' +
        '<path class="curve" d="' + path + '" fill="none" stroke="#1f5fa8" stroke-width="2"/>' +
        '<line class="max-sag" x1="' + x(at).toFixed(2) + '" y1="' + y(chordAt).toFixed(2) + '" x2="' + x(at).toFixed(2) + '" y2="' + y(chordAt - d.max_sag_m).toFixed(2) + '" stroke="#b00" stroke-width="1.5"/>' +
        '<text class="legend" x="' + (x(at) + 6).toFixed(2) + '" y="' + (y(chordAt - d.max_sag_m / 2) + 4).toFixed(2) + '" fill="#b00">' + esc(t('maxSag')) + ' ' + d.max_sag_m.toFixed(3) + ' m</text>' +
        '<text class="legend" x="' + (L + 8) + '" y="' + (T + 14) + '" fill="#1f5fa8">— ' + esc(t('curve')) + '</text>' +
        '<text class="legend" x="' + (L + 8) + '" y="' + (T + 30) + '" fill="#888">- - ' + esc(t('chord')) + '</text></svg>';
      return s;
    }

    return {
      // After the control search of the span tab: `doc` its JSON, `span` and `height` the span's
      // length and height difference (m, as typed), `model` the design model. Asynchronous: the
      // command runs in the page's worker.
      async render(doc, span, height, model) {
        const sel = $('spanCurveCondition');
        const areas = api.areaDoc();
        const area = areas && areas.areas.find((a) => a.name === doc.area);
        const still = new Set(area ? area.conditions.filter((c) => c.wind_m_per_s === 0).map((c) => c.name) : []);
        const offered = doc.conditions.filter((c) => still.has(c.name) && c.stress_N_per_mm2 !== null);
        $('error-span-curve').textContent = '';
        if (!offered.length) {
          sel.innerHTML = '';
          $('span-curve-summary').innerHTML = '<p class="note">' + esc(t('noWindless')) + '</p>';
          $('chart-span').innerHTML = '';
          last = null;
          return;
        }
        // By default the condition of the largest sag, where clearances are checked.
        const largest = offered.reduce((a, b) => (b.sag_m > a.sag_m ? b : a));
        const name = offered.some((c) => c.name === chosen) ? chosen : largest.name;
        sel.innerHTML = offered.map((c) => '<option' + (c.name === name ? ' selected' : '') + '>' + esc(c.name) + '</option>').join('');
        const c = offered.find((x) => x.name === name);
        // Without a height difference the span is inclined as its cosine says, far support above.
        const cos = doc.factors.cos;
        const h = height !== '' ? height : String(cos < 1 ? Number(span) * Math.sqrt(1 / (cos * cos) - 1) : 0);
        const args = ['span', '--span', span, '--height-difference', h,
          '--stress', String(c.stress_N_per_mm2), '--load', String(c.specific_load_N_per_m_mm2),
          '--model', model, '--points', String(POINTS), '--json'];
        const wind = $('spanHorizontalLoad').value.trim();
        if (wind !== '') args.push('--horizontal-load', wind);
        const r = await api.runOrShow('span-curve', args, ['span-curve-summary', 'chart-span']);
        if (!r) {
          last = null;
          return;
        }
        last = { args, stdout: r.stdout };
        const d = JSON.parse(r.stdout);
        const row = (key, x, digits, u) => (x === undefined ? '' : '<tr data-key="' + key + '"><th scope="row">' +
          esc(t(key)) + '</th>' + num(x, digits) + '<td>' + esc(u) + '</td></tr>');
        $('span-curve-summary').innerHTML = '<table class="grid" id="span-curve-table"><tbody>' +
          row('lowPoint', d.low_point_m, 3, 'm') + row('nearHeight', d.near_height_above_low_point_m, 3, 'm') +
          row('farHeight', d.far_height_above_low_point_m, 3, 'm') + row('maxSag', d.max_sag_m, 3, 'm') +
          row('maxSagAt', d.max_sag_at_m, 3, 'm') + row('length', d.length_m, 3, 'm') +
          row('nearStress', d.near_stress_N_per_mm2, 3, 'N/mm²') + row('farStress', d.far_stress_N_per_mm2, 3, 'N/mm²') +
          row('nearAngle', d.near_angle_deg, 3, '°') + row('farAngle', d.far_angle_deg, 3, '°') +
          row('swing', d.swing_deg, 2, '°') + row('maxSagVertical', d.max_sag_vertical_m, 3, 'm') +
          row('maxSagSideways', d.max_sag_sideways_m, 3, 'm') + '</tbody></table>';
        const rise = d.plane_height_difference_m !== undefined ? d.plane_height_difference_m : Number(h);
        const along = d.plane_span_m !== undefined ? d.plane_span_m : Number(span);
        $('chart-span').innerHTML = chart(d, along, rise);
      },
      relabel() {
        for (const el of box.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
      },
    };
  };
}());
