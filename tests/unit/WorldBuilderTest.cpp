// Building the room from map pixels (bottom row first, z = 0): the column rules, floor and
// ceiling, lights, markers and the start view, the wandering light, the base raster and the
// state the build leaves; every room height from 3 to 64 against the default one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "platform/WorkerPool.h"
#include "tests/support/ReferenceLightStep.h"
#include "tests/unit/TestImages.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/RoomColumn.h"
#include "world/WorldBuilder.h"

namespace {

struct Rgb {
  unsigned char r, g, b;
};
const Rgb kBlack{0, 0, 0}, kGrey{128, 128, 128}, kBlue{0, 0, 255}, kMagenta{255, 0, 255},
    kLime{120, 255, 0}, kGreen{0, 255, 0}, kRed{255, 0, 0}, kNearBlack{1, 0, 0};

// A room built from a w x h map of white except the `put` pixels (index z * w + x).
struct Room {
  Room(int w, int h, int layers, std::initializer_list<std::pair<int, Rgb>> put = {}) {
    std::vector<unsigned char> pixels(static_cast<size_t>(w) * h * 3, 255);
    for (const auto& p : put) {
      pixels[3 * p.first] = p.second.r;
      pixels[3 * p.first + 1] = p.second.g;
      pixels[3 * p.first + 2] = p.second.b;
    }
    testing::internal::CaptureStdout();
    map.resize(w, h);
    testing::internal::GetCapturedStdout();
    grid.resize(w, layers, h);
    start = buildWorldFromPixels(pixels.data(), w, h, grid, map);
  }
  GridCell cell(int x, int y, int z) const { return grid.getCell(x, y, z); }
  LightGrid grid;
  ColorMap map;
  StartView start;
};

bool isSolid(const GridCell& c) {
  return c.opacity == 1.0f && !c.emitter && !c.greenMarker && !c.redMarker;
}
bool isEmpty(const GridCell& c) {
  return c.opacity == 0.0f && !c.emitter && !c.greenMarker && !c.redMarker;
}
void expectEmitter(const GridCell& c, float r, float g, float b) {
  EXPECT_TRUE(c.emitter);
  EXPECT_EQ(c.opacity, 0.0f);
  EXPECT_EQ(c.emission[0], r);
  EXPECT_EQ(c.emission[1], g);
  EXPECT_EQ(c.emission[2], b);
}

}  // namespace

TEST(WorldBuilder, WallGlassLightAndNearMissColumnsBetweenFloorAndCeiling) {
  Room room(6, 1, 6,
            {{0, kBlack}, {1, kGrey}, {2, kBlue}, {3, kMagenta}, {4, kLime}, {5, kNearBlack}});
  for (int y = 0; y < 6; ++y) EXPECT_TRUE(isSolid(room.cell(0, y, 0))) << y;
  for (int y = 1; y <= 4; ++y) EXPECT_EQ(room.cell(1, y, 0).opacity, 0.5f) << y;
  expectEmitter(room.cell(2, 5, 0), 350, 350, 150);
  expectEmitter(room.cell(3, 5, 0), 350, 350, 0);
  expectEmitter(room.cell(4, 5, 0), 0, 0, 350);
  EXPECT_TRUE(isSolid(room.cell(5, 5, 0)));
  for (int x = 0; x <= 5; ++x) {
    EXPECT_TRUE(isSolid(room.cell(x, 0, 0))) << x;
    for (int y = 1; y <= 4 && x > 1; ++y) EXPECT_TRUE(isEmpty(room.cell(x, y, 0))) << x << "," << y;
    EXPECT_EQ(room.map.basePixel(x, 0), x == 0 ? ColorMap::kWall : ColorMap::kOpen) << x;
  }
  EXPECT_FALSE(room.start.found);
  // Every cell starts unlit and visible, the other generation gone; the room height sets the ceiling.
  for (long i = 0; i < 6L * 6; ++i) EXPECT_TRUE(!room.grid.hiddenAt(i) && room.grid.lightAt(i, 0) == 0.0f) << i;
  EXPECT_EQ(room.grid.next, nullptr);
  Room low(2, 2, 3, {{0, kBlue}});
  expectEmitter(low.cell(0, 2, 0), 350, 350, 150);
  EXPECT_TRUE(isEmpty(low.cell(0, 1, 0)) && isSolid(low.cell(1, 2, 1)));
}

