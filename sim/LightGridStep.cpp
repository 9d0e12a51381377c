// The light diffusion step: every cell's next light is the decayed, opacity-dimmed average of
// its own and its six face neighbours' light plus its emission; then the wandering light may
// move one cell. Single precision throughout; built without FP contraction so that no sum or
// product is fused and every result is the rounded value of each operation, lane by lane alike.
//
// The sweep runs plane by plane (r, g, b) over rows of cells, reading the light planes and the
// kept fraction only; emitters (a short list) are redone after their slab's rows with their
// emission added. The light volume's texels are made from each row as it is finished.
#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "platform/WorkerPool.h"
#include "world/LightGrid.h"

namespace {

constexpr float kNeighbourhood = 7.0f;
constexpr int kMoveChance = 10;
constexpr int kMoveDirections = 6;
// Added to a value in [0, 255], it leaves that value rounded half to even in the low mantissa
// bits (the float's spacing at 2^23 is 1).
constexpr float kRoundingBias = 8388608.0f;

// The rule for one cell and component, in the order of the sum: own, x+1, x-1, y+1, y-1, z+1,
// z-1; `keep` is 0 for a cell light does not enter.
inline float diffused(float own, float xp, float xm, float yp, float ym, float zp, float zm,
                      float keep) {
  float s = own;
  s += xp;
  s += xm;
  s += yp;
  s += ym;
  s += zp;
  s += zm;
  const float d = keep * (s / kNeighbourhood);
  return keep != 0.0f ? d : 0.0f;
}

// One row of one plane: `own` the row, the other four its neighbour rows (the outside's zero
// row beyond the grid), `width` cells.
void diffuseRow(const float* own, const float* yp, const float* ym, const float* zp,
                const float* zm, const float* keep, float decay, int width, float* out) {
  if (width == 1) {
    out[0] = diffused(own[0], 0.0f, 0.0f, yp[0], ym[0], zp[0], zm[0], keep[0]) * decay;
    return;
  }
  out[0] = diffused(own[0], own[1], 0.0f, yp[0], ym[0], zp[0], zm[0], keep[0]) * decay;
  const int last = width - 1;
  for (int x = 1; x < last; ++x)
    out[x] = diffused(own[x], own[x + 1], own[x - 1], yp[x], ym[x], zp[x], zm[x], keep[x]) * decay;
  out[last] = diffused(own[last], 0.0f, own[last - 1], yp[last], ym[last], zp[last], zm[last],
                       keep[last]) *
              decay;
}

inline std::uint32_t channelByte(float c) {
  float q = c / (c + 1.0f) * 255.0f;
  q = q > 0.0f ? (q < 255.0f ? q : 255.0f) : 0.0f;
  const float biased = q + kRoundingBias;
  std::uint32_t bits;
  std::memcpy(&bits, &biased, sizeof bits);
  return bits & 0xFFu;
}

// LightGrid::lightTexel for a row of cells given as three planes.
void texelRow(const float* r, const float* g, const float* b, int width, std::uint32_t* out) {
  for (int x = 0; x < width; ++x)
    out[x] = 0xFF000000u | channelByte(r[x]) | channelByte(g[x]) << 8 | channelByte(b[x]) << 16;
}

}  // namespace

