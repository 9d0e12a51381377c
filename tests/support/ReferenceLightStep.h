// The light diffusion step written plainly from its rule, as a yardstick for LightGrid::step:
// seven bounds-tested getCell reads per cell, single precision, then the wandering light.
// Used by the unit tests (bit-exact comparison) and the step benchmark (speed comparison).
#pragma once

#include <cstdlib>

#include "world/LightGrid.h"

inline void referenceLightStep(LightGrid& g) {
  for (int z = 0; z < g.sizeZ; ++z) {
    for (int y = 0; y < g.sizeY; ++y) {
      for (int x = 0; x < g.sizeX; ++x) {
        const GridCell c = g.getCell(x, y, z);
        float d[3] = {0.0f, 0.0f, 0.0f};
        if (c.opacity < 0.999) {
          const GridCell around[6] = {g.getCell(x + 1, y, z), g.getCell(x - 1, y, z),
                                      g.getCell(x, y + 1, z), g.getCell(x, y - 1, z),
                                      g.getCell(x, y, z + 1), g.getCell(x, y, z - 1)};
          for (int k = 0; k < 3; ++k) {
            float s = c.light[k];
            for (const GridCell& n : around) s = s + n.light[k];
            d[k] = (1 - c.opacity) * (s / 7);
          }
        }
        if (c.emitter) {
          for (int k = 0; k < 3; ++k) d[k] = d[k] + g.strength * c.emission[k];
        }
        GridCell out = c;
        for (int k = 0; k < 3; ++k) out.light[k] = d[k] * g.decay;
        out.hidden = true;
        g.setNextCell(x, y, z, out);
      }
    }
  }

  if (std::rand() % 100 < 10) {
    const int d = std::rand() % 6;
    const GridCell l = g.getCell(g.lightX, g.lightY, g.lightZ);
    const int dx[6] = {1, -1, 0, 0, 0, 0}, dy[6] = {0, 0, 1, -1, 0, 0}, dz[6] = {0, 0, 0, 0, 1, -1};
    const int tx = g.lightX + dx[d], ty = g.lightY + dy[d], tz = g.lightZ + dz[d];
    const GridCell t = g.getCell(tx, ty, tz);
    const bool inGrid = tx >= 0 && ty >= 0 && tz >= 0 && tx < g.sizeX && ty < g.sizeY && tz < g.sizeZ;
    if (inGrid && t.opacity < 1.0f && !t.emitter) {
      GridCell old = l;
      old.emitter = false;
      old.emission[0] = old.emission[1] = old.emission[2] = 0.0f;
      g.setNextCell(g.lightX, g.lightY, g.lightZ, old);
      g.lightX = tx;
      g.lightY = ty;
      g.lightZ = tz;
      GridCell moved = t;
      moved.emitter = true;
      for (int k = 0; k < 3; ++k) moved.emission[k] = l.emission[k];
      g.setNextCell(tx, ty, tz, moved);
    } else {
      g.setNextCell(g.lightX, g.lightY, g.lightZ, l);
    }
  }
  g.swapBuffers();
}
