// Building the room from map pixels: the column rules, floor and ceiling, lights, markers and
// the start view, the wandering light, the base raster and the state the build leaves.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "app/FlyCamera.h"
#include "tests/unit/TestImages.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/WorldBuilder.h"

namespace {

struct Rgb {
  unsigned char r, g, b;
};
const Rgb kWhite{255, 255, 255}, kBlack{0, 0, 0}, kGrey{128, 128, 128}, kBlue{0, 0, 255},
    kMagenta{255, 0, 255}, kLime{120, 255, 0}, kGreen{0, 255, 0}, kRed{255, 0, 0};

// A room built from a w x h map (bottom row first) filled with white except `put` pixels.
class Room {
 public:
  Room(int w, int h, int layers = 6, std::initializer_list<std::pair<int, Rgb>> put = {})
      : pixels(static_cast<size_t>(w) * h * 3, 255) {
    for (const auto& p : put) set(p.first, p.second);
    build(w, h, layers);
  }
  Room(int w, int h, const std::vector<unsigned char>& rgb, int layers = 6) : pixels(rgb) {
    build(w, h, layers);
  }

  const GridCell cell(int x, int y, int z) const { return grid.getCell(x, y, z); }

  std::vector<unsigned char> pixels;
  LightGrid grid;
  ColorMap map;
  FlyCamera camera;

