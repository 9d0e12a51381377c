// The frame loop: the timer's floor, the update cadence with its capped frame time, the reveal
// of the columns the visibility marks call seen, the key and mouse callbacks on the scene: its
// switches, the edits of cells and columns with undo, the selected material.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <stdlib.h>

#include "app/Controls.h"
#include "app/FrameStats.h"
#include "app/FrameTimer.h"
#include "app/Input.h"
#include "app/Scene.h"
#include "tests/support/MapRooms.h"
#include "tests/support/RecordingBackend.h"
#include "world/VoxRoom.h"

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

// A scene over a 5 x 3 x 4 room of hidden cells and a 4 x 4 map, drawn by a recording backend.
struct SceneTest : ::testing::Test {
  void SetUp() override {
    map.resize(4, 4);
    grid.resize(5, 3, 4);
    for (int i = 0; i < 5 * 3 * 4; ++i) grid.setHidden(i, true);
    grid.lightX = 1, grid.lightY = 1, grid.lightZ = 0;
    EditedCell(grid, 1, 1, 0).setEmitter(0, 0, 0);
    scene.attachBackend(&backend);
  }
  Scene scene;
  RecordingBackend backend;
  ColorMap& map = *scene.occlusionMap;
  LightGrid& grid = *scene.grid;
};

}  // namespace

TEST_F(SceneTest, StepsFiftyTimesASecondAtMostOnceAFrameAndMovesByTheCappedTime) {
  // A first frame, then frames of one length. 51 frames of 0.016 s step 40 times (the time past
  // each step carried). The first 0.02 s frame does not step, every later one does; 0.021 s frames
  // step every frame. A 0.3 s stall moves by 0.1 s and steps once, keeping 0.02 s, then ten
  // 0.017 s frames step nine times: no catch-up.
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
  for (int y = 0; y < 3; ++y) EXPECT_FALSE(grid.getCell(2, y, 1).hidden) << "a step runs the visibility pass and the reveal";
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
  // The state after each key's release (its press changes nothing); "8" lowers to 0 and no further,
  // "0" stops at the ceiling and says so. The strength is set first where `from` is not negative.
  const float top = controls::kStrengthCeiling - 0.01f;
  const struct { unsigned char key; float from; const char* after; } keys[] = {
      {'9', -1, "0.001 0101 0,0,01fade value:0.001\n"}, {'0', -1, "0.051 0101 0,0,01fade value:0.051\n"},
      {'b', -1, "0.051 1101 0,0,01"}, {'m', -1, "0.051 1001 0,0,01"}, {'o', -1, "0.051 1011 0,0,01"},
      {'b', -1, "0.051 0011 0,0,01"}, {'m', -1, "0.051 0111 0,0,01"}, {'o', -1, "0.051 0101 0,0,01"},
      {'i', -1, "0.051 0101 1500,0,01"}, {'j', -1, "0.051 0101 0,1500,01"}, {'n', -1, "0.051 0101 0,0,15001"},
      {'B', -1, "0.051 0101 0,0,15001"}, {200, -1, "0.051 0101 0,0,15001"},
      {'8', 0.07f, "0.02 0101 0,0,15001fade value:0.02\n"}, {'8', -1, "0 0101 0,0,15001fade value:0\n"},
      {'0', -1, "0.05 0101 0,0,15001fade value:0.05\n"}, {'0', top, "1.15 0101 0,0,15001fade value:1.15 (the ceiling)\n"},
      {27, -1, "1.15 0100 0,0,15001"}};
  for (const auto& k : keys) {
    if (k.from >= 0) grid.strength = k.from;
    const std::string before = state("");
    testing::internal::CaptureStdout();
    input::keyDown(scene, k.key);
    EXPECT_EQ(state(testing::internal::GetCapturedStdout()), before) << int(k.key);
    testing::internal::CaptureStdout();
    input::keyUp(scene, k.key);
    EXPECT_EQ(state(testing::internal::GetCapturedStdout()), k.after) << int(k.key);
  }
  // The space bar let go with Control held comes as NUL: the next press jumps again.
  for (const unsigned char release : {0, 32}) {
    scene.camera.jumpCooldown = -0.001;
    scene.camera.velocity = Vec3(0, 0, 0);
    input::keyDown(scene, ' ');
    EXPECT_EQ(scene.camera.velocity, Vec3(0, 6, 0)) << int(release);
    input::keyUp(scene, release);
  }
  // A walking key let go with Shift or Control held (its capital, its control code) stops the walk.
  for (int release : {int{'W'}, 23}) {
    input::keyDown(scene, 'w');
    ASSERT_TRUE(scene.camera.forwardKey);
    input::keyUp(scene, static_cast<unsigned char>(release));
    EXPECT_FALSE(scene.camera.forwardKey) << release;
  }
}

