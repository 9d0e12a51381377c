// The walking body: it never enters a solid cell or leaves the grid, stands on any top face with
// the eye kEyeHeight above it, climbs one-cell steps, ducks, and no body movement turns the view.
// Grid units and seconds; cell (x, y, z) is the unit cube centred on (x, y, z).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "app/FlyCamera.h"
#include "tests/support/MapRooms.h"

namespace {

// True when the least body (kBodyRadius round the eye, kMinLegs below, kHeadMargin above) overlaps
// no solid cell and does not leave the grid by more than `slack`. Its rooms have no lamps.
bool clearOfSolids(const LightGrid& g, const FlyCamera& c, float slack = 2e-3f) {
  const Vec3 lo(c.eye.x - FlyCamera::kBodyRadius, c.eye.y - FlyCamera::kMinLegs, c.eye.z - FlyCamera::kBodyRadius);
  const Vec3 hi(c.eye.x + FlyCamera::kBodyRadius, c.eye.y + FlyCamera::kHeadMargin, c.eye.z + FlyCamera::kBodyRadius);
  const auto first = [&](float v) { return static_cast<int>(std::floor(v + slack + 0.5f)); };
  const auto last = [&](float v) { return static_cast<int>(std::ceil(v - slack - 0.5f)); };
  for (int y = first(lo.y); y <= last(hi.y); ++y)
    for (int z = first(lo.z); z <= last(hi.z); ++z)
      for (int x = first(lo.x); x <= last(hi.x); ++x)
        if (!g.inside(x, y, z) || g.getCell(x, y, z).opacity > FlyCamera::kSolidThreshold) return false;
  return true;
}

// A room with a solid floor and ceiling, walled by the grid's edge, the wandering light outside.
struct Room : ::testing::Test {
  void build(int w, int h, int d) {
    grid.resize(w, h, d);
    grid.lightX = grid.lightY = grid.lightZ = -10;
    fill(0, w - 1, 0, 0, 0, d - 1);
    fill(0, w - 1, h - 1, h - 1, 0, d - 1);
    body.reset();
    body.grid = &grid;
  }
  void fill(int x0, int x1, int y0, int y1, int z0, int z1, float opacity = 1.0f) { fillCells(grid, x0, x1, y0, y1, z0, z1, opacity); }
  void place(const Vec3& eye, const Vec3& look) {
    body.setView(eye, eye + look, Vec3(0, 1, 0));
    view = normalize(look);
  }
  // Frames of dt for `seconds`, each leaving the body clear of solids and the view as placed.
  void run(double seconds, double dt) {
    for (double t = 0.0; t < seconds - 1e-9; t += dt) {
      body.update(dt);
      ASSERT_TRUE(clearOfSolids(grid, body)) << "eye " << body.eye.x << " " << body.eye.y << " " << body.eye.z;
      ASSERT_LT((normalize(body.target - body.eye) - view).length(), 1e-4f) << "the view turned";
    }
  }
  LightGrid grid;
  FlyCamera body;
  Vec3 view;
};

const double kFrameTimes[] = {1.0 / 60, 0.1};

}  // namespace

