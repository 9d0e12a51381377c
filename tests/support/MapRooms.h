// Rooms for the tests: maps written as rows of legend characters (one a column, z = 0 first), the
// shipped map, a room built from a map at any height, and boxes of cells filled alike. Grid units.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/EditedCell.h"
#include "tests/unit/TestImages.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/RoomColumn.h"
#include "world/WorldBuilder.h"

// The legend's characters in ColumnKind order: air, wall, glass, white, yellow and blue light,
// green and red start.
inline const std::string kLegend = ".#gWYBSR";

// A map's RGB pixels, w x h, row z = 0 first.
struct MapPixels {
  std::vector<unsigned char> rgb;
  int w = 0, h = 0;
};

inline MapPixels legendMap(const std::vector<std::string>& rows) {
  MapPixels m{{}, static_cast<int>(rows[0].size()), static_cast<int>(rows.size())};
  for (const std::string& row : rows)
    for (const char c : row) {
      const mapcolour::Rgb col = columnColour(static_cast<ColumnKind>(kLegend.find(c)));
      for (const int v : {col.r, col.g, col.b}) m.rgb.push_back(static_cast<unsigned char>(v));
    }
  return m;
}

inline MapPixels shippedMap() {
  startImageLibrary();
  MapImage image;
  std::string error;
  EXPECT_TRUE(image.load(QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png", error)) << error;
  return {image.pixels, image.width, image.height};
}

// A room built by buildRoom with `layers` layers; the map's start-up line kept out of the output.
struct BuiltRoom {
  explicit BuiltRoom(const MapPixels& m, int layers = kRoomHeight) {
    testing::internal::CaptureStdout();
    start = buildRoom(m.rgb.data(), m.w, m.h, layers, grid, map);
    testing::internal::GetCapturedStdout();
  }
  // Every cell, x fastest, then y, then z.
  std::vector<GridCell> cells() const { return cellsOf(grid); }
  static std::vector<GridCell> cellsOf(const LightGrid& g) {
    std::vector<GridCell> all;
    for (long i = 0; i < g.cellCount(); ++i)
      all.push_back(g.getCell(static_cast<int>(i % g.sizeX), static_cast<int>(i / g.sizeX % g.sizeY),
                              static_cast<int>(i / g.sizeX / g.sizeY)));
    return all;
  }
  std::vector<ColorMap::Pixel> base() const {
    return {map.base.get(), map.base.get() + map.width * map.height};
  }
  LightGrid grid;
  ColorMap map;
  StartView start;
};

// Cells equal in every field, light and hidden included.
inline bool sameCell(const GridCell& p, const GridCell& q) {
  return p.material == q.material && p.emitter == q.emitter && p.opacity == q.opacity && p.hidden == q.hidden &&
         p.greenMarker == q.greenMarker && p.redMarker == q.redMarker &&
         std::equal(p.emission, p.emission + 3, q.emission) && std::equal(p.light, p.light + 3, q.light);
}

// The index of the first cell where two lists differ (or one ends), -1 when none does.
inline long firstDifference(const std::vector<GridCell>& a, const std::vector<GridCell>& b) {
  const auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end(), sameCell);
  return at.first == a.end() && at.second == b.end() ? -1 : at.first - a.begin();
}

// Cells x0..x1, y0..y1, z0..z1 (inclusive) made anew with `opacity` (1: solid, 0: air).
inline void fillCells(LightGrid& g, int x0, int x1, int y0, int y1, int z0, int z1,
                      float opacity = 1.0f) {
  for (int y = y0; y <= y1; ++y)
    for (int z = z0; z <= z1; ++z)
      for (int x = x0; x <= x1; ++x) EditedCell(g, x, y, z).setTranslucent(opacity);
}
