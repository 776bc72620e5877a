// The report page of a tarvel run: the mesh before and after, in 3D, with the run's messages
// and the pairs it linked. The data comes from the element #run-data (see report_data.h).
import * as THREE from 'three';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';

const data = JSON.parse(document.getElementById('run-data').textContent);

const colours = {
  Red: 0xff0000, DkRed: 0x8b0000, Blue: 0x0000ff, other: 0x000000,
  removed: 0xf5a05a, removedEdge: 0xc0500a, kept: 0x7fb8e6, keptEdge: 0x1f5f9f,
  context: 0xd0d0d0, contextEdge: 0x909090, normalBase: 0x008c46, normalTip: 0x9dffc9,
};
// Links drawn as tubes up to this many; as one-pixel lines above it.
const tubeLimit = 50000;
// Pairs listed in the panel (each framed on a click).
const pairListLimit = 2000;

// ---- Reading the data --------------------------------------------------------------------

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

const positions = new Float32Array(base64Bytes(data.points).buffer);
const position = new THREE.BufferAttribute(positions, 3);

function pointAt(index) {
  return new THREE.Vector3().fromArray(positions, 3 * index);
}

// Polygons as triangle fans, their edges (up to `edgeLimit` polygons: beyond, the edges are
// closer than pixels), and each polygon's centre and Newell normal.
const edgeLimit = 200000;
function readPolygons(text, count) {
  const reader = new NumberReader(text);
  const triangles = [], edges = [];
  const centres = new Float32Array(3 * count), normals = new Float32Array(3 * count);
  let faceCount = 0;
  const withEdges = count <= edgeLimit;
  const p = positions;
  let areaRoots = 0;
  const points = [];
  while (reader.more()) {
    const size = reader.next();
    points.length = 0;
    for (let k = 0; k < size; k++) points.push(reader.nextPoint());
    if (size === 2 || withEdges) {
      for (let k = 0; k < (size === 2 ? 1 : size); k++) edges.push(points[k], points[(k + 1) % size]);
    }
    if (size < 3) continue;
    let cx = 0, cy = 0, cz = 0, nx = 0, ny = 0, nz = 0;
    for (let k = 0; k < size; k++) {
      const a = 3 * points[k], b = 3 * points[(k + 1) % size];
      cx += p[a]; cy += p[a + 1]; cz += p[a + 2];
      nx += (p[a + 1] - p[b + 1]) * (p[a + 2] + p[b + 2]);
      ny += (p[a + 2] - p[b + 2]) * (p[a] + p[b]);
      nz += (p[a] - p[b]) * (p[a + 1] + p[b + 1]);
      if (k >= 2) triangles.push(points[0], points[k - 1], points[k]);
    }
    const length = Math.hypot(nx, ny, nz);
    areaRoots += Math.sqrt(length / 2);
    centres.set([cx / size, cy / size, cz / size], 3 * faceCount);
    normals.set(length > 0 ? [nx / length, ny / length, nz / length] : [0, 0, 0], 3 * faceCount);
    faceCount++;
  }
  return { triangles, edges, centres, normals, faceCount, areaRoots };
}

function readEdges(text) {
  const reader = new NumberReader(text);
  const edges = [];
  while (reader.more()) edges.push(reader.nextPoint());
  return edges;
}

// ---- Building the scene --------------------------------------------------------------------

function indexed(indices) {
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', position);
  const big = positions.length / 3 > 65535;
  geometry.setIndex(new THREE.BufferAttribute(big ? new Uint32Array(indices) : new Uint16Array(indices), 1));
  return geometry;
}

function faces(polygons, colour, edgeColour, options = {}) {
  const group = new THREE.Group();
  if (polygons.triangles.length > 0) {
    const material = new THREE.MeshLambertMaterial({
      color: colour, side: THREE.DoubleSide, flatShading: true,
      polygonOffset: true, polygonOffsetFactor: 1, polygonOffsetUnits: 1, ...options,
    });
    group.add(new THREE.Mesh(indexed(polygons.triangles), material));
  }
  if (polygons.edges.length > 0) {
    const material = new THREE.LineBasicMaterial({ color: edgeColour, ...options });
    group.add(new THREE.LineSegments(indexed(polygons.edges), material));
  }
  return group;
}

