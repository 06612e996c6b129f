// The colorcorrect workstation page. It keeps no correction of its own: the
// server's state (GET /api/state and every answer) is drawn into the
// controls, and every change goes back to the server, which hands it to
// the session's viewer. Previews arrive as Server-Sent Events.

const $ = (sel, root = document) => root.querySelector(sel);
const $$ = (sel, root = document) => [...root.querySelectorAll(sel)];

// The correction's fields, their limits and neutral values: the library's
// catalogue as GET /api/schema serves it, read once before the controls are built.
let SCHEMA = null;
let SEGMENTS = [];
let DEFAULT_VECTOR = {};

async function loadSchema() {
  SCHEMA = await api('GET', '/api/schema');
  SEGMENTS = SCHEMA.segments;
  DEFAULT_VECTOR = Object.fromEntries(
    SCHEMA.groups.vectors.fields.map((f) => [f.name, f.neutral]));
}

// The limits [min, max] of the field at `path` (base.x, vector6.segment.x,
// match.vectors.i.x).
function limits(path) {
  const parts = path.split('.');
  const group = { base: 'base', vector6: 'vector6', match: 'vectors' }[parts[0]];
  const key = parts[parts.length - 1];
  const f = SCHEMA.groups[group].fields.find((x) => x.name === key);
  return [f.min, f.max];
}

let state = null;        // the server's last answer
let scopeType = 1;
let selectedVector = 0;  // match vector shown in the fields
let busy = false;        // a correction request is on its way
let pending = null;      // the newest correction waiting to be sent: {commit}

// ---- talking to the server ------------------------------------------------

function setStatus(text, error = false) {
  const s = $('#status');
  s.textContent = text;
  s.title = text; // the whole of a message the line cuts short
  s.classList.toggle('error', error);
}

async function api(method, url, body, type = 'application/json') {
  const init = { method, headers: {} };
  if (body !== undefined) {
    init.body = typeof body === 'string' || body instanceof Blob || body instanceof ArrayBuffer
      ? body : JSON.stringify(body);
    init.headers['Content-Type'] = type;
  }
  const res = await fetch(url, init);
  const text = await res.text();
  let data = null;
  try { data = JSON.parse(text); } catch { data = null; }
  if (!res.ok) {
    const message = data && data.error ? data.error : `${res.status} ${res.statusText}`;
    if (res.status === 401) setStatus(message + ' ', true);
    throw new Error(message);
  }
  return data;
}

async function call(method, url, body, type) {
  try {
    const data = await api(method, url, body, type);
    if (data && data.correction) applyState(data);
    return data;
  } catch (e) {
    setStatus(e.message, true);
    return null;
  }
}

// Sends the correction shown in the controls. While a request is on its
// way only the newest change waits; a commit is never dropped.
function sendCorrection(commit) {
  setBusy(true);
  if (pending) pending.commit = pending.commit || commit;
  else pending = { commit };
  if (!busy) flushCorrection();
}

async function flushCorrection() {
  if (!pending) return;
  const { commit } = pending;
  pending = null;
  busy = true;
  const body = JSON.stringify(state.correction);
  try {
    const data = await api('PUT', `/api/correction?commit=${commit ? 1 : 0}`, body);
    document.body.dataset.answeredAt = performance.now(); // read by the timing test
    if (!pending) applyState(data);
    else state.undo = data.undo;
    setStatus('');
  } catch (e) {
    setStatus(e.message, true);
    refresh();
  } finally {
    busy = false;
    if (pending) flushCorrection();
  }
}

// The page's session: the cookie's when the server still knows it, else a
// new one. A full server says when it has room again; the page waits that long.
async function openSession() {
  for (;;) {
    const known = await fetch('/api/state');
    if (known.status !== 401) return;
    const made = await fetch('/api/session', { method: 'POST' });
    if (made.ok) return;
    const wait = Math.max(1, Number(made.headers.get('Retry-After')) || 30);
    const data = await made.json().catch(() => ({}));
    setStatus(`${data.error || made.statusText} (trying again by itself)`, true);
    await new Promise((resolve) => setTimeout(resolve, wait * 1000));
  }
}

async function refresh() {
  const data = await call('GET', '/api/state');
  if (data) refreshScope();
  return data;
}

// ---- state into the controls ------------------------------------------------

function get(path) {
  return path.split('.').reduce((o, k) => (o == null ? undefined : o[k]), state.correction);
}

function set(path, value) {
  const keys = path.split('.');
  let o = state.correction;
  for (const k of keys.slice(0, -1)) o = o[k];
  o[keys[keys.length - 1]] = value;
}

function normaliseMatch(c) {
  const m = c.match;
  while (m.vectors.length < m.count) m.vectors.push({ ...DEFAULT_VECTOR });
}

function applyState(data) {
  const resized = state && shownSeq && (state.source.width !== data.source.width || state.source.height !== data.source.height);
  state = data;
  if (resized) showPreview({ seq: shownSeq });
  normaliseMatch(state.correction);
  document.body.dataset.undo = data.undo;
  document.body.dataset.sets = data.sets;
  $('#undo').disabled = data.undo === 0;
  $('#redo').disabled = data.redo === 0;
  $('#source-name').textContent = `${data.source.name || 'default picture'}, ${data.source.width} × ${data.source.height}`;
  $('#reference-name').textContent = `${data.reference.name || 'default picture'}, ${data.reference.width} × ${data.reference.height}`;
  if (data.correction_problem) setStatus(`The correction cannot be saved as it is: ${data.correction_problem}`, true);
  for (const input of $$('[data-path]')) {
    const v = get(input.dataset.path);
    if (input.type === 'checkbox') input.checked = !!v;
    else if (document.activeElement !== input) input.value = v ?? 0;
  }
  for (const input of $$('[data-option]')) {
    if (document.activeElement !== input) input.value = data.options[input.dataset.option];
  }
  $('#six-segment').value = data.options.six_vector;
  drawSixFields();
  drawMatch();
  drawSplit();
  drawGroupsOff();
  $('#set-count').textContent = data.sets;
  if (selectedPanel() === 'sets') loadSets();
}

