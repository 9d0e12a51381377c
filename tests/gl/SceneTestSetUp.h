// Shared set-up of the scene GL tests: the global scene's render resources, made once per
// process from media/ in the working directory, and light volumes for grids built directly.
#pragma once

#include <GL/glew.h>

#include <string>
#include <vector>

#include "app/Scene.h"

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

// Gives the scene a new, empty grid of the given extents and a new light volume for it (the
// previous volume and its framebuffer are deleted).
void makeGridAndVolume(int sizeX, int sizeY, int sizeZ);

// The light volume's texels as floats, (r, g, b) per texel, x fastest, then y, then z.
std::vector<float> readVolume();
// The same as 8-bit values, as the unsized GL_RGB format stores them on common drivers.
std::vector<unsigned char> readVolumeBytes();
// Overwrites every texel of the light volume with (v, v, v).
void fillVolume(float v);

// The slice path attaches slice z of the volume last; 0 means no slice pass since creation.
GLint attachedVolumeSlice();

}  // namespace scenetest