// An arrow from each polygon's centre along its normal: solid arrows up to `tubeLimit`
// polygons, lines light at the tip above it.
function normalArrows(polygons, length) {
  const count = polygons.faceCount;
  const centre = new THREE.Vector3(), normal = new THREE.Vector3();
  if (count > tubeLimit) {
    const ends = [], tints = [];
    const base = new THREE.Color(colours.normalBase), tip = new THREE.Color(colours.normalTip);
    for (let k = 0; k < count; k++) {
      centre.fromArray(polygons.centres, 3 * k);
      const end = normal.fromArray(polygons.normals, 3 * k).multiplyScalar(length).add(centre);
      ends.push(centre.x, centre.y, centre.z, end.x, end.y, end.z);
      tints.push(base.r, base.g, base.b, tip.r, tip.g, tip.b);
    }
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute('position', new THREE.Float32BufferAttribute(ends, 3));
    geometry.setAttribute('color', new THREE.Float32BufferAttribute(tints, 3));
    return new THREE.LineSegments(geometry, new THREE.LineBasicMaterial({ vertexColors: true }));
  }
  // A shaft and a head along +y from the origin, of length 1.
  const shaft = new THREE.CylinderGeometry(0.035, 0.035, 0.7, 6).translate(0, 0.35, 0);
  const head = new THREE.ConeGeometry(0.12, 0.3, 8).translate(0, 0.85, 0);
  const material = new THREE.MeshBasicMaterial({ color: colours.normalBase });
  const group = new THREE.Group();
  const up = new THREE.Vector3(0, 1, 0), turn = new THREE.Quaternion(), matrix = new THREE.Matrix4();
  const scale = new THREE.Vector3(length, length, length);
  for (const geometry of [shaft, head]) {
    const mesh = new THREE.InstancedMesh(geometry, material, count);
    for (let k = 0; k < count; k++) {
      turn.setFromUnitVectors(up, normal.fromArray(polygons.normals, 3 * k));
      mesh.setMatrixAt(k, matrix.compose(centre.fromArray(polygons.centres, 3 * k), turn, scale));
    }
    group.add(mesh);
  }
  return group;
}

// Links in the colour their tag names; each pair is the run from its Red link to the next.
function readLinks() {
  const reader = new NumberReader(data.links);
  const tags = base64Bytes(data.linkTags);
  const links = [];
  for (const tagIndex of tags) {
    const tag = data.tags[tagIndex];
    links.push({ tag, from: reader.nextPoint(), to: reader.nextPoint() });
  }
  const pairs = [];
  for (const link of links) {
    if (link.tag === 'Red' || pairs.length === 0) pairs.push({ links: [], box: new THREE.Box3() });
    const pair = pairs[pairs.length - 1];
    pair.links.push(link);
    pair.box.expandByPoint(pointAt(link.from)).expandByPoint(pointAt(link.to));
    link.pair = pair;
  }
  for (const pair of pairs) pair.radius = pair.box.getBoundingSphere(new THREE.Sphere()).radius;
  return { links, pairs };
}

// Links as tubes as wide as a small part of their pair's size, or as lines.
function linkObjects(links) {
  const group = new THREE.Group();
  const asTubes = links.length <= tubeLimit;
  const byColour = new Map();
  for (const link of links) {
    const colour = colours[link.tag] ?? colours.other;
    if (!byColour.has(colour)) byColour.set(colour, []);
    byColour.get(colour).push(link);
  }
  const tube = new THREE.CylinderGeometry(1, 1, 1, 8, 1);
  const along = new THREE.Vector3(), up = new THREE.Vector3(0, 1, 0);
  const matrix = new THREE.Matrix4(), turn = new THREE.Quaternion();
  for (const [colour, list] of byColour) {
    const material = new THREE.MeshBasicMaterial({ color: colour });
    // The Red link of each pair is a tube wider than the rest, drawn over them.
    const red = colour === colours.Red;
    if (asTubes || (red && list.length <= tubeLimit)) {
      const mesh = new THREE.InstancedMesh(tube, material, list.length);
      list.forEach((link, k) => {
        const from = pointAt(link.from), to = pointAt(link.to);
        along.subVectors(to, from);
        const length = along.length();
        turn.setFromUnitVectors(up, length > 0 ? along.clone().divideScalar(length) : up);
        const width = (red ? 0.012 : 0.006) * link.pair.radius;
        matrix.compose(from.add(to).multiplyScalar(0.5), turn, new THREE.Vector3(width, length, width));
        mesh.setMatrixAt(k, matrix);
      });
      mesh.renderOrder = red ? 2 : 1;
      group.add(mesh);
    } else {
      const ends = list.flatMap((link) => [link.from, link.to]);
      group.add(new THREE.LineSegments(indexed(ends), new THREE.LineBasicMaterial({ color: colour })));
    }
  }
  return group;
}

