// quillmarsh-voxsamples OUTDIR: writes .vox files with our writer, each with a NAME.json beside it
// saying what is in it, taken from the room or scene that was written (not from reading the file
// back). The independent reader's check (tests/vox) and the fuzz seeds (tools/fuzz.sh) use them;
// the page check drops one of them, stained-glass.vox, on the page.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileWriter.h"
#include "tools/ToolUsage.h"
#include "world/LightGrid.h"
#include "world/Palette.h"
#include "world/VoxFile.h"
#include "world/VoxRoom.h"

namespace {

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.9g", v);
  return text;
}

bool writeFile(const std::string& path, const std::string& bytes) {
  std::string error;
  if (FileWriter::replace(path, std::vector<unsigned char>(bytes.begin(), bytes.end()), error))
    return true;
  std::cerr << "quillmarsh-voxsamples: " << error << std::endl;
  return false;
}

bool writeVox(const std::string& path, const std::vector<unsigned char>& bytes) {
  return writeFile(path, std::string(bytes.begin(), bytes.end()));
}

// A room of every kind of material: the standard palette and `extra` more of odd values, cells
// drawn at random, a few cells its palette does not describe, and the wandering light.
void randomRoom(LightGrid& grid, int w, int h, int d, int extra, unsigned seed) {
  std::mt19937 rng(seed);
  Palette palette = Palette::standard();
  for (int i = 0; i < extra && palette.size() < Palette::kMaxMaterials; ++i) {
    Material m;
    m.kind = static_cast<Material::Kind>(1 + i % 3);
    for (auto& c : m.colour) c = static_cast<unsigned char>(rng() % 256);
    if (m.kind == Material::Kind::Wall) m.opacity = 1.0f;
    if (m.kind == Material::Kind::Glass) m.opacity = 0.01f + 0.87f * (rng() % 1000) / 1000.0f;
    if (m.kind == Material::Kind::Light)
      for (float& e : m.emission) e = static_cast<float>(rng() % 100000) / 97.0f;
    m.name = "sample " + std::to_string(i);
    palette.add(m);
  }
  grid.setPalette(palette);
  grid.resize(w, h, d);
  for (int z = 0; z < d; ++z)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned r = rng() % 100;
        if (r < 55) continue;
        const int k = static_cast<int>(1 + rng() % (palette.size() - 1));
        GridCell c = palette[k].cell(static_cast<unsigned char>(k));
        if (r == 99) c.setSolid();             // a plain wall, material 0
        if (r == 98) c.emission[1] += 0.25f;   // a light unlike its material
        grid.setCell(x, y, z, c);
      }
  GridCell wandering;
  wandering.setEmitter(1520.0f, 0.0f, 0.0f);
  grid.lightX = w / 2;
  grid.lightY = h / 2;
  grid.lightZ = d / 2;
  grid.setCell(grid.lightX, grid.lightY, grid.lightZ, wandering);
}

// What a room file holds, from the room: its size, palette and the cells as placed voxels.
std::string roomJson(const LightGrid& grid) {
  const Palette& palette = grid.palette();
  std::ostringstream j;
  j << "{\"room\":{\"size\":[" << grid.sizeX << "," << grid.sizeY << "," << grid.sizeZ << "],";
  j << "\"materials\":{";
  for (int k = 1; k < palette.size(); ++k) {
    const Material& m = palette[k];
    j << (k > 1 ? "," : "") << "\"" << k << "\":{\"kind\":\"" << Material::kindName(m.kind)
      << "\",\"name\":" << quoted(m.name) << ",\"rgb\":[" << int(m.colour[0]) << ","
      << int(m.colour[1]) << "," << int(m.colour[2]) << "],\"opacity\":" << number(m.opacity)
      << ",\"emission\":[" << number(m.emission[0]) << "," << number(m.emission[1]) << ","
      << number(m.emission[2]) << "]}";
  }
  j << "},\"cells\":[";
  bool first = true;
  for (int z = 0; z < grid.sizeZ; ++z)
    for (int y = 0; y < grid.sizeY; ++y)
      for (int x = 0; x < grid.sizeX; ++x) {
        const GridCell c = grid.getCell(x, y, z);
        const bool air = c.material == 0 && !c.emitter && !c.greenMarker && !c.redMarker &&
                         c.opacity == 0.0f;
        // Open cells of material 0 other than fixed lights (the wandering light's) are ours alone.
        const bool wandering = x == grid.lightX && y == grid.lightY && z == grid.lightZ;
        const bool open = c.material == 0 && !c.isOpaque() && !c.isGlass() &&
                          (wandering || !c.emitter);
        if (air || open) continue;
        // Material 0 (not air): any index may draw it.
        j << (first ? "" : ",") << "[" << x << "," << y << "," << z << "," << int(c.material)
          << "]";
        first = false;
      }
  j << "]}}";
  return j.str();
}