// Held "e" rises at 4 units a second and stops with the head under the ceiling; "q" sinks with
// gravity added; released, the body rests kEyeHeight over the floor's top face (a lamp too), or as
// high as the room allows, gathering no downward speed. Nothing but "r" (levelling) turns the view.
TEST_F(Room, RisingStopsUnderTheCeilingAndNoBodyMovementTiltsTheView) {
  for (const int h : {3, 4, 5, 6, 9})
    for (const double dt : kFrameTimes) {
      SCOPED_TRACE("height " + std::to_string(h) + ", dt " + std::to_string(dt));
      build(8, h, 8);
      EditedCell(grid, 4, 0, 4).setEmitter(0, 300, 0);  // a start marker's floor
      const float ceilingBottom = h - 1.5f;
      const float rest = std::min(0.5f + FlyCamera::kEyeHeight, ceilingBottom - FlyCamera::kHeadMargin);
      place(Vec3(4, std::min(2.0f, h - 2.0f), 4), Vec3(0.3f, -0.4f, -1));
      run(1.0, dt);
      EXPECT_EQ(body.eye.y, rest);
      body.setKey('e', true);
      run(0.2, dt);
      EXPECT_TRUE(h <= 4 || std::fabs(body.eye.y - rest - 0.8f) < 1e-3f) << body.eye.y;
      run(10.0, dt);
      EXPECT_EQ(body.eye.y, ceilingBottom - FlyCamera::kHeadMargin);
      body.setKey('e', false);
      body.setKey('q', true);
      body.update(dt);
      EXPECT_TRUE(h <= 3 || body.eye.y < ceilingBottom - FlyCamera::kHeadMargin - 4 * dt) << "q sinks";
      run(2.0, dt);  // q held on the floor goes no lower
      body.setKey('q', false);
      EXPECT_TRUE(body.eye.y == rest && body.velocity.y == 0.0f);
      body.jump(6.0);
      run(2.0, dt);
      EXPECT_EQ(body.eye.y, rest) << "a jump comes back down";
      body.levelView();
      view = normalize(body.target - body.eye);
      EXPECT_NEAR(view.y, 0.0f, 1e-6f);
    }
}

// A gallery one cell thick carries the body; walked off its edge, the body falls to the floor. A
// fast fall, or one long move down, lands on the first top face under it at any frame time.
TEST_F(Room, WalkingOffAGalleryFallsToTheFloorBelowAndAFastFallLandsOnTheFirstTopFace) {
  for (const double dt : kFrameTimes) {
    SCOPED_TRACE("dt " + std::to_string(dt));
    build(16, 8, 6);
    fill(0, 6, 3, 3, 0, 5);  // the gallery, top face y = 3.5
    place(Vec3(3, 4.5f, 3), Vec3(1, -0.2f, 0));
    run(0.5, dt);
    EXPECT_EQ(body.eye.y, 3.5f + FlyCamera::kEyeHeight);
    body.setKey('w', true);
    for (int i = 0; body.eye.x < 6.5f + FlyCamera::kBodyRadius && i < 1000; ++i) {
      run(dt, dt);
      EXPECT_TRUE(body.eye.x >= 6.5f + FlyCamera::kBodyRadius || body.eye.y == 4.5f)
          << "on the gallery while any of the body is over it, x " << body.eye.x;
    }
    run(0.3, dt);
    body.setKey('w', false);
    run(2.0, dt);
    EXPECT_GT(body.eye.x, 6.5f + FlyCamera::kBodyRadius);
    EXPECT_EQ(body.eye.y, 0.5f + FlyCamera::kEyeHeight);

    // Falling at 80 units a second from under the ceiling onto a floor one cell thick at layer 2.
    build(16, 12, 6);
    fill(0, 15, 2, 2, 0, 5);
    place(Vec3(8, 10, 3), Vec3(0, 0, 1));
    body.velocity = Vec3(0, -80, 0);
    run(0.3, dt);
    EXPECT_TRUE(body.eye.y == 2.5f + FlyCamera::kEyeHeight && body.velocity.y == 0.0f);
    place(Vec3(8, 10, 3), Vec3(0, 0, 1));
    body.moveBy(Vec3(0, -20, 0));  // one move across seven layers
    EXPECT_EQ(body.eye.y, 2.5f + FlyCamera::kEyeHeight);
  }
}

