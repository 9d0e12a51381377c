// Test harness around the global Scene for the frame passes: the real programs and textures
// (media/ in the working directory), a small grid built by the test, a fixed camera, the window's
// projection, and read-back of the colour targets. Pixels are target pixels, row 0 at the bottom.
#pragma once

#include <GL/glew.h>

#include <array>
#include <string>
#include <vector>

#include "app/Vec3.h"

class LightGrid;

namespace frametest {

// RGBA floats of one colour target, bottom row first.
struct TargetImage {
  int width = 0, height = 0;
  std::vector<float> rgba;
  std::array<float, 4> at(int x, int y) const;
  // 8-bit RGB, bottom row first, each channel clamped to [0, 1] and rounded.
  std::vector<unsigned char> rgb8() const;
};

// Sets the program's fixed GL state, creates the render resources once (textures, programs,
// targets) and resets the frame state.
void prepareScene();
// A fresh sx x sy x sz grid of empty, unhidden air cells with strength 0 and its light volume.
LightGrid& newGrid(int sx, int sy, int sz);
// Solid cell, a cell of the given opacity, an emitter of opacity 0 (like the map's lights).
void putSolid(int x, int y, int z);
void putOpacity(int x, int y, int z, float opacity);
void putEmitter(int x, int y, int z, float r, float g, float b, float opacity = 0.0f);
void putLight(int x, int y, int z, float r, float g, float b);
void putHidden(int x, int y, int z);
// Copies the grid's light into the volume (the CPU path).
void uploadLight();
// Places the camera and sets the projection and model-view matrices the display would.
void look(const Vec3& eye, const Vec3& target);
// Clears the window state the display clears and runs renderFrame.
void render();
TargetImage readTarget(int index);
// Window (target) pixel of a world point under the camera of the last look().
std::array<int, 2> pixelOf(float x, float y, float z);

}  // namespace frametest
