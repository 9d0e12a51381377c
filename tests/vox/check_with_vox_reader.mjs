// Reads the .vox files quillmarsh-voxsamples wrote with an independent reader (the npm package
// vox-reader) and compares what it finds with the NAME.json the tool wrote from the room or scene
// itself: models, voxels, palette, materials and nodes; for a room, the models placed by their
// transforms must give exactly the room's cells. Usage: node check_with_vox_reader.mjs DIR
import { createRequire } from 'module';
import { readdirSync, readFileSync } from 'fs';
import { join } from 'path';

const require = createRequire(import.meta.url);
let readVox;
try {
  readVox = require('vox-reader');
} catch (e) {
  console.error('vox-reader is not installed beside this script: run tools/install-deps.sh');
  process.exit(1);
}

const dir = process.argv[2];
if (!dir) {
  console.error('usage: node check_with_vox_reader.mjs DIR');
  process.exit(2);
}

// The reader gives a single chunk as an object and several as an array.
const list = (v) => (v === undefined ? [] : Array.isArray(v) ? v : [v]);

function floatOfHex(hex) {
  const view = new DataView(new ArrayBuffer(4));
  view.setUint32(0, parseInt(hex, 16));
  return view.getFloat32(0);
}

function near(a, b, tolerance) {
  return Math.abs(a - b) <= tolerance * Math.max(1, Math.abs(b));
}

function checkRoom(vox, expected, fail) {
  const room = expected.room;
  const [width, height, depth] = room.size;
  const sizes = list(vox.size);
  const models = list(vox.xyzi);
  if (sizes.length !== models.length || sizes.length === 0)
    fail(`${sizes.length} SIZE chunks for ${models.length} XYZI chunks`);
  sizes.forEach((s, i) => {
    if (s.x > 256 || s.y > 256 || s.z > 256) fail(`model ${i} is ${s.x} x ${s.y} x ${s.z}`);
  });
  models.forEach((m, i) => {
    if (m.numVoxels !== m.values.length) fail(`model ${i} counts ${m.numVoxels} voxels, holds ${m.values.length}`);
  });

  // Place every shape under the root's group: translation only in our rooms.
  const transforms = new Map(list(vox.ntrn).map((n) => [n.nodeId, n]));
  const shapes = new Map(list(vox.nshp).map((n) => [n.nodeId, n]));
  const group = list(vox.ngrp)[0];
  if (!transforms.has(0) || !group || transforms.get(0).child !== group.nodeId) {
    fail('no root transform over a group');
    return;
  }
  const placed = new Map();
  for (const id of group.children) {
    const t = transforms.get(id);
    const frame = t.frames[0] || {};
    if (frame._r !== undefined && frame._r !== '4') fail(`transform ${id} turns its model (${frame._r})`);
    const move = (frame._t || '0 0 0').split(' ').map(Number);
    const shape = shapes.get(t.child);
    const model = shape.models[0][0];
    const size = sizes[model];
    const pivot = [Math.floor(size.x / 2), Math.floor(size.y / 2), Math.floor(size.z / 2)];
    for (const v of models[model].values) {
      const x = v.x - pivot[0] + move[0], y = v.y - pivot[1] + move[1], z = v.z - pivot[2] + move[2];
      // Scene (x, y, z), z up, is room cell (x, z, depth - 1 - y).
      placed.set(`${x},${z},${depth - 1 - y}`, v.i);
    }
  }
  if (placed.size !== room.cells.length) fail(`${placed.size} voxels placed; the room has ${room.cells.length} cells`);
  let wrong = 0;
  for (const [x, y, z, material] of room.cells) {
    const i = placed.get(`${x},${y},${z}`);
    if (i === undefined || (material !== 0 && i !== material) || i === 0) {
      if (++wrong <= 5) fail(`cell (${x}, ${y}, ${z}) of material ${material} reads as ${i}`);
    }
  }
  if (wrong > 5) fail(`... ${wrong} cells in all`);

  const colours = vox.rgba && vox.rgba.values;
  const materials = new Map(list(vox.matl).map((m) => [m.materialId, m.materialProperties]));
  const types = { wall: '_diffuse', air: '_diffuse', glass: '_glass', light: '_emit' };
  for (const [k, m] of Object.entries(room.materials)) {
    const c = colours && colours[k - 1];
    if (!c || c.r !== m.rgb[0] || c.g !== m.rgb[1] || c.b !== m.rgb[2] || c.a !== 255)
      fail(`palette entry ${k} is ${JSON.stringify(c)}, not ${m.rgb}`);
    const p = materials.get(Number(k));
    if (!p) {
      fail(`material ${k} has no MATL`);
      continue;
    }
    if (p._type !== types[m.kind]) fail(`material ${k} (${m.kind}) has _type ${p._type}`);
    if (p._qm_kind !== m.kind || p._qm_name !== m.name || p._qm_rgb !== m.rgb.join(' '))
      fail(`material ${k}: room keys ${p._qm_kind} ${p._qm_name} ${p._qm_rgb}`);
    if (floatOfHex(p._qm_opacity) !== Math.fround(m.opacity)) fail(`material ${k}: opacity ${p._qm_opacity}`);
    const emission = (p._qm_emission || '').split(' ').map(floatOfHex);
    if (emission.length !== 3 || emission.some((e, c) => e !== Math.fround(m.emission[c])))
      fail(`material ${k}: emission ${p._qm_emission}`);
    if (m.kind === 'glass' && !(near(Number(p._trans), 1 - m.opacity, 1e-5) && near(Number(p._alpha), 1 - m.opacity, 1e-5)))
      fail(`material ${k}: _trans ${p._trans} for opacity ${m.opacity}`);
    if (m.kind === 'light' && !near(Number(p._emit), Math.max(...m.emission) / 350, 1e-5))
      fail(`material ${k}: _emit ${p._emit} for emission ${m.emission}`);
  }
  if (vox.qmrm === undefined) fail('no QMRM chunk');
}

