// .vox scenes: rooms written and read back cell for cell, the scene graph's placement (every
// rotation byte, groups, hidden nodes and layers), a model imported into a room (default palette,
// materials, margin, lamps, eye), map rooms, the loaders and the saver, and hostile files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app/Scene.h"
#include "tests/support/MapRooms.h"
#include "tests/support/VoxBytes.h"
#include "world/RoomEditor.h"
#include "world/VoxRoom.h"

namespace vb = voxbytes;

namespace {

using Kind = Material::Kind;

const unsigned char* data(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }
std::string text(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }
const StartView kView = {true, true, {1.1f, 2.3f, 3.7f}, {-0.1f, 1e-7f, 7.25f}, {0.0f, 0.999f, 0.001f}};

// Every field as text, floats to the bit (%a), so that materials, cells and views compare exactly.
template <class... Values>
std::string format(const char* pattern, Values... values) {
  char s[256];
  std::snprintf(s, sizeof s, pattern, values...);
  return s;
}
std::string fields(const Material& m) {
  return format("%d %d %d %d %a %a %a %a ", int(m.kind), m.colour[0], m.colour[1], m.colour[2], m.opacity,
                m.emission[0], m.emission[1], m.emission[2]) + m.name;
}
std::string fields(const GridCell& c) {
  return format("%d %d%d%d%d %a %a %a %a %a", c.material, c.emitter, c.greenMarker, c.redMarker, c.hidden,
                c.opacity, c.emission[0], c.emission[1], c.emission[2], c.light[0]);
}
std::string fields(const StartView& v) {
  return format("%d%d %a %a %a %a %a %a %a %a %a", v.found, v.open, v.eye.x, v.eye.y, v.eye.z, v.target.x,
                v.target.y, v.target.z, v.up.x, v.up.y, v.up.z);
}

// A room loaded from bytes named "test.vox", and what the load said.
struct Loaded {
  Loaded(const std::string& bytes, const VoxRoomLimits& limits = VoxRoomLimits()) {
    testing::internal::CaptureStdout();
    load = loadRoomFromVox("test.vox", data(bytes), bytes.size(), grid, map, limits);
    testing::internal::GetCapturedStdout();
  }
  LightGrid grid;
  ColorMap map;
  RoomLoad load;
};

// How a loaded room falls short of room `a` seen from `view` (the load's error, size, palette,
// cells, wandering light, start view, its raster against the rule's picture of it), or "".
std::string difference(const LightGrid& a, const StartView& view, const Loaded& got) {
  const LightGrid& b = got.grid;
  if (!got.load.ok) return got.load.error;
  if (a.sizeX != b.sizeX || a.sizeY != b.sizeY || a.sizeZ != b.sizeZ || a.palette().size() != b.palette().size() ||
      got.map.width != b.sizeX || got.map.height != b.sizeZ)
    return "size";
  for (int k = 0; k < a.palette().size(); ++k)
    if (fields(a.palette()[k]) != fields(b.palette()[k])) return "material " + std::to_string(k);
  for (int z = 0; z < a.sizeZ; ++z)
    for (int x = 0; x < a.sizeX; ++x) {
      for (int y = 0; y < a.sizeY; ++y)
        if (fields(a.getCell(x, y, z)) != fields(b.getCell(x, y, z))) return format("cell %d %d %d", x, y, z);
      if (got.map.basePixel(x, z) != ColorMap::columnBase(b, x, z)) return format("raster %d %d", x, z);
    }
  if (a.lightX != b.lightX || a.lightY != b.lightY || a.lightZ != b.lightZ) return "wandering light";
  return fields(got.load.start) == fields(view) ? "" : "view " + fields(got.load.start);
}

// A random room: air renamed and recoloured, `extra` materials of every kind beyond the standard
// ones, and cells no material describes (material 0 solid or glowing, a marker, a light or an
// opacity off its material's, a material past the palette's end); the wandering light inside.
void randomRoom(LightGrid& grid, int w, int h, int d, int extra, unsigned seed) {
  std::mt19937 rng(seed);
  Palette palette = Palette::standard();
  Material m = palette[0];
  m.name = "thin \"air\"";
  m.colour[1] = 7;
  palette.set(0, m);
  for (int i = 0; i < extra && palette.size() < Palette::kMaxMaterials; ++i) {
    m = Material();
    m.kind = static_cast<Kind>(i % 4);
    for (auto& c : m.colour) c = static_cast<unsigned char>(rng());
    m.opacity = m.kind == Kind::Wall ? 1.0f : m.kind == Kind::Glass ? std::ldexp(static_cast<float>(rng() % 900 + 2), -10) : 0;
    for (float& e : m.emission) e = m.kind == Kind::Light ? static_cast<float>(rng() % 1000000) / 3.0f : 0;
    m.name = "material " + std::to_string(i) + (i % 5 == 0 ? " with spaces" : "");
    palette.add(m);
  }
  grid.setPalette(palette);
  grid.resize(w, h, d);
  for (int z = 0; z < d; ++z)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned r = rng() % 100, k = rng() % palette.size();
        GridCell c = palette[k].cell(static_cast<unsigned char>(k));
        if (r == 99) c.setSolid();
        if (r == 98) c.setEmitter(0.0f, 300.0f, 0.0f);
        if (r == 97) c.setGreenMarker();
        if (r == 96) c.emission[2] += 1.5f;
        if (r == 95) c.setTranslucent(0.3f);
        if (r == 94) c.material = static_cast<unsigned char>(palette.size());
        if (r >= 50) grid.setCell(x, y, z, c);
      }
  grid.lightX = 1 + static_cast<int>(rng() % (w - 2));
  grid.lightY = 1 + static_cast<int>(rng() % (h - 2));
  grid.lightZ = 1 + static_cast<int>(rng() % (d - 2));
  GridCell wandering;
  wandering.setEmitter(1520.0f, 0.0f, 0.0f);
  grid.setCell(grid.lightX, grid.lightY, grid.lightZ, wandering);
}

// The scene a file reads as; a file the reader refuses fails the test.
vox::Scene parsed(const std::string& bytes) {
  vox::Scene scene;
  std::string error;
  EXPECT_TRUE(vox::read(data(bytes), bytes.size(), scene, error)) << error;
  return scene;
}

