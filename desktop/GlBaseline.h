// The GL state every pass of the frame starts from and leaves behind, so that no pass depends on
// what another one left: the window's framebuffer, fixed function, depth test on, everything
// else at GL's defaults. A pass sets what it needs on top and restores it before it returns.
#pragma once

#include <string>

// Texture bindings are not part of it: whoever samples a texture binds it first.
class GlBaseline {
 public:
  // Sets the whole baseline; the viewport covers the window (width x height pixels).
  static void apply(int width, int height);
  // What differs from the baseline now, one name per difference ("blend, clear colour"); empty
  // when nothing does. Reads state back with glGet, so it is for tests and checks, not frames.
  static std::string differences(int width, int height);
};
