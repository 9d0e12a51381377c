// Frustum plane maths: combining the two GL matrices, forming and normalising the six planes,
// and the per-cube visibility test. Matrices are 16 floats in GL's column-major order.
#include "render/Frustum.h"

#include <cassert>
#include <cmath>

void Frustum::extractFrom(const float proj[16], const float modl[16]) {
  float clip[16];
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      clip[4 * r + c] = modl[4 * r + 0] * proj[0 + c] + modl[4 * r + 1] * proj[4 + c] +
                        modl[4 * r + 2] * proj[8 + c] + modl[4 * r + 3] * proj[12 + c];
    }
  }
  // Row 3 of the combined matrix (w) plus or minus row 0, 1 or 2 (x, y, z), in the order
  // right, left, bottom, top, far, near.
  static const int kRow[6] = {0, 0, 1, 1, 2, 2};
  static const float kSign[6] = {-1.0f, 1.0f, 1.0f, -1.0f, -1.0f, 1.0f};
  for (int p = 0; p < 6; ++p) {
    for (int i = 0; i < 4; ++i) {
      planes[p][i] = clip[4 * i + 3] + kSign[p] * clip[4 * i + kRow[p]];
    }
    normalizePlane(p);
  }
}

void Frustum::normalizePlane(int index) {
  assert(index >= 0 && index < 6);
  float* plane = planes[index];
  const float n = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
  plane[0] /= n;
  plane[1] /= n;
  plane[2] /= n;
  plane[3] /= n;
}

bool Frustum::cubeVisible(float x, float y, float z, float halfEdge) const {
  const float s = halfEdge;
  for (int p = 0; p < 6; ++p) {
    const float a = planes[p][0], b = planes[p][1], c = planes[p][2], d = planes[p][3];
    if (a * (x - s) + b * (y - s) + c * (z - s) + d > 0) continue;
    if (a * (x + s) + b * (y - s) + c * (z - s) + d > 0) continue;
    if (a * (x - s) + b * (y + s) + c * (z - s) + d > 0) continue;
    if (a * (x + s) + b * (y + s) + c * (z - s) + d > 0) continue;
    if (a * (x - s) + b * (y - s) + c * (z + s) + d > 0) continue;
    if (a * (x + s) + b * (y - s) + c * (z + s) + d > 0) continue;
    if (a * (x - s) + b * (y + s) + c * (z + s) + d > 0) continue;
    if (a * (x + s) + b * (y + s) + c * (z + s) + d > 0) continue;
    return false;
  }
  return true;
}
