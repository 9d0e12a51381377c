// Matrix4: identity, transpose, Gauss-Jordan inverse and the look-at view matrix.
#include "world/Matrix4.h"

#include <cassert>
#include <cmath>
#include <utility>

Matrix4::Matrix4() : m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {}

Matrix4 Matrix4::identity() { return Matrix4(); }

Matrix4 Matrix4::transposed() const {
  Matrix4 t;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) t.at(c, r) = at(r, c);
  return t;
}

void Matrix4::inverse() {
  int pivotRow[4], pivotColumn[4];
  bool used[4] = {false, false, false, false};
  for (int round = 0; round < 4; ++round) {
    // Largest remaining element; ">=" lets a later element of equal magnitude win.
    float largest = 0.0f;
    int row = 0, column = 0;
    for (int r = 0; r < 4; ++r) {
      if (used[r]) continue;
      for (int c = 0; c < 4; ++c) {
        if (used[c]) continue;
        if (std::fabs(at(r, c)) >= largest) {
          largest = std::fabs(at(r, c));
          row = r;
          column = c;
        }
      }
    }
    used[column] = true;
    // Bring the pivot onto the diagonal of its column; the implied column exchange is undone
    // at the end.
    if (row != column)
      for (int c = 0; c < 4; ++c) std::swap(at(row, c), at(column, c));
    pivotRow[round] = row;
    pivotColumn[round] = column;

    assert(at(column, column) != 0.0f && "Matrix4::inverse of a singular matrix");
    const float reciprocal = 1.0f / at(column, column);
    // Setting the pivot to 1 before scaling leaves 1/pivot in its place: the inverse is built
    // in the matrix's own storage.
    at(column, column) = 1.0f;
    for (int c = 0; c < 4; ++c) at(column, c) *= reciprocal;

    for (int r = 0; r < 4; ++r) {
      if (r == column) continue;
      const float factor = at(r, column);
      at(r, column) = 0.0f;
      for (int c = 0; c < 4; ++c) at(r, c) -= at(column, c) * factor;
    }
  }
  for (int round = 3; round >= 0; --round) {
    if (pivotRow[round] == pivotColumn[round]) continue;
    for (int r = 0; r < 4; ++r) std::swap(at(r, pivotRow[round]), at(r, pivotColumn[round]));
  }
}

namespace {

// Below this squared length (relative to the unit vectors involved) a cross product is treated
// as zero: the two vectors are parallel and give no usable axis.
constexpr float kDegenerate = 1e-12f;

// A unit vector perpendicular to the unit vector v, taken against the world axis v leans on least.
Vec3 anyPerpendicular(const Vec3& v) {
  const float ax = std::fabs(v.x), ay = std::fabs(v.y), az = std::fabs(v.z);
  Vec3 axis(1, 0, 0);
  if (ay <= ax && ay <= az) axis = Vec3(0, 1, 0);
  else if (az <= ax && az <= ay) axis = Vec3(0, 0, 1);
  return normalize(cross(v, axis));
}

}  // namespace

Matrix4 Matrix4::lookAt(const Vec3& eye, const Vec3& target, const Vec3& up,
                        const Vec3& fallbackRight) {
  Vec3 f = normalize(target - eye);
  if (f.dot(f) == 0.0f) {
    // No view direction at all: face the way the fallback right vector implies.
    f = normalize(cross(up, fallbackRight));
    if (f.dot(f) == 0.0f) f = Vec3(0, 0, -1);
  }
  Vec3 s = cross(f, up);
  if (s.dot(s) <= kDegenerate * up.dot(up)) {
    // Looking along up: keep the caller's right vector, made perpendicular to the view.
    s = fallbackRight - f * f.dot(fallbackRight);
    if (s.dot(s) <= kDegenerate) s = anyPerpendicular(f);
  }
  s.normalize();
  const Vec3 u = cross(s, f);

  Matrix4 cameraToWorld;
  const Vec3 columns[4] = {s, u, -f, eye};
  for (int c = 0; c < 4; ++c) {
    cameraToWorld.at(0, c) = columns[c].x;
    cameraToWorld.at(1, c) = columns[c].y;
    cameraToWorld.at(2, c) = columns[c].z;
  }
  cameraToWorld.inverse();
  return cameraToWorld;
}