TEST(WorldBuilder, MarkersLightFloorAndCeilingAndTheLastOneVisitedIsTheStartView) {
  // Column (4, 7) of a 6 x 9 map is pixel 7 * 6 + 4.
  Room room(6, 9, 6, {{7 * 6 + 4, kGreen}});
  expectEmitter(room.cell(4, 0, 7), 0, 300, 0);
  expectEmitter(room.cell(4, 5, 7), 0, 300, 0);
  EXPECT_FALSE(room.cell(4, 0, 7).greenMarker);
  EXPECT_TRUE(isEmpty(room.cell(4, 2, 7)));
  EXPECT_TRUE(room.start.found);
  EXPECT_EQ(room.start.eye, Vec3(4, 2, 7));
  EXPECT_EQ(room.start.target, Vec3(0, 0, 1));
  EXPECT_EQ(room.start.up, Vec3(0, 1, 0));
  // Red at (5, 1) comes after green at (1, 1) in the same row; green at (0, 2) comes later.
  Room first(8, 4, 6, {{1 * 8 + 1, kGreen}, {1 * 8 + 5, kRed}});
  expectEmitter(first.cell(5, 5, 1), 300, 0, 0);
  EXPECT_EQ(first.start.eye, Vec3(5, 2, 1));
  Room second(8, 4, 6, {{2 * 8 + 0, kGreen}, {1 * 8 + 5, kRed}});
  EXPECT_EQ(second.start.eye, Vec3(0, 2, 2));
  // Without a marker: the open column nearest the centre, looking towards z = 0; the first of
  // those equally near. Glass and walls are not open; no open column, no start.
  Room centre(5, 3, 6, {{1 * 5 + 2, kGrey}, {1 * 5 + 1, kBlack}, {2 * 5 + 4, kBlue}});
  EXPECT_FALSE(centre.start.found);
  EXPECT_EQ(centre.start.eye, Vec3(2, 2, 0));  // (2, 2) and (3, 1) are as near, later
  EXPECT_EQ(centre.start.target, Vec3(2, 2, -1));
  Room even(4, 2, 6, {});
  EXPECT_EQ(even.start.eye, Vec3(1, 2, 0));
  EXPECT_TRUE(even.start.open);
  EXPECT_FALSE(Room(2, 1, 6, {{0, kBlack}, {1, kGrey}}).start.open);
  // The wandering light is written after the columns: into its cell even in a wall.
  Room walled(8, 5, 6, {{3 * 8 + 6, kBlack}});
  expectEmitter(walled.cell(6, 3, 3), 1520, 0, 0);
  EXPECT_TRUE(walled.grid.lightX == 6 && isSolid(walled.cell(6, 2, 3)));
}