// The timer's first reading (from its counter's origin) is no frame; a status line is due once a second.
TEST_F(SceneTest, TheTimersFirstReadingIsNoFrameAndTheStatusLineIsDueOnceASecond) {
  scene.advanceFrame();
  scene.advanceFrame();
  EXPECT_TRUE(scene.clock < 0.5 && scene.stats.framesPerSecond == 0.0) << scene.clock;
  for (const auto& [clock, due] : {std::pair{0.9, false}, {1.0, true}, {1.7, false}, {2.5, true}, {7.0, true}, {7.2, false}}) {
    scene.clock = clock;
    EXPECT_EQ(scene.statusSecondPassed(), due) << clock;
  }
}

// A window's steps count the part of a step gathered at its end, less that at its start, so a
// steady step rate reads the same wherever the window's edges fall among the steps.
TEST(FrameStats, RatesAreAveragedOverHalfSecondWindowsAndShownInTheStatusLine) {
  FrameStats stats;
  for (int frame = 0; frame < 24; ++frame) stats.addFrame(0.02, frame % 2 == 0);  // 0.48 s
  EXPECT_EQ(stats.framesPerSecond, 0.0) << "no window complete yet";
  stats.addFrame(0.04, true, 0.25);  // 0.52 s, 25 frames, 13 steps and a quarter of the next
  EXPECT_NEAR(stats.framesPerSecond, 25 / 0.52, 1e-9);
  EXPECT_NEAR(stats.msPerFrame, 520.0 / 25, 1e-9);
  EXPECT_NEAR(stats.stepsPerSecond, 13.25 / 0.52, 1e-9);
  stats.addFrame(0.6, false, 0.75);  // the next window starts empty: one frame, half a step more
  EXPECT_NEAR(stats.framesPerSecond, 1 / 0.6, 1e-9);
  EXPECT_NEAR(stats.stepsPerSecond, 0.5 / 0.6, 1e-9);
  const int eye[3] = {12, 2, -3};
  EXPECT_EQ(statusText(stats, 0.25f, false, 1234, eye),
            "1.7 fps  600.0 ms  1 steps/s  strength 0.250  upload slices  cells 1234  eye (12, 2, -3)");
}

namespace {

// A walled 7 x 6 x 7 room, the eye placed by the test, in a fresh folder (Ctrl+S writes maps/).
struct EditScene : ::testing::Test {
  void SetUp() override {
    startImageLibrary();  // Ctrl+S writes a picture
    const MapPixels m = legendMap({"#######", "#.....#", "#.....#", "#.....#", "#.....#", "#.....#", "#######"});
    scene.enterRoom(buildRoom(m.rgb.data(), m.w, m.h, 6, *scene.grid, *scene.occlusionMap));
    scene.attachBackend(&backend);
    char name[] = "/tmp/quillmarsh-edit-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    folder = name;
    previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
  }
  void TearDown() override {
    if (folder.empty()) return;
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
  }
  // Looks from `eye` at `target` and clicks `button` without moving the mouse.
  std::string click(const Vec3& eye, const Vec3& target, int button, bool shift = false) {
    scene.camera.setView(eye, target, Vec3(0, 1, 0));
    testing::internal::CaptureStdout();
    input::mouse(scene, button, true, 100, 100, shift);
    input::mouse(scene, button, false, 101, 100, shift);
    return testing::internal::GetCapturedStdout();
  }
  std::string onScreen() const {  // the latest message, as printed
    const std::vector<std::string> shown = scene.currentMessages();
    return shown.empty() ? "(none)" : shown.back() + "\n";
  }
  std::vector<GridCell> cells() const { return BuiltRoom::cellsOf(*scene.grid); }
  bool wallAt(int x, int z) const { return scene.grid->getCell(x, 2, z).opacity >= 1.0f; }
  Scene scene;
  RecordingBackend backend;
  std::filesystem::path folder, previous;
};

}  // namespace

