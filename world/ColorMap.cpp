// ColorMap storage: sizing, the base raster read from the grid's columns, and resetting the marks
// from it.
#include "world/ColorMap.h"

#include <algorithm>
#include <cassert>
#include <iostream>

#include "world/LightGrid.h"

namespace {

// GridCell::isOpaque of cell i, read from its opacity alone: a world build refreshes every
// column, and a whole cell read per layer would cost more than the rest of the build.
bool opaqueAt(const LightGrid& grid, long i) {
  GridCell cell;
  cell.opacity = grid.opacityAt(i);
  return cell.isOpaque();
}

}  // namespace

void ColorMap::resize(int newWidth, int newHeight) {
  assert(newWidth >= 0 && newHeight >= 0);
  std::cout << "size of occlusion map:" << newWidth << "," << newHeight << std::endl;
  if (allocated) {
    base.reset();
    marks.reset();
  }
  width = newWidth;
  height = newHeight;
  const long count = static_cast<long>(width) * height;
  base.reset(new Pixel[count]());
  marks.reset(new Pixel[count]());
  allocated = true;
  ++marksVersion;
}

void ColorMap::resetMarks() {
  const long count = static_cast<long>(width) * height;
  for (long i = 0; i < count; ++i) marks[i] = base[i];
  ++marksVersion;
}

ColorMap::Pixel ColorMap::columnBase(const LightGrid& grid, int x, int z) {
  assert(grid.inside(x, 0, z));
  // The eye stands between floor and ceiling, so only those layers can hide what lies beyond;
  // one cell it can see through there is enough for the rays to go on, which at worst draws a
  // column more than needed and never leaves one out.
  if (grid.sizeY < 3) return kOpen;
  for (int y = 1; y + 1 < grid.sizeY; ++y)
    if (!opaqueAt(grid, grid.index(x, y, z))) return kOpen;
  return kWall;
}

void ColorMap::refreshColumn(const LightGrid& grid, int x, int z) {
  if (!allocated || !contains(x, z) || !grid.inside(x, 0, z)) return;
  basePixel(x, z) = columnBase(grid, x, z);
}

void ColorMap::refreshAll(const LightGrid& grid) {
  if (!allocated || !grid.allocated) return;
  const int w = std::min(width, grid.sizeX), h = std::min(height, grid.sizeZ);
  for (int z = 0; z < h; ++z)
    for (int x = 0; x < w; ++x) basePixel(x, z) = columnBase(grid, x, z);
}