// ---- The page ------------------------------------------------------------------------------

const removed = readPolygons(data.removed, data.removedCount);
const kept = readPolygons(data.kept, data.keptCount);
const context = readPolygons(data.context, data.contextCount);
const contextEdges = readEdges(data.contextEdges);
const { links, pairs } = readLinks();
const stopped = links.length === 0;
const readSeconds = performance.now() / 1000;

// What the run touched frames the first view; a run that changed nothing frames its selection.
const touched = new THREE.Box3();
const addToBox = (indices) => {
  const low = touched.min, high = touched.max;
  for (const i of indices) {
    const x = positions[3 * i], y = positions[3 * i + 1], z = positions[3 * i + 2];
    if (!Number.isFinite(x + y + z)) continue;
    if (x < low.x) low.x = x;
    if (y < low.y) low.y = y;
    if (z < low.z) low.z = z;
    if (x > high.x) high.x = x;
    if (y > high.y) high.y = y;
    if (z > high.z) high.z = z;
  }
};
links.forEach((link) => addToBox([link.from, link.to]));
addToBox(removed.triangles);
addToBox(removed.edges);
if (touched.isEmpty()) { addToBox(kept.triangles); addToBox(kept.edges); }
if (touched.isEmpty()) { addToBox(context.triangles); addToBox(context.edges); addToBox(contextEdges); }
if (touched.isEmpty()) touched.expandByPoint(new THREE.Vector3()).expandByScalar(1);
const touchedSize = Math.max(touched.getBoundingSphere(new THREE.Sphere()).radius, 1e-9);

const selectedPolygons = kept.faceCount + removed.faceCount;
const normalLength = Math.min(0.6 * (kept.areaRoots + removed.areaRoots) / Math.max(selectedPolygons, 1),
                              0.2 * touchedSize);

const scene = new THREE.Scene();
scene.background = new THREE.Color(0xffffff);
scene.add(new THREE.HemisphereLight(0xffffff, 0x808080, 2.2));
const camera = new THREE.PerspectiveCamera(40, 1, touchedSize / 1000, touchedSize * 1000);
const headLight = new THREE.DirectionalLight(0xffffff, 1.2);
camera.add(headLight);
scene.add(camera);

const contextGroup = new THREE.Group();
contextGroup.add(faces(context, colours.context, colours.contextEdge,
                       { transparent: true, opacity: 0.45, depthWrite: false }));
if (contextEdges.length > 0) {
  contextGroup.add(new THREE.LineSegments(indexed(contextEdges),
                                          new THREE.LineBasicMaterial({ color: colours.contextEdge })));
}
const keptGroup = faces(kept, colours.kept, colours.keptEdge, { transparent: true, opacity: 0.85 });
const beforeGroup = faces(removed, colours.removed, colours.removedEdge);
const afterGroup = linkObjects(links);
// Where the removed patches were, faintly, so that the links can be placed.
afterGroup.add(new THREE.LineSegments(indexed(removed.edges), new THREE.LineBasicMaterial(
  { color: colours.removedEdge, transparent: true, opacity: 0.25, depthWrite: false })));
// The normals are made when first shown: a million of them cost time nobody asked for.
const keptNormals = new THREE.Group(), removedNormals = new THREE.Group();
beforeGroup.add(removedNormals);
for (const group of [contextGroup, keptGroup, beforeGroup, afterGroup, keptNormals]) scene.add(group);
scene.traverse((object) => { object.frustumCulled = false; });