namespace {

// A room of `layers` built by buildRoom into `grid` (fresh ones unless given).
struct Built {
  Built(const std::vector<unsigned char>& rgb, int w, int h, int layers) : grid(own), map(ownMap) {
    build(rgb, w, h, layers);
  }
  Built(const std::vector<unsigned char>& rgb, int w, int h, int layers, LightGrid& g, ColorMap& m)
      : grid(g), map(m) {
    build(rgb, w, h, layers);
  }
  void build(const std::vector<unsigned char>& rgb, int w, int h, int layers) {
    testing::internal::CaptureStdout();
    start = buildRoom(rgb.data(), w, h, layers, grid, map);
    testing::internal::GetCapturedStdout();
  }
  LightGrid own;
  ColorMap ownMap;
  LightGrid& grid;
  ColorMap& map;
  StartView start;
};

bool sameCell(const GridCell& a, const GridCell& b) {
  return std::memcmp(a.light, b.light, sizeof a.light) == 0 &&
         std::memcmp(a.emission, b.emission, sizeof a.emission) == 0 && a.opacity == b.opacity &&
         a.emitter == b.emitter && a.hidden == b.hidden && a.greenMarker == b.greenMarker &&
         a.redMarker == b.redMarker;
}

// The first cell (as "x,y,z") where two built rooms differ, or "" when none does.
std::string firstDifference(const LightGrid& a, const LightGrid& b) {
  if (a.sizeX != b.sizeX || a.sizeY != b.sizeY || a.sizeZ != b.sizeZ) return "size";
  if (a.lightX != b.lightX || a.lightY != b.lightY || a.lightZ != b.lightZ) return "light position";
  for (int z = 0; z < a.sizeZ; ++z)
    for (int y = 0; y < a.sizeY; ++y)
      for (int x = 0; x < a.sizeX; ++x)
        if (!sameCell(a.getCell(x, y, z), b.getCell(x, y, z)))
          return std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(z);
  return "";
}

std::vector<unsigned char> legendMap(const std::string& rows) {  // one char a column, z = 0 first
  const std::string kinds = ".#gWYBSR";  // ColumnKind order
  std::vector<unsigned char> rgb;
  for (char c : rows) {
    const mapcolour::Rgb col = columnColour(static_cast<ColumnKind>(kinds.find(c)));
    for (int v : {col.r, col.g, col.b}) rgb.push_back(static_cast<unsigned char>(v));
  }
  return rgb;
}

}  // namespace

