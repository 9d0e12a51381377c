// The frame benchmark's three-dimensional room, written in code: 48 x 8 x 48 cells (floor y = 0,
// ceiling y = 7, the eye at y = 2) with windows, a glazed window, an arch, a low wall and a slot
// under the ceiling in one wall, a gallery with a parapet and steps behind it, a bridge across
// the first hall, and ceiling lamps; its views look through the openings. Grid units, y up.
#pragma once

#include <string>
#include <vector>

#include "tools/MapLegend.h"
#include "world/CellFromColour.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/WorldBuilder.h"

namespace galleryroom {

constexpr int kSide = 48, kLayers = 8;

struct View {
  const char* name;
  Vec3 eye, target;
};

// From the first hall through the openings of the wall at x = 16; under the gallery; up at the
// gallery's edge over the low wall; through the eye-height window.
inline const View kViews[] = {
    {"gallery-room", Vec3(6.0f, 2.0f, 24.0f), Vec3(16.0f, 2.0f, 24.0f)},
    {"gallery-under", Vec3(20.0f, 2.0f, 10.0f), Vec3(31.0f, 2.5f, 30.0f)},
    {"gallery-edge", Vec3(9.0f, 2.0f, 30.0f), Vec3(20.0f, 4.0f, 32.0f)},
    {"gallery-window", Vec3(11.0f, 2.0f, 7.0f), Vec3(16.0f, 2.5f, 4.5f)},
};

// The map the columns start from, in the map maker's layout characters (row z, column x): the
// outer wall, full walls at x = 16 and x = 32, a lamp every 8 columns and the start marker.
inline std::vector<unsigned char> mapPixels() {
  std::vector<unsigned char> rgb;
  rgb.reserve(3 * kSide * kSide);
  for (int z = 0; z < kSide; ++z)
    for (int x = 0; x < kSide; ++x) {
      char c = '.';
      if (x == 0 || z == 0 || x == kSide - 1 || z == kSide - 1 || x == 16 || x == 32) c = '#';
      else if (x % 8 == 4 && z % 8 == 4) c = "WYB"[(x / 8 + z / 8) % 3];
      else if (x == 6 && z == 24) c = 'S';
      mapcolour::Rgb col{};
      maplegend::colourOf(c, col);
      for (int v : {col.r, col.g, col.b}) rgb.push_back(static_cast<unsigned char>(v));
    }
  return rgb;
}

// Sizes and builds the room into `grid` and `map` as a map is built, then writes the cells that
// no map can describe, one at a time, and refreshes the visibility's raster from them.
inline StartView build(LightGrid& grid, ColorMap& map) {
  const std::vector<unsigned char> rgb = mapPixels();
  const StartView start = buildRoom(rgb.data(), kSide, kSide, kLayers, grid, map);
  GridCell wall = grid.getCell(0, 2, 0), air;
  const mapcolour::Rgb g = mapcolour::kGlass;
  const GridCell glass = cellFromColour(g.r, g.g, g.b);
  const auto fill = [&](int x0, int x1, int y0, int y1, int z0, int z1, const GridCell& c) {
    for (int z = z0; z <= z1; ++z)
      for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) grid.setCell(x, y, z, c);
  };
  // The wall at x = 16: a window at eye height, a glazed one, an arch, a low wall, a slot.
  fill(16, 16, 2, 3, 3, 6, air);
  fill(16, 16, 2, 3, 10, 13, glass);
  fill(16, 16, 1, 4, 17, 22, air);
  fill(16, 16, 2, 6, 26, 33, air);
  fill(16, 16, 5, 5, 37, 40, air);
  // The gallery behind it at layer 4, its parapet along the front edge, steps up to it.
  fill(17, 31, 4, 4, 24, 46, wall);
  fill(17, 31, 5, 5, 24, 24, wall);
  for (int s = 0; s < 3; ++s) fill(25 + s, 25 + s, 1, 1 + s, 19, 22, wall);
  // Windows over the gallery in the wall at x = 32, and a doorway below.
  for (int z = 28; z <= 44; z += 4) fill(32, 32, 5, 6, z, z + 1, air);
  fill(32, 32, 1, 3, 8, 11, air);
  // A bridge across the first hall.
  fill(1, 15, 4, 4, 40, 42, wall);
  map.refreshAll(grid);
  return start;
}

}  // namespace galleryroom
