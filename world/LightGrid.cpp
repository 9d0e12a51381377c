// LightGrid storage, bounds-tested access and buffer swapping.
#include "world/LightGrid.h"

#include <cassert>
#include <cmath>
#include <utility>

LightGrid::LightGrid() { outside.opacity = 1.0f; }

void LightGrid::resize(int newSizeX, int newSizeY, int newSizeZ) {
  assert(newSizeX >= 0 && newSizeY >= 0 && newSizeZ >= 0);
  sizeX = newSizeX;
  sizeY = newSizeY;
  sizeZ = newSizeZ;
  if (allocated) {
    current = next = nullptr;
    bufferA.reset();
    bufferB.reset();
  }
  const long count = static_cast<long>(sizeX) * sizeY * sizeZ;
  // new GridCell[n]() value-initialises: every cell of both buffers is empty.
  bufferA.reset(new GridCell[count]());
  bufferB.reset(new GridCell[count]());
  current = bufferA.get();
  next = bufferB.get();
  allocated = true;
}

GridCell LightGrid::getCell(int x, int y, int z) const {
  if (!inside(x, y, z)) return outside;
  return current[index(x, y, z)];
}

void LightGrid::setCell(int x, int y, int z, const GridCell& cell) {
  if (!inside(x, y, z)) return;
  current[index(x, y, z)] = cell;
}

void LightGrid::setNextCell(int x, int y, int z, const GridCell& cell) {
  if (!inside(x, y, z)) return;
  next[index(x, y, z)] = cell;
}

void LightGrid::swapBuffers() {
  std::swap(current, next);
  assert(!allocated || current != next);
}

bool LightGrid::contains(float x, float y, float z) const {
  return x >= 0.0f && y >= 0.0f && z >= 0.0f && x < static_cast<float>(sizeX) &&
         y < static_cast<float>(sizeY) && z < static_cast<float>(sizeZ);
}

GridCell LightGrid::sampleAt(float x, float y, float z) const {
  if (!contains(x, y, z)) return outside;
  // contains() rules out negative coordinates, so truncation is the floor here.
  const int ix = static_cast<int>(x), iy = static_cast<int>(y), iz = static_cast<int>(z);
  const float tx = x - std::floor(x), ty = y - std::floor(y), tz = z - std::floor(z);
  GridCell sum;
  bool first = true;
  for (int a = 0; a <= 1; ++a)
    for (int b = 0; b <= 1; ++b)
      for (int c = 0; c <= 1; ++c) {
        const GridCell corner = getCell(ix + a, iy + b, iz + c)
                                    .scaled(a ? tx : 1.0f - tx)
                                    .scaled(b ? ty : 1.0f - ty)
                                    .scaled(c ? tz : 1.0f - tz);
        sum = first ? corner : sum.plus(corner);
        first = false;
      }
  return sum;
}
