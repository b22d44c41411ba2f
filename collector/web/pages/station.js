'use strict';
// One station: statistics, visits, latest values, a chart of a range drawn
// from the data API, its gaps and downloads of the range.
(function () {
  const d = window.dash;
  const code = new URLSearchParams(location.search).get('code') || '';
  const base = '/api/v1/stations/' + encodeURIComponent(code);
  let channels = [];
  let graph = null;
  let data = null; // the chart's data, as the data route gave it
  let station = null; // the station, as its route gave it

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
  // By the channel's place among the latest values, else among the charted.
  const colourOf = (channel) => {
    let i = channels.findIndex((c) => c.channel === channel);
    if (i < 0 && data) i = (data.channels || []).findIndex((c) => c.channel === channel);
    return palette[Math.max(0, i) % palette.length];
  };
  const labelOf = (c) => (c.name || String(c.channel)) + (c.unit ? ' (' + c.unit + ')' : '');

  // The quality flag of a value [time, value, flag]; a value without one
  // was not evaluated (2).
  const flagOf = (v) => (v.length > 2 && Number.isInteger(v[2]) ? v[2] : 2);
  // Suspect and failed values, each drawn as a mark of its own on its channel.
  const marks = [
    { flag: 3, key: 'suspect', colour: '#ffc400', shape: 'triangle' },
    { flag: 4, key: 'failedValue', colour: '#e00000', shape: 'cross' }
  ];
  function drawMark(shape) {
    return (g, name, ctx, cx, cy, colour, size) => {
      const r = size + 1.5;
      ctx.save();
      ctx.strokeStyle = ctx.fillStyle = colour;
      ctx.lineWidth = 2;
      ctx.beginPath();
      if (shape === 'triangle') {
        ctx.moveTo(cx, cy - r);
        ctx.lineTo(cx + r, cy + r * 0.8);
        ctx.lineTo(cx - r, cy + r * 0.8);
        ctx.closePath();
        ctx.fill();
        ctx.lineWidth = 1;
        ctx.strokeStyle = '#6b5200';
        ctx.stroke();
      } else {
        ctx.moveTo(cx - r, cy - r); ctx.lineTo(cx + r, cy + r);
        ctx.moveTo(cx + r, cy - r); ctx.lineTo(cx - r, cy + r);
        ctx.stroke();
      }
      ctx.restore();
    };
  }
  // The station's quality and alarm settings by data channel number.
  let checks = [];
  const checkOf = (channel) => checks.find((k) => k.channel === channel && k.limits);

  async function chart() {
    links();
    data = await d.json(base + '/data?' + range());
    draw();
    // The charted channels name the alarms' channels the files no longer have.
    if (station) alarmPanel(station);
  }

  function draw() {
    const series = (data && data.channels) || [];
    const hide = document.getElementById('hideflagged').checked;
    // A column per channel, then one per kind of mark the channel has:
    // hidden values are blanks in their channel's line, so it breaks there.
    const columns = [];
    series.forEach((c) => {
      columns.push({ c: c, mark: null });
      for (const m of marks) {
        if (!hide && c.values.some((v) => v[1] !== null && flagOf(v) === m.flag)) columns.push({ c: c, mark: m });
      }
    });
    const byTime = new Map();
    columns.forEach((col, k) => {
      for (const v of col.c.values) {
        const flag = flagOf(v);
        const flagged = flag === 3 || flag === 4;
        if (col.mark && flag !== col.mark.flag) continue;
        if (!byTime.has(v[0])) byTime.set(v[0], new Array(columns.length).fill(null));
        byTime.get(v[0])[k] = !col.mark && hide && flagged ? null : v[1];
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
        rows.push([new Date(rows[rows.length - 1][0].getTime() + usual)].concat(new Array(columns.length).fill(null)));
      rows.push([at].concat(byTime.get(t)));
    });
    const box = document.getElementById('chart');
    window.chartData = {
      labels: columns.map((col) => col.c.channel), flags: columns.map((col) => (col.mark ? col.mark.flag : null)),
      times: times, rows: times.map((t) => byTime.get(t))
    };
    window.chartLimits = [];
    if (graph) { graph.destroy(); graph = window.stationGraph = null; }
    box.replaceChildren();
    flagKey(series, columns);
    if (!rows.length) {
      box.append(d.el('p', { class: 'empty' }, d.t('noData')));
      return;
    }
    // Channels of another unit than the first go on the right-hand axis.
    const axisOf = (c) => (c !== series[0] && c.unit !== series[0].unit ? 'y2' : 'y');
    // Labels must differ: a channel's name repeated gets its number.
    const seen = new Set();
    const labels = ['time'].concat(columns.map((col) => {
      let label = labelOf(col.c) + (col.mark ? ' – ' + d.t(col.mark.key) : '');
      if (seen.has(label)) label += ' [' + col.c.channel + (col.mark ? '.' + col.mark.flag : '') + ']';
      seen.add(label);
      return label;
    }));
    const options = {};
    columns.forEach((col, k) => {
      const o = { axis: axisOf(col.c) };
      if (col.mark) Object.assign(o, { strokeWidth: 0, drawPoints: true, pointSize: 3, highlightCircleSize: 5,
        drawPointCallback: drawMark(col.mark.shape), drawHighlightPointCallback: drawMark(col.mark.shape) });
      options[labels[k + 1]] = o;
    });
    // The alarm limits of the charted channels, as lines; each axis reaches
    // to its limits, so a river far below its limit still shows it.
    const lines = [];
    for (const c of series) {
      const check = checkOf(c.channel);
      if (!check) continue;
      for (const kind of ['high', 'low']) {
        const l = check.limits[kind];
        if (!l) continue;
        lines.push({ channel: c.channel, axis: axisOf(c), kind: kind, which: 'limit', value: l.limit, colour: colourOf(c.channel),
          text: d.cut(c.name || String(c.channel), 30) + ' ' + d.t(kind) + ' ' + l.limit });
        if (l.clear !== l.limit)
          lines.push({ channel: c.channel, axis: axisOf(c), kind: kind, which: 'clear', value: l.clear, colour: colourOf(c.channel),
            text: d.t('clearLimit') + ' ' + l.clear });
      }
    }
    const axes = { y2: { independentTicks: true } };
    for (const axis of ['y', 'y2']) {
      const own = lines.filter((l) => l.axis === axis);
      if (!own.length) continue;
      const values = own.map((l) => l.value);
      rows.forEach((r) => r.slice(1).forEach((v, k) => {
        if (v !== null && options[labels[k + 1]].axis === axis) values.push(v);
      }));
      const lo = Math.min(...values), hi = Math.max(...values), pad = (hi - lo) * 0.08 || Math.abs(hi) * 0.05 || 1;
      axes[axis] = Object.assign(axes[axis] || {}, { valueRange: [lo - pad, hi + pad] });
    }
    // The library's legend writes its labels (channel names from the device)
    // as HTML and sets an inline style; this one writes text.
    Dygraph.PLUGINS = Dygraph.PLUGINS.filter((p) => p !== Dygraph.Plugins.Legend);
    const legend = document.getElementById('legend');
    graph = window.stationGraph = new Dygraph(box, rows, {
      labels: labels, series: options, axes: axes,
      colors: columns.map((col) => (col.mark ? col.mark.colour : colourOf(col.c.channel))),
      highlightCallback: (event, x, points) => {
        legend.textContent = d.shortTime(d.minute(new Date(x))) + '  ' +
          points.filter((p) => !Number.isNaN(p.yval)).map((p) => p.name + ': ' + p.yval).join('  ');
      },
      unhighlightCallback: () => { legend.textContent = ''; },
      // Canvas text: a channel's name is drawn, never read as HTML.
      underlayCallback: (ctx, area, g) => {
        window.chartLimits = [];
        for (const l of lines) {
          const y = g.toDomYCoord(l.value, l.axis === 'y2' ? 1 : 0);
          window.chartLimits.push({ channel: l.channel, kind: l.kind, which: l.which, value: l.value, y: y });
          if (y < area.y || y > area.y + area.h) continue;
          ctx.save();
          ctx.strokeStyle = ctx.fillStyle = l.colour;
          ctx.lineWidth = l.which === 'limit' ? 2 : 1;
          ctx.setLineDash(l.which === 'limit' ? [] : [6, 4]);
          ctx.beginPath();
          ctx.moveTo(area.x, y);
          ctx.lineTo(area.x + area.w, y);
          ctx.stroke();
          ctx.font = '11px system-ui, sans-serif';
          ctx.fillText(l.text, area.x + 6, l.kind === 'low' ? y + 12 : y - 4);
          ctx.restore();
        }
      }
    });
  }

  // What the marks and lines mean, and each channel's limits in words.
  function flagKey(series, columns) {
    const key = document.getElementById('flagkey');
    key.replaceChildren();
    for (const m of marks) {
      if (!columns.some((col) => col.mark === m)) continue;
      key.append(d.el('span', { class: 'mark ' + m.shape }), d.el('span', {}, d.t(m.key) + ' (' + m.flag + ')'));
    }
    let lined = false;
    for (const c of series) {
      const check = checkOf(c.channel);
      if (!check) continue;
      const l = check.limits;
      lined = lined || Boolean(l.high || l.low);
      const parts = [];
      if (l.high) parts.push(d.t('high') + ' ' + l.high.limit + ' / ' + l.high.clear);
      if (l.low) parts.push(d.t('low') + ' ' + l.low.limit + ' / ' + l.low.clear);
      if (l.rise) parts.push(d.t('riseLimit') + ' +' + l.rise.amount + ' / ' + l.rise.periodMinutes + ' ' + d.t('minutes'));
      if (!parts.length) continue;
      const line = d.el('span', { class: 'limitline' });
      line.style.borderColor = colourOf(c.channel);
      key.append(line, d.el('span', { class: 'limits' }, labelOf(c) + ': ' + parts.join(', ')));
    }
    if (lined) {
      key.append(d.el('span', { class: 'limitline' }), d.el('span', {}, d.t('limit')),
        d.el('span', { class: 'limitline clear' }), d.el('span', {}, d.t('clearLimit')));
    }
  }

  // The station's value alarms up now.
  function alarmPanel(s) {
    station = s;
    checks = s.channelChecks || [];
    const list = document.getElementById('alarms');
    list.replaceChildren();
    for (const k of checks) {
      const named = (s.latest || []).find((l) => l.channel === k.channel) ||
        ((data && data.channels) || []).find((c) => c.channel === k.channel);
      const name = named ? labelOf(named) : (k.code || '') + (k.unit ? ' (' + k.unit + ')' : '');
      for (const a of k.activeAlarms || []) {
        const limit = k.limits && k.limits[a.kind];
        list.append(d.el('li', { 'data-slot': String(k.slot), 'data-kind': a.kind },
          d.cut(name, 60) + ' – ' + d.t('alarm') + ': ' + d.alarmText(Object.assign({ slot: k.slot }, a)) +
          (limit && limit.limit !== undefined ? ' – ' + d.t('limit') + ' ' + limit.limit + ', ' + d.t('clearLimit') + ' ' + limit.clear : '')));
      }
    }
    document.getElementById('alarmbox').hidden = !list.children.length;
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
    alarmPanel(s);
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
    document.getElementById('hideflagged').addEventListener('change', draw);
    await Promise.all([chart(), gaps(), configHistory()]);
    document.body.dataset.ready = '1';
    // The station's alarms raised and cleared while the page is open.
    const events = new EventSource('/api/v1/events');
    events.addEventListener('alarm', async (e) => {
      let ev;
      try { ev = JSON.parse(e.data); } catch (x) { return; }
      if (ev.code !== code) return;
      const r = await d.api(base);
      if (r.ok) alarmPanel(await r.json());
    });
  });
})();
