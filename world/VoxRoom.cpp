// .vox scenes to rooms and back: the import of any model, the exact form of our own rooms (MATL
// keys of our own and the kVoxRoomChunk chunk), the saver and the map-room test.
#include "world/VoxRoom.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "platform/FileWriter.h"
#include "world/CellFromColour.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/Palette.h"
#include "world/RoomColumn.h"

namespace {

constexpr float kStartEyeHeight = 2.0f;
constexpr int kRoomChunkVersion = 1;
// Our chunk: version, size (3), palette size, start flags, eye, target, up (9 float bits),
// wandering light (3), cell count; then per cell x, y, z, material, flags, opacity and emission
// (float bits).
constexpr size_t kRoomChunkHeader = 4 * 19;
constexpr size_t kRoomChunkCell = 4 * 9;
constexpr int kMaxLightOffset = 1 << 20;
constexpr int kFlagEmitter = 1, kFlagGreen = 2, kFlagRed = 4;

std::uint32_t bitsOf(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

float floatOf(std::uint32_t u) {
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

std::string hex32(std::uint32_t u) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", u);
  return text;
}

// Exactly eight hex digits.
bool parseHex32(const std::string& text, std::uint32_t& u) {
  if (text.size() != 8) return false;
  u = 0;
  for (char c : text) {
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return false;
    u = u << 4 | static_cast<std::uint32_t>(digit);
  }
  return true;
}

std::string decimal(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && text[at] == ' ') ++at;
    const size_t end = text.find(' ', at);
    if (at < text.size()) out.push_back(text.substr(at, end == std::string::npos ? end : end - at));
    at = end == std::string::npos ? text.size() : end;
  }
  return out;
}

// The fields a room keeps of a cell (its light and `hidden` aside), bit for bit.
bool sameFields(const GridCell& a, const GridCell& b) {
  return a.emitter == b.emitter && a.greenMarker == b.greenMarker && a.redMarker == b.redMarker &&
         a.material == b.material && bitsOf(a.opacity) == bitsOf(b.opacity) &&
         bitsOf(a.emission[0]) == bitsOf(b.emission[0]) &&
         bitsOf(a.emission[1]) == bitsOf(b.emission[1]) &&
         bitsOf(a.emission[2]) == bitsOf(b.emission[2]);
}

bool isAirCell(const GridCell& c) {
  return c.material == 0 && !c.emitter && !c.greenMarker && !c.redMarker &&
         bitsOf(c.opacity) == 0 && bitsOf(c.emission[0]) == 0 && bitsOf(c.emission[1]) == 0 &&
         bitsOf(c.emission[2]) == 0;
}

RoomLoad refused(const std::string& name, const std::string& cause) {
  RoomLoad load;
  load.error = "quillmarsh: cannot use scene \"" + name + "\": " + cause;
  return load;
}

// ---- Import of any scene ----

Material material(Material::Kind kind, const vox::Colour& colour, const std::string& name) {
  Material m;
  m.kind = kind;
  for (int c = 0; c < 3; ++c) m.colour[c] = colour[c];
  m.name = name;
  if (kind == Material::Kind::Wall) m.opacity = 1.0f;
  return m;
}

// A number of a material's properties, `fallback` when absent; false when present but no number.
bool property(const vox::Dict& d, const char* key, double fallback, double& value,
              std::string& error, int index) {
  value = fallback;
  const std::string* text = d.find(key);
  if (text == nullptr) return true;
  if (vox::parseNumber(*text, value)) return true;
  error = "material " + std::to_string(index) + ": " + key + " \"" + vox::printable(*text) +
          "\" is not a number";
  return false;
}

