// Opens report pages that `tarvel run --html` writes in headless Chromium and checks what a
// user would see: the page ran without an error and logged nothing, the links show in their
// colours (from the screenshot's pixels), the pair list and the tool's message are there.
//
//   node report_browser_test.mjs TARVEL SOURCE_DIR WORK_DIR CASE
//
// CASE: example | pairs | stopped | scale (large runs: the page's size and its opening).
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';

const [tarvel, sourceDir, workDir, testCase] = process.argv.slice(2);
fs.mkdirSync(workDir, { recursive: true });
const failures = [];
function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures.push(what);
}

// ---- Meshes -------------------------------------------------------------------------------

// An OBJ of grids of unit quads: each { nx, ny, x, y, z, down } faces up, or down with `down`.
function gridsObj(grids) {
  const lines = [];
  let first = 1;
  for (const g of grids) {
    for (let j = 0; j <= g.ny; j++) {
      for (let i = 0; i <= g.nx; i++) lines.push(`v ${g.x + i} ${g.y + j} ${g.z}`);
    }
    lines.push(`g ${g.name ?? 'patch'}`);
    for (let j = 0; j < g.ny; j++) {
      for (let i = 0; i < g.nx; i++) {
        const a = first + j * (g.nx + 1) + i, b = a + 1, c = b + g.nx + 1, d = a + g.nx + 1;
        lines.push(g.down ? `f ${a} ${d} ${c} ${b}` : `f ${a} ${b} ${c} ${d}`);
      }
    }
    first += (g.nx + 1) * (g.ny + 1);
  }
  return lines.join('\n') + '\n';
}

// Runs tarvel on `input`; without a selection in `extra`, on every polygon (--all). A run the
// tool stops (exit code 3) still writes its page.
function runTarvel(name, input, extra = []) {
  const html = path.join(workDir, `${name}.html`);
  const selection = extra.some((arg) => arg.startsWith('--select')) ? [] : ['--all'];
  const result = spawnSync(tarvel, ['run', input, '-o', path.join(workDir, `${name}.out${path.extname(input)}`),
    '--html', html, ...selection, ...extra], { encoding: 'utf8', maxBuffer: 1 << 26 });
  if (result.status !== 0 && result.status !== 3) throw new Error(`tarvel run ${name}: ${result.stderr}`);
  process.stdout.write(result.stdout);
  return { html, stdout: result.stdout, stderr: result.stderr };
}

// ---- The browser --------------------------------------------------------------------------

