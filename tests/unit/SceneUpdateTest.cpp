// The frame loop: the timer's floor, the update cadence with its capped frame time, the reveal
// of the columns the visibility marks call seen, and the key callbacks on the scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

#include "app/Controls.h"
#include "app/FrameStats.h"
#include "app/FrameTimer.h"
#include "app/Input.h"
#include "app/Scene.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/RoomColumn.h"
#include "world/WorldBuilder.h"
#include "tests/support/EditedCell.h"
#include "tests/support/RecordingBackend.h"
#include "tests/unit/TestImages.h"

TEST(FrameTimer, NeverReportsLessThanOneMillisecond) {
  FrameTimer timer;
  int floored = 0;  // two updates in a row are far below 1 ms apart, unless the process was paused
  for (int i = 0; i < 50; ++i) {
    timer.update();
    floored += timer.update() == FrameTimer::kMinFrameTime && timer.elapsed == FrameTimer::kMinFrameTime;
  }
  EXPECT_GT(floored, 0);
}

namespace {

// A scene over a 5 x 3 x 4 room of hidden cells and a 4 x 4 map (one column short), drawn by a
// recording backend.
struct SceneTest : ::testing::Test {
  void SetUp() override {
    map.resize(4, 4);
    grid.resize(5, 3, 4);
    for (int i = 0; i < 5 * 3 * 4; ++i) grid.setHidden(i, true);
    grid.lightX = 1, grid.lightY = 1, grid.lightZ = 0;
    EditedCell(grid, 1, 1, 0).setEmitter(0, 0, 0);
    scene.attachBackend(&backend);
  }
  int revealed(int x, int z) const {
    return !grid.getCell(x, 0, z).hidden + !grid.getCell(x, 1, z).hidden + !grid.getCell(x, 2, z).hidden;
  }
  Scene scene;
  RecordingBackend backend;
  ColorMap& map = *scene.occlusionMap;
  LightGrid& grid = *scene.grid;
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
    input::keyDown(scene, 'd');  // strafes along +x at 4 units a second for the first frame
    int steps = 0;
    for (int f = 0; f <= run.frames; ++f) {
      scene.timer.elapsed = f == 0 ? run.first : run.frame;
      const int uploadsBefore = backend.uploads;
      scene.update();
      const int stepped = backend.uploads - uploadsBefore;
      ASSERT_LE(stepped, 1);
      ASSERT_LE(scene.stepAccumulator, Scene::kStepInterval);
      if (f == 0) {
        EXPECT_EQ(stepped, run.firstSteps) << run.first;
        EXPECT_NEAR(scene.camera.eye.x, 2.0 + 4 * std::min(run.first, FrameTimer::kMaxFrameTime), 1e-4);
        input::keyUp(scene, 'd');
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
    const SceneFlags& f = scene.flags;
    s << grid.strength << " " << f.debugView << f.cpuLightUpload << f.overlayVisible << f.running << " "
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
    input::keyDown(scene, keys[k]);
    EXPECT_EQ(state(testing::internal::GetCapturedStdout()), before) << k;
    testing::internal::CaptureStdout();
    input::keyUp(scene, keys[k]);
    EXPECT_EQ(state(testing::internal::GetCapturedStdout()), after[k]) << k;
  }
  scene.camera.jumpCooldown = -0.001;
  input::keyDown(scene, ' ');
  EXPECT_EQ(scene.camera.velocity, Vec3(0, 6, 0));
  // "8" lowers to 0 and no further, "0" stops at the ceiling and says so; "1"-"5" select.
  const unsigned char more[] = {'8', '8', '0', '0', '5', '2'};
  const char* printed[] = {"fade value:0.02\n", "fade value:0\n", "fade value:0.05\n",
                           "fade value:1.15 (the ceiling)\n", "", ""};
  for (int k = 0; k < 6; ++k) {
    if (k == 0) grid.strength = 0.07f;
    if (k == 3) grid.strength = controls::kStrengthCeiling - 0.01f;
    testing::internal::CaptureStdout();
    input::keyUp(scene, more[k]);
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
      scene.timer.elapsed = frame;
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

namespace {

// A scene in a 7 x 6 x 7 room built from map pixels: walls around, open inside, the eye placed
// by the test; the working directory a fresh folder, since Ctrl+S writes maps/ there.
struct EditScene : ::testing::Test {
  void SetUp() override {
    startImageLibrary();  // Ctrl+S writes a picture
    std::vector<unsigned char> rgb;
    for (int z = 0; z < 7; ++z)
      for (int x = 0; x < 7; ++x) {
        const bool wall = x == 0 || z == 0 || x == 6 || z == 6;
        const mapcolour::Rgb c = columnColour(wall ? ColumnKind::Wall : ColumnKind::Air);
        rgb.insert(rgb.end(), {static_cast<unsigned char>(c.r), static_cast<unsigned char>(c.g),
                               static_cast<unsigned char>(c.b)});
      }
    const StartView start = buildRoom(rgb.data(), 7, 7, 6, *scene.grid, *scene.occlusionMap);
    scene.enterRoom(start);
    scene.attachBackend(&backend);
    char folder[] = "/tmp/quillmarsh-edit-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    ASSERT_EQ(chdir(folder), 0);
  }
  // Looks from `eye` at `target` and clicks `button` without moving the mouse.
  std::string click(const Vec3& eye, const Vec3& target, int button) {
    scene.camera.setView(eye, target, Vec3(0, 1, 0));
    testing::internal::CaptureStdout();
    input::mouse(scene, button, true, 100, 100);
    input::mouse(scene, button, false, 101, 100);
    return testing::internal::GetCapturedStdout();
  }
  bool wallAt(int x, int z) const { return scene.grid->getCell(x, 2, z).opacity >= 1.0f; }
  Scene scene;
  RecordingBackend backend;
};

}  // namespace

TEST_F(EditScene, AClickEditsThePickedColumnButNeverTheEyesOwnOnAnyAxis) {
  // A left click clears the wall column looked at; a right click at that opening refills it.
  EXPECT_EQ(click(Vec3(3, 2, 3), Vec3(6, 2, 3), 0), "");
  EXPECT_FALSE(wallAt(6, 3));
  scene.grid->lightX = 1, scene.grid->lightZ = 1;  // the wandering light out of the way
  click(Vec3(3, 2, 3), Vec3(7, 2, 3), 2);
  EXPECT_FALSE(wallAt(6, 3)) << "the pick meets the outside, no cell of the grid";
  click(Vec3(3, 2, 3), Vec3(6, 2, 2), 2);
  // A fill aimed at the eye's own column is refused and says so, on screen too; the eye stands
  // in a column by its x and z each rounded, so a refusal must follow each axis alone.
  const Vec3 eyes[] = {{4.45f, 2, 3}, {4, 2, 3.45f}, {3.55f, 2, 3}, {4, 2, 2.55f}};
  for (const Vec3& eye : eyes) {
    // Looking down at the floor cell under the eye: the fill would be the eye's column.
    const std::string said = click(eye, Vec3(4, 0, 3), 2);
    EXPECT_NE(said.find("edit refused"), std::string::npos) << eye.x << " " << eye.z;
    EXPECT_FALSE(wallAt(4, 3));
    ASSERT_FALSE(scene.currentMessages().empty());
    EXPECT_EQ(scene.currentMessages().back(), said.substr(0, said.size() - 1));
  }
  // Past the middle of a cell on one axis the eye stands in the next column, and the fill goes in.
  const std::string said = click(Vec3(4.55f, 2, 3), Vec3(4, 0, 3), 2);
  EXPECT_EQ(said, "");
  EXPECT_TRUE(wallAt(4, 3));
}

TEST_F(EditScene, ControlKeysHeldUnderAutoRepeatActOncePerPress) {
  startImageLibrary();  // Ctrl+S writes a PNG
  // The wandering light out of the way, its cell moved with it: the room stays one its map makes,
  // so that Ctrl+S saves a map.
  LightGrid& grid = *scene.grid;
  const GridCell wandering = grid.getCell(grid.lightX, grid.lightY, grid.lightZ);
  grid.setCell(grid.lightX, grid.lightY, grid.lightZ, columnCell(cellFromColour(0, 0, 0), grid.lightY, grid.sizeY));
  grid.lightX = 1, grid.lightZ = 1;
  grid.setCell(grid.lightX, grid.lightY, grid.lightZ, wandering);
  for (const int x : {2, 3}) click(Vec3(x, 2, 1.6f), Vec3(x, 2, 0), 0);  // clears (2,0), (3,0)
  EXPECT_FALSE(wallAt(2, 0));
  EXPECT_FALSE(wallAt(3, 0));
  const auto holdThenRelease = [this](unsigned char control, unsigned char letter) {
    testing::internal::CaptureStdout();
    for (int repeat = 0; repeat < 5; ++repeat) input::keyDown(scene, control);
    input::keyUp(scene, letter);
    return testing::internal::GetCapturedStdout();
  };
  holdThenRelease(26, 'z');
  EXPECT_FALSE(wallAt(2, 0)) << "one undo for one press, however long it is held";
  EXPECT_TRUE(wallAt(3, 0));
  holdThenRelease(26, 'Z');
  EXPECT_TRUE(wallAt(2, 0));
  const std::string saved = holdThenRelease(19, 's');
  EXPECT_EQ(saved, "map saved: maps/room-001.png\n");
  EXPECT_EQ(holdThenRelease(19, 's'), "map saved: maps/room-002.png\n");
}