// Each height keeps the default room's columns: its floor, its ceiling and every walkable layer
// as the default room's second layer; the wandering light and the eye in the same open column at
// the layer the height allows; the step the plain rule's; and a grid built before at another
// height leaves nothing behind.
TEST(WorldBuilder, EveryRoomHeightFrom3To64IsTheDefaultRoomStretchedOrSquashed) {
  startImageLibrary();
  MapImage shipped;
  std::string error;
  ASSERT_TRUE(shipped.load(QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png", error)) << error;
  const struct {
    const char* name;
    std::vector<unsigned char> rgb;
    int w, h;
  } maps[] = {
      {"shipped", shipped.pixels, shipped.width, shipped.height},
      // Every kind in a row, a red start beyond them; the wandering light's column (6, 3) open.
      {"kinds", legendMap("#########"
                          "#.#gWYBS#"
                          "#.......#"
                          "#..R....#"
                          "#########"), 9, 5},
      // No marker (the start near the centre, facing z = 0); the light's column a wall.
      {"walled light", legendMap("........"
                                 ".g.W...."
                                 "........"
                                 "......#."), 8, 4},
      // No marker, and the wall with the light at the centre: the start beside it.
      {"central wall", legendMap(".............."
                                 ".............."
                                 ".............."
                                 "......#......."
                                 ".............."
                                 ".............."
                                 ".............."), 14, 7},
      // Too narrow for the light's column: it stays off the grid.
      {"narrow", legendMap("..."
                           ".W."), 3, 2},
  };
  WorkerPool pool(3);
  for (const auto& m : maps) {
    const Built ref(m.rgb, m.w, m.h, kRoomHeight);
    LightGrid reused;
    ColorMap reusedMap;
    for (int layers = CommandLine::kMinHeight; layers <= CommandLine::kMaxHeight; ++layers) {
      SCOPED_TRACE(std::string(m.name) + ", " + std::to_string(layers) + " layers");
      Built room(m.rgb, m.w, m.h, layers);
      LightGrid& g = room.grid;
      const int top = layers - 1;
      ASSERT_TRUE(g.sizeX == m.w && g.sizeY == layers && g.sizeZ == m.h);
      ASSERT_TRUE(room.map.width == m.w && room.map.height == m.h);
      // The wandering light: its usual cell, or the top open layer of a room too low for it.
      const int lightY = std::min(3, layers - 2);
      EXPECT_TRUE(g.lightX == 6 && g.lightY == lightY && g.lightZ == 3);
      const bool lightOn = g.inside(6, lightY, 3);
      int lights = 0;
      PlainGrid plain(m.w, layers, m.h);  // the room again, for the step
      for (int z = 0; z < m.h; ++z)
        for (int x = 0; x < m.w; ++x) {
          // In a room of three the light fills its column's one walkable layer: it reads open.
          const ColumnKind kind = columnKindAt(ref.grid, x, z);
          const bool filled = layers == 3 && x == 6 && z == 3 && !isOpenKind(kind);
          EXPECT_EQ(columnKindAt(g, x, z), filled ? ColumnKind::Air : kind) << x << "," << z;
          EXPECT_EQ(room.map.basePixel(x, z), ref.map.basePixel(x, z)) << x << "," << z;
          for (int y = 0; y < layers; ++y) {
            const GridCell c = plain.current[plain.index(x, y, z)] = g.getCell(x, y, z);
            if (c.emitter && c.emission[0] == 1520.0f) ++lights;
            if (x == 6 && y == lightY && z == 3) continue;
            const int refY = y == 0 ? 0 : y == top ? kRoomHeight - 1 : 2;
            ASSERT_TRUE(sameCell(c, ref.grid.getCell(x, refY, z))) << x << "," << y << "," << z;
          }
          // Floor and ceiling are never open to walk through.
          for (const int y : {0, top}) {
            const GridCell& c = plain.current[plain.index(x, y, z)];
            EXPECT_TRUE(c.isOpaque() || c.emitter) << x << "," << y << "," << z;
          }
        }
      EXPECT_EQ(lights, lightOn ? 1 : 0);
      if (lightOn) {
        const GridCell l = g.getCell(6, lightY, 3);
        EXPECT_TRUE(l.emitter && l.opacity == 0.0f && l.emission[0] == 1520.0f && l.emission[1] == 0.0f &&
                    l.emission[2] == 0.0f);
        EXPECT_TRUE(lightY >= 1 && lightY < top);
      }
      // The eye in the default room's start column, two above the floor or in the top open
      // layer, in an open cell; looking at the fixed point, or along -z from a centre start.
      const StartView& s = room.start;
      EXPECT_TRUE(s.found == ref.start.found && s.open == ref.start.open);
      EXPECT_EQ(s.eye, Vec3(ref.start.eye.x, std::min(2, layers - 2), ref.start.eye.z));
      const GridCell eyeCell = g.getCell(static_cast<int>(s.eye.x), static_cast<int>(s.eye.y), static_cast<int>(s.eye.z));
      EXPECT_TRUE(s.eye.y >= 1 && s.eye.y < top && !eyeCell.isOpaque() && !eyeCell.isGlass());
      EXPECT_EQ(s.target, s.found ? Vec3(0, 0, 1) : s.eye + Vec3(0, 0, -1));
      EXPECT_EQ(s.up, Vec3(0, 1, 0));
      // One grid built at every height in turn ends as a fresh one of the last height.
      Built again(m.rgb, m.w, m.h, layers, reused, reusedMap);
      EXPECT_EQ(firstDifference(reused, g), "");
      EXPECT_EQ(again.start.eye, s.eye);
      // A step with light (the light's move drawn too): the plain rule's cells.
      plain.lightX = g.lightX, plain.lightY = g.lightY, plain.lightZ = g.lightZ;
      g.strength = plain.strength = 1.0f;
      g.pool = &pool;
      g.minCellsPerSlab = 1;
      std::srand(layers);
      g.step();
      std::srand(layers);
      referenceLightStep(plain);
      for (int i = 0; i < m.w * layers * m.h; ++i)
        ASSERT_TRUE(sameCell(g.getCell(i % m.w, i / m.w % layers, i / m.w / layers), plain.current[i])) << i;
      EXPECT_TRUE(g.lightX == plain.lightX && g.lightY == plain.lightY && g.lightZ == plain.lightZ);
    }
  }
}
