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

// A 20 x 6 x 20 room of air and a reset camera in its middle, colliding against it.
class Body : public ::testing::Test {
 protected:
  void SetUp() override {
    grid.resize(20, 6, 20);
    cam.reset();
    cam.grid = &grid;
    setFrameTime(0.01);
  }
  void TearDown() override { FrameTimer::instance().elapsed = 0.0; }

  static void setFrameTime(double seconds) { FrameTimer::instance().elapsed = seconds; }
  // Makes every cell whose x lies in [x0, x1] solid (all heights and rows).
  void solidSlab(int x0, int x1, float opacity = 1.0f) {
    for (int z = 0; z < grid.sizeZ; ++z)
      for (int y = 0; y < grid.sizeY; ++y)
        for (int x = x0; x <= x1; ++x) grid.setCell(x, y, z, cellWith(opacity));
  }
  void solidRows(int z0, int z1) {
    for (int z = z0; z <= z1; ++z)
      for (int y = 0; y < grid.sizeY; ++y)
        for (int x = 0; x < grid.sizeX; ++x) grid.setCell(x, y, z, cellWith(1.0f));
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

TEST(SampleAt, IntegerPositionsReturnTheCellsOpacityAndLight) {
  LightGrid grid;
  grid.resize(4, 3, 5);
  for (int z = 0; z < 5; ++z)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) {
        GridCell c = cellWith(0.1f * x + 0.03f * y + 0.007f * z, x + 0.5f, y * 2.0f, z * 3.0f);
        c.emitter = true;
        c.emission[0] = 9.0f;
        c.hidden = true;
        grid.setCell(x, y, z, c);
      }
  for (int z = 0; z < 5; ++z)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) {
        const GridCell cell = grid.getCell(x, y, z);
        const GridCell s = grid.sampleAt(x, y, z);
        EXPECT_EQ(s.opacity, cell.opacity) << x << "," << y << "," << z;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(s.light[i], cell.light[i]);
        EXPECT_FALSE(s.emitter);
        EXPECT_FALSE(s.hidden);
        EXPECT_EQ(s.emission[0], 0.0f);
      }
}

TEST(SampleAt, BlendsLinearlyBetweenNeighbouringIndices) {
  LightGrid grid;
  grid.resize(4, 3, 5);
  grid.setCell(1, 0, 0, cellWith(1.0f, 8.0f, 0.0f, 2.0f));
  const GridCell half = grid.sampleAt(0.5f, 0.0f, 0.0f);
  EXPECT_FLOAT_EQ(half.opacity, 0.5f);
  EXPECT_FLOAT_EQ(half.light[0], 4.0f);
  EXPECT_FLOAT_EQ(half.light[2], 1.0f);
  EXPECT_FLOAT_EQ(grid.sampleAt(0.25f, 0.0f, 0.0f).opacity, 0.25f);

  // A field linear in x, y and z is reproduced exactly by trilinear blending between cells.
  for (int z = 0; z < 5; ++z)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) grid.setCell(x, y, z, cellWith(0.1f * x + 0.2f * y + 0.05f * z));
  const float points[][3] = {{0.3f, 0.7f, 1.2f}, {2.9f, 1.01f, 3.5f}, {1.5f, 0.5f, 0.5f}};
  for (const auto& p : points)
    EXPECT_NEAR(grid.sampleAt(p[0], p[1], p[2]).opacity, 0.1f * p[0] + 0.2f * p[1] + 0.05f * p[2],
                1e-6f);
  // One solid corner of the cube around the point carries weight tx * ty * tz.
  grid.resize(4, 3, 5);
  grid.setCell(2, 1, 3, cellWith(1.0f));
  EXPECT_NEAR(grid.sampleAt(1.25f, 0.5f, 2.75f).opacity, 0.25f * 0.5f * 0.75f, 1e-7f);
}

