// The top-down visibility pass: the ray fan within range, walls that stop it, the heading (kept
// without a horizontal view), a camera off the map, the reveal, plan and overlay it drives; and the
// base raster read from the grid's columns after any cell edit. Grid units, y up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/Scene.h"
#include "tests/support/MapRooms.h"
#include "render/FramePlan.h"
#include "tests/support/EditedCell.h"
#include "tests/support/RecordingBackend.h"
#include "tests/unit/TestImages.h"
#include "world/CellFromColour.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

namespace {

// A w x h map of open floor; look() runs a pass and returns the marks.
struct VisibilityMap : ::testing::Test {
  void open(int w, int h) {
    map.resize(w, h);
    for (int i = 0; i < w * h; ++i) map.setBase(i % w, i / w, ColorMap::kOpen);
  }
  std::vector<ColorMap::Pixel> look(Vec3 eye, Vec3 target) {
    map.updateVisibility(200, eye, target);
    return std::vector<ColorMap::Pixel>(map.marks.get(), map.marks.get() + map.width * map.height);
  }
  ColorMap map;
};

}  // namespace

TEST_F(VisibilityMap, RaysFanOutAheadWithinRangeAndStopAtTheFirstWall) {
  open(120, 120);
  const auto marks = look(Vec3(50.5f, 2.0f, 60.5f), Vec3(51.5f, 2.0f, 60.5f));  // along +x
  EXPECT_EQ(std::count(marks.begin(), marks.end(), ColorMap::kSeenWall), 9);  // the 3 x 3 round the eye
  for (int i = 0; i < 120 * 120; ++i) {  // the camera and ahead marks are overwritten too
    const double x = i % 120 + 0.5 - 50.5, z = i / 120 + 0.5 - 60.5;
    const bool inFan = std::hypot(x, z) < ColorMap::kRayRange + 1.5 && x > -2.0;
    EXPECT_TRUE(inFan ? marks[i] == ColorMap::kSeenWall || marks[i] == ColorMap::kSeenOpen || marks[i] == ColorMap::kOpen
                      : marks[i] == ColorMap::kOpen) << i;
  }
  open(40, 30);
  for (int y = 0; y < 30; ++y) map.setBase(20, y, ColorMap::kWall);
  for (float x : {10.5f, 17.5f}) {  // from 17.5 the wall is where the ahead mark goes
    look(Vec3(x, 2, 15.5f), Vec3(x + 1, 2, 15.5f));
    EXPECT_EQ(map.markPixel(20, 15), ColorMap::kSeenWall);
    EXPECT_EQ(map.markPixel(19, 15), ColorMap::kSeenOpen);
    for (int i = 0; i < 40 * 30; ++i) EXPECT_TRUE(i % 40 <= 20 || map.marks[i] == ColorMap::kOpen) << x << " " << i;
  }
}

// A camera beside the map: ColumnVisibility's views, under the sanitizer run too.
TEST_F(VisibilityMap, HeadingFollowsTheHorizontalViewAndIsKeptWithoutOne) {
  open(30, 30);
  const Vec3 eye(15.5f, 2.0f, 10.5f);
  const Vec3 targets[] = {Vec3(16.5f, 2, 10.5f), Vec3(14.5f, 2, 10.5f), Vec3(15.5f, 2, 9.5f),
                          Vec3(16.5f, -10, 10.5f), Vec3(15.5f, 2, 11.5f)};
  const double headings[] = {0.0, M_PI, 1.5 * M_PI, 0.0, 0.5 * M_PI};
  std::vector<ColorMap::Pixel> alongZ;
  for (int i = 0; i < 5; ++i) {
    alongZ = look(eye, targets[i]);
    EXPECT_NEAR(map.heading, headings[i], 1e-6) << i;
  }
  // Straight down, straight up, at the eye: the last heading and its marks stay.
  for (const Vec3& target : {Vec3(15.5f, -5, 10.5f), Vec3(15.5f, 9, 10.5f), eye}) EXPECT_EQ(look(eye, target), alongZ);
  EXPECT_NEAR(map.heading, 0.5 * M_PI, 1e-12);
}

namespace {

// The raster's rule, stated over the cells: a column stops rays when every cell between floor
// and ceiling is opaque, and a grid without such cells stops none.
ColorMap::Pixel expectedBase(const LightGrid& g, int x, int z) {
  int opaque = 0;
  for (int y = 0; y < g.sizeY; ++y) opaque += g.getCell(x, y, z).isOpaque();
  return g.sizeY >= 3 && opaque == g.sizeY ? ColorMap::kWall : ColorMap::kOpen;
}

// The first column (as "x,z") whose base pixel is not what the rule gives, or "".
std::string baseMismatch(const LightGrid& g, const ColorMap& map) {
  for (int z = 0; z < g.sizeZ; ++z)
    for (int x = 0; x < g.sizeX; ++x)
      if (map.basePixel(x, z) != expectedBase(g, x, z)) return std::to_string(x) + "," + std::to_string(z);
  return "";
}

}  // namespace