 private:
  void set(int index, Rgb c) {
    pixels[3 * index] = c.r;
    pixels[3 * index + 1] = c.g;
    pixels[3 * index + 2] = c.b;
  }
  void build(int w, int h, int layers) {
    testing::internal::CaptureStdout();
    map.resize(w, h);
    testing::internal::GetCapturedStdout();
    grid.resize(w, layers, h);
    camera.reset();
    buildWorldFromPixels(pixels.data(), w, h, grid, map, camera);
  }
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

const ColorMap::Pixel kWallBase{50, 50, 50}, kOpenBase{255, 255, 255};

}  // namespace

TEST(WorldBuilder, OneWhitePixelIsAClosedShaftWithoutPointLight) {
  Room room(1, 1);
  EXPECT_EQ(room.grid.sizeX, 1);
  EXPECT_EQ(room.grid.sizeY, 6);
  EXPECT_EQ(room.grid.sizeZ, 1);
  EXPECT_TRUE(isSolid(room.cell(0, 0, 0)));
  EXPECT_TRUE(isSolid(room.cell(0, 5, 0)));
  for (int y = 1; y <= 4; ++y) EXPECT_TRUE(isEmpty(room.cell(0, y, 0))) << y;
  EXPECT_EQ(room.map.basePixel(0, 0), kOpenBase);
  EXPECT_EQ(room.camera.grid, &room.grid);
  // The wandering light's cell (6, 3, 3) lies outside: nothing else holds emission.
  for (int y = 0; y < 6; ++y) EXPECT_FALSE(room.cell(0, y, 0).emitter);
}

TEST(WorldBuilder, WallGlassAndLightColumns) {
  Room room(5, 1, 6, {{0, kBlack}, {1, kGrey}, {2, kBlue}, {3, kMagenta}, {4, kLime}});
  for (int y = 0; y < 6; ++y) EXPECT_TRUE(isSolid(room.cell(0, y, 0))) << y;
  EXPECT_EQ(room.map.basePixel(0, 0), kWallBase);

  EXPECT_TRUE(isSolid(room.cell(1, 0, 0)));
  EXPECT_TRUE(isSolid(room.cell(1, 5, 0)));
  for (int y = 1; y <= 4; ++y) EXPECT_EQ(room.cell(1, y, 0).opacity, 0.5f) << y;
  EXPECT_EQ(room.map.basePixel(1, 0), kOpenBase);

  expectEmitter(room.cell(2, 5, 0), 350, 350, 150);
  expectEmitter(room.cell(3, 5, 0), 350, 350, 0);
  expectEmitter(room.cell(4, 5, 0), 0, 0, 350);
  for (int x = 2; x <= 4; ++x) {
    EXPECT_TRUE(isSolid(room.cell(x, 0, 0))) << x;
    for (int y = 1; y <= 4; ++y) EXPECT_TRUE(isEmpty(room.cell(x, y, 0))) << x << "," << y;
    EXPECT_EQ(room.map.basePixel(x, 0), kOpenBase) << x;
  }
}

TEST(WorldBuilder, NearMissColoursAreAir) {
  std::vector<unsigned char> rgb = {0, 0, 254, 1, 0, 0, 129, 128, 128, 0, 255, 1};
  Room room(4, 1, rgb);
  for (int x = 0; x < 4; ++x) {
    for (int y = 1; y <= 4; ++y) EXPECT_TRUE(isEmpty(room.cell(x, y, 0))) << x;
    EXPECT_FALSE(room.cell(x, 5, 0).emitter) << x;
    EXPECT_EQ(room.map.basePixel(x, 0), kOpenBase);
  }
  EXPECT_EQ(room.camera.eye, Vec3(10, 5, 10));  // no marker: the reset view stays
}

TEST(WorldBuilder, GreenMarkerLightsFloorAndCeilingAndPlacesTheCamera) {
  // Column (4, 7) of a 6 x 9 map is pixel 7 * 6 + 4.
  Room room(6, 9, 6, {{7 * 6 + 4, kGreen}});
  expectEmitter(room.cell(4, 0, 7), 0, 300, 0);
  expectEmitter(room.cell(4, 5, 7), 0, 300, 0);
  EXPECT_FALSE(room.cell(4, 0, 7).greenMarker);
  EXPECT_TRUE(isEmpty(room.cell(4, 2, 7)));
  EXPECT_EQ(room.camera.eye, Vec3(4, 2, 7));
  EXPECT_EQ(room.camera.target, Vec3(0, 0, 1));
  EXPECT_EQ(room.camera.up, Vec3(0, 1, 0));
}

TEST(WorldBuilder, TheLastMarkerVisitedDecidesTheStart) {
  // Red at (5, 1) comes after green at (1, 1) in the same row; green at (0, 2) comes later.
  Room first(8, 4, 6, {{1 * 8 + 1, kGreen}, {1 * 8 + 5, kRed}});
  expectEmitter(first.cell(5, 0, 1), 300, 0, 0);
  expectEmitter(first.cell(5, 5, 1), 300, 0, 0);
  EXPECT_EQ(first.camera.eye, Vec3(5, 2, 1));
  Room second(8, 4, 6, {{2 * 8 + 0, kGreen}, {1 * 8 + 5, kRed}});
  EXPECT_EQ(second.camera.eye, Vec3(0, 2, 2));
}

TEST(WorldBuilder, WanderingLightIsPlacedInItsCell) {
  Room room(8, 5);
  const GridCell light = room.cell(6, 3, 3);
  expectEmitter(light, 1520, 0, 0);
  EXPECT_FALSE(light.hidden);
  EXPECT_EQ(room.grid.lightX, 6);
  // Placed even into a wall column: the build writes it after the columns.
  Room walled(8, 5, 6, {{3 * 8 + 6, kBlack}});
  expectEmitter(walled.cell(6, 3, 3), 1520, 0, 0);
  EXPECT_EQ(walled.map.basePixel(6, 3), kWallBase);
}

TEST(WorldBuilder, EveryCellStartsUnlitAndVisibleAndTheOtherBufferEmpty) {
  Room room(9, 6, 6, {{0, kBlack}, {10, kGrey}, {20, kBlue}, {30, kGreen}, {40, kLime}});
  const long n = 9L * 6 * 6;
  for (long i = 0; i < n; ++i) {
    const GridCell& c = room.grid.current[i];
    EXPECT_FALSE(c.hidden) << i;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(c.light[k], 0.0f) << i;
    EXPECT_TRUE(isEmpty(room.grid.next[i])) << i;
  }
}

TEST(WorldBuilder, RoomHeightSetsTheCeilingLayer) {
  Room room(2, 2, 3, {{0, kBlue}});
  EXPECT_EQ(room.grid.sizeY, 3);
  EXPECT_TRUE(isSolid(room.cell(0, 0, 0)));
  expectEmitter(room.cell(0, 2, 0), 350, 350, 150);
  EXPECT_TRUE(isEmpty(room.cell(0, 1, 0)));
  EXPECT_TRUE(isSolid(room.cell(1, 2, 1)));
}

TEST(WorldBuilder, DecodedMapKeepsThePictureUpright) {
  // The top row of the picture (first in a PNG) is the room's far side, z = height - 1.
  startImageLibrary();
  ScratchDir dir;
  const std::vector<unsigned char> seen = {0,   0,   0,   255, 255, 255,   // z = 2: wall, air
                                           255, 255, 255, 255, 255, 255,   // z = 1: air
                                           255, 255, 255, 0,   255, 0};    // z = 0: air, green
  ASSERT_TRUE(writeBytes(dir.file("map.png"), png::rgb8(2, 3, seen)));
  MapImage image;
  std::string error;
  ASSERT_TRUE(image.load(dir.file("map.png").c_str(), error)) << error;
  Room room(image.width, image.height, image.pixels);
  EXPECT_TRUE(isSolid(room.cell(0, 3, 2)));
  EXPECT_EQ(room.map.basePixel(0, 2), kWallBase);
  EXPECT_EQ(room.map.basePixel(0, 0), kOpenBase);
  EXPECT_EQ(room.camera.eye, Vec3(1, 2, 0));
}