// ---- building the controls ----------------------------------------------------

// The flag of the group a control belongs to: an edit there switches the
// group on, in the same undo step, so that no edit goes unseen.
function groupFlag(path) {
  if (path.startsWith('vector6.')) return 'six_vector';
  if (path.startsWith('match.')) return 'match_vector';
  if (/^base\.(soft_|range_flags)/.test(path)) return 'clipping';
  return path.startsWith('base.') ? 'primary' : null;
}

function switchGroupOn(path) {
  const flag = groupFlag(path);
  if (!flag || state.correction.flags[flag]) return;
  state.correction.flags[flag] = true;
  drawGroupsOff();
}

// A group that is off says so beside its switch.
function drawGroupsOff() {
  for (const note of $$('.group-off')) note.hidden = !!state.correction.flags[note.dataset.flag];
}

function field(container, label, path, onChange) {
  const [min, max] = limits(path);
  const row = document.createElement('div');
  row.className = 'field';
  const id = 'f-' + path.replace(/[^a-z0-9]+/gi, '-');
  row.innerHTML = `<label for="${id}">${label}</label>
    <input type="range" min="${min}" max="${max}" step="1" data-path="${path}">
    <input type="number" id="${id}" min="${min}" max="${max}" step="1" data-path="${path}">`;
  for (const input of $$('input', row)) {
    input.addEventListener('input', () => {
      const v = Math.max(min, Math.min(max, Math.trunc(Number(input.value) || 0)));
      set(input.dataset.path, v);
      switchGroupOn(path);
      for (const other of $$('input', row)) if (other !== input) other.value = v;
      if (onChange) onChange();
      sendCorrection(false);
    });
    input.addEventListener('change', () => sendCorrection(true));
    input.addEventListener('dblclick', () => {
      set(input.dataset.path, 0);
      applyState(state);
      sendCorrection(true);
    });
  }
  container.appendChild(row);
  return row;
}

function toggle(container, label, path) {
  const l = document.createElement('label');
  l.className = 'switch';
  l.innerHTML = `<input type="checkbox" data-path="${path}"> ${label}`;
  $('input', l).addEventListener('change', (e) => {
    set(path, e.target.checked);
    switchGroupOn(path);
    drawGroupsOff();
    sendCorrection(true);
  });
  container.appendChild(l);
  if (path.startsWith('flags.')) {
    const note = document.createElement('span');
    note.className = 'group-off';
    note.dataset.flag = path.slice(6);
    note.textContent = 'Off: the settings below do nothing until it is on; editing one switches it on.';
    container.appendChild(note);
  }
  return l;
}

function heading(container, text) {
  const h = document.createElement('h3');
  h.textContent = text;
  container.appendChild(h);
}

function buildPrimary() {
  const p = $('#panel-primary');
  toggle(p, 'Primary correction active', 'flags.primary');
  heading(p, 'Luma');
  field(p, 'White', 'base.y_white');
  field(p, 'Gamma', 'base.y_gamma');
  field(p, 'Black', 'base.y_black');
  heading(p, 'Colour');
  field(p, 'Hue', 'base.hue');
  field(p, 'Saturation', 'base.sat');
  for (const [c, name] of [['r', 'Red'], ['g', 'Green'], ['b', 'Blue']]) {
    heading(p, name);
    field(p, 'White', `base.${c}_white`);
    field(p, 'Gamma', `base.${c}_gamma`);
    field(p, 'Black', `base.${c}_black`);
  }
}

function buildClipping() {
  const p = $('#panel-clipping');
  toggle(p, 'Clipping active', 'flags.clipping');
  heading(p, 'Range');
  const row = document.createElement('div');
  row.className = 'row';
  toggle(row, 'Video luma 16..235', 'base.range_flags.video_luma');
  toggle(row, 'Legal levels', 'base.range_flags.legal');
  toggle(row, 'Reduced chroma', 'base.range_flags.chroma_reduced');
  p.appendChild(row);
  heading(p, 'Softness of the clip knee');
  field(p, 'Luma', 'base.soft_y');
  field(p, 'Chroma', 'base.soft_c');
}

function buildSix() {
  const p = $('#panel-six');
  toggle(p, 'Six-vector correction active', 'flags.six_vector');
  const row = document.createElement('div');
  row.className = 'row';
  row.innerHTML = `<label for="six-segment">Segment</label><select id="six-segment">${
    SEGMENTS.map((s, i) => `<option value="${i}">${s}</option>`).join('')}</select>
    <span class="hint">also the segment the scope drags change</span>`;
  p.appendChild(row);
  $('#six-segment').addEventListener('change', (e) => setOption('six_vector', Number(e.target.value)));
  const fields = document.createElement('div');
  fields.id = 'six-fields';
  p.appendChild(fields);
}