// Room material k of an imported scene: its colour and what its MATL says.
bool importedMaterial(const vox::Scene& scene, int k, Material& m, std::string& error) {
  const vox::Colour& colour = scene.palette[k];
  m = material(Material::Kind::Wall, colour, "wall " + std::to_string(k));
  if (!scene.hasMaterial[k]) return true;
  const vox::Dict& d = scene.materials[k];
  const std::string* type = d.find("_type");
  if (type != nullptr && *type == "_glass") {
    double trans;
    if (!property(d, "_trans", -1.0, trans, error, k)) return false;
    if (trans < 0.0 && !property(d, "_alpha", 0.5, trans, error, k)) return false;
    // Glass is between air and wall: the share held back stays inside the glass range.
    const double opacity = std::min(0.89, std::max(0.01, 1.0 - trans));
    m = material(Material::Kind::Glass, colour, "glass " + std::to_string(k));
    m.opacity = static_cast<float>(opacity);
  } else if (type != nullptr && *type == "_emit") {
    double emit, flux;
    if (!property(d, "_emit", 1.0, emit, error, k) || !property(d, "_flux", 0.0, flux, error, k))
      return false;
    emit = std::min(100.0, std::max(0.0, emit));
    flux = std::min(10.0, std::max(0.0, flux));
    Material light = material(Material::Kind::Light, colour, "light " + std::to_string(k));
    float most = 0.0f;
    for (int c = 0; c < 3; ++c) {
      light.emission[c] =
          static_cast<float>(kVoxEmitScale * emit * (1.0 + flux) * colour[c] / 255.0);
      most = std::max(most, light.emission[c]);
    }
    // A light that sends nothing out is seen as a wall of its colour.
    if (most > 0.0f) m = light;
  }
  return true;
}

RoomLoad importScene(const std::string& name, const vox::Scene& scene, LightGrid& grid,
                     ColorMap& map, const VoxRoomLimits& limits) {
  const int side = limits.maxRoomSide;
  vox::Limits fileLimits = limits.file;
  // The walls, the margin, the floor, the ceiling and the headroom come on top of the model.
  fileLimits.maxSide[0] = fileLimits.maxSide[1] = std::max(0, side - 2 * (kVoxMargin + 1));
  fileLimits.maxSide[2] = std::max(0, side - 2 - kVoxHeadroom);
  vox::Volume volume;
  std::string error;
  if (!vox::flatten(scene, volume, error, fileLimits)) return refused(name, error);
  if (volume.empty()) return refused(name, "it has no visible voxel");

  Palette palette;
  bool used[256] = {};
  for (unsigned char k : volume.index) used[k] = true;
  bool lit = false;
  for (int k = 1; k < 256; ++k) {
    Material m;
    if (!importedMaterial(scene, k, m, error)) return refused(name, error);
    palette.add(m);
    lit = lit || (used[k] && m.kind == Material::Kind::Light);
  }
  // The walls and lamps take the highest slots no voxel uses; with none free they are cells of
  // material 0, which stand for a plain wall and a plain light.
  int spare = 255;
  const auto takeFree = [&](const Material& m) -> unsigned char {
    while (spare > 0 && used[spare]) --spare;
    if (spare == 0) return 0;
    palette.set(spare, m);
    return static_cast<unsigned char>(spare--);
  };
  Material wallMaterial = material(Material::Kind::Wall, {255, 255, 255, 255}, "room wall");
  const unsigned char wallIndex = takeFree(wallMaterial);
  const GridCell lampPixel = cellFromColour(mapcolour::kWarmLight.r, mapcolour::kWarmLight.g,
                                            mapcolour::kWarmLight.b);
  Material lampMaterial = Palette::standard()[Palette::kWhiteLight];
  lampMaterial.name = "ceiling lamp";
  const unsigned char lampIndex = lit ? 0 : takeFree(lampMaterial);

  const int sx = volume.size[0], sy = volume.size[1], sz = volume.size[2];
  const int width = sx + 2 * (kVoxMargin + 1), depth = sy + 2 * (kVoxMargin + 1);
  const int height = std::max(kRoomHeight, sz + 2 + kVoxHeadroom);
  std::cout << "loaded scene dimensions x: " << sx << " y: " << sy << " z: " << sz << " ("
            << scene.models.size() << " models)" << std::endl;
  grid.setPalette(palette);
  grid.resize(width, height, depth);
  map.resize(width, depth);

  GridCell wall;
  wall.setSolid();
  wall.material = wallIndex;
  for (int z = 0; z < depth; ++z)
    for (int x = 0; x < width; ++x) {
      const bool edge = x == 0 || z == 0 || x == width - 1 || z == depth - 1;
      for (int y = 0; y < height; ++y)
        if (edge || y == 0 || y == height - 1) grid.setCell(x, y, z, wall);
    }
  GridCell cells[256];
  for (int k = 0; k < 256; ++k) cells[k] = palette[k].cell(static_cast<unsigned char>(k));
  const unsigned char* v = volume.index.data();
  for (int z = 0; z < sz; ++z)
    for (int y = 0; y < sy; ++y)
      for (int x = 0; x < sx; ++x, ++v)
        if (*v != 0)
          grid.setCell(kVoxMargin + 1 + x, 1 + z, kVoxMargin + sy - y, cells[*v]);
  if (!lit) {
    GridCell lamp = lampPixel;
    lamp.material = lampIndex;
    // Evenly spread over the floor between the walls: n lamps per side, each in the middle of
    // its share.
    const auto spots = [](int cells) {
      std::vector<int> at;
      const int n = std::max(1, (cells + kVoxLampSpacing / 2) / kVoxLampSpacing);
      for (int i = 0; i < n; ++i) at.push_back(1 + (2 * i + 1) * cells / (2 * n));
      return at;
    };
    for (int z : spots(depth - 2))
      for (int x : spots(width - 2)) grid.setCell(x, height - 1, z, lamp);
  }

  // The wandering light where every room starts it when that cell is open, else in the margin.
  const int* s = LightGrid::kLightStart;
  const bool startOpen = s[0] < width - 1 && s[2] < depth - 1 && s[1] < height - 1 &&
                         grid.opacityAt(grid.index(s[0], s[1], s[2])) == 0.0f &&
                         !grid.emitterAt(grid.index(s[0], s[1], s[2]));
  grid.lightX = startOpen ? s[0] : 1;
  grid.lightY = startOpen ? s[1] : std::min(3, height - 2);
  grid.lightZ = startOpen ? s[2] : 1;
  GridCell wandering;
  wandering.setEmitter(kWanderingLightEmission, 0.0f, 0.0f);
  grid.setCell(grid.lightX, grid.lightY, grid.lightZ, wandering);
  grid.touchAll();
  map.refreshAll(grid);

  RoomLoad load;
  load.ok = true;
  load.start.found = true;
  const float middle = static_cast<float>(width / 2);
  load.start.eye = Vec3(middle, kStartEyeHeight, static_cast<float>(depth - 2));
  load.start.target = Vec3(middle, kStartEyeHeight, static_cast<float>(depth - 1) / 2.0f);
  return load;
}

