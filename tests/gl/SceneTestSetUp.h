// A Scene with the desktop's GlBackend attached, made ready for GL tests: the backend's resources
// from media/ in the working directory (once per test binary), small grids with their light
// volumes, a fixed camera, and read-back of the light volume and colour targets (row 0 at the
// bottom). Window pixels; the window is Scene::kWindowWidth x Scene::kWindowHeight.
#pragma once

#include <GL/glew.h>

#include <string>
#include <vector>

#include "app/Scene.h"
#include "desktop/GlBackend.h"
#include "tests/support/EditedCell.h"
#include "world/LightGrid.h"

namespace scenetest {

// The binary's scene and its backend, made and attached on first use.
Scene& scene();
GlBackend& backend();
// What the backend printed while it was made.
const std::string& setUpOutput();
// A fresh grid of empty, visible air cells at strength 0 with a visibility map of its columns,
// and a new light volume.
LightGrid& newGrid(int sx, int sy, int sz);
EditedCell cell(int x, int y, int z);
// The light volume's texels, (r, g, b) floats per texel, x fastest.
std::vector<float> readVolume();
// A colour target as 8-bit RGB, bottom row first.
std::vector<unsigned char> readTarget(int index);
// Places the camera looking from `eye` at `target` and picks the cell it looks at; the window
// at its start-up size.
void look(const Vec3& eye, const Vec3& target);
// One frame of the program's recipe (Scene::drawFrame) on the backend, shown in the test window.
// Returns what differed from the GL baseline after each stage ("opaque: blend; "), empty when
// nothing did.
std::string render();
// What differs from the GL baseline at the window's size, empty when nothing does.
std::string offBaseline();

}  // namespace scenetest