// read + flatten: the error of whichever refused, or "".
std::string refusal(const std::string& bytes, const vox::Limits& limits = vox::Limits(), vox::Volume* volume = nullptr) {
  vox::Scene scene;
  vox::Volume own;
  std::string error;
  if (vox::read(data(bytes), bytes.size(), scene, error, limits)) vox::flatten(scene, volume ? *volume : own, error, limits);
  return error;
}
vox::Volume flattened(const std::string& bytes) {
  vox::Volume volume;
  EXPECT_EQ(refusal(bytes, vox::Limits(), &volume), "");
  return volume;
}

// Our room file with its own chunk (and so its scene) changed by `change`.
template <class Change>
std::string changedRoom(const LightGrid& grid, Change change) {
  vox::Scene scene = parsed(text(roomToVox(grid, kView)));
  for (vox::Chunk& chunk : scene.otherChunks)
    if (chunk.id == kVoxRoomChunk) change(scene, chunk.content);
  return text(vox::write(scene));
}

// Our room file with the 32-bit word at byte `at` of its own chunk made `value`.
std::string roomWith(const LightGrid& grid, size_t at, std::uint32_t value) {
  return changedRoom(grid, [&](vox::Scene&, std::vector<unsigned char>& c) {
    for (int i = 0; i < 4; ++i) c[at + i] = static_cast<unsigned char>(value >> (8 * i));
  });
}

}  // namespace

TEST(VoxRoom, RandomRoomsOfEveryMaterialAtHeights6And32And64AndOneOfSeveralModelsComeBackCellForCell) {
  // Width, height, depth, materials beyond the standard ones, the models written (256 a side at most).
  for (const auto& r : {std::array<int, 5>{19, 6, 13, 40, 1}, {11, 32, 9, 100, 1}, {7, 64, 8, 300, 1}, {300, 6, 260, 3, 4},
                        {257, 6, 5, 0, 2}}) {
    SCOPED_TRACE(format("%d x %d x %d", r[0], r[1], r[2]));
    LightGrid grid;
    randomRoom(grid, r[0], r[1], r[2], r[3], static_cast<unsigned>(r[0]));
    if (r[3] == 0) {  // material 0 the plain one but renamed: it is written too
      Palette renamed = grid.palette();
      Material open = Palette()[0];
      open.name = "open air";
      renamed.set(0, open);
      grid.setPalette(renamed);
    }
    const std::string bytes = text(roomToVox(grid, kView));
    const vox::Scene scene = parsed(bytes);
    ASSERT_EQ(scene.models.size(), static_cast<size_t>(r[4]));
    for (const vox::Model& m : scene.models) EXPECT_TRUE(m.size[0] <= 256 && m.size[1] <= 256 && m.size[2] == r[1]);
    Loaded back(bytes);
    EXPECT_EQ(difference(grid, kView, back), "");
    // Nothing is lost or added on the way: the room writes the same file again.
    EXPECT_TRUE(text(roomToVox(back.grid, kView)) == bytes);
  }
}

TEST(VoxFile, EachOf48RotationBytesPlacesAnAsymmetricModelAsThePivotRuleSaysAndThe80OthersAreRefused) {
  // One side even, two odd, each voxel its own colour; translated at both levels.
  const int size[3] = {4, 3, 5};
  const double t[2][3] = {{-5, 2, 11}, {3, 8, -1}};
  const std::vector<vb::Voxel> voxels = {{0, 0, 0, 1}, {3, 0, 0, 2}, {0, 2, 0, 3}, {0, 0, 4, 4}, {1, 2, 3, 5}, {3, 1, 2, 6}};
  // {root's byte, the model's byte}: turns over turns, then every byte under an unturned root.
  std::vector<std::array<int, 2>> bytes = {{1 | 2 << 2, 2 | 1 << 4}, {2 | 1 << 5, 1 | 2 << 2 | 1 << 6}, {6 | 7 << 4, 9 | 3 << 4}, {33, 24}};
  for (int byte = 0; byte < 128; ++byte) bytes.push_back({4, byte});
  int valid = 0;
  for (const auto& pair : bytes) {
    SCOPED_TRACE(format("rotation byte %d under %d", pair[1], pair[0]));
    const std::string file = vb::file(vb::model(size[0], size[1], size[2], voxels) +
                                      vb::transform(0, 1, -1, {{"_r", std::to_string(pair[0])}, {"_t", "-5 2 11"}}) + vb::group(1, {2}) +
                                      vb::transform(2, 3, 0, {{"_t", "3 8 -1"}, {"_r", std::to_string(pair[1])}}) + vb::shape(3, 0));
    // The matrices from the format's description: row r's non-zero entry sits in the column its two
    // bits name (the third row's in the column left over), negative when bit 4 + r is set.
    int m[2][3][3] = {};
    bool named = true;
    for (int level = 0; level < 2; ++level) {
      const int c0 = pair[level] & 3, c1 = pair[level] >> 2 & 3, columns[3] = {c0, c1, 3 - c0 - c1};
      named = c0 < 3 && c1 < 3 && c0 != c1;
      for (int r = 0; r < 3 && named; ++r) m[level][r][columns[r]] = pair[level] >> (4 + r) & 1 ? -1 : 1;
    }
    vox::Rotation rotation;
    EXPECT_EQ(rotation.decode(pair[1]) && rotation.encode() == pair[1], named);
    if (!named) {
      EXPECT_NE(refusal(file).find(format("rotation \"%d\" is none of the 48 rotation bytes", pair[1])), std::string::npos);
      continue;
    }
    valid += pair[0] == 4;
    const vox::Volume volume = flattened(file);
    EXPECT_EQ(volume.voxels, static_cast<long>(voxels.size()));
    // floor(R1 · (R2 · (v + 0.5 - floor(size / 2)) + t2) + t1), in floating point.
    for (const vb::Voxel& v : voxels) {
      double p[3] = {v.x + 0.5 - size[0] / 2, v.y + 0.5 - size[1] / 2, v.z + 0.5 - size[2] / 2};
      for (int level = 1; level >= 0; --level) {
        double q[3] = {t[level][0], t[level][1], t[level][2]};
        for (int r = 0; r < 3; ++r)
          for (int k = 0; k < 3; ++k) q[r] += m[level][r][k] * p[k];
        std::copy(q, q + 3, p);
      }
      EXPECT_EQ(volume.at(int(std::floor(p[0])), int(std::floor(p[1])), int(std::floor(p[2]))), v.i);
    }
  }
  EXPECT_EQ(valid, 48);
}

