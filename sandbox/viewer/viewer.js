// The sandbox viewer: the request log as it arrives (server-sent events), one exchange in
// full, the fault rules and the seed users' state. Plain DOM; every text from the sandbox goes
// in through textContent, never as markup.
'use strict';

const kPrefix = 'norda.lumo.';
const kMaxRows = 1000;
// Parameters every call carries; the row shows the others.
const kCommon = new Set(['method', 'format', 'from', 'version', 'version_d', 'timestamp', 'param', 'sign']);

// What each code means, as the sandbox serves it (loadProtocol).
const meanings = new Map();  // code -> meaning

const entries = new Map();  // seq -> entry
const users = new Map();    // id -> name
let selected = 0;
let openedEntry = null;  // the exchange in the pane, once it has come
let replaying = false;   // a replay has been asked for and not answered yet
// While paused, what arrives waits here and the bar counts it.
let paused = false;
let pending = [];
// The newest entry a clear has removed: the stream's backlog after a reconnect stays out.
let clearedThrough = 0;
// Groups of pages opened, by the sequence number of their first page.
const openGroups = new Set();
// Where a page starts (a call that names one pages), and with the page's size what may differ
// between the pages of one task.
const kPaging = new Set(['offset', 'pn']);
const kPageSize = new Set(['offset', 'pn', 'size', 'rn']);

const $ = (id) => document.getElementById(id);

// What changes the sandbox's state goes out with a JSON type and the viewer's own header: the
// sandbox refuses a POST that any other page could send.
function change(path, method, body) {
  const headers = {'X-Sandbox-Viewer': '1'};
  if (body !== undefined) headers['Content-Type'] = 'application/json';
  return fetch(path, {method, headers, body, cache: 'no-store'});
}

function el(tag, attrs, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(attrs || {})) {
    if (key === 'class') node.className = value;
    else node.setAttribute(key, value);
  }
  for (const child of children) {
    if (child === null || child === undefined) continue;
    node.append(child instanceof Node ? child : String(child));
  }
  return node;
}

function shortMethod(method) {
  return method.startsWith(kPrefix) ? method.slice(kPrefix.length) : method;
}

// success, an accepted refusal (the service understood the call and said no), or an error
// (refused call, broken answer, fault).
function outcome(entry) {
  const code = entry.error_code;
  if (entry.fault && entry.fault !== 'delay' && entry.fault !== 'error_code') return 'error';
  if (entry.http_status !== 200 && entry.http_status !== 0) return 'error';
  if (code === 22000) return 'ok';
  if ((code >= 22000 && code < 30000) || (code >= 41000 && code < 42000)) return 'refusal';
  return 'error';
}

function codeLabel(entry) {
  if (entry.fault === 'close') return ['—', 'closed without an answer'];
  // A fault that replaced the answer with something other than a service answer has no code.
  if (entry.error_code === 0 && entry.fault) return ['—', 'HTTP ' + entry.http_status + ', ' + entry.fault];
  const meaning = meanings.get(entry.error_code) || '';
  const http = entry.http_status !== 200 ? 'HTTP ' + entry.http_status : '';
  return [String(entry.error_code), [meaning, http].filter(Boolean).join(', ')];
}

function formatTime(ms) {
  const date = new Date(ms);
  const two = (n) => String(n).padStart(2, '0');
  return two(date.getHours()) + ':' + two(date.getMinutes()) + ':' + two(date.getSeconds()) +
      '.' + String(date.getMilliseconds()).padStart(3, '0');
}

function formatTook(us) {
  return us >= 10000 ? (us / 1000).toFixed(0) + ' ms' : (us / 1000).toFixed(1) + ' ms';
}

function userLabel(id) {
  if (!id) return '';
  return users.has(id) ? users.get(id) + ' (' + id + ')' : id;
}

function ownParams(entry) {
  return entry.params.filter(([name]) => !kCommon.has(name))
      .map(([name, value]) => name + '=' + value).join('  ');
}

