// The report page's 3D view of a tarvel run: the mesh before and after, shaded and lit as in a
// modeller's viewport, over a ground grid, with an axis gizmo. The panel (report_panel.js) has
// read the data and decoded the links; it owns the page's state (before/after blend, chosen
// pair) and calls redraw() on every change.
import * as THREE from 'three';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';
import { LineSegments2 } from 'three/addons/lines/LineSegments2.js';
import { LineSegmentsGeometry } from 'three/addons/lines/LineSegmentsGeometry.js';
import { LineMaterial } from 'three/addons/lines/LineMaterial.js';

const report = window.tarvelReport;
const { data, colours, NumberReader, base64Bytes, linkTags, linkPoints, pairs, stopped } = report;

// Link widths in pixels, whatever the zoom.
const linkWidth = { Red: 4, other: 2.5 };
// Normals as solid arrows up to this many polygons; as lines above it.
const arrowLimit = 50000;
// Polygons whose edges are kept for drawing up close; beyond, they are closer than pixels.
const edgeLimit = 200000;
// Selected polygons' edges show once a polygon is this many pixels across.
const edgePixels = 7;

// ---- Reading the data --------------------------------------------------------------------

const positions = new Float32Array(base64Bytes(data.points).buffer);
const position = new THREE.BufferAttribute(positions, 3);

// The sum of the normals of the polygons around each point, as they are read.
const normalSums = new Float32Array(positions.length);

// Grows `box` to hold the point (x, y, z); a point with a coordinate that is not finite (a
// value too large for the page's numbers) is left out, so that it cannot spoil the framing.
function growBox(box, x, y, z) {
  if (!Number.isFinite(x + y + z)) return;
  const low = box.min, high = box.max;
  if (x < low.x) low.x = x;
  if (y < low.y) low.y = y;
  if (z < low.z) low.z = z;
  if (x > high.x) high.x = x;
  if (y > high.y) high.y = y;
  if (z > high.z) high.z = z;
}

// Polygons as triangle fans, their edges (up to `edgeLimit` polygons), each polygon's centre
// and Newell normal, where each polygon's triangles and edges start, and the box around them.
function readPolygons(text, count) {
  const reader = new NumberReader(text);
  const edges = [];
  let triangles = new Uint32Array(Math.max(48, 6 * count)), used = 0;
  const box = new THREE.Box3();
  const centres = new Float32Array(3 * count), normals = new Float32Array(3 * count);
  const triangleStart = new Uint32Array(count + 1), edgeStart = new Uint32Array(count + 1);
  const withEdges = count <= edgeLimit;
  const p = positions;
  let faceCount = 0, polygon = 0, areaRoots = 0;
  const points = [];
  while (reader.more()) {
    const size = reader.next();
    points.length = 0;
    for (let k = 0; k < size; k++) points.push(reader.nextPoint());
    if (size === 2 || withEdges) {
      for (let k = 0; k < (size === 2 ? 1 : size); k++) edges.push(points[k], points[(k + 1) % size]);
    }
    if (size >= 3) {
      let cx = 0, cy = 0, cz = 0, nx = 0, ny = 0, nz = 0;
      if (used + 3 * size > triangles.length) {
        const grown = new Uint32Array(2 * triangles.length + 3 * size);
        grown.set(triangles);
        triangles = grown;
      }
      for (let k = 0; k < size; k++) {
        const a = 3 * points[k], b = 3 * points[(k + 1) % size];
        const x = p[a], y = p[a + 1], z = p[a + 2];
        cx += x; cy += y; cz += z;
        growBox(box, x, y, z);
        nx += (y - p[b + 1]) * (z + p[b + 2]);
        ny += (z - p[b + 2]) * (x + p[b]);
        nz += (x - p[b]) * (y + p[b + 1]);
        if (k >= 2) {
          triangles[used++] = points[0]; triangles[used++] = points[k - 1]; triangles[used++] = points[k];
        }
      }
      const length = Math.hypot(nx, ny, nz);
      areaRoots += Math.sqrt(length / 2);
      const at = 3 * faceCount, scale = length > 0 ? 1 / length : 0;
      centres[at] = cx / size; centres[at + 1] = cy / size; centres[at + 2] = cz / size;
      normals[at] = nx * scale; normals[at + 1] = ny * scale; normals[at + 2] = nz * scale;
      for (let k = 0; k < size; k++) {
        const i = 3 * points[k];
        normalSums[i] += normals[at]; normalSums[i + 1] += normals[at + 1]; normalSums[i + 2] += normals[at + 2];
      }
      faceCount++;
    }
    polygon++;
    if (polygon <= count) {
      triangleStart[polygon] = used;
      edgeStart[polygon] = edges.length;
    }
  }
  triangles = triangles.subarray(0, used);
  return { triangles, edges, centres, normals, faceCount, areaRoots, triangleStart, edgeStart, box };
}

