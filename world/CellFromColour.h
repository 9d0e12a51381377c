// The map colour legend: which cell a top-down map pixel (8-bit R, G, B) stands for.
// Only the exact legend colours count; every other colour is empty air.
#pragma once

#include "world/GridCell.h"

// Map pixel colours of the legend.
namespace mapcolour {
struct Rgb {
  int r, g, b;
};
constexpr Rgb kWall{0, 0, 0};
constexpr Rgb kGlass{128, 128, 128};
constexpr Rgb kWarmLight{0, 0, 255};
constexpr Rgb kYellowLight{255, 0, 255};
constexpr Rgb kBlueLight{120, 255, 0};
constexpr Rgb kGreenMarker{0, 255, 0};
constexpr Rgb kRedMarker{255, 0, 0};
constexpr Rgb kAir{255, 255, 255};
}  // namespace mapcolour

// The cell a map pixel produces; always built from an all-zero cell.
GridCell cellFromColour(int r, int g, int b);
