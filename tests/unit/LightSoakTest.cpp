// The long-run checks on a shorter run: the shipped room at the strength a minute of "0" presses
// reaches stays finite, non-negative, under the decay's bound and level; at strength 0 the light
// never rises and dies out. Also that the checks do catch poisoned light.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "app/FlyCamera.h"
#include "tests/unit/TestImages.h"
#include "tools/LightSoak.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/WorldBuilder.h"

namespace {

// About ten releases of "0" a second for a minute, 0.05 each.
constexpr float kMinuteOfPresses = 30.0f;

struct ShippedRoom {
  explicit ShippedRoom(float strength) {
    startImageLibrary();
    MapImage image;
    std::string error;
    EXPECT_TRUE(image.load(QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png", error))
        << error;
    testing::internal::CaptureStdout();
    map.resize(image.width, image.height);
    testing::internal::GetCapturedStdout();
    grid.resize(image.width, 6, image.height);
    camera.reset();
    camera.grid = &grid;
  {
    const StartView start = buildWorldFromPixels(image.pixels.data(), image.width, image.height, grid, map);
    if (start.found) camera.setView(start.eye, start.target, start.up);
  }
    grid.strength = strength;
  }
  LightGrid grid;
  ColorMap map;
  FlyCamera camera;
};

}  // namespace

TEST(LightSoak, ShippedRoomAtFullStrengthStaysBoundedAndLevelsOff) {
  ShippedRoom room(kMinuteOfPresses);
  std::srand(3);
  LightSoak soak(room.grid, room.map, room.camera);
  // 0.916 * 30 * 1520 / 0.084: the wandering light's emission is the largest.
  EXPECT_NEAR(soak.bound(), 497257.0, 1.0);
  const int startX = room.grid.lightX, startZ = room.grid.lightZ;

  soak.run(2000, 100);
  ASSERT_EQ(soak.firstBadStep, -1) << soak.nonFinite << " non-finite, " << soak.negative
                                   << " negative, " << soak.aboveBound << " above the bound";
  EXPECT_EQ(soak.stepsRun, 2000);
  EXPECT_NE(room.grid.lightX * 1000 + room.grid.lightZ, startX * 1000 + startZ) << "never moved";
  EXPECT_GT(soak.maxLight, 0.0f);
  EXPECT_LT(soak.maxLight, soak.bound());
  // The light builds up over the first steps, then every window stays near the same level.
  ASSERT_EQ(soak.riseMax.size(), 1000u);
  EXPECT_LT(soak.riseMax[0], 0.8f * soak.riseMax[49]);
  ASSERT_EQ(soak.windowMax.size(), 20u);
  for (size_t w = 0; w < soak.windowMax.size(); ++w)
    EXPECT_GT(soak.windowMax[w], 0.85f * soak.maxLight) << "window " << w;

  soak.release(300);  // strength 0
  EXPECT_EQ(soak.firstBadStep, -1);
  ASSERT_EQ(soak.releaseMax.size(), 301u);
  for (size_t s = 1; s < soak.releaseMax.size(); ++s)
    EXPECT_LE(soak.releaseMax[s], soak.releaseMax[s - 1]) << "release step " << s;
  EXPECT_LT(soak.releaseMax.back(), 1e-6f * soak.releaseMax.front());
}

TEST(LightSoak, PoisonedOrExcessLightIsCaughtInTheStepItAppears) {
  for (float poison : {NAN, INFINITY, -1.0f}) {
    ShippedRoom room(1.0f);
    LightSoak soak(room.grid, room.map, room.camera);
    soak.run(3, 1);
    ASSERT_EQ(soak.firstBadStep, -1);
    GridCell cell = room.grid.getCell(10, 2, 10);
    cell.light[1] = poison;
    room.grid.setCell(10, 2, 10, cell);
    soak.run(3, 1);
    EXPECT_EQ(soak.firstBadStep, 1) << poison;
    EXPECT_GT(soak.nonFinite + soak.negative, 0) << poison;
  }
  // A strength raised after the bound was taken drives the light over it at once.
  ShippedRoom room(1.0f);
  LightSoak soak(room.grid, room.map, room.camera);
  room.grid.strength = kMinuteOfPresses;
  soak.run(5, 1);
  EXPECT_EQ(soak.firstBadStep, 1);
  EXPECT_GT(soak.aboveBound, 0);
}
