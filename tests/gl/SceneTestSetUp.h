// Set-up of the global scene for the GL tests: the render resources made once per process from
// media/ in the working directory, small grids built by the tests with their light volumes, a
// fixed camera with the window's projection, and read-back of the light volume and colour
// targets. Target pixels have row 0 at the bottom; volume texels run x fastest, then y, then z.
#pragma once

#include <GL/glew.h>

#include <array>
#include <string>
#include <vector>

#include "app/Scene.h"

class LightGrid;

namespace scenetest {

// What initRenderResources left behind, recorded the moment it returned (later tests change the
// scene's fields).
struct SetUpRecord {
  std::string output;  // standard output written during the call
  int frontTarget = -1;
  int backTarget = -1;
  float blockHalfSize = 0.0f;
  bool cpuLightUpload = false;
  double stepAccumulator = -1.0;
  Vec3 eye;
  Vec3 target;
  bool occlusionMapEmpty = false;
};

// Runs scene.initRenderResources() on the first call, after setting every field it must fill to
// a value it must not keep; returns the record of that call.
const SetUpRecord& renderResources();
// Sets the program's fixed GL state, makes the render resources once and resets the frame state.
void prepareScene();
// A fresh sx x sy x sz grid of empty, unhidden air cells with strength 0 and a new light volume
// for it (the previous volume and its framebuffer are deleted). Frame tests call prepareScene first.
LightGrid& newGrid(int sx, int sy, int sz);

// Solid cell, a cell of the given opacity, an emitter of opacity 0 (like the map's lights).
void putSolid(int x, int y, int z);
void putOpacity(int x, int y, int z, float opacity);
void putEmitter(int x, int y, int z, float r, float g, float b, float opacity = 0.0f);
void putLight(int x, int y, int z, float r, float g, float b);
void putHidden(int x, int y, int z);
// Copies the grid's light into the volume on the CPU path (cpu) or the slice path.
void uploadLight(bool cpu = true);

// The light volume's texels as floats, (r, g, b) per texel.
std::vector<float> readVolume();
// The same as 8-bit values, as the unsized GL_RGB format stores them on common drivers.
std::vector<unsigned char> readVolumeBytes();
// Overwrites every texel of the light volume with (v, v, v).
void fillVolume(float v);
// The slice path attaches slice z of the volume last; 0 means no slice pass since creation.
GLint attachedVolumeSlice();

// RGBA floats of one colour target, bottom row first.
struct TargetImage {
  int width = 0, height = 0;
  std::vector<float> rgba;
  std::array<float, 4> at(int x, int y) const;
  // 8-bit RGB, bottom row first, each channel clamped to [0, 1] and rounded.
  std::vector<unsigned char> rgb8() const;
};

// Places the camera and sets the projection and model-view matrices the display would.
void look(const Vec3& eye, const Vec3& target);
// Clears the window state the display clears and runs renderFrame.
void render();
TargetImage readTarget(int index);
// Window (target) pixel of a world point under the camera of the last look().
std::array<int, 2> pixelOf(float x, float y, float z);

}  // namespace scenetest