// A one-cell step is climbed; under a lintel the body ducks (eye a head margin under it) and
// stands again; through a window (a sill under a lintel) it climbs bent. A two-cell wall or a pane
// stops it short of the face, and one long move ends with its side on the face. The wandering
// light's cell stops nothing; none of it turns the view.
TEST_F(Room, ClimbsAOneCellStepDucksUnderALintelAndStopsAtAWallOrAPane) {
  const float e = FlyCamera::kEyeHeight, m = FlyCamera::kHeadMargin;
  const struct {
    const char* name;
    int x0, x1, y0, y1, y2, y3;  // cells x0..x1 of layers y0..y1 and y2..y3 filled across z
    float opacity, passes, lowest, highest, endY;  // `passes`: the x reached, 0 when stopped
  } cases[] = {{"step", 8, 15, 1, 1, 0, -1, 1.0f, 9.0f, 1.5f, 1.5f + e, 1.5f + e},
               {"lintel", 8, 9, 2, 4, 0, -1, 1.0f, 10.0f, 1.5f - m, 1.5f, 1.5f},
               {"window", 8, 8, 1, 1, 3, 4, 1.0f, 9.0f, 1.5f, 2.5f - m, 1.5f},
               {"two-cell wall", 8, 15, 1, 2, 0, -1, 1.0f, 0.0f, 1.5f, 1.5f, 1.5f},
               {"pane", 8, 8, 1, 4, 0, -1, 0.5f, 0.0f, 1.5f, 1.5f, 1.5f}};
  for (const auto& c : cases)
    for (const double dt : kFrameTimes) {
      SCOPED_TRACE(std::string(c.name) + ", dt " + std::to_string(dt));
      build(16, 6, 5);
      fill(c.x0, c.x1, c.y0, c.y1, 0, 4, c.opacity);
      fill(c.x0, c.x1, c.y2, c.y3, 0, 4, c.opacity);
      grid.lightX = 5, grid.lightY = 1, grid.lightZ = 2;
      EditedCell(grid, 5, 1, 2).setEmitter(1500, 0, 0);
      place(Vec3(2, 1.5f, 2), Vec3(1, -0.1f, 0));  // forward presses down on the floor
      body.setKey('w', true);
      float lowest = body.eye.y, highest = body.eye.y, farthest = body.eye.x;
      for (double t = 0.0; t < 4.0; t += dt) {
        run(dt, dt);
        EXPECT_TRUE(body.eye.x >= 7.0f || body.eye.y == 1.5f) << "the wandering light is no step";
        lowest = std::min(lowest, body.eye.y);
        highest = std::max(highest, body.eye.y);
        farthest = std::max(farthest, body.eye.x);
      }
      body.setKey('w', false);
      run(1.0, dt);
      EXPECT_TRUE(lowest == c.lowest && highest == c.highest && body.eye.y == c.endY)
          << lowest << " " << highest << " " << body.eye.y;
      if (c.passes > 0.0f) {
        EXPECT_GT(body.eye.x, c.passes);
        continue;
      }
      EXPECT_TRUE(farthest > 6.75f && farthest <= 7.5f - FlyCamera::kBodyRadius && body.eye.x < farthest) << farthest;
      place(Vec3(2, 1.5f, 2), Vec3(1, 0, 0));
      body.moveBy(Vec3(20, 0, 0));
      EXPECT_EQ(body.eye.x, 7.5f - FlyCamera::kBodyRadius);
    }
}