function sameVoxels(a, b) {
  const key = (v) => v.join(',');
  const sa = a.map(key).sort(), sb = b.map(key).sort();
  return sa.length === sb.length && sa.every((v, i) => v === sb[i]);
}

function checkScene(vox, expected, fail) {
  const sizes = list(vox.size), models = list(vox.xyzi);
  if (sizes.length !== expected.models.length) fail(`${sizes.length} models, not ${expected.models.length}`);
  expected.models.forEach((m, i) => {
    const s = sizes[i], read = models[i];
    if (!s || s.x !== m.size[0] || s.y !== m.size[1] || s.z !== m.size[2]) fail(`model ${i}: size ${JSON.stringify(s)}`);
    if (!read || !sameVoxels(read.values.map((v) => [v.x, v.y, v.z, v.i]), m.voxels)) fail(`model ${i}: voxels differ`);
  });
  if (expected.rgba === null) {
    if (vox.rgba !== undefined) fail('an RGBA chunk where none was written');
  } else {
    const values = vox.rgba ? vox.rgba.values : [];
    expected.rgba.forEach((c, k) => {
      const v = values[k];
      if (!v || v.r !== c[0] || v.g !== c[1] || v.b !== c[2] || v.a !== c[3]) fail(`palette entry ${k + 1} is ${JSON.stringify(v)}`);
    });
  }
  const materials = new Map(list(vox.matl).map((m) => [m.materialId, m.materialProperties]));
  if (materials.size !== Object.keys(expected.materials).length) fail(`${materials.size} MATL chunks`);
  for (const [k, d] of Object.entries(expected.materials)) {
    if (JSON.stringify(materials.get(Number(k))) !== JSON.stringify(d)) fail(`material ${k}: ${JSON.stringify(materials.get(Number(k)))}`);
  }
  const transforms = new Map(list(vox.ntrn).map((n) => [n.nodeId, n]));
  for (const t of expected.transforms) {
    const n = transforms.get(t.id);
    const frame = (n && n.frames[0]) || {};
    const move = (frame._t || '0 0 0').split(' ').map(Number);
    const turn = frame._r === undefined ? 4 : Number(frame._r);
    if (!n || n.child !== t.child || n.layer !== t.layer || turn !== t.r || move.join() !== t.t.join())
      fail(`transform ${t.id}: ${JSON.stringify(n)}`);
  }
  const groups = new Map(list(vox.ngrp).map((n) => [n.nodeId, n]));
  for (const g of expected.groups) {
    const n = groups.get(g.id);
    if (!n || n.children.join() !== g.children.join()) fail(`group ${g.id}: ${JSON.stringify(n)}`);
  }
  const shapes = new Map(list(vox.nshp).map((n) => [n.nodeId, n]));
  for (const s of expected.shapes) {
    const n = shapes.get(s.id);
    if (!n || n.models[0][0] !== s.model) fail(`shape ${s.id}: ${JSON.stringify(n)}`);
  }
}

let passed = 0, failed = 0;
const files = readdirSync(dir).filter((f) => f.endsWith('.vox')).sort();
if (files.length === 0) {
  console.error(`no .vox files in ${dir}`);
  process.exit(1);
}
for (const file of files) {
  const problems = [];
  const fail = (line) => problems.push(line);
  try {
    const vox = readVox(readFileSync(join(dir, file)));
    const expected = JSON.parse(readFileSync(join(dir, file.replace(/\.vox$/, '.json')), 'utf8'));
    if (expected.room) checkRoom(vox, expected, fail);
    else checkScene(vox, expected, fail);
  } catch (e) {
    fail(`vox-reader or the check failed: ${e.message}`);
  }
  if (problems.length === 0) {
    ++passed;
    console.log(`ok   ${file}`);
  } else {
    ++failed;
    console.log(`FAIL ${file}`);
    for (const p of problems) console.log(`     ${p}`);
  }
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
