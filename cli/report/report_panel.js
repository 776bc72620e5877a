// The report page's panel: the run's file, summary, messages, legend and pairs, read from the
// data in #run-data (see report_data.h). A plain script that needs neither WebGL nor modules,
// so that the report reads in any browser; the 3D view (report_page.js) finds the data, the
// decoded links and the page's state in window.tarvelReport, and is told of every change
// through its redraw().
(function () {
  'use strict';
  const data = JSON.parse(document.getElementById('run-data').textContent);
  const element = (id) => document.getElementById(id);
  function make(tag, text, className) {
    const node = document.createElement(tag);
    if (text !== undefined) node.textContent = text;
    if (className) node.className = className;
    return node;
  }
  // "1 polygon", "2,000 polygons".
  function count(number, noun, plural) {
    return `${Number(number).toLocaleString('en')} ${number === 1 ? noun : plural ?? noun + 's'}`;
  }

  // Colours of the 3D view and of the legend.
  const colours = {
    background: 0x2b2d30, gridMinor: 0x3b3e42, gridMajor: 0x575b61,
    Red: 0xff3030, DkRed: 0xb00000, Blue: 0x3f7cff, other: 0xe0e0e0,
    removed: 0xe8893c, removedEdge: 0x5a2a06, removedOutline: 0xffb070,
    kept: 0x5b9bd5, keptEdge: 0x1f4f7f, context: 0x8f9296, contextEdge: 0x5a5d61,
    normalBase: 0x00c060, normalTip: 0x9dffc9,
  };

  function base64Bytes(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }
  // Unsigned LEB128 numbers, and zigzag-coded steps from the point before.
  class NumberReader {
    constructor(text) { this.bytes = base64Bytes(text); this.at = 0; this.point = 0; }
    more() { return this.at < this.bytes.length; }
    next() {
      let value = 0, scale = 1, byte;
      do {
        byte = this.bytes[this.at++];
        value += (byte & 0x7f) * scale;
        scale *= 128;
      } while (byte & 0x80);
      return value;
    }
    nextPoint() {
      const step = this.next();
      this.point += step % 2 ? -(step + 1) / 2 : step / 2;
      return this.point;
    }
  }

  // Links: their two points and tag; a pair is the run of links from its Red link to the next.
  const linkTags = base64Bytes(data.linkTags);
  const linkPoints = new Uint32Array(2 * linkTags.length);
  const reader = new NumberReader(data.links);
  for (let k = 0; k < linkPoints.length; k++) linkPoints[k] = reader.nextPoint();
  const pairs = [];
  const tagCounts = new Map();
  linkTags.forEach((tagIndex, k) => {
    const tag = data.tags[tagIndex];
    if (tag === 'Red' || pairs.length === 0) {
      pairs.push({ first: k, end: k, counts: new Map(), patches: (data.pairPatches ?? [])[pairs.length] ?? [] });
    }
    const pair = pairs[pairs.length - 1];
    pair.end = k + 1;
    pair.counts.set(tag, (pair.counts.get(tag) ?? 0) + 1);
    tagCounts.set(tag, (tagCounts.get(tag) ?? 0) + 1);
  });
  const stopped = linkTags.length === 0;

  // three.js draws through WebGL 2; a browser that cannot start it gets the panel alone.
  function webgl2() {
    try {
      const gl = document.createElement('canvas').getContext('webgl2');
      if (!gl) return false;
      gl.getExtension('WEBGL_lose_context')?.loseContext();
      return true;
    } catch (error) {
      return false;
    }
  }

  const report = {
    data, colours, base64Bytes, NumberReader, linkTags, linkPoints, pairs, stopped,
    webgl: webgl2(),
    // What the view shows: 0 before the run, 1 after it, between a blend; the chosen pair's
    // index, -1 for all.
    state: { blend: 1, chosen: -1 },
    redraw: () => {},
  };
  window.tarvelReport = report;

  // ---- The run -----------------------------------------------------------------------------

  const file = element('file');
  file.textContent = data.file;
  file.title = data.file;
  element('summary').textContent = `${data.summary} \u2014 ${count(data.polygons, 'polygon')}, ` +
    `${Number(data.selected).toLocaleString('en')} selected.`;
  for (const message of data.messages) {
    const box = make('div', undefined, `message ${message.title}`);
    box.append(make('b', `${message.title}: ${message.text}`));
    if (message.text2) box.append(message.text2);
    element('messages').append(box);
  }
  if (stopped && data.messages.length > 0) {
    const banner = element('banner');
    for (const message of data.messages) {
      banner.append(make('b', message.text), make('br'), message.text2, make('br'));
    }
    banner.hidden = false;
  } else if (data.stopReason) {
    // Stopped without a message of the tool's: what it found, in the panel and over the view.
    const box = make('div', undefined, 'message info');
    box.append(make('b', 'Nothing changed: '), data.stopReason);
    element('messages').append(box);
    const banner = element('banner');
    banner.append(make('b', 'Nothing changed'), make('br'), data.stopReason);
    banner.hidden = false;
  }
  element('note').textContent = data.contextNote;

  // ---- The legend --------------------------------------------------------------------------

  const meanings = {
    Red: 'where a pair starts: one per pair, from the point of one patch\u2019s boundary ' +
      'that comes first around the pair to the point of the other patch\u2019s boundary ' +
      'nearest to it by angle. Drawn wider, over the others.',
    DkRed: 'every other point of that first patch\u2019s boundary, each to the point of the ' +
      'other patch\u2019s boundary nearest to it by angle.',
    Blue: 'points of the other patch\u2019s boundary that no Red or DkRed link reached, each ' +
      'back to the point of the first patch\u2019s boundary nearest to it by angle.',
  };
  const hex = (colour) => `#${colour.toString(16).padStart(6, '0')}`;
  const legend = [...new Set(['Red', 'DkRed', 'Blue', ...tagCounts.keys()])].map((tag) => [
    `${tag} (${count(tagCounts.get(tag) ?? 0, 'link')}): ` +
      (meanings[tag] ?? 'links with a tag the tool does not give.'),
    colours[tag] ?? colours.other]);
  legend.push(
    [`Polygons the run removed (${count(data.removedCount, 'polygon')}): shaded before the ` +
      'run, their patches\u2019 boundaries after it.', colours.removed],
    [`Selected polygons the run kept (${count(data.keptCount, 'polygon')}): no patch faced ` +
      'them.', colours.kept],
    [`The rest of the layer (${count(data.contextTotal ?? data.contextCount, 'polygon')}), ` +
      'not selected.', colours.context],
    ['Normals, on demand: an arrow from each selected polygon\u2019s centre.', colours.normalBase]);
  for (const [label, colour] of legend) {
    const item = make('li', label);
    const swatch = make('span');
    swatch.style.background = hex(colour);
    item.prepend(swatch);
    element('legend').append(item);
  }

  // ---- The pairs ---------------------------------------------------------------------------

  // Pairs listed in the panel; the keys step through all of them.
  const pairListLimit = 2000;
  element('pairs-title').textContent = stopped ? 'No pairs linked'
    : `${pairs.length === 1 ? 'Pair' : 'Pairs'} (${count(pairs.length, 'pair')}, each from its Red link)`;
  const buttons = [];
  pairs.slice(0, pairListLimit).forEach((pair, k) => {
    const text = `Pair ${k + 1}: ${count(pair.end - pair.first, 'link')} (` +
      [...pair.counts].map(([tag, number]) => `${tag} ${number}`).join(', ') + ')';
    const button = make('button', text);
    button.addEventListener('click', () => choose(report.state.chosen === k ? -1 : k));
    buttons.push(button);
    const item = make('li');
    item.append(button);
    element('pairs').append(item);
  });
  if (pairs.length > pairListLimit) {
    element('pairs').append(make('li', `\u2026 and ${count(pairs.length - pairListLimit, 'more pair')}`));
  }

  function choose(index) {
    report.state.chosen = index;
    buttons.forEach((button, k) => button.classList.toggle('on', k === index));
    buttons[index]?.scrollIntoView({ block: 'nearest' });
    report.redraw('pair');
  }
  function blend(value) {
    report.state.blend = value;
    element('blend').value = String(Math.round(100 * value));
    element('show-before').classList.toggle('on', value === 0);
    element('show-after').classList.toggle('on', value === 1);
    report.redraw('blend');
  }
  report.choose = choose;
  element('show-before').addEventListener('click', () => blend(0));
  element('show-after').addEventListener('click', () => blend(1));
  element('blend').addEventListener('input', (event) => blend(Number(event.target.value) / 100));
  addEventListener('keydown', (event) => {
    if (event.target instanceof HTMLInputElement || event.altKey || event.ctrlKey || event.metaKey) return;
    const now = report.state.chosen;
    if ((event.key === 'n' || event.key === 'ArrowDown') && pairs.length > 0) {
      choose((now + 1) % pairs.length);
    } else if ((event.key === 'p' || event.key === 'ArrowUp') && pairs.length > 0) {
      choose(now <= 0 ? pairs.length - 1 : now - 1);
    } else if (event.key === 'Escape') {
      choose(-1);
    } else {
      return;
    }
    event.preventDefault();
  });

  // "#pair=N" at the end of the page's address opens on pair N, "#before" on the state before
  // the run. No element of the page has either name, so the panel stays where it is.
  const chosen = /^#pair=(\d+)$/.exec(location.hash);
  if (chosen && Number(chosen[1]) >= 1 && Number(chosen[1]) <= pairs.length) choose(Number(chosen[1]) - 1);
  blend(location.hash === '#before' ? 0 : 1);

  if (!report.webgl) {
    const note = element('view-note');
    note.textContent = 'The 3D view needs WebGL 2, which this browser could not start. ' +
      'The run\u2019s file, summary, messages and pairs are in the panel.';
    note.hidden = false;
    for (const control of document.querySelectorAll('.controls')) control.hidden = true;
    element('status').textContent = 'No 3D view: this browser could not start WebGL 2.';
    document.body.dataset.status = 'ready';
  }
})();
