'use strict';
// The stations at their stored coordinates, coloured by state and by the
// age of their data; tiles only when a tile server is set.
(function () {
  const d = window.dash;
  const colours = { ok: '#008080', bad: '#ff002a', off: '#999999', alarm: '#ffc233' };
  // A value alarm up colours the station before its visits' state.
  const stateOf = (s) => (d.alarmed(s) ? 'alarm' : d.state(s));

  window.addEventListener('DOMContentLoaded', async () => {
    if (!await d.start('map')) return;
    const map = L.map('map', { attributionControl: false });
    const tiles = (window.dashboardSettings || {}).tileUrl;
    if (tiles) L.tileLayer(tiles, { maxZoom: 18 }).addTo(map);
    const list = (await d.json('/api/v1/stations')).stations || [];
    const key = document.getElementById('key');
    for (const [cls, text] of [['ok', 'working'], ['bad', 'failing'], ['alarm', 'inAlarm'], ['off', 'inactive'], ['ok old', 'oldData']]) {
      const li = d.el('li');
      li.append(d.el('i', { class: 'dot ' + cls }), document.createTextNode(' ' + d.t(text)));
      key.append(li);
    }
    const nowhere = document.getElementById('nowhere');
    const points = [];
    for (const s of list) {
      const at = d.coordinate(s.coordinate);
      const link = d.setCut(d.el('a', { href: '/station?code=' + encodeURIComponent(s.code) }),
        s.title + ' (' + s.code + ')', 80);
      if (!at) {
        const li = d.el('li', { class: 'state-' + stateOf(s) });
        li.append(link);
        nowhere.append(li);
        continue;
      }
      const age = d.age(s.newestValue);
      // Old data shows as a faded point with a thick ring.
      const old = age === null || age > 24 * 60;
      const marker = L.circleMarker(at, { radius: 8, color: '#333', weight: old ? 3 : 1,
        fillColor: colours[stateOf(s)], fillOpacity: old ? 0.35 : 0.9 }).addTo(map);
      const popup = d.el('div');
      popup.append(link, d.el('br'), document.createTextNode(d.cut(s.status || '', 120) + ' · ' + d.ageText(age)));
      marker.bindPopup(popup);
      points.push(at);
    }
    if (points.length) map.fitBounds(points, { padding: [30, 30], maxZoom: 12 });
    else map.setView([39, 35], 5);
    document.body.dataset.ready = String(list.length);
  });
})();
