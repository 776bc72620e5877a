// Drives headless Chromium through its DevTools protocol on a pipe: open a page, wait until
// the page says it is ready, look at it (a screenshot's pixels), press keys, read what it logged.
// Also reads the PNG files browsers write.
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';

// Whether `program` can be run; the reason it cannot otherwise.
export function missingProgram(program) {
  const result = spawnSync(program, ['--version'], { encoding: 'utf8', timeout: 60000 });
  return result.error ? `${program} is not installed (${result.error.code})` : null;
}

// Chromium as the checks run it: headless, software rendering, a fresh profile, no network
// services; every name it would look up fails, so a page that reached for an address logs an
// error.
export const chromiumFlags = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--no-default-browser-check', '--host-resolver-rules=MAP * ~NOTFOUND', '--window-size=1280,800',
];

// Messages the browser itself logs about drawing WebGL in software; the page has no say in them.
const browserNotes = [/GPU stall due to ReadPixels/, /Automatic fallback to software WebGL/];

export class Chromium {
  static async start(extraFlags = []) {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvel-chromium-'));
    const child = spawn('chromium', [...chromiumFlags, ...extraFlags, `--user-data-dir=${profile}`,
      '--remote-debugging-pipe', 'about:blank'], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
    child.stderr.resume();
    const browser = new Chromium(child, profile);
    const { targetInfos } = await browser.send('Target.getTargets');
    const page = targetInfos.find((target) => target.type === 'page');
    const { sessionId } = await browser.send('Target.attachToTarget', { targetId: page.targetId, flatten: true });
    browser.sessionId = sessionId;
    for (const domain of ['Page', 'Runtime', 'Log']) await browser.command(`${domain}.enable`);
    await browser.command('Emulation.setDeviceMetricsOverride', { width: 1280, height: 800, deviceScaleFactor: 1, mobile: false });
    return browser;
  }

  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 1;
    this.waiting = new Map();
    this.logged = [];
    let buffer = Buffer.alloc(0);
    child.stdio[4].on('data', (chunk) => {
      buffer = Buffer.concat([buffer, chunk]);
      for (let end = buffer.indexOf(0); end >= 0; end = buffer.indexOf(0)) {
        this.receive(JSON.parse(buffer.subarray(0, end).toString('utf8')));
        buffer = buffer.subarray(end + 1);
      }
    });
  }

  receive(message) {
    if (message.id !== undefined) {
      const { resolve, reject } = this.waiting.get(message.id);
      this.waiting.delete(message.id);
      if (message.error) reject(new Error(`${message.error.message} (${JSON.stringify(message.error.data ?? '')})`));
      else resolve(message.result);
      return;
    }
    const p = message.params;
    let text = null;
    if (message.method === 'Runtime.consoleAPICalled') {
      text = `console.${p.type}: ${p.args.map((arg) => arg.value ?? arg.description).join(' ')}`;
    } else if (message.method === 'Runtime.exceptionThrown') {
      text = `exception: ${p.exceptionDetails.exception?.description ?? p.exceptionDetails.text}`;
    } else if (message.method === 'Log.entryAdded') {
      text = `${p.entry.level}: ${p.entry.text}`;
    }
    if (text !== null && !browserNotes.some((note) => note.test(text))) this.logged.push(text);
  }

  send(method, params = {}, sessionId) {
    const id = this.nextId++;
    const message = JSON.stringify({ id, method, params, ...(sessionId ? { sessionId } : {}) });
    return new Promise((resolve, reject) => {
      this.waiting.set(id, { resolve, reject });
      this.child.stdio[3].write(message + '\0');
    });
  }

  command(method, params = {}) {
    return this.send(method, params, this.sessionId);
  }

  async evaluate(expression) {
    const { result, exceptionDetails } = await this.command('Runtime.evaluate',
      { expression, awaitPromise: true, returnByValue: true });
    if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.exception?.description}`);
    return result.value;
  }

  // Opens `url` and waits until the page's body says it is no longer loading, and its last
  // frame is on the screen. Gives the time that took.
  async open(url, timeoutSeconds = 120) {
    this.logged = [];
    // A page of its own each time, even when only the address fragment differs.
    await this.command('Page.navigate', { url: 'about:blank' });
    const started = Date.now();
    await this.command('Page.navigate', { url });
    for (;;) {
      const status = await this.evaluate('document.body ? document.body.dataset.status : "loading"').catch(() => 'loading');
      if (status && status !== 'loading') break;
      if (Date.now() - started > timeoutSeconds * 1000) throw new Error(`${url}: not ready after ${timeoutSeconds} s`);
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    await this.settle();
    return (Date.now() - started) / 1000;
  }

  // Waits for two frames: whatever the page drew is then on the screen.
  settle() {
    return this.evaluate('new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(() => done(true))))');
  }

  async key(key) {
    for (const type of ['keyDown', 'keyUp']) await this.command('Input.dispatchKeyEvent', { type, key });
    await this.settle();
  }

  async click(id) {
    await this.evaluate(`document.getElementById(${JSON.stringify(id)}).click()`);
    await this.settle();
  }

  // The screenshot, decoded; saved as `file` too.
  async screenshot(file) {
    const { data } = await this.command('Page.captureScreenshot', { format: 'png' });
    const png = Buffer.from(data, 'base64');
    fs.writeFileSync(file, png);
    return readPng(png);
  }

  async close() {
    const exited = new Promise((resolve) => this.child.once('exit', resolve));
    this.child.kill();
    await Promise.race([exited, new Promise((resolve) => setTimeout(resolve, 10000))]);
    // The browser's helpers may still be writing to the profile for a moment.
    try {
      fs.rmSync(this.profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 200 });
    } catch (error) {
      console.log(`note: ${this.profile} left behind (${error.code})`);
    }
  }
}

// A PNG file's pixels as { width, height, rgb(x, y) }.
export function readPng(png) {
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
