// The six normalised clip planes (a, b, c, d) of the current view: right, left, bottom, top,
// far, near. A point is inside a plane when a*x + b*y + c*z + d > 0 (signed distance, world units).
#pragma once

class Frustum {
 public:
  // Builds the planes from projection and model-view matrices given as 16 floats each in GL's
  // column-major order, normalising each plane as soon as it is formed.
  void extractFrom(const float proj[16], const float modl[16]);
  // Divides a, b, c and d of plane `index` by |(a, b, c)|.
  void normalizePlane(int index);
  // False only when some plane has none of the cube's eight corners strictly inside it.
  // Conservative near frustum edges and corners; allocation-free.
  bool cubeVisible(float x, float y, float z, float halfEdge) const;

  float planes[6][4] = {};
};
