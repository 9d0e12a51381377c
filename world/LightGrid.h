// The voxel world: a 3-D array of GridCell with a current and a next buffer, the wandering
// light's cell and the global emission strength. Cell (x, y, z) is element ((z*sizeY)+y)*sizeX+x;
// y is up. Reads outside the grid give the solid, dark `outside` cell; writes outside are ignored.
#pragma once

#include <memory>

#include "world/GridCell.h"

class LightGrid {
 public:
  LightGrid();
  LightGrid(const LightGrid&) = delete;
  LightGrid& operator=(const LightGrid&) = delete;

  // Allocates two buffers of empty cells of the given extents, discarding any old ones.
  void resize(int newSizeX, int newSizeY, int newSizeZ);

  // Copy of the cell in `current`, or of `outside` when the coordinate is off the grid.
  GridCell getCell(int x, int y, int z) const;
  // Overwrite a cell of `current` / `next`; nothing happens off the grid.
  void setCell(int x, int y, int z, const GridCell& cell);
  void setNextCell(int x, int y, int z, const GridCell& cell);
  void swapBuffers();

  // One diffusion step: writes the next generation of every cell (all hidden) into `next`,
  // lets the wandering light try a move (uses rand()), and swaps. Allocates nothing.
  void step();

  // True when 0 <= x < sizeX, 0 <= y < sizeY and 0 <= z < sizeZ.
  bool contains(float x, float y, float z) const;

  // Trilinear blend of opacity and light at a continuous position, each cell's value sitting at
  // its integer coordinates; other fields are zero. Off the grid, and for corners beyond its
  // last index, the solid `outside` cell is blended in.
  GridCell sampleAt(float x, float y, float z) const;

  // Light is unbounded; the light volume stores each component as c / (c + 1), so zero stays 0,
  // a light of 1 becomes 0.5 and bright light approaches 1.
  static float compressLight(float c) { return c / (c + 1.0f); }

  // True when the integer coordinate addresses a cell of the grid.
  bool inside(int x, int y, int z) const {
    return x >= 0 && y >= 0 && z >= 0 && x < sizeX && y < sizeY && z < sizeZ;
  }
  // Element index of an inside coordinate.
  long index(int x, int y, int z) const {
    return (static_cast<long>(z) * sizeY + y) * sizeX + x;
  }

  int sizeX = 0, sizeY = 0, sizeZ = 0;
  int lightX = 6, lightY = 3, lightZ = 3;
  float strength = 0.0f;
  bool allocated = false;
  float decay = 0.916f;
  GridCell* current = nullptr;
  GridCell* next = nullptr;
  GridCell outside;
  std::unique_ptr<GridCell[]> bufferA;
  std::unique_ptr<GridCell[]> bufferB;
};
