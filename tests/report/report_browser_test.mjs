// Opens report pages that `tarvel run --html` writes in headless Chromium, as a person would look
// at them: the page ran without an error and logged nothing; from the screenshot's pixels, a dark
// viewport with a ground grid, lit patches, the links in their colours, a chosen pair alone; the
// panel's file, summary, messages and pairs. Firefox, which cannot start WebGL headless, must
// still show the panel.
//
//   node report_browser_test.mjs TARVEL SOURCE_DIR WORK_DIR CASE
//
// CASE: example | pairs | stopped | nowebgl | firefox | scale (large runs: the page's size and
// its first frame). Exits with 77 (a skip) when the browser is missing.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { Chromium, missingProgram, readPng } from './browser.mjs';

const [tarvel, sourceDir, workDir, testCase] = process.argv.slice(2);
fs.mkdirSync(workDir, { recursive: true });
const failures = [];
function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures.push(what);
}
const browserProgram = testCase === 'firefox' ? 'firefox-esr' : 'chromium';
const missing = missingProgram(browserProgram);
if (missing) {
  console.log(`SKIP: ${missing}; scripts/setup.sh installs it`);
  process.exit(77);
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

// ---- Looking at a screenshot ----------------------------------------------------------------

// The 3D view: left of the 360-pixel panel, less the axis gizmo and the grid's scale note in
// its lower left corner.
const panelWidth = 360;
function* viewPixels(image) {
  for (let y = 0; y < image.height; y++) {
    for (let x = 0; x < image.width - panelWidth; x++) {
      if (x < 400 && y > image.height - 110) continue;
      yield image.rgb(x, y);
    }
  }
}
const near = (a, b, tolerance) => Math.abs(a[0] - b[0]) + Math.abs(a[1] - b[1]) + Math.abs(a[2] - b[2]) <= tolerance;
function countColour(image, colour, tolerance = 30) {
  let count = 0;
  for (const rgb of viewPixels(image)) if (near(rgb, colour, tolerance)) count++;
  return count;
}
const hex = (value) => [value >> 16, (value >> 8) & 255, value & 255];
const colours = {
  background: hex(0x2b2d30), gridMinor: hex(0x3b3e42), gridMajor: hex(0x575b61),
  red: hex(0xff3030), darkRed: hex(0xb00000), blue: hex(0x3f7cff), normal: hex(0x00c060),
};
const luminance = ([r, g, b]) => 0.2126 * r + 0.7152 * g + 0.0722 * b;
function linkCounts(image) {
  return { red: countColour(image, colours.red), darkRed: countColour(image, colours.darkRed), blue: countColour(image, colours.blue) };
}

// What a person sees first: a dark viewport (no white), with a ground grid.
function checkViewport(name, image) {
  let bright = 0, all = 0;
  for (const rgb of viewPixels(image)) {
    all++;
    if (luminance(rgb) > 235) bright++;
  }
  const background = countColour(image, colours.background, 6);
  const grid = countColour(image, colours.gridMinor, 9) + countColour(image, colours.gridMajor, 12);
  console.log(`${name}: background ${background} of ${all} pixels, grid ${grid}, white ${bright}`);
  check(bright < 0.002 * all && background > 0.3 * all, `${name}: a dark background, nothing white`);
  check(grid > 800, `${name}: the ground grid drawn`);
}

// Pixels of the removed polygons' orange (shaded: any brightness of that hue), and how much their
// brightness spreads (between the 10th and 90th percentile).
function shading(image) {
  const levels = [];
  for (const [r, g, b] of viewPixels(image)) {
    if (r > 40 && r > 1.35 * g && g > 1.5 * b && g > 0.35 * r) levels.push(luminance([r, g, b]));
  }
  levels.sort((a, b) => a - b);
  const at = (q) => levels[Math.floor(q * (levels.length - 1))] ?? 0;
  return { pixels: levels.length, spread: at(0.9) - at(0.1) };
}

function firstFrameSeconds(status) {
  return Number(/first frame ([0-9.]+) s/.exec(status ?? '')?.[1] ?? NaN);
}

// ---- Cases --------------------------------------------------------------------------------

const inPage = (expression) => `(() => ${expression})()`;
const panelText = `JSON.stringify({
  file: document.getElementById('file').textContent,
  fileTitle: document.getElementById('file').title,
  summary: document.getElementById('summary').textContent,
  messages: document.getElementById('messages').textContent,
  banner: document.getElementById('banner').hidden ? null : document.getElementById('banner').textContent,
  note: document.getElementById('view-note').hidden ? null : document.getElementById('view-note').textContent,
  legend: [...document.querySelectorAll('#legend li')].map((item) => item.textContent),
  pairs: [...document.querySelectorAll('#pairs button')].map((button) => button.textContent),
  chosen: [...document.querySelectorAll('#pairs button')].findIndex((button) => button.classList.contains('on')),
  status: document.getElementById('status').textContent,
  bodyStatus: document.body.dataset.status,
  headTop: document.getElementById('file').getBoundingClientRect().top,
  summaryBottom: document.getElementById('summary').getBoundingClientRect().bottom,
  scrolled: document.scrollingElement.scrollTop + document.getElementById('panel').scrollTop,
})`;
async function panel(browser) {
  return JSON.parse(await browser.evaluate(panelText));
}
function checkOpened(name, browser, shown) {
  check(shown.bodyStatus === 'ready', `${name}: the page ran to the end (${shown.status})`);
  check(browser.logged.length === 0, `${name}: nothing logged to the console ${browser.logged.join(' | ')}`);
}
const shot = (name) => path.join(workDir, `${name}.png`);

async function withChromium(flags, work) {
  const browser = await Chromium.start(flags);
  try {
    await work(browser);
  } finally {
    await browser.close();
  }
}

const example = () => runTarvel('example', path.join(sourceDir, 'examples/facing_grids.lwo'), ['--select-polygons', '0-24']);

if (testCase === 'example') {
  // The bundled example: one pair, Red 1, DkRed 15, Blue 0.
  const { html } = example();
  await withChromium([], async (browser) => {
    const seconds = await browser.open(`file://${html}`);
    const shown = await panel(browser);
    checkOpened('example', browser, shown);
    console.log(`example: ready in ${seconds.toFixed(1)} s; ${shown.status}`);
    check(JSON.stringify(shown.pairs) === '["Pair 1: 16 links (Red 1, DkRed 15)"]', `example: one pair listed (${shown.pairs})`);
    check(shown.file === 'facing_grids.lwo' && shown.fileTitle === 'facing_grids.lwo', 'example: the file named, in full on hover');
    check(/1 pair linked, 16 links \(Red 1, DkRed 15, Blue 0\), 25 polygons removed/.test(shown.summary), 'example: the summary counts');
    check(shown.banner === null, 'example: no message banner');
    check(/1 polygon of context/.test(shown.status), 'example: "1 polygon", not "1 polygons"');
    check(/^Red \(1 link\): where a pair starts/.test(shown.legend[0]) && /^DkRed \(15 links\): every other point/.test(shown.legend[1]) &&
      /^Blue \(0 links\): points of the other patch/.test(shown.legend[2]), 'example: the legend says what each link colour means');
    // The first frame's time is reported, not judged: speed is shown by the benchmark.
    console.log(`example: first frame in ${firstFrameSeconds(shown.status)} s`);
    const image = await browser.screenshot(shot('example'));
    checkViewport('example', image);
    const counts = linkCounts(image);
    console.log(`pixels: red ${counts.red}, dark red ${counts.darkRed}, blue ${counts.blue}`);
    check(counts.red > 300, 'example: the Red link drawn in red, wide');
    check(counts.darkRed > 1000, 'example: the DkRed links drawn in dark red');
    check(counts.blue === 0, 'example: nothing blue (no Blue link)');
    check(counts.red < counts.darkRed, 'example: one Red link, fifteen DkRed ones');

    // Before the run: the removed patches, lit, and no link; the title and summary in view.
    await browser.open(`file://${html}#before`);
    const before = await browser.screenshot(shot('example-before'));
    const shownBefore = await panel(browser);
    check(shownBefore.headTop >= 0 && shownBefore.summaryBottom <= 800 && shownBefore.scrolled === 0,
      `example: with #before the title and summary stay in view (top ${shownBefore.headTop})`);
    const lit = shading(before);
    const beforeLinks = linkCounts(before);
    console.log(`pixels before the run: removed patches ${lit.pixels}, their brightness spread ${lit.spread.toFixed(1)}; links ${JSON.stringify(beforeLinks)}`);
    check(lit.pixels > 20000, 'example: before the run, the removed patches shaded in orange');
    check(lit.spread >= 6, 'example: the patches lit, not flat (their brightness spreads)');
    check(beforeLinks.red + beforeLinks.darkRed + beforeLinks.blue < 20, 'example: before the run, no link');
  });
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
  await withChromium([], async (browser) => {
    await browser.open(`file://${html}`);
    const shown = await panel(browser);
    checkOpened('pairs', browser, shown);
    check(summary && Number(summary[1]) === 3 && shown.pairs.length === 3, `pairs: three pairs linked and listed (${shown.pairs.join('; ')})`);
    check(shown.pairs.every((item) => /\(Red 1,/.test(item)), 'pairs: each listed pair has one Red link');
    const all = linkCounts(await browser.screenshot(shot('pairs')));
    console.log(`pixels: ${JSON.stringify(all)}`);
    check(all.red > 100 && all.darkRed > 100, 'pairs: Red and DkRed links drawn');
    check(Number(summary[5]) > 0 && all.blue > 50, `pairs: the Blue links (${summary[5]}) drawn in blue`);
    // Stepping with the keys to the third pair (which has no Blue link) and framing the whole
    // run again: the third pair alone, the other pairs' links gone, until asked for.
    for (const key of ['n', 'n', 'n']) await browser.key(key);
    check((await panel(browser)).chosen === 2, 'pairs: N three times chooses the third pair');
    const framed = linkCounts(await browser.screenshot(shot('pairs-3')));
    await browser.click('frame');
    const alone = linkCounts(await browser.screenshot(shot('pairs-3-alone')));
    await browser.click('others');
    const withOthers = linkCounts(await browser.screenshot(shot('pairs-3-others')));
    console.log(`pixels, pair 3 framed: ${JSON.stringify(framed)}; in the whole run's frame: ${JSON.stringify(alone)}; with the others' links: ${JSON.stringify(withOthers)}`);
    check(framed.darkRed > all.darkRed && framed.blue === 0, 'pairs: the third pair fills the view');
    check(alone.blue === 0 && alone.red < all.red && alone.red > 0, 'pairs: the third pair alone: the other pairs\' links gone');
    check(withOthers.blue > 0, 'pairs: the other pairs\' links back on demand');
    await browser.key('Escape');
    check((await panel(browser)).chosen === -1, 'pairs: Escape shows every pair again');
  });
} else if (testCase === 'stopped') {
  // Two patches that face away from each other: the tool stops with its message.
  const input = path.join(workDir, 'away.obj');
  fs.writeFileSync(input, gridsObj([{ nx: 4, ny: 4, x: 0, y: 0, z: 0, down: true },
                                     { nx: 4, ny: 4, x: 0, y: 0, z: 2, down: false }]));
  // The tool's message goes to standard error.
  const { html, stderr } = runTarvel('stopped', input);
  const message = stderr.split('\n')[0].replace(/^Error: /, '');
  await withChromium([], async (browser) => {
    await browser.open(`file://${html}`);
    const shown = await panel(browser);
    checkOpened('stopped', browser, shown);
    check(shown.banner !== null && shown.banner.includes(message), `stopped: the message "${message}" shown over the view`);
    check(shown.pairs.length === 0, 'stopped: no pairs');
    const image = await browser.screenshot(shot('stopped'));
    checkViewport('stopped', image);
    const normals = countColour(image, colours.normal, 60);
    console.log(`pixels: normals ${normals}`);
    check(normals > 20, 'stopped: the normals drawn');
    check(countColour(image, colours.red) === 0, 'stopped: no links');
  });
} else if (testCase === 'nowebgl') {
  // A browser without WebGL: the panel is the report, and the view says why it is empty.
  const { html } = example();
  await withChromium(['--disable-webgl', '--disable-3d-apis'], async (browser) => {
    await browser.open(`file://${html}`);
    const shown = await panel(browser);
    checkOpened('without WebGL', browser, shown);
    check(shown.file === 'facing_grids.lwo' && /1 pair linked/.test(shown.summary), 'without WebGL: the file and the summary');
    check(shown.pairs.length === 1 && shown.legend.length >= 6, 'without WebGL: the legend and the pairs');
    check(/needs WebGL/.test(shown.note ?? ''), `without WebGL: one line says the 3D view needs WebGL (${shown.note})`);
    await browser.screenshot(shot('nowebgl'));
  });
} else if (testCase === 'firefox') {
  // Firefox headless cannot create a WebGL context here: its screenshot must still show the
  // panel (the title's and the summary's dark text, the legend's swatches) and the note in the
  // view (light text on the dark view).
  const { html } = example();
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvel-firefox-'));
  const file = shot('firefox');
  fs.rmSync(file, { force: true });
  try {
    const result = spawnSync('firefox-esr', ['--headless', '--no-remote', '--profile', profile,
      '--window-size=1280,800', '--screenshot', file, `file://${html}`], { encoding: 'utf8', timeout: 180000 });
    console.log(result.stderr.split('\n').filter((line) => line.trim()).slice(0, 5).join('\n'));
  } finally {
    fs.rmSync(profile, { recursive: true, force: true });
  }
  check(fs.existsSync(file), 'firefox: a screenshot written');
  const image = readPng(fs.readFileSync(file));
  let headText = 0, noteText = 0, redSwatch = 0;
  for (let y = 0; y < image.height; y++) {
    for (let x = 0; x < image.width; x++) {
      const rgb = image.rgb(x, y);
      if (x >= image.width - panelWidth && y < 140 && luminance(rgb) < 90) headText++;
      if (x < image.width - panelWidth && luminance(rgb) > 180) noteText++;
      if (x >= image.width - panelWidth && near(rgb, colours.red, 30)) redSwatch++;
    }
  }
  console.log(`firefox: title and summary text ${headText} pixels, note in the view ${noteText}, red swatch ${redSwatch}`);
  check(headText > 400, 'firefox: the file name and summary shown');
  check(noteText > 200, 'firefox: the view says the 3D view needs WebGL');
  check(redSwatch > 100, 'firefox: the legend shown');
} else if (testCase === 'scale') {
  // Sizes: everything selected and linked (180,000 and about 1,000,000 polygons), and a small
  // selection in a large unselected model, whose context the page reduces.
  const cases = [
    { name: 'run180k', grids: [{ nx: 300, ny: 300, x: 0, y: 0, z: 0 }, { nx: 300, ny: 300, x: 0, y: 0, z: 5, down: true }], limit: 20e6,
      extra: ['--svg', path.join(workDir, 'run180k.svg')], svgLimit: 2e6 },
    { name: 'run1m', grids: [{ nx: 708, ny: 708, x: 0, y: 0, z: 0 }, { nx: 708, ny: 708, x: 0, y: 0, z: 9, down: true }], limit: 30e6,
      extra: ['--svg', path.join(workDir, 'run1m.svg')], svgLimit: 5e6 },
    { name: 'context1m', grids: [{ nx: 10, ny: 10, x: 0, y: 0, z: 0, name: 'low' }, { nx: 10, ny: 10, x: 0, y: 0, z: 3, down: true, name: 'high' },
      { nx: 1000, ny: 1000, x: -500, y: -500, z: -5, name: 'floor' }], limit: 10e6,
      extra: ['--select-polygons', '0-199', '--svg', path.join(workDir, 'context1m.svg')] },
  ];
  await withChromium([], async (browser) => {
    for (const c of cases) {
      const input = path.join(workDir, `${c.name}.obj`);
      fs.writeFileSync(input, gridsObj(c.grids));
      const { html } = runTarvel(c.name, input, c.extra ?? []);
      fs.rmSync(input);
      fs.rmSync(path.join(workDir, `${c.name}.out.obj`));
      const size = fs.statSync(html).size;
      console.log(`${c.name}: page ${(size / 1e6).toFixed(1)} MB`);
      check(size < c.limit, `${c.name}: the page is under ${c.limit / 1e6} MB`);
      const seconds = await browser.open(`file://${html}#before`, 300);
      const shown = await panel(browser);
      console.log(`${c.name}: ready in ${seconds.toFixed(1)} s; ${shown.status}`);
      checkOpened(c.name, browser, shown);
      console.log(`${c.name}: first frame in ${firstFrameSeconds(shown.status)} s`);
      const image = await browser.screenshot(shot(c.name));
      checkViewport(c.name, image);
      if (c.svgLimit) {
        const lit = shading(image);
        console.log(`${c.name}: removed patches ${lit.pixels} pixels, brightness spread ${lit.spread.toFixed(1)}`);
        check(lit.pixels > 20000 && lit.spread >= 6, `${c.name}: the removed patches shaded and lit`);
        const svg = fs.readFileSync(path.join(workDir, `${c.name}.svg`), 'utf8');
        console.log(`${c.name}: picture ${(svg.length / 1e6).toFixed(2)} MB`);
        check(svg.length < c.svgLimit && /Simplified: The selection/.test(svg), `${c.name}: the picture under ${c.svgLimit / 1e6} MB, saying it simplified`);
      } else {
        check(/Context reduced: of the 1,000,000 unselected polygons/.test(await browser.evaluate('document.getElementById("note").textContent')),
          'context1m: the page says the context is reduced');
        // The picture too follows the selection: of the floor, its boundary where it crosses
        // the frame.
        const svg = fs.readFileSync(path.join(workDir, 'context1m.svg'), 'utf8');
        console.log(`context1m: picture ${(svg.length / 1e3).toFixed(0)} kB`);
        check(svg.length < 200e3, 'context1m: the picture stays small');
      }
    }
  });
} else {
  throw new Error(`unknown case ${testCase}`);
}

if (failures.length > 0) {
  console.log(`${failures.length} check(s) failed`);
  process.exit(1);
}
