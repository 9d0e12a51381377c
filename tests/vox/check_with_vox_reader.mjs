// Reads the .vox files quillmarsh-voxsamples wrote with an independent reader (the npm package
// vox-reader) and compares them with the NAME.json the tool wrote from the room or scene itself:
// models, voxels, palette, materials, nodes, and a room's cells. Usage: node check_with_vox_reader.mjs DIR
import { createRequire } from 'module';
import { readdirSync, readFileSync } from 'fs';
import { join } from 'path';

let readVox;
try {
  readVox = createRequire(import.meta.url)('vox-reader');
} catch (e) {
  console.error('vox-reader is not installed beside this script: run tools/install-deps.sh');
  process.exit(1);
}

// The reader gives a single chunk as an object and several as an array.
const list = (v) => (v === undefined ? [] : Array.isArray(v) ? v : [v]);
const byId = (v) => new Map(list(v).map((n) => [n.nodeId, n]));
const show = (v) => JSON.stringify(v);
// A float from its bits in hex, as our material keys hold it.
const float = (hex) => new Float32Array(new Uint32Array([parseInt(hex, 16)]).buffer)[0];
const near = (a, b) => Math.abs(a - b) <= 1e-5 * Math.max(1, Math.abs(b));
const frame = ({ frames: [f = {}] }) => ({ r: f._r === undefined ? 4 : Number(f._r), t: (f._t || '0 0 0').split(' ').map(Number) });

function checkRoom(vox, room, fail) {
  const sizes = list(vox.size), models = list(vox.xyzi), transforms = byId(vox.ntrn), shapes = byId(vox.nshp);
  const group = list(vox.ngrp)[0];
  if (sizes.length !== models.length || !group || transforms.get(0)?.child !== group.nodeId)
    return fail(`${sizes.length} models for ${models.length} voxel lists, or no root transform over a group`);
  // Scene (x, y, z), z up, is room cell (x, z, depth - 1 - y); a model's pivot is floor(size / 2).
  const placed = new Map();
  for (const id of group.children) {
    const { r, t } = frame(transforms.get(id)), model = shapes.get(transforms.get(id).child).models[0][0], s = sizes[model];
    if (r !== 4 || Math.max(s.x, s.y, s.z) > 256) fail(`model ${model} of ${show(s)} is turned by ${r}`);
    for (const v of models[model].values)
      placed.set(`${v.x - (s.x >> 1) + t[0]},${v.z - (s.z >> 1) + t[2]},${room.size[2] - 1 - (v.y - (s.y >> 1) + t[1])}`, v.i);
  }
  // Material 0 (not air) may be drawn by any index.
  const wrong = room.cells.filter(([x, y, z, m]) => !placed.get(`${x},${y},${z}`) || (m && placed.get(`${x},${y},${z}`) !== m));
  if (placed.size !== room.cells.length || wrong.length)
    fail(`${placed.size} voxels placed for ${room.cells.length} cells; ${wrong.length} cells wrong, as ${show(wrong.slice(0, 3))}`);
  const colours = vox.rgba ? vox.rgba.values : [];
  const materials = new Map(list(vox.matl).map((m) => [m.materialId, m.materialProperties]));
  const types = { wall: '_diffuse', air: '_diffuse', glass: '_glass', light: '_emit' };
  for (const [k, m] of Object.entries(room.materials)) {
    const c = colours[k - 1] || {}, p = materials.get(Number(k)) || {}, emission = (p._qm_emission || '').split(' ').map(float);
    // A light's entry is the hue of the light it gives.
    const strongest = Math.max(...m.emission.map(Math.fround));
    const entry = m.kind === 'light' && strongest > 0 ? m.emission.map((e) => Math.round(255 * Math.fround(e) / strongest)) : m.rgb;
    if (show([c.r, c.g, c.b, c.a]) !== show([...entry, 255]) || p._type !== types[m.kind] || p._qm_kind !== m.kind ||
        p._qm_name !== m.name || p._qm_rgb !== m.rgb.join(' ') || float(p._qm_opacity) !== Math.fround(m.opacity) ||
        show(emission) !== show(m.emission.map(Math.fround)) ||
        (m.kind === 'glass' && !(near(Number(p._trans), 1 - m.opacity) && near(Number(p._alpha), 1 - m.opacity))) ||
        (m.kind === 'light' && !near(Number(p._emit), Math.max(...m.emission) / 350)))
      fail(`material ${k} (${show(m)}) is written as ${show(c)} ${show(p)}`);
  }
  if (vox.qmrm === undefined) fail('no QMRM chunk');
}

function checkScene(vox, expected, fail) {
  const same = (what, read, written) => {
    if (show(read) !== show(written)) fail(`${what}: ${show(read)}`);
  };
  const models = list(vox.xyzi), sorted = (voxels) => voxels.map(String).sort();
  same('models', list(vox.size).map((s, i) => [[s.x, s.y, s.z], sorted(models[i].values.map((v) => [v.x, v.y, v.z, v.i]))]),
       expected.models.map((m) => [m.size, sorted(m.voxels)]));
  same('palette', vox.rgba ? vox.rgba.values.slice(0, 255).map((c) => [c.r, c.g, c.b, c.a]) : null, expected.rgba);
  same('materials', Object.fromEntries(list(vox.matl).map((m) => [m.materialId, m.materialProperties])), expected.materials);
  same('transforms', list(vox.ntrn).map((n) => ({ id: n.nodeId, child: n.child, layer: n.layer, ...frame(n) })), expected.transforms);
  same('groups', list(vox.ngrp).map((n) => ({ id: n.nodeId, children: n.children })), expected.groups);
  same('shapes', list(vox.nshp).map((n) => ({ id: n.nodeId, model: n.models[0][0] })), expected.shapes);
}

const dir = process.argv[2];
const files = dir ? readdirSync(dir).filter((f) => f.endsWith('.vox')).sort() : [];
if (files.length === 0) {
  console.error('usage: node check_with_vox_reader.mjs DIR (a folder of .vox files)');
  process.exit(2);
}
let failed = 0;
for (const file of files) {
  const problems = [];
  const fail = (line) => problems.push(line);
  try {
    const vox = readVox(readFileSync(join(dir, file)));
    const expected = JSON.parse(readFileSync(join(dir, file.replace(/\.vox$/, '.json')), 'utf8'));
    if (expected.room) checkRoom(vox, expected.room, fail);
    else checkScene(vox, expected, fail);
  } catch (e) {
    fail(`vox-reader or the check failed: ${e.message}`);
  }
  console.log(`${problems.length ? 'FAIL' : 'ok  '} ${file}${problems.map((p) => `\n     ${p}`).join('')}`);
  failed += problems.length ? 1 : 0;
}
console.log(`${files.length - failed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
