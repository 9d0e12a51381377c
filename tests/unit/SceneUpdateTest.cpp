// The frame loop's update cadence and the reveal of the columns the visibility marks call seen.
#include <gtest/gtest.h>

#include "app/FrameTimer.h"
#include "app/Scene.h"
#include "tests/unit/LightUploadSeam.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

namespace {

// A scene over a 5 x 3 x 4 room with every cell hidden, and a map whose marks the test sets.
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

TEST_F(SceneUpdate, StepsOnlyOnceMoreThanTwentyMillisecondsHaveGathered) {
  const struct {
    double seconds;
    bool steps;
  } frames[] = {
      {0.016, false}, {0.016, true},  // 0.032 > 0.02
      {0.016, false}, {0.016, true},  // restarted from zero, no carried remainder
      {0.02, false},  {0.001, true},  // exactly 0.02 is not enough
      {0.5, true},    {0.001, false},  // one capped step, no catch-up for the rest
  };
  double gathered = 0.0;
  for (const auto& f : frames) {
    SCOPED_TRACE(f.seconds);
    gathered += f.seconds;
    EXPECT_EQ(frame(f.seconds), f.steps);
    gathered = f.steps ? 0.0 : gathered;
    EXPECT_DOUBLE_EQ(s.stepAccumulator, gathered);
  }
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

TEST_F(SceneUpdate, RevealAcceptsExactlyTheTwoSeenColoursAndKeepsOtherFields) {
  GridCell c;
  c.emitter = c.hidden = true;
  c.emission[1] = 300;
  c.opacity = 0.5f;
  c.light[2] = 4;
  s.grid->setCell(1, 1, 0, c);
  const struct {
    int x, z;
    ColorMap::Pixel colour;
    bool seen;
  } marks[] = {{0, 0, {255, 0, 0}, true},     {1, 0, {255, 100, 100}, true},
               {4, 3, {255, 0, 0}, true},     {2, 0, {255, 0, 100}, false},
               {3, 0, {255, 100, 0}, false},  {4, 0, {254, 0, 0}, false},
               {0, 1, {0, 255, 0}, false},    {1, 1, {50, 50, 50}, false},
               {2, 1, {255, 255, 255}, false}};
  for (const auto& m : marks) map.markPixel(m.x, m.z) = m.colour;
  s.revealVisibleColumns();
  int revealed = 0;
  for (int z = 0; z < 4; ++z)
    for (int x = 0; x < 5; ++x)
      for (int y = 0; y < 3; ++y) revealed += !s.grid->getCell(x, y, z).hidden;
  EXPECT_EQ(revealed, 3 * 3);
  for (const auto& m : marks) EXPECT_EQ(columnRevealed(m.x, m.z), m.seen) << m.x << "," << m.z;

  const GridCell after = s.grid->getCell(1, 1, 0);
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