const view = document.getElementById('view');
// Smoothing edges costs more than it gives on a million polygons drawn in software.
const antialias = data.removedCount + data.keptCount + data.contextCount <= edgeLimit;
const renderer = new THREE.WebGLRenderer({ antialias, preserveDrawingBuffer: true });
renderer.setPixelRatio(window.devicePixelRatio);
view.append(renderer.domElement);
const controls = new OrbitControls(camera, renderer.domElement);
controls.screenSpacePanning = true;

// Draws once per frame at most, however many changes asked for it.
let framePending = false;
function render() {
  if (framePending) return;
  framePending = true;
  requestAnimationFrame(() => {
    framePending = false;
    renderer.render(scene, camera);
    if (document.body.dataset.status === 'loading') ready();
  });
}
controls.addEventListener('change', render);

function resize() {
  const width = view.clientWidth, height = view.clientHeight;
  renderer.setSize(width, height);
  camera.aspect = width / Math.max(height, 1);
  camera.updateProjectionMatrix();
  render();
}
new ResizeObserver(resize).observe(view);

// Looks at `box` along the run's view (across the first pair's gap), filling the view.
const axes = {
  up: new THREE.Vector3().fromArray(data.view.up),
  depth: new THREE.Vector3().fromArray(data.view.depth),
};
// With several pairs, turn about the gap's direction to where the pairs spread widest.
if (pairs.length > 1) {
  const corners = [];
  for (let k = 0; k < 8; k++) {
    corners.push(new THREE.Vector3(k & 1 ? touched.max.x : touched.min.x,
      k & 2 ? touched.max.y : touched.min.y, k & 4 ? touched.max.z : touched.min.z));
  }
  const right = new THREE.Vector3().crossVectors(axes.depth, axes.up);
  let best = -1, bestDepth = axes.depth.clone();
  for (let degrees = 0; degrees < 180; degrees += 10) {
    const angle = THREE.MathUtils.degToRad(degrees);
    const depth = axes.depth.clone().multiplyScalar(Math.cos(angle)).addScaledVector(right, Math.sin(angle));
    const across = new THREE.Vector3().crossVectors(depth, axes.up).normalize();
    const spread = Math.max(...corners.map((c) => c.dot(across))) - Math.min(...corners.map((c) => c.dot(across)));
    if (spread > best + 1e-9 * touchedSize) { best = spread; bestDepth = depth; }
  }
  axes.depth.copy(bestDepth);
}
// Without links there is no gap to look across: look at the selection from its side, a little
// from above, so that its normals show along the view rather than into it.
if (stopped && kept.faceCount > 0) {
  const spread = new THREE.Vector3();
  kept.normals.forEach((value, k) => spread.setComponent(k % 3, spread.getComponent(k % 3) + Math.abs(value)));
  const along = spread.toArray().indexOf(Math.max(...spread.toArray()));
  const up = new THREE.Vector3().setComponent(along, 1);
  const side = new THREE.Vector3().setComponent((along + 1) % 3, 1);
  axes.up.copy(up);
  axes.depth.copy(side).multiplyScalar(Math.cos(0.35)).addScaledVector(up, -Math.sin(0.35)).normalize();
}
function frame(box) {
  const sphere = box.getBoundingSphere(new THREE.Sphere());
  const radius = Math.max(sphere.radius, touchedSize * 1e-3);
  const halfAngle = THREE.MathUtils.degToRad(camera.fov / 2) * Math.min(1, camera.aspect);
  const distance = 1.15 * radius / Math.sin(halfAngle);
  camera.up.copy(axes.up);
  camera.position.copy(sphere.center).addScaledVector(axes.depth, -distance);
  camera.near = distance / 1000;
  camera.far = distance * 1000;
  camera.updateProjectionMatrix();
  controls.target.copy(sphere.center);
  controls.update();
  render();
}

// ---- The panel -----------------------------------------------------------------------------

const element = (id) => document.getElementById(id);
function make(tag, text, className) {
  const node = document.createElement(tag);
  if (text !== undefined) node.textContent = text;
  if (className) node.className = className;
  return node;
}

