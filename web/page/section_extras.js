// The section tab's conductor temperature (`section --max-temperature`, a condition of the
// section like the area's own) and its figures per condition: each condition's stress, limit and
// temperature, and every span's sag in every condition, as `section --json` gives them. The
// thermal tab can send the temperature it found here and to the profile tab.
// A classic script: app.js calls window.varnelSectionExtras(api) once the module is loaded.
'use strict';

(function () {
  const TEXT = {
    zh: {
      conductorTemperature: '导线温度（作为一种工况）', perCondition: '各工况应力', perConditionSags: '各档各工况弧垂',
      derived: '推算', sendTemperature: '将导线温度用于耐张段与纵断面', sentTemperature: '已将 {t} °C 填入耐张段与纵断面',
      supportStressNear: '近端悬挂点应力', supportStressFar: '远端悬挂点应力',
    },
    en: {
      conductorTemperature: 'Conductor temperature (as a condition)', perCondition: 'Stress in each condition',
      perConditionSags: 'Sag of each span in each condition', derived: 'derived',
      sendTemperature: 'Use this conductor temperature on the section and profile tabs', sentTemperature: '{t} °C set on the section and profile tabs',
      supportStressNear: 'Near support stress', supportStressFar: 'Far support stress',
    },
  };

  window.varnelSectionExtras = function (api) {
    const { $, t, esc, num, th, unit } = api;
    api.addText(TEXT);
    $('section-temperature').innerHTML = '<label><span data-t="conductorTemperature"></span> ' +
      '<input id="secMaxT" name="smt" type="number" step="any" value=""> <span class="unit">°C</span></label>';
    $('section-conditions').innerHTML = '<h2 data-t="perCondition"></h2><div id="out-section-conditions" class="scroll"></div>' +
      '<h2 data-t="perConditionSags"></h2><div id="out-section-sags" class="scroll"></div>';
    // The thermal tab's button: its temperature (found for a current, or the one a rating was
    // computed for) becomes the section's and the profile's conductor temperature.
    $('thermal-send').insertAdjacentHTML('afterbegin', '<button type="button" id="send-temperature" data-t="sendTemperature" disabled></button> ' +
      '<output id="sent-temperature"></output> ');
    let thermalTemperature = null;
    $('send-temperature').addEventListener('click', () => {
      if (thermalTemperature === null) return;
      const value = String(thermalTemperature);
      $('secMaxT').value = value;
      $('pfMaxT').value = value;
      $('sent-temperature').textContent = t('sentTemperature', { t: thermalTemperature });
      api.schedule(0);
    });
    for (const el of document.querySelectorAll('#section-temperature [data-t], #section-conditions [data-t], #thermal-send [data-t]')) {
      el.textContent = t(el.dataset.t);
    }

    return {
      args() {
        const v = $('secMaxT').value.trim();
        return v === '' ? [] : ['--max-temperature', v];
      },
      // After the section's run: its JSON.
      render(d) {
        let html = '<table class="grid" id="section-conditions-table"><thead><tr>' + th(t('condition')) +
          th(t('temperature'), '°C') + th(t('specificLoad'), 'N/(m·mm²)') + th(t('stress'), 'N/mm²') +
          th(t('limit'), 'N/mm²') + th(t('holds')) + '</tr></thead><tbody>';
        d.conditions.forEach((c, i) => {
          const ctl = d.controlling && d.controlling.index === i;
          const operating = d.operating && d.operating.condition.index === i;
          html += '<tr' + (ctl ? ' class="ctl"' : '') + (operating ? ' data-operating="1"' : '') + '><th scope="row">' +
            esc(c.name) + (ctl ? ' *' : '') + (c.derived ? ' (' + esc(t('derived')) + ')' : '') + '</th>' +
            num(c.temperature_degC, 1) + num(c.specific_load_N_per_m_mm2, 6, true) + num(c.stress_N_per_mm2, 3) +
            num(c.limit_N_per_mm2, 3) + '<td>' + (c.holds === null || c.holds === undefined ? '—' : esc(c.holds ? t('yes') : t('no'))) +
            '</td></tr>';
        });
        $('out-section-conditions').innerHTML = html + '</tbody></table>';
        html = '<table class="grid" id="section-sags"><thead><tr>' + th(t('index')) + th(t('span'), 'm') +
          d.conditions.map((c) => th(c.name, 'm')).join('') + '</tr></thead><tbody>';
        d.spans.forEach((s, i) => {
          html += '<tr><th scope="row">' + (i + 1) + '</th>' + num(s.span_m, 2) + s.sag_m.map((x) => num(x, 3)).join('') + '</tr>';
        });
        $('out-section-sags').innerHTML = html + '</tbody></table>';
      },
      clear() {
        $('out-section-conditions').innerHTML = '';
        $('out-section-sags').innerHTML = '';
      },
      // The thermal tab's result: its conductor temperature, °C (null when it has none).
      thermalResult(temperature) {
        thermalTemperature = typeof temperature === 'number' && Number.isFinite(temperature) ? temperature : null;
        $('send-temperature').disabled = thermalTemperature === null;
        $('sent-temperature').textContent = '';
      },
      relabel() {
        for (const el of document.querySelectorAll('#section-temperature [data-t], #section-conditions [data-t], #thermal-send [data-t]')) {
          el.textContent = t(el.dataset.t);
        }
      },
    };
  };
}());
