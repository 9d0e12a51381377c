// 4 x 4 float matrix, row-major (row r, column c at index 4r + c), acting on column vectors,
// so a translation sits in the fourth column.
#pragma once

#include "world/Vec3.h"

struct Matrix4 {
  float m[16];

  // The identity matrix.
  Matrix4();

  static Matrix4 identity();
  // Element (r, c) becomes (c, r); the transpose of a row-major matrix is its column-major form.
  Matrix4 transposed() const;
  // Inverts in place by Gauss-Jordan elimination with full pivoting. The matrix must be
  // invertible (a zero pivot is an assertion failure); the program inverts only rigid motions.
  void inverse();
  // World-to-eye matrix of a camera at eye looking at target (the standard look-at view).
  // When the view direction is zero or parallel to up, the right axis is undefined; then
  // fallbackRight (made perpendicular to the view) stands in, so the result is always a finite
  // rigid motion for finite arguments.
  static Matrix4 lookAt(const Vec3& eye, const Vec3& target, const Vec3& up,
                        const Vec3& fallbackRight = Vec3(1, 0, 0));

  float& at(int row, int column) { return m[4 * row + column]; }
  float at(int row, int column) const { return m[4 * row + column]; }
};