TEST(SampleAt, BeyondTheGridCountsAsSolid) {
  LightGrid grid;
  grid.resize(4, 3, 5);
  // The last index blends with the outside cell at index == size.
  EXPECT_GE(grid.sampleAt(3.5f, 0.0f, 0.0f).opacity, 0.5f);
  EXPECT_FLOAT_EQ(grid.sampleAt(3.5f, 0.0f, 0.0f).opacity, 0.5f);
  EXPECT_FLOAT_EQ(grid.sampleAt(1.0f, 1.0f, 4.25f).opacity, 0.25f);
  for (const auto& p : {Vec3(-0.01f, 1, 1), Vec3(4, 1, 1), Vec3(1, 3, 1), Vec3(1, 1, -2)}) {
    const GridCell s = grid.sampleAt(p.x, p.y, p.z);
    EXPECT_EQ(s.opacity, 1.0f);
    EXPECT_EQ(s.light[0], 0.0f);
  }
}

TEST_F(Body, NoPushInOpenSpace) {
  const Vec3 d = pushFrom(Vec3(10.3f, 3, 9.7f));
  EXPECT_EQ(d.x, 0.0f);
  EXPECT_EQ(d.z, 0.0f);
}

TEST_F(Body, OpacityExactlyAtTheThresholdDoesNotPush) {
  cam.probeDirections = {Vec3(1, 0, 0)};
  const Vec3 p(10.0f - FlyCamera::kProbeRadius, 3, 10);
  // The rim sample lands exactly on the cells at x = 10; the rest lie between 9 and 10.
  ASSERT_EQ(p.x + FlyCamera::kProbeRadius, 10.0f);
  solidSlab(10, 10, 0.05f);
  ASSERT_EQ(grid.sampleAt(10.0f, 3, 10).opacity, 0.05f);
  EXPECT_EQ(pushFrom(p).x, 0.0f);

  // Just above the threshold that one sample pushes by exactly one step of 1/2048.
  solidSlab(10, 10, std::nextafter(0.05f, 1.0f));
  EXPECT_FLOAT_EQ(pushFrom(p).x, -1.0f / 2048);
}

TEST_F(Body, EachSampleInsideAnObstaclePushesByOneStep) {
  // Solid from x = 11 on; from x = 10.5 all 12 samples towards +x read opacity > 0.05.
  solidSlab(11, 19);
  cam.probeDirections = {Vec3(1, 0, 0)};
  EXPECT_FLOAT_EQ(pushFrom(Vec3(10.5f, 3, 10)).x, -12.0f / 2048);
  // From x = 10.01 only the samples beyond x = 10.05 are inside: 10.185 - j/64 for j 0..8.
  EXPECT_FLOAT_EQ(pushFrom(Vec3(10.01f, 3, 10)).x, -9.0f / 2048);
  // Opacity blends over a whole cell: from 9.9 two samples reach past 10.05 towards +x, and a
  // probe pointing away from the obstacle sees nothing.
  EXPECT_FLOAT_EQ(pushFrom(Vec3(9.9f, 3, 10)).x, -2.0f / 2048);
  cam.probeDirections = {Vec3(-1, 0, 0)};
  EXPECT_EQ(pushFrom(Vec3(9.9f, 3, 10)).x, 0.0f);

  grid.resize(20, 6, 20);
  solidRows(0, 4);
  cam.probeDirections = {Vec3(0, 0, -1)};
  const Vec3 d = pushFrom(Vec3(10, 3, 4.5f));
  EXPECT_FLOAT_EQ(d.z, 12.0f / 2048);
  EXPECT_EQ(d.x, 0.0f);
}

TEST_F(Body, ASolidSideOnTheRingPushesAwayFromIt) {
  solidSlab(11, 19);
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
  const Vec3 d = pushFrom(p);
  EXPECT_NEAR(d.x, ex, 1e-5);
  EXPECT_NEAR(d.z, ez, 1e-5);
  EXPECT_NEAR(d.z, 0.0f, 1e-5f);  // the ring is symmetric about the x axis
  EXPECT_EQ(cam.target, target);  // the push moves the eye only

  // Obstacles on both sides balance.
  solidSlab(0, 9);
  const Vec3 both = pushFrom(Vec3(10.5f, 3, 10));
  EXPECT_NEAR(both.x, 0.0f, 1e-5f);
  EXPECT_NEAR(both.z, 0.0f, 1e-5f);
}

