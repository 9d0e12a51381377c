// Building the room from map pixels (bottom row first, z = 0): the column rules, floor and
// ceiling, lights, markers and the start view, the wandering light, the base raster and the
// state the build leaves.
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "world/ColorMap.h"
#include "world/LightGrid.h"
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
  // Every cell starts unlit and visible, the other buffer empty; the room height sets the ceiling.
  for (long i = 0; i < 6L * 6; ++i) {
    EXPECT_TRUE(!room.grid.hiddenAt(i) && room.grid.lightAt(i, 0) == 0.0f) << i;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(room.grid.next[k * room.grid.lightPlaneStride() + i], 0.0f) << i;
  }
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