// What a scene file holds, from the scene written.
std::string sceneJson(const vox::Scene& scene) {
  std::ostringstream j;
  j << "{\"models\":[";
  for (size_t i = 0; i < scene.models.size(); ++i) {
    const vox::Model& m = scene.models[i];
    j << (i ? "," : "") << "{\"size\":[" << m.size[0] << "," << m.size[1] << "," << m.size[2]
      << "],\"voxels\":[";
    for (size_t v = 0; v < m.voxels.size(); v += 4)
      j << (v ? "," : "") << "[" << int(m.voxels[v]) << "," << int(m.voxels[v + 1]) << ","
        << int(m.voxels[v + 2]) << "," << int(m.voxels[v + 3]) << "]";
    j << "]}";
  }
  j << "],\"rgba\":";
  if (scene.hasPalette) {
    j << "[";
    for (int k = 1; k < 256; ++k)
      j << (k > 1 ? "," : "") << "[" << int(scene.palette[k][0]) << "," << int(scene.palette[k][1])
        << "," << int(scene.palette[k][2]) << "," << int(scene.palette[k][3]) << "]";
    j << "]";
  } else {
    j << "null";
  }
  j << ",\"materials\":{";
  bool first = true;
  for (int k = 0; k < 256; ++k) {
    if (!scene.hasMaterial[k]) continue;
    j << (first ? "" : ",") << "\"" << k << "\":{";
    first = false;
    for (size_t p = 0; p < scene.materials[k].pairs.size(); ++p)
      j << (p ? "," : "") << quoted(scene.materials[k].pairs[p].first) << ":"
        << quoted(scene.materials[k].pairs[p].second);
    j << "}";
  }
  j << "},\"transforms\":[";
  first = true;
  for (const vox::Node& n : scene.nodes) {
    if (n.kind != vox::Node::Kind::Transform) continue;
    j << (first ? "" : ",") << "{\"id\":" << n.id << ",\"child\":" << n.child
      << ",\"layer\":" << n.layer << ",\"r\":" << n.rotation.encode() << ",\"t\":["
      << n.translation[0] << "," << n.translation[1] << "," << n.translation[2] << "]}";
    first = false;
  }
  j << "],\"groups\":[";
  first = true;
  for (const vox::Node& n : scene.nodes) {
    if (n.kind != vox::Node::Kind::Group) continue;
    j << (first ? "" : ",") << "{\"id\":" << n.id << ",\"children\":[";
    for (size_t c = 0; c < n.children.size(); ++c) j << (c ? "," : "") << n.children[c];
    j << "]}";
    first = false;
  }
  j << "],\"shapes\":[";
  first = true;
  for (const vox::Node& n : scene.nodes) {
    if (n.kind != vox::Node::Kind::Shape) continue;
    j << (first ? "" : ",") << "{\"id\":" << n.id << ",\"model\":" << n.model << "}";
    first = false;
  }
  j << "]}";
  return j.str();
}

vox::Node transform(int id, int child, int layer, int rotation, int tx, int ty, int tz,
                    bool hidden = false) {
  vox::Node n;
  n.kind = vox::Node::Kind::Transform;
  n.id = id;
  n.child = child;
  n.layer = layer;
  n.rotation.decode(rotation);
  n.translation[0] = tx, n.translation[1] = ty, n.translation[2] = tz;
  if (hidden) n.attributes.set("_hidden", "1");
  return n;
}

vox::Node shape(int id, int model) {
  vox::Node n;
  n.kind = vox::Node::Kind::Shape;
  n.id = id;
  n.model = model;
  return n;
}

// Three models in a group: turned, moved, one hidden, one on a hidden layer; glass and a lamp.
vox::Scene sceneGraph() {
  vox::Scene s;
  std::mt19937 rng(7);
  for (int i = 0; i < 3; ++i) {
    vox::Model m;
    m.size[0] = 3 + i, m.size[1] = 4, m.size[2] = 5 + i;
    for (int v = 0; v < 12; ++v) {
      const unsigned char voxel[4] = {static_cast<unsigned char>(rng() % m.size[0]),
                                      static_cast<unsigned char>(rng() % m.size[1]),
                                      static_cast<unsigned char>(rng() % m.size[2]),
                                      static_cast<unsigned char>(1 + rng() % 9)};
      m.voxels.insert(m.voxels.end(), voxel, voxel + 4);
    }
    s.models.push_back(m);
  }
  vox::Node group;
  group.kind = vox::Node::Kind::Group;
  group.id = 1;
  group.children = {2, 4, 6};
  s.nodes = {transform(0, 1, -1, 4, 0, 0, 0), group, transform(2, 3, 0, 1 | 2 << 2 | 3 << 5, 5, -3, 2),
             shape(3, 0), transform(4, 5, 1, 4, -6, 0, 1, true), shape(5, 1),
             transform(6, 7, 2, 2 | 1 << 4, 0, 8, 0), shape(7, 2)};
  for (int id = 0; id < 3; ++id) {
    vox::Layer layer;
    layer.id = id;
    layer.attributes.set("_name", "layer " + std::to_string(id));
    if (id == 2) layer.attributes.set("_hidden", "1");
    s.layers.push_back(layer);
  }
  s.hasPalette = true;
  for (int k = 1; k < 256; ++k)
    s.palette[k] = vox::Colour{static_cast<unsigned char>(k), static_cast<unsigned char>(255 - k),
                               static_cast<unsigned char>(k * 7), 255};
  s.materials[2].set("_type", "_glass");
  s.materials[2].set("_trans", "0.3");
  s.materials[3].set("_type", "_emit");
  s.materials[3].set("_emit", "1.5");
  s.materials[3].set("_flux", "1");
  s.hasMaterial[2] = s.hasMaterial[3] = true;
  return s;
}

