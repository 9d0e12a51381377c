// Frustum plane maths from given matrices (column-major, as GL returns them) and the cube test.
#include "render/Frustum.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The matrix gluPerspective builds (fovy in degrees), column-major.
void perspective(float fovyDeg, float aspect, float zNear, float zFar, float m[16]) {
  const float f = 1.0f / std::tan(fovyDeg * 3.14159265358979f / 360.0f);
  for (int i = 0; i < 16; ++i) m[i] = 0.0f;
  m[0] = f / aspect;
  m[5] = f;
  m[10] = (zFar + zNear) / (zNear - zFar);
  m[11] = -1.0f;
  m[14] = 2.0f * zFar * zNear / (zNear - zFar);
}

// The matrix gluLookAt builds, column-major.
void lookAt(const float eye[3], const float target[3], const float up[3], float m[16]) {
  float f[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
  const float fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
  for (float& v : f) v /= fl;
  float s[3] = {f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2],
                f[0] * up[1] - f[1] * up[0]};
  const float sl = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
  for (float& v : s) v /= sl;
  const float u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2],
                      s[0] * f[1] - s[1] * f[0]};
  const float rows[3][3] = {{s[0], s[1], s[2]}, {u[0], u[1], u[2]}, {-f[0], -f[1], -f[2]}};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) m[4 * c + r] = rows[r][c];
    m[12 + r] = -(rows[r][0] * eye[0] + rows[r][1] * eye[1] + rows[r][2] * eye[2]);
    m[4 * r + 3] = 0.0f;
  }
  m[15] = 1.0f;
}

void expectPlane(const Frustum& frustum, int index, float a, float b, float c, float d,
                 float tolerance = 1e-6f) {
  SCOPED_TRACE(::testing::Message() << "plane " << index);
  EXPECT_NEAR(frustum.planes[index][0], a, tolerance);
  EXPECT_NEAR(frustum.planes[index][1], b, tolerance);
  EXPECT_NEAR(frustum.planes[index][2], c, tolerance);
  EXPECT_NEAR(frustum.planes[index][3], d, tolerance);
}

float normalLength(const Frustum& frustum, int index) {
  const float* p = frustum.planes[index];
  return std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
}

}  // namespace

TEST(FrustumPlanes, IdentityMatricesGiveTheUnitCubeInRightLeftBottomTopFarNearOrder) {
  Frustum frustum;
  frustum.extractFrom(kIdentity, kIdentity);
  expectPlane(frustum, 0, -1, 0, 0, 1);
  expectPlane(frustum, 1, 1, 0, 0, 1);
  expectPlane(frustum, 2, 0, 1, 0, 1);
  expectPlane(frustum, 3, 0, -1, 0, 1);
  expectPlane(frustum, 4, 0, 0, -1, 1);
  expectPlane(frustum, 5, 0, 0, 1, 1);
}

TEST(FrustumPlanes, TranslatedModelViewShiftsThePlanesByTheTranslation) {
  // Model-view moves the world by (2, 3, -5): the box seen is x in (-3, -1), y in (-4, -2),
  // z in (4, 6). A transposed product would put the translation into w instead.
  float modl[16];
  for (int i = 0; i < 16; ++i) modl[i] = kIdentity[i];
  modl[12] = 2.0f;
  modl[13] = 3.0f;
  modl[14] = -5.0f;
  Frustum frustum;
  frustum.extractFrom(kIdentity, modl);
  expectPlane(frustum, 0, -1, 0, 0, -1);
  expectPlane(frustum, 1, 1, 0, 0, 3);
  expectPlane(frustum, 2, 0, 1, 0, 4);
  expectPlane(frustum, 3, 0, -1, 0, -2);
  expectPlane(frustum, 4, 0, 0, -1, 6);
  expectPlane(frustum, 5, 0, 0, 1, -4);
}

