// The frame loop's update cadence and the reveal of the columns the visibility marks call seen.
#include <gtest/gtest.h>

#include "app/FrameTimer.h"
#include "app/Scene.h"
#include "tests/unit/LightUploadSeam.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

namespace {

// A scene over a small room with every cell hidden, and a map whose marks the test sets.
class SceneUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::internal::CaptureStdout();
    map.resize(5, 4);
    testing::internal::GetCapturedStdout();
    s.grid = new LightGrid();
    s.grid->resize(5, 3, 4);
    for (long i = 0; i < 5 * 3 * 4; ++i) s.grid->current[i].hidden = true;
    s.occlusionMap = &map;
  }

  // Runs one frame that took `seconds`; returns whether it ran a simulation step. A step
  // resets the accumulator and refreshes the light volume exactly once.
  bool frame(double seconds) {
    FrameTimer::instance().elapsed = seconds;
    const int uploadsBefore = lightUploadCount;
    s.update();
    const int uploads = lightUploadCount - uploadsBefore;
    EXPECT_LE(uploads, 1);
    EXPECT_EQ(uploads == 1, s.stepAccumulator == 0.0);
    return uploads == 1;
  }

  bool columnRevealed(int x, int z) const {
    for (int y = 0; y < s.grid->sizeY; ++y)
      if (s.grid->getCell(x, y, z).hidden) return false;
    return true;
  }

  ColorMap map;
  Scene s;
};

}  // namespace

TEST_F(SceneUpdate, FramesOf16msStepEverySecondFrame) {
  EXPECT_FALSE(frame(0.016));
  EXPECT_DOUBLE_EQ(s.stepAccumulator, 0.016);
  EXPECT_TRUE(frame(0.016));  // 0.032 > 0.02
  EXPECT_FALSE(frame(0.016));
  EXPECT_DOUBLE_EQ(s.stepAccumulator, 0.016);  // restarted from zero, no carried remainder
  EXPECT_TRUE(frame(0.016));
}

TEST_F(SceneUpdate, ExactlyTwentyMillisecondsDoesNotStep) {
  EXPECT_FALSE(frame(0.02));
  EXPECT_DOUBLE_EQ(s.stepAccumulator, 0.02);
  EXPECT_TRUE(frame(0.001));
}

TEST_F(SceneUpdate, LongFrameIsCappedAndStepsOnce) {
  EXPECT_TRUE(frame(0.5));
  // The remainder above 0.02 s is discarded: no catch-up step on the next short frame.
  EXPECT_FALSE(frame(0.001));
  EXPECT_DOUBLE_EQ(s.stepAccumulator, 0.001);
}

TEST_F(SceneUpdate, LongFrameMovesTheCameraByTheCappedTime) {
  // Standing on the floor in open air, looking along -z, with "d" held: only the strafe moves
  // x, at 4 units per second for the capped 0.1 s.
  s.camera.reset();
  s.camera.grid = s.grid;
  s.camera.setView(Vec3(2.0f, 1.5f, 2.0f), Vec3(2.0f, 1.5f, 0.0f), Vec3(0, 1, 0));
  s.camera.setKey('d', true);
  EXPECT_TRUE(frame(0.5));
  EXPECT_NEAR(s.camera.eye.x, 2.4f, 1e-6f);
  EXPECT_EQ(s.camera.eye.y, 1.5f);
  EXPECT_EQ(s.camera.eye.z, 2.0f);
  EXPECT_NEAR(s.camera.velocity.y, -0.998f, 1e-6f);  // gravity over 0.1 s, not 0.5 s
  EXPECT_DOUBLE_EQ(s.camera.jumpCooldown, -0.1);
}

TEST_F(SceneUpdate, RevealAcceptsExactlyTheTwoSeenColours) {
  map.markPixel(0, 0) = {255, 0, 0};
  map.markPixel(1, 0) = {255, 100, 100};
  map.markPixel(2, 0) = {255, 0, 100};
  map.markPixel(3, 0) = {255, 100, 0};
  map.markPixel(4, 0) = {254, 0, 0};
  map.markPixel(0, 1) = {0, 255, 0};
  map.markPixel(1, 1) = {50, 50, 50};
  map.markPixel(2, 1) = {255, 255, 255};
  map.markPixel(4, 3) = {255, 0, 0};
  s.revealVisibleColumns();
  EXPECT_TRUE(columnRevealed(0, 0));
  EXPECT_TRUE(columnRevealed(1, 0));
  EXPECT_TRUE(columnRevealed(4, 3));
  for (int z = 0; z < 4; ++z)
    for (int x = 0; x < 5; ++x) {
      if ((x == 0 && z == 0) || (x == 1 && z == 0) || (x == 4 && z == 3)) continue;
      for (int y = 0; y < 3; ++y)
        EXPECT_TRUE(s.grid->getCell(x, y, z).hidden) << x << "," << y << "," << z;
    }
}

TEST_F(SceneUpdate, RevealKeepsEveryOtherField) {
  GridCell c;
  c.emitter = true;
  c.emission[1] = 300;
  c.opacity = 0.5f;
  c.light[2] = 4;
  c.hidden = true;
  s.grid->setCell(2, 1, 3, c);
  map.markPixel(2, 3) = {255, 100, 100};
  s.revealVisibleColumns();
  const GridCell after = s.grid->getCell(2, 1, 3);
  EXPECT_FALSE(after.hidden);
  EXPECT_TRUE(after.emitter);
  EXPECT_EQ(after.emission[1], 300.0f);
  EXPECT_EQ(after.opacity, 0.5f);
  EXPECT_EQ(after.light[2], 4.0f);
}

TEST_F(SceneUpdate, RevealIgnoresGridColumnsBeyondTheMap) {
  ColorMap narrow;
  testing::internal::CaptureStdout();
  narrow.resize(2, 2);
  testing::internal::GetCapturedStdout();
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) narrow.markPixel(x, y) = {255, 0, 0};
  s.occlusionMap = &narrow;
  s.revealVisibleColumns();
  EXPECT_TRUE(columnRevealed(1, 1));
  EXPECT_FALSE(columnRevealed(2, 1));
  EXPECT_FALSE(columnRevealed(1, 2));
  s.occlusionMap = &map;
}
