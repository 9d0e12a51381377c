// The pick's ray walk: cell by cell along the ray (a voxel traversal), with every cell that an
// exact edge or corner crossing touches tried in a fixed order.
#include "world/CellPick.h"

#include <cassert>
#include <cmath>

#include "world/LightGrid.h"

namespace {

bool isSolidMatter(const LightGrid& grid, int x, int y, int z) {
  if (x == grid.lightX && y == grid.lightY && z == grid.lightZ) return false;
  const GridCell c = grid.getCell(x, y, z);
  return c.emitter || c.isOpaque() || c.isGlass();
}

}  // namespace

CellPick pickCell(const LightGrid& grid, const Vec3& eye, const Vec3& direction, float range) {
  CellPick pick;
  const Vec3 d = normalize(direction);
  if (d.dot(d) == 0.0f) return pick;
  // Cell boundaries lie at integer coordinates after shifting by half a cell.
  const float p[3] = {eye.x + 0.5f, eye.y + 0.5f, eye.z + 0.5f};
  const float dir[3] = {d.x, d.y, d.z};
  int cell[3], step[3];
  float tMax[3], tDelta[3];
  for (int a = 0; a < 3; ++a) {
    cell[a] = static_cast<int>(std::floor(p[a]));
    step[a] = dir[a] > 0.0f ? 1 : (dir[a] < 0.0f ? -1 : 0);
    if (step[a] == 0) {
      tMax[a] = tDelta[a] = INFINITY;
      continue;
    }
    const float boundary = static_cast<float>(step[a] > 0 ? cell[a] + 1 : cell[a]);
    tMax[a] = (boundary - p[a]) / dir[a];
    tDelta[a] = static_cast<float>(step[a]) / dir[a];
  }

  bool wasInside = grid.inside(cell[0], cell[1], cell[2]);
  // Each round crosses at least one boundary; the range bounds the rounds.
  const int rounds = 3 * (static_cast<int>(range) + 2);
  for (int round = 0; round < rounds; ++round) {
    const float t = std::fmin(tMax[0], std::fmin(tMax[1], tMax[2]));
    if (!(t <= range)) break;
    int tied[3], count = 0;
    for (int a = 0; a < 3; ++a)
      if (tMax[a] == t) tied[count++] = a;
    assert(count >= 1);

    // The cells touched at this crossing: each non-empty subset of the tied axes stepped, the
    // smaller subsets first; the last is the cell the walk goes on from.
    bool anyInside = false;
    for (int size = 1; size <= count; ++size) {
      for (int mask = 1; mask < (1 << count); ++mask) {
        int bits = 0, first = -1, c[3] = {cell[0], cell[1], cell[2]};
        for (int k = 0; k < count; ++k) {
          if (!(mask & (1 << k))) continue;
          ++bits;
          if (first < 0) first = tied[k];
          c[tied[k]] += step[tied[k]];
        }
        if (bits != size) continue;
        if (!grid.inside(c[0], c[1], c[2])) continue;
        anyInside = true;
        if (!isSolidMatter(grid, c[0], c[1], c[2])) continue;
        pick.hit = true;
        for (int a = 0; a < 3; ++a) pick.cell[a] = c[a];
        pick.normal[first] = -step[first];
        pick.distance = t;
        return pick;
      }
    }
    // Leaving the grid (which is convex) ends the walk; an eye outside may still enter it.
    if (wasInside && !anyInside) break;
    wasInside = wasInside || anyInside;
    for (int k = 0; k < count; ++k) {
      cell[tied[k]] += step[tied[k]];
      tMax[tied[k]] += tDelta[tied[k]];
    }
  }
  return pick;
}
