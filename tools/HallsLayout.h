// The benchmarks' room of halls, written in the map maker's layout characters (tools/MapLegend.h):
// both the light and the frame benchmark build it, at 256 x 256 or larger. One character a column.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "tools/MapLegend.h"

// A `side` x `side` room of halls in the map maker's layout characters (first line the far row,
// z = side - 1): 31 x 31 halls between walls, each wall with a door in its middle, every
// other wall along z glazed on both sides of it, four pillars and three lamps (warm, yellow, blue)
// in every hall, and the start in a hall near the middle.
inline std::vector<std::string> hallsLayout(int side) {
  const int pitch = 32;
  std::vector<std::string> rows(side, std::string(side, '.'));
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) {
      char& c = rows[side - 1 - z][x];
      const int hx = x % pitch, hz = z % pitch;
      const bool door = (hx == 0 && hz >= 14 && hz < 18) || (hz == 0 && hx >= 14 && hx < 18);
      if (x == 0 || z == 0 || x == side - 1 || z == side - 1) c = '#';
      else if ((hx == 0 || hz == 0) && !door)
        c = hx == 0 && (x / pitch) % 2 == 1 && (hz % 16 >= 5 && hz % 16 < 11) ? 'g' : '#';
      else if ((hx == 8 || hx == 24) && (hz == 8 || hz == 24)) c = '#';
      else if (hz == 16 && (hx == 8 || hx == 16 || hx == 24)) c = "YWB"[hx / 8 - 1];
    }
  rows[side - 1 - (side / 2 + 28)][side / 2 + 24] = 'S';
  return rows;
}

// The same halls as map pixels through the map maker's legend: RGB, the row of z = 0 first.
inline std::vector<unsigned char> hallsPixels(int side) {
  const std::vector<std::string> rows = hallsLayout(side);
  std::vector<unsigned char> rgb(static_cast<size_t>(side) * side * 3);
  for (int r = 0; r < side; ++r)
    for (int x = 0; x < side; ++x) {
      mapcolour::Rgb c{};
      if (!maplegend::colourOf(rows[r][x], c)) std::abort();
      unsigned char* p = &rgb[(static_cast<size_t>(side - 1 - r) * side + x) * 3];
      p[0] = static_cast<unsigned char>(c.r);
      p[1] = static_cast<unsigned char>(c.g);
      p[2] = static_cast<unsigned char>(c.b);
    }
  return rgb;
}