function drawSixFields() {
  const box = $('#six-fields');
  const seg = SEGMENTS[state.options.six_vector];
  if (box.dataset.segment === seg) return;
  box.dataset.segment = seg;
  box.innerHTML = '';
  field(box, 'White', `vector6.${seg}.white`);
  field(box, 'Gamma', `vector6.${seg}.gamma`);
  field(box, 'Black', `vector6.${seg}.black`);
  field(box, 'Hue', `vector6.${seg}.hue`);
  field(box, 'Saturation', `vector6.${seg}.sat`);
  applyValues(box);
}

function applyValues(root) {
  for (const input of $$('[data-path]', root)) {
    const v = get(input.dataset.path);
    if (input.type === 'checkbox') input.checked = !!v;
    else input.value = v ?? 0;
  }
}

const ISOLATE_TYPES = ['off', '1', '2', '3', '4', '5', '6', '7'];

function buildMatch() {
  const p = $('#panel-match');
  toggle(p, 'Match vectors active', 'flags.match_vector');
  const row = document.createElement('div');
  row.className = 'row';
  row.innerHTML = `<button id="vector-add">Add vector</button>
    <button id="vector-delete">Delete selected</button>
    <label for="isolate-type">Isolate display</label>
    <select id="isolate-type" data-option="isolate_type">${
      ISOLATE_TYPES.map((t, i) => `<option value="${i}">${t}</option>`).join('')}</select>`;
  p.appendChild(row);
  const list = document.createElement('ol');
  list.id = 'vector-list';
  list.start = 0;
  p.appendChild(list);
  const fields = document.createElement('div');
  fields.id = 'vector-fields';
  p.appendChild(fields);
  $('#vector-add').addEventListener('click', addVector);
  $('#vector-delete').addEventListener('click', deleteVector);
  $('#isolate-type').addEventListener('change', (e) => setOption('isolate_type', Number(e.target.value)));
}

function addVector() {
  const m = state.correction.match;
  if (m.count >= 16) { setStatus('There are at most 16 match vectors', true); return; }
  normaliseMatch(state.correction);
  if (m.vectors.length <= m.count) m.vectors.push({ ...DEFAULT_VECTOR });
  else m.vectors[m.count] = { ...DEFAULT_VECTOR };
  m.count += 1;
  if (m.count === 1) { // the background alone corrects nothing new: add the first real vector too
    m.vectors.push({ ...DEFAULT_VECTOR });
    m.count = 2;
  }
  state.correction.flags.match_vector = true;
  selectVector(m.count - 1);
  sendCorrection(true);
}

function deleteVector() {
  const m = state.correction.match;
  if (m.count === 0) return;
  m.vectors.splice(selectedVector, 1);
  m.count -= 1;
  selectVector(Math.min(selectedVector, Math.max(0, m.count - 1)));
  sendCorrection(true);
}

function selectVector(i) {
  selectedVector = i;
  $('#vector-fields').dataset.vector = '';
  setOption('isolate_vector', i);
  drawMatch();
}

function vectorColour(v) {
  // The vector's colour at its luma, through the system's YUV to RGB formulas.
  const r = v.y + (2 * v.u + 719 * v.v) / 512;
  const g = v.y + (-176 * v.u - 365 * v.v) / 512;
  const b = v.y + (908 * v.u - v.v) / 512;
  const c = (x) => Math.max(0, Math.min(255, Math.round(x)));
  return `rgb(${c(r)},${c(g)},${c(b)})`;
}

function drawMatch() {
  const m = state.correction.match;
  if (selectedVector >= Math.max(1, m.count)) selectedVector = Math.max(0, m.count - 1);
  const list = $('#vector-list');
  list.innerHTML = '';
  for (let i = 0; i < m.count; i++) {
    const v = m.vectors[i];
    const li = document.createElement('li');
    li.className = i === selectedVector ? 'selected' : '';
    li.innerHTML = i === 0
      ? `<button>Select</button> background (pixels no other vector selects)`
      : `<button>Select</button> <span class="swatch" style="background:${vectorColour(v)}"></span> U ${v.u}, V ${v.v}, Y ${v.y} ± ${v.y_range}`;
    $('button', li).addEventListener('click', () => selectVector(i));
    list.appendChild(li);
  }
  const box = $('#vector-fields');
  const key = `${m.count}:${selectedVector}`;
  if (box.dataset.vector === key) return;
  box.dataset.vector = key;
  box.innerHTML = '';
  if (m.count === 0) {
    box.innerHTML = '<p class="hint">No match vectors. Add one, or take one from a region under “Pick &amp; analyse”.</p>';
    return;
  }
  const base = `match.vectors.${selectedVector}`;
  if (selectedVector > 0) {
    heading(box, `Selection of vector ${selectedVector}`);
    field(box, 'U', `${base}.u`);
    field(box, 'V', `${base}.v`);
    field(box, 'Luma centre', `${base}.y`);
    field(box, 'Luma range', `${base}.y_range`);
    field(box, 'Hue width', `${base}.hue_width`);
    field(box, 'Sat. width', `${base}.sat_width`);
    field(box, 'Luma soft', `${base}.y_soft`);
    field(box, 'Hue soft', `${base}.hue_soft`);
    field(box, 'Sat. soft', `${base}.sat_soft`);
    field(box, 'Flags', `${base}.flags`);
  }
  heading(box, `Correction of ${selectedVector ? 'vector ' + selectedVector : 'the background'}`);
  field(box, 'White', `${base}.white`);
  field(box, 'Gamma', `${base}.gamma`);
  field(box, 'Black', `${base}.black`);
  field(box, 'Hue', `${base}.hue`);
  field(box, 'Saturation', `${base}.sat`);
  field(box, 'U offset', `${base}.u_offset`);
  field(box, 'V offset', `${base}.v_offset`);
  applyValues(box);
}