// A room wider and deeper than the rays reach, walked from places in it and beside it, looking at
// the moving wandering light and away, with edits near and far. Each pass casts only within its
// reach, yet marks as a pass over a fresh copy of the base; the reveal shows exactly the seen
// columns and the light's cells; the plan over the pass's box is the plan over the whole grid; and
// the overlay, sent by its changed rows, is the marks.
TEST(ColumnVisibility, PassRevealPlanAndOverlayWorkOnTheViewAndMatchTheWholeRoom) {
  const int w = 110, h = 96, layers = 5;
  std::vector<unsigned char> rgb;
  for (int z = 0; z < h; ++z)
    for (int x = 0; x < w; ++x) {
      const ColumnKind kind = x == 0 || z == 0 || z == h - 1 || (x % 9 == 4 && z % 9 == 4) ? ColumnKind::Wall
                              : x == 30 && z % 4 != 0                                    ? ColumnKind::Glass
                              : x % 13 == 9 && z % 11 == 6 ? ColumnKind::WhiteLight : ColumnKind::Air;
      const mapcolour::Rgb c = columnColour(kind);
      for (int v : {c.r, c.g, c.b}) rgb.push_back(static_cast<unsigned char>(v));
    }
  Scene scene;
  RecordingBackend backend;
  LightGrid& grid = *scene.grid;
  ColorMap& map = *scene.occlusionMap;
  testing::internal::CaptureStdout();
  buildRoom(rgb.data(), w, h, layers, grid, map);
  testing::internal::GetCapturedStdout();
  scene.attachBackend(&backend);
  scene.flags.overlayVisible = true;
  std::srand(3);
  // Eye (x, z) and target (x, z): at the light (6, 3) and away from it, then about the room.
  const float views[][4] = {{12, 9, 6, 3},     {12, 9, 24, 20}, {60, 50, 60, 20},
                            {100, 70, 120, 72}, {-6, 40, 10, 44}, {50, 90, 20, 60}};
  const auto listed = [](const std::vector<OpaqueBlock>& opaque, const std::vector<GridPos>& emitters,
                         const std::vector<GlassCell>& glass) {
    std::ostringstream out;
    for (const OpaqueBlock& b : opaque) out << b.x << "," << b.y << "," << b.z << ":" << b.faces << " ";
    for (const GridPos& p : emitters) out << "e" << p.x << "," << p.y << "," << p.z << ":" << p.faces << " ";
    for (const GlassCell& c : glass)
      out << "g" << c.x << "," << c.y << "," << c.z << ":" << c.distance << c.faces << c.reach << " ";
    return out.str();
  };
  Frustum everywhere;
  for (auto& plane : everywhere.planes) plane[3] = 1.0f;
  int keptUnseen = 0, smallWalks = 0, partialOverlays = 0;
  for (int s = 0; s < 120; ++s) {
    const float* v = views[s < 60 ? s % 2 : s / 3 % 6];
    testing::internal::CaptureStdout();
    scene.camera.setView(Vec3(v[0], 2.0f, v[1]), Vec3(v[2], 2.0f, v[3]), Vec3(0, 1, 0));
    if (s % 7 == 3) scene.editAtPick(s % 2 == 0, true);
    if (s % 5 == 1)
      scene.editor.fill(grid, map, 100 - s % 30, 85 - s % 17, static_cast<ColumnKind>(s % 3),
                        static_cast<int>(v[0]), static_cast<int>(v[1]));
    scene.stepSimulation();

    ColorMap fresh;
    fresh.resize(w, h);
    testing::internal::GetCapturedStdout();
    for (int i = 0; i < w * h; ++i) fresh.setBase(i % w, i / w, map.base[i]);
    fresh.updateVisibility(Scene::kVisibilityRays, scene.camera.eye, scene.camera.target);
    ASSERT_TRUE(std::equal(map.marks.get(), map.marks.get() + w * h, fresh.marks.get())) << s;

    for (int z = 0; z < h; ++z)
      for (int x = 0; x < w; ++x) {
        const ColorMap::Pixel mark = map.markPixel(x, z);
        const bool seen = mark == ColorMap::kSeenWall || mark == ColorMap::kSeenOpen;
        int shown = 0;
        for (int y = 0; y < layers; ++y) shown += !grid.hiddenAt(grid.index(x, y, z));
        const bool byLight = std::abs(x - grid.lightX) <= 1 && std::abs(z - grid.lightZ) <= 1;
        ASSERT_TRUE(seen ? shown == layers : shown == 0 || byLight) << s << ": " << x << "," << z;
        keptUnseen += !seen && shown > 0;
      }

    const FrameInputs inputs = scene.frameInputs();
    const ColumnBox& walk = inputs.columns;
    smallWalks += (walk.x1 - walk.x0) * (walk.z1 - walk.z0) < w * h / 2;
    std::vector<OpaqueBlock> opaque[2];
    std::vector<GridPos> emitters[2];
    std::vector<GlassCell> glass[2];
    FramePlan::build(grid, everywhere, inputs.eye, opaque[0], emitters[0], glass[0], walk);
    FramePlan::build(grid, everywhere, inputs.eye, opaque[1], emitters[1], glass[1]);
    ASSERT_TRUE(listed(opaque[0], emitters[0], glass[0]) == listed(opaque[1], emitters[1], glass[1])) << s;

    scene.drawFrame();
    for (int i = 0; i < w * h; ++i) {
      const unsigned char* p = &backend.overlayRgb[3 * i];
      ASSERT_EQ(ColorMap::Pixel({p[0], p[1], p[2]}), map.marks[i]) << s << ": " << i;
    }
    const int* changed = backend.overlay.changed;
    partialOverlays += (changed[2] - changed[0]) * (changed[3] - changed[1]) < w * h / 2;
  }
  EXPECT_GT(keptUnseen, 0) << "the light moved out of sight with its cells kept shown";
  EXPECT_GT(smallWalks, 90);
  EXPECT_GT(partialOverlays, 90);
}