void LightGrid::sweepRows(long firstRow, long endRow) {
  const long plane = static_cast<long>(sizeX) * sizeY;
  for (long row = firstRow; row < endRow; ++row) {
    const int z = static_cast<int>(row / sizeY), y = static_cast<int>(row % sizeY);
    const long base = row * sizeX;
    for (int k = 0; k < 3; ++k) {
      const float* own = current + k * planeStride + base;
      const float* none = zeroRow.data();
      diffuseRow(own, y + 1 < sizeY ? own + sizeX : none, y > 0 ? own - sizeX : none,
                 z + 1 < sizeZ ? own + plane : none, z > 0 ? own - plane : none,
                 keep.data() + base, decay, sizeX, next + k * planeStride + base);
    }
    texelRow(next + base, next + planeStride + base, next + 2 * planeStride + base, sizeX,
             texels.data() + base);
  }
  std::memset(hidden.data() + firstRow * sizeX, 1, (endRow - firstRow) * sizeX);

  // Emitters of these rows: the same sum again, with their emission added before the decay.
  const long first = firstRow * sizeX, end = endRow * sizeX;
  for (auto e = std::lower_bound(emitters.begin(), emitters.end(), first);
       e != emitters.end() && *e < end; ++e) {
    const long i = *e;
    const int x = static_cast<int>(i % sizeX), y = static_cast<int>(i / sizeX % sizeY),
              z = static_cast<int>(i / plane);
    float light[3];
    for (int k = 0; k < 3; ++k) {
      const float* c = current + k * planeStride;
      const float d = diffused(c[i], x + 1 < sizeX ? c[i + 1] : 0.0f, x > 0 ? c[i - 1] : 0.0f,
                               y + 1 < sizeY ? c[i + sizeX] : 0.0f, y > 0 ? c[i - sizeX] : 0.0f,
                               z + 1 < sizeZ ? c[i + plane] : 0.0f, z > 0 ? c[i - plane] : 0.0f,
                               keep[i]);
      light[k] = (d + strength * emission[3 * i + k]) * decay;
      next[k * planeStride + i] = light[k];
    }
    texels[i] = lightTexel(light);
  }
}

void LightGrid::step() {
  assert(allocated);
  // A grid without cells has nothing to diffuse and no cell for the light to move to.
  if (sizeX <= 0 || sizeY <= 0 || sizeZ <= 0) return;
  assert(current != next);
  if (emittersStale) rebuildEmitters();

  // The wandering light's draw comes first: the sweep calls no rand() and both its cells are
  // read as they are before the step.
  bool attempt = false, moves = false;
  int tx = lightX, ty = lightY, tz = lightZ;
  GridCell light, target;
  if (std::rand() % 100 < kMoveChance) {
    attempt = true;
    switch (std::rand() % kMoveDirections) {
      case 0: ++tx; break;
      case 1: --tx; break;
      case 2: ++ty; break;
      case 3: --ty; break;
      case 4: ++tz; break;
      default: --tz; break;
    }
    light = getCell(lightX, lightY, lightZ);
    target = getCell(tx, ty, tz);
    // A light placed off the grid (a map smaller than its start cell) has no cell to carry its
    // colour from, so it stays where it is instead of moving in as a dark emitter.
    moves = inside(lightX, lightY, lightZ) && inside(tx, ty, tz) && target.opacity < 1.0f &&
            !target.emitter;
  }

  const long rows = static_cast<long>(sizeY) * sizeZ;
  WorkerPool& workers = pool != nullptr ? *pool : WorkerPool::shared();
  const long bySize = std::max(1L, cellCount() / std::max(1L, minCellsPerSlab));
  const int slabs = static_cast<int>(std::min({static_cast<long>(workers.threads()), rows, bySize}));
  workers.run(slabs, [this, rows, slabs](int s) {
    sweepRows(rows * s / slabs, rows * (s + 1) / slabs);
  });

  // The cells the wandering light rewrites keep their content from before this step.
  const auto keepAsBefore = [this](int x, int y, int z, const GridCell& before) {
    const long i = index(x, y, z);
    for (int k = 0; k < 3; ++k) next[k * planeStride + i] = before.light[k];
    hidden[i] = before.hidden ? 1 : 0;
    texels[i] = lightTexel(before.light);
  };
  if (moves) {
    const long from = index(lightX, lightY, lightZ), to = index(tx, ty, tz);
    keepAsBefore(lightX, lightY, lightZ, light);
    keepAsBefore(tx, ty, tz, target);
    flags[from] &= static_cast<unsigned char>(~kEmitter);
    flags[to] |= kEmitter;
    for (int k = 0; k < 3; ++k) {
      emission[3 * from + k] = 0.0f;
      emission[3 * to + k] = light.emission[k];
    }
    const auto was = std::lower_bound(emitters.begin(), emitters.end(), from);
    if (was != emitters.end() && *was == from) emitters.erase(was);
    emitters.insert(std::lower_bound(emitters.begin(), emitters.end(), to), to);
    lightX = tx;
    lightY = ty;
    lightZ = tz;
  } else if (attempt && inside(lightX, lightY, lightZ)) {
    keepAsBefore(lightX, lightY, lightZ, light);
  }

  std::swap(current, next);
  texelsStale = false;
}
