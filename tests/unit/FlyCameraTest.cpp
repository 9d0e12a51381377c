// FlyCamera's body: trilinear grid sampling, collision push-out, gravity, floor and jump.
// Grid units and seconds; cell (x, y, z) holds its value at the integer point (x, y, z).
#include <gtest/gtest.h>

#include <cmath>

#include "app/FlyCamera.h"
#include "app/FrameTimer.h"
#include "world/LightGrid.h"

namespace {

GridCell cellWith(float opacity, float r = 0, float g = 0, float b = 0) {
  GridCell c;
  c.opacity = opacity;
  c.light[0] = r;
  c.light[1] = g;
  c.light[2] = b;
  return c;
}

void setFrameTime(double seconds) { FrameTimer::instance().elapsed = seconds; }

void expectVec(const Vec3& actual, const Vec3& expected, float tolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// A 20 x 6 x 20 room of air and a reset camera in its middle, colliding against it.
class Body : public ::testing::Test {
 protected:
  void SetUp() override {
    grid.resize(20, 6, 20);
    cam.reset();
    cam.grid = &grid;
    setFrameTime(0.01);
  }
  void TearDown() override { setFrameTime(0.0); }

  // Makes every cell with x in [x0, x1] (or z, when alongZ) the given opacity.
  void slab(int from, int to, float opacity = 1.0f, bool alongZ = false) {
    for (int a = 0; a < 20; ++a)
      for (int y = 0; y < grid.sizeY; ++y)
        for (int b = from; b <= to; ++b)
          grid.setCell(alongZ ? a : b, y, alongZ ? b : a, cellWith(opacity));
  }
  // Runs one body step from p with no velocity; returns the horizontal displacement.
  Vec3 pushFrom(const Vec3& p) {
    cam.setPosition(p);
    cam.velocity = Vec3(0, 0, 0);
    cam.moveBody(FlyCamera::kProbeSamples);
    return Vec3(cam.eye.x - p.x, 0.0f, cam.eye.z - p.z);
  }

  LightGrid grid;
  FlyCamera cam;
};

}  // namespace

TEST(SampleAt, ExactAtCellsAndTrilinearBetweenThem) {
  LightGrid grid;
  grid.resize(4, 3, 5);
  // Opacity and light linear in x, y and z, which trilinear blending reproduces exactly.
  for (int z = 0; z < 5; ++z)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) {
        GridCell c = cellWith(0.1f * x + 0.2f * y + 0.05f * z, x + 0.5f, y * 2.0f, z * 3.0f);
        c.emitter = c.hidden = true;  // flags and emission are not sampled
        grid.setCell(x, y, z, c);
      }
  for (int z = 0; z < 5; ++z)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) {
        const GridCell cell = grid.getCell(x, y, z);
        const GridCell s = grid.sampleAt(x, y, z);
        EXPECT_EQ(s.opacity, cell.opacity) << x << "," << y << "," << z;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(s.light[i], cell.light[i]);
        EXPECT_FALSE(s.emitter || s.hidden);
      }
  EXPECT_FLOAT_EQ(grid.sampleAt(0.5f, 0.0f, 0.0f).light[0], 1.0f);
  const float points[][3] = {{0.3f, 0.7f, 1.2f}, {2.9f, 1.01f, 3.5f}, {1.5f, 0.5f, 0.5f}};
  for (const auto& p : points) {
    const GridCell s = grid.sampleAt(p[0], p[1], p[2]);
    EXPECT_NEAR(s.opacity, 0.1f * p[0] + 0.2f * p[1] + 0.05f * p[2], 1e-6f);
    EXPECT_NEAR(s.light[2], 3.0f * p[2], 1e-5f);
  }
}