// Random single cells written anywhere in a walled 30 x 6 x 30 room (floor and ceiling included),
// each followed by refreshColumn, keep every base pixel what the rule gives: a window, an arch, a
// pane, a lamp or a floor or ceiling cell dug out opens a wall's column; a grid of fewer than
// three layers has none that stops rays.
TEST(ColumnVisibility, BaseRasterFollowsEverySingleCellEditAndStaysWithinGridAndRaster) {
  const int side = 30, layers = 6;
  LightGrid grid;
  ColorMap map;
  grid.resize(side, layers, side);
  fillCells(grid, 0, side - 1, 0, layers - 1, 0, side - 1);
  fillCells(grid, 1, side - 2, 1, layers - 2, 1, side - 2, 0.0f);
  testing::internal::CaptureStdout();  // the raster's start-up line
  map.resize(side, side);
  testing::internal::GetCapturedStdout();
  map.refreshAll(grid);
  ASSERT_EQ(baseMismatch(grid, map), "");
  EXPECT_TRUE(map.basePixel(0, 7) == ColorMap::kWall && map.basePixel(7, 7) == ColorMap::kOpen);

  std::mt19937 rng(11);
  int walls = 0, changes = 0;
  // In a corner of 8 x 8 columns, the outer walls' included, so that columns fill up and open.
  for (int i = 0; i < 2000; ++i) {
    const int x = static_cast<int>(rng() % 8), z = static_cast<int>(rng() % 8), y = static_cast<int>(rng() % layers);
    const ColorMap::Pixel was = map.basePixel(x, z);
    {
      EditedCell cell(grid, x, y, z);
      const unsigned kind = rng() % 12;
      if (kind == 0) cell.clear();
      else if (kind < 4) cell.setTranslucent(kind == 1 ? 0.5f : kind == 2 ? 0.89f : 0.9f);
      else if (kind == 4) cell.setEmitter(1, 1, 1);
      else cell.setSolid();
    }
    map.refreshColumn(grid, x, z);
    changes += map.basePixel(x, z) != was;
    ASSERT_EQ(baseMismatch(grid, map), "") << "after edit " << i;
    walls += map.basePixel(x, z) == ColorMap::kWall && x > 0 && z > 0;
  }
  EXPECT_TRUE(changes > 50 && walls > 50) << changes << " " << walls;

  // Off the grid and off the raster nothing is written; a larger raster keeps the pixels beyond the grid.
  const std::vector<ColorMap::Pixel> before(map.base.get(), map.base.get() + side * side);
  for (const auto& c : {std::make_pair(-1, 3), std::make_pair(side, 3), std::make_pair(3, -1), std::make_pair(3, side)})
    map.refreshColumn(grid, c.first, c.second);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), map.base.get()));
  // A pass from the raster's very edge marks nothing off it (x = -1 is the pixel before a row).
  for (const float z : {0.0f, 7.0f}) {
    map.updateVisibility(32, Vec3(0.0f, 2.0f, z), Vec3(1.0f, 2.0f, z + 0.5f));
    EXPECT_TRUE(map.marked().x0 >= 0 && map.marked().z0 >= 0 && map.marked().x1 <= side && map.marked().z1 <= side) << z;
  }
  for (int flatLayers : {1, 2}) {  // no column between floor and ceiling
    LightGrid flat;
    flat.resize(4, flatLayers, 3);
    fillCells(flat, 0, 3, 0, flatLayers - 1, 0, 2);
    map.setBase(4, 2, ColorMap::kCamera);
    map.refreshAll(flat);
    EXPECT_TRUE(map.basePixel(3, 2) == ColorMap::kOpen && map.basePixel(4, 2) == ColorMap::kCamera) << flatLayers;
  }
}

