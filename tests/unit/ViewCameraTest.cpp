// The cameras: ViewCamera's keys, mouse look, pitch limit and view matrix; FlyCamera's soft
// push-out, gravity, damping, floor and jump cooldown (its body in rooms: BodyTest.cpp); the
// overlay's layout. Grid units and seconds.
#include <gtest/gtest.h>

#include <cmath>

#include "app/FlyCamera.h"
#include "render/OverlayLayout.h"
#include "tests/support/MapRooms.h"

namespace {

void expectVec(const Vec3& actual, const Vec3& expected, float tolerance = 1e-4f) {
  EXPECT_LE((actual - expected).length(), tolerance) << actual.x << " " << actual.y << " " << actual.z;
}

// Where the camera's column-major view matrix takes a world point.
Vec3 inView(const ViewCamera& c, const Vec3& p) {
  const float* m = c.glViewMatrix;
  return Vec3(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
              m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
}

// A camera at the origin looking along -z, and a 20 x 6 x 20 room of air.
struct Camera : ::testing::Test {
  void SetUp() override {
    grid.resize(20, 6, 20);
    cam.reset();
    cam.setView(Vec3(0, 0, 0), Vec3(0, 0, -1), Vec3(0, 1, 0));
  }
  // Moves the mouse by (dx, dy) with mouse look on and runs one update; returns the view direction.
  Vec3 drag(int dx, int dy, float dt = 0.0f) {
    cam.setMousePosition(100, 100);
    cam.setMouseLook(true);
    cam.setMousePosition(100 + dx, 100 + dy);
    cam.ViewCamera::update(dt);
    return normalize(cam.target - cam.eye);
  }
  void slab(int fromX, int toX, float opacity = 1.0f) {
    cam.grid = &grid;
    fillCells(grid, fromX, toX, 0, 5, 0, 19, opacity);
  }
  Vec3 pushFrom(const Vec3& p) {  // one body step from p; returns the displacement
    cam.setPosition(p);
    cam.moveBody(FlyCamera::kProbeSamples, 0.0);
    return cam.eye - p;
  }
  LightGrid grid;
  FlyCamera cam;
};

}  // namespace

TEST_F(Camera, KeysMoveFourUnitsPerSecondAndForwardFollowsTheView) {
  const char* held[] = {"wae", "sdq", "WAE", "wd"};  // upper case moves nothing
  const Vec3 views[] = {Vec3(0, 0, -1), Vec3(0, 0, -1), Vec3(0, 0, -1), Vec3(0, -1, -1)};
  const float h = std::sqrt(0.5f);  // 45 degrees down, forward tilts and right stays level
  const Vec3 moved[] = {Vec3(-1, 1, -1), Vec3(1, -1, 1), Vec3(0, 0, 0), Vec3(1, -h, -h)};
  for (int i = 0; i < 4; ++i) {
    cam.setView(Vec3(0, 0, 0), views[i], Vec3(0, 1, 0));
    for (const char* k = held[i]; *k; ++k) cam.setKey(*k, true);
    cam.ViewCamera::update(0.25f);
    for (const char* k = held[i]; *k; ++k) cam.setKey(*k, false);
    expectVec(cam.eye, moved[i]);
    expectVec(cam.target - cam.eye, views[i]);
  }
}

TEST_F(Camera, FourPixelsTurnOneDegreeOnlyWithMouseLookAndKeysUseThePreTurnRight) {
  const double degree = ViewCamera::kOneDegree;
  cam.setMousePosition(50, 30);
  cam.ViewCamera::update(0.0f);  // mouse look is off
  drag(-4, -8);  // left and (window y shrinking) up
  cam.ViewCamera::update(0.0f);  // the movement was consumed: no second turn
  const Vec3 turned(-std::sin(degree) * std::cos(2 * degree), std::sin(2 * degree), -std::cos(degree) * std::cos(2 * degree));
  expectVec(cam.target, turned, 1e-6f);
  cam.setView(Vec3(0, 0, 0), Vec3(0, 0, -1), Vec3(0, 1, 0));
  for (char key : {'w', 'a'}) cam.setKey(key, true);
  expectVec(drag(-360, 0, 0.25f), Vec3(-1, 0, 0));  // a 90 degree turn, applied before the keys
  expectVec(cam.eye, Vec3(-2, 0, 0));  // forward along the new view, left along the old right
  expectVec(inView(cam, Vec3(0, 1, 1)), Vec3(-1, 1, 2));  // looking along an axis: zero pivots
}

TEST_F(Camera, PitchStopsOneDegreeShortOfVerticalAndStraightDownKeepsTheHeadingToLevelBy) {
  for (int dy : {-2000, -2000, 3000, 3000})
    EXPECT_NEAR(drag(3, dy).y, (dy < 0 ? 1 : -1) * std::cos(ViewCamera::kMinAngleFromUp), 1e-6) << dy;
  cam.setView(Vec3(0, 0, 0), Vec3(0, 0, -1), Vec3(0, 1, 0));
  cam.ViewCamera::update(0.0f);
  cam.setView(Vec3(0, 3, 0), Vec3(0, 0, 0), Vec3(0, 1, 0));  // as a fall may leave it
  cam.setKey('d', true);
  cam.ViewCamera::update(0.25f);
  expectVec(cam.eye, Vec3(1, 3, 0));                       // the last right stays
  expectVec(inView(cam, Vec3(1, 0, -1)), Vec3(0, 1, -3));  // and screen-up is the last heading
  cam.levelView();                                         // which levelling follows, as far
  expectVec(cam.target, Vec3(1, 3, -3));
  // A camera that never had a right vector (a start view straight down at its start marker, one
  // of no length from a scene file) still turns, walks and levels.
  for (const Vec3& look : {Vec3(0, -2, 0), Vec3(0, 0, 0)}) {
    FlyCamera fresh;
    fresh.setView(Vec3(0, 3, 0), Vec3(0, 3, 0) + look, Vec3(0, 1, 0));
    fresh.setKey('d', true);
    fresh.ViewCamera::update(0.25f);
    expectVec(fresh.eye, Vec3(1, 3, 0));
    fresh.levelView();
    expectVec(normalize(fresh.target - fresh.eye), Vec3(0, 0, -1));
    fresh.setView(Vec3(0, 3, 0), Vec3(0, 3, 0) + look, Vec3(0, 1, 0));
    fresh.setMousePosition(100, 100);
    fresh.setMouseLook(true);
    fresh.setMousePosition(100, 60);
    fresh.ViewCamera::update(0.0f);
    EXPECT_GT(normalize(fresh.target - fresh.eye).y, look.y < 0 ? -0.99f : -0.01f) << "turned from straight down";
  }
  // A start view from a file may look at a target past float's squares or a hair from the eye,
  // with an up of any length: the direction is kept, and turning, levelling and walking leave
  // every number finite, the eye a second's walk along.
  const float h = std::sqrt(0.5f);
  const struct { Vec3 look, up, facing; } odd[] = {
      {Vec3(3e38f, 0, 3e38f), Vec3(0, 1, 0), Vec3(h, 0, h)},
      {Vec3(1e-3f, 0, 1e-3f), Vec3(0, 1e30f, 0), Vec3(h, 0, h)},
      {Vec3(0, -2e19f, -2e19f), Vec3(0, 1e-25f, 0), Vec3(0, -h, -h)}};
  for (const auto& v : odd) {
    FlyCamera fresh;
    fresh.setView(Vec3(1, 2, 3), Vec3(1, 2, 3) + v.look, v.up);
    expectVec(normalize(fresh.target - fresh.eye), v.facing);
    fresh.setMousePosition(100, 100);
    fresh.setMouseLook(true);
    fresh.setMousePosition(60, 40);
    fresh.ViewCamera::update(0.0f);
    fresh.levelView();
    fresh.setKey('w', true);
    fresh.ViewCamera::update(0.25f);
    bool finite = true;
    for (float f : fresh.glViewMatrix) finite = finite && std::isfinite(f);
    for (const Vec3& p : {fresh.eye, fresh.target, fresh.up})
      finite = finite && std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
    EXPECT_TRUE(finite && std::fabs((fresh.eye - Vec3(1, 2, 3)).length() - 1.0f) < 1e-3f)
        << v.look.x << ": eye " << fresh.eye.x << " " << fresh.eye.y << " " << fresh.eye.z;
  }
}

TEST_F(Camera, EachRingSampleWhereTheObstaclesRiseAboveTheEyesOwnPushesOneStepAwayFromThem) {
  ASSERT_EQ(cam.probeDirections.size(), 64u) << "reset, as every room entry does";
  slab(11, 19);  // the ring of 64 directions, pushed only from the +x side
  const Vec3 push = pushFrom(Vec3(10.12f, 3, 10));
  EXPECT_TRUE(push.x < -0.01f && std::fabs(push.z) < 1e-5f && push.y == 0.0f) << push.x << " " << push.z;
  cam.probeDirections = {Vec3(1, 0, 0)};
  // From x = 9.99 the samples lie 0.165 - j / 64 into the wall's field (opacity rising from 0 at
  // x = 10 to 1 at 11): j = 0..7 are more than 0.05 in, eight pushes of one spacing each.
  EXPECT_FLOAT_EQ(pushFrom(Vec3(9.99f, 3, 10)).x, -8.0f / 2048);
  // A ceiling cell over the eye raises the opacity all around alike: measured against the eye's
  // own, the ceiling alone pushes nothing and the wall still does.
  slab(11, 19, 0.0f);
  fillCells(grid, 0, 19, 4, 4, 0, 19);
  EXPECT_EQ(pushFrom(Vec3(10, 3.25f, 10)).x, 0.0f);
  slab(11, 19);
  EXPECT_LT(pushFrom(Vec3(10, 3.25f, 10)).x, -4.0f / 2048);
}

TEST_F(Camera, GravityOverTheGivenTimeDampingAndTheJumpCooldown) {
  cam.velocity = Vec3(1, 0, 2);
  cam.setPosition(Vec3(10, 4, 10));
  cam.moveBody(FlyCamera::kProbeSamples, 0.1);
  expectVec(cam.velocity, Vec3(0.99f, -0.998f, 1.98f), 1e-6f);
  expectVec(cam.eye, Vec3(10.099f, 4.0f - 0.0998f, 10.198f), 1e-5f);
  cam.setView(Vec3(10, 5, 10), Vec3(10, 5, 5), Vec3(0, 1, 0));
  for (int i = 0; i < 11; ++i) {
    cam.jump(6.0 + i);  // a cooldown of 0 is not below 0; once a second, in the air too
    EXPECT_EQ(cam.velocity.y == 6.0f + i, i == 1 || i == 10) << i;
    cam.update(0.125);
    EXPECT_TRUE(i > 0 || std::fabs(cam.glViewMatrix[13] + 5.0f) < 1e-5f) << "built before the body moved";
  }
}

// The overlay is the map seen from above, +x to the right and +z down the window (so a turn to
// the right turns the view cone clockwise; FrameRecipeTest.cpp places the marks by it), a third
// of the window's shorter side with the map's aspect, however many columns it has.
TEST(OverlayLayout, FarRowAtTheBottomFirstColumnLeftAndScaledWithTheWindow) {
  const OverlayLayout layout(1024, 800, 60, 40);
  EXPECT_NEAR(layout.cell * 60, 800 / 3.0f, 1e-3);  // the longer side spans a third
  EXPECT_TRUE(layout.columnY(39) == OverlayLayout::kMargin && layout.columnX(0) == OverlayLayout::kMargin);
  const OverlayLayout tall(1200, 900, 40, 250), tiny(200, 150, 256, 256);
  EXPECT_NEAR(tall.cell * 250, 300.0f, 1e-3);
  EXPECT_NEAR(tiny.cell * 256, 50.0f, 1e-3);
  // The map's extent in the window: its columns' squares, but never under a pixel a side.
  EXPECT_TRUE(layout.width() == layout.cell * 60 && layout.height() == layout.cell * 40);
  const OverlayLayout line(1024, 800, 1, 1024), row(1024, 800, 1024, 1);
  EXPECT_TRUE(line.width() == 1.0f && row.height() == 1.0f);
  EXPECT_NEAR(line.height(), 800 / 3.0f, 1e-3);
  EXPECT_NEAR(row.width(), 800 / 3.0f, 1e-3);
}