TEST_F(EditScene, AShiftClickNeverFillsTheEyesOwnColumnOnAnyAxisAndHeldCtrlSSavesOncePerPress) {
  // Looking down at the floor cell (4, 0, 3), the fill goes into column (4, 3). The eye stands in
  // the column of its x and z each rounded (an edge belongs to the cell above), at any height; a
  // fill there is refused and says so, on screen too.
  const struct { Vec3 eye; bool refused; } cases[] = {
      {{3.55f, 2, 3}, true}, {{4, 2, 2.55f}, true}, {{3.5f, 0.6f, 3}, true}, {{4, 4.4f, 2.5f}, true},
      {{3.49f, 2, 3}, false}, {{4.5f, 4.4f, 3}, false}, {{4, 2, 3.5f}, false}};
  for (const auto& c : cases) {
    const std::string said = click(c.eye, Vec3(4, 0, 3), 2, true);
    EXPECT_EQ(wallAt(4, 3), !c.refused) << c.eye.x << " " << c.eye.y << " " << c.eye.z;
    EXPECT_EQ(said, c.refused ? "edit refused: you stand in that column\n" : "");
    EXPECT_EQ(said.empty() ? "" : onScreen(), said) << "on screen too";
    if (!c.refused) scene.undoEdit();
  }
  for (const char* saved : {"maps/room-001.png", "maps/room-002.png"}) {
    testing::internal::CaptureStdout();
    for (int repeat = 0; repeat < 5; ++repeat) input::keyDown(scene, 19);  // auto-repeat
    input::keyUp(scene, 's');
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "map saved: " + std::string(saved) + "\n");
  }
}

namespace {

// The cells whose material changed from `a` to `b`, as "x,y,z:material" (7 x 6 x 7 grid).
std::string changes(const std::vector<GridCell>& a, const std::vector<GridCell>& b) {
  std::string out;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].material == b[i].material && a[i].opacity == b[i].opacity && a[i].emitter == b[i].emitter) continue;
    out += (out.empty() ? "" : " ") + std::to_string(i % 7) + "," + std::to_string(i / 7 % 6) + "," +
           std::to_string(i / 42) + ":" + std::to_string(b[i].material);
  }
  return out;
}

}  // namespace