function readEdges(text) {
  const reader = new NumberReader(text ?? '');
  const edges = [];
  while (reader.more()) edges.push(reader.nextPoint());
  return edges;
}

const removed = readPolygons(data.removed, data.removedCount);
const kept = readPolygons(data.kept, data.keptCount);
const context = readPolygons(data.context, data.contextCount);
const contextEdges = readEdges(data.contextEdges);
const removedOutline = readEdges(data.removedOutline);
// Each patch's first polygon and first outline edge (pages of format 2 on; before, one patch).
const patchPolygons = data.patchPolygons ?? [data.removedCount];
const patchOutlines = data.patchOutlines ?? [removedOutline.length / 2];
const patchStart = [0], outlineStart = [0];
patchPolygons.forEach((number, k) => patchStart.push(patchStart[k] + number));
patchOutlines.forEach((number, k) => outlineStart.push(outlineStart[k] + 2 * number));
const readSeconds = performance.now() / 1000;

function pointAt(index) {
  return new THREE.Vector3().fromArray(positions, 3 * index);
}
function boxOf(indices, box = new THREE.Box3()) {
  for (const i of indices) growBox(box, positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]);
  return box;
}

// What the run touched frames the first view; a run that changed nothing frames its selection.
const touched = boxOf(linkPoints).union(removed.box);
boxOf(removed.edges, touched);
if (touched.isEmpty()) { touched.union(kept.box); boxOf(kept.edges, touched); }
if (touched.isEmpty()) { touched.union(context.box); boxOf(context.edges, touched); boxOf(contextEdges, touched); }
if (touched.isEmpty()) touched.expandByPoint(new THREE.Vector3()).expandByScalar(1);
const touchedSize = Math.max(touched.getBoundingSphere(new THREE.Sphere()).radius, 1e-9);
// Everything drawn: the grid lies under it.
const everything = new THREE.Box3();
for (let k = 0; k < positions.length; k += 3) {
  growBox(everything, positions[k], positions[k + 1], positions[k + 2]);
}
if (everything.isEmpty()) everything.copy(touched);

// Each point's normal: the mean direction of the polygons drawn around it.
const pointNormals = (() => {
  const sums = normalSums;
  for (let k = 0; k < sums.length; k += 3) {
    const length = Math.hypot(sums[k], sums[k + 1], sums[k + 2]) || 1;
    sums[k] /= length; sums[k + 1] /= length; sums[k + 2] /= length;
  }
  return new THREE.BufferAttribute(sums, 3);
})();

const selectedPolygons = kept.faceCount + removed.faceCount;
const polygonSize = (kept.areaRoots + removed.areaRoots) / Math.max(selectedPolygons, 1);
const normalLength = Math.min(0.6 * polygonSize, 0.2 * touchedSize);

// ---- Building the scene --------------------------------------------------------------------

const big = positions.length / 3 > 65535;
function indexed(indices) {
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', position);
  const type = big ? Uint32Array : Uint16Array;
  geometry.setIndex(new THREE.BufferAttribute(indices instanceof type ? indices : new type(indices), 1));
  return geometry;
}