// ---- Our own rooms ----

struct RoomChunk {
  int size[3] = {0, 0, 0};
  int paletteSize = 1;
  StartView start;
  int light[3] = {0, 0, 0};
  struct Cell {
    int x, y, z;
    GridCell cell;
  };
  std::vector<Cell> cells;
};

void put32(std::vector<unsigned char>& out, std::uint32_t u) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(u >> (8 * i)));
}

void putFloat(std::vector<unsigned char>& out, float f) { put32(out, bitsOf(f)); }

void putVec(std::vector<unsigned char>& out, const Vec3& v) {
  putFloat(out, v.x);
  putFloat(out, v.y);
  putFloat(out, v.z);
}

bool readRoomChunk(const std::vector<unsigned char>& bytes, int maxSide, long maxCells,
                   RoomChunk& room, std::string& error) {
  const std::string where = std::string("its ") + kVoxRoomChunk + " chunk";
  if (bytes.size() < kRoomChunkHeader) {
    error = where + " has " + std::to_string(bytes.size()) + " bytes, fewer than " +
            std::to_string(kRoomChunkHeader);
    return false;
  }
  const unsigned char* p = bytes.data();
  const auto next = [&p]() {
    const std::int32_t v = vox::le32(p);
    p += 4;
    return v;
  };
  const auto nextFloat = [&]() { return floatOf(static_cast<std::uint32_t>(next())); };
  const int version = next();
  if (version != kRoomChunkVersion) {
    error = where + " is of version " + std::to_string(version) + "; this program reads " +
            std::to_string(kRoomChunkVersion);
    return false;
  }
  for (int& s : room.size) s = next();
  if (room.size[0] < 1 || room.size[1] < 1 || room.size[2] < 1 || room.size[0] > maxSide ||
      room.size[1] > maxSide || room.size[2] > maxSide) {
    error = where + " names a room of " + std::to_string(room.size[0]) + " × " +
            std::to_string(room.size[1]) + " × " + std::to_string(room.size[2]) +
            " cells; each side is 1 to " + std::to_string(maxSide);
    return false;
  }
  const long cells = static_cast<long>(room.size[0]) * room.size[1] * room.size[2];
  if (cells > maxCells) {
    error = where + " names a room of " + std::to_string(cells) + " cells; at most " +
            std::to_string(maxCells);
    return false;
  }
  room.paletteSize = next();
  if (room.paletteSize < 1 || room.paletteSize > Palette::kMaxMaterials) {
    error = where + " names " + std::to_string(room.paletteSize) + " materials (1 to 256)";
    return false;
  }
  const int flags = next();
  room.start.found = (flags & 1) != 0;
  room.start.open = (flags & 2) != 0;
  Vec3* views[3] = {&room.start.eye, &room.start.target, &room.start.up};
  for (Vec3* v : views) {
    v->x = nextFloat();
    v->y = nextFloat();
    v->z = nextFloat();
    if (!std::isfinite(v->x) || !std::isfinite(v->y) || !std::isfinite(v->z)) {
      error = where + " holds a start view that is not a number";
      return false;
    }
  }
  // A room narrower than the light's usual start has it outside, where it stays; far beyond
  // the room it would be of no room at all.
  for (int k = 0; k < 3; ++k) {
    room.light[k] = next();
    if (room.light[k] < -kMaxLightOffset || room.light[k] > kMaxLightOffset) {
      error = where + " puts the wandering light at " + std::to_string(room.light[k]) +
              ", beyond ±" + std::to_string(kMaxLightOffset);
      return false;
    }
  }
  const std::int32_t count = next();
  if (count < 0 || static_cast<size_t>(count) != (bytes.size() - kRoomChunkHeader) / kRoomChunkCell ||
      (bytes.size() - kRoomChunkHeader) % kRoomChunkCell != 0) {
    error = where + " lists " + std::to_string(count) + " cells in " +
            std::to_string(bytes.size() - kRoomChunkHeader) + " bytes (" +
            std::to_string(kRoomChunkCell) + " each)";
    return false;
  }
  room.cells.resize(static_cast<size_t>(count));
  for (RoomChunk::Cell& c : room.cells) {
    c.x = next();
    c.y = next();
    c.z = next();
    const int material = next(), cellFlags = next();
    if (c.x < 0 || c.y < 0 || c.z < 0 || c.x >= room.size[0] || c.y >= room.size[1] ||
        c.z >= room.size[2] || material < 0 || material > 255 || cellFlags < 0 || cellFlags > 7) {
      error = where + " lists a cell outside the room or of no material";
      return false;
    }
    c.cell.material = static_cast<unsigned char>(material);
    c.cell.emitter = (cellFlags & kFlagEmitter) != 0;
    c.cell.greenMarker = (cellFlags & kFlagGreen) != 0;
    c.cell.redMarker = (cellFlags & kFlagRed) != 0;
    c.cell.opacity = nextFloat();
    for (float& e : c.cell.emission) e = nextFloat();
    if (!std::isfinite(c.cell.opacity) || !std::isfinite(c.cell.emission[0]) ||
        !std::isfinite(c.cell.emission[1]) || !std::isfinite(c.cell.emission[2])) {
      error = where + " lists a cell whose values are not numbers";
      return false;
    }
  }
  return true;
}

