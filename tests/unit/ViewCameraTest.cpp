// ViewCamera: movement keys, mouse look with its pitch limit, and the per-frame view matrix.
// Grid units, y up; angles in degrees in the test names.
#include <gtest/gtest.h>

#include <cmath>

#include "app/ViewCamera.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double degreesBetween(const Vec3& a, const Vec3& b) {
  const double c = a.dot(b) / (static_cast<double>(a.length()) * b.length());
  return std::acos(std::max(-1.0, std::min(1.0, c))) * 180.0 / kPi;
}

void expectVec(const Vec3& actual, const Vec3& expected, float tolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

bool finite(const ViewCamera& cam) {
  bool ok = true;
  for (float v : cam.glViewMatrix) ok = ok && std::isfinite(v);
  for (const Vec3& v : {cam.eye, cam.target, cam.right})
    ok = ok && std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
  return ok;
}

// A camera at the origin looking along -z, so right is +x and left is -x.
class ViewCameraFixture : public ::testing::Test {
 protected:
  ViewCamera cam{Vec3(0, 0, 0), Vec3(0, 0, -1), Vec3(0, 1, 0)};

  // Moves the mouse from (100, 100) by (dx, dy) with mouse look on, then runs one update.
  void drag(int dx, int dy, float dt = 0.0f) {
    cam.setMousePosition(100, 100);
    cam.setMouseLook(true);
    cam.setMousePosition(100 + dx, 100 + dy);
    cam.update(dt);
  }
  Vec3 view() const { return cam.target - cam.eye; }
};

}  // namespace

TEST_F(ViewCameraFixture, LowerCaseKeysMoveAtFourUnitsPerSecond) {
  for (char key : {'W', 'S', 'A', 'D', 'E', 'Q', 'x', ' ', '0'}) cam.setKey(key, true);
  cam.update(0.5f);
  EXPECT_EQ(cam.eye, Vec3(0, 0, 0));
  expectVec(cam.right, Vec3(1, 0, 0), 0.0f);

  cam.setKey('d', true);
  for (int i = 0; i < 5; ++i) cam.update(0.1f);
  expectVec(cam.eye, Vec3(2, 0, 0), 1e-5f);
  expectVec(cam.target, Vec3(2, 0, -1), 1e-5f);
  cam.setKey('d', false);

  const struct {
    char key;
    Vec3 step;
  } moves[] = {{'w', Vec3(0, 0, -1)}, {'s', Vec3(0, 0, 1)}, {'a', Vec3(-1, 0, 0)},
               {'e', Vec3(0, 1, 0)},  {'q', Vec3(0, -1, 0)}};
  for (const auto& m : moves) {
    SCOPED_TRACE(m.key);
    const Vec3 before = cam.eye;
    cam.setKey(m.key, true);
    cam.update(0.25f);
    cam.setKey(m.key, false);
    expectVec(cam.eye - before, m.step, 1e-5f);
    expectVec(view(), Vec3(0, 0, -1), 1e-5f);
  }

  // Looking down: opposing keys cancel, and right stays horizontal.
  cam.setView(Vec3(0, 0, 0), Vec3(0, -1, -1), Vec3(0, 1, 0));
  for (char key : {'w', 's', 'a', 'd'}) cam.setKey(key, true);
  cam.update(0.3f);
  expectVec(cam.eye, Vec3(0, 0, 0), 1e-6f);
  for (char key : {'w', 's', 'a'}) cam.setKey(key, false);
  cam.update(0.25f);
  expectVec(cam.eye, Vec3(1, 0, 0), 1e-6f);
}

TEST_F(ViewCameraFixture, ForwardFollowsTheFullViewDirection) {
  cam.setView(Vec3(0, 5, 0), Vec3(0, 4, -1), Vec3(0, 1, 0));  // 45 degrees down
  cam.moveForward(1.0f);
  const float h = static_cast<float>(std::sqrt(0.5));
  expectVec(cam.eye, Vec3(0, 5 - h, -h), 1e-6f);
  expectVec(cam.target, Vec3(0, 4 - h, -1 - h), 1e-6f);
}

TEST_F(ViewCameraFixture, StrafeUsesThePreTurnRightAndForwardThePostTurnView) {
  // 360 pixels left: a 90 degree turn to -x, applied before the keys.
  cam.setKey('d', true);
  drag(-360, 0, 0.25f);
  expectVec(view(), Vec3(-1, 0, 0), 1e-5f);
  expectVec(cam.eye, Vec3(1, 0, 0), 1e-5f);  // the old right (1, 0, 0), not the new (0, 0, -1)
  cam.update(0.25f);
  expectVec(cam.eye, Vec3(1, 0, -1), 1e-5f);

  cam = ViewCamera(Vec3(0, 0, 0), Vec3(0, 0, -1), Vec3(0, 1, 0));
  cam.setKey('w', true);
  drag(-360, 0, 0.25f);
  // One "degree" here is 0.0174532 rad, so 360 pixels turn 89.9995 degrees.
  expectVec(cam.eye, Vec3(-1, 0, 0), 1e-4f);
}

TEST_F(ViewCameraFixture, FourPixelsTurnOneDegreeAndMouseUpTurnsUp) {
  drag(-4, 0);
  EXPECT_NEAR(view().y, 0.0f, 1e-7f);
  EXPECT_NEAR(std::atan2(-view().x, -view().z) * 180.0 / kPi, 1.0, 1e-4);  // left of -z is -x
  drag(8, 0);
  EXPECT_NEAR(std::atan2(-view().x, -view().z) * 180.0 / kPi, -1.0, 1e-4);

  cam.setView(Vec3(0, 0, 0), Vec3(0, 0, -1), Vec3(0, 1, 0));
  drag(0, -8);  // window y shrinks when the mouse moves up
  EXPECT_NEAR(std::asin(view().y) * 180.0 / kPi, 2.0, 1e-4);
  EXPECT_NEAR(view().x, 0.0f, 1e-7f);
  drag(0, 20);
  EXPECT_NEAR(std::asin(view().y) * 180.0 / kPi, -3.0, 1e-4);
}