// Turned down to the floor from high in a tall room, or up to the ceiling from low, a view sees
// columns on every side of the eye, beyond the fans either side of its heading: every floor or
// ceiling cell whose centre shows in the window, within the rays' range, is revealed by a step,
// as is every one a level view shows in a window over twice as wide as high. A level view in the
// program's window sees no corner beyond the fans and marks nothing more.
TEST(ColumnVisibility, AViewTurnedDownOrUpRevealsEveryFloorOrCeilingCellItShows) {
  const int w = 90, h = 90;
  std::vector<unsigned char> rgb;
  for (int i = 0; i < w * h; ++i) {
    const mapcolour::Rgb c = columnColour(ColumnKind::Air);
    for (int v : {c.r, c.g, c.b}) rgb.push_back(static_cast<unsigned char>(v));
  }
  Scene scene;
  RecordingBackend backend;
  LightGrid& grid = *scene.grid;
  const auto build = [&](int layers) {
    testing::internal::CaptureStdout();
    buildRoom(rgb.data(), w, h, layers, grid, *scene.occlusionMap);
    testing::internal::GetCapturedStdout();
    scene.attachBackend(&backend);
  };
  const auto look = [&](float y, float yaw, float pitch) {
    const Vec3 eye(45.0f, y, 45.0f);
    // Straight down or up the view has no heading of its own: it keeps the one it had.
    const Vec3 along = std::fabs(pitch) > 1.57f ? Vec3(0.0f, pitch > 0.0f ? 1.0f : -1.0f, 0.0f)
                       : Vec3(std::cos(yaw) * std::cos(pitch), std::sin(pitch), std::sin(yaw) * std::cos(pitch));
    scene.camera.setView(eye, eye + along, Vec3(0.0f, 1.0f, 0.0f));
    scene.camera.ViewCamera::update(0.0f);
  };
  build(24);
  look(1.6f, 0.3f, 0.0f);
  EXPECT_EQ(scene.visibleAround(), 0.0);
  long checked = 0;
  const struct { int width, height, layers; std::vector<float> pitches; } windows[] = {
      {1024, 800, 24, {-0.6f, -1.1f, -1.5f, -1.58f, 0.7f, 1.2f, 1.58f}},
      // Over twice as wide as high in a low room: level, the horizon leaves the window's sides
      // beyond the fans, where its corners meet floor and ceiling close by.
      {2048, 800, 6, {-0.15f, 0.0f, 0.15f}},
      // Just under that, pitched: a side edge leaves the fans between its corner and the horizon.
      {1990, 1000, 12, {-0.3f, 0.3f}}};
  for (const auto& window : windows) {
    build(window.layers);
    scene.resize(window.width, window.height);
    const int layers = window.layers;
    for (const float pitch : window.pitches)
    for (const float yaw : {0.0f, 2.0f, 4.4f}) {
      const bool down = pitch < 0.0f;
      look(down ? layers - 4.0f : 2.0f, yaw, pitch);
      EXPECT_GT(scene.visibleAround(), 0.0) << pitch;
      testing::internal::CaptureStdout();
      scene.stepSimulation();
      testing::internal::GetCapturedStdout();
      const FrameInputs in = scene.frameInputs();
      const int y = down ? 0 : layers - 1;
      for (int z = 0; z < h; ++z)
        for (int x = 0; x < w; ++x) {
          const float p[4] = {static_cast<float>(x), down ? 0.5f : layers - 1.5f, static_cast<float>(z), 1.0f};
          float eyeSpace[4] = {}, clip[4] = {};
          for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) eyeSpace[i] += in.view[4 * j + i] * p[j];
          for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) clip[i] += in.projection[4 * j + i] * eyeSpace[j];
          const bool shown = clip[3] > 0.0f && std::fabs(clip[0]) < 0.98f * clip[3] &&
                             std::fabs(clip[1]) < 0.98f * clip[3] &&
                             std::hypot(x - 45.0f, z - 45.0f) < ColorMap::kRayRange - 2.0;
          if (!shown) continue;
          ++checked;
          ASSERT_FALSE(grid.hiddenAt(grid.index(x, y, z))) << window.width << " wide, pitch " << pitch
                                                           << " yaw " << yaw << ": cell " << x << "," << y << "," << z;
        }
    }
  }
  EXPECT_GT(checked, 10000);
}