// A material's name as the screen and the status line show it: a few printable ASCII words. Our
// names are at most a dozen characters; a file with control bytes there would write them to the
// terminal with --stats.
bool showableName(const std::string& name) {
  constexpr size_t kLongestName = 40;
  if (name.empty() || name.size() > kLongestName) return false;
  for (const char c : name)
    if (c < 0x20 || c > 0x7e) return false;
  return true;
}

// A material from our own MATL keys; false when they are missing or damaged.
bool ownMaterial(const vox::Dict& d, Material& m) {
  const std::string *kind = d.find("_qm_kind"), *rgb = d.find("_qm_rgb"),
                    *opacity = d.find("_qm_opacity"), *emission = d.find("_qm_emission"),
                    *name = d.find("_qm_name");
  if (!kind || !rgb || !opacity || !emission || !name) return false;
  bool known = false;
  for (Material::Kind k : {Material::Kind::Air, Material::Kind::Wall, Material::Kind::Glass,
                           Material::Kind::Light})
    if (*kind == Material::kindName(k)) {
      m.kind = k;
      known = true;
    }
  const std::vector<std::string> colour = words(*rgb), emits = words(*emission);
  if (!known || colour.size() != 3 || emits.size() != 3 || !showableName(*name)) return false;
  for (int c = 0; c < 3; ++c) {
    long v;
    std::uint32_t bits;
    if (!vox::parseInteger(colour[c], v) || v < 0 || v > 255 || !parseHex32(emits[c], bits))
      return false;
    m.colour[c] = static_cast<unsigned char>(v);
    m.emission[c] = floatOf(bits);
  }
  std::uint32_t bits;
  if (!parseHex32(*opacity, bits)) return false;
  m.opacity = floatOf(bits);
  m.name = *name;
  return std::isfinite(m.opacity) && std::isfinite(m.emission[0]) &&
         std::isfinite(m.emission[1]) && std::isfinite(m.emission[2]);
}

