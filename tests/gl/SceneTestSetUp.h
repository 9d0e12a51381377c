// The global scene made ready for GL tests: render resources from media/ in the working
// directory (once per process), small grids with their light volumes, a fixed camera with the
// window's projection, and read-back of the light volume and colour targets (row 0 at the bottom).
#pragma once

#include <GL/glew.h>

#include <string>
#include <vector>

#include "app/Scene.h"
#include "tests/support/EditedCell.h"
#include "world/LightGrid.h"

namespace scenetest {

// What initRenderResources printed; its first call sets the fields it must fill to wrong values.
const std::string& prepareScene();
// A fresh grid of empty, visible air cells at strength 0, with a new light volume.
LightGrid& newGrid(int sx, int sy, int sz);
EditedCell cell(int x, int y, int z);
// The light volume's texels, (r, g, b) floats per texel, x fastest.
std::vector<float> readVolume();
// A colour target as 8-bit RGB, bottom row first.
std::vector<unsigned char> readTarget(int index);
// Places the camera; sets the projection and model-view matrices the display would.
void look(const Vec3& eye, const Vec3& target);
// One frame of the program's recipe (drawFrame), presented in the test window. Returns what
// differed from the GL baseline after each stage ("opaque: blend; "), empty when nothing did.
std::string render();
// What differs from the GL baseline at the window's size, empty when nothing does.
std::string offBaseline();

}  // namespace scenetest
