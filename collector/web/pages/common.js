'use strict';
// Shared by the dashboard's pages: texts in two languages, the API, the
// header. Every text from the store or a device goes in through textContent.
(function () {
  const texts = {
    overview: ['Overview', 'Genel Bakış'], map: ['Map', 'Harita'], field: ['Field view', 'Saha görünümü'],
    logout: ['Log out', 'Çıkış'], language: ['Türkçe', 'English'],
    total: ['Stations', 'İstasyon'], active: ['Active', 'Aktif'], failing: ['Failing', 'Hatalı'],
    inactive: ['Disabled', 'Pasif'], filter: ['Filter', 'Süz'], onlyFailing: ['only failing', 'yalnız hatalılar'],
    title: ['Title', 'Başlık'], code: ['Code', 'Kod'], status: ['Status', 'Durum'],
    dataAge: ['Data age', 'Veri yaşı'], lastSuccess: ['Last success', 'Son başarı'],
    nextVisit: ['Next visit', 'Sonraki ziyaret'], completeness: ['30-day completeness', '30 gün doluluk'],
    voltage: ['Supply', 'Besleme'], drift: ['Clock drift', 'Saat kayması'],
    memory: ['Memory full', 'Bellek dolumu'], visits24: ['Last 24 h', 'Son 24 sa'],
    visitNow: ['Visit now', 'Şimdi bağlan'], enable: ['Enable', 'Etkinleştir'], disable: ['Disable', 'Devre dışı bırak'],
    noCoordinate: ['Without coordinates', 'Koordinatı olmayanlar'], working: ['Working', 'Çalışıyor'],
    oldData: ['Data older than a day', 'Bir günden eski veri'],
    statistics: ['Statistics', 'İstatistikler'], visits: ['Visits', 'Ziyaretler'],
    latest: ['Latest values', 'Son değerler'], chart: ['Chart', 'Grafik'], gaps: ['Gaps', 'Boşluklar'],
    download: ['Download', 'İndir'], from: ['From', 'Başlangıç'], to: ['To', 'Bitiş'], show: ['Show', 'Göster'],
    channels: ['Channels', 'Kanallar'], noGaps: ['No gaps', 'Boşluk yok'], noData: ['No data', 'Veri yok'],
    login: ['Log in', 'Giriş'], name: ['Name', 'Ad'], password: ['Password', 'Parola'],
    wrongLogin: ['Wrong name or password', 'Yanlış ad veya parola'],
    tooMany: ['Too many attempts; try again later', 'Çok fazla deneme; daha sonra yeniden deneyin'],
    start: ['Start', 'Başlangıç'], end: ['End', 'Bitiş'], result: ['Result', 'Sonuç'],
    records: ['Records', 'Kayıt'], channel: ['Channel', 'Kanal'], time: ['Time', 'Zaman'], value: ['Value', 'Değer'],
    successes: ['Successes', 'Başarılı'], failures: ['Failures', 'Başarısız'], retries: ['Retries', 'Yeniden deneme'],
    consecutive: ['Failures in a row', 'Art arda hata'], bytes: ['Bytes', 'Bayt'], error: ['Error', 'Hata'],
    configHistory: ['Configuration history', 'Yapılandırma geçmişi'], source: ['Source', 'Kaynak'],
    actor: ['By', 'Yapan'], changes: ['Changes', 'Değişiklikler'], noChange: ['No change', 'Değişiklik yok'],
    sensorError: ['sensor error', 'sensör hatası'], noStation: ['No such station', 'Böyle bir istasyon yok'],
    visitRequested: ['Visit requested', 'Bağlantı istendi'], sending: ['Sending', 'Gönderiliyor'], failed: ['Failed', 'Başarısız'],
    enabled: ['Enabled', 'Etkinleştirildi'], disabled: ['Disabled', 'Devre dışı bırakıldı'],
    inAlarm: ['In alarm', 'Alarmda'], alarm: ['Alarm', 'Alarm'], alarms: ['Value alarms', 'Değer alarmları'],
    high: ['high', 'yüksek'], low: ['low', 'düşük'], rise: ['rise', 'yükselme'], since: ['since', 'başlangıç'],
    slot: ['slot', 'yuva'], noAlarm: ['No value alarm', 'Değer alarmı yok'],
    suspect: ['suspect', 'şüpheli'], failedValue: ['failed', 'hatalı'],
    hideFlagged: ['hide suspect and failed values', 'şüpheli ve hatalı değerleri gizle'],
    limit: ['alarm limit', 'alarm sınırı'], clearLimit: ['clearing limit', 'temizleme sınırı'],
    riseLimit: ['rise limit', 'yükselme sınırı'],
    minutes: ['min', 'dk'], hours: ['h', 'sa'], days: ['d', 'g'], live: ['live', 'canlı'], offline: ['offline', 'bağlantı yok']
  };
  let lang = localStorage.getItem('lang') || ((navigator.language || '').startsWith('tr') ? 'tr' : 'en');
  const d = window.dash = {};
  d.t = (key) => (texts[key] || [key, key])[lang === 'tr' ? 1 : 0];
  d.lang = () => lang;
  d.session = null;

  // An element with attributes and a text; children appended after.
  d.el = function (tag, attrs, text) {
    const e = document.createElement(tag);
    for (const k in attrs || {}) {
      if (k === 'class') e.className = attrs[k]; else e.setAttribute(k, attrs[k]);
    }
    if (text !== undefined && text !== null) e.textContent = String(text);
    return e;
  };

  // Long texts (titles of thousands of characters) cut for display; the
  // whole text stays in the tooltip.
  d.cut = (text, max) => {
    const t = String(text === null || text === undefined ? '' : text);
    return t.length > max ? t.slice(0, max - 1) + '…' : t;
  };
  d.setCut = function (element, text, max) {
    const t = String(text === null || text === undefined ? '' : text);
    element.textContent = d.cut(t, max);
    if (t.length > max) element.title = t; else element.removeAttribute('title');
    return element;
  };

  d.api = async function (path, options) {
    const r = await fetch(path, Object.assign({ credentials: 'same-origin' }, options || {}));
    if (r.status === 401 && !path.startsWith('/api/v1/login')) {
      location.href = '/login?next=' + encodeURIComponent(location.pathname.slice(1) + location.search);
      throw new Error('login required');
    }
    return r;
  };
  d.json = async (path) => (await d.api(path)).json();
  d.post = (path, body) => d.api(path, {
    method: 'POST', headers: { 'Content-Type': 'application/json', 'X-CSRF-Token': d.session.csrfToken || '' },
    body: JSON.stringify(body || {})
  });

  // The data files' wall-clock minutes, read as local time.
  d.parse = function (text) {
    if (!text) return null;
    const m = /^(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d)/.exec(text);
    return m ? new Date(+m[1], m[2] - 1, +m[3], +m[4], +m[5]) : null;
  };
  d.minute = function (date) {
    const p = (n) => String(n).padStart(2, '0');
    return date.getFullYear() + '-' + p(date.getMonth() + 1) + '-' + p(date.getDate()) + 'T' +
      p(date.getHours()) + ':' + p(date.getMinutes());
  };
  d.age = function (text) {
    const t = d.parse(text);
    if (!t) return null;
    return Math.max(0, Math.round((Date.now() - t.getTime()) / 60000));
  };
  d.ageText = function (minutes) {
    if (minutes === null) return '–';
    if (minutes < 120) return minutes + ' ' + d.t('minutes');
    if (minutes < 2880) return Math.round(minutes / 60) + ' ' + d.t('hours');
    return Math.round(minutes / 1440) + ' ' + d.t('days');
  };
  d.shortTime = (text) => text ? text.replace('T', ' ') : '–';
  // Today's times as HH:mm, others with their day: narrow table cells.
  d.when = function (text) {
    if (!text) return '–';
    return text.slice(0, 10) === d.minute(new Date()).slice(0, 10) ? text.slice(11, 16)
      : text.slice(8, 10) + '.' + text.slice(5, 7) + ' ' + text.slice(11, 16);
  };
  d.state = (s) => !s.active ? 'off' : (s.error !== null && s.error !== undefined ? 'bad' : 'ok');
  // A station's value alarms up now (the list's valueAlarms).
  d.alarmed = (s) => Array.isArray(s.valueAlarms) && s.valueAlarms.length > 0;
  // "high 104.5 (slot 2, since 01.12 02:15)"
  d.alarmText = (a) => d.t(a.kind) + ' ' + a.value + ' (' + d.t('slot') + ' ' + a.slot + ', ' +
    d.t('since') + ' ' + d.when(a.since) + ')';
  d.coordinate = function (text) {
    const m = /^\s*(-?\d+(?:\.\d+)?)\s*[,; ]\s*(-?\d+(?:\.\d+)?)\s*$/.exec(text || '');
    if (!m) return null;
    const lat = +m[1], lon = +m[2];
    // The store writes 0,0 for a station whose place was never entered.
    if (lat === 0 && lon === 0) return null;
    return Math.abs(lat) <= 90 && Math.abs(lon) <= 180 ? [lat, lon] : null;
  };

  // The header: the pages, the language, the user.
  d.start = async function (active) {
    d.session = await (await fetch('/api/v1/session', { credentials: 'same-origin' })).json();
    if (d.session.loginRequired && !d.session.authenticated && active !== 'login') {
      location.href = '/login?next=' + encodeURIComponent(location.pathname.slice(1) + location.search);
      return false;
    }
    document.documentElement.lang = lang;
    const nav = document.getElementById('nav');
    nav.replaceChildren();
    for (const [key, href] of [['overview', '/'], ['map', '/map'], ['field', '/field?lang=' + lang]]) {
      nav.append(d.el('a', { href: href, class: key === active ? 'current' : '' }, d.t(key)));
    }
    const other = d.el('button', { type: 'button', id: 'lang' }, d.t('language'));
    other.addEventListener('click', () => {
      localStorage.setItem('lang', lang === 'tr' ? 'en' : 'tr');
      location.reload();
    });
    nav.append(other);
    if (d.session.user) {
      nav.append(d.el('span', { class: 'user' }, d.session.user));
      const out = d.el('button', { type: 'button', id: 'logout' }, d.t('logout'));
      out.addEventListener('click', async () => {
        await d.post('/api/v1/logout');
        location.href = '/login';
      });
      nav.append(out);
    }
    for (const e of document.querySelectorAll('[data-t]')) e.textContent = d.t(e.dataset.t);
    return true;
  };
  d.isOperator = () => d.session && d.session.role === 'operator';
})();