function addOption(select, value, label) {
  for (const option of select.options) if (option.value === value) return;
  select.append(el('option', {value}, label));
}

// What the text filter looks through: the method, every parameter and the answer's summary.
const searchTexts = new WeakMap();
function searchText(entry) {
  if (!searchTexts.has(entry)) {
    const [code, meaning] = codeLabel(entry);
    searchTexts.set(entry, [entry.method || entry.verb + ' ' + entry.target,
      ...entry.params.map(([name, value]) => name + '=' + value),
      code, meaning, 'HTTP ' + entry.http_status, entry.fault,
      entry.replay_of ? 'replay of #' + entry.replay_of : ''].join('\n').toLowerCase());
  }
  return searchTexts.get(entry);
}

function matches(entry) {
  const method = $('filter-method').value;
  const user = $('filter-user').value;
  const code = $('filter-code').value;
  const http = $('filter-http').value;
  const text = $('filter-text').value.trim().toLowerCase();
  if (method && entry.method !== method) return false;
  if (user && entry.user_id !== user) return false;
  if (code && code !== outcome(entry) && code !== String(entry.error_code)) return false;
  if (http && String(entry.http_status) !== http) return false;
  if (text && !searchText(entry).includes(text)) return false;
  return true;
}

function row(entry) {
  const [code, meaning] = codeLabel(entry);
  const tr = el('tr', {'data-seq': entry.seq},
      el('td', {class: 'num'}, entry.seq),
      el('td', {class: 'time'}, formatTime(entry.time_ms)),
      el('td', {}, entry.method ? shortMethod(entry.method) : entry.verb + ' ' + entry.target.split('?')[0],
         entry.fault ? el('span', {class: 'fault'}, entry.fault) : null,
         entry.replay_of ? el('span', {class: 'replay'}, 'replay of #' + entry.replay_of) : null),
      el('td', {}, entry.form ? el('span', {class: 'form ' + entry.form}, entry.form) : ''),
      el('td', {class: 'user'}, userLabel(entry.user_id)),
      el('td', {class: 'params'}, ownParams(entry)),
      el('td', {}, el('span', {class: 'code ' + outcome(entry)}, code), ' ',
         el('span', {class: 'meaning'}, meaning)),
      el('td', {class: 'num'}, formatTook(entry.took_us)));
  if (entry.seq === selected) tr.classList.add('selected');
  tr.addEventListener('click', () => showExchange(entry.seq));
  return tr;
}

function addEntry(entry) {
  if (entries.has(entry.seq)) return;
  entries.set(entry.seq, entry);
  const body = $('log-rows');
  // Newest first; events can arrive slightly out of order.
  let before = body.firstElementChild;
  while (before && Number(before.dataset.seq) > entry.seq) before = before.nextElementSibling;
  body.insertBefore(row(entry), before);
  while (body.childElementCount > kMaxRows) {
    const last = body.lastElementChild;
    entries.delete(Number(last.dataset.seq));
    last.remove();
  }
  if (entry.method) addOption($('filter-method'), entry.method, shortMethod(entry.method));
  if (entry.user_id) addOption($('filter-user'), entry.user_id, userLabel(entry.user_id));
  addOption($('filter-code'), String(entry.error_code), entry.error_code + ' ' + (meanings.get(entry.error_code) || ''));
  addOption($('filter-http'), String(entry.http_status), entry.http_status ? String(entry.http_status) : 'none');
  if (entry.fault) loadRules();
  applyFilters();
}

function receive(entry) {
  if (entry.seq <= clearedThrough || entries.has(entry.seq)) return;
  if (!paused) {
    addEntry(entry);
    return;
  }
  if (!pending.some((waiting) => waiting.seq === entry.seq)) pending.push(entry);
  showPending();
}

function showPending() {
  const badge = $('log-new');
  badge.hidden = !paused;
  badge.textContent = pending.length + ' new';
}

function togglePause() {
  paused = !paused;
  const button = $('log-pause');
  button.textContent = paused ? 'resume' : 'pause';
  button.setAttribute('aria-pressed', String(paused));
  if (!paused) {
    const waiting = pending;
    pending = [];
    for (const entry of waiting) addEntry(entry);
  }
  showPending();
}

