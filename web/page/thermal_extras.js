// The thermal tab's further inputs, as `varnel thermal` takes them: the sun placed in the sky
// (latitude, day, solar hour, the line's azimuth, the atmosphere) in place of a given
// irradiance; the diameters of the outer strands and of the steel core; and, for a conductor
// given by its diameter, its resistance at two temperatures in place of the one at 20 °C.
// A classic script: app.js calls window.varnelThermalExtras(api) once the module is loaded.
'use strict';

(function () {
  const TEXT = {
    zh: {
      sunSource: '日照', sunGiven: '按日照强度', sunPlaced: '按太阳位置', latitude: '纬度（北为正）', dayOfYear: '日序（1–366）',
      solarHour: '真太阳时', lineAzimuth: '线路走向（自北顺时针）', atmosphere: '大气', atmClear: '洁净', atmIndustrial: '工业区',
      strandDiameter: '外层单线直径', coreDiameter: '钢芯直径', twoPointResistance: '两点电阻（温度:电阻, 温度:电阻）',
    },
    en: {
      sunSource: 'Sun', sunGiven: 'a given irradiance', sunPlaced: 'placed in the sky', latitude: 'Latitude (north positive)',
      dayOfYear: 'Day of the year (1–366)', solarHour: 'Solar time', lineAzimuth: 'Line direction (clockwise from north)',
      atmosphere: 'Atmosphere', atmClear: 'clear', atmIndustrial: 'industrial', strandDiameter: 'Outer strand diameter',
      coreDiameter: 'Steel core diameter', twoPointResistance: 'Resistance at two temperatures (T:R, T:R)',
    },
  };
  // id, option, label, unit, default, when shown ('sun': the sun placed; 'diameter': a conductor
  // by its diameter; 'always')
  const FIELDS = [
    ['thLatitude', '--latitude', 'latitude', '°', '30', 'sun'],
    ['thDay', '--day', 'dayOfYear', 'd', '161', 'sun'],
    ['thHour', '--hour', 'solarHour', 'h', '12', 'sun'],
    ['thAzimuth', '--azimuth', 'lineAzimuth', '°', '90', 'sun'],
    ['thStrand', '--strand-diameter', 'strandDiameter', 'mm', '', 'always'],
    ['thCore', '--core-diameter', 'coreDiameter', 'mm', '', 'always'],
  ];

  window.varnelThermalExtras = function (api) {
    const { $, t, esc } = api;
    api.addText(TEXT);
    const box = $('thermal-extras');
    box.innerHTML = '<label><span data-t="sunSource"></span> <select id="thSun" name="tsun"><option value="given" data-t="sunGiven"></option>' +
      '<option value="placed" data-t="sunPlaced"></option></select></label>' +
      FIELDS.map(([id, , label, unit, value]) => '<label><span data-t="' + label + '"></span> <input id="' + id + '" name="' +
        id.toLowerCase() + '" type="number" step="any" value="' + value + '"> <span class="unit">' + esc(unit) + '</span></label>').join('') +
      '<label><span data-t="atmosphere"></span> <select id="thAtmosphere" name="tatm"><option value="clear" data-t="atmClear"></option>' +
      '<option value="industrial" data-t="atmIndustrial"></option></select></label>' +
      '<label><span data-t="twoPointResistance"></span> <input id="thResistance" name="tres" type="text" spellcheck="false" value="" placeholder="25:0.07283,75:0.08688"> ' +
      '<span class="unit">°C:Ω/km</span></label>';
    for (const el of box.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);

    const placed = () => $('thSun').value === 'placed';
    const byDiameter = () => $('thConductorSource').value === 'diameter';
    const twoPoint = () => byDiameter() && $('thResistance').value.trim() !== '';

    return {
      // Whether the irradiance field and the 20 °C resistance give way to these.
      sunPlaced: placed,
      twoPoint,
      args() {
        const out = [];
        for (const [id, option, , , , when] of FIELDS) {
          const value = $(id).value.trim();
          if (value !== '' && (when === 'always' || (when === 'sun' && placed()))) out.push(option, value);
        }
        if (placed()) out.push('--atmosphere', $('thAtmosphere').value);
        if (twoPoint()) out.push('--resistance', $('thResistance').value.trim());
        return out;
      },
      showFields() {
        for (const [id, , , , , when] of FIELDS) $(id).closest('label').hidden = when === 'sun' && !placed();
        $('thAtmosphere').closest('label').hidden = !placed();
        $('thResistance').closest('label').hidden = !byDiameter();
        $('thSolar').closest('label').hidden = placed();
        $('thR20').closest('label').hidden = !byDiameter() || twoPoint();
      },
    };
  };
}());