function chromium(page, action, fragment = '') {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvel-chromium-'));
  try {
    const result = spawnSync('chromium', [
      '--headless', '--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--no-first-run', '--no-default-browser-check', `--user-data-dir=${profile}`,
      // Any name the page looked up would fail, and log an error.
      '--host-resolver-rules=MAP * ~NOTFOUND',
      '--enable-logging=stderr', '--v=0', '--window-size=1280,800',
      '--virtual-time-budget=20000', ...action, `file://${page}${fragment}`,
    ], { encoding: 'utf8', maxBuffer: 1 << 28, timeout: 180000 });
    if (result.error) throw result.error;
    return result;
  } finally {
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

// The page's DOM once it settled, and what it wrote to the console.
function openPage(page, fragment = '') {
  const started = Date.now();
  const result = chromium(page, ['--dump-dom'], fragment);
  const seconds = (Date.now() - started) / 1000;
  const consoleLines = result.stderr.split('\n').filter((line) => line.includes(':CONSOLE'));
  return { dom: result.stdout, consoleLines, seconds };
}

// The screenshot as { width, height, rgb(x, y) }, read from the PNG Chromium writes.
function screenshot(page, fragment = '') {
  const file = `${page}${fragment.replace(/[^a-z0-9]/g, '-')}.png`;
  chromium(page, [`--screenshot=${file}`], fragment);
  const png = fs.readFileSync(file);
  let at = 8, width = 0, height = 0, type = 0;
  const data = [];
  while (at < png.length) {
    const length = png.readUInt32BE(at), kind = png.toString('latin1', at + 4, at + 8);
    const body = png.subarray(at + 8, at + 8 + length);
    if (kind === 'IHDR') {
      width = body.readUInt32BE(0); height = body.readUInt32BE(4); type = body[9];
      if (body[8] !== 8 || body[12] !== 0) throw new Error('unexpected PNG layout');
    } else if (kind === 'IDAT') data.push(body);
    at += 12 + length;
  }
  const channels = type === 6 ? 4 : 3, stride = width * channels;
  const raw = zlib.inflateSync(Buffer.concat(data));
  const pixels = Buffer.alloc(height * stride);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    for (let x = 0; x < stride; x++) {
      const value = raw[y * (stride + 1) + 1 + x];
      const left = x >= channels ? pixels[y * stride + x - channels] : 0;
      const up = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const upLeft = y > 0 && x >= channels ? pixels[(y - 1) * stride + x - channels] : 0;
      let predictor = 0;
      if (filter === 1) predictor = left;
      else if (filter === 2) predictor = up;
      else if (filter === 3) predictor = (left + up) >> 1;
      else if (filter === 4) {
        const p = left + up - upLeft;
        const pa = Math.abs(p - left), pb = Math.abs(p - up), pc = Math.abs(p - upLeft);
        predictor = pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft;
      }
      pixels[y * stride + x] = (value + predictor) & 0xff;
    }
  }
  return { width, height, rgb: (x, y) => [...pixels.subarray(y * stride + x * channels, y * stride + x * channels + 3)] };
}

// Pixels of the 3D view (left of the 340-pixel panel) within a small distance of `colour`.
function countColour(image, colour) {
  let count = 0;
  for (let y = 0; y < image.height; y++) {
    for (let x = 0; x < image.width - 340; x++) {
      const [r, g, b] = image.rgb(x, y);
      if (Math.abs(r - colour[0]) + Math.abs(g - colour[1]) + Math.abs(b - colour[2]) <= 30) count++;
    }
  }
  return count;
}
const red = [255, 0, 0], darkRed = [139, 0, 0], blue = [0, 0, 255];

function text(dom, id) {
  const match = dom.match(new RegExp(`<[a-z0-9]+ id="${id}"[^>]*>([\\s\\S]*?)</`));
  return match ? match[1] : null;
}

function checkOpened(name, page) {
  check(page.dom.includes('data-status="ready"'), `${name}: the page ran to the end (status: ${text(page.dom, 'status')})`);
  check(page.consoleLines.length === 0, `${name}: nothing logged to the console ${page.consoleLines.join(' | ')}`);
  check(page.dom.includes('WebGL'), `${name}: drawn through WebGL`);
}

function pairButtons(dom) {
  return [...dom.matchAll(/<li><button[^>]*>(Pair [^<]*)<\/button><\/li>/g)].map((m) => m[1]);
}

// ---- Cases --------------------------------------------------------------------------------

if (testCase === 'example') {
  // The bundled example: one pair, Red 1, DkRed 15, Blue 0.
  const { html } = runTarvel('example', path.join(sourceDir, 'examples/facing_grids.lwo'), ['--select-polygons', '0-24']);
  const page = openPage(html);
  checkOpened('example', page);
  check(JSON.stringify(pairButtons(page.dom)) === '["Pair 1: 16 links (Red 1, DkRed 15)"]', `example: one pair listed (${pairButtons(page.dom)})`);
  check(text(page.dom, 'file') === 'facing_grids.lwo', 'example: the file named');
  check(/1 pair linked, 16 links \(Red 1, DkRed 15, Blue 0\), 25 polygons removed/.test(page.dom), 'example: the summary counts');
  check(/<div id="banner" hidden=""/.test(page.dom), 'example: no message banner');
  const image = screenshot(html);
  const counts = [countColour(image, red), countColour(image, darkRed), countColour(image, blue)];
  console.log(`pixels: red ${counts[0]}, dark red ${counts[1]}, blue ${counts[2]}`);
  check(counts[0] > 100, 'example: the Red link drawn in red, wide');
  check(counts[1] > 300, 'example: the DkRed links drawn in dark red');
  check(counts[2] === 0, 'example: nothing blue (no Blue link)');
  check(counts[0] < counts[1], 'example: one Red link, fifteen DkRed ones');
  // Before the run: the removed patches (their edges in dark orange), no links.
  const before = screenshot(html, '#before');
  const removedEdges = countColour(before, [192, 80, 10]);
  console.log(`pixels before the run: removed polygons' edges ${removedEdges}, dark red ${countColour(before, darkRed)}`);
  check(removedEdges > 200 && countColour(before, darkRed) === 0 && countColour(before, red) === 0, 'example: before the run, the removed patches and no link');
} else if (testCase === 'pairs') {
  // Three pairs side by side: crossed strips (which give Blue links) and two equal grids.
  const grids = [
    { nx: 8, ny: 2, x: 0, y: 3, z: 0 }, { nx: 2, ny: 8, x: 3, y: 0, z: 3, down: true },
    { nx: 5, ny: 5, x: 12, y: 0, z: 0 }, { nx: 5, ny: 5, x: 12, y: 0, z: 2, down: true },
    { nx: 6, ny: 1, x: 24, y: 3, z: 0 }, { nx: 1, ny: 6, x: 27, y: 0, z: 4, down: true },
  ];
  const input = path.join(workDir, 'pairs.obj');
  fs.writeFileSync(input, gridsObj(grids));
  const { html, stdout } = runTarvel('pairs', input);
  const summary = stdout.match(/(\d+) pairs? linked, (\d+) links \(Red (\d+), DkRed (\d+), Blue (\d+)\)/);
  const page = openPage(html);
  checkOpened('pairs', page);
  const listed = pairButtons(page.dom);
  check(summary && Number(summary[1]) === 3 && listed.length === 3, `pairs: three pairs linked and listed (${listed.join('; ')})`);
  check(listed.every((item) => /\(Red 1,/.test(item)), 'pairs: each listed pair has one Red link');
  const image = screenshot(html);
  const counts = [countColour(image, red), countColour(image, darkRed), countColour(image, blue)];
  console.log(`pixels: red ${counts[0]}, dark red ${counts[1]}, blue ${counts[2]}`);
  check(counts[0] > 100 && counts[1] > 100, 'pairs: Red and DkRed links drawn');
  check(Number(summary[5]) > 0 && counts[2] > 50, `pairs: the Blue links (${summary[5]}) drawn in blue`);
  // Choosing the third pair (through the page's address) frames it: it has no Blue link, and
  // the other pairs are out of the view.
  const chosen = openPage(html, '#pair=3');
  checkOpened('pairs, the third chosen', chosen);
  check(/<button class="on">Pair 3:/.test(chosen.dom), 'pairs: the third pair marked as chosen');
  const framed = screenshot(html, '#pair=3');
  const framedCounts = [countColour(framed, red), countColour(framed, darkRed), countColour(framed, blue)];
  console.log(`pixels with pair 3 framed: red ${framedCounts[0]}, dark red ${framedCounts[1]}, blue ${framedCounts[2]}`);
  check(framedCounts[1] > counts[1] && framedCounts[2] === 0, 'pairs: the third pair fills the view');
} else if (testCase === 'stopped') {
  // Two patches that face away from each other: the tool stops with its message.
  const input = path.join(workDir, 'away.obj');
  fs.writeFileSync(input, gridsObj([{ nx: 4, ny: 4, x: 0, y: 0, z: 0, down: true },
                                     { nx: 4, ny: 4, x: 0, y: 0, z: 2, down: false }]));
  // The tool's message goes to standard error.
  const { html, stderr } = runTarvel('stopped', input);
  const message = stderr.split('\n')[0].replace(/^Error: /, '');
  const page = openPage(html);
  checkOpened('stopped', page);
  const banner = page.dom.match(/<div id="banner"([^>]*)>([\s\S]*?)<\/div>/);
  check(banner && !banner[1].includes('hidden') && banner[2].includes(message), `stopped: the message "${message}" shown over the view`);
  check(/<input type="checkbox" id="normals">/.test(page.dom) === false || page.dom.includes('No pairs linked'), 'stopped: no pairs');
  const image = screenshot(html);
  const normalPixels = countColour(image, [0, 140, 70]);
  const selectedPixels = countColour(image, [127, 184, 230]);
  console.log(`pixels: normals ${normalPixels}, selected polygons about ${selectedPixels}`);
  check(normalPixels > 20, 'stopped: the normals drawn');
  check(countColour(image, red) === 0, 'stopped: no links');
} else if (testCase === 'scale') {
  // Sizes: everything selected and linked (180,000 and about 1,000,000 polygons), and a small
  // selection in a large unselected model, whose context the page reduces.
  const cases = [
    { name: 'run180k', grids: [{ nx: 300, ny: 300, x: 0, y: 0, z: 0 }, { nx: 300, ny: 300, x: 0, y: 0, z: 5, down: true }], limit: 20e6, open: true },
    { name: 'run1m', grids: [{ nx: 708, ny: 708, x: 0, y: 0, z: 0 }, { nx: 708, ny: 708, x: 0, y: 0, z: 9, down: true }], limit: 30e6, open: true },
    { name: 'context1m', grids: [{ nx: 10, ny: 10, x: 0, y: 0, z: 0, name: 'low' }, { nx: 10, ny: 10, x: 0, y: 0, z: 3, down: true, name: 'high' },
      { nx: 1000, ny: 1000, x: -500, y: -500, z: -5, name: 'floor' }], limit: 10e6, open: true,
      extra: ['--select-polygons', '0-199', '--svg', path.join(workDir, 'context1m.svg')] },
  ];
  for (const c of cases) {
    const input = path.join(workDir, `${c.name}.obj`);
    fs.writeFileSync(input, gridsObj(c.grids));
    const { html } = runTarvel(c.name, input, c.extra ?? []);
    fs.rmSync(input);
    fs.rmSync(path.join(workDir, `${c.name}.out.obj`));
    const size = fs.statSync(html).size;
    console.log(`${c.name}: page ${(size / 1e6).toFixed(1)} MB`);
    check(size < c.limit, `${c.name}: the page is under ${c.limit / 1e6} MB`);
    if (c.open) {
      const page = openPage(html);
      console.log(`${c.name}: opened in headless Chromium (software WebGL) in ${page.seconds.toFixed(1)} s`);
      checkOpened(c.name, page);
      if (c.name === 'context1m') {
        // The picture too follows the selection: of the floor, its boundary where it crosses
        // the frame.
        const svg = fs.readFileSync(path.join(workDir, 'context1m.svg'), 'utf8');
        const outline = (svg.match(/class="outline"/g) ?? []).length;
        console.log(`context1m: picture ${(svg.length / 1e3).toFixed(0)} kB, ${outline} outline edges`);
        check(svg.length < 200e3 && outline < 1000, 'context1m: the picture stays small: the floor is its outline, where it crosses the frame');
      }
      if (c.name === 'context1m') check(/Context reduced: of the 1,000,000 unselected polygons/.test(page.dom), 'context1m: the page says the context is reduced');
    }
  }
} else {
  throw new Error(`unknown case ${testCase}`);
}

if (failures.length > 0) {
  console.log(`${failures.length} check(s) failed`);
  process.exit(1);
}