TEST(SampleAt, BeyondTheGridCountsAsSolid) {
  LightGrid grid;
  grid.resize(4, 3, 5);
  // The last index blends with the outside cell at index == size.
  EXPECT_FLOAT_EQ(grid.sampleAt(3.5f, 0.0f, 0.0f).opacity, 0.5f);
  EXPECT_FLOAT_EQ(grid.sampleAt(1.0f, 1.0f, 4.25f).opacity, 0.25f);
  for (const auto& p : {Vec3(-0.01f, 1, 1), Vec3(4, 1, 1), Vec3(1, 3, 1), Vec3(1, 1, -2)}) {
    const GridCell s = grid.sampleAt(p.x, p.y, p.z);
    EXPECT_EQ(s.opacity, 1.0f);
    EXPECT_EQ(s.light[0], 0.0f);
  }
}

TEST_F(Body, OpacityExactlyAtTheThresholdDoesNotPush) {
  cam.probeDirections = {Vec3(1, 0, 0)};
  // The rim sample lands exactly on the cells at x = 10; the rest lie between 9 and 10.
  const Vec3 p(10.0f - FlyCamera::kProbeRadius, 3, 10);
  ASSERT_EQ(p.x + FlyCamera::kProbeRadius, 10.0f);
  slab(10, 10, 0.05f);
  ASSERT_EQ(grid.sampleAt(10.0f, 3, 10).opacity, 0.05f);
  EXPECT_EQ(pushFrom(p).x, 0.0f);
  // Just above the threshold that one sample pushes by exactly one step of 1/2048.
  slab(10, 10, std::nextafter(0.05f, 1.0f));
  EXPECT_FLOAT_EQ(pushFrom(p).x, -1.0f / 2048);
}

TEST_F(Body, EachSampleInsideAnObstaclePushesByOneStep) {
  slab(11, 19);
  cam.probeDirections = {Vec3(1, 0, 0)};
  EXPECT_FLOAT_EQ(pushFrom(Vec3(10.5f, 3, 10)).x, -12.0f / 2048);  // all 12 samples inside
  // Opacity blends over the cell: only samples beyond x = 10.05 count, 10.185 - j/64 for j 0..8.
  EXPECT_FLOAT_EQ(pushFrom(Vec3(10.01f, 3, 10)).x, -9.0f / 2048);

  grid.resize(20, 6, 20);
  slab(0, 4, 1.0f, true);
  cam.probeDirections = {Vec3(0, 0, -1)};
  EXPECT_EQ(pushFrom(Vec3(10, 3, 4.5f)), Vec3(0, 0, 12.0f / 2048));
}

TEST_F(Body, ASolidSideOnTheRingPushesAwayFromIt) {
  slab(11, 19);
  const Vec3 p(10.12f, 3, 10);
  // Independent count: a sample at x is inside when the blend x - 10 of cells 10 and 11
  // exceeds 0.05; each adds -d/64, and the sum is scaled by 2/64.
  double ex = 0.0, ez = 0.0, angle = 0.0, margin = 1.0;
  for (int k = 0; k < 64; ++k, angle += 0.0981747703125) {
    const double dx = std::cos(angle), dz = std::sin(angle);
    for (int j = 0; j < 12; ++j) {
      const double x = p.x + (0.175 - j / 64.0) * dx;
      margin = std::min(margin, std::fabs(x - 10.05));
      if (x > 10.05) {
        ex -= dx / 2048;
        ez -= dz / 2048;
      }
    }
  }
  ASSERT_GT(margin, 1e-4);  // no sample sits on the threshold, so rounding cannot flip one
  ASSERT_LT(ex, -0.01);
  const Vec3 target = cam.target;
  expectVec(pushFrom(p), Vec3(ex, 0, ez), 1e-5f);
  EXPECT_EQ(cam.target, target);  // the push moves the eye only
}

TEST_F(Body, SymmetricSurroundingsDoNotPush) {
  EXPECT_EQ(pushFrom(Vec3(10.3f, 3, 9.7f)), Vec3(0, 0, 0));
  slab(11, 19);
  slab(0, 9);
  // Walls on both sides, and a ring wholly outside the grid, are pushed from every side alike.
  expectVec(pushFrom(Vec3(10.5f, 3, 10)), Vec3(0, 0, 0), 1e-5f);
  expectVec(pushFrom(Vec3(-5, 3, -5)), Vec3(0, 0, 0), 1e-5f);
}