RoomLoad loadOwnRoom(const std::string& name, const vox::Scene& scene, const vox::Chunk& chunk,
                     LightGrid& grid, ColorMap& map, const VoxRoomLimits& limits) {
  RoomChunk room;
  std::string error;
  if (!readRoomChunk(chunk.content, limits.maxOwnSide, limits.maxOwnCells, room, error))
    return refused(name, error);
  Palette palette;
  for (int k = 0; k < room.paletteSize; ++k) {
    Material m;
    if (scene.hasMaterial[k] && ownMaterial(scene.materials[k], m)) {
      if (k == 0)
        palette.set(0, m);
      else
        palette.add(m);
    } else if (k != 0) {
      return refused(name, "material " + std::to_string(k) + " of the room's " +
                               std::to_string(room.paletteSize) + " has no usable room keys");
    }
  }
  const int width = room.size[0], height = room.size[1], depth = room.size[2];
  vox::Limits fileLimits = limits.file;
  fileLimits.maxSide[0] = width;
  fileLimits.maxSide[1] = depth;
  fileLimits.maxSide[2] = height;
  vox::Volume volume;
  if (!vox::flatten(scene, volume, error, fileLimits)) return refused(name, error);
  if (!volume.empty() &&
      (volume.origin[0] < 0 || volume.origin[1] < 0 || volume.origin[2] < 0 ||
       volume.origin[0] + volume.size[0] > width || volume.origin[1] + volume.size[1] > depth ||
       volume.origin[2] + volume.size[2] > height))
    return refused(name, std::string("a voxel lies outside the room its ") + kVoxRoomChunk +
                             " chunk names");
  std::cout << "loaded room dimensions x: " << width << " y: " << height << " z: " << depth
            << std::endl;
  grid.setPalette(palette);
  grid.resize(width, height, depth);
  map.resize(width, depth);
  GridCell cells[256];
  for (int k = 0; k < 256; ++k) cells[k] = palette[k].cell(static_cast<unsigned char>(k));
  const unsigned char* v = volume.index.data();
  for (int vz = 0; vz < volume.size[2]; ++vz)
    for (int vy = 0; vy < volume.size[1]; ++vy)
      for (int vx = 0; vx < volume.size[0]; ++vx, ++v)
        if (*v != 0)
          grid.setCell(volume.origin[0] + vx, volume.origin[2] + vz,
                           depth - 1 - (volume.origin[1] + vy), cells[*v]);
  for (const RoomChunk::Cell& c : room.cells) grid.setCell(c.x, c.y, c.z, c.cell);
  grid.touchAll();
  grid.lightX = room.light[0];
  grid.lightY = room.light[1];
  grid.lightZ = room.light[2];
  map.refreshAll(grid);
  if (!room.start.open) return refused(name, "it has no open cell to stand in");
  // The eye stands in the room: cells are centred on whole coordinates.
  const Vec3& eye = room.start.eye;
  const float half = 0.5f;
  if (eye.x < -half || eye.y < -half || eye.z < -half || eye.x > grid.sizeX - half ||
      eye.y > grid.sizeY - half || eye.z > grid.sizeZ - half)
    return refused(name, "its start view stands outside the room");
  RoomLoad load;
  load.ok = true;
  load.start = room.start;
  return load;
}

// The MATL of room material k: the standard keys for other editors, then ours.
vox::Dict materialKeys(const Material& m) {
  vox::Dict d;
  switch (m.kind) {
    case Material::Kind::Glass:
      d.set("_type", "_glass");
      d.set("_trans", decimal(1.0 - m.opacity));
      d.set("_alpha", decimal(1.0 - m.opacity));
      break;
    case Material::Kind::Light:
      d.set("_type", "_emit");
      d.set("_emit", decimal(std::max({m.emission[0], m.emission[1], m.emission[2]}) /
                             kVoxEmitScale));
      d.set("_flux", "0");
      break;
    case Material::Kind::Wall:
    case Material::Kind::Air:
      d.set("_type", "_diffuse");
      break;
  }
  d.set("_qm_kind", Material::kindName(m.kind));
  d.set("_qm_rgb", std::to_string(m.colour[0]) + " " + std::to_string(m.colour[1]) + " " +
                       std::to_string(m.colour[2]));
  d.set("_qm_opacity", hex32(bitsOf(m.opacity)));
  d.set("_qm_emission", hex32(bitsOf(m.emission[0])) + " " + hex32(bitsOf(m.emission[1])) + " " +
                            hex32(bitsOf(m.emission[2])));
  d.set("_qm_name", m.name.substr(0, vox::kMaxString));
  return d;
}

