// The frame loop: the timer's floor, the update cadence with its capped frame time, the reveal
// of the columns the visibility marks call seen, and the key callbacks on the scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "app/Controls.h"
#include "app/FrameStats.h"
#include "app/FrameTimer.h"
#include "app/Input.h"
#include "app/Scene.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "tests/support/EditedCell.h"

extern int lightUploadCount;  // LightUploadSeam.cpp

TEST(FrameTimer, NeverReportsLessThanOneMillisecond) {
  FrameTimer& timer = FrameTimer::instance();
  int floored = 0;  // two updates in a row are far below 1 ms apart, unless the process was paused
  for (int i = 0; i < 50; ++i) {
    timer.update();
    floored += timer.update() == FrameTimer::kMinFrameTime && timer.elapsed == FrameTimer::kMinFrameTime;
  }
  EXPECT_GT(floored, 0);
}

namespace {

// The global scene over a 5 x 3 x 4 room of hidden cells and a 4 x 4 map (one column short).
struct SceneTest : ::testing::Test {
  void SetUp() override {
    map.resize(4, 4);
    grid.resize(5, 3, 4);
    for (int i = 0; i < 5 * 3 * 4; ++i) grid.setHidden(i, true);
    grid.lightX = 1, grid.lightY = 1, grid.lightZ = 0;
    EditedCell(grid, 1, 1, 0).setEmitter(0, 0, 0);
    scene.grid = &grid;
    scene.occlusionMap = &map;
    scene.render.cpuLightUpload = running = true;
    debugView = overlayVisible = false;
  }
  void TearDown() override { scene.grid = nullptr, scene.occlusionMap = nullptr; }
  int revealed(int x, int z) const {
    return !grid.getCell(x, 0, z).hidden + !grid.getCell(x, 1, z).hidden + !grid.getCell(x, 2, z).hidden;
  }
  ColorMap map;
  LightGrid grid;
};

}  // namespace

TEST_F(SceneTest, StepsFiftyTimesASecondAtMostOnceAFrameAndMovesByTheCappedTime) {
  // From an empty accumulator, a first frame, then frames of one length. 51 frames of 0.016 s
  // step 40 times (the time past each step carried; dropping it gave 25). 0.02 s gathered is not
  // enough: the first 0.02 s frame does not step, every later one does. 0.021 s frames step every
  // frame. A 0.3 s stall moves by 0.1 s and steps once, keeping 0.02 s, then ten 0.017 s frames
  // step nine times: no catch-up.
  const struct { double first; int firstSteps; double frame; int frames, steps; } runs[] = {
      {0.016, 0, 0.016, 50, 40}, {0.02, 0, 0.02, 49, 49}, {0.021, 1, 0.021, 49, 49},
      {0.3, 1, 0.017, 10, 9}};
  for (const auto& run : runs) {
    scene.stepAccumulator = 0.0;
    scene.camera.setView(Vec3(2.0f, 1.5f, 2.0f), Vec3(2.0f, 1.5f, 0.0f), Vec3(0, 1, 0));
    onKeyDown('d', 0, 0);  // strafes along +x at 4 units a second for the first frame
    int steps = 0;
    for (int f = 0; f <= run.frames; ++f) {
      FrameTimer::instance().elapsed = f == 0 ? run.first : run.frame;
      const int uploadsBefore = lightUploadCount;
      scene.update();
      const int stepped = lightUploadCount - uploadsBefore;
      ASSERT_LE(stepped, 1);
      ASSERT_LE(scene.stepAccumulator, Scene::kStepInterval);
      if (f == 0) {
        EXPECT_EQ(stepped, run.firstSteps) << run.first;
        EXPECT_NEAR(scene.camera.eye.x, 2.0 + 4 * std::min(run.first, FrameTimer::kMaxFrameTime), 1e-4);
        onKeyUp('d', 0, 0);
      }
      steps += f == 0 ? 0 : stepped;
    }
    EXPECT_EQ(steps, run.steps) << run.frame;
  }
  EXPECT_EQ(revealed(2, 1), 3) << "a step runs the visibility pass and the reveal";
}

TEST_F(SceneTest, RevealAcceptsExactlyTheTwoSeenColoursAndKeepsOtherFields) {
  EditedCell(grid, 1, 1, 0).setLight(0, 0, 4);
  const ColorMap::Pixel colours[] = {ColorMap::kSeenWall, ColorMap::kSeenOpen, ColorMap::kSeenWall,
                                     ColorMap::kSeenWall,  // would be column (4, 0) if read past the row
                                     {255, 0, 100}, {255, 100, 0}, {254, 0, 0}, ColorMap::kCamera, ColorMap::kWall};
  const int at[][2] = {{0, 0}, {1, 0}, {3, 3}, {0, 1}, {2, 0}, {3, 0}, {0, 2}, {1, 1}, {2, 1}};
  for (int i = 0; i < 9; ++i) map.markPixel(at[i][0], at[i][1]) = colours[i];
  scene.revealVisibleColumns();
  int shown = 0;
  for (long i = 0; i < 60; ++i) shown += !grid.hiddenAt(i);
  EXPECT_EQ(shown, 4 * 3);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(revealed(at[i][0], at[i][1]), 3) << i;
  EXPECT_TRUE(grid.getCell(1, 1, 0).emitter && grid.getCell(1, 1, 0).light[2] == 4.0f);
}