TEST(FrustumPlanes, ScaledMatricesAreNormalisedToUnitNormals) {
  // A projection scaled by 4 on every row leaves the same planes once normalised.
  float proj[16];
  for (int i = 0; i < 16; ++i) proj[i] = 4.0f * kIdentity[i];
  Frustum frustum;
  frustum.extractFrom(proj, kIdentity);
  for (int p = 0; p < 6; ++p) EXPECT_NEAR(normalLength(frustum, p), 1.0f, 1e-6f) << p;
  expectPlane(frustum, 0, -1, 0, 0, 1);
  expectPlane(frustum, 5, 0, 0, 1, 1);
}

TEST(FrustumPlanes, PerspectiveGivesNearAndFarAtTheirDistances) {
  float proj[16];
  perspective(60.0f, 1024.0f / 800.0f, 0.1f, 1000.0f, proj);
  Frustum frustum;
  frustum.extractFrom(proj, kIdentity);
  expectPlane(frustum, 5, 0, 0, -1, -0.1f, 1e-4f);
  EXPECT_NEAR(frustum.planes[4][0], 0.0f, 1e-6f);
  EXPECT_NEAR(frustum.planes[4][1], 0.0f, 1e-6f);
  EXPECT_NEAR(frustum.planes[4][2], 1.0f, 1e-6f);
  // Float cancellation in (far + near) / (near - far) costs a little precision here.
  EXPECT_NEAR(frustum.planes[4][3], 1000.0f, 1.0f);
  for (int p = 0; p < 6; ++p) EXPECT_NEAR(normalLength(frustum, p), 1.0f, 1e-5f) << p;
  // The top plane leans by half the vertical field of view: its normal is (0, -cos 30, -sin 30).
  expectPlane(frustum, 3, 0, -std::cos(0.5235988f), -std::sin(0.5235988f), 0, 1e-5f);
  // The side planes pass through the eye as well.
  EXPECT_NEAR(frustum.planes[0][3], 0.0f, 1e-6f);
  EXPECT_NEAR(frustum.planes[1][3], 0.0f, 1e-6f);
}

TEST(FrustumPlanes, NormalizePlaneDividesAllFourCoefficientsByTheNormalLength) {
  Frustum frustum;
  const float plane[4] = {3.0f, 0.0f, -4.0f, 10.0f};
  for (int i = 0; i < 4; ++i) frustum.planes[2][i] = plane[i];
  frustum.planes[1][3] = 7.0f;
  frustum.normalizePlane(2);
  expectPlane(frustum, 2, 0.6f, 0.0f, -0.8f, 2.0f);
  EXPECT_EQ(frustum.planes[1][3], 7.0f) << "other planes are left alone";
}

TEST(FrustumCubes, CubeTouchingAPlaneFromOutsideIsCulledAndOneJustInsideIsKept) {
  Frustum frustum;
  frustum.extractFrom(kIdentity, kIdentity);
  EXPECT_FALSE(frustum.cubeVisible(1.5f, 0.0f, 0.0f, 0.5f));
  EXPECT_TRUE(frustum.cubeVisible(1.49f, 0.0f, 0.0f, 0.5f));
  // The same on the other five planes, so each plane takes part in the test.
  EXPECT_FALSE(frustum.cubeVisible(-1.5f, 0.0f, 0.0f, 0.5f));
  EXPECT_FALSE(frustum.cubeVisible(0.0f, 1.5f, 0.0f, 0.5f));
  EXPECT_FALSE(frustum.cubeVisible(0.0f, -1.5f, 0.0f, 0.5f));
  EXPECT_FALSE(frustum.cubeVisible(0.0f, 0.0f, 1.5f, 0.5f));
  EXPECT_FALSE(frustum.cubeVisible(0.0f, 0.0f, -1.5f, 0.5f));
  EXPECT_TRUE(frustum.cubeVisible(-1.49f, 0.0f, 0.0f, 0.5f));
  EXPECT_TRUE(frustum.cubeVisible(0.0f, 1.49f, 0.0f, 0.5f));
  EXPECT_TRUE(frustum.cubeVisible(0.0f, -1.49f, 0.0f, 0.5f));
  EXPECT_TRUE(frustum.cubeVisible(0.0f, 0.0f, 1.49f, 0.5f));
  EXPECT_TRUE(frustum.cubeVisible(0.0f, 0.0f, -1.49f, 0.5f));
}

