// Edits of the room while it runs, with undo: one cell made of a palette material or emptied, or
// a whole column built as a map pixel builds it. Each edit writes the grid's current buffer and
// then the ColorMap's base pixel of its column (ColorMap::refreshColumn) in one call, so no step
// or frame ever sees half an edit. Grid cells (x, y, z), y up; the body's box in grid units.
#pragma once

#include <deque>
#include <vector>

#include "world/ColorMap.h"
#include "world/GridCell.h"
#include "world/RoomColumn.h"
#include "world/Vec3.h"

class LightGrid;

class RoomEditor {
 public:
  // Edits kept for undo, single cells and columns alike; older ones are forgotten.
  static constexpr size_t kUndoDepth = 256;
  // A box overlapping a cell by less than this on an axis only touches it (as the body's own
  // collision counts it).
  static constexpr float kTouch = 1e-3f;

  enum class Result {
    Done,
    Unchanged,       // the cells already are what the edit would make them
    OffGrid,         // no such cell or column
    EyeColumn,       // a fill of the column the eye stands in
    Body,            // a material put where the body's box is
    WanderingLight,  // the wandering light's cell written, or a wall put where it is
    NothingToUndo,
  };

  // Cell (x, y, z) becomes palette material `material` (an air material empties it). Refused in
  // the wandering light's cell, and, for any other material than air, in every cell the box
  // [bodyLow, bodyHigh] overlaps (the eye's cell always among them). Floor and ceiling cells
  // are cells like any other; the grid's outside is never written.
  Result place(LightGrid& grid, ColorMap& map, int x, int y, int z, int material,
               const Vec3& bodyLow, const Vec3& bodyHigh);
  // Cell (x, y, z) becomes air; refused in the wandering light's cell.
  Result remove(LightGrid& grid, ColorMap& map, int x, int y, int z);

  // Writes column (x, z) as a map pixel of `kind` builds it (walkable layers, floor and
  // ceiling). A fill is refused in the eye's column (eyeX, eyeZ); clearing is a fill with Air
  // that any column may take.
  Result fill(LightGrid& grid, ColorMap& map, int x, int z, ColumnKind kind, int eyeX, int eyeZ);
  Result clear(LightGrid& grid, ColorMap& map, int x, int z);
  // The same with a palette material, by one rule for every material (the map's own for the
  // legend's kinds): plain wall floor and ceiling, the walkable layers of the material for walls
  // and glass; for a light the ceiling cell of the material over open walkable layers, as the
  // map's lamps are.
  Result fillColumn(LightGrid& grid, ColorMap& map, int x, int z, int material, int eyeX,
                    int eyeZ);

  // Puts back the cells of the last edit as they were before it.
  Result undo(LightGrid& grid, ColorMap& map);
  size_t undoDepth() const { return history.size(); }

 private:
  struct Edit {
    int x, z, y0;
    // The cells y0, y0 + 1, ... of column (x, z) before the edit, without the wandering light.
    std::vector<GridCell> cells;
  };
  // Writes `cells` into column (x, z) from layer y0 up, keeping each cell's `hidden` and the
  // wandering light in its cell; refuses to put a cell there it could not stay in (opacity 1,
  // or a light of its own).
  Result write(LightGrid& grid, ColorMap& map, int x, int z, int y0, std::vector<GridCell> cells,
               bool remember);
  Result writeColumn(LightGrid& grid, ColorMap& map, int x, int z, const GridCell& pixel);

  std::deque<Edit> history;
};

const char* describe(RoomEditor::Result result);