TEST_F(SceneTest, CommandKeysActOnceOnReleaseAndSpaceJumpsOnItsPress) {
  auto state = [&](const std::string& printed) {
    const GridCell l = grid.getCell(1, 1, 0);
    std::ostringstream s;
    s << grid.strength << " " << debugView << scene.render.cpuLightUpload << overlayVisible << running << " "
      << l.emission[0] << "," << l.emission[1] << "," << l.emission[2] << l.emitter << printed;
    return s.str();
  };
  const unsigned char keys[] = {'9', '0', 'b', 'm', 'o', 'b', 'm', 'o', 'i', 'j', 'n', 'B', 200, 27};
  const char* after[] = {"0.001 0101 0,0,01fade value:0.001\n", "0.051 0101 0,0,01fade value:0.051\n",
                         "0.051 1101 0,0,01", "0.051 1001 0,0,01", "0.051 1011 0,0,01", "0.051 0011 0,0,01",
                         "0.051 0111 0,0,01", "0.051 0101 0,0,01", "0.051 0101 1500,0,01",
                         "0.051 0101 0,1500,01", "0.051 0101 0,0,15001", "0.051 0101 0,0,15001",
                         "0.051 0101 0,0,15001", "0.051 0100 0,0,15001"};
  for (int k = 0; k < 14; ++k) {
    const std::string before = state("");
    testing::internal::CaptureStdout();
    onKeyDown(keys[k], 0, 0);
    EXPECT_EQ(state(testing::internal::GetCapturedStdout()), before) << k;
    testing::internal::CaptureStdout();
    onKeyUp(keys[k], 0, 0);
    EXPECT_EQ(state(testing::internal::GetCapturedStdout()), after[k]) << k;
  }
  scene.camera.jumpCooldown = -0.001;
  onKeyDown(' ', 0, 0);
  EXPECT_EQ(scene.camera.velocity, Vec3(0, 6, 0));
  // "8" lowers to 0 and no further, "0" stops at the ceiling and says so; "1"-"5" select.
  const unsigned char more[] = {'8', '8', '0', '0', '5', '2'};
  const char* printed[] = {"fade value:0.02\n", "fade value:0\n", "fade value:0.05\n",
                           "fade value:1.15 (the ceiling)\n", "", ""};
  for (int k = 0; k < 6; ++k) {
    if (k == 0) grid.strength = 0.07f;
    if (k == 3) grid.strength = controls::kStrengthCeiling - 0.01f;
    testing::internal::CaptureStdout();
    onKeyUp(more[k], 0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), printed[k]) << k;
  }
  EXPECT_EQ(scene.selectedKind, ColumnKind::Glass);
}

TEST_F(SceneTest, AStatusWindowOfSteadyFramesReadsTheStepRateWhereverItsEdgesFall) {
  // Frames of 0.011 s and of 0.007 s step fifty times a second; a half-second window holds 25 or
  // 26 whole steps by where its edges fall, and the status line still reads 50 in every one.
  for (const double frame : {0.011, 0.007}) {
    FrameStats stats;
    scene.stepAccumulator = 0.0;
    std::set<int> wholeSteps;
    int stepsInWindow = 0;
    for (int f = 0; f < 600; ++f) {
      FrameTimer::instance().elapsed = frame;
      const long before = scene.simulationSteps;
      scene.update();
      stepsInWindow += scene.simulationSteps != before;
      stats.stepsPerSecond = -1.0;  // left so until a window completes
      stats.addFrame(frame, scene.simulationSteps != before, scene.stepAccumulator / Scene::kStepInterval);
      if (stats.stepsPerSecond < 0.0) continue;
      EXPECT_NEAR(stats.stepsPerSecond, 50.0, 1e-6) << frame << " frame " << f;
      wholeSteps.insert(stepsInWindow);
      stepsInWindow = 0;
    }
    EXPECT_GT(wholeSteps.size(), 1u) << "the windows should hold different counts of whole steps";
  }
}

TEST(FrameStats, RatesAreAveragedOverHalfSecondWindowsAndShownInTheStatusLine) {
  FrameStats stats;
  for (int frame = 0; frame < 24; ++frame) stats.addFrame(0.02, frame % 2 == 0);  // 0.48 s
  EXPECT_EQ(stats.framesPerSecond, 0.0) << "no window complete yet";
  stats.addFrame(0.04, true);  // 0.52 s, 25 frames, 13 steps
  EXPECT_NEAR(stats.framesPerSecond, 25 / 0.52, 1e-9);
  EXPECT_NEAR(stats.msPerFrame, 520.0 / 25, 1e-9);
  EXPECT_NEAR(stats.stepsPerSecond, 13 / 0.52, 1e-9);
  stats.addFrame(0.6, false);  // the next window starts empty: one frame, no step
  EXPECT_NEAR(stats.framesPerSecond, 1 / 0.6, 1e-9);
  EXPECT_EQ(stats.stepsPerSecond, 0.0);
  const int eye[3] = {12, 2, -3};
  EXPECT_EQ(statusText(stats, 0.25f, false, 1234, eye),
            "1.7 fps  600.0 ms  0 steps/s  strength 0.250  upload slices  cells 1234  eye (12, 2, -3)");
}