TEST_F(ViewCameraFixture, NoTurnWithoutMouseLookOrWithoutMovement) {
  cam.setMousePosition(100, 100);
  cam.setMousePosition(50, 30);
  cam.update(0.0f);  // mouse look is off
  EXPECT_EQ(cam.target, Vec3(0, 0, -1));
  EXPECT_EQ(cam.lastMouse.x, 0);

  cam.setMouseLook(true);  // the click itself turns nothing
  EXPECT_EQ(cam.lastMouse, (ViewCamera::MousePoint{50, 30, 0}));
  cam.update(0.0f);
  EXPECT_EQ(cam.target, Vec3(0, 0, -1));

  cam.setMousePosition(60, 30);
  cam.update(0.0f);
  const Vec3 turned = cam.target;
  cam.update(0.0f);  // the movement was consumed: no further turn
  EXPECT_EQ(cam.target, turned);
}

TEST_F(ViewCameraFixture, TurningKeepsTheEyeTargetDistance) {
  cam.setView(Vec3(3, 2, 1), Vec3(3, 2, -4), Vec3(0, 1, 0));  // distance 5
  const int moves[][2] = {{13, -7}, {-40, 25}, {3, 90}, {-200, -11}, {7, 7}, {-1, 0}};
  for (const auto& m : moves) {
    drag(m[0], m[1]);
    EXPECT_NEAR(view().length(), 5.0f, 1e-4f);
    EXPECT_EQ(cam.eye, Vec3(3, 2, 1));
  }
}

TEST_F(ViewCameraFixture, PitchStopsOneDegreeShortOfVertical) {
  for (int i = 0; i < 10; ++i) {
    drag(3, -2000);  // 500 degrees up per frame, with some yaw
    ASSERT_TRUE(finite(cam));
    EXPECT_GE(degreesBetween(view(), cam.up), 1.0 - 1e-4);
  }
  EXPECT_NEAR(degreesBetween(view(), cam.up), 1.0, 1e-3);
  EXPECT_NEAR(view().length(), 1.0f, 1e-5f);
  drag(0, 360);  // the view still comes down again
  EXPECT_NEAR(degreesBetween(view(), cam.up), 91.0, 1e-3);
  for (int i = 0; i < 10; ++i) {
    drag(-5, 3000);
    ASSERT_TRUE(finite(cam));
    EXPECT_LE(degreesBetween(view(), cam.up), 179.0 + 1e-4);
  }
  EXPECT_NEAR(degreesBetween(view(), cam.up), 179.0, 1e-3);
}

TEST_F(ViewCameraFixture, StraightDownKeepsThePreviousRightAndHeading) {
  cam.update(0.0f);
  // The eye is put right above the target, as a fall or a push may do.
  cam.setView(Vec3(0, 3, 0), Vec3(0, 0, 0), Vec3(0, 1, 0));
  cam.setKey('d', true);  // strafing still works with the kept right vector
  cam.update(0.25f);
  ASSERT_TRUE(finite(cam));
  expectVec(cam.right, Vec3(1, 0, 0), 0.0f);
  expectVec(cam.eye, Vec3(1, 3, 0), 1e-6f);
  // Screen-up is the old heading -z; the camera looks down -y.
  EXPECT_NEAR(cam.viewMatrix.at(1, 2), -1.0f, 1e-6f);
  EXPECT_NEAR(cam.viewMatrix.at(2, 1), 1.0f, 1e-6f);

  // A mouse drag down from straight up turns towards the kept heading without NaN.
  cam.setKey('d', false);
  cam.setView(Vec3(0, 0, 0), Vec3(0, 2, 0), Vec3(0, 1, 0));
  drag(0, 40);  // 10 degrees down
  ASSERT_TRUE(finite(cam));
  EXPECT_NEAR(degreesBetween(view(), cam.up), 10.0, 1e-3);
  EXPECT_LT(view().z, 0.0f);
  EXPECT_NEAR(view().length(), 2.0f, 1e-5f);
}

TEST(ViewCamera, EyeOnTargetGivesAFiniteView) {
  ViewCamera still(Vec3(1, 1, 1), Vec3(1, 1, 1), Vec3(0, 1, 0));
  still.setKey('w', true);
  still.setKey('d', true);
  still.setMouseLook(true);
  still.setMousePosition(30, 40);
  still.update(0.1f);
  EXPECT_TRUE(finite(still));
}

TEST(ViewCamera, UpdateBuildsTheLookAtViewAndItsColumnMajorCopy) {
  ViewCamera cam(Vec3(10, 5, 10), Vec3(0, 0, 1), Vec3(0, 1, 0));
  cam.update(0.016f);
  // Matrix4's own tests check lookAt against the standard formula.
  const Matrix4 expected = Matrix4::lookAt(Vec3(10, 5, 10), Vec3(0, 0, 1), Vec3(0, 1, 0));
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      EXPECT_NEAR(cam.viewMatrix.at(r, c), expected.at(r, c), 1e-6f) << r << "," << c;
      EXPECT_EQ(cam.glViewMatrix[4 * c + r], cam.viewMatrix.at(r, c)) << r << "," << c;
    }
}