TEST(VoxFile, GroupsHiddenNodesHiddenLayersAndOverlapsFollowTheGraphAndTheWriterKeepsThem) {
  const auto one = [](int i) { return vb::model(1, 1, 1, {{0, 0, 0, i}}); };
  // Pivots of 1-voxel models are 0: voxel (0, 0, 0) lands on the translation.
  const std::string bytes = vb::file(one(11) + one(12) + one(13) + one(14) + one(15) + vb::layer(0, false) + vb::layer(1, true) +
      vb::transform(0, 1, -1) + vb::group(1, {2, 4, 6, 8, 10}) + vb::transform(2, 3, 0) + vb::shape(3, 0) +
      vb::transform(4, 5, 0, {{"_t", "5 0 0"}}, {{"_hidden", "1"}}) + vb::shape(5, 1) +
      vb::transform(6, 7, 1, {{"_t", "0 5 0"}}) + vb::shape(7, 2) +
      // Placed later at the first one's place: it wins.
      vb::transform(8, 9, 0, {{"_t", "0 0 0"}}) + vb::shape(9, 3) +
      // A group in a group, moved and turned as a whole.
      vb::transform(10, 11, 0, {{"_t", "0 0 7"}, {"_r", std::to_string(1 | 0 << 2 | 1 << 4)}}) +
      vb::group(11, {12, 14}) + vb::transform(12, 13, 0, {{"_t", "2 0 0"}}) + vb::shape(13, 4) +
      vb::transform(14, 15, 1, {{"_t", "3 0 0"}}) + vb::shape(15, 0));
  const vox::Volume v = flattened(bytes);
  // Hidden: a transform, a layer. R has rows (0 -1 0), (1 0 0), (0 0 1); t = R · (2, 0, 0) + (0, 0, 7)
  // = (0, 2, 7); the centre (0.5, 0.5, 0.5) turns to (-0.5, 0.5, 0.5): floor((-0.5, 2.5, 7.5)) = (-1, 2, 7).
  EXPECT_TRUE(v.voxels == 2 && v.at(0, 0, 0) == 14 && v.at(5, 0, 0) + v.at(0, 5, 0) == 0 && v.at(-1, 2, 7) == 15);
  // The volume's bounds are the voxels' own; one past them is empty (not the next row's voxel).
  EXPECT_TRUE(v.origin[0] == -1 && v.size[0] * v.size[1] * v.size[2] == 2 * 3 * 8);
  EXPECT_EQ(v.at(1, 1, 7), 0);
  // What the reader gives back, the writer writes as it was; a layer ends with its reserved -1.
  const std::string written = text(vox::write(parsed(bytes)));
  EXPECT_TRUE(flattened(written).index == v.index);
  const size_t layer = written.find("LAYR");
  ASSERT_NE(layer, std::string::npos);
  const size_t content = static_cast<unsigned char>(written[layer + 4]) | static_cast<unsigned char>(written[layer + 5]) << 8;
  EXPECT_EQ(written.substr(layer + 12 + content - 4, 4), std::string(4, '\xff'));
  // Without any node every model lies at its own coordinates; later ones win.
  const vox::Volume plain = flattened(vb::file(vb::model(3, 3, 3, {{2, 1, 0, 7}, {0, 0, 0, 8}}) + one(9)));
  EXPECT_TRUE(plain.voxels == 2 && plain.at(0, 0, 0) == 9 && plain.at(2, 1, 0) == 7);
}

TEST(VoxRoom, AnImportedModelStandsOnTheFloorWithinItsMarginWallsCeilingLampsEyeAndTheDefaultPalette) {
  // Size x, y, z (z up) for several lamps, no palette or graph; each voxel's colour shows a mirror.
  const int size[3] = {60, 40, 3};
  const std::vector<vb::Voxel> voxels = {{0, 0, 0, 1}, {59, 0, 0, 2}, {0, 39, 0, 7}, {0, 0, 2, 9}, {30, 20, 1, 2}};
  Loaded room(vb::file(vb::model(size[0], size[1], size[2], voxels)));
  const LightGrid& g = room.grid;
  const Palette& p = g.palette();
  // The room's own raster and start; walls, a margin of 2 and the model; floor, the model,
  // 2 layers of headroom and the ceiling.
  ASSERT_EQ(difference(g, room.load.start, room), "");
  ASSERT_EQ(format("%d %d %d", g.sizeX, g.sizeY, g.sizeZ), format("%d %d %d", size[0] + 6, size[2] + 4, size[1] + 6));
  // Walls of the default palette's colours (0xAABBGGRR per index).
  for (const auto& c : {std::array<int, 4>{1, 255, 255, 255}, {2, 255, 255, 204}, {7, 255, 204, 255}, {9, 255, 204, 153}})
    EXPECT_TRUE(p[c[0]].kind == Kind::Wall && std::equal(p[c[0]].colour, p[c[0]].colour + 3, c.begin() + 1)) << c[0];
  EXPECT_EQ(p[253].colour[0], 0x44);
  // Voxel (x, y, z) stands at room (3 + x, 1 + z, depth - 4 - y): nothing is mirrored.
  for (const vb::Voxel& v : voxels) EXPECT_EQ(fields(g.getCell(3 + v.x, 1 + v.z, g.sizeZ - 4 - v.y)), fields(p[v.i].cell(v.i)));
  long solid = 0;
  std::vector<std::array<int, 2>> lamps;
  for (int z = 0; z < g.sizeZ; ++z)
    for (int y = 0; y < g.sizeY; ++y)
      for (int x = 0; x < g.sizeX; ++x) {
        const GridCell c = g.getCell(x, y, z);
        const bool shell = std::min({x, y, z, g.sizeX - 1 - x, g.sizeY - 1 - y, g.sizeZ - 1 - z}) == 0;
        // Lamps in the ceiling as bright as the map's white lamp, walls all round; nothing else glows.
        if (c.emitter && (x != g.lightX || y != g.lightY || z != g.lightZ)) {
          EXPECT_EQ(format("%d %d %g %g", y, int(p[c.material].kind), c.emission[0], c.emission[2]),
                    format("%d %d 350 150", g.sizeY - 1, int(Kind::Light)));
          lamps.push_back({x, z});
        } else if (shell) {
          EXPECT_TRUE(c.isOpaque() && p[c.material].name == "room wall") << x << " " << y << " " << z;
        }
        solid += !shell && c.isOpaque();
      }
  EXPECT_EQ(solid, static_cast<long>(voxels.size()));
  // A lamp within 7 columns of each column inside, no two closer than 5.
  const auto apart = [](std::array<int, 2> a, std::array<int, 2> b) { return std::max(std::abs(a[0] - b[0]), std::abs(a[1] - b[1])); };
  for (int z = 1; z < g.sizeZ - 1; ++z)
    for (int x = 1; x < g.sizeX - 1; ++x)
      EXPECT_TRUE(std::any_of(lamps.begin(), lamps.end(), [&](std::array<int, 2> l) { return apart(l, {x, z}) <= 7; })) << x << " " << z;
  for (size_t i = 0; i < lamps.size(); ++i)
    for (size_t j = 0; j < i; ++j) EXPECT_GE(apart(lamps[i], lamps[j]), 5);
  // The eye stands on the floor by the wall on the large z side, level, facing the model across
  // an open column; the wandering light glows in an open layer.
  const StartView& s = room.load.start;
  EXPECT_TRUE(s.found && s.open && s.eye.y == 2.0f && s.eye.z == g.sizeZ - 2 && std::abs(s.eye.x - (g.sizeX - 1) / 2.0f) <= 1 &&
              s.target.y == s.eye.y && s.target.x == s.eye.x && s.target.z < s.eye.z && s.target.z > 0.0f) << fields(s);
  for (int y = 1; y < g.sizeY - 1; ++y) EXPECT_FALSE(g.getCell(int(s.eye.x), y, int(s.eye.z)).isOpaque());
  EXPECT_TRUE(g.lightY >= 1 && g.lightY <= g.sizeY - 2 && g.getCell(g.lightX, g.lightY, g.lightZ).emission[0] == 1520.0f);
}