TEST_F(EditScene, ClicksRemoveAndPlaceCellsAgainstEveryFaceShiftTakesColumnsAndUndoRestoresAll) {
  LightGrid& grid = *scene.grid;
  // Lit cells and the wandering light moved to (2, 3, 5), its old cell wall again; every cell
  // seen; a brick at (3, 2, 3), mid-height in the open room.
  grid.strength = 1.0f;
  for (int i = 0; i < 12; ++i) grid.step();
  const GridCell wandering = grid.getCell(grid.lightX, grid.lightY, grid.lightZ);
  grid.setCell(grid.lightX, grid.lightY, grid.lightZ, grid.palette()[Palette::kWall].cell(Palette::kWall));
  grid.lightX = 2, grid.lightY = 3, grid.lightZ = 5;
  grid.setCell(2, 3, 5, wandering);
  grid.setCell(3, 2, 3, grid.palette()[10].cell(10));
  for (long i = 0; i < grid.cellCount(); ++i) grid.setHidden(i, false);
  const std::vector<GridCell> start = cells();
  const int wall = Palette::kWall, glass = Palette::kGlass, lamp = Palette::kYellowLight;
  const struct { Vec3 eye, at; int button; bool shift; int material; const char *changed, *said; } rows[] = {
      // Against faces of the brick: +x, -x, then +y seen at a slant (every face: CellPick).
      {{5, 2, 3}, {3, 2, 3}, 2, false, wall, "4,2,3:1", ""},
      {{1, 2, 3}, {3, 2, 3}, 2, false, glass, "2,2,3:2", ""},
      {{4.3f, 4.4f, 3}, {3.2f, 2.5f, 3}, 2, false, wall, "3,3,3:1", ""},
      // Removal: the glass, then a floor cell.
      {{1, 2, 3}, {3, 2, 3}, 0, false, wall, "2,2,3:0", ""},
      {{1, 2, 1}, {1, 0, 1.6f}, 0, false, wall, "1,0,1:0", ""},
      // Shift: a wall column cleared to open floor; glass filling the column before a wall; a
      // lamp column fill refused in the eye's column, then made where it is not.
      {{2, 2, 4}, {0, 2, 4}, 0, true, wall, "0,1,4:0 0,2,4:0 0,3,4:0 0,4,4:0", ""},
      {{2, 2, 4}, {-1, 2, 4}, 2, true, wall, "", ""},  // through the opening: no cell to fill
      {{4, 2, 1}, {6, 2, 1}, 2, true, glass, "5,1,1:2 5,2,1:2 5,3,1:2 5,4,1:2", ""},
      {{4, 2, 1}, {5, 2, 1}, 2, true, lamp, "", "edit refused: you stand in that column\n"},
      {{3, 2, 1}, {5, 2, 1}, 2, true, lamp, "4,5,1:4", ""},
      // Glass through the brick's column, from its top: the brick goes too (and comes back with
      // the undo).
      {{4.3f, 4.4f, 3}, {3.2f, 3.5f, 3}, 2, true, glass, "3,1,3:2 3,2,3:2 3,3,3:2 3,4,3:2", ""},
      // No material where the eye is, nor anywhere the body's box reaches (here the legs).
      {{1, 2, 5}, {0, 2, 5}, 2, false, wall, "", "edit refused: you stand there\n"},
      {{1.3f, 2, 1}, {2, 0, 1}, 2, false, wall, "", "edit refused: you stand there\n"},
      // The wandering light's cell takes no cell; its column no wall, but glass around it.
      {{2, 3, 2}, {2, 3, 6}, 2, false, glass, "", "edit refused: the wandering light is in the way\n"},
      {{2, 3, 2}, {2, 3, 6}, 2, true, wall, "", "edit refused: the wandering light is in the way\n"},
      {{2, 3, 2}, {2, 3, 6}, 2, true, glass, "2,1,5:2 2,2,5:2 2,3,5:2 2,4,5:2", ""},
  };
  std::vector<std::vector<GridCell>> states{start};
  for (const auto& row : rows) {
    scene.selectedMaterial = row.material;
    const std::string said = click(row.eye, row.at, row.button, row.shift);
    EXPECT_EQ(said, row.said) << row.changed;
    EXPECT_EQ(said.empty() ? "" : onScreen(), said) << "on screen too";
    EXPECT_EQ(changes(states.back(), cells()), row.changed);
    if (*row.changed != '\0') states.push_back(cells());
  }
  const GridCell light = grid.getCell(2, 3, 5);
  EXPECT_TRUE(light.emitter && light.opacity == 0.5f && light.emission[0] == wandering.emission[0]);
  // Ctrl+Z (held under auto-repeat, released as z or Z) takes back one edit a press, cells and
  // columns alike, each to the identical grid.
  for (size_t k = states.size() - 1; k-- > 0;) {
    for (int repeat = 0; repeat < 3; ++repeat) input::keyDown(scene, 26);
    input::keyUp(scene, k % 2 ? 'z' : 'Z');
    const std::vector<GridCell> now = cells();
    for (size_t i = 0; i < now.size(); ++i) ASSERT_TRUE(sameCell(now[i], states[k][i])) << k << " cell " << i;
  }
  testing::internal::CaptureStdout();
  input::keyDown(scene, 26), input::keyUp(scene, 'z');
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "undo refused: nothing to undo\n");
}

