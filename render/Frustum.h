// The six normalised clip planes (a, b, c, d) of the current view: right, left, bottom, top,
// far, near. A point is inside a plane when a*x + b*y + c*z + d > 0 (signed distance, world units).
#pragma once

class Frustum {
 public:
  float planes[6][4] = {};
};
