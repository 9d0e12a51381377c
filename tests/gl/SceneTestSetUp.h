// A Scene with the desktop's GlBackend attached (made once per test binary from media/ in the
// working directory), small grids with their light volumes, a fixed camera, and read-back of the
// light volume and colour targets (row 0 at the bottom). The window is Scene::kWindowWidth x
// Scene::kWindowHeight pixels.
#pragma once

#include <GL/glew.h>

#include <string>
#include <vector>

#include "app/Scene.h"
#include "desktop/GlBackend.h"
#include "tests/support/EditedCell.h"
#include "world/LightGrid.h"

namespace scenetest {

// The binary's scene and its backend, made and attached on first use, and what the backend
// printed while it was made.
Scene& scene();
GlBackend& backend();
const std::string& setUpOutput();
// A fresh grid of empty, visible air cells at strength 0 with a visibility map of its columns,
// and a new light volume.
LightGrid& newGrid(int sx, int sy, int sz);
EditedCell cell(int x, int y, int z);
// The light volume's texels, (r, g, b) floats per texel, x fastest.
std::vector<float> readVolume();
// A colour target as 8-bit RGB, bottom row first.
std::vector<unsigned char> readTarget(int index);
// The camera looking from `eye` at `target` in a window of its start-up size, the cell it looks at
// picked.
void look(const Vec3& eye, const Vec3& target);
// One frame of Scene::drawFrame; what differed from the GL baseline after each stage ("opaque:
// blend; "), and what differs at the window's size now, each empty when nothing does.
std::string render();
std::string offBaseline();

}  // namespace scenetest
