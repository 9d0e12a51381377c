// Frustum plane maths from given matrices (column-major, as GL returns them) and the cube test.
#include "render/Frustum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The 60 degree, 1024 x 800 projection with near 0.1 and far 1000 that gluPerspective builds.
struct Perspective {
  float m[16] = {};
  Perspective() {
    const float f = 1.0f / std::tan(60.0f * 3.14159265358979f / 360.0f);
    const float zNear = 0.1f, zFar = 1000.0f;
    m[0] = f * 800.0f / 1024.0f;
    m[5] = f;
    m[10] = (zFar + zNear) / (zNear - zFar);
    m[11] = -1.0f;
    m[14] = 2.0f * zFar * zNear / (zNear - zFar);
  }
};

void expectPlane(const Frustum& frustum, int index, float a, float b, float c, float d,
                 float tolerance = 1e-6f) {
  SCOPED_TRACE(::testing::Message() << "plane " << index);
  EXPECT_NEAR(frustum.planes[index][0], a, tolerance);
  EXPECT_NEAR(frustum.planes[index][1], b, tolerance);
  EXPECT_NEAR(frustum.planes[index][2], c, tolerance);
  EXPECT_NEAR(frustum.planes[index][3], d, tolerance);
}

}  // namespace

TEST(FrustumPlanes, IdentityGivesTheUnitCubeAndTranslationShiftsIt) {
  Frustum frustum;
  frustum.extractFrom(kIdentity, kIdentity);
  // Order: right, left, bottom, top, far, near.
  const float normals[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, -1}, {0, 0, 1}};
  for (int p = 0; p < 6; ++p)
    expectPlane(frustum, p, normals[p][0], normals[p][1], normals[p][2], 1);

  // Model-view moving the world by (2, 3, -5) shows x in (-3, -1), y in (-4, -2), z in (4, 6).
  // A transposed product would put the translation into w instead.
  float modl[16];
  std::copy(kIdentity, kIdentity + 16, modl);
  modl[12] = 2.0f;
  modl[13] = 3.0f;
  modl[14] = -5.0f;
  frustum.extractFrom(kIdentity, modl);
  const float shifted[6] = {-1, 3, 4, -2, 6, -4};
  for (int p = 0; p < 6; ++p)
    expectPlane(frustum, p, normals[p][0], normals[p][1], normals[p][2], shifted[p]);
}

TEST(FrustumPlanes, PerspectiveGivesUnitNormalsAndNearAndFarAtTheirDistances) {
  Frustum frustum;
  frustum.extractFrom(Perspective().m, kIdentity);
  for (int p = 0; p < 6; ++p) {
    const float* n = frustum.planes[p];
    EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0f, 1e-5f) << p;
  }
  expectPlane(frustum, 5, 0, 0, -1, -0.1f, 1e-4f);
  // Float cancellation in (far + near) / (near - far) costs a little precision in d.
  EXPECT_NEAR(frustum.planes[4][0], 0.0f, 1e-6f);
  EXPECT_NEAR(frustum.planes[4][1], 0.0f, 1e-6f);
  EXPECT_NEAR(frustum.planes[4][2], 1.0f, 1e-6f);
  EXPECT_NEAR(frustum.planes[4][3], 1000.0f, 1.0f);
  // The top plane leans by half the vertical field of view: its normal is (0, -cos 30, -sin 30).
  expectPlane(frustum, 3, 0, -std::cos(0.5235988f), -std::sin(0.5235988f), 0, 1e-5f);
  // The side planes pass through the eye as well.
  EXPECT_NEAR(frustum.planes[0][3], 0.0f, 1e-6f);
  EXPECT_NEAR(frustum.planes[1][3], 0.0f, 1e-6f);
}

