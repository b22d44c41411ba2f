'use strict';
// The overview: counters, every station in a table that sorts and filters,
// statuses changed in place from the event stream.
(function () {
  const d = window.dash;
  const columns = [
    ['title', (s) => s.title], ['code', (s) => s.code], ['status', (s) => s.status], ['visits24', null],
    ['dataAge', (s) => d.age(s.newestValue)], ['lastSuccess', (s) => s.lastSuccess],
    ['nextVisit', (s) => s.nextVisit], ['completeness', (s) => s.completeness30d],
    ['voltage', (s) => s.supplyVoltage], ['drift', (s) => s.clockDriftSeconds],
    ['memory', (s) => s.memoryFullAt]
  ];
  let stations = [];
  const rows = new Map(); // code → {station, tr}
  let sortKey = 0, sortUp = true;
  // One collator: localeCompare with a locale builds one for every call.
  const collator = new Intl.Collator(d.lang(), { numeric: true });

  function periodMinutes(s) {
    const last = d.parse(s.lastConnection), next = d.parse(s.nextVisit);
    return last && next ? (next - last) / 60000 : null;
  }

  function fillRow(s, tr) {
    // An alarm is what the station's own colour says first; whether its
    // visits fail is still told by the counters and the strip.
    tr.className = 'state-' + (d.alarmed(s) ? 'alarm' : d.state(s));
    const cells = tr.children;
    const age = d.age(s.newestValue);
    const period = periodMinutes(s);
    cells[2].textContent = s.status || '';
    const tips = s.error ? [s.error] : [];
    if (d.alarmed(s)) {
      const alarms = s.valueAlarms.map(d.alarmText);
      cells[2].prepend(d.el('span', { class: 'alarm-tag' },
        d.t('alarm') + ': ' + s.valueAlarms.map((a) => d.t(a.kind)).join(', ')));
      tips.push(...alarms);
    }
    cells[2].title = tips.join('\n');
    cells[4].textContent = d.ageText(age);
    cells[4].className = age !== null && period && age > 2 * period ? 'old' : '';
    cells[5].textContent = d.when(s.lastSuccess);
    cells[6].textContent = d.when(s.nextVisit);
    cells[7].textContent = s.completeness30d === null ? '–' : (s.completeness30d * (s.completeness30d <= 1 ? 100 : 1)).toFixed(1) + ' %';
    cells[8].textContent = s.supplyVoltage === null ? '–' : s.supplyVoltage + ' V';
    cells[9].textContent = s.clockDriftSeconds === null ? '–' : s.clockDriftSeconds + ' s';
    cells[10].textContent = s.memoryFullAt ? s.memoryFullAt.slice(0, 10) : '–';
  }

  function makeRow(s) {
    const tr = document.createElement('tr');
    tr.dataset.code = s.code;
    const title = d.el('td', { class: 'title' });
    title.append(d.setCut(d.el('a', { href: '/station?code=' + encodeURIComponent(s.code) }), s.title, 120));
    const bars = d.el('td', { class: 'bars' });
    tr.append(title, d.setCut(d.el('td', { class: 'code' }), s.code, 40), document.createElement('td'), bars);
    for (let i = 4; i < columns.length; ++i) tr.append(document.createElement('td'));
    fillRow(s, tr);
    return tr;
  }

  function counters() {
    const box = document.getElementById('counters');
    const n = { total: stations.length, active: 0, failing: 0, inAlarm: 0, inactive: 0 };
    for (const s of stations) {
      const st = d.state(s);
      if (st === 'off') ++n.inactive; else ++n.active;
      if (st === 'bad') ++n.failing;
      if (d.alarmed(s)) ++n.inAlarm;
    }
    box.replaceChildren();
    for (const key of ['total', 'active', 'failing', 'inAlarm', 'inactive']) {
      const c = d.el('div', { class: 'counter ' + key, id: 'count-' + key });
      c.append(d.el('span', { class: 'n' }, n[key]), d.el('span', {}, d.t(key)));
      box.append(c);
    }
  }

  function compare(a, b) {
    const f = columns[sortKey][1];
    const x = f(a), y = f(b);
    if (x === y) return 0;
    if (x === null || x === undefined) return 1;
    if (y === null || y === undefined) return -1;
    const r = typeof x === 'number' && typeof y === 'number' ? x - y : collator.compare(String(x), String(y));
    return sortUp ? r : -r;
  }

  function show() {
    const text = document.getElementById('filter').value.trim().toLocaleLowerCase();
    const onlyFailing = document.getElementById('failing').checked;
    const body = document.querySelector('#stations tbody');
    const sorted = stations.slice().sort(compare);
    const fragment = document.createDocumentFragment();
    for (const s of sorted) {
      const row = rows.get(s.code);
      const hit = (!text || (s.title + ' ' + s.code + ' ' + (s.status || '')).toLocaleLowerCase().includes(text)) &&
        (!onlyFailing || d.state(s) === 'bad');
      row.tr.hidden = !hit;
      fragment.append(row.tr);
    }
    body.replaceChildren(fragment);
    loadBars();
  }

  // The visits of the last 24 hours of each row as it comes into view, a
  // few requests at a time: a network of thousands asks only for what is seen.
  let barQueue = [];
  let barsRunning = 0;
  const barWatch = new IntersectionObserver((entries) => {
    for (const e of entries) {
      if (e.isIntersecting && !e.target.dataset.bars && !barQueue.includes(e.target)) barQueue.push(e.target);
    }
    while (barsRunning < 4 && barQueue.length) nextBar();
  }, { rootMargin: '300px 0px' });
  function loadBars() {
    for (const tr of document.querySelectorAll('#stations tbody tr')) barWatch.observe(tr);
  }
  async function nextBar() {
    const tr = barQueue.shift();
    if (!tr) return;
    if (tr.dataset.bars) return nextBar();
    ++barsRunning;
    tr.dataset.bars = '1';
    try {
      const one = await d.json('/api/v1/stations/' + encodeURIComponent(tr.dataset.code));
      drawBars(tr.children[3], one.visits || []);
    } catch (e) {
      tr.dataset.bars = '';
    }
    --barsRunning;
    nextBar();
  }
  function drawBars(cell, visits) {
    const strip = d.el('div', { class: 'strip' });
    const now = Date.now(), span = 24 * 3600 * 1000;
    for (const v of visits) {
      const t = d.parse(v.start);
      if (!t) continue;
      const mark = d.el('i', { class: v.result === 'success' ? 'v-ok' : (v.reason === 'retry' ? 'v-retry' : 'v-bad'),
        title: d.shortTime(v.start) + ' ' + v.result + (v.reason ? ': ' + v.reason : '') });
      mark.style.left = Math.max(0, Math.min(100, 100 - (now - t.getTime()) / span * 100)).toFixed(2) + '%';
      strip.append(mark);
    }
    cell.prepend(strip);
  }

  function header() {
    const tr = document.createElement('tr');
    columns.forEach(([key], i) => {
      const th = d.el('th', { scope: 'col' }, d.t(key));
      if (columns[i][1]) {
        th.classList.add('sortable');
        if (i === sortKey) th.classList.add(sortUp ? 'up' : 'down');
        th.addEventListener('click', () => {
          sortUp = sortKey === i ? !sortUp : true;
          sortKey = i;
          header();
          show();
        });
      }
      tr.append(th);
    });
    document.querySelector('#stations thead').replaceChildren(tr);
  }

  function listen() {
    const live = document.getElementById('live');
    const events = new EventSource('/api/v1/events');
    events.addEventListener('open', () => { live.textContent = d.t('live'); live.className = 'live on'; });
    events.addEventListener('error', () => { live.textContent = d.t('offline'); live.className = 'live'; });
    events.addEventListener('status', (e) => {
      let ev;
      try { ev = JSON.parse(e.data); } catch (x) { return; }
      const row = rows.get(ev.code);
      if (!row) return;
      row.station.status = ev.status;
      // The event says only whether it is an error; the reason comes with the list.
      row.station.error = ev.error ? (row.station.error || ev.status) : null;
      if (ev.time) row.station.lastConnection = ev.time;
      fillRow(row.station, row.tr);
      counters();
    });
    // A value alarm raised or cleared at any station.
    events.addEventListener('alarm', (e) => {
      let ev;
      try { ev = JSON.parse(e.data); } catch (x) { return; }
      const row = rows.get(ev.code);
      if (!row) return;
      const s = row.station;
      s.valueAlarms = (s.valueAlarms || []).filter((a) => !(a.slot === ev.channel && a.kind === ev.kind));
      if (ev.raised) s.valueAlarms.push({ slot: ev.channel, kind: ev.kind, since: ev.since, value: ev.value });
      fillRow(s, row.tr);
      counters();
    });
  }

  async function load() {
    const list = await d.json('/api/v1/stations');
    stations = list.stations || [];
    rows.clear();
    for (const s of stations) rows.set(s.code, { station: s, tr: makeRow(s) });
    counters();
    show();
    document.body.dataset.ready = String(stations.length);
    // Drawn: the frame after the table went in (read by the benchmark).
    requestAnimationFrame(() => setTimeout(() => {
      document.body.dataset.rendered = String(Math.round(performance.now()));
    }));
  }

  window.addEventListener('DOMContentLoaded', async () => {
    if (!await d.start('overview')) return;
    const filter = document.getElementById('filter');
    filter.placeholder = d.t('filter');
    filter.addEventListener('input', show);
    document.getElementById('failing').addEventListener('change', show);
    header();
    await load();
    listen();
    // The figures that change without an event (ages, next visits).
    setInterval(load, 60000);
  });
})();