// Empties the page's list only; the sandbox keeps its log.
function clearPage() {
  for (const seq of [...entries.keys(), ...pending.map((entry) => entry.seq)]) {
    clearedThrough = Math.max(clearedThrough, seq);
  }
  pending = [];
  clearLog();
  showPending();
}

// The same paging call of the same user for the same thing: one task's pages.
function taskKey(entry) {
  if (!entry.method || !entry.params.some(([name]) => kPaging.has(name))) return null;
  const rest = entry.params.filter(([name]) => !kCommon.has(name) && !kPageSize.has(name));
  return JSON.stringify([entry.method, entry.user_id, rest]);
}

function position(entry) {
  return entry.params.filter(([name]) => kPaging.has(name)).join('&');
}

// The next page of the same task: a call asking for the same page again is another task.
function nextPage(row, newer) {
  const entry = entries.get(Number(row.dataset.seq));
  const other = entries.get(Number(newer.dataset.seq));
  const key = taskKey(entry);
  return key !== null && key === taskKey(other) && position(entry) !== position(other);
}

function updateCount(shown) {
  const rows = $('log-rows').children;
  $('log-count').textContent = shown === rows.length ? rows.length + ' requests' : shown + ' of ' + rows.length + ' requests';
  $('log-empty').hidden = rows.length > 0;
}

// Shows the rows the filters let through, a run of a task's pages as one group: its newest
// page heads it with the count, the others show when it is opened.
function applyFilters() {
  const shown = [];
  for (const tr of $('log-rows').children) {
    tr.classList.remove('group', 'page');
    tr.querySelector('.pages')?.remove();
    tr.hidden = !matches(entries.get(Number(tr.dataset.seq)));
    if (!tr.hidden) shown.push(tr);
  }
  for (let first = 0; first < shown.length;) {
    let end = first + 1;
    while (end < shown.length && nextPage(shown[end], shown[end - 1])) ++end;
    if (end - first > 1) group(shown.slice(first, end));
    first = end;
  }
  updateCount(shown.length);
}

function group(rows) {
  const id = Number(rows[rows.length - 1].dataset.seq);
  const open = openGroups.has(id);
  const toggle = el('button', {type: 'button', class: 'pages', 'aria-expanded': String(open)},
      (open ? '▾ ' : '▸ ') + rows.length + ' pages');
  toggle.addEventListener('click', (event) => {
    event.stopPropagation();
    if (!openGroups.delete(id)) openGroups.add(id);
    applyFilters();
  });
  rows[0].classList.add('group');
  rows[0].cells[2].append(toggle);
  for (const tr of rows.slice(1)) {
    tr.classList.add('page');
    tr.hidden = !open;
  }
}

function clearLog() {
  entries.clear();
  $('log-rows').replaceChildren();
  $('detail-section').hidden = true;
  selected = 0;
  openGroups.clear();
  applyFilters();
}

function pretty(text) {
  try {
    return JSON.stringify(JSON.parse(text), null, 2);
  } catch (error) {
    return text;
  }
}

function pairsList(pairs) {
  const dl = el('dl');
  for (const [name, value] of pairs) dl.append(el('dt', {}, name), el('dd', {}, value));
  return dl;
}