function buildView() {
  const p = $('#panel-view');
  const row = document.createElement('div');
  row.className = 'row';
  row.innerHTML = `<label for="channel">Channel</label>
    <select id="channel" data-option="channel">
      <option value="0">all</option><option value="1">red</option><option value="2">green</option>
      <option value="3">blue</option><option value="4">luma</option></select>`;
  p.appendChild(row);
  $('#channel').addEventListener('change', (e) => setOption('channel', Number(e.target.value)));
  const f = document.createElement('div');
  f.className = 'field';
  f.innerHTML = `<label for="intensity">Scope brightness</label>
    <input type="range" id="intensity" min="0" max="255" data-option="intensity"><span></span>`;
  p.appendChild(f);
  $('#intensity').addEventListener('change', (e) => setOption('intensity', Number(e.target.value)));
}

// Options change only the options: a correction on its way must not be
// overwritten by the older one in this answer.
async function setOption(name, value) {
  try {
    const data = await api('POST', '/api/options', { [name]: value });
    state.options = data.options;
    for (const input of $$('[data-option]')) input.value = data.options[input.dataset.option];
    $('#six-segment').value = data.options.six_vector;
    drawSixFields();
  } catch (e) {
    setStatus(e.message, true);
  }
  refreshScope();
}

// ---- sets -----------------------------------------------------------------------

async function loadSets() {
  const data = await api('GET', '/api/sets').catch((e) => { setStatus(e.message, true); return null; });
  if (!data) return;
  const list = $('#set-list');
  // Rebuilt only when the sets changed, so that a click never lands on a
  // list being replaced.
  if (list.dataset.sets === JSON.stringify(data.sets)) return;
  list.dataset.sets = JSON.stringify(data.sets);
  list.innerHTML = '';
  for (const s of data.sets) {
    const li = document.createElement('li');
    li.innerHTML = `<button class="recall">Recall</button> <button class="delete">Delete</button><pre></pre>`;
    $('pre', li).textContent = s.summary;
    $('.recall', li).addEventListener('click', () => call('POST', `/api/sets/recall?n=${s.index}`));
    $('.delete', li).addEventListener('click', async () => {
      await call('POST', `/api/sets/delete?n=${s.index}`);
      loadSets();
    });
    list.appendChild(li);
  }
}

// ---- previews, scopes and pictures ------------------------------------------------

let scopeLoading = false;
let scopeAgain = false;
let scopeFailures = 0; // in a row; a scope that failed to load is asked for again a few times

function refreshScope() {
  if (scopeLoading) { scopeAgain = true; return; }
  scopeLoading = true;
  const img = $('#scope');
  const url = `/api/scope.png?type=${scopeType}&t=${Date.now()}`;
  const done = (ok) => {
    scopeLoading = false;
    if (ok) {
      scopeFailures = 0;
      img.dataset.loaded = String(Number(img.dataset.loaded || 0) + 1);
    } else if (++scopeFailures <= 5 && !scopeAgain) {
      setTimeout(refreshScope, 250 * scopeFailures);
    }
    if (scopeAgain) { scopeAgain = false; refreshScope(); }
  };
  img.onload = () => done(true);
  img.onerror = () => done(false);
  img.src = url;
}

let streamLost = false;

let zoomed = false;   // the preview at full size, one picture pixel a device pixel
let shownSeq = 0;     // the preview being shown

// The size the preview is shown at, in CSS pixels: the source's shape, as
// large as the column and the window's height allow; zoomed, its own size.
function previewBox() {
  const w = state.source.width, h = state.source.height, dpr = window.devicePixelRatio || 1;
  if (zoomed) return [w / dpr, h / dpr];
  // Most of the window's height below the header, the rest for the reference.
  const room = Math.max(160, (window.innerHeight - $('#viewer-pane').getBoundingClientRect().top) * 0.62 - 40);
  const scale = Math.min($('#viewer-pane').clientWidth / w, room / h);
  return [Math.max(1, Math.floor(w * scale)), Math.max(1, Math.floor(h * scale))];
}

// The server scales the preview to the device pixels it is shown on: a large
// picture is not sent whole to be shown small. The mark that a change is on
// its way goes when its preview is shown. The scope is asked for once the
// preview is in (or failed): made at the same time, it took the server's time
// from the preview, which is what the colourist watches.
function showPreview(info) {
  document.body.dataset.previewToldAt = performance.now(); // read by the timing test
  const img = $('#preview');
  const [w, h] = previewBox();
  const dpr = window.devicePixelRatio || 1;
  img.onload = () => {
    img.style.width = `${w}px`;
    img.style.height = `${h}px`;
    shownSeq = info.seq;
    document.body.dataset.preview = info.seq;
    document.body.dataset.previewShownAt = performance.now(); // read by the timing test
    setBusy(false);
    drawSplit();
    drawMarks();
    refreshScope();
  };
  img.onerror = refreshScope;
  img.src = `/api/preview.jpg?seq=${info.seq}` + (zoomed ? '' : `&w=${Math.round(w * dpr)}&h=${Math.round(h * dpr)}`);
}

let busyTimer = 0;
function setBusy(on) {
  $('#preview-wrap').classList.toggle('busy', on);
  clearTimeout(busyTimer);
  if (on) busyTimer = setTimeout(() => setBusy(false), 5000); // a change that makes no new preview
}

