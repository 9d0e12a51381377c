// Creating the render state's GPU resources: programs, textures, the shared framebuffer and the
// two colour targets at start-up; the light volume whenever the grid changes; the targets'
// size whenever the window's changes. Files come from media/ under the working directory.
#pragma once

#include "render/RenderState.h"

class RenderResources {
 public:
  // Textures, shader programs (the pairs the passes draw with linked now), the shared
  // framebuffer and both colour targets at width x height; the upload path starts on the CPU
  // array, the targets in their first roles; ends with the GL baseline applied.
  static void create(RenderState& state, int width, int height);
  // The 3-D light volume (one black texel per cell) and the framebuffer that draws into it. A
  // room beyond the driver's largest 3-D texture ends the process with one line, status 1.
  static void createLightVolume(RenderState& state, int sizeX, int sizeY, int sizeZ);
  // Gives the shared framebuffer and both targets the window's new size; nothing happens before
  // the targets exist or at the same size.
  static void resizeTargets(RenderState& state, int width, int height);
};