TEST(VoxRoom, MaterialsBecomeTintedGlassScaledLightsAndWallsOfTheirColour) {
  const std::array<unsigned char, 4> grey = {10, 20, 30, 255}, tint = {200, 100, 50, 255};
  // Index k + 1: its MATL, its colour (RGBA), and the material it becomes (opacity -1: any).
  const struct { vb::Pairs matl; std::array<unsigned char, 4> colour; Kind kind; float opacity, emission[3]; } want[] = {
              {{}, grey, Kind::Wall, 1, {0, 0, 0}},
              {{{"_type", "_glass"}, {"_trans", "0.25"}}, tint, Kind::Glass, 0.75f, {0, 0, 0}},
              {{{"_type", "_glass"}, {"_alpha", "0.6"}}, tint, Kind::Glass, 0.4f, {0, 0, 0}},
              {{{"_type", "_emit"}, {"_emit", "1"}}, {255, 255, 255, 255}, Kind::Light, 0, {350, 350, 350}},
              {{{"_type", "_emit"}, {"_emit", "2"}, {"_flux", "1"}}, {255, 0, 128, 255}, Kind::Light, 0, {1400, 0, 1400 * 128 / 255.0f}},
              {{{"_type", "_metal"}, {"_metal", "1"}}, grey, Kind::Wall, 1, {0, 0, 0}},
              {{{"_type", "_emit"}, {"_emit", "0"}}, grey, Kind::Wall, 1, {0, 0, 0}},
              {{{"_type", "_glass"}, {"_trans", "1.0"}}, tint, Kind::Glass, -1, {0, 0, 0}},  // passing all light: glass all the same
              {{{"_weight", "0.5"}}, grey, Kind::Wall, 1, {0, 0, 0}},
              // Held within their ranges: glass that passes nothing stays glass, a light at most 100 times.
              {{{"_type", "_glass"}, {"_trans", "0"}}, tint, Kind::Glass, 0.89f, {0, 0, 0}},
              {{{"_type", "_emit"}, {"_emit", "1000"}}, {255, 255, 255, 255}, Kind::Light, 0, {35000, 35000, 35000}}};
  const int kinds = static_cast<int>(std::size(want));
  std::vector<std::array<unsigned char, 4>> colours;
  std::vector<vb::Voxel> voxels;
  std::string chunks;
  for (int k = 1; k <= kinds; ++k) {
    colours.push_back(want[k - 1].colour);
    voxels.push_back({k - 1, 0, 0, k});
    if (!want[k - 1].matl.empty()) chunks += vb::matl(k, want[k - 1].matl);
  }
  Loaded room(vb::file(vb::model(kinds, 1, 1, voxels) + vb::rgba(colours) + chunks));
  ASSERT_TRUE(room.load.ok) << room.load.error;
  const LightGrid& g = room.grid;
  const auto near = [](float a, float b) { return std::abs(a - b) <= 1e-5f * std::max(1.0f, b); };
  for (int k = 1; k <= kinds; ++k) {
    const Material& m = g.palette()[k];
    const auto& w = want[k - 1];
    EXPECT_TRUE(m.kind == w.kind && std::equal(m.colour, m.colour + 3, w.colour.begin()) && (w.opacity < 0 || near(m.opacity, w.opacity)) &&
                near(m.emission[0], w.emission[0]) && near(m.emission[1], w.emission[1]) && near(m.emission[2], w.emission[2]))
        << k << " " << fields(m);
    // Its voxel is a cell of it: glass, an emitter, a wall.
    const GridCell cell = g.getCell(2 + k, 1, g.sizeZ - 4);
    EXPECT_TRUE(fields(cell) == fields(m.cell(static_cast<unsigned char>(k))) &&
                (w.kind == Kind::Glass ? cell.isGlass() : w.kind == Kind::Light ? cell.emitter : cell.isOpaque())) << k;
  }
  // The model brings its own lights: the ceiling has no lamp.
  for (int z = 0; z < g.sizeZ; ++z)
    for (int x = 0; x < g.sizeX; ++x) EXPECT_FALSE(g.getCell(x, g.sizeY - 1, z).emitter);
}