// What the stream tells, in this tab and (through `tabs`) in the others.
const STREAM_NEWS = {
  preview: showPreview,
  lost: () => setStatus('Lost the connection to the server: reconnecting…', true),
  refused: () => setStatus('The server refused the preview stream: trying again in 10 s', true),
  open: () => { if (streamLost) setStatus(''); },
  closed: () => setStatus('The session has ended: reload the page', true),
};
const tabs = 'BroadcastChannel' in window ? new BroadcastChannel('cc-events') : null;
function hear(kind, info) {
  STREAM_NEWS[kind](info);
  streamLost = kind === 'lost' || kind === 'refused';
}
function tell(kind, info) {
  hear(kind, info);
  if (tabs) tabs.postMessage({ kind, info });
}

// Previews are announced on an event stream. All tabs of a browser share its
// session, so one stream serves them all: the tab holding the lock listens
// and passes on what it hears, and when it closes another takes over. The
// browser's few connections to one server are then never used up by tabs.
function listen() {
  if (tabs) tabs.onmessage = (e) => hear(e.data.kind, e.data.info);
  if (navigator.locks) navigator.locks.request('cc-events', () => new Promise(() => openStream()));
  else openStream();
}

// The browser reconnects a stream that broke by itself; one the server
// refused is tried again here.
function openStream() {
  const events = new EventSource('/api/events');
  events.onopen = () => tell('open');
  events.onerror = () => {
    if (events.readyState === EventSource.CONNECTING) {
      tell('lost');
      return;
    }
    tell('refused');
    setTimeout(openStream, 10000);
  };
  events.addEventListener('preview', (e) => tell('preview', JSON.parse(e.data)));
  events.addEventListener('closed', () => {
    events.close();
    tell('closed');
  });
}

function loadReference() {
  const img = $('#reference');
  img.onload = drawMarks;
  img.src = `/api/picture/reference.png?t=${Date.now()}`;
}

// Picture coordinates (full-size source or reference pixels) of a pointer event.
// The pixel under the pointer: the one whose square holds it (rounding would
// take the next pixel from the middle of each one on).
function picturePoint(e, img, width, height) {
  const r = img.getBoundingClientRect();
  const x = Math.floor(((e.clientX - r.left) / r.width) * width);
  const y = Math.floor(((e.clientY - r.top) / r.height) * height);
  return [Math.max(0, Math.min(width - 1, x)), Math.max(0, Math.min(height - 1, y))];
}

// ---- split ------------------------------------------------------------------------

function drawSplit() {
  if (!state) return;
  const img = $('#preview');
  const w = state.source.width, h = state.source.height;
  const sx = img.clientWidth / w, sy = img.clientHeight / h;
  const { x, y } = state.split;
  const handle = $('#split-handle');
  const box = $('#split-box');
  const hx = x >= 0 ? x : w + x, hy = y >= 0 ? y : h + y;
  // Without a split the handle waits just outside the top-left corner.
  const off = x === 0 || y === 0 ? -9 : 0;
  handle.style.left = `${hx * sx + off}px`;
  handle.style.top = `${hy * sy + off}px`;
  if (x === 0 || y === 0) { box.style.display = 'none'; return; }
  box.style.display = 'block';
  box.style.left = `${(x > 0 ? 0 : w + x) * sx}px`;
  box.style.top = `${(y > 0 ? 0 : h + y) * sy}px`;
  box.style.width = `${Math.abs(x) * sx}px`;
  box.style.height = `${Math.abs(y) * sy}px`;
}

function setupSplit() {
  const handle = $('#split-handle');
  let sending = false, next = null;
  const send = async (x, y) => {
    if (sending) { next = [x, y]; return; }
    sending = true;
    await call('POST', '/api/split', { x, y });
    sending = false;
    if (next) { const [a, b] = next; next = null; send(a, b); }
  };
  handle.addEventListener('pointerdown', (e) => {
    e.preventDefault();
    handle.setPointerCapture(e.pointerId);
    const move = (ev) => {
      const w = state.source.width, h = state.source.height;
      const [px, py] = picturePoint(ev, $('#preview'), w, h);
      // The corner nearest the pointer holds the reference.
      const x = px < w / 2 ? px : -(w - px);
      const y = py < h / 2 ? py : -(h - py);
      state.split = { x, y };
      drawSplit();
      send(x, y);
    };
    const up = () => {
      handle.removeEventListener('pointermove', move);
      handle.removeEventListener('pointerup', up);
    };
    handle.addEventListener('pointermove', move);
    handle.addEventListener('pointerup', up);
  });
  $('#split-off').addEventListener('click', () => call('POST', '/api/split', { x: 0, y: 0 }));
}

// ---- drags on the scopes ------------------------------------------------------------