bool sameMaterial(const Material& a, const Material& b) {
  return a.kind == b.kind && std::equal(a.colour, a.colour + 3, b.colour) &&
         bitsOf(a.opacity) == bitsOf(b.opacity) && bitsOf(a.emission[0]) == bitsOf(b.emission[0]) &&
         bitsOf(a.emission[1]) == bitsOf(b.emission[1]) &&
         bitsOf(a.emission[2]) == bitsOf(b.emission[2]);
}

// The colour index a cell is drawn with: its material, or for a cell of material 0 that is not
// air, a material of its kind (past the palette when there is none: ours lists the cell anyway).
unsigned char drawnIndex(const GridCell& c, const Palette& palette) {
  if (c.material != 0) return c.material;
  const Material::Kind kind = c.emitter               ? Material::Kind::Light
                              : c.isOpaque()          ? Material::Kind::Wall
                              : c.isGlass()           ? Material::Kind::Glass
                                                      : Material::Kind::Air;
  for (int k = 1; k < palette.size(); ++k)
    if (kind != Material::Kind::Air && palette[k].kind == kind) return static_cast<unsigned char>(k);
  return static_cast<unsigned char>(palette.size() < Palette::kMaxMaterials ? palette.size() : 1);
}

}  // namespace

bool isVoxBytes(const unsigned char* bytes, size_t size) {
  return size >= 4 && std::memcmp(bytes, "VOX ", 4) == 0;
}

RoomLoad loadRoomFromVox(const std::string& name, const unsigned char* bytes, size_t size,
                         LightGrid& grid, ColorMap& map, const VoxRoomLimits& limits) {
  vox::Scene scene;
  std::string error;
  if (!vox::read(bytes, size, scene, error, limits.file)) return refused(name, error);
  const vox::Chunk* chunk = scene.chunk(kVoxRoomChunk);
  RoomLoad load = chunk != nullptr ? loadOwnRoom(name, scene, *chunk, grid, map, limits)
                                   : importScene(name, scene, grid, map, limits);
  load.kind = "scene";
  return load;
}

