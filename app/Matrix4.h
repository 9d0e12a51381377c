// 4 x 4 float matrix, row-major (row r, column c at index 4r + c), acting on column vectors,
// so a translation sits in the fourth column.
#pragma once

#include "app/Vec3.h"

struct Matrix4 {
  float m[16];

  // The identity matrix.
  Matrix4();

  static Matrix4 identity();
  // Element (r, c) becomes (c, r); the transpose of a row-major matrix is its column-major form.
  Matrix4 transposed() const;
  // Inverts in place by Gauss-Jordan elimination with full pivoting.
  void inverse();
  // World-to-eye matrix of a camera at eye looking at target.
  static Matrix4 lookAt(const Vec3& eye, const Vec3& target, const Vec3& up);

  float& at(int row, int column) { return m[4 * row + column]; }
  float at(int row, int column) const { return m[4 * row + column]; }
};
