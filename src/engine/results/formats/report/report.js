// The report's page: reads the scan's results from the JSON element and
// shows them. Texts from the logs go into the page as text only
// (textContent, attribute setters), never as markup.
'use strict';
(function () {
  const dataElement = document.getElementById('data');
  const data = JSON.parse(dataElement.textContent);
  dataElement.textContent = ''; // the text is read: its memory can go
  const R = data.rows;
  const n = R.referrer.length;
  // The columns of numbers, each a string: five bits of a zigzag-coded
  // number a character (base64url), lowest first, the upper half of the
  // alphabet saying that more follows; in a column that may hold nothing,
  // 0 is nothing and each number is one higher.
  const DIGITS = new Int8Array(128).fill(-1);
  'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_'.split('').forEach((c, k) => { DIGITS[c.charCodeAt(0)] = k; });
  // (One kind of array for every column, and a number of one character
  // read at once: most are.) Nothing reads back as NaN.
  const numbers = (text, count, nullable) => {
    const out = new Float64Array(count);
    const length = text.length;
    let at = 0;
    for (let k = 0; k < count && at < length; k++) {
      let digit = DIGITS[text.charCodeAt(at++)];
      if (digit < 32 && !nullable) {
        out[k] = digit & 1 ? -((digit + 1) >> 1) : digit >> 1;
        continue;
      }
      let code = digit & 31;
      for (let scale = 32; digit >= 32; scale *= 32) {
        digit = DIGITS[text.charCodeAt(at++)];
        code += (digit & 31) * scale;
      }
      if (nullable && code-- === 0) out[k] = NaN;
      else out[k] = code % 2 ? -(code + 1) / 2 : code / 2;
    }
    return out;
  };
  for (const name of ['origin', 'class', 'clicks', 'landing', 'source', 'dayCount']) R[name] = numbers(R[name], n, false);
  R.firstStep = numbers(R.firstStep, n, true);
  R.lastAfter = numbers(R.lastAfter, n, true);
  const sum = (column) => column.reduce((a, b) => a + b, 0);
  for (const name of ['day', 'dayClicks']) R[name] = numbers(R[name], sum(R.dayCount), false);
  // What rows share, by the row's class: type, crawler, spam, offsets from UTC of first and last seen.
  ['type', 'bot', 'spam', 'firstOffset', 'lastOffset'].forEach((name, k) => {
    const ofClass = Float64Array.from(data.classes, (parts) => parts[k]);
    const column = new Float64Array(n);
    for (let i = 0; i < n; i++) column[i] = ofClass[R.class[i]];
    R[name] = column;
  });
  // The landing pages, read when a row's details first need them.
  let landingsRead = false;
  const readLandings = () => {
    if (landingsRead) return;
    landingsRead = true;
    R.landingCount = numbers(R.landingCount, n, false);
    for (const name of ['landingPage', 'landingClicks']) R[name] = numbers(R[name], sum(R.landingCount), false);
    let end = 0;
    R.landingEnds = R.landingCount.map((count) => (end += count));
  };
  // The columns as the page uses them: first and last seen (NaN: no time)
  // from the previous row's first seen and the row's own, the ends of each
  // row's days from their counts.
  {
    const first = new Float64Array(n);
    const last = new Float64Array(n);
    let previous = 0;
    for (let i = 0; i < n; i++) {
      const step = R.firstStep[i];
      first[i] = step === step ? (previous += step) : NaN;
      last[i] = R.lastAfter[i] + (step === step ? first[i] : 0);
    }
    const ends = (counts) => {
      const out = new Uint32Array(n);
      let sum = 0;
      for (let i = 0; i < n; i++) out[i] = sum += counts[i];
      return out;
    };
    R.first = first;
    R.last = last;
    R.dayEnds = ends(R.dayCount);
  }
  const $ = (id) => document.getElementById(id);
  const el = (tag, cls, text) => {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  };
  const CATS = ['people', 'crawlers', 'spam'];
  const ROW_HEIGHT = 30;
  const DAY_MS = 86400000;

  // Who clicked: 0 people, 1 crawlers, 2 spam (spam first: a spammer may also look like a crawler).
  const cat = new Uint8Array(n);
  for (let i = 0; i < n; i++) cat[i] = R.spam[i] ? 2 : R.bot[i] ? 1 : 0;
  // A referrer is its origin (scheme and host, each once in a table) and the rest.
  const referrerOf = (i) => data.origins[R.origin[i]] + R.referrer[i];
  // Lower case, the origins and the rests apart (an origin ends before "/",
  // "?" or "#": the two halves lower-cased are the whole lower-cased).
  const lowerOrigins = data.origins.map((o) => o.toLowerCase());
  let lowerRests = null; // made on the first search or sort by referrer
  const lowerRest = (i) => {
    if (!lowerRests) lowerRests = R.referrer.map((r) => r.toLowerCase());
    return lowerRests[i];
  };
  const lowerReferrer = (i) => lowerOrigins[R.origin[i]] + lowerRest(i);
  // Which rows hold the text q (lower case): those whose origin holds it,
  // whose rest holds it, or whose origin ends with a start of q and whose
  // rest starts with the remainder.
  const holding = (q) => {
    const inOrigin = lowerOrigins.map((o) => o.includes(q));
    const remainders = lowerOrigins.map((o) => {
      const found = [];
      for (let k = 1; k < q.length; k++) if (o.endsWith(q.slice(0, k))) found.push(q.slice(k));
      return found;
    });
    return (i) => {
      const o = R.origin[i];
      if (inOrigin[o]) return true;
      const rest = lowerRest(i);
      return rest.includes(q) || remainders[o].some((r) => rest.startsWith(r));
    };
  };
  // Each row's source: its kind (a number, as KINDS has them) and the text the table shows.
  const KINDS = ['search', 'social', 'ai', 'website', 'crawler', 'spam'];
  const KIND_LABELS = ['Search', 'Social', 'AI assistant', 'Website', 'Crawler', 'Spam'];
  const sourceKinds = data.sources.map(([kind]) => (KINDS.includes(kind) ? KINDS.indexOf(kind) : KINDS.indexOf('website')));
  const sourceTexts = data.sources.map(([kind, name], k) => KIND_LABELS[sourceKinds[k]] + (name ? ': ' + name : ''));
  const kindOf = new Uint8Array(n);
  for (let i = 0; i < n; i++) kindOf[i] = sourceKinds[R.source[i]];
  const sourceText = (i) => sourceTexts[R.source[i]];
  const dayStart = (i) => (i ? R.dayEnds[i - 1] : 0);
  // Days count from the day of the earliest first seen; a line written with
  // another offset from UTC may fall on a day before it. The chart's column
  // of a day is day - firstChartDay.
  let firstChartDay = 0;
  let lastDay = -1;
  for (let k = 0; k < R.day.length; k++) {
    if (R.day[k] > lastDay) lastDay = R.day[k];
    if (R.day[k] < firstChartDay) firstChartDay = R.day[k];
  }
  const dayCount = lastDay < firstChartDay ? 0 : lastDay - firstChartDay + 1;

  const dayText = (d) => new Date((data.firstDay + d) * DAY_MS).toISOString().slice(0, 10);
  const dayOfText = (text) => {
    const ms = Date.parse(text + 'T00:00:00Z');
    return Number.isNaN(ms) ? null : Math.round(ms / DAY_MS) - data.firstDay;
  };
  const pad = (v) => String(v).padStart(2, '0');
  // A time as the log wrote it: "2026-12-08T17:13:23+02:00".
  const timeText = (seconds, offset) => {
    if (Number.isNaN(seconds)) return '';
    const text = new Date((data.firstTime + seconds) * 1000).toISOString().slice(0, 19);
    const a = Math.abs(offset);
    return text + (offset < 0 ? '-' : '+') + pad(Math.floor(a / 60)) + ':' + pad(a % 60);
  };
  const number = (v) => v.toLocaleString('en-US');
  // First and last seen compare as instants (the time as written less its
  // offset from UTC), as the scan keeps them; a row without a time comes before all.
  const firstInstant = (i) => R.first[i] - 60 * R.firstOffset[i];
  const lastInstant = (i) => R.last[i] - 60 * R.lastOffset[i];
  const NO_TIME = -1e7;
  const isWebAddress = (text) => /^https?:\/\//i.test(text);
  // The site of a referrer: its host, lower case, without "www.".
  const siteOf = (text) => {
    const m = /^[a-z][a-z0-9+.-]*:\/\/([^/?#]*)/i.exec(text);
    let host = (m ? m[1] : text.split('/')[0]).toLowerCase();
    const at = host.lastIndexOf('@');
    if (at >= 0) host = host.slice(at + 1);
    return host.startsWith('www.') ? host.slice(4) : host;
  };
  // A row's site, found once for each origin.
  const originSites = data.origins.map((o) => (o ? siteOf(o) : null));
  const rowSite = (i) => originSites[R.origin[i]] ?? siteOf(R.referrer[i]);

  // The view, as the address's "#" part carries it.
  const state = { from: null, to: null, q: '', cat: 'people', kind: 'all', types: new Set(), view: 'referrers', sort: 'clicks', desc: true, open: null, theme: 'auto' };
  const SORTS = ['type', 'clicks', 'referrer', 'source', 'landing', 'first', 'last', 'site', 'rows'];

  function readHash() {
    const p = new URLSearchParams(location.hash.slice(1));
    const range = (p.get('range') || '').split('..');
    state.from = range.length === 2 ? dayOfText(range[0]) : null;
    state.to = range.length === 2 ? dayOfText(range[1]) : null;
    if (state.from === null || state.to === null || state.from > state.to) state.from = state.to = null;
    state.q = p.get('q') || '';
    state.cat = ['people', 'crawlers', 'spam', 'all'].includes(p.get('who')) ? p.get('who') : 'people';
    state.kind = KINDS.includes(p.get('source')) ? p.get('source') : 'all';
    state.types = new Set((p.get('types') || '').split(',').filter((t) => t && data.types.includes(t === '-' ? '' : t)));
    state.view = p.get('view') === 'sites' ? 'sites' : 'referrers';
    const sort = (p.get('sort') || '').split('.');
    state.sort = SORTS.includes(sort[0]) ? sort[0] : 'clicks';
    state.desc = sort[1] !== 'asc';
    const open = parseInt(p.get('open'), 10);
    state.open = open >= 0 && open < n ? open : null;
    state.theme = ['light', 'dark'].includes(p.get('theme')) ? p.get('theme') : 'auto';
  }
  let hashWritten = '';
  function writeHash() {
    const p = new URLSearchParams();
    if (state.from !== null) p.set('range', dayText(state.from) + '..' + dayText(state.to));
    if (state.q) p.set('q', state.q);
    if (state.cat !== 'people') p.set('who', state.cat);
    if (state.kind !== 'all') p.set('source', state.kind);
    if (state.types.size) p.set('types', [...state.types].map((t) => t || '-').join(','));
    if (state.view !== 'referrers') p.set('view', state.view);
    if (state.sort !== 'clicks' || !state.desc) p.set('sort', state.sort + '.' + (state.desc ? 'desc' : 'asc'));
    if (state.open !== null) p.set('open', String(state.open));
    if (state.theme !== 'auto') p.set('theme', state.theme);
    hashWritten = p.toString();
    if (location.hash.slice(1) !== hashWritten) history.replaceState(null, '', '#' + hashWritten);
  }

  // Everything that follows from the view: each row's clicks in the range,
  // the totals, the rows shown in their order.
  const clicksIn = new Float64Array(n);
  let shown = [];
  let shownSites = [];
  let catRows = [0, 0, 0];
  let rowsOf = CATS.map(() => new Float64Array(KINDS.length)); // [who][kind of source]
  const kindRows = (k, who) => CATS.reduce((sum, name, c) => sum + (who === 'all' || who === name ? rowsOf[c][k] : 0), 0);
  // What the search narrows: the rows (or sites) of the range, the filters
  // and the sort, in order. Typing in the search box filters these again
  // without counting or sorting anew.
  let baseKey = null;
  let baseRows = [];
  let baseSites = [];
  function computeBase() {
    const ranged = state.from !== null;
    const totals = [0, 0, 0];
    catRows = [0, 0, 0];
    for (let i = 0; i < n; i++) {
      let c = 0;
      if (!ranged) {
        c = R.clicks[i];
      } else {
        for (let k = dayStart(i); k < R.dayEnds[i]; k++) {
          if (R.day[k] >= state.from && R.day[k] <= state.to) c += R.dayClicks[k];
        }
      }
      clicksIn[i] = c;
      totals[cat[i]] += c;
    }
    CATS.forEach((name, k) => { $('total-' + name).textContent = number(totals[k]); });
    const wantCat = CATS.indexOf(state.cat);
    const wantKind = KINDS.indexOf(state.kind);
    const typed = state.types.size > 0;
    const rows = [];
    // Rows of the range and types by who clicked and kind of source: each
    // filter's counts are those the other leaves.
    rowsOf = CATS.map(() => new Float64Array(KINDS.length));
    for (let i = 0; i < n; i++) {
      if (clicksIn[i] <= 0) continue;
      if (typed && !state.types.has(data.types[R.type[i]])) continue;
      rowsOf[cat[i]][kindOf[i]]++;
      if (wantCat >= 0 && cat[i] !== wantCat) continue;
      if (wantKind >= 0 && kindOf[i] !== wantKind) continue;
      rows.push(i);
    }
    catRows = rowsOf.map((ofKind) => (wantKind >= 0 ? ofKind[wantKind] : ofKind.reduce((a, b) => a + b, 0)));
    if (state.view === 'referrers') {
      baseRows = sortRows(rows);
      return;
    }
    const bySite = new Map();
    for (const i of rows) {
      const name = rowSite(i);
      let s = bySite.get(name);
      if (!s) bySite.set(name, (s = { site: name, clicks: 0, rows: 0, first: null, last: null, firstRow: i, lastRow: i }));
      s.clicks += clicksIn[i];
      s.rows++;
      if (!Number.isNaN(R.first[i]) && (s.first === null || firstInstant(i) < s.first)) { s.first = firstInstant(i); s.firstRow = i; }
      if (!Number.isNaN(R.last[i]) && (s.last === null || lastInstant(i) > s.last)) { s.last = lastInstant(i); s.lastRow = i; }
    }
    baseSites = sortSites([...bySite.values()]);
  }
  function compute() {
    const key = [state.from, state.to, state.cat, state.kind, [...state.types].join(' '), state.view, state.sort, state.desc].join('|');
    if (key !== baseKey) {
      computeBase();
      baseKey = key;
    }
    const q = state.q.toLowerCase();
    if (state.view === 'referrers') {
      shown = q ? baseRows.filter(holding(q)) : baseRows;
      $('count').textContent = number(shown.length) + ' of ' + number(baseRows.length) + ' referrers';
    } else {
      shownSites = q ? baseSites.filter((s) => s.site.includes(q)) : baseSites;
      $('count').textContent = number(shownSites.length) + ' of ' + number(baseSites.length) + ' sites';
    }
    const ofCat = [catRows[0], catRows[1], catRows[2], catRows[0] + catRows[1] + catRows[2]];
    document.querySelectorAll('button.cat').forEach((b, k) => {
      b.querySelector('span').textContent = '(' + number(ofCat[k]) + ')';
      b.setAttribute('aria-pressed', String(b.dataset.cat === state.cat));
    });
    const all = KINDS.reduce((sum, _, k) => sum + kindRows(k, state.cat), 0);
    for (const option of $('source-kind').options) {
      const k = KINDS.indexOf(option.value);
      option.textContent = option.dataset.label + ' (' + number(k >= 0 ? kindRows(k, state.cat) : all) + ')';
    }
    $('source-kind').value = state.kind;
  }
  const compareText = (a, b) => (a < b ? -1 : a > b ? 1 : 0);
  // Texts sort without regard to case ("HttP://" among "http://"); texts
  // that differ in case alone, by their bytes.
  const lower = (text) => text.toLowerCase();
  function sortRows(rows) {
    const dir = state.desc ? -1 : 1;
    const numeric = {
      clicks: (i) => clicksIn[i],
      first: (i) => (Number.isNaN(R.first[i]) ? NO_TIME : firstInstant(i)),
      last: (i) => (Number.isNaN(R.last[i]) ? NO_TIME : lastInstant(i)),
    }[state.sort];
    if (numeric) {
      const count = rows.length;
      let most = 1;
      for (const i of rows) most = Math.max(most, Math.abs(numeric(i)));
      // Clicks, whole numbers mostly small, by counting: the rows of each
      // number of clicks in the scan's order, the numbers in order.
      if (state.sort === 'clicks' && most <= 4 * count + 1024) {
        const at = new Uint32Array(most + 2);
        const slot = (i) => (dir < 0 ? most - clicksIn[i] : clicksIn[i]);
        for (const i of rows) at[slot(i) + 1]++;
        for (let c = 1; c < at.length; c++) at[c] += at[c - 1];
        const sorted = new Array(count);
        for (const i of rows) sorted[at[slot(i)]++] = i;
        return sorted;
      }
      // Else each row as one number, key * count + position: a typed array
      // sorts a million of them in a blink, and equal keys keep the scan's order.
      if ((most + 1) * count < Number.MAX_SAFE_INTEGER) {
        const packed = new Float64Array(count);
        for (let k = 0; k < count; k++) packed[k] = dir * numeric(rows[k]) * count + k;
        packed.sort();
        const sorted = new Array(count);
        for (let k = 0; k < count; k++) sorted[k] = rows[packed[k] - Math.floor(packed[k] / count) * count];
        return sorted;
      }
    }
    if (state.sort === 'referrer') return sortByReferrer(rows, dir);
    const text = {
      type: (i) => data.types[R.type[i]],
      source: sourceText,
      landing: (i) => data.pages[R.landing[i]],
    }[state.sort];
    const key = numeric || text || ((i) => clicksIn[i]);
    const keys = rows.map(key);
    const folded = text ? keys.map(lower) : keys;
    const order = rows.map((_, k) => k);
    // Equal keys keep the scan's order (rows are in it): the sort is stable.
    order.sort((a, b) => dir * (compareText(folded[a], folded[b]) || compareText(keys[a], keys[b])) || a - b);
    return order.map((k) => rows[k]);
  }
  // By referrer, lower case, without putting the referrers together: rows of
  // one origin (lower case) by their rests; of two origins neither of which
  // starts the other, by the origins; else (http://a.example and
  // http://a.example.org) whole. Texts equal but for case by their bytes.
  function sortByReferrer(rows, dir) {
    const sorted = [...new Set(lowerOrigins)].sort(compareText);
    const position = new Map(sorted.map((o, k) => [o, k]));
    // The origins that start with the one at position k lie right after it, up to end[k].
    const end = sorted.map((o, k) => {
      let j = k + 1;
      while (j < sorted.length && sorted[j].startsWith(o)) j++;
      return j;
    });
    const at = lowerOrigins.map((o) => position.get(o));
    const compare = (a, b) => {
      const pa = at[R.origin[a]];
      const pb = at[R.origin[b]];
      if (pa === pb) return compareText(lowerRest(a), lowerRest(b));
      if ((pa < pb && pb < end[pa]) || (pb < pa && pa < end[pb])) return compareText(lowerReferrer(a), lowerReferrer(b));
      return pa - pb;
    };
    const order = rows.slice();
    order.sort((a, b) => dir * (compare(a, b) || compareText(referrerOf(a), referrerOf(b))) || a - b);
    return order;
  }
  function sortSites(sites) {
    const dir = state.desc ? -1 : 1;
    const key = { site: 'site', clicks: 'clicks', rows: 'rows', first: 'first', last: 'last' }[state.sort] || 'clicks';
    const value = (s) => (s[key] === null ? -Infinity : key === 'site' ? lower(s.site) : s[key]);
    return sites.sort((a, b) => dir * (compareText(value(a), value(b)) || compareText(a.site, b.site)));
  }

  // The table: a header of sort buttons and a virtual list that holds only
  // the rows in view.
  const COLUMNS = {
    referrers: [['type', 'Type', ''], ['clicks', 'Clicks', 'num'], ['referrer', 'Referrer', ''], ['source', 'Source', ''], ['landing', 'Landing page', ''], ['first', 'First seen', 'mono'], ['last', 'Last seen', 'mono']],
    sites: [['site', 'Site', ''], ['clicks', 'Clicks', 'num'], ['rows', 'Referrers', 'num'], ['first', 'First seen', 'mono'], ['last', 'Last seen', 'mono']],
  };
  const viewport = $('viewport');
  const spacer = $('spacer');
  let active = 0; // the row the keyboard is on, by position in the list
  function renderHead() {
    const head = $('head');
    head.replaceChildren();
    $('table').className = state.view === 'sites' ? 'sites' : '';
    for (const [key, label, cls] of COLUMNS[state.view]) {
      const b = el('button', cls, label);
      b.type = 'button';
      b.dataset.sort = key;
      b.setAttribute('role', 'columnheader');
      if (state.sort === key) b.setAttribute('aria-sort', state.desc ? 'descending' : 'ascending');
      b.addEventListener('click', () => {
        if (state.sort === key) state.desc = !state.desc;
        else { state.sort = key; state.desc = key === 'clicks' || key === 'rows' || key === 'first' || key === 'last'; }
        update();
      });
      head.append(b);
    }
  }
  const listLength = () => (state.view === 'sites' ? shownSites.length : shown.length);
  function renderRows() {
    const total = listLength();
    spacer.style.height = total * ROW_HEIGHT + 'px';
    for (const old of viewport.querySelectorAll('.row, .empty')) old.remove();
    if (!total) {
      viewport.append(el('div', 'empty', 'No rows for this view.'));
      return;
    }
    const top = Math.max(0, Math.floor(viewport.scrollTop / ROW_HEIGHT) - 4);
    const end = Math.min(total, top + Math.ceil((viewport.clientHeight || 600) / ROW_HEIGHT) + 8);
    for (let pos = top; pos < end; pos++) {
      const row = el('div', 'row' + (pos === active ? ' active' : ''));
      row.setAttribute('role', 'row');
      row.dataset.pos = String(pos);
      row.style.transform = 'translateY(' + pos * ROW_HEIGHT + 'px)';
      if (state.view === 'sites') {
        const s = shownSites[pos];
        row.append(el('div', 'cell', s.site), el('div', 'cell num', number(s.clicks)), el('div', 'cell num', number(s.rows)),
          el('div', 'cell mono', timeText(R.first[s.firstRow], R.firstOffset[s.firstRow])), el('div', 'cell mono', timeText(R.last[s.lastRow], R.lastOffset[s.lastRow])));
      } else {
        const i = shown[pos];
        row.dataset.row = String(i);
        const referrer = el('div', 'cell');
        const text = referrerOf(i);
        if (isWebAddress(text)) {
          const a = el('a', '', text);
          a.setAttribute('href', text);
          a.setAttribute('rel', 'noreferrer noopener');
          a.setAttribute('target', '_blank');
          referrer.append(a);
        } else {
          referrer.textContent = text;
        }
        referrer.title = text;
        // The kind, muted, before the name: "Search Google".
        const source = el('div', 'cell');
        source.append(el('span', 'kind', KIND_LABELS[sourceKinds[R.source[i]]]), data.sources[R.source[i]][1]);
        source.title = sourceText(i);
        const landing = el('div', 'cell', data.pages[R.landing[i]]);
        landing.title = landing.textContent;
        row.append(el('div', 'cell mono', data.types[R.type[i]]), el('div', 'cell num', number(clicksIn[i])), referrer, source, landing,
          el('div', 'cell mono', timeText(R.first[i], R.firstOffset[i])), el('div', 'cell mono', timeText(R.last[i], R.lastOffset[i])));
      }
      viewport.append(row);
    }
  }
  viewport.addEventListener('scroll', () => requestAnimationFrame(renderRows));
  viewport.addEventListener('click', (event) => {
    if (event.target.closest('a')) return;
    const row = event.target.closest('.row');
    if (!row) return;
    active = Number(row.dataset.pos);
    choose();
  });
  // Opens a referrer's details, or shows a site's referrers.
  function choose() {
    if (state.view === 'sites') {
      const s = shownSites[active];
      if (!s) return;
      state.view = 'referrers';
      state.q = s.site;
      state.sort = 'clicks';
      state.desc = true;
      active = 0;
    } else if (shown[active] !== undefined) {
      state.open = shown[active];
    }
    update();
  }
  viewport.addEventListener('keydown', (event) => {
    const total = listLength();
    const page = Math.max(1, Math.floor(viewport.clientHeight / ROW_HEIGHT) - 1);
    const moves = { ArrowDown: 1, ArrowUp: -1, PageDown: page, PageUp: -page, Home: -Infinity, End: Infinity };
    if (event.key in moves) {
      active = Math.max(0, Math.min(total - 1, active + moves[event.key]));
      const y = active * ROW_HEIGHT;
      if (y < viewport.scrollTop) viewport.scrollTop = y;
      else if (y + ROW_HEIGHT > viewport.scrollTop + viewport.clientHeight) viewport.scrollTop = y + ROW_HEIGHT - viewport.clientHeight;
      renderRows();
      event.preventDefault();
    } else if (event.key === 'Enter') {
      choose();
      event.preventDefault();
    }
  });

  // A row's details: its landing pages, first and last seen, its clicks per day.
  let returnFocus = null;
  function renderDetails() {
    const box = $('details');
    if (state.open === null) {
      if (!box.hidden) {
        box.hidden = true;
        if (returnFocus) returnFocus.focus();
      }
      return;
    }
    const i = state.open;
    const wasHidden = box.hidden;
    box.hidden = false;
    $('details-referrer').textContent = referrerOf(i);
    const facts = $('details-facts');
    facts.replaceChildren();
    const fact = (label, value) => facts.append(el('dt', '', label), el('dd', '', value));
    fact('Who', ['Person', 'Crawler', 'Spam'][cat[i]]);
    fact('Type', data.types[R.type[i]] || '—');
    fact('Clicks', number(R.clicks[i]) + (state.from !== null ? ' (' + number(clicksIn[i]) + ' in the range)' : ''));
    fact('First seen', timeText(R.first[i], R.firstOffset[i]));
    fact('Last seen', timeText(R.last[i], R.lastOffset[i]));
    fact('Site', rowSite(i));
    fact('Source', sourceText(i));
    readLandings();
    const landings = $('details-landings').tBodies[0];
    landings.replaceChildren();
    for (let k = i ? R.landingEnds[i - 1] : 0; k < R.landingEnds[i]; k++) {
      const tr = el('tr');
      tr.append(el('td', '', data.pages[R.landingPage[k]]), el('td', 'num', number(R.landingClicks[k])));
      landings.append(tr);
    }
    const days = $('details-days').tBodies[0];
    days.replaceChildren();
    let most = 1;
    for (let k = dayStart(i); k < R.dayEnds[i]; k++) most = Math.max(most, R.dayClicks[k]);
    for (let k = dayStart(i); k < R.dayEnds[i]; k++) {
      const tr = el('tr');
      const bar = el('span', 'bar');
      bar.style.width = Math.max(2, Math.round((100 * R.dayClicks[k]) / most)) + 'px';
      const barCell = el('td');
      barCell.append(bar);
      tr.append(el('td', 'mono', dayText(R.day[k])), el('td', 'num', number(R.dayClicks[k])), barCell);
      days.append(tr);
    }
    if (wasHidden) {
      returnFocus = document.activeElement;
      $('details-close').focus();
    }
  }
  $('details-close').addEventListener('click', () => { state.open = null; update(); });
  document.addEventListener('keydown', (event) => {
    if (event.key === 'Escape' && state.open !== null) { state.open = null; update(); }
  });

  // The chart: clicks per day stacked people, crawlers, spam; dragging
  // across it chooses the date range.
  const perDay = CATS.map(() => new Float64Array(Math.max(dayCount, 0)));
  for (let i = 0; i < n; i++) {
    for (let k = dayStart(i); k < R.dayEnds[i]; k++) perDay[cat[i]][R.day[k] - firstChartDay] += R.dayClicks[k];
  }
  // Drawn by uPlot: three bar series over the days, each the sum of the kinds
  // below it and drawn first, so that the smaller sums paint over it. A drag
  // across the plot chooses the days (uPlot's selection); the chosen days
  // stay marked by the selection box.
  const chartBox = $('chart');
  const stacked = [0, 1, 2].map((top) => Float64Array.from({ length: Math.max(dayCount, 0) }, (_, d) => {
    let sum = 0;
    for (let c = 0; c <= top; c++) sum += perDay[c][d];
    return sum;
  }));
  let chart = null;
  let chartLook = '';
  function markChosenDays() {
    if (!chart) return;
    if (state.from === null) {
      chart.setSelect({ left: 0, top: 0, width: 0, height: 0 }, false);
      return;
    }
    const left = chart.valToPos(state.from - firstChartDay - 0.5, 'x');
    const right = chart.valToPos(state.to - firstChartDay + 0.5, 'x');
    chart.setSelect({ left, top: 0, width: right - left, height: chart.over.clientHeight }, false);
  }
  function drawChart() {
    const css = getComputedStyle(document.documentElement);
    const color = (name) => css.getPropertyValue(name).trim();
    const width = Math.max(200, chartBox.clientWidth);
    const look = [width, color('--people'), color('--crawlers'), color('--spam'), color('--muted'), color('--line')].join();
    if (dayCount <= 0) {
      chartBox.textContent = 'No line of these rows has a time.';
      return;
    }
    if (chart && look === chartLook) {
      markChosenDays();
      return;
    }
    if (chart) chart.destroy();
    chartLook = look;
    const bars = uPlot.paths.bars({ size: [0.9, 64], gap: 1 });
    const series = (name, kind) => ({ label: name, fill: color('--' + kind), stroke: color('--' + kind), width: 0, paths: bars, points: { show: false } });
    const axis = { stroke: color('--muted'), grid: { stroke: color('--line'), width: 1 }, ticks: { stroke: color('--line'), width: 1 }, font: '11px system-ui, sans-serif' };
    chart = new uPlot({
      width,
      height: 160,
      legend: { show: false },
      cursor: { drag: { x: true, y: false, setScale: false }, points: { show: false } },
      select: { show: true },
      scales: { x: { time: false, range: [-0.5, dayCount - 0.5] } },
      axes: [
        Object.assign({}, axis, { values: (u, values) => values.map((v) => (Number.isInteger(v) ? dayText(v + firstChartDay) : '')), space: 90 }),
        Object.assign({}, axis, { size: 48, values: (u, values) => values.map((v) => number(v)) }),
      ],
      series: [{}, series('All', 'spam'), series('People and crawlers', 'crawlers'), series('People', 'people')],
      hooks: {
        setSelect: [(u) => {
          if (u.select.width <= 0) return;
          const from = Math.round(u.posToVal(u.select.left, 'x'));
          const to = Math.round(u.posToVal(u.select.left + u.select.width, 'x'));
          state.from = firstChartDay + Math.max(0, Math.min(dayCount - 1, Math.min(from, to)));
          state.to = firstChartDay + Math.max(0, Math.min(dayCount - 1, Math.max(from, to)));
          update();
        }],
      },
    }, [Float64Array.from({ length: dayCount }, (_, d) => d), stacked[2], stacked[1], stacked[0]], chartBox);
    markChosenDays();
  }
  // By keyboard: arrows move a one-day range, Shift+arrows widen it, Escape clears it.
  chartBox.addEventListener('keydown', (event) => {
    if (dayCount <= 0) return;
    if (event.key === 'ArrowLeft' || event.key === 'ArrowRight') {
      const by = event.key === 'ArrowLeft' ? -1 : 1;
      if (state.from === null) state.from = state.to = by < 0 ? lastDay : firstChartDay;
      else if (event.shiftKey) state.to = Math.max(state.from, Math.min(lastDay, state.to + by));
      else { state.from = Math.max(firstChartDay, Math.min(lastDay, state.from + by)); state.to = state.from; }
      update();
      event.preventDefault();
    } else if (event.key === 'Escape' && state.from !== null) {
      state.from = state.to = null;
      update();
      event.stopPropagation();
    }
  });
  $('all-days').addEventListener('click', () => { state.from = state.to = null; update(); });
  // Typed dates: a field's date counts once the typing rests, on Enter or
  // on leaving the field; the other end stays as it is, an empty end stands
  // for the first or last day of the logs, and a From after To swaps them.
  // The page leaves the text of the field being typed in alone (a year is
  // typed a digit at a time, each a date of its own) until it counts.
  let typing = null;
  let typedIn = null; // the field typed in since its date last counted
  function applyTyped() {
    clearTimeout(typing);
    const boxes = [$('from'), $('to')];
    if (!typedIn || boxes.some((box) => box.validity.badInput)) return; // nothing typed, or a date half typed
    typedIn = null;
    const [fromText, toText] = boxes.map((box) => box.value);
    if (!fromText && !toText) {
      if (state.from !== null) { state.from = state.to = null; update(); }
      return;
    }
    let from = fromText ? dayOfText(fromText) : firstChartDay;
    let to = toText ? dayOfText(toText) : lastDay;
    if (from === null || to === null) return;
    if (from > to) [from, to] = [to, from];
    if (from === state.from && to === state.to) return;
    state.from = from;
    state.to = to;
    update();
  }
  for (const id of ['from', 'to']) {
    const box = $(id);
    const later = () => { typedIn = box; clearTimeout(typing); typing = setTimeout(applyTyped, 700); };
    box.addEventListener('input', later);
    box.addEventListener('change', later);
    // (A field emptied a part at a time says nothing when its last part goes.)
    box.addEventListener('keyup', (event) => { if (event.key === 'Backspace' || event.key === 'Delete') later(); });
    box.addEventListener('blur', applyTyped);
    box.addEventListener('keydown', (event) => { if (event.key === 'Enter') applyTyped(); });
  }

  // The controls.
  const typeBox = $('types');
  data.types.forEach((t) => {
    const b = el('button', '', t || '—');
    b.type = 'button';
    b.dataset.type = t;
    b.title = t ? 'Only rows typed ' + t : 'Only rows without a type';
    b.addEventListener('click', () => {
      if (state.types.has(t)) state.types.delete(t);
      else state.types.add(t);
      update();
    });
    typeBox.append(b);
  });
  document.querySelectorAll('button.cat').forEach((b) => b.addEventListener('click', () => { state.cat = b.dataset.cat; active = 0; update(); }));
  $('source-kind').addEventListener('change', () => {
    state.kind = $('source-kind').value;
    // A kind that who clicked hides (crawlers among people's rows) shows with all who clicked.
    const k = KINDS.indexOf(state.kind);
    if (k >= 0 && !kindRows(k, state.cat) && kindRows(k, 'all')) state.cat = 'all';
    active = 0;
    update();
  });
  document.querySelectorAll('button.view').forEach((b) => b.addEventListener('click', () => {
    if (state.view === b.dataset.view) return;
    state.view = b.dataset.view;
    state.sort = 'clicks';
    state.desc = true;
    active = 0;
    update();
  }));
  $('search').addEventListener('input', () => { state.q = $('search').value; active = 0; viewport.scrollTop = 0; update(); });
  $('theme').addEventListener('click', () => {
    state.theme = { auto: 'dark', dark: 'light', light: 'auto' }[state.theme];
    update();
  });

  // The print layout: the chart and the first rows of the view as a plain table.
  const PRINT_ROWS = 500;
  window.addEventListener('beforeprint', () => {
    const table = $('print');
    table.replaceChildren();
    const who = { people: "People's rows", crawlers: "Crawlers' rows", spam: 'Spam rows', all: 'All rows' }[state.cat];
    const range = state.from !== null ? dayText(state.from) + ' to ' + dayText(state.to) : 'all days';
    const kind = state.kind !== 'all' ? ', ' + $('source-kind').selectedOptions[0].dataset.label.toLowerCase() : '';
    const typed = state.types.size ? ', typed ' + [...state.types].map((t) => t || '—').join(' ') : '';
    $('print-caption').textContent = who + kind + typed + ', ' + range + (state.q ? ', matching "' + state.q + '"' : '') + ': ' + $('count').textContent;
    const head = el('tr');
    for (const [, label] of COLUMNS[state.view]) head.append(el('th', '', label));
    table.append(head);
    const count = Math.min(PRINT_ROWS, listLength());
    for (let pos = 0; pos < count; pos++) {
      const tr = el('tr');
      if (state.view === 'sites') {
        const s = shownSites[pos];
        tr.append(el('td', '', s.site), el('td', '', number(s.clicks)), el('td', '', number(s.rows)), el('td', '', timeText(R.first[s.firstRow], R.firstOffset[s.firstRow])), el('td', '', timeText(R.last[s.lastRow], R.lastOffset[s.lastRow])));
      } else {
        const i = shown[pos];
        tr.append(el('td', '', data.types[R.type[i]]), el('td', '', number(clicksIn[i])), el('td', '', referrerOf(i)), el('td', '', sourceText(i)), el('td', '', data.pages[R.landing[i]]), el('td', '', timeText(R.first[i], R.firstOffset[i])), el('td', '', timeText(R.last[i], R.lastOffset[i])));
      }
      table.append(tr);
    }
    if (listLength() > count) {
      const tr = el('tr');
      tr.append(el('td', '', '… and ' + number(listLength() - count) + ' more rows'));
      table.append(tr);
    }
  });

  function update() {
    if (state.theme === 'auto') document.documentElement.removeAttribute('data-theme');
    else document.documentElement.setAttribute('data-theme', state.theme);
    $('theme').textContent = 'Theme: ' + state.theme;
    if ($('search').value !== state.q) $('search').value = state.q;
    for (const [id, day] of [['from', state.from], ['to', state.to]]) {
      // (Setting a field's value, even to the same date, ends the typing in it.)
      const text = day !== null ? dayText(day) : '';
      if (typedIn !== $(id) && $(id).value !== text) $(id).value = text;
    }
    typeBox.querySelectorAll('button').forEach((b) => b.setAttribute('aria-pressed', String(state.types.has(b.dataset.type))));
    document.querySelectorAll('button.view').forEach((b) => b.setAttribute('aria-pressed', String(b.dataset.view === state.view)));
    $('search').placeholder = state.view === 'sites' ? 'Search sites' : 'Search referrers';
    compute();
    active = Math.min(active, Math.max(0, listLength() - 1));
    renderHead();
    renderRows();
    renderDetails();
    drawChart();
    writeHash();
  }

  $('domain').textContent = data.domain || '(no own domain set)';
  $('period').textContent = data.period[0] ? data.period[0] + ' to ' + data.period[1] : 'No times in the log';
  $('files').textContent = data.files.length === 1 ? data.files[0] : data.files.length + ' files';
  $('files').title = data.files.join('\n');
  $('status').textContent = data.status;
  if (data.unreadable.length) {
    $('unreadable').hidden = false;
    $('unreadable').textContent = 'Not read to the end: ' + data.unreadable.map(([path, why]) => path + ' (' + why + ')').join('; ');
  }
  window.addEventListener('hashchange', () => {
    if (location.hash.slice(1) === hashWritten) return;
    clearTimeout(typing);
    typedIn = null;
    readHash();
    update();
  });
  window.addEventListener('resize', () => { drawChart(); renderRows(); });
  matchMedia('(prefers-color-scheme: dark)').addEventListener('change', drawChart);
  readHash();
  update();
  document.body.dataset.ready = 'true';
})();
