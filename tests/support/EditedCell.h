// A copy of one grid cell that writes itself back through setCell when it goes out of scope, so a
// test edits a cell in one expression: EditedCell(grid, x, y, z).setSolid().
#pragma once

#include "world/LightGrid.h"

struct EditedCell : GridCell {
  EditedCell(LightGrid& g, long i)
      : EditedCell(g, static_cast<int>(i % g.sizeX), static_cast<int>(i / g.sizeX % g.sizeY),
                   static_cast<int>(i / g.sizeX / g.sizeY)) {}
  EditedCell(LightGrid& g, int cx, int cy, int cz)
      : GridCell(g.getCell(cx, cy, cz)), grid(g), x(cx), y(cy), z(cz) {}
  EditedCell(const EditedCell&) = delete;
  EditedCell& operator=(const EditedCell&) = delete;
  ~EditedCell() { grid.setCell(x, y, z, *this); }
  void setLight(float r, float g, float b) { light[0] = r, light[1] = g, light[2] = b; }
  LightGrid& grid;
  int x, y, z;
};
