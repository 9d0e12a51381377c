// The map maker's layout characters: one per map column, each standing for a colour of the room
// map's legend (README.md, "The room map"). Shared by the map maker and the frame benchmark.
#pragma once

#include "world/CellFromColour.h"

namespace maplegend {

// The colour of a layout character; false for a character the legend does not know.
inline bool colourOf(char c, mapcolour::Rgb& rgb) {
  switch (c) {
    case '.': rgb = mapcolour::kAir; return true;
    case '#': rgb = mapcolour::kWall; return true;
    case 'g': rgb = mapcolour::kGlass; return true;
    case 'W': rgb = mapcolour::kWarmLight; return true;
    case 'Y': rgb = mapcolour::kYellowLight; return true;
    case 'B': rgb = mapcolour::kBlueLight; return true;
    case 'S': rgb = mapcolour::kGreenMarker; return true;
    case 'R': rgb = mapcolour::kRedMarker; return true;
    default: return false;
  }
}

}  // namespace maplegend