TEST_F(Body, GravityDampingAndTheFloor) {
  setFrameTime(0.1);
  cam.setPosition(Vec3(10, 4, 10));
  cam.velocity = Vec3(1, 0, 2);
  cam.moveBody(12);
  expectVec(cam.velocity, Vec3(0.99f, -0.998f, 1.98f), 1e-6f);
  expectVec(cam.eye, Vec3(10.099f, 4.0f - 0.0998f, 10.198f), 1e-5f);

  // The floor clamps the eye but leaves the velocity alone.
  cam.setPosition(Vec3(10, 1.6f, 10));
  cam.velocity = Vec3(0, -5, 0);
  cam.moveBody(12);
  EXPECT_EQ(cam.eye.y, 1.5f);
  EXPECT_NEAR(cam.velocity.y, -5.948f, 1e-5f);

  // A frame time above 0.1 s is capped: the same step as 0.1 s.
  setFrameTime(0.7);
  cam.velocity = Vec3(0, 0, 0);
  cam.moveBody(12);
  EXPECT_NEAR(cam.velocity.y, -0.998f, 1e-6f);
}

TEST_F(Body, AnEyeAtFloorHeightIsNotMovedByTheFloorRule) {
  setFrameTime(0.0);
  cam.setPosition(Vec3(10, 1.5f, 10));
  cam.moveBody(12);
  EXPECT_EQ(cam.eye, Vec3(10, 1.5f, 10));
}

TEST_F(Body, StandingOnTheFloorVelocityApproachesMinus998Dt) {
  cam.setPosition(Vec3(10, 1.5f, 10));
  for (int i = 0; i < 2000; ++i) {
    cam.moveBody(12);
    ASSERT_EQ(cam.eye.y, 1.5f);
  }
  EXPECT_NEAR(cam.velocity.y, -998 * 0.01, 1e-3);
}

TEST_F(Body, UpdateBuildsTheViewBeforeTheBodyMovesAndCountsDownTheCooldown) {
  setFrameTime(0.05);
  cam.setView(Vec3(10, 4, 10), Vec3(10, 4, 5), Vec3(0, 1, 0));
  cam.jumpCooldown = 0.3;
  cam.update(0.05);
  EXPECT_LT(cam.eye.y, 4.0f);                       // the body fell
  EXPECT_EQ(cam.target, Vec3(10, 4, 5));            // and left the look-at point where it was
  EXPECT_NEAR(cam.glViewMatrix[13], -4.0f, 1e-5f);  // the matrix still shows the old eye
  EXPECT_DOUBLE_EQ(cam.jumpCooldown, 0.25);
}

TEST_F(Body, JumpHasAOneSecondCooldownAndWorksInMidAir) {
  setFrameTime(0.1);
  cam.setView(Vec3(10, 5, 10), Vec3(10, 5, 5), Vec3(0, 1, 0));
  cam.jump(6.0);  // a fresh cooldown of 0 is not below 0
  EXPECT_EQ(cam.velocity, Vec3(0, 0, 0));

  cam.update(0.1);
  cam.velocity.x = 2.0f;
  cam.jump(6.0);
  EXPECT_EQ(cam.velocity, Vec3(0, 6, 0));
  EXPECT_EQ(cam.jumpCooldown, 1.0);

  for (int i = 0; i < 9; ++i) cam.update(0.1);
  cam.jump(6.0);  // 0.9 s later: still cooling down
  EXPECT_LT(cam.velocity.y, 6.0f);

  cam.update(0.1);
  cam.update(0.1);
  ASSERT_GT(cam.eye.y, 1.5f);  // in the air
  cam.jump(6.0);
  EXPECT_EQ(cam.velocity, Vec3(0, 6, 0));
}