// What a drag on each display does. kind/params are handed to /api/gesture.
const DRAGS = {
  huesat: { label: 'Hue and saturation', kind: 'huesat', values: 0x300000, targets: true },
  hue: { label: 'Hue only', kind: 'huesat', values: 0x100000, targets: true },
  sat: { label: 'Saturation only', kind: 'huesat', values: 0x200000, targets: true },
  balance_shadows: { label: 'Colour balance: shadows', kind: 'coupled', values: 0x111, target: 1 },
  balance_mids: { label: 'Colour balance: mid-tones', kind: 'coupled', values: 0x222, target: 1 },
  balance_lights: { label: 'Colour balance: highlights', kind: 'coupled', values: 0x444, target: 1 },
  balance_all: { label: 'Colour balance: all', kind: 'coupled', values: 0x777, target: 1 },
  levels_black: { label: 'Levels: black', kind: 'coupled', values: 0x1000, targets: true },
  levels_gamma: { label: 'Levels: gamma', kind: 'coupled', values: 0x2000, targets: true },
  levels_white: { label: 'Levels: white', kind: 'coupled', values: 0x4000, targets: true },
  levels_all: { label: 'Levels: black, gamma and white', kind: 'coupled', values: 0x7000, targets: true },
  uv_offset: { label: 'Match vector: U/V offset', kind: 'coupled', values: 0x10000, target: 4 },
  histogram: { label: 'Curve of the cell (red/green/blue × black/gamma/white)', kind: 'histogram' },
  rotate: { label: 'Turn the cube', kind: 'rotate' },
  spin: { label: 'Spin the cube', kind: 'spin' },
  mv0: { label: 'Match vector: position', kind: 'match', mode: 0 },
  mv1: { label: 'Match vector: luma centre', kind: 'match', mode: 1 },
  mv2: { label: 'Match vector: turn about the centre', kind: 'match', mode: 2 },
  mv3: { label: 'Match vector: distance from the centre', kind: 'match', mode: 3 },
  mv4: { label: 'Match vector: hue width', kind: 'match', mode: 4 },
  mv5: { label: 'Match vector: lower luma edge', kind: 'match', mode: 5 },
  mv6: { label: 'Match vector: upper luma edge', kind: 'match', mode: 6 },
  mv7: { label: 'Match vector: inner edge', kind: 'match', mode: 7 },
  mv8: { label: 'Match vector: outer edge', kind: 'match', mode: 8 },
};
const MATCH_DRAGS = ['mv0', 'mv1', 'mv2', 'mv3', 'mv4', 'mv5', 'mv6', 'mv7', 'mv8', 'uv_offset'];
const DRAGS_BY_SCOPE = {
  1: ['huesat', 'hue', 'sat', 'balance_shadows', 'balance_mids', 'balance_lights', 'balance_all', ...MATCH_DRAGS],
  2: ['levels_all', 'levels_black', 'levels_gamma', 'levels_white', 'balance_mids'],
  4: ['histogram'],
  5: ['levels_all', 'levels_black', 'levels_gamma', 'levels_white', 'balance_mids'],
  6: ['rotate', 'spin'],
  7: ['huesat', 'balance_mids', 'levels_all', ...MATCH_DRAGS],
};
const TARGETS = [[1, 'primary'], [2, 'six-vector segment'], [4, 'selected match vector']];
const chosenDrag = {};

function drawDragModes() {
  const box = $('#drag-modes');
  const list = DRAGS_BY_SCOPE[scopeType];
  const current = chosenDrag[scopeType] || list[0];
  box.innerHTML = `<label for="drag-mode">Drag</label>
    <select id="drag-mode">${list.map((k) => `<option value="${k}"${k === current ? ' selected' : ''}>${DRAGS[k].label}</option>`).join('')}</select>
    <label for="drag-target">on</label>
    <select id="drag-target">${TARGETS.map(([v, l]) => `<option value="${v}">${l}</option>`).join('')}</select>`;
  const update = () => {
    chosenDrag[scopeType] = $('#drag-mode').value;
    const d = DRAGS[$('#drag-mode').value];
    $('#drag-target').disabled = !d.targets;
    if (d.target) $('#drag-target').value = d.target;
    $('#drag-hint').textContent = d.kind === 'huesat'
      ? 'Drag around the centre: turning changes the hue, moving out or in the saturation.'
      : d.kind === 'histogram' ? 'Drag sideways in a cell: rows red, green, blue; columns black, gamma, white.'
        : d.kind === 'match' ? 'Works on the selected match vector (Match vectors tab); vector 0 is the background.'
          : d.kind === 'rotate' || d.kind === 'spin' ? 'Drag to turn the colour cube.' : 'Drag: up and down for levels, any direction for balance.';
  };
  $('#drag-mode').addEventListener('change', update);
  update();
}

function setupScope() {
  const img = $('#scope');
  let active = null;
  let sending = false, queued = null;
  const point = (e) => {
    const r = img.getBoundingClientRect();
    return [Math.floor((e.clientX - r.left) * (384 / r.width)), Math.floor((e.clientY - r.top) * (288 / r.height))];
  };
  const send = async (body) => {
    if (sending) {
      // Only the newest move waits; a begin or end is never dropped.
      if (body.phase === 'move' && queued && queued.phase === 'move') queued = body;
      else if (!queued || queued.phase === 'move') queued = body;
      else { const q = queued; queued = null; await sendNow(q); queued = body; }
      return;
    }
    await sendNow(body);
  };
  const sendNow = async (body) => {
    sending = true;
    if (body.kind !== 'rotate' && body.kind !== 'spin') setBusy(true);
    try {
      const data = await api('POST', '/api/gesture', body);
      if (data && data.correction) applyState(data);
      if (body.kind === 'rotate' || body.kind === 'spin') refreshScope();
      setStatus('');
    } catch (e) {
      setStatus(e.message, true);
    } finally {
      sending = false;
      if (queued) { const q = queued; queued = null; sendNow(q); }
    }
  };
  img.addEventListener('pointerdown', (e) => {
    e.preventDefault();
    img.setPointerCapture(e.pointerId);
    const d = DRAGS[$('#drag-mode').value];
    const [x, y] = point(e);
    active = { kind: d.kind, values: d.values, mode: d.mode, target: Number($('#drag-target').value) };
    send({ ...active, phase: 'begin', x, y });
  });
  img.addEventListener('pointermove', (e) => {
    if (!active) return;
    const [x, y] = point(e);
    send({ ...active, phase: 'move', x, y });
  });
  const end = (e) => {
    if (!active) return;
    const [x, y] = point(e);
    send({ ...active, phase: 'end', x, y });
    active = null;
  };
  img.addEventListener('pointerup', end);
  img.addEventListener('pointercancel', end);
  for (const b of $$('#scope-tabs button')) {
    b.addEventListener('click', () => {
      $$('#scope-tabs button').forEach((o) => o.classList.toggle('active', o === b));
      scopeType = Number(b.dataset.type);
      document.body.dataset.scope = scopeType;
      drawDragModes();
      refreshScope();
    });
  }
}