TEST(VoxRoom, MapRoomsStayMapRoomsThroughColumnEditsAndTheirFileAndNotWithAnyOtherCellOrLegend) {
  const MapPixels shipped = shippedMap();
  for (int height : {6, 32}) {
    SCOPED_TRACE("height " + std::to_string(height));
    BuiltRoom room(shipped, height);
    LightGrid& grid = room.grid;
    const int sx = static_cast<int>(room.start.eye.x), sz = static_cast<int>(room.start.eye.z);
    const std::string bytes = text(roomToVox(grid, room.start));
    Loaded back(bytes);
    EXPECT_EQ(difference(grid, room.start, back), "");
    // Other editors see the lamps, start lamps included, but no block at the wandering light.
    vox::Volume volume;
    std::string error;
    ASSERT_TRUE(vox::flatten(parsed(bytes), volume, error)) << error;
    const auto voxelAt = [&](int x, int y, int z) {
      const int v[3] = {x - volume.origin[0], grid.sizeZ - 1 - z - volume.origin[1], y - volume.origin[2]};
      return volume.index[(static_cast<size_t>(v[2]) * volume.size[1] + v[1]) * volume.size[0] + v[0]];
    };
    int lamps = 0, drawnLamps = 0;
    for (int z = 0; z < grid.sizeZ; ++z)
      for (int x = 0; x < grid.sizeX; ++x)
        for (int y : {0, height - 1})
          if (grid.getCell(x, y, z).emitter) ++lamps, drawnLamps += voxelAt(x, y, z) != 0;
    EXPECT_TRUE(lamps > 2 && drawnLamps == lamps) << drawnLamps << " of " << lamps;
    EXPECT_EQ(voxelAt(grid.lightX, grid.lightY, grid.lightZ), 0);
    // The picture the save key writes for it, and for the room read back, is the map byte for byte.
    EXPECT_TRUE(isMapRoom(grid, height) && isMapRoom(back.grid, height));
    // Built at another height, the map would be another room.
    EXPECT_FALSE(isMapRoom(grid, height + 1) || isMapRoom(grid, height - 1));
    EXPECT_TRUE(roomMapPixels(grid, sx, sz) == shipped.rgb && roomMapPixels(back.grid, sx, sz) == shipped.rgb);
    // Saved again by another editor, our chunk and keys dropped, each lamp still gives its light:
    // the palette carries its hue, _emit its strength.
    vox::Scene edited = parsed(bytes);
    edited.otherChunks.clear();
    for (vox::Dict& d : edited.materials)
      d.pairs.erase(std::remove_if(d.pairs.begin(), d.pairs.end(), [](const auto& p) { return p.first.rfind("_qm_", 0) == 0; }),
                    d.pairs.end());
    const Loaded imported(text(vox::write(edited)));
    ASSERT_TRUE(imported.load.ok) << imported.load.error;
    for (int k = 1; k < grid.palette().size(); ++k) {
      if (grid.palette()[k].kind != Material::Kind::Light) continue;
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(imported.grid.palette()[k].emission[c], grid.palette()[k].emission[c], 1.0f) << k << " " << c;
    }
    RoomEditor editor;
    ASSERT_EQ(editor.fill(grid, room.map, 30, 30, ColumnKind::Glass, sx, sz), RoomEditor::Result::Done);
    ASSERT_EQ(editor.clear(grid, room.map, 20, 12), RoomEditor::Result::Done);
    // Column edits keep it a map room; a tinted glass cell or a wall of another material do not;
    // the wall back, it is one again.
    const Palette& p = grid.palette();
    GridCell cells[3] = {p[Palette::kGlass + 4].cell(Palette::kGlass + 4), grid.getCell(0, 2, 0), grid.getCell(0, 2, 0)};
    ASSERT_TRUE(p[Palette::kGlass + 4].tinted() && cells[2].isOpaque() && isMapRoom(grid, height));
    cells[1].material = 10;
    for (int i = 0; i < 3; ++i) {
      grid.setCell(0, 2, 0, cells[i]);
      EXPECT_EQ(isMapRoom(grid, height), i == 2) << i;
    }
    // The wandering light leaves a cell as it found it. Moved on through open air the room is the
    // map's (its start cell open, as the map builds it); in a pane no column holds, it is not;
    // back where it started, in its own open cell, it is again.
    const int from[3] = {grid.lightX, grid.lightY, grid.lightZ};
    const GridCell wandering = grid.getCell(from[0], from[1], from[2]);
    const auto moveLight = [&](int x, int y, int z, const GridCell& into) {
      GridCell left = grid.getCell(grid.lightX, grid.lightY, grid.lightZ);
      left.emitter = false;
      std::fill(left.emission, left.emission + 3, 0.0f);
      grid.setCell(grid.lightX, grid.lightY, grid.lightZ, left);
      GridCell cell = into;
      cell.emitter = true;
      std::copy(wandering.emission, wandering.emission + 3, cell.emission);
      grid.setCell(x, y, z, cell);
      grid.lightX = x, grid.lightY = y, grid.lightZ = z;
    };
    ASSERT_TRUE(isMapRoom(grid, height));
    moveLight(sx, 3, sz, GridCell());
    EXPECT_TRUE(isMapRoom(grid, height));
    moveLight(sx, 3, sz, p[Palette::kGlass + 4].cell(Palette::kGlass + 4));
    EXPECT_FALSE(isMapRoom(grid, height));
    grid.setCell(sx, 3, sz, GridCell());
    moveLight(from[0], from[1], from[2], GridCell());
    EXPECT_TRUE(isMapRoom(grid, height));
    // The map builds the light in its start cell, in the open: a column of glass through that
    // cell, with the light in its pane or moved on, comes back with a hole there; a light gone
    // from the room comes back as one light more.
    ASSERT_EQ(editor.fill(grid, room.map, from[0], from[2], ColumnKind::Glass, sx, sz),
              RoomEditor::Result::Done);
    ASSERT_TRUE(grid.getCell(from[0], from[1], from[2]).isGlass());
    EXPECT_FALSE(isMapRoom(grid, height));
    moveLight(sx, 3, sz, GridCell());
    EXPECT_FALSE(isMapRoom(grid, height));
    ASSERT_EQ(editor.clear(grid, room.map, from[0], from[2]), RoomEditor::Result::Done);
    EXPECT_TRUE(isMapRoom(grid, height));
    moveLight(from[0], from[1], from[2], GridCell());
    EXPECT_TRUE(isMapRoom(grid, height));
    GridCell gone = grid.getCell(from[0], from[1], from[2]);
    gone.emitter = false;
    std::fill(gone.emission, gone.emission + 3, 0.0f);
    grid.setCell(from[0], from[1], from[2], gone);
    grid.lightX = -1;
    EXPECT_FALSE(isMapRoom(grid, height));
    moveLight(from[0], from[1], from[2], GridCell());
    EXPECT_TRUE(isMapRoom(grid, height));
    // A room too narrow for the light's start cell has no light from its map: one whose light a
    // scene put inside it would come back without it.
    BuiltRoom narrow(legendMap({"....", "....", "...."}), height);
    ASSERT_FALSE(narrow.grid.contains(LightGrid::kLightStart[0], 1, LightGrid::kLightStart[2]));
    EXPECT_TRUE(isMapRoom(narrow.grid, height));
    narrow.grid.lightX = 1, narrow.grid.lightY = 1, narrow.grid.lightZ = 1;
    narrow.grid.setCell(1, 1, 1, wandering);
    EXPECT_FALSE(isMapRoom(narrow.grid, height));
    // A map whose start cell lies in a wall builds the light in a pocket of it: the light moved
    // on, the pocket open, the room is still the map's.
    BuiltRoom walled(legendMap({"........", "......#.", "......#.", "......#.", "........"}), height);
    LightGrid& w = walled.grid;
    ASSERT_TRUE(w.getCell(6, 1, 3).isOpaque() && w.lightX == 6 && w.lightZ == 3 && isMapRoom(w, height));
    GridCell pocket = w.getCell(6, w.lightY, 3);
    pocket.emitter = false;
    std::fill(pocket.emission, pocket.emission + 3, 0.0f);
    w.setCell(6, w.lightY, 3, pocket);
    w.setCell(7, w.lightY, 3, wandering);
    w.lightX = 7;
    EXPECT_TRUE(isMapRoom(w, height));
    w.setCell(6, w.lightY, 3, w.getCell(6, 1, 3));
    EXPECT_FALSE(isMapRoom(w, height)) << "the pocket walled up: the map would open it again";
    // A legend material that takes other values makes it another room.
    Palette other = grid.palette();
    Material m = other[Palette::kYellowLight];
    m.colour[2] ^= 1;
    other.set(Palette::kYellowLight, m);
    grid.setPalette(other);
    EXPECT_FALSE(isMapRoom(grid, height));
  }
}

