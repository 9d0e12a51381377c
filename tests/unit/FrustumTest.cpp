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
    m[0] = f * 800.0f / 1024.0f;
    m[5] = f;
    m[10] = 1000.1f / -999.9f;
    m[11] = -1.0f;
    m[14] = 2.0f * 1000.0f * 0.1f / -999.9f;
  }
};

void expectPlane(const Frustum& f, int i, float a, float b, float c, float d, float tol = 1e-5f) {
  const float want[4] = {a, b, c, d};
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(f.planes[i][k], want[k], tol) << "plane " << i << k;
}

}  // namespace

TEST(FrustumPlanes, OrderNormalisationAndTheModelViewTranslation) {
  // Model-view moving the world by (2, 3, -5) shows x in (-3, -1), y in (-4, -2), z in (4, 6);
  // planes in the order right, left, bottom, top, far, near. A transposed product would put the
  // translation into w instead.
  float modl[16];
  std::copy(kIdentity, kIdentity + 16, modl);
  modl[12] = 2.0f, modl[13] = 3.0f, modl[14] = -5.0f;
  Frustum frustum;
  frustum.extractFrom(kIdentity, modl);
  const float normals[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, -1}, {0, 0, 1}};
  const float d[6] = {-1, 3, 4, -2, 6, -4};
  for (int p = 0; p < 6; ++p) expectPlane(frustum, p, normals[p][0], normals[p][1], normals[p][2], d[p]);

  frustum.extractFrom(Perspective().m, kIdentity);
  for (const auto& n : frustum.planes) EXPECT_NEAR(std::hypot(n[0], n[1], n[2]), 1.0f, 1e-5f);
  expectPlane(frustum, 5, 0, 0, -1, -0.1f, 1e-4f);
  // The top plane leans by half the vertical field of view.
  expectPlane(frustum, 3, 0, -std::cos(0.5235988f), -std::sin(0.5235988f), 0);
}

TEST(FrustumCubes, ACubeIsCulledOnlyWhenAllEightCornersAreOutsideOnePlane) {
  Frustum unit;
  unit.extractFrom(kIdentity, kIdentity);
  for (int axis = 0; axis < 3; ++axis)
    for (float sign : {1.0f, -1.0f}) {
      float touching[3] = {0, 0, 0}, inside[3] = {0, 0, 0};
      touching[axis] = 1.5f * sign;  // touches the plane from outside: culled
      inside[axis] = 1.49f * sign;
      EXPECT_TRUE(!unit.cubeVisible(touching[0], touching[1], touching[2], 0.5f) &&
                  unit.cubeVisible(inside[0], inside[1], inside[2], 0.5f)) << axis << " " << sign;
    }
  // All six planes face along one diagonal, so only the corner at its end is inside: every
  // corner must be looked at.
  const float k = 1.0f / std::sqrt(3.0f);
  for (int corner = 0; corner < 8; ++corner) {
    const float d[3] = {(corner & 1) ? k : -k, (corner & 2) ? k : -k, (corner & 4) ? k : -k};
    Frustum diagonal;
    for (auto& plane : diagonal.planes) {
      std::copy(d, d + 3, plane);
      plane[3] = -1.0f;
    }
    EXPECT_TRUE(diagonal.cubeVisible(0.0f, 0.0f, 0.0f, 1.0f) && !diagonal.cubeVisible(-d[0], -d[1], -d[2], 1.0f)) << corner;
  }
  // A look-at view from (10, 2, 5) along +x: ahead kept, behind and beside culled.
  const float modl[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, -5, -2, 10, 1};
  Frustum view;
  view.extractFrom(Perspective().m, modl);
  EXPECT_TRUE(view.cubeVisible(20.0f, 2.0f, 9.0f, 0.5f));
  EXPECT_TRUE(view.cubeVisible(10.0f, 2.0f, 5.0f, 0.5f)) << "around the eye";
  EXPECT_FALSE(view.cubeVisible(3.0f, 2.0f, 5.0f, 0.5f)) << "behind";
  EXPECT_FALSE(view.cubeVisible(12.0f, 2.0f, 14.0f, 0.5f)) << "far to the right";
  EXPECT_FALSE(view.cubeVisible(1500.0f, 2.0f, 5.0f, 0.5f)) << "beyond far";
}