// ---- picking points and regions for the analyses -------------------------------------

const ANALYSES = {
  gray1: { label: 'Gray balance from one gray point', src: 1, modes: [[0, 'white'], [1, 'black'], [2, 'gamma'], [3, 'white and black']] },
  gray2: { label: 'Gray balance from a dark and a bright gray point', src: 2 },
  gray3: { label: 'Gray balance from black, mid and white points', src: 3 },
  tone1: { label: 'Tone balance: source point to reference point', src: 1, ref: 1, modes: [[0, 'white'], [2, 'gamma'], [3, 'white and black']] },
  color1: { label: 'Colour balance: one source and one reference point', src: 1, ref: 1 },
  color3: { label: 'Colour balance: three source and three reference points', src: 3, ref: 3 },
  contrast: { label: 'Contrast from a dark and a bright point', src: 2 },
  histo: { label: 'Histogram match of two regions', srcRect: true, refRect: true },
  hue: { label: 'Hue match of two regions', srcRect: true, refRect: true },
  mv_get: { label: 'Match vector from a source region (new vector)', srcRect: true },
  mv_add: { label: 'Widen the selected match vector by a source region', srcRect: true },
  mv_set: { label: 'Carry the selected match vector to the colour of a reference region', refRect: true },
};
let picks = { src: [], ref: [], srcRect: null, refRect: null };

function buildAnalysis() {
  const p = $('#panel-analysis');
  p.innerHTML = `<div class="row"><select id="analysis-kind">${
    Object.entries(ANALYSES).map(([k, a]) => `<option value="${k}">${a.label}</option>`).join('')}</select>
    <select id="analysis-mode"></select></div>
    <p id="analysis-need" class="hint"></p>
    <div class="row"><button id="analysis-apply" disabled>Apply</button><button id="analysis-clear">Clear picks</button></div>`;
  $('#analysis-kind').addEventListener('change', () => { clearPicks(); describeAnalysis(); });
  $('#analysis-apply').addEventListener('click', runAnalysis);
  $('#analysis-clear').addEventListener('click', clearPicks);
  describeAnalysis();
  for (const [id, which] of [['#preview', 'src'], ['#reference', 'ref']]) setupPicking($(id), which);
}

function describeAnalysis() {
  const a = ANALYSES[$('#analysis-kind').value];
  const mode = $('#analysis-mode');
  mode.innerHTML = (a.modes || []).map(([v, l]) => `<option value="${v}">${l}</option>`).join('');
  mode.style.display = a.modes ? '' : 'none';
  const need = [];
  if (a.src) need.push(`${a.src} point${a.src > 1 ? 's' : ''} on the source (${picks.src.length} picked)`);
  if (a.ref) need.push(`${a.ref} point${a.ref > 1 ? 's' : ''} on the reference (${picks.ref.length} picked)`);
  if (a.srcRect) need.push(`a region on the source (drag)${picks.srcRect ? ': picked' : ''}`);
  if (a.refRect) need.push(`a region on the reference (drag)${picks.refRect ? ': picked' : ''}`);
  $('#analysis-need').textContent = 'Pick ' + need.join(' and ') + '.';
  $('#analysis-apply').disabled = !ready(a);
}

function ready(a) {
  return (picks.src.length >= (a.src || 0)) && (picks.ref.length >= (a.ref || 0)) &&
    (!a.srcRect || picks.srcRect) && (!a.refRect || picks.refRect);
}

function clearPicks() {
  picks = { src: [], ref: [], srcRect: null, refRect: null };
  drawMarks();
  describeAnalysis();
}

function setupPicking(img, which) {
  let start = null;
  const size = () => (which === 'src' ? state.source : state.reference);
  img.addEventListener('pointerdown', (e) => {
    if (selectedPanel() !== 'analysis') return;
    e.preventDefault();
    img.setPointerCapture(e.pointerId);
    start = picturePoint(e, img, size().width, size().height);
  });
  img.addEventListener('pointerup', (e) => {
    if (!start) return;
    const a = ANALYSES[$('#analysis-kind').value];
    const end = picturePoint(e, img, size().width, size().height);
    const wantsRect = which === 'src' ? a.srcRect : a.refRect;
    if (wantsRect) {
      const rect = [Math.min(start[0], end[0]), Math.min(start[1], end[1]),
        Math.max(start[0], end[0]) + 1, Math.max(start[1], end[1]) + 1];
      picks[which + 'Rect'] = rect;
    } else {
      const list = picks[which];
      const want = which === 'src' ? a.src : a.ref;
      if (want) {
        if (list.length >= want) list.shift();
        list.push(end);
      }
    }
    start = null;
    drawMarks();
    describeAnalysis();
  });
}