async function showExchange(seq) {
  selected = seq;
  openedEntry = null;
  for (const tr of $('log-rows').children) tr.classList.toggle('selected', Number(tr.dataset.seq) === seq);
  const detail = $('detail');
  $('detail-section').hidden = false;
  const response = await fetch('/_sandbox/exchange?seq=' + seq, {cache: 'no-store'});
  const answer = await response.json();
  if (selected !== seq) return;
  if (answer.error_code !== 22000) {
    detail.replaceChildren(el('p', {class: 'error'}, answer.error_msg || 'not available'));
    return;
  }
  const entry = answer.entry;
  openedEntry = entry;
  $('curl-status').textContent = '';
  if (!replaying) $('replay-status').textContent = '';
  const [code, meaning] = codeLabel(entry);
  $('detail-title').textContent = '#' + entry.seq + ' ' + (entry.method ? shortMethod(entry.method) : entry.verb) +
      (entry.replay_of ? ', replay of #' + entry.replay_of : '');
  const facts = [
    ['time', formatTime(entry.time_ms)], ['request', entry.verb + ' ' + entry.target],
    ['form', entry.form || '—'], ['user', userLabel(entry.user_id) || '—'],
    ['answer', code + ' ' + meaning + ' (HTTP ' + entry.http_status + ')'],
    ['fault', entry.fault || '—'], ['took', formatTook(entry.took_us)],
  ];
  if (entry.replay_of) {
    const original = el('button', {type: 'button', id: 'replay-original'}, '#' + entry.replay_of);
    original.addEventListener('click', () => showExchange(entry.replay_of));
    facts.splice(1, 0, ['replay of', original]);
  }
  const parts = [
    el('pre', {id: 'curl', hidden: ''}),
    el('p', {id: 'curl-note', class: 'note', hidden: ''}),
    pairsList(facts),
    el('h3', {}, 'Parameters' + (entry.form === 'encrypted' ? ' (decrypted)' : '')),
    pairsList(entry.params),
  ];
  if (entry.inner_text) parts.push(el('h3', {}, 'Decrypted param text'), el('pre', {}, entry.inner_text));
  parts.push(el('h3', {}, 'Headers'), pairsList(entry.headers));
  if (entry.cut) parts.push(el('p', {class: 'note'}, 'The log cut some of this request\'s texts to fit its limits.'));
  parts.push(el('h3', {}, 'Answer (' + entry.answer_size + ' bytes)'));
  if (entry.answer_cut) {
    parts.push(el('p', {class: 'note'}, 'The log keeps the first 16 KiB of an answer; this one had ' +
        entry.answer_size + ' bytes, so what follows is cut.'));
  }
  parts.push(el('pre', {id: 'answer'}, entry.answer_cut ? entry.answer : pretty(entry.answer)));
  detail.replaceChildren(...parts);
  // Below a long log the pane would open out of sight.
  $('detail-section').scrollIntoView({block: 'nearest'});
}

// Sends the opened exchange's request once more. The sandbox sends the request as it received
// it (not the masked one shown here) through its endpoint, fault rules included, and logs a new
// exchange; the page adds and opens it without waiting for the stream, while paused as well:
// it was asked for.
async function replay() {
  if (!openedEntry || replaying) return;
  const of = openedEntry.seq;
  const status = $('replay-status');
  replaying = true;
  $('detail-replay').disabled = true;
  status.className = 'muted';
  status.textContent = 'sending #' + of + ' again…';
  let answer;
  try {
    answer = await (await change('/_sandbox/replay', 'POST', JSON.stringify({seq: of}))).json();
  } catch (error) {
    answer = {error_msg: 'the sandbox did not answer the replay'};
  }
  replaying = false;
  $('detail-replay').disabled = false;
  if (answer.error_code !== 22000) {
    status.className = 'error';
    status.textContent = 'replay of #' + of + ': ' + (answer.error_msg || 'refused');
    return;
  }
  if (answer.entry) addEntry(answer.entry);
  // Someone who opened another exchange meanwhile keeps it; the new row is there.
  if (selected === of) await showExchange(answer.seq);
  status.className = 'muted';
  status.textContent = '#' + of + ' sent again as #' + answer.seq;
}

// Export and curl: what the viewer shows, tokens masked as they are on the page.

// The first header of that (lower-case) name, or null when the client sent none.
function headerValue(entry, name) {
  const found = entry.headers.find(([key]) => key.toLowerCase() === name);
  return found ? found[1] : null;
}

