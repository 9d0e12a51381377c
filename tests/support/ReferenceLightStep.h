// The light diffusion step written plainly from its rule over whole GridCells (two buffers, seven
// bounds-tested reads per cell, single precision, tinted glass keeping each channel by its
// material's share, then the wandering light): LightGrid::step's yardstick, bit for bit in the unit
// tests and for speed in the step benchmark.
#pragma once

#include <cstdlib>
#include <vector>

#include "world/LightGrid.h"

struct PlainGrid {
  PlainGrid(int x, int y, int z) : sizeX(x), sizeY(y), sizeZ(z), current(static_cast<size_t>(x) * y * z), next(current.size()) {
    outside.setSolid();
  }
  bool inside(int x, int y, int z) const { return x >= 0 && y >= 0 && z >= 0 && x < sizeX && y < sizeY && z < sizeZ; }
  long index(int x, int y, int z) const { return (static_cast<long>(z) * sizeY + y) * sizeX + x; }
  GridCell getCell(int x, int y, int z) const { return inside(x, y, z) ? current[index(x, y, z)] : outside; }
  void setNextCell(int x, int y, int z, const GridCell& c) { if (inside(x, y, z)) next[index(x, y, z)] = c; }
  // The same cells, light and light position in a LightGrid.
  void copyTo(LightGrid& g) const {
    g.resize(sizeX, sizeY, sizeZ);
    for (long i = 0; i < static_cast<long>(current.size()); ++i)
      g.setCell(static_cast<int>(i % sizeX), static_cast<int>(i / sizeX % sizeY), static_cast<int>(i / sizeX / sizeY), current[i]);
    g.setPalette(palette);
    g.lightX = lightX, g.lightY = lightY, g.lightZ = lightZ, g.strength = strength;
  }

  int sizeX, sizeY, sizeZ;
  int lightX = 6, lightY = 3, lightZ = 3;
  float strength = 0.0f, decay = 0.916f;
  std::vector<GridCell> current, next;
  GridCell outside;
  Palette palette = Palette::standard();
};

// The standard palette's red glass.
inline unsigned char redGlass(const Palette& p) {
  for (int m = 0; m < p.size(); ++m)
    if (p[m].kind == Material::Kind::Glass && p[m].colour[0] == 255 && p[m].colour[1] == 0 && p[m].colour[2] == 0) return static_cast<unsigned char>(m);
  return 0;
}

inline void referenceLightStep(PlainGrid& g) {
  for (int z = 0; z < g.sizeZ; ++z)
    for (int y = 0; y < g.sizeY; ++y)
      for (int x = 0; x < g.sizeX; ++x) {
        const GridCell c = g.getCell(x, y, z);
        const GridCell around[6] = {g.getCell(x + 1, y, z), g.getCell(x - 1, y, z), g.getCell(x, y + 1, z),
                                    g.getCell(x, y - 1, z), g.getCell(x, y, z + 1), g.getCell(x, y, z - 1)};
        GridCell out = c;
        const Material& m = g.palette[c.material];
        const bool tinted = m.tinted() && m.opacity < 0.999;
        for (int k = 0; k < 3; ++k) {
          float s = c.light[k];
          for (const GridCell& n : around) s = s + n.light[k];
          float d = c.opacity < 0.999 ? (1 - c.opacity) * (s / 7) : 0.0f;
          if (tinted) {
            const float keep = (1 - m.opacity) * (m.colour[k] / 255.0f);
            d = keep != 0.0f ? keep * (s / 7) : 0.0f;
          }
          if (c.emitter) d = d + g.strength * c.emission[k];
          out.light[k] = d * g.decay;
        }
        out.hidden = true;
        g.setNextCell(x, y, z, out);
      }
  // The light moves into a free cell (outside is solid); both keep their pre-step content.
  if (std::rand() % 100 < 10) {
    const int d = std::rand() % 6;
    const int tx = g.lightX + (d == 0) - (d == 1), ty = g.lightY + (d == 2) - (d == 3), tz = g.lightZ + (d == 4) - (d == 5);
    const GridCell l = g.getCell(g.lightX, g.lightY, g.lightZ), t = g.getCell(tx, ty, tz);
    const bool moves = g.inside(g.lightX, g.lightY, g.lightZ) && t.opacity < 1.0f && !t.emitter;
    GridCell left = l, entered = t;
    left.emitter = false;
    entered.emitter = true;
    for (int k = 0; k < 3; ++k) {
      left.emission[k] = 0.0f;
      entered.emission[k] = l.emission[k];
    }
    g.setNextCell(g.lightX, g.lightY, g.lightZ, moves ? left : l);
    if (moves) {
      g.setNextCell(tx, ty, tz, entered);
      g.lightX = tx, g.lightY = ty, g.lightZ = tz;
    }
  }
  g.current.swap(g.next);
}