std::vector<unsigned char> roomToVox(const LightGrid& grid, const StartView& start) {
  const Palette& palette = grid.palette();
  const int width = grid.sizeX, height = grid.sizeY, depth = grid.sizeZ;
  vox::Scene scene;
  scene.hasPalette = true;
  const std::array<vox::Colour, 256> standard = vox::Scene::defaultPalette();
  for (int k = 1; k < 256; ++k) {
    if (k >= palette.size()) {
      scene.palette[k] = standard[k];
      continue;
    }
    const Material& m = palette[k];
    scene.palette[k] = vox::Colour{m.colour[0], m.colour[1], m.colour[2], 255};
    // A light's entry is the hue of its light, which an editor (and the import of a file it
    // saved without our keys) takes for the colour it emits; `_emit` carries the strength.
    const float strongest = std::max({m.emission[0], m.emission[1], m.emission[2]});
    if (m.kind == Material::Kind::Light && strongest > 0.0f)
      for (int c = 0; c < 3; ++c)
        scene.palette[k][c] =
            static_cast<unsigned char>(std::lround(255.0 * m.emission[c] / strongest));
    scene.materials[k] = materialKeys(m);
    scene.hasMaterial[k] = true;
  }
  if (!sameMaterial(palette[0], Palette()[0]) || palette[0].name != Palette()[0].name) {
    scene.materials[0] = materialKeys(palette[0]);
    scene.hasMaterial[0] = true;
  }

  // Our chunk's header, then the cells the palette does not describe, found on the way.
  std::vector<unsigned char> own;
  put32(own, kRoomChunkVersion);
  for (int s : {width, height, depth}) put32(own, static_cast<std::uint32_t>(s));
  put32(own, static_cast<std::uint32_t>(palette.size()));
  put32(own, (start.found ? 1u : 0u) | (start.open ? 2u : 0u));
  putVec(own, start.eye);
  putVec(own, start.target);
  putVec(own, start.up);
  for (int v : {grid.lightX, grid.lightY, grid.lightZ}) put32(own, static_cast<std::uint32_t>(v));
  const size_t countAt = own.size();
  put32(own, 0);
  std::uint32_t listed = 0;

  // The scene's axes: x, y = depth - 1 - z, z = y; models of up to 256 a side.
  const int extent[3] = {width, depth, height};
  int blocks[3];
  for (int k = 0; k < 3; ++k) blocks[k] = std::max(1, (extent[k] + 255) / 256);
  vox::Node root, group;
  root.kind = vox::Node::Kind::Transform;
  root.id = 0;
  root.child = 1;
  group.kind = vox::Node::Kind::Group;
  group.id = 1;
  std::vector<vox::Node> shapes;
  GridCell cells[256];
  for (int k = 0; k < 256; ++k) cells[k] = palette[k].cell(static_cast<unsigned char>(k));
  for (int bz = 0; bz < blocks[2]; ++bz)
    for (int by = 0; by < blocks[1]; ++by)
      for (int bx = 0; bx < blocks[0]; ++bx) {
        const int o[3] = {bx * 256, by * 256, bz * 256};
        vox::Model model;
        for (int k = 0; k < 3; ++k) model.size[k] = std::max(1, std::min(256, extent[k] - o[k]));
        for (int z = 0; z < model.size[2] && o[2] + z < height; ++z)
          for (int y = 0; y < model.size[1] && o[1] + y < depth; ++y)
            for (int x = 0; x < model.size[0] && o[0] + x < width; ++x) {
              const int rx = o[0] + x, ry = o[2] + z, rz = depth - 1 - (o[1] + y);
              const GridCell c = grid.getCell(rx, ry, rz);
              if (isAirCell(c)) continue;
              if (!sameFields(c, cells[c.material])) {
                for (int v : {rx, ry, rz, static_cast<int>(c.material)})
                  put32(own, static_cast<std::uint32_t>(v));
                put32(own, (c.emitter ? kFlagEmitter : 0) | (c.greenMarker ? kFlagGreen : 0) |
                               (c.redMarker ? kFlagRed : 0));
                putFloat(own, c.opacity);
                for (float e : c.emission) putFloat(own, e);
                ++listed;
              }
              // An open cell of material 0 (the wandering light's) is no block.
              const bool wandering = rx == grid.lightX && ry == grid.lightY && rz == grid.lightZ;
              if (c.material == 0 && !c.isOpaque() && !c.isGlass() && (wandering || !c.emitter))
                continue;
              const unsigned char drawn = drawnIndex(c, palette);
              const unsigned char voxel[4] = {static_cast<unsigned char>(x),
                                              static_cast<unsigned char>(y),
                                              static_cast<unsigned char>(z), drawn};
              model.voxels.insert(model.voxels.end(), voxel, voxel + 4);
            }
        // Empty blocks are left out, but a scene has at least one model.
        if (model.voxels.empty() && !(bx == 0 && by == 0 && bz == 0)) continue;
        vox::Node transform, shape;
        transform.kind = vox::Node::Kind::Transform;
        transform.id = 2 + 2 * static_cast<int>(scene.models.size());
        transform.child = transform.id + 1;
        transform.layer = 0;
        // The pivot of a model of size s is floor(s / 2): this puts voxel v at o + v.
        for (int k = 0; k < 3; ++k) transform.translation[k] = o[k] + model.size[k] / 2;
        shape.kind = vox::Node::Kind::Shape;
        shape.id = transform.id + 1;
        shape.model = static_cast<int>(scene.models.size());
        group.children.push_back(transform.id);
        shapes.push_back(transform);
        shapes.push_back(shape);
        scene.models.push_back(std::move(model));
      }
  scene.nodes.push_back(root);
  scene.nodes.push_back(group);
  scene.nodes.insert(scene.nodes.end(), shapes.begin(), shapes.end());
  vox::Layer layer;
  layer.attributes.set("_name", "room");
  scene.layers.push_back(layer);
  for (int i = 0; i < 4; ++i) own[countAt + i] = static_cast<unsigned char>(listed >> (8 * i));
  vox::Chunk chunk;
  chunk.id = kVoxRoomChunk;
  chunk.content = std::move(own);
  scene.otherChunks.push_back(std::move(chunk));
  return vox::write(scene);
}

