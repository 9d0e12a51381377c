// Column edits with undo. The wandering light belongs to no column: an edit keeps it lit in its
// cell, and the walkable layers hold no other emitter (the map puts lights only in the ceiling).
#include "world/RoomEditor.h"

#include <cassert>

#include "world/LightGrid.h"

RoomEditor::Result RoomEditor::fill(LightGrid& grid, ColorMap& map, int x, int z, ColumnKind kind,
                                    int eyeX, int eyeZ) {
  if (!grid.inside(x, 0, z) || !map.contains(x, z)) return Result::OffGrid;
  if (kind != ColumnKind::Air && x == eyeX && z == eyeZ) return Result::EyeColumn;
  const mapcolour::Rgb colour = columnColour(kind);
  const GridCell p = cellFromColour(colour.r, colour.g, colour.b);
  std::vector<GridCell> cells(grid.sizeY);
  for (int y = 0; y < grid.sizeY; ++y) cells[y] = columnCell(p, y, grid.sizeY);
  return write(grid, map, x, z, std::move(cells), true);
}

RoomEditor::Result RoomEditor::clear(LightGrid& grid, ColorMap& map, int x, int z) {
  return fill(grid, map, x, z, ColumnKind::Air, -1, -1);
}

RoomEditor::Result RoomEditor::undo(LightGrid& grid, ColorMap& map) {
  if (history.empty()) return Result::NothingToUndo;
  const Edit& last = history.back();
  const Result result = write(grid, map, last.x, last.z, last.cells, false);
  if (result == Result::Done || result == Result::Unchanged) history.pop_back();
  return result;
}

namespace {

// The cells as the room knows them, without what only the step and the visibility change.
bool sameMaterial(const GridCell& a, const GridCell& b) {
  return a.emitter == b.emitter && a.greenMarker == b.greenMarker && a.redMarker == b.redMarker &&
         a.opacity == b.opacity && a.emission[0] == b.emission[0] &&
         a.emission[1] == b.emission[1] && a.emission[2] == b.emission[2];
}

}  // namespace

RoomEditor::Result RoomEditor::write(LightGrid& grid, ColorMap& map, int x, int z,
                                     std::vector<GridCell> cells, bool remember) {
  assert(static_cast<int>(cells.size()) == grid.sizeY);
  const bool lightHere = x == grid.lightX && z == grid.lightZ && grid.inside(x, grid.lightY, z);
  const GridCell wandering = grid.getCell(grid.lightX, grid.lightY, grid.lightZ);
  for (int y = 1; y + 1 < grid.sizeY; ++y) {
    GridCell& c = cells[y];
    if (lightHere && y == grid.lightY) {
      // The step lets the light into any cell below full opacity; an edit does the same.
      if (c.opacity >= 1.0f) return Result::WanderingLight;
      c.emitter = true;
      for (int k = 0; k < 3; ++k) c.emission[k] = wandering.emission[k];
    } else if (c.emitter) {
      // A light an earlier edit kept in this column has wandered on since.
      c.emitter = false;
      for (float& e : c.emission) e = 0.0f;
    }
  }

  Edit before{x, z, std::vector<GridCell>(grid.sizeY)};
  bool changed = false;
  for (int y = 0; y < grid.sizeY; ++y) {
    before.cells[y] = grid.getCell(x, y, z);
    changed = changed || !sameMaterial(before.cells[y], cells[y]);
  }
  if (!changed) return Result::Unchanged;
  for (int y = 0; y < grid.sizeY; ++y) {
    cells[y].hidden = before.cells[y].hidden;
    grid.setCell(x, y, z, cells[y]);
  }
  map.refreshColumn(grid, x, z);
  if (remember) {
    history.push_back(std::move(before));
    if (history.size() > kUndoDepth) history.pop_front();
  }
  return Result::Done;
}

const char* describe(RoomEditor::Result result) {
  switch (result) {
    case RoomEditor::Result::Done: return "done";
    case RoomEditor::Result::Unchanged: return "the column is that already";
    case RoomEditor::Result::OffGrid: return "no column there";
    case RoomEditor::Result::EyeColumn: return "you stand in that column";
    case RoomEditor::Result::WanderingLight: return "the wandering light is in the way";
    case RoomEditor::Result::NothingToUndo: return "nothing to undo";
  }
  return "";
}
