// A JSON download on the sag table, section, thermal and profile tabs: the command's own --json
// document of the run the tab shows, to the byte.
// A classic script: app.js calls window.varnelJsonDownloads(api) once the module is loaded.
'use strict';

(function () {
  // tab → [the box its buttons are in, the file's name]
  const TABS = { sag: ['panel-sag', 'sag-table.json'], section: ['panel-section', 'section.json'],
    thermal: ['panel-thermal', 'thermal.json'], profile: ['panel-profile', 'profile.json'] };

  window.varnelJsonDownloads = function (api) {
    const { $, t } = api;
    api.addText({ zh: { downloadJson: '下载 JSON' }, en: { downloadJson: 'Download JSON' } });
    for (const [tab, [panel, file]] of Object.entries(TABS)) {
      const box = $(panel).querySelector('.downloads');
      const button = document.createElement('button');
      button.type = 'button';
      button.id = 'dl-' + tab + '-json';
      button.dataset.t = 'downloadJson';
      button.textContent = t('downloadJson');
      button.addEventListener('click', () => {
        const json = api.lastJson(tab);
        if (json !== null) api.download(file, 'application/json', json);
      });
      box.appendChild(button);
    }
    return {};
  };
}());
