'use strict';
(function () {
  const d = window.dash;
  // Only a page of this server, never another site.
  function next() {
    const n = new URLSearchParams(location.search).get('next') || '';
    return /^[a-z]*(\?[A-Za-z0-9_=&%.-]*)?$/.test(n) ? '/' + n : '/';
  }
  window.addEventListener('DOMContentLoaded', async () => {
    await d.start('login');
    if (d.session.authenticated && d.session.user) location.href = next();
    document.getElementById('login').addEventListener('submit', async (e) => {
      e.preventDefault();
      const r = await fetch('/api/v1/login', {
        method: 'POST', credentials: 'same-origin', headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ name: document.getElementById('name').value, password: document.getElementById('password').value })
      });
      if (r.ok) {
        location.href = next();
        return;
      }
      document.getElementById('problem').textContent = d.t(r.status === 429 ? 'tooMany' : 'wrongLogin');
    });
  });
})();
