// End-to-end tests of the `colorcorrect serve` page in headless Chromium.
//
//   node browser_test.mjs PATH/TO/colorcorrect
//
// Starts the server on a free port, drives the page with playwright-core and
// checks what the page and the server show. Exits 0 when every test passes,
// 1 when one fails, and 77 (skipped) when Chromium or node_modules is missing.
// With SERVE_SHOTS=<folder> it also writes screenshots of the main views.

import { spawn, execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, mkdirSync, readFileSync, writeFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { createRequire } from 'node:module';

const SKIP = 77;
const here = dirname(fileURLToPath(import.meta.url));
const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';
const tool = process.argv[2];

if (!tool || !existsSync(tool)) {
  console.error(`usage: node browser_test.mjs PATH/TO/colorcorrect (got ${tool})`);
  process.exit(1);
}
if (!existsSync(chromiumPath)) {
  console.log(`SKIP: ${chromiumPath} is not installed`);
  process.exit(SKIP);
}
let chromium;
try {
  const require = createRequire(join(here, 'package.json'));
  ({ chromium } = require('playwright-core'));
} catch {
  console.log('SKIP: playwright-core is not installed (run npm ci in tests/serve)');
  process.exit(SKIP);
}

const shots = process.env.SERVE_SHOTS || '';
if (shots) mkdirSync(shots, { recursive: true });
const work = mkdtempSync(join(tmpdir(), 'cc-serve-test-'));
const WAIT = 30000; // generous: the machine may be busy; nothing here is timed

// ---- the server -------------------------------------------------------------------

function startServer(args = []) {
  return new Promise((resolve, reject) => {
    const child = spawn(tool, ['serve', '--port', '0', ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '', err = '';
    child.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/http:\/\/[^\s/]+:(\d+)\//);
      if (m) resolve({ child, url: m[0] });
    });
    child.stderr.on('data', (d) => { err += d; });
    child.on('exit', (code) => reject(new Error(`server ended (${code}): ${err}`)));
  });
}

function stopServer(server) {
  return new Promise((resolve) => {
    server.child.removeAllListeners('exit');
    server.child.on('exit', (code, signal) => resolve({ code, signal }));
    server.child.kill('SIGTERM');
  });
}

// ---- a tiny test runner -------------------------------------------------------------

const results = [];
async function test(name, fn) {
  const started = Date.now();
  try {
    await fn();
    results.push({ name, ok: true });
    console.log(`PASS ${name} (${Date.now() - started} ms)`);
  } catch (e) {
    results.push({ name, ok: false });
    console.log(`FAIL ${name}\n  ${e.stack || e}`);
  }
}
function assert(cond, message) {
  if (!cond) throw new Error(message);
}
// JSON text with the keys of every object sorted, so that equal values compare equal.
function canonical(value) {
  if (Array.isArray(value)) return `[${value.map(canonical).join(',')}]`;
  if (value && typeof value === 'object')
    return `{${Object.keys(value).sort().map((k) => `${JSON.stringify(k)}:${canonical(value[k])}`).join(',')}}`;
  return JSON.stringify(value);
}
function assertEqual(actual, expected, message) {
  if (canonical(actual) !== canonical(expected))
    throw new Error(`${message}: expected ${JSON.stringify(expected)}, got ${JSON.stringify(actual)}`);
}

// The session's state as the server has it, fetched from inside the page
// (with its cookie).
const serverState = (page) => page.evaluate(async () => (await fetch('/api/state')).json());
// Waits until the session's state satisfies `predicate` (checked in Node);
// returns that state.
async function waitForState(page, predicate, what = 'the expected state') {
  const deadline = Date.now() + WAIT;
  for (;;) {
    const s = await serverState(page);
    if (predicate(s)) return s;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}: ${JSON.stringify(s).slice(0, 400)}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}
const previewSeq = (page) => page.evaluate(() => Number(document.body.dataset.preview || 0));

async function waitForNewPreview(page, after) {
  await page.waitForFunction((n) => Number(document.body.dataset.preview || 0) > n, after, { timeout: WAIT });
}

async function openPage(context, url) {
  const page = await context.newPage();
  page.on('pageerror', (e) => console.log(`  page error: ${e.message}`));
  if (process.env.SERVE_TRACE) page.on('request', (r) => { if (r.url().includes('/api/gesture')) console.log('  ', r.postData()); });
  await page.goto(url);
  await page.waitForSelector('body[data-ready="1"]', { timeout: WAIT });
  await waitForNewPreview(page, 0);
  await page.waitForFunction(() => Number(document.querySelector('#scope').dataset.loaded || 0) > 0, null, { timeout: WAIT });
  return page;
}

async function shot(page, name) {
  if (shots) await page.screenshot({ path: join(shots, `${name}.png`), fullPage: true });
}

// Drags with the mouse from (x0, y0) to (x1, y1) in element coordinates.
async function drag(page, selector, x0, y0, x1, y1, steps = 8) {
  const box = await page.locator(selector).boundingBox();
  const sx = box.width / 384, sy = box.height / 288;
  await page.mouse.move(box.x + x0 * sx, box.y + y0 * sy);
  await page.mouse.down();
  for (let i = 1; i <= steps; i++)
    await page.mouse.move(box.x + (x0 + ((x1 - x0) * i) / steps) * sx, box.y + (y0 + ((y1 - y0) * i) / steps) * sy);
  await page.mouse.up();
}

async function setField(page, path, value) {
  const input = page.locator(`input[type=number][data-path="${path}"]`);
  await input.fill(String(value));
  await input.dispatchEvent('change');
}

function info(file) {
  return execFileSync(tool, ['info', file], { encoding: 'utf8' });
}

// ---- the tests -------------------------------------------------------------------------

const server = await startServer();
const browser = await chromium.launch({
  executablePath: chromiumPath,
  headless: true,
  args: ['--no-sandbox', '--no-proxy-server'],
});
const context = await browser.newContext({ viewport: { width: 1400, height: 1700 }, acceptDownloads: true });
let page;

try {
  await test('the page loads with a preview of the default picture and a scope', async () => {
    page = await openPage(context, server.url);
    const s = await serverState(page);
    assertEqual([s.source.width, s.source.height], [720, 480], 'default picture size');
    const natural = await page.$eval('#preview', (img) => [img.naturalWidth, img.naturalHeight]);
    assertEqual(natural, [720, 480], 'preview size');
    const scope = await page.$eval('#scope', (img) => [img.naturalWidth, img.naturalHeight]);
    assertEqual(scope, [384, 288], 'scope size');
    await shot(page, '01-page');
  });

  await test('a slider changes the correction and a new preview arrives', async () => {
    const before = await previewSeq(page);
    await setField(page, 'base.y_gamma', 40);
    await page.locator('input[data-path="flags.primary"]').check();
    await waitForState(page, (s) => s.correction.base.y_gamma === 40 && s.correction.flags.primary);
    await waitForNewPreview(page, before);
  });

  await test('every scope tab shows its display', async () => {
    for (const type of [1, 2, 4, 5, 6, 7]) {
      const loaded = await page.$eval('#scope', (img) => Number(img.dataset.loaded || 0));
      await page.click(`#scope-tabs button[data-type="${type}"]`);
      await page.waitForFunction((n) => Number(document.querySelector('#scope').dataset.loaded) > n, loaded, { timeout: WAIT });
      const src = await page.$eval('#scope', (img) => img.src);
      assert(src.includes(`type=${type}`), `scope ${type} requested (${src})`);
      if (shots) await page.locator('#scope-wrap').screenshot({ path: join(shots, `02-scope-${type}.png`) });
    }
    await page.click('#scope-tabs button[data-type="1"]');
  });

  await test('save a set, change the correction, recall the set', async () => {
    await page.click('#control-tabs button[data-panel="sets"]');
    await page.click('#set-define');
    await page.waitForFunction(() => document.body.dataset.sets === '1', null, { timeout: WAIT });
    await page.click('#control-tabs button[data-panel="primary"]');
    await setField(page, 'base.y_gamma', -30);
    await waitForState(page, (s) => s.correction.base.y_gamma === -30);
    await page.click('#control-tabs button[data-panel="sets"]');
    await page.waitForSelector('#set-list li .recall', { timeout: WAIT });
    await shot(page, '03-sets');
    await page.click('#set-list li .recall');
    await waitForState(page, (s) => s.correction.base.y_gamma === 40);
    // The server may answer the poll before the page has taken the recall's
    // reply: wait for the page's field rather than read it at once.
    const field = 'input[type=number][data-path="base.y_gamma"]';
    await page.waitForFunction((sel) => document.querySelector(sel).value === '40', field, { timeout: WAIT })
      .catch(() => {});
    assertEqual(await page.inputValue(field), '40', 'field after recall');
  });

  await test('undo and redo step through the corrections', async () => {
    const s0 = await serverState(page);
    assert(s0.undo > 0, 'there is something to undo');
    await page.click('#undo');
    await waitForState(page, (s) => s.correction.base.y_gamma === -30);
    await page.click('#redo');
    await waitForState(page, (s) => s.correction.base.y_gamma === 40);
  });

  await test('six vectors and match vectors can be edited', async () => {
    await page.click('#control-tabs button[data-panel="six"]');
    await page.selectOption('#six-segment', '3');
    await setField(page, 'vector6.green.sat', -50);
    await page.click('#control-tabs button[data-panel="match"]');
    await page.click('#vector-add');
    await waitForState(page, (s) => s.correction.match.count === 2);
    await setField(page, 'match.vectors.1.hue_width', 30);
    await waitForState(page, (s) => s.correction.vector6.green.sat === -50 &&
      s.correction.match.vectors[1].hue_width === 30 && s.options.six_vector === 3 && s.options.isolate_vector === 1);
    await shot(page, '04-match-vectors');
    await page.click('#vector-delete');
    await waitForState(page, (s) => s.correction.match.count === 1);
  });

  await test('dragging the split handle shows the reference in a corner', async () => {
    const box = await page.locator('#preview').boundingBox();
    const handle = await page.locator('#split-handle').boundingBox();
    await page.mouse.move(handle.x + handle.width / 2, handle.y + handle.height / 2);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width * 0.3, box.y + box.height * 0.4, { steps: 6 });
    await page.mouse.up();
    // Moves on their way may land first; wait for the last one.
    const s = await waitForState(page, (t) => Math.abs(t.split.x - 216) <= 3 && Math.abs(t.split.y - 192) <= 3,
      'the split of the last position');
    assert(Math.abs(s.split.x - 216) <= 3 && Math.abs(s.split.y - 192) <= 3, `split ${JSON.stringify(s.split)}`);
    const before = await previewSeq(page);
    await waitForNewPreview(page, before - 1);
    await shot(page, '05-split');
  });

  await test('the downloaded correction file reads back as the session\'s correction', async () => {
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download-json')]);
    const file = join(work, 'downloaded.json');
    await download.saveAs(file);
    const text = readFileSync(file, 'utf8');
    const s = await serverState(page);
    assertEqual(JSON.parse(text), s.correction, 'file content');
    const description = info(file);
    assert(/gamma/i.test(description), `info mentions the gamma:\n${description}`);
    // The same correction through the binary form describes the same way.
    const [binary] = await Promise.all([page.waitForEvent('download'), page.click('#download-binary')]);
    const ccr = join(work, 'downloaded.ccr');
    await binary.saveAs(ccr);
    assertEqual(readFileSync(ccr).length, 564, 'binary size');
    // Apart from the first line, which names the file and its form.
    const body = (text) => text.split('\n').slice(1).join('\n');
    assertEqual(body(info(ccr)), body(description), 'info of both forms');
  });

  await test('the LUT and the corrected picture download', async () => {
    const [lut] = await Promise.all([page.waitForEvent('download'), page.click('#download-lut')]);
    const cube = join(work, 'look.cube');
    await lut.saveAs(cube);
    assert(readFileSync(cube, 'utf8').includes('LUT_3D_SIZE 33'), 'cube header');
    const [pic] = await Promise.all([page.waitForEvent('download'), page.click('#download-png')]);
    const png = join(work, 'corrected.png');
    await pic.saveAs(png);
    assertEqual([...readFileSync(png).subarray(1, 4)].map((c) => String.fromCharCode(c)).join(''), 'PNG', 'PNG file');
  });

  await test('uploading a source picture replaces the picture being corrected', async () => {
    // A 64 x 32 picture made by the tool itself: the corrected picture, scaled
    // down is not needed; any PNG will do, so reuse the download.
    const before = await previewSeq(page);
    await page.setInputFiles('#upload-source', join(work, 'corrected.png'));
    await waitForState(page, (s) => s.source.name === 'corrected.png');
    await waitForNewPreview(page, before);
    const bad = join(work, 'not-a-picture.png');
    writeFileSync(bad, 'hello');
    await page.setInputFiles('#upload-source', bad);
    await page.waitForFunction(() => document.querySelector('#status').classList.contains('error'), null, { timeout: WAIT });
    const status = await page.textContent('#status');
    assert(/not a PNG, JPEG or BMP/.test(status), `error shown: ${status}`);
  });

  await test('a second browser session is independent of the first', async () => {
    const other = await browser.newContext();
    const page2 = await openPage(other, server.url);
    const s2 = await serverState(page2);
    assertEqual(s2.correction.base.y_gamma, 0, 'fresh session');
    assertEqual(s2.source.name, '', 'default picture');
    await setField(page2, 'base.y_gamma', -99);
    await waitForState(page2, (s) => s.correction.base.y_gamma === -99);
    const s1 = await serverState(page);
    assertEqual(s1.correction.base.y_gamma, 40, 'first session untouched');
    await other.close();
  });

  await test('drag on the vector scope turns the hue and a new preview arrives', async () => {
    await page.click('#scope-tabs button[data-type="1"]');
    await page.selectOption('#drag-mode', 'huesat');
    await page.selectOption('#drag-target', '1');
    const before = await serverState(page);
    const seq = await previewSeq(page);
    await drag(page, '#scope', 292, 144, 192, 44);
    await waitForState(page, (s) => s.correction.base.hue !== before.correction.base.hue, 'a new hue');
    await waitForNewPreview(page, seq);
    const after = await serverState(page);
    assert(after.undo > before.undo, 'the drag is one undo step');
    await shot(page, '06-vector-drag');
  });

  await test('pick a gray point and the curve fields change', async () => {
    await page.click('#control-tabs button[data-panel="analysis"]');
    await page.selectOption('#analysis-kind', 'gray1');
    await page.selectOption('#analysis-mode', '0');
    const before = await serverState(page);
    const box = await page.locator('#preview').boundingBox();
    await page.mouse.click(box.x + box.width * 0.3, box.y + box.height * 0.3);
    await page.waitForSelector('#analysis-apply:not([disabled])', { timeout: WAIT });
    await shot(page, '07-pick');
    await page.click('#analysis-apply');
    await waitForState(page, (s) => canonical(s.correction.base) !== canonical(before.correction.base),
      'changed curve fields');
  });

  await test('a drag on the histogram changes the curve of its cell', async () => {
    await page.click('#scope-tabs button[data-type="4"]');
    const before = await serverState(page);
    // Row red, column white; 60 pixels to the right are +20.
    await drag(page, '#scope', 300, 40, 360, 40);
    // Moves on the way may land first (+17, say); wait for the end of the drag.
    const want = before.correction.base.r_white + 20;
    const s = await waitForState(page, (t) => t.correction.base.r_white === want, `red white ${want}`);
    assertEqual(s.correction.base.r_white, want, 'red white');
  });

  await test('turning the cube redraws it', async () => {
    await page.click('#scope-tabs button[data-type="6"]');
    await page.waitForFunction(() => document.querySelector('#scope').src.includes('type=6'), null, { timeout: WAIT });
    const loaded = await page.$eval('#scope', (img) => Number(img.dataset.loaded));
    const before = await serverState(page);
    await drag(page, '#scope', 150, 150, 230, 110);
    await page.waitForFunction((n) => Number(document.querySelector('#scope').dataset.loaded) > n, loaded, { timeout: WAIT });
    const after = await serverState(page);
    assertEqual(after.correction, before.correction, 'the correction stays');
    if (shots) await page.locator('#scope-wrap').screenshot({ path: join(shots, '08-cube-turned.png') });
  });

  await test('a match vector from a region, then dragged on the vector scope', async () => {
    await page.click('#control-tabs button[data-panel="analysis"]');
    await page.selectOption('#analysis-kind', 'mv_get');
    const box = await page.locator('#preview').boundingBox();
    const w = box.width / 720, h = box.height / 480;
    // A region inside the sixth bar of the source.
    await page.mouse.move(box.x + 530 * w, box.y + 60 * h);
    await page.mouse.down();
    await page.mouse.move(box.x + 560 * w, box.y + 120 * h, { steps: 4 });
    await page.mouse.up();
    await page.waitForSelector('#analysis-apply:not([disabled])', { timeout: WAIT });
    const count = (await serverState(page)).correction.match.count;
    await page.click('#analysis-apply');
    const s = await waitForState(page, (t) => t.correction.match.count > count, 'a new match vector');
    const index = s.correction.match.count - 1;
    await waitForState(page, (t) => t.options.isolate_vector === index, 'the new vector selected');
    await page.click('#scope-tabs button[data-type="1"]');
    await page.selectOption('#drag-mode', 'mv0');
    await drag(page, '#scope', 192, 144, 232, 104);
    const moved = await waitForState(page, (t) => t.correction.match.vectors[index].u === 40, 'the vector moved');
    assertEqual([moved.correction.match.vectors[index].u, moved.correction.match.vectors[index].v], [40, 40], 'U and V');
    await page.click('#control-tabs button[data-panel="match"]');
    await shot(page, '09-match-vector-dragged');
  });

  await test('a histogram match of a source and a reference region', async () => {
    await page.click('#control-tabs button[data-panel="analysis"]');
    await page.selectOption('#analysis-kind', 'histo');
    for (const selector of ['#preview', '#reference']) {
      const box = await page.locator(selector).boundingBox();
      await page.mouse.move(box.x + box.width * 0.05, box.y + box.height * 0.05);
      await page.mouse.down();
      await page.mouse.move(box.x + box.width * 0.95, box.y + box.height * 0.6, { steps: 4 });
      await page.mouse.up();
    }
    await page.waitForSelector('#analysis-apply:not([disabled])', { timeout: WAIT });
    await shot(page, '10-regions');
    const before = await serverState(page);
    await page.click('#analysis-apply');
    const s = await waitForState(page, (t) => t.undo > before.undo, 'the match as one step');
    assert(s.correction.flags.primary && s.correction.match.count === 0, `only the primary after a histogram match: ${canonical(s.correction.flags)}`);
  });

  await test('the server stops cleanly on SIGTERM', async () => {
    await context.close();
    const { code } = await stopServer(server);
    assertEqual(code, 0, 'exit code');
  });
} finally {
  await browser.close().catch(() => {});
  if (server.child.exitCode === null) server.child.kill('SIGKILL');
  rmSync(work, { recursive: true, force: true });
}

const failed = results.filter((r) => !r.ok);
console.log(`${results.length - failed.length} of ${results.length} browser tests passed`);
process.exit(failed.length ? 1 : 0);
