// Cell and column edits with undo. The wandering light belongs to no edit: an edit keeps it lit in
// its cell, and what an edit keeps for undo holds the cell under it, so an undo after the light
// has wandered on leaves no second light behind and puts back every other light as it was.
#include "world/RoomEditor.h"

#include <cassert>

#include "world/LightGrid.h"

namespace {

// The cells as the room knows them, without what only the step and the visibility change.
bool sameMaterial(const GridCell& a, const GridCell& b) {
  return a.material == b.material && a.emitter == b.emitter && a.greenMarker == b.greenMarker &&
         a.redMarker == b.redMarker && a.opacity == b.opacity &&
         a.emission[0] == b.emission[0] && a.emission[1] == b.emission[1] &&
         a.emission[2] == b.emission[2];
}

// The cell palette material `material` makes; an air material makes plain air.
GridCell materialCell(const LightGrid& grid, int material) {
  const Material& m = grid.palette()[material];
  return m.kind == Material::Kind::Air ? GridCell() : m.cell(static_cast<unsigned char>(material));
}

bool isWanderingLight(const LightGrid& grid, int x, int y, int z) {
  return x == grid.lightX && y == grid.lightY && z == grid.lightZ;
}

// True when the box [low, high] overlaps cell c (c - 0.5 .. c + 0.5) on axis coordinate values
// by more than a touch.
bool overlaps(float low, float high, int c) {
  return low < c + 0.5f - RoomEditor::kTouch && high > c - 0.5f + RoomEditor::kTouch;
}

}  // namespace

RoomEditor::Result RoomEditor::place(LightGrid& grid, ColorMap& map, int x, int y, int z,
                                     int material, const Vec3& bodyLow, const Vec3& bodyHigh) {
  if (!grid.inside(x, y, z)) return Result::OffGrid;
  if (isWanderingLight(grid, x, y, z)) return Result::WanderingLight;
  const GridCell cell = materialCell(grid, material);
  const bool air = sameMaterial(cell, GridCell());
  if (!air && overlaps(bodyLow.x, bodyHigh.x, x) && overlaps(bodyLow.y, bodyHigh.y, y) &&
      overlaps(bodyLow.z, bodyHigh.z, z))
    return Result::Body;
  return write(grid, map, x, z, y, {cell}, true);
}

RoomEditor::Result RoomEditor::remove(LightGrid& grid, ColorMap& map, int x, int y, int z) {
  if (!grid.inside(x, y, z)) return Result::OffGrid;
  if (isWanderingLight(grid, x, y, z)) return Result::WanderingLight;
  return write(grid, map, x, z, y, {GridCell()}, true);
}

RoomEditor::Result RoomEditor::fill(LightGrid& grid, ColorMap& map, int x, int z, ColumnKind kind,
                                    int eyeX, int eyeZ) {
  if (!grid.inside(x, 0, z) || !map.contains(x, z)) return Result::OffGrid;
  if (kind != ColumnKind::Air && x == eyeX && z == eyeZ) return Result::EyeColumn;
  const mapcolour::Rgb colour = columnColour(kind);
  return writeColumn(grid, map, x, z, cellFromColour(colour.r, colour.g, colour.b));
}

RoomEditor::Result RoomEditor::clear(LightGrid& grid, ColorMap& map, int x, int z) {
  return fill(grid, map, x, z, ColumnKind::Air, -1, -1);
}

RoomEditor::Result RoomEditor::fillColumn(LightGrid& grid, ColorMap& map, int x, int z,
                                          int material, int eyeX, int eyeZ) {
  if (!grid.inside(x, 0, z) || !map.contains(x, z)) return Result::OffGrid;
  const GridCell pixel = materialCell(grid, material);
  if (!sameMaterial(pixel, GridCell()) && x == eyeX && z == eyeZ) return Result::EyeColumn;
  return writeColumn(grid, map, x, z, pixel);
}

RoomEditor::Result RoomEditor::writeColumn(LightGrid& grid, ColorMap& map, int x, int z,
                                           const GridCell& pixel) {
  std::vector<GridCell> cells(grid.sizeY);
  for (int y = 0; y < grid.sizeY; ++y) cells[y] = columnCell(pixel, y, grid.sizeY);
  return write(grid, map, x, z, 0, std::move(cells), true);
}

RoomEditor::Result RoomEditor::undo(LightGrid& grid, ColorMap& map) {
  if (history.empty()) return Result::NothingToUndo;
  const Edit& last = history.back();
  const Result result = write(grid, map, last.x, last.z, last.y0, last.cells, false);
  if (result == Result::Done || result == Result::Unchanged) history.pop_back();
  return result;
}

RoomEditor::Result RoomEditor::write(LightGrid& grid, ColorMap& map, int x, int z, int y0,
                                     std::vector<GridCell> cells, bool remember) {
  const int count = static_cast<int>(cells.size());
  assert(y0 >= 0 && y0 + count <= grid.sizeY);
  const int lightAt = x == grid.lightX && z == grid.lightZ && grid.lightY >= y0 &&
                              grid.lightY < y0 + count && grid.inside(x, grid.lightY, z)
                          ? grid.lightY - y0
                          : -1;
  if (lightAt >= 0) {
    // The step lets the light into any cell below full opacity that holds no light of its own;
    // an edit does the same.
    GridCell& c = cells[lightAt];
    if (c.opacity >= 1.0f || c.emitter) return Result::WanderingLight;
    const GridCell wandering = grid.getCell(x, grid.lightY, z);
    c.emitter = true;
    for (int k = 0; k < 3; ++k) c.emission[k] = wandering.emission[k];
  }

  Edit before{x, z, y0, std::vector<GridCell>(cells.size())};
  bool changed = false;
  for (int i = 0; i < count; ++i) {
    before.cells[i] = grid.getCell(x, y0 + i, z);
    changed = changed || !sameMaterial(before.cells[i], cells[i]);
  }
  if (!changed) return Result::Unchanged;
  for (int i = 0; i < count; ++i) {
    cells[i].hidden = before.cells[i].hidden;
    grid.setCell(x, y0 + i, z, cells[i]);
  }
  map.refreshColumn(grid, x, z);
  if (remember) {
    if (lightAt >= 0) {
      GridCell& under = before.cells[lightAt];
      under.emitter = false;
      for (float& e : under.emission) e = 0.0f;
    }
    history.push_back(std::move(before));
    if (history.size() > kUndoDepth) history.pop_front();
  }
  return Result::Done;
}

const char* describe(RoomEditor::Result result) {
  switch (result) {
    case RoomEditor::Result::Done: return "done";
    case RoomEditor::Result::Unchanged: return "it is that already";
    case RoomEditor::Result::OffGrid: return "no cell there";
    case RoomEditor::Result::EyeColumn: return "you stand in that column";
    case RoomEditor::Result::Body: return "you stand there";
    case RoomEditor::Result::WanderingLight: return "the wandering light is in the way";
    case RoomEditor::Result::NothingToUndo: return "nothing to undo";
  }
  return "";
}