TEST_F(Body, ARingWhollyOutsideTheGridIsPushedEquallyFromEverySide) {
  const Vec3 d = pushFrom(Vec3(-5, 3, -5));
  EXPECT_NEAR(d.x, 0.0f, 1e-5f);
  EXPECT_NEAR(d.z, 0.0f, 1e-5f);
}

TEST_F(Body, GravityDampingAndTheFloor) {
  setFrameTime(0.1);
  cam.setPosition(Vec3(10, 4, 10));
  cam.velocity = Vec3(1, 0, 2);
  cam.moveBody(12);
  EXPECT_NEAR(cam.velocity.x, 0.99f, 1e-6f);
  EXPECT_NEAR(cam.velocity.y, -0.998f, 1e-6f);
  EXPECT_NEAR(cam.velocity.z, 1.98f, 1e-6f);
  EXPECT_NEAR(cam.eye.x, 10.099f, 1e-5f);
  EXPECT_NEAR(cam.eye.y, 4.0f - 0.0998f, 1e-5f);
  EXPECT_NEAR(cam.eye.z, 10.198f, 1e-5f);

  // The floor clamps the eye but leaves the velocity alone.
  cam.setPosition(Vec3(10, 1.6f, 10));
  cam.velocity = Vec3(0, -5, 0);
  cam.moveBody(12);
  EXPECT_EQ(cam.eye.y, 1.5f);
  EXPECT_NEAR(cam.velocity.y, -5.948f, 1e-5f);

  // A frame time above 0.1 s is capped: the same step as 0.1 s.
  setFrameTime(0.7);
  cam.setPosition(Vec3(10, 4, 10));
  cam.velocity = Vec3(0, 0, 0);
  cam.moveBody(12);
  EXPECT_NEAR(cam.velocity.y, -0.998f, 1e-6f);
}

TEST_F(Body, AnEyeAtFloorHeightIsNotMovedByTheFloorRule) {
  setFrameTime(0.0);
  cam.setPosition(Vec3(10, 1.5f, 10));
  cam.moveBody(12);
  EXPECT_EQ(cam.eye, Vec3(10, 1.5f, 10));

  setFrameTime(0.01);
  cam.velocity = Vec3(0, 3, 0);
  cam.moveBody(12);
  EXPECT_NEAR(cam.eye.y, 1.5f + (0.99f * 3 - 0.0998f) * 0.01f, 1e-6f);
}

TEST_F(Body, StandingOnTheFloorVelocityApproachesMinus998Dt) {
  cam.setPosition(Vec3(10, 1.5f, 10));
  for (int i = 0; i < 2000; ++i) {
    cam.moveBody(12);
    ASSERT_EQ(cam.eye.y, 1.5f);
  }
  EXPECT_NEAR(cam.velocity.y, -998 * 0.01, 1e-3);
  cam.jumpCooldown = -1.0;
  cam.jump(6.0);
  EXPECT_EQ(cam.velocity, Vec3(0, 6, 0));
}

TEST_F(Body, UpdateBuildsTheViewBeforeTheBodyMovesAndCountsDownTheCooldown) {
  setFrameTime(0.05);
  cam.setView(Vec3(10, 4, 10), Vec3(10, 4, 5), Vec3(0, 1, 0));
  cam.jumpCooldown = 0.3;
  cam.update(0.05);
  EXPECT_LT(cam.eye.y, 4.0f);               // the body fell
  EXPECT_EQ(cam.target, Vec3(10, 4, 5));    // and left the look-at point where it was
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
  EXPECT_GT(cam.jumpCooldown, 0.0);

  cam.update(0.1);
  cam.update(0.1);
  ASSERT_GT(cam.eye.y, 1.5f);  // in the air
  const float vyBefore = cam.velocity.y;
  cam.jump(6.0);
  EXPECT_NE(vyBefore, 6.0f);
  EXPECT_EQ(cam.velocity, Vec3(0, 6, 0));
}
