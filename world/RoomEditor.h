// Edits of the room while it runs, a whole column at a time in the map's vocabulary: clear a
// column to open floor, fill one with a kind, undo. Each edit writes the grid's current buffer
// and then the ColorMap's base pixel of the column, read from the cells written
// (ColorMap::refreshColumn), in one call, so no step or frame ever sees half a column.
#pragma once

#include <deque>
#include <vector>

#include "world/ColorMap.h"
#include "world/GridCell.h"
#include "world/RoomColumn.h"

class LightGrid;

class RoomEditor {
 public:
  // Edits kept for undo; older ones are forgotten.
  static constexpr size_t kUndoDepth = 256;

  enum class Result {
    Done,
    Unchanged,       // the column already is what the edit would make it
    OffGrid,         // no such column
    EyeColumn,       // a fill of the column the eye stands in
    WanderingLight,  // the wandering light is where a wall would go; it moves on soon
    NothingToUndo,
  };

  // Writes column (x, z) as a column of `kind` built from the map (walkable layers, floor and
  // ceiling). A fill is refused in the eye's column (eyeX, eyeZ); clearing is a fill with Air
  // that any column may take.
  Result fill(LightGrid& grid, ColorMap& map, int x, int z, ColumnKind kind, int eyeX, int eyeZ);
  Result clear(LightGrid& grid, ColorMap& map, int x, int z);
  // Puts back the column of the last edit as it was before it.
  Result undo(LightGrid& grid, ColorMap& map);
  size_t undoDepth() const { return history.size(); }

 private:
  struct Edit {
    int x, z;
    std::vector<GridCell> cells;  // the column before the edit, floor first
  };
  // Writes `cells` into column (x, z) keeping each cell's `hidden` and the wandering light in
  // its cell; refuses to put a cell it could not stand in (opacity 1) where it is.
  Result write(LightGrid& grid, ColorMap& map, int x, int z, std::vector<GridCell> cells,
               bool remember);

  std::deque<Edit> history;
};

const char* describe(RoomEditor::Result result);
