// Rooms for the tests: maps written as rows of legend characters (one a column, z = 0 first), the
// shipped map, a room built from a map at any height, and boxes of cells filled alike. Grid units.
#pragma once

#include <gtest/gtest.h>

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
  std::vector<GridCell> cells() const {
    std::vector<GridCell> all;
    for (long i = 0; i < grid.cellCount(); ++i)
      all.push_back(grid.getCell(static_cast<int>(i % grid.sizeX),
                                 static_cast<int>(i / grid.sizeX % grid.sizeY),
                                 static_cast<int>(i / grid.sizeX / grid.sizeY)));
    return all;
  }
  std::vector<ColorMap::Pixel> base() const {
    return {map.base.get(), map.base.get() + map.width * map.height};
  }
  LightGrid grid;
  ColorMap map;
  StartView start;
};

// Cells x0..x1, y0..y1, z0..z1 (inclusive) made anew with `opacity` (1: solid, 0: air).
inline void fillCells(LightGrid& g, int x0, int x1, int y0, int y1, int z0, int z1,
                      float opacity = 1.0f) {
  for (int y = y0; y <= y1; ++y)
    for (int z = z0; z <= z1; ++z)
      for (int x = x0; x <= x1; ++x) EditedCell(g, x, y, z).setTranslucent(opacity);
}
