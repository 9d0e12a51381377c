// .vox scenes: our rooms written and read back cell for cell, the scene graph's placement (every
// rotation byte, groups, hidden nodes and layers, the default palette), the import of a model
// into a room, map rooms kept as maps, the loaders' dispatch, the saver, and hostile files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app/Scene.h"
#include "tests/support/VoxBytes.h"
#include "tests/unit/TestImages.h"
#include "world/CellFromColour.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/RoomColumn.h"
#include "world/RoomEditor.h"
#include "world/VoxFile.h"
#include "world/VoxRoom.h"
#include "world/WorldBuilder.h"

namespace vb = voxbytes;

namespace {

std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

const unsigned char* data(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

std::string text(const std::vector<unsigned char>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// The first difference between two rooms' cells (light and `hidden` aside) and palettes, or "".
std::string roomDifference(const LightGrid& a, const LightGrid& b) {
  if (a.sizeX != b.sizeX || a.sizeY != b.sizeY || a.sizeZ != b.sizeZ) return "size";
  if (a.palette().size() != b.palette().size()) return "palette size";
  for (int k = 0; k < a.palette().size(); ++k) {
    const Material &p = a.palette()[k], &q = b.palette()[k];
    if (p.kind != q.kind || p.name != q.name || bits(p.opacity) != bits(q.opacity) ||
        std::memcmp(p.colour, q.colour, 3) != 0 || bits(p.emission[0]) != bits(q.emission[0]) ||
        bits(p.emission[1]) != bits(q.emission[1]) || bits(p.emission[2]) != bits(q.emission[2]))
      return "material " + std::to_string(k);
  }
  for (int z = 0; z < a.sizeZ; ++z)
    for (int y = 0; y < a.sizeY; ++y)
      for (int x = 0; x < a.sizeX; ++x) {
        const GridCell p = a.getCell(x, y, z), q = b.getCell(x, y, z);
        if (p.material != q.material || p.emitter != q.emitter || p.greenMarker != q.greenMarker ||
            p.redMarker != q.redMarker || bits(p.opacity) != bits(q.opacity) ||
            bits(p.emission[0]) != bits(q.emission[0]) ||
            bits(p.emission[1]) != bits(q.emission[1]) ||
            bits(p.emission[2]) != bits(q.emission[2]) || q.light[0] != 0.0f || q.hidden)
          return "cell (" + std::to_string(x) + ", " + std::to_string(y) + ", " +
                 std::to_string(z) + ")";
      }
  if (a.lightX != b.lightX || a.lightY != b.lightY || a.lightZ != b.lightZ) return "wandering light";
  return "";
}

// The base raster's rule: a wall column is opaque through all its walkable layers.
std::string rasterDifference(const LightGrid& grid, const ColorMap& map) {
  if (map.width != grid.sizeX || map.height != grid.sizeZ) return "raster size";
  for (int z = 0; z < grid.sizeZ; ++z)
    for (int x = 0; x < grid.sizeX; ++x) {
      bool wall = true;
      for (int y = 1; y < grid.sizeY - 1; ++y) wall = wall && grid.getCell(x, y, z).isOpaque();
      if (map.basePixel(x, z) != (wall ? ColorMap::kWall : ColorMap::kOpen))
        return "raster (" + std::to_string(x) + ", " + std::to_string(z) + ")";
    }
  return "";
}

// A loaded room and what the load said.
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

// A random room of `extra` materials beyond the standard ones, every kind, and cells that no
// material describes: material 0 made solid, glowing, marked; a light off its material's value;
// a material past the palette's end.
void randomRoom(LightGrid& grid, int w, int h, int d, int extra, unsigned seed,
                bool customAir = false) {
  std::mt19937 rng(seed);
  Palette palette = Palette::standard();
  if (customAir) {
    Material air = palette[0];
    air.name = "thin \"air\"";
    air.colour[1] = 7;
    palette.set(0, air);
  }
  for (int i = 0; i < extra && palette.size() < Palette::kMaxMaterials; ++i) {
    Material m;
    m.kind = static_cast<Material::Kind>(i % 4);
    for (auto& c : m.colour) c = static_cast<unsigned char>(rng());
    if (m.kind == Material::Kind::Wall) m.opacity = 1.0f;
    if (m.kind == Material::Kind::Glass) m.opacity = std::ldexp(static_cast<float>(rng() % 900 + 2), -10);
    if (m.kind == Material::Kind::Light)
      for (float& e : m.emission) e = static_cast<float>(rng() % 1000000) / 3.0f;
    m.name = "material " + std::to_string(i) + (i % 5 == 0 ? " with spaces" : "");
    palette.add(m);
  }
  grid.setPalette(palette);
  grid.resize(w, h, d);
  for (int z = 0; z < d; ++z)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned r = rng() % 100;
        if (r < 50) continue;
        const int k = static_cast<int>(rng() % palette.size());
        GridCell c = palette[k].cell(static_cast<unsigned char>(k));
        if (r == 99) c.setSolid();
        if (r == 98) c.setEmitter(0.0f, 300.0f, 0.0f);
        if (r == 97) c.setGreenMarker();
        if (r == 96) c.emission[2] += 1.5f;
        if (r == 95) c.setTranslucent(0.3f);
        if (r == 94 && palette.size() < Palette::kMaxMaterials)
          c.material = static_cast<unsigned char>(palette.size());
        grid.setCell(x, y, z, c);
      }
  grid.lightX = 1 + static_cast<int>(rng() % (w - 2));
  grid.lightY = 1 + static_cast<int>(rng() % (h - 2));
  grid.lightZ = 1 + static_cast<int>(rng() % (d - 2));
  GridCell wandering;
  wandering.setEmitter(1520.0f, 0.0f, 0.0f);
  grid.setCell(grid.lightX, grid.lightY, grid.lightZ, wandering);
}

StartView oddView() {
  StartView view;
  view.found = true;
  view.eye = Vec3(1.1f, 2.3f, 3.7f);
  view.target = Vec3(-0.1f, 1e-7f, 7.25f);
  view.up = Vec3(0.0f, 0.999f, 0.001f);
  return view;
}

void expectSameView(const StartView& a, const StartView& b) {
  EXPECT_EQ(a.found, b.found);
  EXPECT_EQ(a.open, b.open);
  EXPECT_EQ(a.eye, b.eye);
  EXPECT_EQ(a.target, b.target);
  EXPECT_EQ(a.up, b.up);
}

// read + flatten; the error of whichever refused, or "".
std::string refusal(const std::string& bytes, const vox::Limits& limits = vox::Limits()) {
  vox::Scene scene;
  vox::Volume volume;
  std::string error;
  if (vox::read(data(bytes), bytes.size(), scene, error, limits))
    vox::flatten(scene, volume, error, limits);
  return error;
}

vox::Volume flattened(const std::string& bytes) {
  vox::Scene scene;
  vox::Volume volume;
  std::string error;
  EXPECT_TRUE(vox::read(data(bytes), bytes.size(), scene, error)) << error;
  EXPECT_TRUE(vox::flatten(scene, volume, error)) << error;
  return volume;
}

// The rotation byte's matrix, decoded here from the format's description: row r's non-zero
// entry sits in the column named by its two bits (the third row's in the column left over),
// negative when bit 4 + r is set. False when the byte names no signed permutation.
bool matrixOf(int byte, int m[3][3]) {
  const int c0 = byte & 3, c1 = (byte >> 2) & 3;
  if (c0 > 2 || c1 > 2 || c0 == c1) return false;
  const int columns[3] = {c0, c1, 3 - c0 - c1};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) m[r][c] = c == columns[r] ? (byte >> (4 + r) & 1 ? -1 : 1) : 0;
  return true;
}

// The scene voxel of model voxel v (size s) under rotation m and translation t, by the rule in
// floating point: floor(m · (v + 0.5 - floor(s / 2)) + t).
std::array<int, 3> placed(const int v[3], const int s[3], const int m[3][3], const int t[3]) {
  std::array<int, 3> out{};
  for (int r = 0; r < 3; ++r) {
    double sum = t[r];
    for (int c = 0; c < 3; ++c) sum += m[r][c] * (v[c] + 0.5 - std::floor(s[c] / 2.0));
    out[r] = static_cast<int>(std::floor(sum));
  }
  return out;
}

// An asymmetric model: one side even, two odd, each voxel its own colour.
const int kModelSize[3] = {4, 3, 5};
const std::vector<vb::Voxel> kModelVoxels = {
    {0, 0, 0, 1}, {3, 0, 0, 2}, {0, 2, 0, 3}, {0, 0, 4, 4}, {1, 2, 3, 5}, {3, 1, 2, 6}};

std::string oneModelScene(const vb::Pairs& rootFrame, const vb::Pairs& innerFrame) {
  return vb::file(vb::model(kModelSize[0], kModelSize[1], kModelSize[2], kModelVoxels) +
                  vb::transform(0, 1, -1, rootFrame) + vb::group(1, {2}) +
                  vb::transform(2, 3, 0, innerFrame) + vb::shape(3, 0));
}

std::string writeTemp(const std::string& name, const std::string& bytes) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace

TEST(VoxRoom, RandomRoomsOfEveryMaterialComeBackCellForCellAtHeights6And32And64) {
  const struct {
    int w, h, d, extra;
    bool customAir;
  } rooms[] = {{19, 6, 13, 40, false}, {11, 32, 9, 100, true}, {7, 64, 8, 300, false}};
  unsigned seed = 3;
  for (const auto& r : rooms) {
    SCOPED_TRACE("height " + std::to_string(r.h));
    LightGrid grid;
    randomRoom(grid, r.w, r.h, r.d, r.extra, seed++, r.customAir);
    const std::string bytes = text(roomToVox(grid, oddView()));
    vox::Scene scene;
    std::string error;
    ASSERT_TRUE(vox::read(data(bytes), bytes.size(), scene, error)) << error;
    EXPECT_EQ(scene.models.size(), 1u);
    EXPECT_EQ(scene.models[0].size[0], r.w);
    EXPECT_EQ(scene.models[0].size[1], r.d);
    EXPECT_EQ(scene.models[0].size[2], r.h);

    Loaded back(bytes);
    ASSERT_TRUE(back.load.ok) << back.load.error;
    EXPECT_EQ(roomDifference(grid, back.grid), "");
    EXPECT_EQ(rasterDifference(back.grid, back.map), "");
    expectSameView(back.load.start, oddView());
    // Nothing is lost or added on the way: the room writes the same file again.
    EXPECT_TRUE(text(roomToVox(back.grid, oddView())) == bytes);
  }
}

TEST(VoxRoom, ARoomWiderThanAModelIsWrittenAsSeveralPlacedModelsAndComesBackExactly) {
  LightGrid grid;
  randomRoom(grid, 300, 6, 260, 3, 9);
  const std::string bytes = text(roomToVox(grid, oddView()));
  vox::Scene scene;
  std::string error;
  ASSERT_TRUE(vox::read(data(bytes), bytes.size(), scene, error)) << error;
  // 300 along x and 260 along the scene's y: two blocks each way, each at most 256 a side.
  ASSERT_EQ(scene.models.size(), 4u);
  for (const vox::Model& m : scene.models)
    for (int s : m.size) EXPECT_LE(s, 256);
  VoxRoomLimits limits;
  EXPECT_NE(Loaded(bytes, limits).load.error.find("each side is 1 to 256"), std::string::npos);
  limits.maxRoomSide = 512;
  limits.file.maxSide[0] = limits.file.maxSide[1] = limits.file.maxSide[2] = 512;
  Loaded back(bytes, limits);
  ASSERT_TRUE(back.load.ok) << back.load.error;
  EXPECT_EQ(roomDifference(grid, back.grid), "");
  EXPECT_EQ(rasterDifference(back.grid, back.map), "");
}

TEST(VoxFile, EachOfThe48RotationBytesPlacesAnAsymmetricModelAsThePivotRuleSays) {
  const int t[3] = {10, -7, 3};
  int valid = 0, proper = 0;
  for (int byte = 0; byte < 128; ++byte) {
    SCOPED_TRACE("rotation byte " + std::to_string(byte));
    const std::string bytes = oneModelScene({}, {{"_r", std::to_string(byte)}, {"_t", "10 -7 3"}});
    int m[3][3];
    if (!matrixOf(byte, m)) {
      EXPECT_NE(refusal(bytes).find("is none of the 48 rotation bytes"), std::string::npos);
      vox::Rotation r;
      EXPECT_FALSE(r.decode(byte));
      continue;
    }
    ++valid;
    const int det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                    m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                    m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    proper += det == 1;
    vox::Rotation r;
    ASSERT_TRUE(r.decode(byte));
    EXPECT_EQ(r.encode(), byte);
    const vox::Volume volume = flattened(bytes);
    EXPECT_EQ(volume.voxels, static_cast<long>(kModelVoxels.size()));
    for (const vb::Voxel& v : kModelVoxels) {
      const int at[3] = {v.x, v.y, v.z};
      const std::array<int, 3> p = placed(at, kModelSize, m, t);
      EXPECT_EQ(volume.at(p[0], p[1], p[2]), v.i) << "voxel " << v.i;
    }
  }
  EXPECT_EQ(valid, 48);
  EXPECT_EQ(proper, 24);
  // Transforms compose from the root down: R1 · (R2 · c + t2) + t1.
  const int pairs[][2] = {{4, 4}, {1 | 2 << 2, 2 | 1 << 4}, {2 | 0 << 2 | 1 << 5, 1 | 2 << 2 | 1 << 6},
                          {6 | 7 << 4, 9 | 3 << 4}, {33, 24}};
  const int t1[3] = {-5, 2, 11}, t2[3] = {3, 8, -1};
  for (const auto& pair : pairs) {
    SCOPED_TRACE("bytes " + std::to_string(pair[0]) + " over " + std::to_string(pair[1]));
    int m1[3][3], m2[3][3];
    ASSERT_TRUE(matrixOf(pair[0], m1) && matrixOf(pair[1], m2));
    const vox::Volume volume = flattened(
        oneModelScene({{"_r", std::to_string(pair[0])}, {"_t", "-5 2 11"}},
                      {{"_t", "3 8 -1"}, {"_r", std::to_string(pair[1])}}));
    for (const vb::Voxel& v : kModelVoxels) {
      const int at[3] = {v.x, v.y, v.z};
      // The centre under the inner transform, then the outer one, floored once at the end.
      double c[3];
      for (int r = 0; r < 3; ++r) {
        c[r] = t2[r];
        for (int k = 0; k < 3; ++k) c[r] += m2[r][k] * (at[k] + 0.5 - std::floor(kModelSize[k] / 2.0));
      }
      int p[3];
      for (int r = 0; r < 3; ++r) {
        double sum = t1[r];
        for (int k = 0; k < 3; ++k) sum += m1[r][k] * c[k];
        p[r] = static_cast<int>(std::floor(sum));
      }
      EXPECT_EQ(volume.at(p[0], p[1], p[2]), v.i) << "voxel " << v.i;
    }
  }
}

TEST(VoxFile, GroupsHiddenNodesHiddenLayersAndOverlapsFollowTheGraph) {
  const auto one = [](int i) { return vb::model(1, 1, 1, {{0, 0, 0, i}}); };
  // Pivots of 1-voxel models are 0: voxel (0, 0, 0) lands on the translation.
  const std::string bytes = vb::file(
      one(11) + one(12) + one(13) + one(14) + one(15) + vb::layer(0, false) + vb::layer(1, true) +
      vb::transform(0, 1, -1) + vb::group(1, {2, 4, 6, 8, 10}) +
      vb::transform(2, 3, 0, {{"_t", "0 0 0"}}) + vb::shape(3, 0) +
      vb::transform(4, 5, 0, {{"_t", "5 0 0"}}, {{"_hidden", "1"}}) + vb::shape(5, 1) +
      vb::transform(6, 7, 1, {{"_t", "0 5 0"}}) + vb::shape(7, 2) +
      // Placed later at the first one's place: it wins.
      vb::transform(8, 9, 0, {{"_t", "0 0 0"}}) + vb::shape(9, 3) +
      // A group in a group, moved and turned as a whole.
      vb::transform(10, 11, 0, {{"_t", "0 0 7"}, {"_r", std::to_string(1 | 0 << 2 | 1 << 4)}}) +
      vb::group(11, {12, 14}) + vb::transform(12, 13, 0, {{"_t", "2 0 0"}}) + vb::shape(13, 4) +
      vb::transform(14, 15, 1, {{"_t", "3 0 0"}}) + vb::shape(15, 0));
  const vox::Volume v = flattened(bytes);
  EXPECT_EQ(v.voxels, 2);
  EXPECT_EQ(v.at(0, 0, 0), 14);
  EXPECT_EQ(v.at(5, 0, 0), 0);   // hidden transform
  EXPECT_EQ(v.at(0, 5, 0), 0);   // hidden layer
  // R has rows (0 -1 0), (1 0 0), (0 0 1); t = R · (2, 0, 0) + (0, 0, 7) = (0, 2, 7); the centre
  // (0.5, 0.5, 0.5) turns to (-0.5, 0.5, 0.5), and floor((-0.5, 2.5, 7.5)) = (-1, 2, 7).
  EXPECT_EQ(v.at(-1, 2, 7), 15);
  // The volume's bounds are the voxels' own.
  EXPECT_EQ(v.origin[0], -1);
  EXPECT_EQ(v.size[0] * v.size[1] * v.size[2], 2 * 3 * 8);

  // Without any node every model lies at its own coordinates; later ones win.
  const vox::Volume plain = flattened(vb::file(vb::model(3, 3, 3, {{2, 1, 0, 7}, {0, 0, 0, 8}}) +
                                               vb::model(2, 2, 2, {{0, 0, 0, 9}})));
  EXPECT_EQ(plain.voxels, 2);
  EXPECT_EQ(plain.at(0, 0, 0), 9);
  EXPECT_EQ(plain.at(2, 1, 0), 7);

  // What the reader gives back, the writer writes as it was.
  vox::Scene scene, again;
  std::string error;
  ASSERT_TRUE(vox::read(data(bytes), bytes.size(), scene, error)) << error;
  const std::vector<unsigned char> rewritten = vox::write(scene);
  ASSERT_TRUE(vox::read(rewritten.data(), rewritten.size(), again, error)) << error;
  ASSERT_EQ(again.nodes.size(), scene.nodes.size());
  for (size_t i = 0; i < scene.nodes.size(); ++i) {
    EXPECT_EQ(again.nodes[i].id, scene.nodes[i].id);
    EXPECT_EQ(again.nodes[i].child, scene.nodes[i].child);
    EXPECT_EQ(again.nodes[i].children, scene.nodes[i].children);
    EXPECT_EQ(again.nodes[i].rotation.encode(), scene.nodes[i].rotation.encode());
    EXPECT_EQ(again.nodes[i].hidden(), scene.nodes[i].hidden());
  }
  vox::Volume w;
  ASSERT_TRUE(vox::flatten(again, w, error)) << error;
  EXPECT_TRUE(w.index == v.index);
}

namespace {

// Each interior column has a lamp within `reach` columns (either way) in the ceiling, no two
// lamps are closer than `apart`, and nothing else in the room glows but the wandering light.
void expectCeilingLamps(const LightGrid& g, int reach, int apart) {
  std::vector<std::array<int, 2>> lamps;
  for (int z = 0; z < g.sizeZ; ++z)
    for (int y = 0; y < g.sizeY; ++y)
      for (int x = 0; x < g.sizeX; ++x) {
        const GridCell c = g.getCell(x, y, z);
        if (!c.emitter || (x == g.lightX && y == g.lightY && z == g.lightZ)) continue;
        EXPECT_EQ(y, g.sizeY - 1) << "a lamp below the ceiling";
        EXPECT_EQ(g.palette()[c.material].kind, Material::Kind::Light);
        EXPECT_EQ(c.emission[0], 350.0f);
        EXPECT_EQ(c.emission[2], 150.0f);
        lamps.push_back({x, z});
      }
  ASSERT_FALSE(lamps.empty());
  for (int z = 1; z < g.sizeZ - 1; ++z)
    for (int x = 1; x < g.sizeX - 1; ++x) {
      bool near = false;
      for (const auto& l : lamps) near = near || (std::abs(l[0] - x) <= reach && std::abs(l[1] - z) <= reach);
      EXPECT_TRUE(near) << "column (" << x << ", " << z << ") is far from every lamp";
    }
  for (size_t i = 0; i < lamps.size(); ++i)
    for (size_t j = i + 1; j < lamps.size(); ++j)
      EXPECT_GE(std::max(std::abs(lamps[i][0] - lamps[j][0]), std::abs(lamps[i][1] - lamps[j][1])), apart);
}

}  // namespace

TEST(VoxRoom, AnImportedModelStandsOnTheFloorWithItsMarginWallsCeilingLampsAndTheDefaultPalette) {
  // 5 x 4 x 3 (z up), no palette chunk, no scene graph.
  const std::vector<vb::Voxel> voxels = {{0, 0, 0, 1}, {4, 0, 0, 2}, {0, 3, 0, 7},
                                         {0, 0, 2, 9}, {2, 1, 1, 2}, {4, 3, 2, 1}};
  Loaded room(vb::file(vb::model(5, 4, 3, voxels)));
  ASSERT_TRUE(room.load.ok) << room.load.error;
  const LightGrid& g = room.grid;
  // Walls, a margin of 2 and the model; floor, the model, 2 layers of headroom and the ceiling.
  ASSERT_EQ(g.sizeX, 1 + 2 + 5 + 2 + 1);
  ASSERT_EQ(g.sizeZ, 1 + 2 + 4 + 2 + 1);
  ASSERT_EQ(g.sizeY, 7);
  // The default palette: 0xAABBGGRR per index.
  const Palette& p = g.palette();
  const std::array<int, 3> expected[] = {{255, 255, 255}, {255, 255, 204}, {255, 204, 255},
                                         {255, 204, 153}};
  const int indices[] = {1, 2, 7, 9};
  for (int i = 0; i < 4; ++i) {
    const Material& m = p[indices[i]];
    EXPECT_EQ(m.kind, Material::Kind::Wall);
    const std::array<int, 3> colour = {m.colour[0], m.colour[1], m.colour[2]};
    EXPECT_EQ(colour, expected[i]) << indices[i];
  }
  EXPECT_EQ(p[253].colour[0], 0x44);
  // Voxel (x, y, z) stands at room (3 + x, 1 + z, depth - 4 - y): nothing is mirrored.
  long model = 0;
  for (const vb::Voxel& v : voxels) {
    const GridCell c = g.getCell(3 + v.x, 1 + v.z, g.sizeZ - 4 - v.y);
    EXPECT_EQ(c.material, v.i);
    EXPECT_EQ(c.opacity, 1.0f);
  }
  for (int z = 0; z < g.sizeZ; ++z)
    for (int y = 0; y < g.sizeY; ++y)
      for (int x = 0; x < g.sizeX; ++x) {
        const GridCell c = g.getCell(x, y, z);
        const bool shell = x == 0 || z == 0 || y == 0 || x == g.sizeX - 1 || z == g.sizeZ - 1 ||
                           y == g.sizeY - 1;
        if (shell && !c.emitter) {
          EXPECT_TRUE(c.isOpaque());
          EXPECT_EQ(p[c.material].name, "room wall");
        }
        model += !shell && c.isOpaque();
      }
  EXPECT_EQ(model, static_cast<long>(voxels.size()));
  expectCeilingLamps(g, 7, 5);
  // The eye stands on the floor by the wall on the large z side, level, facing the model.
  const StartView& s = room.load.start;
  EXPECT_TRUE(s.found && s.open);
  EXPECT_EQ(s.eye.y, 2.0f);
  EXPECT_EQ(s.eye.z, static_cast<float>(g.sizeZ - 2));
  EXPECT_LE(std::abs(s.eye.x - (g.sizeX - 1) / 2.0f), 1.0f);
  EXPECT_EQ(s.target.y, s.eye.y);
  EXPECT_EQ(s.target.x, s.eye.x);
  EXPECT_LT(s.target.z, s.eye.z);
  EXPECT_GT(s.target.z, 0.0f);
  for (int y = 1; y < g.sizeY - 1; ++y)
    EXPECT_FALSE(g.getCell(static_cast<int>(s.eye.x), y, static_cast<int>(s.eye.z)).isOpaque());
  // The wandering light glows in an open layer.
  const GridCell wandering = g.getCell(g.lightX, g.lightY, g.lightZ);
  EXPECT_TRUE(wandering.emitter);
  EXPECT_EQ(wandering.emission[0], 1520.0f);
  EXPECT_GE(g.lightY, 1);
  EXPECT_LE(g.lightY, g.sizeY - 2);
  EXPECT_EQ(rasterDifference(g, room.map), "");

  // A wide model spreads its lamps over the whole floor; a model walled through its walkable
  // layers is a wall in the raster.
  std::vector<vb::Voxel> wide = {{0, 0, 0, 5}, {59, 39, 0, 5}};
  for (int z = 0; z < 2; ++z) wide.push_back({30, 20, z, 6});
  Loaded big(vb::file(vb::model(60, 40, 2, wide)));
  ASSERT_TRUE(big.load.ok) << big.load.error;
  EXPECT_EQ(big.grid.sizeY, 6);
  expectCeilingLamps(big.grid, 7, 5);
  EXPECT_EQ(rasterDifference(big.grid, big.map), "");
  EXPECT_EQ(big.map.basePixel(33, big.grid.sizeZ - 4 - 20), ColorMap::kOpen);
  std::vector<vb::Voxel> tower;
  for (int z = 0; z < 4; ++z) tower.push_back({0, 0, z, 3});
  Loaded towered(vb::file(vb::model(1, 1, 4, tower)));
  ASSERT_TRUE(towered.load.ok);
  EXPECT_EQ(towered.grid.sizeY, 8);
  EXPECT_EQ(towered.map.basePixel(3, 3), ColorMap::kOpen);  // two layers of headroom stay open
}

TEST(VoxRoom, MaterialsBecomeTintedGlassScaledLightsAndWallsOfTheirColour) {
  std::vector<std::array<unsigned char, 4>> colours(255, {10, 20, 30, 255});
  colours[1] = {200, 100, 50, 255};  // index 2
  colours[3] = {255, 255, 255, 255};  // index 4
  colours[4] = {255, 0, 128, 255};  // index 5
  std::vector<vb::Voxel> voxels;
  for (int i = 1; i <= 9; ++i) voxels.push_back({i - 1, 0, 0, i});
  const std::string children =
      vb::model(9, 1, 1, voxels) + vb::rgba(colours) + vb::matl(2, {{"_type", "_glass"}, {"_trans", "0.25"}}) +
      vb::matl(3, {{"_type", "_glass"}, {"_alpha", "0.6"}}) +
      vb::matl(4, {{"_type", "_emit"}, {"_emit", "1"}}) +
      vb::matl(5, {{"_type", "_emit"}, {"_emit", "2"}, {"_flux", "1"}}) +
      vb::matl(6, {{"_type", "_metal"}, {"_metal", "1"}}) +
      vb::matl(7, {{"_type", "_emit"}, {"_emit", "0"}}) +
      vb::matl(8, {{"_type", "_glass"}, {"_trans", "1.0"}}) + vb::matl(9, {{"_weight", "0.5"}});
  Loaded room(vb::file(children));
  ASSERT_TRUE(room.load.ok) << room.load.error;
  const Palette& p = room.grid.palette();
  EXPECT_EQ(p[1].kind, Material::Kind::Wall);
  EXPECT_EQ(p[1].colour[2], 30);
  EXPECT_EQ(p[2].kind, Material::Kind::Glass);
  EXPECT_EQ(p[2].opacity, 0.75f);
  EXPECT_TRUE(p[2].tinted());
  EXPECT_EQ(p[2].colour[0], 200);
  EXPECT_EQ(p[3].kind, Material::Kind::Glass);
  EXPECT_FLOAT_EQ(p[3].opacity, 0.4f);
  EXPECT_EQ(p[4].kind, Material::Kind::Light);
  for (float e : p[4].emission) EXPECT_FLOAT_EQ(e, 350.0f);
  EXPECT_EQ(p[5].kind, Material::Kind::Light);
  EXPECT_FLOAT_EQ(p[5].emission[0], 1400.0f);
  EXPECT_EQ(p[5].emission[1], 0.0f);
  EXPECT_FLOAT_EQ(p[5].emission[2], 1400.0f * 128.0f / 255.0f);
  EXPECT_EQ(p[6].kind, Material::Kind::Wall);
  EXPECT_EQ(p[7].kind, Material::Kind::Wall);
  EXPECT_EQ(p[8].kind, Material::Kind::Glass);
  EXPECT_EQ(p[9].kind, Material::Kind::Wall);
  const LightGrid& g = room.grid;
  const int z = g.sizeZ - 4;
  EXPECT_TRUE(g.getCell(4, 1, z).isGlass());
  EXPECT_TRUE(g.getCell(10, 1, z).isGlass());  // all light passing: glass all the same
  EXPECT_TRUE(g.getCell(6, 1, z).emitter);
  EXPECT_EQ(g.getCell(7, 1, z).emission[0], p[5].emission[0]);
  EXPECT_TRUE(g.getCell(9, 1, z).isOpaque());
  // The model brings its own lights: the ceiling has no lamp.
  for (int cz = 0; cz < g.sizeZ; ++cz)
    for (int x = 0; x < g.sizeX; ++x) EXPECT_FALSE(g.getCell(x, g.sizeY - 1, cz).emitter);

  // What does not read as a number is refused with its material.
  EXPECT_NE(Loaded(vb::file(vb::model(1, 1, 1, {{0, 0, 0, 4}}) +
                            vb::matl(4, {{"_type", "_emit"}, {"_emit", "1,5"}})))
                .load.error.find("material 4: _emit \"1,5\" is not a number"),
            std::string::npos);
}

TEST(VoxFile, NumbersReadAsDecimalTextWhateverTheLocale) {
  const struct {
    const char* text;
    double value;
  } good[] = {{"1", 1}, {"-0.25", -0.25}, {".5", 0.5}, {"5.", 5}, {"1.5e2", 150}, {"+2E-1", 0.2}};
  for (const auto& g : good) {
    double v = -99;
    EXPECT_TRUE(vox::parseNumber(g.text, v)) << g.text;
    EXPECT_DOUBLE_EQ(v, g.value) << g.text;
  }
  for (const char* bad : {"", "-", ".", "1e", "1,5", "inf", "nan", "0x10", "1 ", "1e999", "e5"}) {
    double v;
    EXPECT_FALSE(vox::parseNumber(bad, v)) << bad;
  }
  long i;
  EXPECT_TRUE(vox::parseInteger("-17", i) && i == -17);
  EXPECT_FALSE(vox::parseInteger("1234567890123456789", i));
  EXPECT_FALSE(vox::parseInteger("12a", i));
}

TEST(VoxRoom, MapRoomsAreMapRoomsUntilAnEditTheLegendCannotHoldAndComeBackExactly) {
  startImageLibrary();
  MapImage shipped;
  std::string error;
  ASSERT_TRUE(shipped.load(QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png", error)) << error;
  for (int height : {6, 32}) {
    SCOPED_TRACE("height " + std::to_string(height));
    LightGrid grid;
    ColorMap map;
    testing::internal::CaptureStdout();
    const StartView start = buildRoom(shipped.pixels.data(), shipped.width, shipped.height, height, grid, map);
    testing::internal::GetCapturedStdout();
    const int sx = static_cast<int>(start.eye.x), sz = static_cast<int>(start.eye.z);
    EXPECT_TRUE(isMapRoom(grid));
    // The picture the save key writes for it is the map itself, byte for byte.
    EXPECT_TRUE(roomMapPixels(grid, sx, sz) == shipped.pixels);
    Loaded back(text(roomToVox(grid, start)));
    ASSERT_TRUE(back.load.ok) << back.load.error;
    EXPECT_EQ(roomDifference(grid, back.grid), "");
    EXPECT_EQ(rasterDifference(back.grid, back.map), "");
    expectSameView(back.load.start, start);
    EXPECT_TRUE(isMapRoom(back.grid));
    EXPECT_TRUE(roomMapPixels(back.grid, sx, sz) == shipped.pixels);

    // Column edits keep it a map room.
    RoomEditor editor;
    ASSERT_EQ(editor.fill(grid, map, 30, 30, ColumnKind::Glass, sx, sz), RoomEditor::Result::Done);
    ASSERT_EQ(editor.clear(grid, map, 20, 12), RoomEditor::Result::Done);
    EXPECT_TRUE(isMapRoom(grid));
    // A tinted glass cell is no legend's.
    const Palette& p = grid.palette();
    GridCell red = p[Palette::kGlass + 4].cell(Palette::kGlass + 4);
    ASSERT_TRUE(p[Palette::kGlass + 4].tinted());
    grid.setCell(12, 2, 5, red);
    EXPECT_FALSE(isMapRoom(grid));
    Loaded edited(text(roomToVox(grid, start)));
    ASSERT_TRUE(edited.load.ok) << edited.load.error;
    EXPECT_EQ(roomDifference(grid, edited.grid), "");
  }
  // Nor is a wall of another material, nor a legend material of other values.
  LightGrid grid;
  ColorMap map;
  testing::internal::CaptureStdout();
  buildRoom(shipped.pixels.data(), shipped.width, shipped.height, 6, grid, map);
  testing::internal::GetCapturedStdout();
  GridCell brick = grid.getCell(0, 2, 0);
  ASSERT_TRUE(brick.isOpaque());
  brick.material = 10;
  grid.setCell(0, 2, 0, brick);
  EXPECT_FALSE(isMapRoom(grid));
  brick.material = Palette::kWall;
  grid.setCell(0, 2, 0, brick);
  EXPECT_TRUE(isMapRoom(grid));
  Palette other = grid.palette();
  Material wall = other[Palette::kWall];
  wall.colour[0] = 9;
  other.set(Palette::kWall, wall);
  grid.setPalette(other);
  EXPECT_FALSE(isMapRoom(grid));
}

TEST(VoxRoom, TheMapLoadersTakeAVoxFileByItsContentAndTheSceneSavesEachRoomAsItCan) {
  startImageLibrary();
  LightGrid grid;
  randomRoom(grid, 12, 6, 10, 20, 21);
  const std::string bytes = text(roomToVox(grid, oddView()));
  // Named like a picture: the content decides.
  const std::string path = writeTemp("quillmarsh-room.png", bytes);
  {
    LightGrid read;
    ColorMap map;
    testing::internal::CaptureStdout();
    const RoomLoad load = loadRoomFromMap(path.c_str(), 6, read, map);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(load.ok) << load.error;
    EXPECT_EQ(roomDifference(grid, read), "");
  }
  {
    LightGrid read;
    ColorMap map;
    testing::internal::CaptureStdout();
    const RoomLoad load = loadRoomFromMapBytes("dropped.vox", data(bytes), bytes.size(), 6, read, map);
    const RoomLoad broken = loadRoomFromMapBytes("dropped.vox", data(bytes), 100, 6, read, map);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(load.ok) << load.error;
    EXPECT_EQ(roomDifference(grid, read), "");
    EXPECT_EQ(broken.error.rfind("quillmarsh: cannot use scene \"dropped.vox\": chunk MAIN", 0), 0u)
        << broken.error;
  }
  std::remove(path.c_str());

  // The save key: a .vox room under rooms/, a map room as a picture under maps/.
  char* previous = getcwd(nullptr, 0);
  const std::string dir = testing::TempDir() + "quillmarsh-vox-save-" + std::to_string(getpid());
  ASSERT_EQ(system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  Scene scene;
  std::string error;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(scene.loadRoom("dropped.vox", data(bytes), bytes.size(), 6, error)) << error;
  scene.saveRoomAsMap();
  scene.saveRoomAsMap();
  ASSERT_TRUE(scene.loadRoom(QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png", 6, error)) << error;
  scene.saveRoomAsMap();
  testing::internal::GetCapturedStdout();
  const std::vector<std::string> said = scene.currentMessages();
  ASSERT_GE(said.size(), 3u);
  EXPECT_EQ(said[said.size() - 3], "room saved: rooms/room-001.vox");
  EXPECT_EQ(said[said.size() - 2], "room saved: rooms/room-002.vox");
  EXPECT_EQ(said[said.size() - 1], "map saved: maps/room-001.png");
  std::ifstream saved("rooms/room-002.vox", std::ios::binary);
  const std::string savedBytes((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
  Loaded back(savedBytes);
  ASSERT_TRUE(back.load.ok) << back.load.error;
  EXPECT_EQ(roomDifference(grid, back.grid), "");
  // A name someone else holds is passed over, never overwritten.
  std::ofstream("rooms/room-003.vox") << "held";
  EXPECT_EQ(saveRoomVox(grid, oddView(), error), "rooms/room-004.vox");
  std::ifstream held("rooms/room-003.vox");
  std::string word;
  held >> word;
  EXPECT_EQ(word, "held");
  // No folder to write in: one line saying why.
  ASSERT_EQ(system("rm -rf rooms && touch rooms"), 0);
  EXPECT_EQ(saveRoomVox(grid, oddView(), error), "");
  EXPECT_NE(error.find("no free file name under \"rooms\""), std::string::npos) << error;
  ASSERT_EQ(chdir(previous), 0);
  free(previous);
  ASSERT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0);
}

namespace {

// A scene graph nested `levels` transforms deep.
std::string nested(int levels) {
  std::string nodes;
  for (int i = 0; i < levels; ++i)
    nodes += vb::transform(2 * i, 2 * i + 1, -1) +
             (i + 1 < levels ? vb::group(2 * i + 1, {2 * i + 2}) : vb::shape(2 * i + 1, 0));
  return vb::file(vb::model(1, 1, 1, {{0, 0, 0, 1}}) + nodes);
}

// Our room file with its own chunk (and so its scene) changed by `change`.
template <class Change>
std::string changedRoom(const LightGrid& grid, Change change) {
  const std::vector<unsigned char> bytes = roomToVox(grid, oddView());
  vox::Scene scene;
  std::string error;
  EXPECT_TRUE(vox::read(bytes.data(), bytes.size(), scene, error)) << error;
  for (vox::Chunk& chunk : scene.otherChunks)
    if (chunk.id == kVoxRoomChunk) change(scene, chunk.content);
  return text(vox::write(scene));
}

void put(std::vector<unsigned char>& content, size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) content[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

TEST(VoxFile, HostileFilesAreRefusedEachWithOneLineNamingItsCause) {
  const std::string m = vb::model(2, 2, 2, {{0, 0, 0, 1}});
  const auto withFrame = [&](const vb::Pairs& frame) {
    return vb::file(m + vb::transform(0, 1, -1, frame) + vb::shape(1, 0));
  };
  vox::Limits tiny;
  tiny.maxVoxels = 1;
  vox::Limits fewPlaced;
  fewPlaced.maxPlacedVoxels = 3;
  vox::Limits small;
  small.maxFileBytes = 10;
  const struct {
    const char* what;
    std::string bytes;
    const char* cause;
    vox::Limits limits;
  } cases[] = {
      {"a picture", "\x89PNG\r\n\x1a\n", "does not start with \"VOX \"", {}},
      {"a header alone", "VOX " + vb::i32(150), "ends before its MAIN chunk", {}},
      {"no MAIN", "VOX " + vb::i32(150) + vb::chunk("MAIM", ""), "its first chunk is MAIM, not MAIN", {}},
      {"MAIN of negative size", "VOX " + vb::i32(150) + "MAIN" + vb::i32(-1) + vb::i32(0), "negative size", {}},
      {"MAIN past the file", "VOX " + vb::i32(150) + "MAIN" + vb::i32(0) + vb::i32(1000) + m, "run past the file's", {}},
      {"a chunk past MAIN", vb::file("SIZE" + vb::i32(1000) + vb::i32(0) + vb::i32(1) + vb::i32(1) + vb::i32(1)), "bytes run past MAIN", {}},
      {"negative children", vb::file("SIZE" + vb::i32(12) + vb::i32(-5) + vb::i32(1) + vb::i32(1) + vb::i32(1)), "a negative size", {}},
      {"a cut header", vb::file(m + "XYZI\1\0"), "too few for a chunk", {}},
      {"negative voxel count", vb::file(vb::size(2, 2, 2) + vb::chunk("XYZI", vb::i32(-1))), "a negative count of voxels (-1)", {}},
      {"a billion voxels", vb::file(vb::size(2, 2, 2) + vb::chunk("XYZI", vb::i32(1000000000))), "1000000000 voxels need at least 4000000000 bytes", {}},
      {"voxels without size", vb::file(vb::xyzi({{0, 0, 0, 1}})), "voxels without a SIZE chunk", {}},
      {"size without voxels", vb::file(vb::size(2, 2, 2)), "a SIZE chunk without its voxels", {}},
      {"two sizes", vb::file(vb::size(2, 2, 2) + m), "two SIZE chunks", {}},
      {"a model too big", vb::file(vb::model(257, 1, 1, {})), "257 × 1 × 1 voxels (each side 1 to 256)", {}},
      {"an empty side", vb::file(vb::model(1, 0, 1, {})), "(each side 1 to 256)", {}},
      {"a negative side", vb::file(vb::model(1, 1, -3, {})), "(each side 1 to 256)", {}},
      {"a voxel outside", vb::file(vb::model(2, 2, 2, {{0, 2, 0, 1}})), "voxel 0 at (0, 2, 0) lies outside its size", {}},
      {"PACK miscounting", vb::file(vb::chunk("PACK", vb::i32(2)) + m), "PACK chunk counts 2 models; it holds 1", {}},
      {"PACK negative", vb::file(vb::chunk("PACK", vb::i32(-2)) + m), "negative model count", {}},
      {"a short palette", vb::file(m + vb::chunk("RGBA", std::string(1000, '\0'))), "1024 needed", {}},
      {"a negative dictionary", vb::file(m + vb::chunk("MATL", vb::i32(1) + vb::i32(-1))), "dictionary of negative size", {}},
      {"a huge dictionary", vb::file(m + vb::chunk("MATL", vb::i32(1) + vb::i32(1000000000))), "1000000000 pairs (at most 256)", {}},
      {"a dictionary past its chunk", vb::file(m + vb::chunk("MATL", vb::i32(1) + vb::i32(200))), "200 pairs runs past the chunk", {}},
      {"a negative string", vb::file(m + vb::chunk("MATL", vb::i32(1) + vb::i32(1) + vb::i32(-4) + vb::i32(0))), "string of negative length", {}},
      {"a huge string", vb::file(m + vb::chunk("MATL", vb::i32(1) + vb::i32(1) + vb::i32(1000000000) + vb::i32(0))), "1000000000 bytes (at most 4096)", {}},
      {"a string past its chunk", vb::file(m + vb::chunk("MATL", vb::i32(1) + vb::i32(1) + vb::i32(10) + "abcd")), "a string runs past the chunk", {}},
      {"a transform without frames", vb::file(m + vb::chunk("nTRN", vb::i32(0) + vb::dict({}) + vb::i32(1) + vb::i32(-1) + vb::i32(-1) + vb::i32(0))), "a transform with no frame", {}},
      {"a billion frames", vb::file(m + vb::chunk("nTRN", vb::i32(0) + vb::dict({}) + vb::i32(1) + vb::i32(-1) + vb::i32(-1) + vb::i32(1000000000))), "1000000000 frames need at least", {}},
      {"a negative node id", vb::file(m + vb::transform(-5, 1, -1)), "node id -5 is outside 0 to 16777215", {}},
      {"a node id too large", vb::file(m + vb::shape(1 << 24, 0)), "node id 16777216 is outside", {}},
      {"a child id too large", vb::file(m + vb::transform(0, 1 << 30, -1)), "child node id 1073741824 is outside", {}},
      {"a layer id too large", vb::file(m + vb::transform(0, 1, 1 << 25)), "layer id 33554432 is outside", {}},
      {"a twice used node id", vb::file(m + vb::transform(0, 1, -1) + vb::shape(0, 0)), "a second node with id 0", {}},
      {"a twice used layer id", vb::file(m + vb::layer(3, false) + vb::layer(3, true)), "a second layer with id 3", {}},
      {"a shape without models", vb::file(m + vb::chunk("nSHP", vb::i32(1) + vb::dict({}) + vb::i32(0))), "a shape with no model", {}},
      {"a group of negative size", vb::file(m + vb::chunk("nGRP", vb::i32(1) + vb::dict({}) + vb::i32(-3))), "a negative count of children (-3)", {}},
      {"two numbers to move by", withFrame({{"_t", "1 2"}}), "translation \"1 2\" is not three integers", {}},
      {"four numbers to move by", withFrame({{"_t", "1 2 3 4"}}), "is not three integers", {}},
      {"an absurd move", withFrame({{"_t", "1 2 99999999999"}}), "is not three integers within ±16777216", {}},
      {"a byte past 127", withFrame({{"_r", "200"}}), "rotation \"200\" is none of the 48 rotation bytes", {}},
      {"a rotation of letters", withFrame({{"_r", "abc"}}), "rotation \"abc\" is none", {}},
      {"a repeated column", withFrame({{"_r", "0"}}), "rotation \"0\" is none", {}},
      {"a column 3", withFrame({{"_r", "3"}}), "rotation \"3\" is none", {}},
      {"a line break in a value", withFrame({{"_t", "1\n2 \"3"}}), "translation \"1\\x0a2 \\\"3\" is not", {}},
      {"a long value", withFrame({{"_r", std::string(100, '7')}}), "rotation \"7777777777777777777777777777777777777777...\" is none", {}},
      {"a cycle through a group", vb::file(m + vb::transform(0, 1, -1) + vb::group(1, {2}) + vb::transform(2, 1, 0)), "node 1 is reached twice (a cycle or a shared node)", {}},
      {"a shared node", vb::file(m + vb::transform(0, 1, -1) + vb::group(1, {2, 2}) + vb::transform(2, 3, 0) + vb::shape(3, 0)), "node 2 is reached twice", {}},
      {"a missing child", vb::file(m + vb::transform(0, 7, -1)), "node 0 names node 7, which does not exist", {}},
      {"a missing group child", vb::file(m + vb::transform(0, 1, -1) + vb::group(1, {9})), "node 1 names node 9, which does not exist", {}},
      {"a shape in a group", vb::file(m + vb::transform(0, 1, -1) + vb::group(1, {3}) + vb::shape(3, 0)), "group 1 has node 3, not a transform, as a child", {}},
      {"a transform under a transform", vb::file(m + vb::transform(0, 2, -1) + vb::transform(2, 3, 0) + vb::shape(3, 0)), "transform 0 has transform 2 as its child", {}},
      {"no root", vb::file(m + vb::group(1, {2}) + vb::transform(2, 3, 0) + vb::shape(3, 0)), "no root transform (node 0)", {}},
      {"a group for a root", vb::file(m + vb::group(0, {2}) + vb::transform(2, 3, 0) + vb::shape(3, 0)), "no root transform (node 0)", {}},
      {"a model that is not there", vb::file(m + vb::transform(0, 1, -1) + vb::shape(1, 5)), "shape 1 shows model 5; the file has 1", {}},
      {"a graph nested too deep", nested(70), "nests more than 64 transforms deep", {}},
      {"a scene too wide", vb::file(m + m + vb::transform(0, 1, -1) + vb::group(1, {2, 4}) + vb::transform(2, 3, 0) + vb::shape(3, 0) + vb::transform(4, 5, 0, {{"_t", "1000 0 0"}}) + vb::shape(5, 1)), "the scene spans 1001 × 1 × 1 voxels; at most 256 × 256 × 256 fit", {}},
      {"too many voxels", vb::file(vb::model(2, 2, 2, {{0, 0, 0, 1}, {1, 1, 1, 1}})), "the models hold more than 1 voxels", tiny},
      {"too many placed", vb::file(vb::model(2, 2, 2, {{0, 0, 0, 1}, {1, 1, 1, 1}}) + vb::transform(0, 1, -1) + vb::group(1, {2, 4}) + vb::transform(2, 3, 0) + vb::shape(3, 0) + vb::transform(4, 5, 0) + vb::shape(5, 0)), "the scene places more than 3 voxels", fewPlaced},
      {"a file too large", vb::file(m), "bytes; a .vox file is at most 10 bytes", small},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string error = refusal(c.bytes, c.limits);
    EXPECT_NE(error.find(c.cause), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    VoxRoomLimits limits;
    limits.file = c.limits;
    const Loaded room(c.bytes, limits);
    EXPECT_FALSE(room.load.ok);
    // The room leaves space for its walls: a scene too wide says so with the room's bounds.
    const std::string prefix = "quillmarsh: cannot use scene \"test.vox\": ";
    if (error.find("spans") == std::string::npos)
      EXPECT_EQ(room.load.error, prefix + error);
    else
      EXPECT_EQ(room.load.error.rfind(prefix + "the scene spans 1001 × 1 × 1 voxels; at most 250", 0), 0u);
  }
  EXPECT_NE(refusal(vb::file(m + vb::chunk("nGRP", ""))).find("chunk nGRP at byte 64: it ends inside a number"),
            std::string::npos)
      << refusal(vb::file(m + vb::chunk("nGRP", "")));
  // Chunk names that are not text are shown in hex.
  EXPECT_NE(refusal(vb::file(std::string("\x01\x02\x03\x04", 4) + vb::i32(-1) + vb::i32(0))).find("chunk 0x01020304 at byte 20"),
            std::string::npos);

  // The room refuses what does not fit it.
  EXPECT_NE(Loaded(vb::file(vb::model(251, 1, 1, {{0, 0, 0, 1}, {250, 0, 0, 1}}))).load.error.find(
                "the scene spans 251 × 1 × 1 voxels; at most 250 × 250 × 252 fit"),
            std::string::npos);
  EXPECT_NE(Loaded(vb::file(m + vb::transform(0, 1, -1, {}, {{"_hidden", "1"}}) + vb::shape(1, 0)))
                .load.error.find("it has no visible voxel"),
            std::string::npos);

  // Our own chunk, damaged.
  LightGrid grid;
  randomRoom(grid, 9, 6, 8, 4, 5);
  const struct {
    const char* what;
    std::string bytes;
    const char* cause;
  } own[] = {
      {"short", changedRoom(grid, [](vox::Scene&, std::vector<unsigned char>& c) { c.resize(40); }), "chunk has 40 bytes, fewer than 76"},
      {"another version", changedRoom(grid, [](vox::Scene&, std::vector<unsigned char>& c) { put(c, 0, 2); }), "is of version 2"},
      {"no width", changedRoom(grid, [](vox::Scene&, std::vector<unsigned char>& c) { put(c, 4, 0); }), "a room of 0 × 6 × 8 cells; each side is 1 to 256"},
      {"too high", changedRoom(grid, [](vox::Scene&, std::vector<unsigned char>& c) { put(c, 8, 300); }), "each side is 1 to 256"},
      {"300 materials", changedRoom(grid, [](vox::Scene&, std::vector<unsigned char>& c) { put(c, 16, 300); }), "names 300 materials (1 to 256)"},
      {"no place to stand", changedRoom(grid, [](vox::Scene&, std::vector<unsigned char>& c) { put(c, 20, 1); }), "it has no open cell to stand in"},
      {"an eye not a number", changedRoom(grid, [](vox::Scene&, std::vector<unsigned char>& c) { put(c, 24, 0x7fc00000); }), "start view that is not a number"},
      {"a light far away", changedRoom(grid, [](vox::Scene&, std::vector<unsigned char>& c) { put(c, 60, 1u << 30); }), "puts the wandering light at 1073741824"},
      {"a cell too many", changedRoom(grid, [](vox::Scene&, std::vector<unsigned char>& c) { put(c, 72, c[72] + 1u); }), "cells in"},
      {"a cell outside", changedRoom(grid, [](vox::Scene&, std::vector<unsigned char>& c) { put(c, 76, 9); }), "lists a cell outside the room or of no material"},
      {"a cell of no number", changedRoom(grid, [](vox::Scene&, std::vector<unsigned char>& c) { put(c, 96, 0x7f800000); }), "lists a cell whose values are not numbers"},
      {"a material without its keys", changedRoom(grid, [](vox::Scene& s, std::vector<unsigned char>&) { s.materials[3].pairs.pop_back(); }), "material 3 of the room's 19 has no usable room keys"},
      {"a voxel outside", changedRoom(grid, [](vox::Scene& s, std::vector<unsigned char>&) { s.nodes[2].translation[0] += 1; }), "a voxel lies outside the room its QMRM chunk names"},
  };
  for (const auto& c : own) {
    SCOPED_TRACE(c.what);
    const Loaded room(c.bytes);
    EXPECT_FALSE(room.load.ok);
    EXPECT_NE(room.load.error.find(c.cause), std::string::npos) << room.load.error;
    EXPECT_EQ(room.load.error.find('\n'), std::string::npos);
  }
}

TEST(VoxFile, EveryCutOfAValidFileIsRefused) {
  LightGrid grid;
  randomRoom(grid, 6, 6, 5, 2, 8);
  const std::string files[] = {
      text(roomToVox(grid, oddView())),
      oneModelScene({{"_r", "17"}}, {{"_t", "1 2 3"}}) ,
      vb::file(vb::model(3, 3, 3, {{1, 1, 1, 4}}) + vb::layer(0, true) +
               vb::matl(4, {{"_type", "_glass"}, {"_trans", "0.5"}}))};
  for (const std::string& whole : files) {
    // Where each chunk under MAIN ends: a cut there leaves whole chunks only.
    std::vector<size_t> ends = {20};
    for (size_t at = 20; at + 12 <= whole.size();) {
      at += 12 + static_cast<size_t>(static_cast<unsigned char>(whole[at + 4]) |
                                     static_cast<unsigned char>(whole[at + 5]) << 8 |
                                     static_cast<unsigned char>(whole[at + 6]) << 16);
      ends.push_back(at);
    }
    for (size_t cut = 0; cut < whole.size(); ++cut) {
      SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(whole.size()));
      // As cut: MAIN says more than there is.
      const std::string prefix = whole.substr(0, cut);
      const std::string error = refusal(prefix);
      EXPECT_NE(error, "");
      EXPECT_EQ(error.find('\n'), std::string::npos);
      EXPECT_FALSE(Loaded(prefix).load.ok);
      // With MAIN's size made to fit the cut, the chunk that is cut must be refused.
      if (cut < 20 || std::find(ends.begin(), ends.end(), cut) != ends.end()) continue;
      std::string fitted = prefix;
      fitted.replace(16, 4, vb::i32(static_cast<long long>(cut) - 20));
      EXPECT_NE(refusal(fitted), "");
      EXPECT_FALSE(Loaded(fitted).load.ok);
    }
  }
}