function drawMarks() {
  if (!state) return;
  document.body.dataset.picks = JSON.stringify(picks);
  for (const [which, imgSel, marksSel, size] of [
    ['src', '#preview', '#source-marks', state.source], ['ref', '#reference', '#reference-marks', state.reference]]) {
    const img = $(imgSel), box = $(marksSel);
    const sx = img.clientWidth / size.width, sy = img.clientHeight / size.height;
    box.innerHTML = '';
    picks[which].forEach(([x, y], i) => {
      const m = document.createElement('div');
      m.className = 'mark';
      m.style.left = `${(x + 0.5) * sx}px`; // the middle of the pixel
      m.style.top = `${(y + 0.5) * sy}px`;
      m.innerHTML = `<span>${i + 1}</span>`;
      box.appendChild(m);
    });
    const r = picks[which + 'Rect'];
    if (r) {
      const m = document.createElement('div');
      m.className = 'mark rect';
      m.style.left = `${r[0] * sx}px`;
      m.style.top = `${r[1] * sy}px`;
      m.style.width = `${(r[2] - r[0]) * sx}px`;
      m.style.height = `${(r[3] - r[1]) * sy}px`;
      box.appendChild(m);
    }
  }
}

async function runAnalysis() {
  const kind = $('#analysis-kind').value;
  const a = ANALYSES[kind];
  const body = { kind, source: picks.src, reference: picks.ref };
  if (a.modes) body.mode = Number($('#analysis-mode').value);
  if (picks.srcRect) body.source_rect = picks.srcRect;
  if (picks.refRect) body.reference_rect = picks.refRect;
  if (kind === 'mv_add' || kind === 'mv_set') body.vector = state.options.isolate_vector;
  const data = await call('POST', '/api/analysis', body);
  if (data) {
    if (kind === 'mv_get' && data.correction.match.count > 0) selectVector(data.correction.match.count - 1);
    setStatus(`${a.label}: done`);
  }
}

// ---- panels and the rest -------------------------------------------------------------

function selectedPanel() {
  const b = $('#control-tabs button.active');
  return b ? b.dataset.panel : '';
}

function setupPanels() {
  for (const b of $$('#control-tabs button')) {
    b.addEventListener('click', () => {
      $$('#control-tabs button').forEach((o) => o.classList.toggle('active', o === b));
      $$('.panel').forEach((p) => p.classList.toggle('active', p.id === 'panel-' + b.dataset.panel));
      // Picks belong to the Pick tab: leaving it drops them and their marks.
      if (document.body.classList.contains('picking') && b.dataset.panel !== 'analysis') clearPicks();
      document.body.classList.toggle('picking', b.dataset.panel === 'analysis');
      if (b.dataset.panel === 'sets') loadSets();
    });
  }
}

function setupUploads() {
  for (const which of ['source', 'reference']) {
    $(`#upload-${which}`).addEventListener('change', async (e) => {
      const file = e.target.files[0];
      if (!file) return;
      setStatus(`Sending ${file.name}…`);
      const data = await call('PUT', `/api/${which}?name=${encodeURIComponent(file.name)}`, file, 'application/octet-stream');
      e.target.value = '';
      if (data) {
        setStatus(`${file.name} loaded`);
        clearPicks();
        if (which === 'reference') loadReference();
        refreshScope();
      }
    });
  }
}

function setupHistory() {
  $('#undo').addEventListener('click', () => call('POST', '/api/undo'));
  $('#redo').addEventListener('click', () => call('POST', '/api/redo'));
  $('#reset').addEventListener('click', () => {
    const keep = state.correction.base;
    const c = state.correction;
    for (const k of Object.keys(c.base)) if (typeof c.base[k] === 'number' && !['soft_y', 'soft_c'].includes(k)) c.base[k] = 0;
    for (const s of SEGMENTS) for (const k of Object.keys(c.vector6[s])) c.vector6[s][k] = 0;
    c.match = { count: 0, vectors: [] };
    c.flags.primary = c.flags.six_vector = c.flags.match_vector = false;
    c.base.range_flags = keep.range_flags;
    sendCorrection(true);
  });
  document.addEventListener('keydown', (e) => {
    if (!(e.ctrlKey || e.metaKey) || e.target.tagName === 'INPUT') return;
    if (e.key === 'z') { e.preventDefault(); call('POST', '/api/undo'); }
    if (e.key === 'y') { e.preventDefault(); call('POST', '/api/redo'); }
  });
  $('#set-define').addEventListener('click', async () => {
    const data = await call('POST', '/api/sets/define');
    if (data) { setStatus(`Saved as set ${data.slot}`); loadSets(); }
  });
  $('#set-clear').addEventListener('click', async () => { await call('POST', '/api/sets/clear'); loadSets(); });
}

async function start() {
  try {
    await loadSchema();
  } catch (e) {
    setStatus(e.message, true);
    return;
  }
  buildPrimary();
  buildClipping();
  buildSix();
  buildMatch();
  buildView();
  const sets = document.createElement('p');
  sets.className = 'hint';
  sets.innerHTML = 'Sets in use: <span id="set-count">0</span> of 32 (the 33rd save replaces the oldest slot).';
  $('#panel-sets').prepend(sets);
  setupPanels();
  setupSplit();
  setupScope();
  setupUploads();
  setupHistory();
  await openSession();
  const data = await refresh();
  if (!data) return;
  buildAnalysis();
  drawDragModes();
  loadReference();
  if (data.preview > 0) showPreview({ seq: data.preview }); // a tab that is not the one listening
  listen();
  window.addEventListener('resize', () => { if (shownSeq) showPreview({ seq: shownSeq }); });
  $('#zoom').addEventListener('click', () => {
    zoomed = !zoomed;
    $('#zoom').classList.toggle('active', zoomed);
    if (shownSeq) showPreview({ seq: shownSeq });
  });
  document.body.dataset.ready = '1';
}

start();
