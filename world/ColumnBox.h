// A rectangle of grid columns (x, z), the same as of top-down raster pixels (x, row z):
// x0 <= x < x1 and z0 <= z < z1. Empty when either range is; everything() holds every column.
#pragma once

#include <algorithm>
#include <climits>

struct ColumnBox {
  int x0 = 0, z0 = 0, x1 = 0, z1 = 0;

  static constexpr ColumnBox everything() { return {INT_MIN, INT_MIN, INT_MAX, INT_MAX}; }
  // Columns x0 .. x1 - 1 and z0 .. z1 - 1 of a raster or grid of the given extents.
  static constexpr ColumnBox of(int width, int depth) { return {0, 0, width, depth}; }

  bool empty() const { return x0 >= x1 || z0 >= z1; }
  bool contains(int x, int z) const { return x >= x0 && x < x1 && z >= z0 && z < z1; }
  // Grows to hold column (x, z), or all of `other`.
  void add(int x, int z) { add(ColumnBox{x, z, x + 1, z + 1}); }
  void add(const ColumnBox& other) {
    if (other.empty()) return;
    if (empty()) {
      *this = other;
      return;
    }
    x0 = std::min(x0, other.x0);
    z0 = std::min(z0, other.z0);
    x1 = std::max(x1, other.x1);
    z1 = std::max(z1, other.z1);
  }
  // The columns in both; empty when none.
  ColumnBox within(const ColumnBox& other) const {
    const ColumnBox both{std::max(x0, other.x0), std::max(z0, other.z0), std::min(x1, other.x1),
                         std::min(z1, other.z1)};
    return both.empty() ? ColumnBox{} : both;
  }
  bool operator==(const ColumnBox& o) const {
    return x0 == o.x0 && z0 == o.z0 && x1 == o.x1 && z1 == o.z1;
  }
};