// Lit faces in `colour`, seen from both sides, with the points' normals: smooth over a curved
// surface, flat on a flat one. Whichever side is seen is lit as a front: the normal is turned
// towards the viewer where it is drawn, without trusting the rasteriser's idea of front faces.
function facingViewer(shader) {
  shader.fragmentShader = shader.fragmentShader.replace('#include <normal_fragment_maps>',
    'normal = faceforward( normal, - vViewPosition, normal );\n#include <normal_fragment_maps>');
}
function shaded(indices, colour) {
  const material = new THREE.MeshPhongMaterial({
    color: colour, side: THREE.DoubleSide, shininess: 16, specular: 0x505050,
    polygonOffset: true, polygonOffsetFactor: 1, polygonOffsetUnits: 1,
  });
  material.onBeforeCompile = facingViewer;
  const geometry = indexed(indices);
  geometry.setAttribute('normal', pointNormals);
  return new THREE.Mesh(geometry, material);
}
function thinLines(indices, colour, opacity = 1) {
  return new THREE.LineSegments(indexed(indices), new THREE.LineBasicMaterial(
    { color: colour, transparent: opacity < 1, opacity, depthWrite: opacity >= 1 }));
}
// Lines `width` pixels wide at any zoom, between the point pairs of `indices`.
const wideMaterials = [];
function wideLines(indices, colour, width) {
  const ends = new Float32Array(3 * indices.length);
  indices.forEach((point, k) => ends.set(positions.subarray(3 * point, 3 * point + 3), 3 * k));
  const geometry = new LineSegmentsGeometry().setPositions(ends);
  const material = new LineMaterial({ color: colour, linewidth: width, worldUnits: false, transparent: true });
  wideMaterials.push(material);
  return new LineSegments2(geometry, material);
}

// Links of links[first, end) by colour, Red last (on top).
function linkGroup(first, end) {
  const byTag = new Map();
  for (let k = first; k < end; k++) {
    const tag = data.tags[linkTags[k]];
    if (!byTag.has(tag)) byTag.set(tag, []);
    byTag.get(tag).push(linkPoints[2 * k], linkPoints[2 * k + 1]);
  }
  const group = new THREE.Group();
  for (const [tag, ends] of [...byTag].sort(([a], [b]) => (a === 'Red') - (b === 'Red'))) {
    const lines = wideLines(ends, colours[tag] ?? colours.other, linkWidth[tag] ?? linkWidth.other);
    lines.renderOrder = tag === 'Red' ? 4 : 3;
    group.add(lines);
  }
  return group;
}

