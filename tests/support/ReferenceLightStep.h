// The light diffusion step written plainly from its rule, as a yardstick for LightGrid::step:
// seven bounds-tested getCell reads per cell, single precision, then the wandering light.
// Used by the unit tests (bit-exact comparison) and the step benchmark (speed comparison).
#pragma once

#include <cstdlib>

#include "world/LightGrid.h"

inline void referenceLightStep(LightGrid& g) {
  for (int z = 0; z < g.sizeZ; ++z)
    for (int y = 0; y < g.sizeY; ++y)
      for (int x = 0; x < g.sizeX; ++x) {
        const GridCell c = g.getCell(x, y, z);
        const GridCell around[6] = {g.getCell(x + 1, y, z), g.getCell(x - 1, y, z),
                                    g.getCell(x, y + 1, z), g.getCell(x, y - 1, z),
                                    g.getCell(x, y, z + 1), g.getCell(x, y, z - 1)};
        GridCell out = c;
        for (int k = 0; k < 3; ++k) {
          float s = c.light[k];
          for (const GridCell& n : around) s = s + n.light[k];
          float d = c.opacity < 0.999 ? (1 - c.opacity) * (s / 7) : 0.0f;
          if (c.emitter) d = d + g.strength * c.emission[k];
          out.light[k] = d * g.decay;
        }
        out.hidden = true;
        g.setNextCell(x, y, z, out);
      }
  // The light moves into a free cell (outside is solid); both keep their pre-step content.
  if (std::rand() % 100 < 10) {
    const int d = std::rand() % 6;
    const int tx = g.lightX + (d == 0) - (d == 1), ty = g.lightY + (d == 2) - (d == 3),
              tz = g.lightZ + (d == 4) - (d == 5);
    const GridCell l = g.getCell(g.lightX, g.lightY, g.lightZ), t = g.getCell(tx, ty, tz);
    const bool moves = t.opacity < 1.0f && !t.emitter;
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
  g.swapBuffers();
}