TEST(FrustumCubes, CubeTouchingAPlaneFromOutsideIsCulledAndOneJustInsideIsKept) {
  Frustum frustum;
  frustum.extractFrom(kIdentity, kIdentity);
  // Each of the six planes in turn.
  for (int axis = 0; axis < 3; ++axis)
    for (float sign : {1.0f, -1.0f}) {
      float touching[3] = {0, 0, 0}, inside[3] = {0, 0, 0};
      touching[axis] = 1.5f * sign;
      inside[axis] = 1.49f * sign;
      EXPECT_FALSE(frustum.cubeVisible(touching[0], touching[1], touching[2], 0.5f)) << axis;
      EXPECT_TRUE(frustum.cubeVisible(inside[0], inside[1], inside[2], 0.5f)) << axis;
    }
}

TEST(FrustumCubes, AnySingleCornerInsideKeepsTheCube) {
  // All six planes face along one diagonal of the cube, so only the corner at the end of that
  // diagonal lies inside: each of the eight corners must be looked at.
  const float k = 1.0f / std::sqrt(3.0f);
  for (int corner = 0; corner < 8; ++corner) {
    const float d[3] = {(corner & 1) ? k : -k, (corner & 2) ? k : -k, (corner & 4) ? k : -k};
    Frustum frustum;
    for (auto& plane : frustum.planes) {
      std::copy(d, d + 3, plane);
      plane[3] = -1.0f;  // the far corner is at +0.73, its three neighbours at -0.42
    }
    EXPECT_TRUE(frustum.cubeVisible(0.0f, 0.0f, 0.0f, 1.0f)) << corner;
    EXPECT_FALSE(frustum.cubeVisible(-d[0], -d[1], -d[2], 1.0f)) << corner;
  }
}

TEST(FrustumCubes, PerspectiveKeepsTheCubeAroundTheEyeAndCullsBeyondFar) {
  Frustum frustum;
  frustum.extractFrom(Perspective().m, kIdentity);
  EXPECT_TRUE(frustum.cubeVisible(0.0f, 0.0f, 0.0f, 0.5f)) << "cube containing the eye";
  EXPECT_TRUE(frustum.cubeVisible(0.0f, 0.0f, -10.0f, 0.5f));
  EXPECT_FALSE(frustum.cubeVisible(0.0f, 0.0f, 10.0f, 0.5f)) << "behind the eye";
  EXPECT_FALSE(frustum.cubeVisible(0.0f, 0.0f, -1002.0f, 0.5f)) << "beyond far";
  EXPECT_FALSE(frustum.cubeVisible(0.0f, 20.0f, -10.0f, 0.5f)) << "above the view";
  EXPECT_FALSE(frustum.cubeVisible(-20.0f, 0.0f, -10.0f, 0.5f)) << "left of the view";
}

TEST(FrustumCubes, LookAtViewCullsBehindTheCameraAndKeepsWhatIsAhead) {
  // gluLookAt from (10, 2, 5) along +x with y up, column-major: rows s = (0, 0, 1),
  // u = (0, 1, 0), -f = (-1, 0, 0), translation (-s.eye, -u.eye, f.eye) = (-5, -2, 10).
  const float modl[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, -5, -2, 10, 1};
  Frustum frustum;
  frustum.extractFrom(Perspective().m, modl);
  EXPECT_TRUE(frustum.cubeVisible(20.0f, 2.0f, 5.0f, 0.5f)) << "ahead";
  EXPECT_TRUE(frustum.cubeVisible(10.0f, 2.0f, 5.0f, 0.5f)) << "around the eye";
  EXPECT_FALSE(frustum.cubeVisible(3.0f, 2.0f, 5.0f, 0.5f)) << "behind";
  EXPECT_TRUE(frustum.cubeVisible(20.0f, 2.0f, 9.0f, 0.5f)) << "ahead, a little right (+z)";
  EXPECT_FALSE(frustum.cubeVisible(12.0f, 2.0f, 14.0f, 0.5f)) << "far to the right";
  EXPECT_FALSE(frustum.cubeVisible(12.0f, 2.0f, -4.0f, 0.5f)) << "far to the left";
  // The near plane faces along the view direction, 0.1 in front of the eye.
  expectPlane(frustum, 5, 1.0f, 0.0f, 0.0f, -10.1f, 1e-3f);
}