// An arrow from each polygon's centre along its normal: solid arrows up to `arrowLimit`
// polygons, lines light at the tip above it.
function normalArrows(polygons, length) {
  const count = polygons.faceCount;
  const centre = new THREE.Vector3(), normal = new THREE.Vector3();
  if (count > arrowLimit) {
    const ends = new Float32Array(6 * count), tints = new Float32Array(6 * count);
    const base = new THREE.Color(colours.normalBase), tip = new THREE.Color(colours.normalTip);
    for (let k = 0; k < count; k++) {
      centre.fromArray(polygons.centres, 3 * k);
      const end = normal.fromArray(polygons.normals, 3 * k).multiplyScalar(length).add(centre);
      ends.set([centre.x, centre.y, centre.z, end.x, end.y, end.z], 6 * k);
      tints.set([base.r, base.g, base.b, tip.r, tip.g, tip.b], 6 * k);
    }
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute('position', new THREE.BufferAttribute(ends, 3));
    geometry.setAttribute('color', new THREE.BufferAttribute(tints, 3));
    return new THREE.LineSegments(geometry, new THREE.LineBasicMaterial({ vertexColors: true }));
  }
  // A shaft and a head along +y from the origin, of length 1.
  const shaft = new THREE.CylinderGeometry(0.035, 0.035, 0.7, 6).translate(0, 0.35, 0);
  const head = new THREE.ConeGeometry(0.12, 0.3, 8).translate(0, 0.85, 0);
  const material = new THREE.MeshLambertMaterial({ color: colours.normalBase });
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

// A length as LightWave shows one: metres and their thousandths or thousands.
function length(value) {
  const units = [[1e3, 'km'], [1, 'm'], [1e-2, 'cm'], [1e-3, 'mm'], [1e-6, '\u00b5m']];
  const [scale, unit] = units.find(([s]) => value >= s * 0.999) ?? units[units.length - 1];
  return `${Number((value / scale).toPrecision(6))} ${unit}`;
}

const scene = new THREE.Scene();
scene.background = new THREE.Color(colours.background);
// A sky-and-ground light (the sky above the grid), a key light from behind the viewer's upper
// left, a fill from the right and a light at the eye: a flat patch shades from near to far,
// and turns read as turns, from any side.
const sky = new THREE.HemisphereLight(0xe6ecf2, 0x6a625a, 1.2);
scene.add(sky);
const camera = new THREE.PerspectiveCamera(40, 1, touchedSize / 1000, touchedSize * 1000);
for (const [x, y, z, intensity] of [[-0.5, 0.6, 1, 1.2], [0.6, -0.4, 1, 0.5]]) {
  const light = new THREE.DirectionalLight(0xffffff, intensity);
  light.position.set(x, y, z);
  light.target.position.set(0, 0, -1);
  camera.add(light, light.target);
}
// The light at the eye fades with distance (as 1/d, its strength set so that what the view
// looks at gets the same light at any zoom): a patch seen at a slant is brighter near the eye.
const eyeLight = new THREE.PointLight(0xffffff, 2.4, 0, 1);
camera.add(eyeLight);
function placeEyeLight() {
  eyeLight.intensity = 2.4 * camera.position.distanceTo(controls.target);
}
scene.add(camera);


// The whole run.
const contextFaces = shaded(context.triangles, colours.context);
const contextWire = thinLines(context.edges.length > 0 ? context.edges : [], colours.contextEdge);
const contextGroup = new THREE.Group().add(contextFaces, contextWire);
if (contextEdges.length > 0) contextGroup.add(thinLines(contextEdges, colours.contextEdge));
const keptFaces = shaded(kept.triangles, colours.kept);
const keptEdges = thinLines(kept.edges, colours.keptEdge, 0.6);
const keptGroup = new THREE.Group().add(keptFaces, keptEdges);
const removedFaces = shaded(removed.triangles, colours.removed);
const removedEdges = thinLines(removed.edges, colours.removedEdge, 0.8);
const removedLines = removedOutline.length > 0 ? wideLines(removedOutline, colours.removedOutline, 1.5) : new THREE.Group();
const allLinks = linkGroup(0, linkTags.length);
const runGroup = new THREE.Group().add(removedFaces, removedEdges, removedLines, allLinks);
// The chosen pair, made when chosen.
const pairGroup = new THREE.Group();
// The normals are made when first shown: a million of them cost time nobody asked for.
const normalsGroup = new THREE.Group();
scene.add(contextGroup, keptGroup, runGroup, pairGroup, normalsGroup);

// ---- The view ------------------------------------------------------------------------------

const view = document.getElementById('view');
// Smoothing edges costs more than it gives on a million polygons drawn in software.
const antialias = data.removedCount + data.keptCount + data.contextCount <= edgeLimit;
const renderer = new THREE.WebGLRenderer({ antialias, preserveDrawingBuffer: true });
renderer.setPixelRatio(window.devicePixelRatio);
view.prepend(renderer.domElement);
const controls = new OrbitControls(camera, renderer.domElement);
controls.screenSpacePanning = true;

// The axes as the camera sees them, in the view's lower left corner.
function drawGizmo() {
  const g = gizmo.getContext('2d');
  g.clearRect(0, 0, gizmo.width, gizmo.height);
  const turn = camera.quaternion.clone().invert();
  const axes = [['X', [1, 0, 0], '#f0525a'], ['Y', [0, 1, 0], '#5cc46a'], ['Z', [0, 0, 1], '#6aa8ff']]
    .map(([name, direction, colour]) => [name, new THREE.Vector3(...direction).applyQuaternion(turn), colour])
    .sort((a, b) => a[1].z - b[1].z);
  g.fillStyle = 'rgba(20, 21, 23, 0.55)';
  g.beginPath();
  g.arc(48, 48, 46, 0, 2 * Math.PI);
  g.fill();
  g.font = 'bold 13px system-ui, sans-serif';
  g.textAlign = 'center';
  g.textBaseline = 'middle';
  for (const [name, v, colour] of axes) {
    const x = 48 + 30 * v.x, y = 48 - 30 * v.y;
    g.strokeStyle = colour;
    g.lineWidth = 3;
    g.beginPath();
    g.moveTo(48, 48);
    g.lineTo(x, y);
    g.stroke();
    g.fillStyle = colour;
    g.beginPath();
    g.arc(x + 8 * v.x, y - 8 * v.y, 8, 0, 2 * Math.PI);
    g.fill();
    g.fillStyle = '#111';
    g.fillText(name, x + 8 * v.x, y - 8 * v.y + 1);
  }
}

// The selected polygons' edges show once a polygon is some pixels across.
function edgesUpClose() {
  const distance = camera.position.distanceTo(controls.target);
  const pixels = polygonSize / (2 * distance * Math.tan(THREE.MathUtils.degToRad(camera.fov / 2))) *
    view.clientHeight;
  return pixels >= edgePixels;
}

// Shows the page's state: the blend of before into after, the chosen pair alone.
function applyState() {
  const { blend, chosen } = report.state;
  const pair = pairs[chosen];
  const close = edgesUpClose();
  const fade = (object, opacity) => object.traverse((part) => {
    if (!part.material) return;
    part.material.opacity = opacity;
    part.material.transparent = opacity < 1;
    part.material.depthWrite = opacity >= 1;
    part.visible = opacity > 0;
  });
  // Faces before the run fade out as the links fade in; a chosen pair's stand in for all.
  const { faces, edges, links } = pairGroup.userData;
  fade(removedFaces, pair ? 0 : 1 - blend);
  fade(removedEdges, !pair && close ? 0.8 * (1 - blend) : 0);
  removedLines.visible = !pair;
  if (faces) fade(faces, 1 - blend);
  if (edges) fade(edges, close ? 0.8 * (1 - blend) : 0);
  if (links) fade(links, blend);
  const others = document.getElementById('others').checked;
  fade(allLinks, pair && !others ? 0 : blend);
  pairGroup.visible = Boolean(pair);
  // With a pair chosen the rest is dimmed.
  const dim = pair ? 0.3 : 1;
  fade(contextFaces, dim);
  fade(keptFaces, dim);
  fade(keptEdges, close ? 0.6 * dim : 0);
  contextWire.visible = document.getElementById('wireframe').checked;
  render();
}

// The chosen pair's patches, their boundaries and its links, as objects of their own.
function buildPair(pair) {
  pairGroup.clear();
  pairGroup.userData = {};
  if (!pair) return;
  const faces = [], edges = [], outline = [];
  const append = (list, source, start, end) => {
    for (let k = start; k < end; k++) list.push(source[k]);
  };
  for (const patch of pair.patches) {
    const first = patchStart[patch], end = patchStart[patch + 1];
    append(faces, removed.triangles, removed.triangleStart[first], removed.triangleStart[end]);
    append(edges, removed.edges, removed.edgeStart[first], removed.edgeStart[end]);
    append(outline, removedOutline, outlineStart[patch], outlineStart[patch + 1]);
  }
  const userData = { links: linkGroup(pair.first, pair.end) };
  if (faces.length > 0) userData.faces = shaded(faces, colours.removed);
  if (edges.length > 0) userData.edges = thinLines(edges, colours.removedEdge, 0.6);
  if (outline.length > 0) pairGroup.add(wideLines(outline, colours.removedOutline, 2));
  pairGroup.add(...Object.values(userData));
  pairGroup.userData = userData;
  pairGroup.traverse((object) => { object.frustumCulled = false; });
  updateResolution();
  const box = boxOf(linkPoints.subarray(2 * pair.first, 2 * pair.end));
  boxOf(faces, box);
  pair.box = box;
}

// Draws once per frame at most, however many changes asked for it.
let framePending = false;
function render() {
  if (framePending) return;
  framePending = true;
  requestAnimationFrame(() => {
    framePending = false;
    placeEyeLight();
    renderer.render(scene, camera);
    drawGizmo();
    if (document.body.dataset.status === 'loading') ready();
  });
}
let wasClose = null;
controls.addEventListener('change', () => {
  const close = edgesUpClose();
  if (close !== wasClose) { wasClose = close; applyState(); } else render();
});

function updateResolution() {
  const size = renderer.getSize(new THREE.Vector2());
  for (const material of wideMaterials) material.resolution.copy(size);
}
function resize() {
  const width = view.clientWidth, height = view.clientHeight;
  renderer.setSize(width, height);
  camera.aspect = width / Math.max(height, 1);
  camera.updateProjectionMatrix();
  updateResolution();
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
// A ground grid under everything, square lines every `spacing`, bolder every ten, across the
// coordinate axis `up` (the one nearest to the first view's up), below all that is drawn.
function groundGrid(up) {
  const [a, b] = [(up + 1) % 3, (up + 2) % 3];
  const size = everything.getSize(new THREE.Vector3()).toArray();
  const extent = Math.max(size[a], size[b], touchedSize, 1e-6);
  const spacing = 10 ** Math.floor(Math.log10(extent / 8));
  const major = 10 * spacing;
  const centre = everything.getCenter(new THREE.Vector3()).toArray();
  const half = Math.ceil((0.75 * extent) / major) * major;
  const ca = Math.round(centre[a] / major) * major, cb = Math.round(centre[b] / major) * major;
  const level = everything.min.getComponent(up) - 1e-3 * extent;
  const ends = [], tints = [];
  const point = (alongA, alongB) => {
    const p = [0, 0, 0];
    p[up] = level;
    p[a] = alongA;
    p[b] = alongB;
    ends.push(...p);
  };
  const minor = new THREE.Color(colours.gridMinor), bold = new THREE.Color(colours.gridMajor);
  const steps = Math.round(half / spacing);
  for (let k = -steps; k <= steps; k++) {
    const tint = k % 10 === 0 ? bold : minor;
    const at = k * spacing;
    point(ca + at, cb - half); point(ca + at, cb + half);
    point(ca - half, cb + at); point(ca + half, cb + at);
    for (let n = 0; n < 4; n++) tints.push(tint.r, tint.g, tint.b);
  }
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.Float32BufferAttribute(ends, 3));
  geometry.setAttribute('color', new THREE.Float32BufferAttribute(tints, 3));
  // Drawn first and leaving the depth alone: what stands on it covers it.
  const grid = new THREE.LineSegments(geometry, new THREE.LineBasicMaterial({ vertexColors: true, depthWrite: false }));
  grid.renderOrder = -1;
  return { grid, spacing, major };
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

const gizmo = document.getElementById('gizmo');
gizmo.hidden = false;
const upAxis = axes.up.toArray().map(Math.abs).reduce((best, v, k, all) => (v > all[best] ? k : best), 0);
const { grid, spacing, major } = groundGrid(upAxis);
grid.frustumCulled = false;
// The sky is above the grid.
sky.position.setComponent(upAxis, 1).setComponent((upAxis + 1) % 3, 0).setComponent((upAxis + 2) % 3, 0);
scene.add(grid);
const scaleNote = document.getElementById('scale');
scaleNote.textContent = `Grid: ${length(spacing)} squares, bold lines every ${length(major)}`;
scaleNote.hidden = false;

function showNormals(on) {
  if (on && normalsGroup.children.length === 0) {
    normalsGroup.add(normalArrows(kept, normalLength), normalArrows(removed, normalLength));
    normalsGroup.traverse((object) => { object.frustumCulled = false; });
  }
  normalsGroup.visible = on;
  document.getElementById('normals').checked = on;
  render();
}

let shownPair = null;
report.redraw = (what) => {
  const pair = pairs[report.state.chosen] ?? null;
  if (what === 'pair' && pair !== shownPair) {
    shownPair = pair;
    buildPair(pair);
    frame(pair ? pair.box : touched);
  }
  applyState();
};
// Framing the run keeps a chosen pair alone in it.
document.getElementById('frame').addEventListener('click', () => frame(touched));
document.getElementById('normals').addEventListener('change', (event) => showNormals(event.target.checked));
document.getElementById('context').addEventListener('change', (event) => {
  contextGroup.visible = event.target.checked;
  render();
});
for (const id of ['wireframe', 'others']) document.getElementById(id).addEventListener('change', applyState);

scene.traverse((object) => { object.frustumCulled = false; });
// A run that stopped shows its selection with the normals drawn: they tell why.
showNormals(stopped);
resize();
frame(touched);
report.redraw('pair');

// The page is ready once its first frame is drawn; the status line says what it drew.
function ready() {
  const gl = renderer.getContext();
  const count = (number, noun) => `${Number(number).toLocaleString('en')} ${noun}${number === 1 ? '' : 's'}`;
  // From the start of loading the page: reading the file, three.js, the data, the first frame.
  const seconds = (performance.now() / 1000).toFixed(1);
  document.getElementById('status').textContent =
    `Drawn: ${count(linkTags.length, 'link')}, ${count(data.removedCount, 'removed polygon')} ` +
    `and ${count(data.keptCount, 'kept polygon')}, ${count(data.contextCount, 'polygon')} of ` +
    `context; data read ${readSeconds.toFixed(1)} s and first frame ${seconds} s after the page ` +
    `began loading (WebGL ${gl.getParameter(gl.VERSION)}).`;
  document.body.dataset.status = 'ready';
}