TEST_F(EditScene, KeysWheelAndMiddleClickSelectAMaterialThatTheScreenShowsAndNames) {
  const Palette& palette = scene.grid->palette();
  const int last = palette.size() - 1;
  scene.flags.statusVisible = true;
  EXPECT_EQ(scene.screenState().swatchName, "") << "no name before a choice";
  scene.grid->setCell(3, 2, 1, palette[10].cell(10));
  EditedCell(*scene.grid, 3, 2, 5).setSolid();  // plain wall of index 0, air: picks nothing
  // Keys act on release (8 and 9 set the light's strength); the wheel on its press, 3 up and 4
  // down; a middle click looking along -z, +z or down.
  const Vec3 looks[] = {{3, 2, 0}, {3, 2, 6}, {3, 0, 3}};
  const struct { char input; int arg, selected; } steps[] = {
      {'k', '6', 6}, {'k', '1', 1}, {'w', 3, last}, {'w', 4, 1}, {'k', ']', 2}, {'k', '[', 1}, {'k', '[', last},
      {'k', ']', 1}, {'k', '7', 7}, {'k', '8', 7}, {'m', 0, 10}, {'m', 1, 10}, {'m', 2, Palette::kWall}};
  for (const auto& step : steps) {
    testing::internal::CaptureStdout();
    if (step.input == 'k') input::keyUp(scene, static_cast<unsigned char>(step.arg));
    if (step.input == 'w') input::mouse(scene, step.arg, true, 0, 0), input::mouse(scene, step.arg, false, 0, 0);
    testing::internal::GetCapturedStdout();
    if (step.input == 'm') click(Vec3(3, 2, 3), looks[step.arg], 1);
    ASSERT_EQ(scene.selectedMaterial, step.selected) << step.input << step.arg;
    const Material& m = palette[step.selected];
    const ScreenState screen = scene.screenState();
    EXPECT_TRUE(std::equal(m.colour, m.colour + 3, screen.swatch)) << m.name;
    EXPECT_EQ(screen.swatchName, m.name);
    EXPECT_EQ(screen.status.substr(screen.status.size() - m.name.size() - 7), "  fill " + m.name);
  }
  scene.clock += Scene::kMessageSeconds;
  EXPECT_EQ(scene.screenState().swatchName, "") << "the name goes after as long as a message";
  // A room of air and one wall has a short palette: the material in hand becomes one it has.
  LightGrid box;
  Palette two;
  two.add(Palette::standard()[Palette::kWall]);
  box.setPalette(two);
  box.resize(5, 4, 5);
  for (int z = 0; z < 5; ++z)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x)
        if (x % 4 == 0 || y % 3 == 0 || z % 4 == 0) box.setCell(x, y, z, two[1].cell(1));
  StartView inside;
  inside.found = true;
  inside.eye = Vec3(2, 1.5f, 2);
  inside.target = Vec3(2, 1.5f, 0);
  const std::vector<unsigned char> room = roomToVox(box, inside);
  scene.selectMaterial(last);
  std::string error;
  testing::internal::CaptureStdout();
  // A scene is named so in the line that refuses it (here: one layer more than the volume holds).
  backend.largest[1] = 3;
  EXPECT_FALSE(scene.loadRoom("two.vox", room.data(), room.size(), 6, error));
  EXPECT_EQ(error, "quillmarsh: cannot use scene \"two.vox\": its room of 5 x 4 x 5 cells is larger than "
                   "the light volume this GL draws (1048576 x 3 x 1048576 cells at most)");
  backend.largest[1] = 4;
  ASSERT_TRUE(scene.loadRoom("two.vox", room.data(), room.size(), 6, error)) << error;
  testing::internal::GetCapturedStdout();
  const Palette& small = scene.grid->palette();
  ASSERT_LT(small.size(), last);
  EXPECT_TRUE(scene.selectedMaterial > 0 && scene.selectedMaterial < small.size() &&
              small[scene.selectedMaterial].kind != Material::Kind::Air)
      << scene.selectedMaterial;
}