TEST(VoxRoom, TheLoadersTakeAVoxFileByItsContentAndTheSaveKeyCreatesEachNewFileWithItsLine) {
  startImageLibrary();
  LightGrid grid;
  randomRoom(grid, 12, 6, 10, 20, 21);
  const std::string bytes = text(roomToVox(grid, kView)), dir = testing::TempDir() + "quillmarsh-vox-save-" + std::to_string(getpid());
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  const auto contents = [](const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  // Named like a picture, dropped, or cut short: the content decides.
  std::ofstream("room.png", std::ios::binary) << bytes;
  Scene scene;
  std::string error;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(scene.loadRoom("dropped.vox", data(bytes), 100, 6, error));
  EXPECT_EQ(error.rfind("quillmarsh: cannot use scene \"dropped.vox\": chunk MAIN", 0), 0u) << error;
  ASSERT_TRUE(scene.loadRoom("room.png", 6, error)) << error;
  scene.saveRoomAsMap();
  ASSERT_TRUE(scene.loadRoom("dropped.vox", data(bytes), bytes.size(), 6, error)) << error;
  scene.saveRoomAsMap();
  // A map room is saved as a picture under maps/, any other room as a .vox file under rooms/.
  ASSERT_TRUE(scene.loadRoom(QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png", 6, error)) << error;
  scene.saveRoomAsMap();
  testing::internal::GetCapturedStdout();
  const std::vector<std::string> said = scene.currentMessages();
  ASSERT_GE(said.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(said.end() - 3, said.end()),
            (std::vector<std::string>{"room saved: rooms/room-001.vox", "room saved: rooms/room-002.vox", "map saved: maps/room-001.png"}));
  for (const char* path : {"rooms/room-001.vox", "rooms/room-002.vox"})
    EXPECT_EQ(difference(grid, kView, Loaded(contents(path))), "") << path;
  // Lines said before a frame are counted from that frame's clock: a long load (the clock jumps)
  // does not spend them before they are drawn; once drawn they go after their seconds.
  scene.clock += 100.0;
  scene.advanceFrame();
  EXPECT_EQ(scene.currentMessages(), said);
  scene.clock += Scene::kMessageSeconds + 1.0;
  scene.advanceFrame();
  EXPECT_TRUE(scene.currentMessages().empty());
  // A map room is one only at the height maps are built at: the shipped map 10 high is one when
  // maps are built 10 high, and, as a scene, not when they are built 6 high.
  testing::internal::CaptureStdout();
  ASSERT_TRUE(scene.loadRoom(QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png", 10, error)) << error;
  scene.saveRoomAsMap();
  const std::string tall = text(roomToVox(*scene.grid, kView));
  ASSERT_TRUE(scene.loadRoom("tall.vox", data(tall), tall.size(), 6, error)) << error;
  scene.saveRoomAsMap();
  ASSERT_TRUE(scene.loadRoom("tall.vox", data(tall), tall.size(), 10, error)) << error;
  scene.saveRoomAsMap();
  testing::internal::GetCapturedStdout();
  const std::vector<std::string> heights = scene.currentMessages();
  ASSERT_GE(heights.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(heights.end() - 3, heights.end()),
            (std::vector<std::string>{"map saved: maps/room-002.png", "room saved: rooms/room-003.vox", "map saved: maps/room-003.png"}));
  // Saves that fail, one after another: each says why, and the screen keeps the last few.
  std::filesystem::remove_all("maps");
  std::ofstream("maps") << "";
  for (int i = 0; i < 6; ++i) scene.saveRoomAsMap();
  const std::vector<std::string> failed = scene.currentMessages();
  ASSERT_EQ(failed.size(), Scene::kShownMessages);
  // The cause is the system's words (the page's file system says "Permission denied").
  EXPECT_EQ(failed[0].rfind("Cannot save the room as a map: cannot create a file in \"maps\" (", 0), 0u) << failed[0];
  EXPECT_EQ(failed, std::vector<std::string>(Scene::kShownMessages, failed[0]));
  // A name someone else holds is passed over, never overwritten; with no folder to write in, one line says why.
  std::ofstream("rooms/room-004.vox") << "held";
  EXPECT_EQ(saveRoomVox(grid, kView, error), "rooms/room-005.vox");
  EXPECT_EQ(contents("rooms/room-004.vox"), "held");
  // A room the loader would refuse is not written at all.
  VoxRoomLimits fewVoxels, narrow;
  fewVoxels.file.maxVoxels = 10;
  narrow.maxOwnSide = 11;
  EXPECT_EQ(saveRoomVox(grid, kView, error, fewVoxels), "");
  EXPECT_EQ(error, "the room is too large for a scene this program reads back (chunk XYZI at byte 44: the models hold more than 10 voxels)");
  EXPECT_EQ(saveRoomVox(grid, kView, error, narrow), "");
  EXPECT_EQ(error, "a room of 12 × 6 × 10 cells is larger than a scene this program reads back");
  EXPECT_FALSE(std::filesystem::exists("rooms/room-006.vox"));
  // The file's limits follow the largest room we write: one of that many cells, every one a wall
  // over two models, saves and opens again; limits for a cell fewer refuse it.
  LightGrid solid;
  solid.resize(257, 3, 5);
  solid.lightX = 999;  // no wandering light: no open cell
  const Material& wall = solid.palette()[Palette::kWall];
  for (int z = 0; z < 5; ++z)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 257; ++x) solid.setCell(x, y, z, wall.cell(Palette::kWall));
  VoxRoomLimits exact, short1;
  exact.maxOwnCells = short1.maxOwnCells = solid.cellCount();
  exact.file = voxFileLimits(solid.cellCount());
  short1.file = voxFileLimits(solid.cellCount() - 1);
  const std::string path = saveRoomVox(solid, kView, error, exact);
  ASSERT_NE(path, "") << error;
  EXPECT_EQ(difference(solid, kView, Loaded(contents(path.c_str()), exact)), "");
  EXPECT_EQ(saveRoomVox(solid, kView, error, short1), "");
  EXPECT_NE(error.find("more than 3854 voxels"), std::string::npos) << error;
  std::filesystem::remove_all("rooms");
  std::ofstream("rooms") << "";  // a file where the folder would be
  EXPECT_EQ(saveRoomVox(grid, kView, error), "");
  EXPECT_TRUE(error.rfind("cannot create a file in \"rooms\" (", 0) == 0 && error.find('\n') == std::string::npos) << error;
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(dir);
}

TEST(VoxFile, HostileFilesAreRefusedEachWithOneLineNamingItsCause) {
  const std::string m = vb::model(2, 2, 2, {{0, 0, 0, 1}}), head = "VOX " + vb::i32(150);
  const auto withFrame = [&](const vb::Pairs& frame) { return vb::file(m + vb::transform(0, 1, -1, frame) + vb::shape(1, 0)); };
  const auto node = [&](const char* id, const std::string& content) { return vb::file(m + vb::chunk(id, vb::i32(0) + vb::dict({}) + content)); };
  const auto graph = [&](const std::string& nodes) { return vb::file(m + nodes); };
  const std::string twoShapes = vb::transform(0, 1, -1) + vb::group(1, {2, 4}) + vb::transform(2, 3, 0) + vb::shape(3, 0) +
                                vb::transform(4, 5, 0, {{"_t", "1000 0 0"}}) + vb::shape(5, 0);
  // Transforms nested `n` deep, the last showing the model.
  const auto nested = [](int n) {
    std::string nodes = vb::model(1, 1, 1, {{0, 0, 0, 1}});
    for (int i = 0; i < n; ++i)
      nodes += vb::transform(2 * i, 2 * i + 1, -1) + (i < n - 1 ? vb::group(2 * i + 1, {2 * i + 2}) : vb::shape(2 * i + 1, 0));
    return vb::file(nodes);
  };
  vox::Limits oneVoxel, threePlaced, tenBytes, wide;
  wide.maxSide[0] = wide.maxSide[1] = wide.maxSide[2] = 2000;
  oneVoxel.maxVoxels = 1, threePlaced.maxPlacedVoxels = 3, tenBytes.maxFileBytes = 10;
  vox::Limits fewRecords;
  fewRecords.maxRecordBytes = 1000;
  std::string notes;
  for (int i = 0; i < 100; ++i) notes += vb::chunk("NOTE", "");
  std::string emptyModels;
  for (int i = 0; i < 100; ++i) emptyModels += vb::model(1, 1, 1, {});
  LightGrid grid;
  randomRoom(grid, 9, 6, 8, 4, 5);
  const struct { std::string bytes; const char* cause; vox::Limits limits = {}; } cases[] = {
      {"\x89PNG\r\n\x1a\n", "does not start with \"VOX \""},
      {"VOX \x96", "it ends before its version"},
      {head, "ends before its MAIN chunk"},
      {head + vb::chunk("MAIM", ""), "its first chunk is MAIM, not MAIN"},
      {head + "MAIN" + vb::i32(-1) + vb::i32(0), "chunk MAIN at byte 8: a negative size"},
      {vb::file(std::string("\x01\x02\x03\x04", 4) + vb::i32(-1) + vb::i32(0)), "chunk 0x01020304 at byte 20"},
      {vb::file(vb::xyzi({{0, 0, 0, 1}})), "voxels without a SIZE chunk"},
      {vb::file(vb::size(2, 2, 2)), "a SIZE chunk without its voxels"},
      {vb::file(vb::size(2, 2, 2) + m), "two SIZE chunks"},
      {vb::file(vb::model(257, 1, 1, {})), "257 × 1 × 1 voxels (each side 1 to 256)"},
      {vb::file(vb::model(2, 2, 2, {{0, 0, 0, 1}, {2, 0, 0, 1}})), "voxel 1 at (2, 0, 0) lies outside its size"},
      {vb::file(vb::model(2, 2, 2, {{0, 2, 0, 1}})), "voxel 0 at (0, 2, 0) lies outside its size"},
      {vb::file(vb::model(2, 2, 2, {{0, 0, 2, 1}})), "voxel 0 at (0, 0, 2) lies outside its size"},
      {vb::file(vb::chunk("PACK", vb::i32(2)) + m), "PACK chunk counts 2 models; it holds 1"},
      {vb::file(m + vb::chunk("MATL", vb::i32(1) + vb::i32(-1))), "dictionary of negative size"},
      {node("nTRN", vb::i32(1) + vb::i32(-1) + vb::i32(-1) + vb::i32(0)), "a transform with no frame"},
      {node("nSHP", vb::i32(0)), "a shape with no model"},
      {node("nGRP", vb::i32(-3)), "a negative count of children (-3)"},
      {graph(vb::transform(-5, 1, -1)), "node id -5 is outside 0 to 16777215"},
      {graph(vb::transform(0, 1, -1) + vb::shape(0, 0)), "a second node with id 0"},
      {graph(vb::layer(3, false) + vb::layer(3, true)), "a second layer with id 3"},
      {withFrame({{"_t", "1 2 99999999999"}}), "is not three integers within ±16777216"},
      {withFrame({{"_t", "1\n2 \"3"}}), "translation \"1\\x0a2 \\\"3\" is not"},
      {withFrame({{"_r", std::string(100, '7')}}), "rotation \"7777777777777777777777777777777777777777...\" is none"},
      {graph(vb::transform(0, 1, -1) + vb::group(1, {2}) + vb::transform(2, 1, 0)), "node 1 is reached twice (a cycle or a shared node)"},
      {graph(vb::transform(0, 7, -1)), "node 0 names node 7, which does not exist"},
      {graph(vb::transform(0, 1, -1) + vb::group(1, {3}) + vb::shape(3, 0)), "group 1 has node 3, not a transform, as a child"},
      {graph(vb::transform(0, 2, -1) + vb::transform(2, 3, 0) + vb::shape(3, 0)), "transform 0 has transform 2 as its child"},
      {graph(vb::group(1, {2}) + vb::transform(2, 3, 0) + vb::shape(3, 0)), "no root transform (node 0)"},
      {graph(vb::transform(0, 1, -1) + vb::shape(1, 5)), "shape 1 shows model 5; the file has 1"},
      {graph(vb::transform(0, 1, -1) + vb::shape(1, 1)), "shape 1 shows model 1; the file has 1"},
      {nested(65), "nests more than 64 transforms deep"},
      {vb::file(vb::model(2, 2, 2, {{0, 0, 0, 1}, {1, 1, 1, 1}})), "the models hold more than 1 voxels", oneVoxel},
      {vb::file(vb::model(2, 2, 2, {{0, 0, 0, 1}, {1, 1, 1, 1}}) + twoShapes), "the scene places more than 3 voxels", threePlaced},
      {vb::file(m), "bytes; a .vox file is at most 10 bytes", tenBytes},
      {vb::file(m + notes), "other chunks need more than 1000 bytes of memory", fewRecords},
      {vb::file(emptyModels), "its models, nodes, layers, dictionaries and other chunks need more than 1000", fewRecords},
      // What only the room refuses: more than fits inside its walls, nothing to see, a bad number.
      {graph(twoShapes), "the scene spans 1001 × 1 × 1 voxels; at most 250 × 250 × 252 fit", wide},
      {graph(vb::transform(0, 1, -1, {}, {{"_hidden", "1"}}) + vb::shape(1, 0)), "it has no visible voxel"},
      {vb::file(vb::model(1, 1, 1, {{0, 0, 0, 4}}) + vb::matl(4, {{"_type", "_emit"}, {"_emit", "1,5"}})), "material 4: _emit \"1,5\" is not a number"},
      // Our own chunk, damaged word by word.
      {changedRoom(grid, [](vox::Scene&, auto& c) { c.resize(40); }), "chunk has 40 bytes, fewer than 76"},
      {roomWith(grid, 0, 2), "is of version 2"},
      {roomWith(grid, 4, 0), "a room of 0 × 6 × 8 cells; each side is 1 to 1024"},
      {roomWith(grid, 12, 1025), "a room of 9 × 6 × 1025 cells; each side is 1 to 1024"},
      {changedRoom(grid, [](vox::Scene&, auto& c) { for (size_t at : {4, 8, 12}) std::memcpy(&c[at], "\0\4\0\0", 4); }),
       "names a room of 1073741824 cells; at most "},
      {roomWith(grid, 16, 300), "names 300 materials (1 to 256)"},
      {roomWith(grid, 20, 1), "it has no open cell to stand in"},
      {roomWith(grid, 24, 0x7fc00000), "start view that is not a number"},
      {roomWith(grid, 24, 0x7149f2ca), "its start view stands outside the room"},  // x = 1e30
      {roomWith(grid, 28, 0xbf400000), "its start view stands outside the room"},  // y = -0.75
      {roomWith(grid, 60, 1u << 30), "puts the wandering light at 1073741824"},
      {roomWith(grid, 76, 9), "lists a cell outside the room or of no material"},
      {roomWith(grid, 84, 8), "lists a cell outside the room or of no material"},  // z = the depth
      {changedRoom(grid, [](vox::Scene&, auto& c) { c.resize(c.size() + 5); }), " cells in "},
      {roomWith(grid, 96, 0x7f800000), "lists a cell whose values are not numbers"},
      {changedRoom(grid, [](vox::Scene& s, auto&) { s.materials[3].pairs.pop_back(); }), "material 3 of the room's 19 has no usable room keys"},
      // A name the status line would print: a terminal's escape, or longer than a few words.
      {changedRoom(grid, [](vox::Scene& s, auto&) { for (auto& p : s.materials[3].pairs) if (p.first == "_qm_name") p.second = "wall\x1b[41m"; }),
       "material 3 of the room's 19 has no usable room keys"},
      {changedRoom(grid, [](vox::Scene& s, auto&) { for (auto& p : s.materials[4].pairs) if (p.first == "_qm_name") p.second = std::string(41, 'w'); }),
       "material 4 of the room's 19 has no usable room keys"},
      {changedRoom(grid, [](vox::Scene& s, auto&) { s.nodes[2].translation[0] += 1; }), "a voxel lies outside the room its QMRM chunk names"},
      {changedRoom(grid, [](vox::Scene& s, auto&) { s.nodes[2].translation[1] += 1; }), "a voxel lies outside the room its QMRM chunk names"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cause);
    VoxRoomLimits limits;
    limits.file = c.limits;
    const Loaded room(c.bytes, limits);
    const std::string& said = room.load.error;
    EXPECT_TRUE(!room.load.ok && said.find(c.cause) != std::string::npos && said.find('\n') == std::string::npos) << said;
    // What the file's reader refuses within the file's bounds, the room refuses with the same line.
    const std::string error = refusal(c.bytes, c.limits);
    EXPECT_TRUE(error.empty() || said == "quillmarsh: cannot use scene \"test.vox\": " + error) << error;
  }
  // Each bound takes its last value: a string of 4096 bytes, the largest node id, a translation
  // of 2^24, 64 transforms deep, a file as long as its limit.
  vox::Limits exact;
  exact.maxFileBytes = vb::file(m).size();
  const std::pair<std::string, vox::Limits> atTheirLimits[] = {
      {withFrame({{"_name", std::string(4096, 'n')}}), {}},
      {graph(vb::transform(0, 16777215, -1) + vb::shape(16777215, 0)), {}},
      {withFrame({{"_t", "16777216 0 -16777216"}}), {}},
      {nested(64), {}},
      {vb::file(m), exact}};
  for (const auto& [bytes, limits] : atTheirLimits) EXPECT_EQ(refusal(bytes, limits), "");
}