vox::Limits voxFileLimits(long ownCells) {
  vox::Limits limits;
  limits.maxVoxels = ownCells;
  limits.maxPlacedVoxels = std::max(limits.maxPlacedVoxels, ownCells);
  // The chunks' own headers and the models' sizes and places come to far less than a mebibyte:
  // a room has at most (1024 / 256)^2 models.
  const size_t kChunkFrames = size_t{1} << 20;
  limits.maxFileBytes = 4 * static_cast<size_t>(ownCells) + limits.maxRecordBytes + kChunkFrames;
  return limits;
}

std::string saveRoomVox(const LightGrid& grid, const StartView& start, std::string& error,
                        const VoxRoomLimits& limits) {
  // What the loader would refuse is not written: a saved room must open again.
  const long cells = static_cast<long>(grid.sizeX) * grid.sizeY * grid.sizeZ;
  if (std::max({grid.sizeX, grid.sizeY, grid.sizeZ}) > limits.maxOwnSide ||
      cells > limits.maxOwnCells) {
    error = "a room of " + std::to_string(grid.sizeX) + " × " + std::to_string(grid.sizeY) +
            " × " + std::to_string(grid.sizeZ) + " cells is larger than a scene this program " +
            "reads back";
    return "";
  }
  const std::vector<unsigned char> bytes = roomToVox(grid, start);
  vox::Scene scene;
  std::string cause;
  if (!vox::read(bytes.data(), bytes.size(), scene, cause, limits.file)) {
    error = "the room is too large for a scene this program reads back (" + cause + ")";
    return "";
  }
  return FileWriter::writeNew(kVoxRoomFolder, "room", ".vox", bytes, error);
}

bool isMapRoom(const LightGrid& grid, int mapHeight) {
  if (!grid.allocated || grid.sizeY < 1 || grid.sizeY != mapHeight) return false;
  const Palette& palette = grid.palette();
  const Palette standard = Palette::standard();
  for (int k : {Palette::kWall, Palette::kGlass, Palette::kWhiteLight, Palette::kYellowLight,
                Palette::kBlueLight})
    if (!sameMaterial(palette[k], standard[k])) return false;
  const int start[3] = {LightGrid::kLightStart[0], wanderingLightStartY(grid.sizeY),
                        LightGrid::kLightStart[2]};
  const bool atStart =
      grid.lightX == start[0] && grid.lightY == start[1] && grid.lightZ == start[2];
  // A map builds the wandering light in its start cell, or none where that lies outside the room:
  // a room whose light is outside while the start is inside (a scene may keep it there) would
  // come back with one light more, one too narrow for the start with one light fewer.
  if (grid.contains(start[0], start[1], start[2]) !=
      grid.contains(grid.lightX, grid.lightY, grid.lightZ))
    return false;
  GridCell wandering;
  wandering.setEmitter(kWanderingLightEmission, 0.0f, 0.0f);
  const mapcolour::Rgb air = columnColour(ColumnKind::Air);
  const GridCell open = columnCell(cellFromColour(air.r, air.g, air.b), start[1], grid.sizeY);
  for (int z = 0; z < grid.sizeZ; ++z)
    for (int x = 0; x < grid.sizeX; ++x) {
      const mapcolour::Rgb colour = columnColour(columnKindAt(grid, x, z));
      const GridCell p = cellFromColour(colour.r, colour.g, colour.b);
      for (int y = 0; y < grid.sizeY; ++y) {
        GridCell cell = grid.getCell(x, y, z);
        const bool startCell = x == start[0] && y == start[1] && z == start[2];
        if (startCell) {
          // The map builds the light in its start cell, in the open, whatever the column holds
          // there: the room must have the bare light there, or an open cell it will come back to.
          if (!sameFields(cell, atStart ? wandering : open)) return false;
          continue;
        }
        if (x == grid.lightX && y == grid.lightY && z == grid.lightZ) {
          // Anywhere else it leaves the cell as it found it: that must be the column's.
          cell.emitter = false;
          std::fill(cell.emission, cell.emission + 3, 0.0f);
        }
        if (!sameFields(cell, columnCell(p, y, grid.sizeY))) return false;
      }
    }
  return true;
}
