// Picking the cell the eye looks at: a walk along the view ray through the grid's unit cells
// (cell (x, y, z) spans x - 0.5 .. x + 0.5 on each axis), grid units, y up.
#pragma once

#include "world/Vec3.h"

class LightGrid;

struct CellPick {
  // Edits reach this far along the ray, in cells.
  static constexpr float kRange = 8.0f;

  bool hit = false;
  int cell[3] = {0, 0, 0};
  // The unit axis normal of the face the ray entered the cell through, pointing back out of it.
  int normal[3] = {0, 0, 0};
  // Ray length from the eye to where it enters the cell.
  float distance = 0.0f;

  // The column a fill aims at: the open cell in front of a side face, the picked cell's own
  // column for a top or bottom face (floor and ceiling).
  int fillX() const { return normal[1] != 0 ? cell[0] : cell[0] + normal[0]; }
  int fillZ() const { return normal[1] != 0 ? cell[2] : cell[2] + normal[2]; }
};

// The first cell that is not open air (wall, glass, a light, floor or ceiling; not the wandering
// light) whose entry along the ray from `eye` in `direction` lies within `range`. The eye's own
// cell is not a candidate, and nothing beyond the grid is: a ray that leaves the grid finds
// nothing. Where the ray passes exactly through an edge or corner, the cells that touch it there
// are tried side ones first (x, then y, then z), so a ray never slips between two cells that
// meet at a corner.
CellPick pickCell(const LightGrid& grid, const Vec3& eye, const Vec3& direction,
                  float range = CellPick::kRange);
