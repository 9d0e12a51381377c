// Matrix4: the full-pivoting inverse and the look-at view matrix, checked against independent
// double-precision formulas. Row-major, column vectors.
#include <gtest/gtest.h>

#include <cmath>

#include "world/Matrix4.h"

namespace {

Matrix4 fromRows(std::initializer_list<float> values) {
  Matrix4 m;
  int i = 0;
  for (float v : values) m.m[i++] = v;
  return m;
}

void expectIdentityProduct(const Matrix4& a, const Matrix4& b) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += static_cast<double>(a.at(r, k)) * b.at(k, c);
      EXPECT_NEAR(sum, r == c ? 1.0 : 0.0, 1e-5) << "element " << r << "," << c;
    }
}

void expectInverts(const Matrix4& m) {
  Matrix4 inv = m;
  inv.inverse();
  for (float v : inv.m) ASSERT_TRUE(std::isfinite(v));
  expectIdentityProduct(m, inv);
  expectIdentityProduct(inv, m);
}

struct D3 {
  double x, y, z;
};
D3 sub(D3 a, D3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 crs(D3 a, D3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(D3 a, D3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3 unit(D3 a) {
  const double l = std::sqrt(dot(a, a));
  return {a.x / l, a.y / l, a.z / l};
}

// The textbook look-at view matrix (rotation rows s, u, -f times a translation by -eye).
void expectStandardLookAt(D3 eye, D3 target, D3 up) {
  const D3 f = unit(sub(target, eye));
  const D3 s = unit(crs(f, unit(up)));
  const D3 u = crs(s, f);
  const double expected[16] = {s.x,  s.y,  s.z,  -dot(s, eye),  //
                               u.x,  u.y,  u.z,  -dot(u, eye),  //
                               -f.x, -f.y, -f.z, dot(f, eye),   //
                               0,    0,    0,    1};
  const Matrix4 view = Matrix4::lookAt(Vec3(eye.x, eye.y, eye.z),
                                       Vec3(target.x, target.y, target.z), Vec3(up.x, up.y, up.z));
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(view.m[i], expected[i], 2e-5 * (1.0 + std::fabs(expected[i])))
        << "element " << i << " eye (" << eye.x << "," << eye.y << "," << eye.z << ")";
}

}  // namespace

TEST(Matrix4Inverse, LookAtMotionsAndGeneralMatrices) {
  expectInverts(Matrix4::lookAt(Vec3(10, 5, 10), Vec3(0, 0, 1), Vec3(0, 1, 0)));
  expectInverts(Matrix4::lookAt(Vec3(-3, 2, 7), Vec3(4, 1.5f, -2), Vec3(0, 1, 0)));
  expectInverts(Matrix4::lookAt(Vec3(0, 0, 0), Vec3(0, -1, -1), Vec3(0, 1, 0)));
  expectInverts(fromRows({4, 1, -2, 0.5f, 1, 5, 1, -1, -2, 1, 6, 2, 0.5f, -1, 2, 7}));
  expectInverts(fromRows({1, 2, 3, 4, 2, -1, 0, 1, 0, 3, -2, 5, -1, 0.5f, 1, 0}));
  // Zeros on the diagonal beside large off-diagonal pivots and a small one.
  expectInverts(fromRows({0, 1, 0, 9, 3, 0, 0.1f, 0, 0, 7, 0, 1, 1, 0, 2, 0}));
}

TEST(Matrix4Inverse, ZeroDiagonalAndTiedPivotsGiveTheExactInverse) {
  // A scaled 4-cycle: every diagonal element is zero, so elimination without pivoting would
  // divide by zero, and undoing the column exchanges in the wrong order scrambles the result.
  Matrix4 inv = fromRows({0, 2, 0, 0, 0, 0, 0, 3, 4, 0, 0, 0, 0, 0, 5, 0});
  inv.inverse();
  const Matrix4 expected =
      fromRows({0, 0, 0.25f, 0, 0.5f, 0, 0, 0, 0, 0, 0, 0.2f, 0, 1.0f / 3, 0, 0});
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(inv.m[i], expected.m[i]) << "element " << i;

  // A Hadamard matrix: every element ties for the largest magnitude; H^-1 = H^T / 4 exactly.
  const Matrix4 h = fromRows({1, 1, 1, 1, 1, -1, 1, -1, 1, 1, -1, -1, 1, -1, -1, 1});
  inv = h;
  inv.inverse();
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(inv.at(r, c), h.at(c, r) / 4.0f) << r << "," << c;
}

TEST(Matrix4LookAt, EqualsTheStandardViewMatrix) {
  expectStandardLookAt({10, 5, 10}, {0, 0, 1}, {0, 1, 0});
  expectStandardLookAt({0, 0, 0}, {0, 0, -1}, {0, 1, 0});
  expectStandardLookAt({2.5, 1.5, 3}, {7, 1.5, 3}, {0, 1, 0});
  expectStandardLookAt({-4, 3, 8}, {1, -2, -6}, {0, 1, 0});
  expectStandardLookAt({1, 2, 3}, {1.2, 30, 3.1}, {0, 1, 0});  // steeply up
  expectStandardLookAt({0, 0, 0}, {1, 1, 1}, {0, 2, 0});        // up need not be unit
}

TEST(Matrix4LookAt, TransposeIsTheColumnMajorFormWithTranslationAt12To14) {
  const Matrix4 gl = Matrix4::lookAt(Vec3(3, 4, 5), Vec3(3, 4, 0), Vec3(0, 1, 0)).transposed();
  // Looking along -z from (3, 4, 5): the view is a pure translation by -eye.
  const float expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -3, -4, -5, 1};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(gl.m[i], expected[i], 1e-6f) << "element " << i;
}

TEST(Matrix4LookAt, ViewAlongUpKeepsTheFallbackRightAndStaysFinite) {
  // Straight down with right (1, 0, 0) matches the limit of tilting down along the heading -z.
  const Matrix4 down = Matrix4::lookAt(Vec3(2, 5, 3), Vec3(2, 0, 3), Vec3(0, 1, 0), Vec3(1, 0, 0));
  const Matrix4 nearly =
      Matrix4::lookAt(Vec3(2, 5, 3), Vec3(2, 0, 3 - 1e-3f), Vec3(0, 1, 0), Vec3(1, 0, 0));
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(down.m[i], nearly.m[i], 2e-3f) << "element " << i;

  // Eye on the target, up or down with no usable fallback: still a finite rigid motion.
  const Matrix4 cases[] = {
      Matrix4::lookAt(Vec3(1, 2, 3), Vec3(1, 2, 3), Vec3(0, 1, 0), Vec3(0, 0, 1)),
      Matrix4::lookAt(Vec3(1, 2, 3), Vec3(1, 9, 3), Vec3(0, 1, 0), Vec3(0, 0, 0)),
      Matrix4::lookAt(Vec3(1, 2, 3), Vec3(1, -9, 3), Vec3(0, 1, 0), Vec3(0, 1, 0)),
      Matrix4::lookAt(Vec3(1, 2, 3), Vec3(1, 2, 3), Vec3(0, 1, 0), Vec3(0, 0, 0)),
  };
  for (const Matrix4& m : cases) {
    for (float v : m.m) ASSERT_TRUE(std::isfinite(v));
    Matrix4 rotation = m;  // its rotation part must be orthonormal: R R^T = I
    for (int i = 0; i < 3; ++i) rotation.at(i, 3) = 0.0f;
    expectIdentityProduct(rotation, rotation.transposed());
  }
  // With the eye on the target and right (0, 0, 1), the camera faces +x.
  EXPECT_NEAR(cases[0].at(2, 0), -1.0f, 1e-6f);
}
