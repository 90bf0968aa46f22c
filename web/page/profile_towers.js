// The profile tab's figures of one tower in every condition, as `profile --json` gives them:
// the weight span, the vertical and horizontal loads, the string's swing and its allowed swing,
// and the net upward load of a string pulled up. The towers table above shows their extremes.
// A classic script: app.js calls window.varnelProfileTowers(api) once the module is loaded.
'use strict';

(function () {
  const TEXT = {
    zh: {
      towerByCondition: '杆塔各工况数值', towerChoice: '杆塔', vSpan: '垂直档距', vLoad: '垂直荷载',
      hLoad: '水平荷载', swingAngle: '摇摆角', swingAllowed: '允许摇摆角', upliftNet: '上拔力',
    },
    en: {
      towerByCondition: 'A tower in each condition', towerChoice: 'Tower', vSpan: 'Weight span', vLoad: 'Vertical load',
      hLoad: 'Horizontal load', swingAngle: 'Swing', swingAllowed: 'Allowed swing', upliftNet: 'Upward load',
    },
  };

  window.varnelProfileTowers = function (api) {
    const { $, t, esc, num, th } = api;
    api.addText(TEXT);
    const box = $('profile-towers-conditions');
    box.innerHTML = '<h2 data-t="towerByCondition"></h2><label><span data-t="towerChoice"></span> ' +
      '<select id="pfTowerChoice"></select></label><div id="out-profile-tower" class="scroll"></div>';
    for (const el of box.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
    let doc = null;
    let chosen = null;

    function draw() {
      if (!doc) { $('out-profile-tower').innerHTML = ''; return; }
      const x = doc.towers.find((tw) => tw.name === chosen) || doc.towers[0];
      const at = (xs, k) => (xs === null || xs === undefined ? null : xs[k]);
      let html = '<table class="grid" id="profile-tower-conditions"><thead><tr>' + th(t('condition')) +
        th(t('vSpan'), 'm') + th(t('vLoad'), 'N') + th(t('hLoad'), 'N') + th(t('swingAngle'), '°') +
        th(t('swingAllowed'), '°') + th(t('upliftNet'), 'N') + '</tr></thead><tbody>';
      doc.conditions.forEach((c, k) => {
        html += '<tr><th scope="row">' + esc(c.name) + '</th>' + num(at(x.vertical_span_m, k), 2) +
          num(at(x.vertical_load_N, k), 1) + num(at(x.horizontal_load_N, k), 1) + num(at(x.swing_angle_deg, k), 2) +
          num(at(x.swing_limit_deg, k), 1) + num(at(x.uplift_load_N, k), 0) + '</tr>';
      });
      $('out-profile-tower').innerHTML = html + '</tbody></table>';
    }

    // A choice of what to show: nothing to recompute.
    $('pfTowerChoice').addEventListener('input', (e) => e.stopPropagation());
    $('pfTowerChoice').addEventListener('change', () => { chosen = $('pfTowerChoice').value; draw(); });

    return {
      // After the profile's run: its JSON (null when it failed).
      render(d) {
        doc = d;
        const sel = $('pfTowerChoice');
        if (!d) { sel.innerHTML = ''; draw(); return; }
        if (!d.towers.some((x) => x.name === chosen)) chosen = d.towers[0].name;
        sel.innerHTML = d.towers.map((x) => '<option' + (x.name === chosen ? ' selected' : '') + '>' + esc(x.name) + '</option>').join('');
        draw();
      },
      relabel() {
        for (const el of box.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
        draw();
      },
    };
  };
}());