// The Host a request named as the browser reads a host ("API.lumo.example:80" is
// "api.lumo.example"), or null where no address can carry it: none sent, one the browser refuses
// ("api.lumo.example:8o", which the sandbox serves all the same) or more than a host.
function namedHost(host) {
  if (!host) return null;
  try {
    const url = new URL('http://' + host + '/');
    if (url.username || url.password || url.pathname !== '/' || url.search || url.hash) return null;
    return url;
  } catch (error) {
    return null;
  }
}

const utf8 = new TextEncoder();

function hex(byte) {
  return byte.toString(16).toUpperCase().padStart(2, '0');
}

// The target as the path and query of a valid URL: what RFC 3986 does not allow there ('#',
// brackets, quotes, spaces, non-ASCII, a '%' that starts no escape) as %XX of its UTF-8 bytes.
function uriText(text) {
  return text.replace(/%(?![0-9A-Fa-f]{2})|[^A-Za-z0-9\-._~!$&'()*+,;=:@/?%]/gu,
      (character) => [...utf8.encode(character)].map((byte) => '%' + hex(byte)).join(''));
}

// The address the client used: its Host (this sandbox's own where the browser cannot read it)
// and the target, or the host an absolute-form target names. A target of neither form ("*")
// stands after a "/".
function harUrl(entry) {
  const absolute = /^http:\/\/([^/?#]*)(.*)$/i.exec(entry.target);
  const [host, path] = absolute ? [absolute[1], absolute[2] || '/'] :
      [headerValue(entry, 'host'), entry.target.startsWith('/') ? entry.target : '/' + entry.target];
  const named = namedHost(host);
  return 'http://' + (named ? named.host : location.host) + uriText(path);
}

function download(name, type, text) {
  const url = URL.createObjectURL(new Blob([text], {type}));
  const link = el('a', {href: url, download: name, hidden: ''});
  document.body.append(link);
  link.click();
  link.remove();
  // The download has started when click() returns; the URL may go once it has been read.
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// The rows shown, oldest first, each with its answer (the stream does not carry answers).
async function shownExchanges() {
  const list = [];
  for (const tr of [...$('log-rows').children].reverse()) {
    const entry = entries.get(Number(tr.dataset.seq));
    if (!matches(entry)) continue;
    const answer = await (await fetch('/_sandbox/exchange?seq=' + entry.seq, {cache: 'no-store'})).json();
    list.push(answer.error_code === 22000 ? answer.entry : entry);
  }
  return list;
}

function stamp() {
  return new Date().toISOString().replace(/[:.]/g, '-');
}

async function exportJsonLines() {
  const list = await shownExchanges();
  download('sandbox-log-' + stamp() + '.jsonl', 'application/x-ndjson',
      list.map((entry) => JSON.stringify(entry) + '\n').join(''));
}

const kStatusTexts = {
  200: 'OK', 400: 'Bad Request', 403: 'Forbidden', 404: 'Not Found', 405: 'Method Not Allowed',
  411: 'Length Required', 413: 'Payload Too Large', 429: 'Too Many Requests',
  431: 'Request Header Fields Too Large', 500: 'Internal Server Error', 502: 'Bad Gateway',
  503: 'Service Unavailable',
};

function decodePart(text) {
  try {
    return decodeURIComponent(text.replace(/\+/g, ' '));
  } catch (error) {
    return text;
  }
}

function harEntry(entry) {
  const query = entry.target.includes('?') ? entry.target.slice(entry.target.indexOf('?') + 1) : '';
  const queryString = query.split('&').filter(Boolean).map((pair) => {
    const at = pair.indexOf('=');
    return at < 0 ? {name: decodePart(pair), value: ''}
                  : {name: decodePart(pair.slice(0, at)), value: decodePart(pair.slice(at + 1))};
  });
  const cookies = (headerValue(entry, 'cookie') || '').split(';').map((part) => part.trim()).filter(Boolean)
      .map((part) => ({name: part.split('=')[0].trim(), value: part.slice(part.indexOf('=') + 1)}));
  const answer = entry.answer || '';
  // Empty when nothing was answered (a rule closed the connection).
  const type = entry.answer_type;
  const took = entry.took_us / 1000;
  return {
    startedDateTime: new Date(entry.time_ms).toISOString(),
    time: took,
    request: {
      method: entry.verb, url: harUrl(entry), httpVersion: 'HTTP/1.1',
      headers: entry.headers.map(([name, value]) => ({name, value})),
      queryString, cookies, headersSize: -1, bodySize: entry.body_size,
    },
    response: {
      status: entry.http_status, statusText: kStatusTexts[entry.http_status] || '',
      httpVersion: 'HTTP/1.1', headers: type ? [{name: 'Content-Type', value: type}] : [], cookies: [],
      // The log keeps the first 16 KiB of an answer; size says how long it was.
      content: {size: entry.answer_size, mimeType: type, text: answer},
      redirectURL: '', headersSize: -1, bodySize: entry.answer_size,
    },
    cache: {},
    timings: {send: 0, wait: took, receive: 0},
    comment: '#' + entry.seq + (entry.replay_of ? ', replay of #' + entry.replay_of : '') +
        (entry.fault ? ', fault ' + entry.fault : ''),
  };
}

async function exportHar() {
  const list = await shownExchanges();
  const har = {log: {version: '1.2', creator: {name: 'lumo sandbox viewer', version: '1'},
    pages: [], entries: list.map(harEntry)}};
  download('sandbox-log-' + stamp() + '.har', 'application/json', JSON.stringify(har, null, 1));
}

// A word for bash that it passes on byte for byte: single-quoted, or where the text holds a
// control character or a non-ASCII one, $'...' with each such byte as \xHH, so that neither a
// terminal nor a clipboard can change what reaches curl.
function shellQuote(text) {
  if (/^[\x20-\x7e]*$/.test(text)) return '\'' + text.replace(/'/g, '\'\\\'\'') + '\'';
  let quoted = '$\'';
  for (const byte of utf8.encode(text)) {
    if (byte === 0x27 || byte === 0x5c) quoted += '\\' + String.fromCharCode(byte);
    else if (byte >= 0x20 && byte < 0x7f) quoted += String.fromCharCode(byte);
    else quoted += '\\x' + hex(byte);
  }
  return quoted + '\'';
}

// A target that curl sends as it is when it is the URL's path and query (dot segments kept by
// --path-as-is): RFC 3986's characters and whole escapes. Any other goes in --request-target,
// which curl sends untouched: in the URL a '#' would end it, and curl versions differ in what
// else they escape or refuse there.
const kCurlUrlTarget = /^\/(?:[A-Za-z0-9\-._~!$&'()*+,;=:@/?]|%[0-9A-Fa-f]{2})*$/;

// -H for one header: "name;" sends an empty one (curl drops "name:"), and a null value
// "name:" removes a header of curl's own.
function curlHeader(name, value) {
  if (value === null) return ['-H', shellQuote(name + ':')];
  return ['-H', shellQuote(value === '' ? name + ';' : name + ': ' + value)];
}

// The request as the sandbox received it, sent to this sandbox again by curl: the same request
// line (no globbing, no dot segments folded), the same headers and no other (curl's own Host,
// User-Agent and Accept replaced or removed). Returns the command and what the page says
// beside it: where it had to differ from the address or the request.
function curlCommand(entry) {
  const sent = headerValue(entry, 'host');
  const host = namedHost(sent);
  const words = ['curl', '--globoff', '--path-as-is'];
  const notes = [];
  if (host) {
    words.push('--connect-to', shellQuote(host.hostname + ':' + (host.port || '80') + ':' +
        location.hostname + ':' + (location.port || '80')));
  } else {
    notes.push(sent === null ?
        'The request named no Host: the command goes to this sandbox\'s address and sends none.' :
        'The browser cannot read this request\'s Host (' + sent + '): the command goes to this ' +
            'sandbox\'s address and sends that Host as a header.');
  }
  const inUrl = kCurlUrlTarget.test(entry.target);
  if (!inUrl) words.push('--request-target', shellQuote(entry.target));
  if (entry.verb === 'HEAD') words.push('--head');
  else if (entry.verb !== 'GET') words.push('-X', shellQuote(entry.verb));
  // curl's own Host is the URL's host as the URL writes it.
  if (!host || sent !== host.host) words.push(...curlHeader('Host', sent));
  const body = entry.body_size > 0 || headerValue(entry, 'transfer-encoding') !== null;
  for (const [name, value] of entry.headers) {
    const lower = name.toLowerCase();
    const framing = lower === 'content-length' || lower === 'transfer-encoding';
    if (lower !== 'host' && !(body && framing)) words.push(...curlHeader(name, value));
  }
  for (const own of ['User-Agent', 'Accept']) {
    if (headerValue(entry, own.toLowerCase()) === null) words.push(...curlHeader(own, null));
  }
  if (body) {
    notes.push('The log keeps no request body: the command sends none (this one had ' +
        entry.body_size + ' bytes).');
  }
  if (entry.cut) notes.push('The log cut some of this request\'s texts: the command sends what it kept.');
  words.push(shellQuote('http://' + (host ? host.host : location.host) + (inUrl ? entry.target : '/')));
  return {command: words.join(' '), notes};
}

async function copyCurl() {
  if (!openedEntry) return;
  const {command, notes} = curlCommand(openedEntry);
  $('curl').textContent = command;
  $('curl').hidden = false;
  $('curl-note').textContent = notes.join(' ');
  $('curl-note').hidden = notes.length === 0;
  try {
    await navigator.clipboard.writeText(command);
    $('curl-status').textContent = 'copied';
  } catch (error) {
    $('curl-status').textContent = 'select it below to copy';
  }
}

function connect() {
  const source = new EventSource('/_sandbox/events');
  const live = $('live');
  source.addEventListener('open', () => {
    live.textContent = 'live';
    live.className = 'live on';
  });
  source.addEventListener('error', () => {
    live.textContent = 'reconnecting…';
    live.className = 'live off';
  });
  source.addEventListener('exchange', (event) => receive(JSON.parse(event.data)));
  source.addEventListener('reset', () => {
    afterReset();
    loadRules();
    loadState();
  });
}

// Fault rules.

function ruleDetails(rule) {
  const parts = [];
  if (rule.action === 'error_code') parts.push('code ' + rule.error_code);
  if (rule.delay_ms) parts.push(rule.delay_ms + ' ms late');
  if (rule.action === 'verbatim') parts.push('body ' + rule.body);
  if (rule.skip) parts.push('skip ' + rule.skip);
  parts.push(rule.count < 0 ? 'every call' : rule.count + ' more');
  if (rule.refused) parts.push('refused calls too');
  return parts.join(', ');
}

async function loadRules() {
  const answer = await (await fetch('/_sandbox/rules', {cache: 'no-store'})).json();
  const body = $('rules-rows');
  body.replaceChildren(...answer.rules.map((rule) => {
    const remove = el('button', {type: 'button', 'data-rule': rule.id}, 'remove');
    remove.addEventListener('click', async () => {
      await change('/_sandbox/rules/' + rule.id, 'DELETE');
      loadRules();
    });
    return el('tr', {}, el('td', {class: 'num'}, rule.id), el('td', {}, shortMethod(rule.method)),
        el('td', {}, rule.action), el('td', {}, ruleDetails(rule)), el('td', {}, remove));
  }));
  $('rules-empty').hidden = answer.rules.length > 0;
}

function showRuleFields() {
  const action = $('rule-action').value;
  for (const label of document.querySelectorAll('#rule-form label[data-for]')) {
    label.hidden = label.dataset.for !== action;
  }
}

async function addRule(event) {
  event.preventDefault();
  const action = $('rule-action').value;
  const rule = {method: $('rule-method').value.trim(), action};
  const delay = Number($('rule-delay').value || 0);
  if (delay || action === 'delay') rule.delay_ms = delay;
  if (action === 'error_code') rule.error_code = Number($('rule-error-code').value);
  if (action === 'verbatim') rule.body = $('rule-body').value;
  const skip = Number($('rule-skip').value || 0);
  if (skip) rule.skip = skip;
  const count = Number($('rule-count').value || -1);
  if (count !== -1) rule.count = count;
  if ($('rule-refused').checked) rule.refused = true;
  const response = await change('/_sandbox/rules', 'POST', JSON.stringify(rule));
  const answer = await response.json();
  const error = $('rule-error');
  error.hidden = answer.error_code === 22000;
  error.textContent = answer.error_msg || '';
  loadRules();
}

// State.

function section(title, data, describe) {
  const list = el('ul', {}, ...data.first.map((item) => el('li', {}, describe(item))));
  const more = data.count > data.first.length ? el('li', {class: 'muted'}, '… ' + (data.count - data.first.length) + ' more') : null;
  if (more) list.append(more);
  return [el('div', {class: 'kind'}, title + ': ' + data.count), data.count ? list : null];
}

// The service's methods (offered for a rule) and the meanings of its codes.
async function loadProtocol() {
  const answer = await (await fetch('/_sandbox/protocol', {cache: 'no-store'})).json();
  for (const code of answer.codes) meanings.set(code.code, code.meaning);
  $('methods').replaceChildren(...['*', ...answer.methods].map((method) => el('option', {value: method})));
}

async function loadState() {
  const answer = await (await fetch('/_sandbox/state', {cache: 'no-store'})).json();
  const song = (item) => item.title + ' — ' + item.artist + ' (' + item.id + ')';
  $('state').replaceChildren(...answer.users.map((user) => {
    users.set(user.id, user.name);
    return el('div', {class: 'user'},
        el('h3', {}, user.name + ' (' + user.id + ')'),
        el('div', {class: 'token'}, 'token ' + user.token),
        ...section('song lists', user.lists, (item) => item.title + ' (' + item.id + ', ' + item.songs + ' songs)'),
        ...section('favourite lists', user.favorite_lists, (item) => item.title + ' (' + item.id + ')'),
        ...section('favourite songs', user.favorites, song),
        ...section('collected songs', user.collected, song),
        ...section('cloud records', user.cloud, song));
  }));
  for (const option of $('filter-user').options) {
    if (option.value) option.textContent = userLabel(option.value);
  }
}

// A reset empties the sandbox's log, what waits behind a pause with it.
function afterReset() {
  pending = [];
  clearLog();
  showPending();
}

async function reset() {
  if (!confirm('Put the sandbox back to its seed data? This also removes every fault rule and empties the log.')) return;
  await change('/_sandbox/reset', 'POST');
  afterReset();
  loadRules();
  loadState();
}

function start() {
  $('address').textContent = location.host;
  for (const id of ['filter-method', 'filter-user', 'filter-code', 'filter-http']) $(id).addEventListener('change', applyFilters);
  $('filter-text').addEventListener('input', applyFilters);
  $('log-pause').addEventListener('click', togglePause);
  $('log-clear').addEventListener('click', clearPage);
  $('export-jsonl').addEventListener('click', exportJsonLines);
  $('export-har').addEventListener('click', exportHar);
  $('detail-curl').addEventListener('click', copyCurl);
  $('detail-replay').addEventListener('click', replay);
  $('detail-close').addEventListener('click', () => {
    $('detail-section').hidden = true;
    selected = 0;
    for (const tr of $('log-rows').children) tr.classList.remove('selected');
  });
  $('rule-action').addEventListener('change', showRuleFields);
  $('rule-form').addEventListener('submit', addRule);
  $('rules-clear').addEventListener('click', async () => {
    await change('/_sandbox/rules', 'DELETE');
    loadRules();
  });
  $('state-refresh').addEventListener('click', loadState);
  $('reset').addEventListener('click', reset);
  showRuleFields();
  applyFilters();
  loadRules();
  // The rows need the codes' meanings and the users' names before the log comes.
  Promise.allSettled([loadProtocol(), loadState()]).then(connect);
}

start();
