// The room's columns in the map's own vocabulary: the cells one map pixel makes of a whole
// column (floor layer 0, ceiling layer sizeY - 1, the walkable layers between), the kind a
// built column reads as, and the map picture of a room as it stands.
#pragma once

#include <vector>

#include "world/CellFromColour.h"
#include "world/GridCell.h"

class LightGrid;

enum class ColumnKind { Air, Wall, Glass, WhiteLight, YellowLight, BlueLight, GreenStart, RedStart };

// The legend colour of a kind (Air is white), and its name in messages ("white light").
mapcolour::Rgb columnColour(ColumnKind kind);
const char* columnKindName(ColumnKind kind);

// The cell at layer y (0 <= y < layers) of a column built from map pixel cell `p`
// (cellFromColour): p itself through the height for walls and glass, solid floor and ceiling,
// a ceiling light in the ceiling, a start marker's two lamps in floor and ceiling.
GridCell columnCell(const GridCell& p, int y, int layers);

// The kind the built column (x, z) has: read from its walkable layers (the wandering light's
// cell aside, unless it is the only one), its ceiling and its floor. Columns no legend colour
// makes read as Air.
ColumnKind columnKindAt(const LightGrid& grid, int x, int z);

// The room as a map picture (8-bit RGB, bottom row z = 0 first), one start marker: at column
// (startX, startZ) when that column is open floor with no lamp (or a marker), in the colour of
// the room's own deciding marker (green when it has none); every other marker column becomes
// plain floor. When the start column is anything else (a wall, glass, a ceiling lamp, off the
// grid), the room's markers stay where they are.
std::vector<unsigned char> roomMapPixels(const LightGrid& grid, int startX, int startZ);
