'use strict';
// One station: statistics, visits, latest values, a chart of a range drawn
// from the data API, its gaps and downloads of the range.
(function () {
  const d = window.dash;
  const code = new URLSearchParams(location.search).get('code') || '';
  const base = '/api/v1/stations/' + encodeURIComponent(code);
  let channels = [];
  let graph = null;

  function table(id, head, rows) {
    const t = document.getElementById(id);
    t.replaceChildren();
    const tr = document.createElement('tr');
    for (const h of head) tr.append(d.el('th', {}, d.t(h)));
    t.append(tr);
    for (const r of rows) {
      const row = document.createElement('tr');
      for (const c of r) {
        if (c instanceof Node) row.append(d.el('td').appendChild(c).parentNode);
        else row.append(d.el('td', {}, c === null || c === undefined ? '–' : c));
      }
      t.append(row);
    }
  }

  function range() {
    const from = document.getElementById('from').value, to = document.getElementById('to').value;
    const picked = [...document.querySelectorAll('#channels input:checked')].map((e) => e.value);
    const q = new URLSearchParams();
    if (from) q.set('from', from.slice(0, 16));
    if (to) q.set('to', to.slice(0, 16));
    if (picked.length && picked.length < channels.length) q.set('channels', picked.join(','));
    return q;
  }

  function links() {
    const q = range();
    q.set('format', 'csv');
    document.getElementById('csv').href = base + '/data?' + q;
    q.set('format', 'xlsx');
    document.getElementById('xlsx').href = base + '/data?' + q;
  }

  const palette = ['#0b5f8a', '#d9730d', '#1a9e5a', '#8e44ad', '#c0392b', '#7f8c8d', '#b7950b', '#16a085'];
  const colourOf = (channel) => palette[Math.max(0, channels.findIndex((c) => c.channel === channel)) % palette.length];
  const labelOf = (c) => (c.name || String(c.channel)) + (c.unit ? ' (' + c.unit + ')' : '');

  async function chart() {
    links();
    const q = range();
    const data = await d.json(base + '/data?' + q);
    const series = data.channels || [];
    // One row per minute that any channel has, the others blank there.
    const byTime = new Map();
    series.forEach((c, i) => {
      for (const [time, value] of c.values) {
        if (!byTime.has(time)) byTime.set(time, new Array(series.length).fill(null));
        byTime.get(time)[i] = value;
      }
    });
    const times = [...byTime.keys()].sort();
    const rows = [];
    // A break in the line where values are missing: a blank row after any
    // step longer than twice the usual one.
    const steps = times.slice(1).map((t, i) => d.parse(t) - d.parse(times[i])).sort((a, b) => a - b);
    const usual = steps.length ? steps[Math.floor(steps.length / 2)] : 0;
    times.forEach((t, i) => {
      const at = d.parse(t);
      if (i > 0 && usual > 0 && at - rows[rows.length - 1][0] > 2 * usual)
        rows.push([new Date(rows[rows.length - 1][0].getTime() + usual)].concat(new Array(series.length).fill(null)));
      rows.push([at].concat(byTime.get(t)));
    });
    const box = document.getElementById('chart');
    window.chartData = { labels: series.map((c) => c.channel), times: times, rows: times.map((t) => byTime.get(t)) };
    if (graph) { graph.destroy(); graph = window.stationGraph = null; }
    box.replaceChildren();
    if (!rows.length) {
      box.append(d.el('p', { class: 'empty' }, d.t('noData')));
      return;
    }
    // Channels of another unit than the first go on the right-hand axis.
    const series2 = {};
    series.forEach((c, i) => {
      if (i > 0 && c.unit !== series[0].unit) series2[labelOf(c)] = { axis: 'y2' };
    });
    const labels = ['time'].concat(series.map(labelOf));
    // The library's legend writes its labels (channel names from the device)
    // as HTML and sets an inline style; this one writes text.
    Dygraph.PLUGINS = Dygraph.PLUGINS.filter((p) => p !== Dygraph.Plugins.Legend);
    const legend = document.getElementById('legend');
    graph = window.stationGraph = new Dygraph(box, rows, {
      labels: labels, series: series2, colors: series.map((c) => colourOf(c.channel)), axes: { y2: { independentTicks: true } },
      highlightCallback: (event, x, points) => {
        legend.textContent = d.shortTime(d.minute(new Date(x))) + '  ' +
          points.map((p) => p.name + ': ' + p.yval).join('  ');
      },
      unhighlightCallback: () => { legend.textContent = ''; }
    });
  }

  async function gaps() {
    const q = range();
    q.delete('channels');
    const r = await d.json(base + '/gaps?' + q);
    const list = r.gaps || [];
    const rows = list.map((g) => [g.channel, d.shortTime(g.from || g.start), d.shortTime(g.to || g.end)]);
    table('gaps', ['channel', 'start', 'end'], rows);
    if (!rows.length) document.getElementById('gaps').append(d.el('caption', {}, d.t('noGaps')));
  }

  // Newest first: when, how it was seen or sent, by whom, what changed.
  async function configHistory() {
    const r = await d.json(base + '/config-history');
    const show = (v) => (v === null || v === undefined ? '–' : typeof v === 'object' ? JSON.stringify(v) : String(v));
    table('config', ['time', 'source', 'actor', 'changes'], (r.entries || []).slice().reverse().map((e) => [
      d.shortTime(e.time), e.source, e.actor,
      (e.changes || []).length ? e.changes.map((c) => c.record + ' ' + c.field + ': ' + show(c.from) + ' → ' + show(c.to))
        .join('\n') : d.t('noChange')]));
  }

  // A channel's newest value; a sensor error is said, not shown as a number.
  function latestValue(l) {
    if (l.sensorError) return d.el('span', { class: 'sensor-error' }, d.t('sensorError'));
    return l.value === null ? '–' : l.value + (l.unit ? ' ' + l.unit : '');
  }

  async function load() {
    const reply = await d.api(base);
    const s = await reply.json();
    if (!reply.ok) {
      // No such station (or the store is away): said, and nothing to press.
      document.getElementById('title').textContent = d.t('noStation') + ': ' + d.cut(code, 80);
      document.getElementById('state').textContent = s.error || String(reply.status);
      document.getElementById('state').className = 'badge state-bad';
      document.getElementById('operator').replaceChildren();
      return null;
    }
    document.title = d.cut(s.title, 80) + ' – TQM510';
    d.setCut(document.getElementById('title'), s.title + ' (' + s.code + ')', 120);
    const state = document.getElementById('state');
    state.textContent = (s.status || '') + (s.error ? ' – ' + s.error : '');
    state.className = 'badge state-' + d.state(s);
    const st = s.statistics || {};
    const dl = document.getElementById('stats');
    dl.replaceChildren();
    for (const [k, v] of [['visits', st.visits], ['successes', st.successes], ['failures', st.failures],
      ['retries', st.retries], ['consecutive', st.consecutiveFailures], ['records', st.records],
      ['bytes', st.bytes], ['lastSuccess', d.shortTime(s.lastSuccess)], ['nextVisit', d.shortTime(s.nextVisit)],
      ['dataAge', d.ageText(d.age(s.newestValue))], ['voltage', s.supplyVoltage === null ? null : s.supplyVoltage + ' V'],
      ['drift', s.clockDriftSeconds === null ? null : s.clockDriftSeconds + ' s'], ['memory', d.shortTime(s.memoryFullAt)]]) {
      dl.append(d.el('dt', {}, d.t(k)), d.el('dd', {}, v === null || v === undefined ? '–' : v));
    }
    table('latest', ['channel', 'time', 'value'], (s.latest || []).map((l) =>
      [l.name || l.channel, d.shortTime(l.time), latestValue(l)]));
    table('visits', ['start', 'end', 'result', 'records'], (s.visits || []).slice().reverse().map((v) =>
      [d.shortTime(v.start), d.shortTime(v.end), v.result + (v.reason ? ': ' + v.reason : ''), v.records]));
    channels = s.latest || [];
    const box = document.getElementById('channels');
    box.replaceChildren();
    for (const c of channels) {
      const label = d.el('label');
      const input = d.el('input', { type: 'checkbox', value: String(c.channel) });
      input.checked = true;
      label.style.color = colourOf(c.channel);
      label.append(input, document.createTextNode(' ' + (c.name || c.channel)));
      box.append(label);
    }
    const ops = document.getElementById('operator');
    ops.replaceChildren();
    if (d.isOperator()) {
      const visit = d.el('button', { type: 'button', class: 'op visit' }, d.t('visitNow'));
      const active = d.el('button', { type: 'button', class: 'op active' }, d.t(s.active ? 'disable' : 'enable'));
      const said = d.el('span', { id: 'outcome', class: 'outcome', role: 'status' });
      // Each press is answered on the page: requested, or why not.
      const press = async (button, path, body, done) => {
        button.disabled = true;
        said.className = 'outcome';
        said.textContent = d.t('sending') + '…';
        try {
          const r = await d.post(path, body);
          const answer = await r.json().catch(() => ({}));
          said.textContent = r.ok ? done : d.t('failed') + ': ' + (answer.error || r.status);
          said.className = 'outcome ' + (r.ok ? 'ok' : 'bad');
          return r.ok;
        } catch (e) {
          said.textContent = d.t('failed') + ': ' + e.message;
          said.className = 'outcome bad';
          return false;
        } finally {
          button.disabled = false;
        }
      };
      visit.addEventListener('click', () => press(visit, base + '/visit', undefined, d.t('visitRequested')));
      active.addEventListener('click', async () => {
        if (await press(active, base + '/active', { active: !s.active }, d.t(s.active ? 'disabled' : 'enabled'))) {
          const text = said.textContent;
          await load();
          document.getElementById('outcome').textContent = text;
          document.getElementById('outcome').className = 'outcome ok';
        }
      });
      ops.append(visit, active, said);
    }
    return s;
  }

  window.addEventListener('DOMContentLoaded', async () => {
    if (!await d.start('')) return;
    const s = await load();
    if (!s) {
      document.body.dataset.ready = '1';
      return;
    }
    // The last 7 days up to the newest value.
    const end = d.parse(s.newestValue) || new Date();
    const begin = new Date(end.getTime() - 7 * 24 * 3600 * 1000);
    document.getElementById('from').value = d.minute(begin);
    document.getElementById('to').value = d.minute(end);
    document.getElementById('range').addEventListener('submit', (e) => { e.preventDefault(); chart(); gaps(); });
    document.getElementById('from').addEventListener('change', links);
    document.getElementById('to').addEventListener('change', links);
    await Promise.all([chart(), gaps(), configHistory()]);
    document.body.dataset.ready = '1';
  });
})();
