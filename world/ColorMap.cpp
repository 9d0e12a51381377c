// ColorMap storage: sizing, the base raster read from the grid's columns, resetting the marks
// from it over the box of what was written since, and the boxes of what changed.
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
  // A new room's cells start shown. Both rasters start alike, but base is filled next, so the
  // first reset copies it whole.
  markedBox = ColumnBox{};
  baseWritten = ColumnBox::of(width, height);
  shownColumns = ColumnBox::everything();
  newMarksVersion(ColumnBox::of(width, height));
}

void ColorMap::resetMarks() {
  ColumnBox stale = markedBox;
  stale.add(baseWritten);
  stale = stale.within(ColumnBox::of(width, height));
  for (int y = stale.z0; y < stale.z1; ++y) {
    const long row = static_cast<long>(y) * width;
    std::copy(base.get() + row + stale.x0, base.get() + row + stale.x1,
              marks.get() + row + stale.x0);
  }
  markedBox = baseWritten = ColumnBox{};
  newMarksVersion(stale);
}

void ColorMap::setBase(int x, int y, const Pixel& colour) {
  assert(contains(x, y));
  base[static_cast<long>(y) * width + x] = colour;
  baseWritten.add(x, y);
}

void ColorMap::setMark(int x, int y, const Pixel& colour) {
  assert(contains(x, y));
  marks[static_cast<long>(y) * width + x] = colour;
  markedBox.add(x, y);
  newMarksVersion(ColumnBox{x, y, x + 1, y + 1});
}

void ColorMap::newMarksVersion(const ColumnBox& changed) {
  ++marksVersion;
  lastChange = changed;
}

ColumnBox ColorMap::changedSince(long version) const {
  if (version == marksVersion) return ColumnBox{};
  return version == marksVersion - 1 ? lastChange : ColumnBox::of(width, height);
}

ColorMap::Pixel ColorMap::columnBase(const LightGrid& grid, int x, int z) {
  assert(grid.inside(x, 0, z));
  // One cell the eye can see through is enough for the rays to go on, which at worst draws a
  // column more than needed and never leaves one out. The floor and ceiling layers count too: an
  // edit may dig them out, and an eye down in a trench sees along it under a wall. A room too low
  // to stand between floor and ceiling has no column that stops the rays.
  if (grid.sizeY < 3) return kOpen;
  for (int y = 0; y < grid.sizeY; ++y)
    if (!opaqueAt(grid, grid.index(x, y, z))) return kOpen;
  return kWall;
}

void ColorMap::refreshColumn(const LightGrid& grid, int x, int z) {
  if (!allocated || !contains(x, z) || !grid.inside(x, 0, z)) return;
  setBase(x, z, columnBase(grid, x, z));
}

void ColorMap::refreshAll(const LightGrid& grid) {
  if (!allocated || !grid.allocated) return;
  const int w = std::min(width, grid.sizeX), h = std::min(height, grid.sizeZ);
  for (int z = 0; z < h; ++z)
    for (int x = 0; x < w; ++x) base[static_cast<long>(z) * width + x] = columnBase(grid, x, z);
  baseWritten.add(ColumnBox::of(w, h));
}