// The room edited round the body: a column overlapping its side moves it out onto the new face
// (any move, even of nothing, first fits the body); a cell over the head bends the legs; a raised
// floor round the feet lifts it on top. The view keeps its direction.
TEST_F(Room, CellsFilledIntoTheBodyMoveItOutTheShortestWay) {
  build(12, 6, 5);
  place(Vec3(5.3f, 1.5f, 2), Vec3(1, -0.3f, 0.2f));
  fill(6, 6, 1, 4, 0, 4);
  body.moveBy(Vec3(0, 0, 0));
  EXPECT_EQ(body.eye.x, 5.5f - FlyCamera::kBodyRadius);
  fill(2, 5, 2, 2, 0, 4);  // a low ceiling over the body, bottom face y = 1.5
  run(0.1, 0.02);
  EXPECT_EQ(body.eye.y, 1.5f - FlyCamera::kHeadMargin);
  fill(2, 5, 2, 2, 0, 4, 0.0f);
  run(1.0, 0.02);
  EXPECT_EQ(body.eye.y, 1.5f) << "and straightens when it is gone";
  fill(2, 5, 1, 1, 0, 4);  // a raised floor where the feet stand: sideways is farther than up
  run(1.0, 0.02);
  EXPECT_EQ(body.eye.y, 2.5f);
  // A room of three layers: fallen through a hole in the floor, the body stands on the floor put
  // back under it, legs bent under the ceiling.
  build(6, 3, 3);
  place(Vec3(2, 1.5f - FlyCamera::kHeadMargin, 1), Vec3(1, 0, 0));
  fill(2, 2, 0, 0, 1, 1, 0.0f);
  run(1.0, 0.02);
  EXPECT_EQ(body.eye.y, -0.5f + FlyCamera::kEyeHeight) << "in the hole";
  fill(2, 2, 0, 0, 1, 1);
  run(1.0, 0.02);
  EXPECT_EQ(body.eye.y, 1.5f - FlyCamera::kHeadMargin);
}

// Random keys, jumps, turns and frame times in a room of a gallery, a bridge, steps, glass, pillars
// and an arch: every frame the body is clear of solids, and only turning frames turn the view.
TEST_F(Room, NeverEntersASolidCellOrLeavesTheGridUnderRandomKeysAndFrameTimes) {
  build(14, 8, 12);
  fill(0, 4, 3, 3, 0, 11);      // a gallery along the low-x side
  fill(5, 13, 4, 4, 6, 6);      // a bridge from it across the room
  fill(9, 9, 1, 1, 0, 11);      // a line of steps
  fill(10, 10, 1, 2, 0, 11);    // and the cells beyond it two high
  fill(7, 7, 1, 6, 2, 2, 0.5f); // a glass pillar
  fill(11, 12, 1, 6, 9, 9);     // a wall with
  fill(11, 12, 1, 1, 9, 9, 0.0f);  // an arch one cell high under it
  fill(3, 3, 1, 2, 8, 8);       // a post under the gallery
  std::mt19937 rng(20240611u);
  const auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };
  place(Vec3(6, 2, 4), Vec3(0.5f, -0.2f, -1));
  const char keys[] = "wasdeq";
  int turned = 0, landed = 0;
  for (int frame = 0; frame < 20000; ++frame) {
    for (const char* k = keys; *k; ++k)
      if (chance(0.03)) body.setKey(*k, !chance(0.5));
    if (chance(0.01)) body.jump(6.0);
    if (chance(0.002)) body.velocity = Vec3(0, -60, 0);
    bool turns = false;
    if (chance(0.05)) {
      body.setMousePosition(500, 500);
      body.setMouseLook(true);
      body.setMousePosition(500 + static_cast<int>(rng() % 401) - 200, 500 + static_cast<int>(rng() % 401) - 200);
      turns = true;
    } else {
      body.setMouseLook(false);
    }
    if (chance(0.003)) {
      body.levelView();
      turns = true;
    }
    const Vec3 view = normalize(body.target - body.eye);
    const double dt = std::uniform_real_distribution<double>(0.001, 0.1)(rng);
    body.update(dt);
    ASSERT_TRUE(clearOfSolids(grid, body)) << "frame " << frame << ", eye " << body.eye.x << " " << body.eye.y << " " << body.eye.z;
    for (const float v : {body.eye.x, body.eye.y, body.eye.z}) ASSERT_TRUE(std::isfinite(v)) << frame;
    const Vec3 now = normalize(body.target - body.eye);
    ASSERT_TRUE(turns || (now - view).length() < 1e-4f) << "frame " << frame;
    turned += turns;
    landed += body.velocity.y == 0.0f && body.supported();
  }
  EXPECT_GT(turned, 500);
  EXPECT_GT(landed, 500);
}
