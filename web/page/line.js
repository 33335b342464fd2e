// The line view's page: reads the JSON API every few seconds and redraws
// in place. Every recorded text (station names, failing lines) goes into
// the page as text, never as markup.
'use strict';
(function () {
  const RefreshMs = 3000;
  const Palette = ['#1f77b4', '#d62728', '#2ca02c', '#ff7f0e', '#9467bd', '#8c564b',
                   '#e377c2', '#17becf', '#7f7f7f', '#bcbd22'];

  // The token came in the address; from now on the page's cookie and this
  // header carry it, and the address bar no longer shows it.
  const token = new URLSearchParams(location.search).get('token');
  if (token) history.replaceState(null, '', location.pathname);
  const headers = token ? { Authorization: 'Bearer ' + token } : {};

  const $ = (id) => document.getElementById(id);

  function el(tag, text, cls) {
    const e = document.createElement(tag);
    if (text !== undefined && text !== null) e.textContent = String(text);
    if (cls) e.className = cls;
    return e;
  }

  function row(cells, cls) {
    const tr = el('tr', null, cls);
    for (const c of cells) {
      const td = el('td', c.text !== undefined ? c.text : c, c.cls);
      tr.appendChild(td);
    }
    return tr;
  }

  function fill(tableId, rows, empty) {
    const body = $(tableId).tBodies[0];
    body.replaceChildren();
    for (const r of rows) body.appendChild(r);
    if (!rows.length && empty) {
      const tr = el('tr', null, 'empty');
      const td = el('td', empty, 'muted');
      td.colSpan = $(tableId).tHead.rows[0].cells.length;
      tr.appendChild(td);
      body.appendChild(tr);
    }
  }

  // "2026-12-08T10:15:02Z": the time alone on `day`, else day and time.
  function when(utc, day) {
    if (!utc) return '-';
    return utc.slice(0, 10) === day ? utc.slice(11, 19) : utc.slice(0, 10) + ' ' + utc.slice(11, 19);
  }

  function yieldOf(passes, chips) {
    return chips > 0 ? (100 * passes / chips).toFixed(1) + '%' : '-';
  }

  async function get(path) {
    const res = await fetch(path, { headers, cache: 'no-store' });
    const body = await res.json().catch(() => ({}));
    if (!res.ok) throw new Error(body.error || res.status + ' ' + res.statusText);
    return body;
  }

  function cards(line) {
    const box = $('stations');
    box.replaceChildren();
    for (const s of line.stations) {
      const card = el('div', null, 'card' + (s.idle ? ' idle' : '') + (s.lastUtc && !s.lastPass ? ' fail' : ''));
      card.dataset.station = s.station;
      card.appendChild(el('span', s.idle ? 'idle' : 'working', 'state'));
      card.appendChild(el('div', s.station, 'name'));
      const dl = el('dl');
      const item = (name, value, cls) => {
        dl.appendChild(el('dt', name));
        const dd = el('dd', value, cls);
        dd.dataset.field = name;
        dl.appendChild(dd);
      };
      item('Last chip', when(s.lastUtc, line.day));
      item('Verdict', s.lastVerdict || '-', s.lastUtc ? (s.lastPass ? 'pass' : 'fail-text') : '');
      item('Chips', s.chips);
      item('Passes', s.passes);
      item('Fails', s.fails);
      item('Yield', s.yield);
      item('Series', s.series || '-');
      item('Last number', s.lastSerial || '-');
      card.appendChild(dl);
      box.appendChild(card);
    }
    $('no-stations').hidden = line.stations.length > 0;
  }

  let yieldChart = null;
  let paretoChart = null;

  function charts(line) {
    if (typeof Chart === 'undefined') {
      $('no-charts').hidden = false;
      return;
    }
    const nowHour = parseInt(line.now.slice(11, 13), 10);
    let last = nowHour;
    for (const h of line.hours) last = Math.max(last, h.hour);
    const first = line.hours.length ? Math.min(...line.hours.map((h) => h.hour)) : nowHour;
    const hours = [];
    for (let h = first; h <= last; h++) hours.push(h);
    const stations = [...new Set(line.hours.map((h) => h.station))];
    const yieldSets = stations.map((station, i) => ({
      label: station,
      data: hours.map((hour) => {
        const h = line.hours.find((x) => x.station === station && x.hour === hour);
        return h && h.chips ? Math.round(1000 * h.passes / h.chips) / 10 : null;
      }),
      backgroundColor: Palette[i % Palette.length],
    }));
    const labels = hours.map((h) => String(h).padStart(2, '0') + ':00');
    if (!yieldChart) {
      yieldChart = new Chart($('yield-chart'), {
        type: 'bar',
        data: { labels, datasets: yieldSets },
        options: {
          animation: false,
          aspectRatio: 2.2,
          scales: { y: { min: 0, max: 100, title: { display: true, text: 'yield %' } } },
        },
      });
    } else {
      yieldChart.data.labels = labels;
      yieldChart.data.datasets = yieldSets;
      yieldChart.update('none');
    }

    const total = line.failures.reduce((n, f) => n + f.chips, 0);
    let running = 0;
    const cumulative = line.failures.map((f) => {
      running += f.chips;
      return Math.round(1000 * running / total) / 10;
    });
    const failLabels = line.failures.map((f) => (f.failure.length > 40 ? f.failure.slice(0, 39) + '...' : f.failure));
    const paretoSets = [
      { type: 'bar', label: 'chips', data: line.failures.map((f) => f.chips), backgroundColor: '#c33', yAxisID: 'y', order: 2 },
      { type: 'line', label: 'cumulative %', data: cumulative, borderColor: '#333', backgroundColor: '#333', yAxisID: 'y1', order: 1 },
    ];
    $('no-failures').hidden = line.failures.length > 0;
    $('pareto-chart').style.display = line.failures.length ? '' : 'none';
    if (!paretoChart) {
      paretoChart = new Chart($('pareto-chart'), {
        type: 'bar',
        data: { labels: failLabels, datasets: paretoSets },
        options: {
          animation: false,
          aspectRatio: 2.2,
          scales: {
            y: { beginAtZero: true, ticks: { precision: 0 }, title: { display: true, text: 'chips' } },
            y1: { position: 'right', min: 0, max: 100, grid: { drawOnChartArea: false }, title: { display: true, text: '%' } },
          },
        },
      });
    } else {
      paretoChart.data.labels = failLabels;
      paretoChart.data.datasets = paretoSets;
      paretoChart.update('none');
    }
  }

  function numbers(line) {
    fill('series', line.series.map((s) => row([
      s.series,
      s.firstSerial ? s.firstSerial + '..' + s.lastSerial : '-',
      { text: s.onChips, cls: 'num' },
      { text: s.handedOut, cls: 'num' },
      s.next || '-',
    ])), 'No serial numbers used yet.');
    fill('held', line.held.map((h) => row([
      h.station, h.number,
      h.armed ? 'armed: on a chip now' : 'held, not yet on a chip',
      h.series,
    ])), 'No number is held.');
    fill('unknown', line.unknown.map((c) => row([
      when(c.utc, ''), c.station, c.serial || '-', c.model, c.dataFile, c.failure,
    ])), 'Nothing to reconcile.');
  }

  function stationChoices(line) {
    const select = $('filter').elements.station;
    const known = new Set([...select.options].map((o) => o.value));
    const names = line.stations.map((s) => s.station).concat(line.held.map((h) => h.station));
    for (const name of names) {
      if (known.has(name)) continue;
      known.add(name);
      const o = el('option', name);
      o.value = name;
      select.appendChild(o);
    }
  }

  function filterQuery() {
    const f = $('filter').elements;
    const q = new URLSearchParams();
    for (const name of ['station', 'day', 'verdict', 'serial']) {
      const v = f[name].value.trim();
      if (v) q.set(name, v);
    }
    return q.toString();
  }

  function chipTable(result) {
    fill('chips', result.chips.map((c) => row([
      { text: c.id, cls: 'num' }, when(c.utc, ''), c.station, c.model, c.serial || '-', c.checksum,
      { text: c.verdict, cls: c.pass ? 'pass' : 'fail-text' },
    ])), 'No chip record matches.');
    $('more').hidden = !result.more;
  }

  async function refreshChips() {
    const q = filterQuery();
    $('csv').href = 'api/chips.csv' + (q ? '?' + q : '');
    chipTable(await get('api/chips' + (q ? '?' + q : '')));
  }

  async function refresh() {
    try {
      const line = await get('api/line');
      $('records').textContent = line.records;
      $('day').textContent = line.day + ' (UTC)';
      cards(line);
      numbers(line);
      stationChoices(line);
      charts(line);
      await refreshChips();
      $('updated').textContent = 'updated ' + line.now.slice(11, 19) + ' UTC';
      $('problem').hidden = true;
      document.body.dataset.loaded = 'yes';
    } catch (e) {
      $('problem').textContent = 'Cannot read the records: ' + e.message;
      $('problem').hidden = false;
    }
  }

  async function loop() {
    await refresh();
    setTimeout(loop, RefreshMs);
  }

  document.addEventListener('DOMContentLoaded', () => {
    $('filter').addEventListener('input', () => refreshChips().catch(() => {}));
    $('filter').addEventListener('submit', (e) => e.preventDefault());
    loop();
  });
})();