// One model at its own coordinates, no palette chunk: the default palette applies.
// The room of the page check's stained-glass view, 13 x 6 x 14 cells of the standard palette:
// two white lamps in a back room behind a brick wall with a window of red and of blue glass, a
// slate wall on the right of the front room, and the start view across the front room at the
// window. The wandering light lies outside the room, so the light settles to one picture.
void stainedGlassRoom(LightGrid& grid, StartView& start) {
  const Palette palette = Palette::standard();
  const auto named = [&palette](const char* name) {
    int k = palette.size() - 1;
    while (k > 0 && palette[k].name != name) --k;
    return palette[k].cell(static_cast<unsigned char>(k));
  };
  const GridCell wall = named("wall"), brick = named("brick"), slate = named("slate"),
                 red = named("red glass"), blue = named("blue glass"), lamp = named("white light");
  grid.setPalette(palette);
  grid.resize(13, 6, 14);
  for (int z = 0; z < 14; ++z)
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 13; ++x) {
        const GridCell* c = nullptr;
        if (x == 12 && z > 5) c = &slate;
        else if (x == 0 || x == 12 || y == 0 || y == 5 || z == 0 || z == 13) c = &wall;
        else if (z == 5) c = y == 4 || x < 3 || x == 6 || x > 9 ? &brick : x < 6 ? &red : &blue;
        if (c != nullptr) grid.setCell(x, y, z, *c);
      }
  grid.setCell(4, 2, 3, lamp);
  grid.setCell(8, 2, 3, lamp);
  grid.lightX = -1;
  grid.lightY = 3;
  grid.lightZ = 3;
  start.found = true;
  start.eye = Vec3(4.0f, 2.0f, 12.0f);
  start.target = Vec3(7.0f, 1.8f, 5.0f);
}

vox::Scene plainModel() {
  vox::Scene s;
  vox::Model m;
  m.size[0] = 6, m.size[1] = 5, m.size[2] = 4;
  for (int z = 0; z < 4; ++z)
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x)
        if ((x + y + z) % 3 == 0) {
          const unsigned char voxel[4] = {static_cast<unsigned char>(x),
                                          static_cast<unsigned char>(y),
                                          static_cast<unsigned char>(z),
                                          static_cast<unsigned char>(1 + x + 6 * y)};
          m.voxels.insert(m.voxels.end(), voxel, voxel + 4);
        }
  s.models.push_back(m);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const char* const usage = "quillmarsh-voxsamples OUTDIR";
  if (const int status = checkToolArguments(argc, argv, usage); status >= 0) return status;
  if (argc != 2) {
    std::cerr << "usage: " << usage << std::endl;
    return 2;
  }
  const std::string dir = argv[1];
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    std::cerr << "quillmarsh-voxsamples: cannot make \"" << dir << "\": " << std::strerror(errno)
              << std::endl;
    return 1;
  }
  struct RoomSample {
    const char* name;
    int w, h, d, extra;
  };
  const RoomSample rooms[] = {{"room-small", 20, 6, 14, 30},
                              {"room-tall", 9, 32, 7, 241},
                              {"room-wide", 300, 6, 9, 5}};
  bool ok = true;
  unsigned seed = 1;
  for (const RoomSample& r : rooms) {
    LightGrid grid;
    randomRoom(grid, r.w, r.h, r.d, r.extra, seed++);
    StartView start;
    start.found = true;
    start.eye = Vec3(1.25f, 2.0f, 1.5f);
    start.target = Vec3(3.0f, 2.0f, 4.0f);
    ok = ok && writeVox(dir + "/" + r.name + ".vox", roomToVox(grid, start)) &&
         writeFile(dir + "/" + r.name + ".json", roomJson(grid));
  }
  {
    LightGrid grid;
    StartView start;
    stainedGlassRoom(grid, start);
    ok = ok && writeVox(dir + "/stained-glass.vox", roomToVox(grid, start)) &&
         writeFile(dir + "/stained-glass.json", roomJson(grid));
  }
  const struct {
    const char* name;
    vox::Scene scene;
  } scenes[] = {{"scene-graph", sceneGraph()}, {"default-palette", plainModel()}};
  for (const auto& s : scenes)
    ok = ok && writeVox(dir + "/" + s.name + ".vox", vox::write(s.scene)) &&
         writeFile(dir + "/" + s.name + ".json", sceneJson(s.scene));
  if (!ok) {
    std::cerr << "quillmarsh-voxsamples: cannot write the samples under \"" << dir << "\""
              << std::endl;
    return 1;
  }
  return 0;
}