element('file').textContent = data.file;
element('summary').textContent =
  `${data.summary} \u2014 ${data.polygons} polygons, ${data.selected} selected.`;
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
  const banner = element('banner');
  banner.append(make('b', 'Nothing changed'), make('br'), data.stopReason);
  banner.hidden = false;
}
element('note').textContent = data.contextNote;

const tagCounts = new Map();
for (const link of links) tagCounts.set(link.tag, (tagCounts.get(link.tag) ?? 0) + 1);
const legend = [...new Set(['Red', 'DkRed', 'Blue', ...tagCounts.keys()])].map(
  (tag) => [`${tag} links: ${tagCounts.get(tag) ?? 0}`, colours[tag] ?? colours.other]);
legend.push(['removed polygons (before; outlined after)', colours.removed],
            ['selected polygons that stayed', colours.kept],
            ['rest of the layer', colours.context], ['normals', colours.normalBase]);
for (const [label, colour] of legend) {
  const item = make('li', label);
  const swatch = make('span');
  swatch.style.background = `#${colour.toString(16).padStart(6, '0')}`;
  item.prepend(swatch);
  element('legend').append(item);
}

element('pairs-title').textContent = stopped ? 'No pairs linked'
  : `Pairs (${pairs.length}, each from its Red link)`;
pairs.slice(0, pairListLimit).forEach((pair, k) => {
  const counts = new Map();
  for (const link of pair.links) counts.set(link.tag, (counts.get(link.tag) ?? 0) + 1);
  const text = `Pair ${k + 1}: ${pair.links.length} links (` +
    [...counts].map(([tag, count]) => `${tag} ${count}`).join(', ') + ')';
  const button = make('button', text);
  button.addEventListener('click', () => {
    for (const other of element('pairs').querySelectorAll('button')) other.classList.remove('on');
    button.classList.add('on');
    show('after');
    frame(pair.box);
  });
  const item = make('li');
  item.append(button);
  element('pairs').append(item);
});
if (pairs.length > pairListLimit) {
  element('pairs').append(make('li', `\u2026 and ${pairs.length - pairListLimit} more`));
}

function show(state) {
  beforeGroup.visible = state === 'before';
  afterGroup.visible = state === 'after';
  element('before').classList.toggle('on', state === 'before');
  element('after').classList.toggle('on', state === 'after');
  render();
}
function showNormals(on) {
  if (on && keptNormals.children.length === 0) {
    keptNormals.add(normalArrows(kept, normalLength));
    removedNormals.add(normalArrows(removed, normalLength));
    scene.traverse((object) => { object.frustumCulled = false; });
  }
  keptNormals.visible = on;
  removedNormals.visible = on;
  element('normals').checked = on;
  render();
}
element('before').addEventListener('click', () => show('before'));
element('after').addEventListener('click', () => show('after'));
element('frame').addEventListener('click', () => frame(touched));
element('normals').addEventListener('change', (event) => showNormals(event.target.checked));
element('context').addEventListener('change', (event) => {
  contextGroup.visible = event.target.checked;
  render();
});

// A run that stopped shows its selection with the normals drawn: they tell why.
showNormals(stopped);
show('after');
resize();
frame(touched);
// "#pair=N" at the end of the page's address opens on pair N, as if chosen in the list;
// "#before" on the state before the run.
const chosen = /^#pair=(\d+)$/.exec(location.hash);
if (chosen) element('pairs').querySelectorAll('button')[Number(chosen[1]) - 1]?.click();
if (location.hash === '#before') show('before');

// The page is ready once its first frame is drawn; the status line says what it drew.
function ready() {
  const gl = renderer.getContext();
  // From the start of loading the page: reading the file, three.js, the data, the first frame.
  const seconds = (performance.now() / 1000).toFixed(1);
  element('status').textContent =
    `Drawn: ${links.length} links, ${data.removedCount} removed and ${data.keptCount} ` +
    `kept polygons, ${data.contextCount} polygons of context; data read ` +
    `${readSeconds.toFixed(1)} s and first frame ${seconds} s after the page began loading ` +
    `(WebGL ${gl.getParameter(gl.VERSION)}).`;
  document.body.dataset.status = 'ready';
}