TEST(FrustumCubes, AnySingleCornerInsideKeepsTheCube) {
  // All six planes face along one diagonal of the cube, so only the corner at the end of that
  // diagonal lies inside: each of the eight corners must be looked at.
  const float k = 1.0f / std::sqrt(3.0f);
  for (int corner = 0; corner < 8; ++corner) {
    const float dx = (corner & 1) ? 1.0f : -1.0f;
    const float dy = (corner & 2) ? 1.0f : -1.0f;
    const float dz = (corner & 4) ? 1.0f : -1.0f;
    Frustum frustum;
    for (auto& plane : frustum.planes) {
      plane[0] = dx * k;
      plane[1] = dy * k;
      plane[2] = dz * k;
      plane[3] = -1.0f;  // the far corner is at +0.73, its three neighbours at -0.42
    }
    EXPECT_TRUE(frustum.cubeVisible(0.0f, 0.0f, 0.0f, 1.0f)) << corner;
    EXPECT_FALSE(frustum.cubeVisible(-0.5f * dx, -0.5f * dy, -0.5f * dz, 1.0f)) << corner;
  }
}

TEST(FrustumCubes, PerspectiveKeepsTheCubeAroundTheEyeAndCullsBeyondFar) {
  float proj[16];
  perspective(60.0f, 1024.0f / 800.0f, 0.1f, 1000.0f, proj);
  Frustum frustum;
  frustum.extractFrom(proj, kIdentity);
  EXPECT_TRUE(frustum.cubeVisible(0.0f, 0.0f, 0.0f, 0.5f)) << "cube containing the eye";
  EXPECT_TRUE(frustum.cubeVisible(0.0f, 0.0f, -10.0f, 0.5f));
  EXPECT_FALSE(frustum.cubeVisible(0.0f, 0.0f, 10.0f, 0.5f)) << "behind the eye";
  EXPECT_FALSE(frustum.cubeVisible(0.0f, 0.0f, -1002.0f, 0.5f)) << "beyond far";
  EXPECT_FALSE(frustum.cubeVisible(0.0f, 20.0f, -10.0f, 0.5f)) << "above the view";
  EXPECT_FALSE(frustum.cubeVisible(-20.0f, 0.0f, -10.0f, 0.5f)) << "left of the view";
}

TEST(FrustumCubes, LookAtViewCullsBehindTheCameraAndKeepsWhatIsAhead) {
  float proj[16];
  perspective(60.0f, 1024.0f / 800.0f, 0.1f, 1000.0f, proj);
  // Standing at (10, 2, 5) and looking along +x, the direction of the room's far wall.
  const float eye[3] = {10.0f, 2.0f, 5.0f};
  const float target[3] = {11.0f, 2.0f, 5.0f};
  const float up[3] = {0.0f, 1.0f, 0.0f};
  float modl[16];
  lookAt(eye, target, up, modl);
  Frustum frustum;
  frustum.extractFrom(proj, modl);
  EXPECT_TRUE(frustum.cubeVisible(20.0f, 2.0f, 5.0f, 0.5f)) << "ahead";
  EXPECT_TRUE(frustum.cubeVisible(10.0f, 2.0f, 5.0f, 0.5f)) << "around the eye";
  EXPECT_FALSE(frustum.cubeVisible(3.0f, 2.0f, 5.0f, 0.5f)) << "behind";
  // Looking along +x with y up, the camera's right is +z.
  EXPECT_TRUE(frustum.cubeVisible(20.0f, 2.0f, 9.0f, 0.5f)) << "ahead, a little right";
  EXPECT_FALSE(frustum.cubeVisible(12.0f, 2.0f, 14.0f, 0.5f)) << "far to the right";
  EXPECT_FALSE(frustum.cubeVisible(12.0f, 2.0f, -4.0f, 0.5f)) << "far to the left";
  // The near plane faces along the view direction, 0.1 in front of the eye.
  expectPlane(frustum, 5, 1.0f, 0.0f, 0.0f, -10.1f, 1e-3f);
}
