// The light diffusion step: every cell's next light is the decayed, opacity-dimmed average of
// its own and its six face neighbours' light plus its emission; then the wandering light may
// move one cell. Single precision throughout; built without FP contraction so that no sum or
// product is fused and every result is the rounded value of each operation, lane by lane alike.
//
// The sweep runs over rows of cells, sixteen cells at a time, reading the three light planes and the
// kept fraction only, and makes each cell's light volume texel from its new light; emitters (a
// short list) are redone after their slab's rows with their emission added.
#include <algorithm>
#include <cassert>
#include <cstdint>
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

// Sixteen lanes of floats, and of the masks their comparisons give (GCC and Clang vector types:
// each operation acts lane by lane exactly as on one float; without AVX-512 a lane group spans
// several registers). Every function taking or giving lanes is inlined, so the warning about
// the calling convention of such functions does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
typedef float Lanes __attribute__((vector_size(64)));
typedef std::int32_t Mask __attribute__((vector_size(64)));
constexpr int kLanes = 16;

#define QM_INLINE inline __attribute__((always_inline))

QM_INLINE Lanes load(const float* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
QM_INLINE Lanes select(Mask m, Lanes a, Lanes b) {
  return reinterpret_cast<Lanes>((reinterpret_cast<Mask>(a) & m) | (reinterpret_cast<Mask>(b) & ~m));
}

// The rule for one cell and component (or a lane group), in the order of the sum: own, x+1, x-1, y+1,
// y-1, z+1, z-1; `keep` is 0 for a cell light does not enter.
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
QM_INLINE Lanes diffused(Lanes own, Lanes xp, Lanes xm, Lanes yp, Lanes ym, Lanes zp, Lanes zm,
                      Lanes keep) {
  Lanes s = own;
  s += xp;
  s += xm;
  s += yp;
  s += ym;
  s += zp;
  s += zm;
  const Lanes d = keep * (s / kNeighbourhood);
  return select(keep != 0.0f, d, Lanes{});
}

// LightGrid::lightTexel for a lane group of cells, per plane.
QM_INLINE Mask channelBytes(Lanes c) {
  const Lanes q = c / (c + 1.0f) * 255.0f;
  const Lanes clamped = select(q > 0.0f, select(q < 255.0f, q, Lanes{} + 255.0f), Lanes{});
  return reinterpret_cast<Mask>(clamped + kRoundingBias) & 0xFF;
}

// The neighbour rows of one row of one plane (the outside's zero row beyond the grid).
struct Rows {
  const float *own, *yp, *ym, *zp, *zm;
};

// x86-64 builds carry AVX-512 and AVX2 copies of the row loop beside the baseline one, picked at
// start-up.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__EMSCRIPTEN__)
#define QM_ROW_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define QM_ROW_CLONES
#endif

// Next light and texels of one row of `width` cells: planes r, g, b of the row and its
// neighbours in `rows`, results into the three planes of `out` (`stride` floats apart).
QM_ROW_CLONES
void stepRow(const Rows rows[3], const float* keep, float decay, int width, float* out,
             long stride, std::uint32_t* texels) {
  const auto cell = [&](int x) {
    float light[3];
    for (int k = 0; k < 3; ++k) {
      const Rows& r = rows[k];
      light[k] = diffused(r.own[x], x + 1 < width ? r.own[x + 1] : 0.0f,
                          x > 0 ? r.own[x - 1] : 0.0f, r.yp[x], r.ym[x], r.zp[x], r.zm[x],
                          keep[x]) *
                 decay;
      out[k * stride + x] = light[k];
    }
    texels[x] = LightGrid::lightTexel(light);
  };
  // A lane group at x reads x - 1 .. x + kLanes, so it serves the cells 1 .. width - 2; the last
  // group may overlap the one before it (each cell's result depends only on the current light).
  const int interior = width - 2;
  if (interior < kLanes) {
    for (int x = 0; x < width; ++x) cell(x);
    return;
  }
  const auto group = [&](int x) {
    const Lanes kept = load(keep + x);
    Mask texel = Mask{} + static_cast<std::int32_t>(0xFF000000u);
    for (int k = 0; k < 3; ++k) {
      const Rows& r = rows[k];
      const Lanes light = diffused(load(r.own + x), load(r.own + x + 1), load(r.own + x - 1),
                                   load(r.yp + x), load(r.ym + x), load(r.zp + x),
                                   load(r.zm + x), kept) *
                          decay;
      std::memcpy(out + k * stride + x, &light, sizeof light);
      texel |= channelBytes(light) << (8 * k);
    }
    std::memcpy(texels + x, &texel, sizeof texel);
  };
  cell(0);
  for (int x = 1; x + kLanes <= width - 1; x += kLanes) group(x);
  if (interior % kLanes != 0) group(width - 1 - kLanes);
  cell(width - 1);
}

}  // namespace

void LightGrid::sweepRows(long firstRow, long endRow) {
  const long plane = static_cast<long>(sizeX) * sizeY;
  const float* none = zeroRow.data();
  for (long row = firstRow; row < endRow; ++row) {
    const int z = static_cast<int>(row / sizeY), y = static_cast<int>(row % sizeY);
    const long base = row * sizeX;
    Rows rows[3];
    for (int k = 0; k < 3; ++k) {
      const float* own = current + k * planeStride + base;
      rows[k] = Rows{own, y + 1 < sizeY ? own + sizeX : none, y > 0 ? own - sizeX : none,
                     z + 1 < sizeZ ? own + plane : none, z > 0 ? own - plane : none};
    }
    stepRow(rows, keep.data() + base, decay, sizeX, next + base, planeStride,
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
  // A few slabs a thread, taken in turn: a thread the machine holds back leaves its share to the
  // others instead of keeping them waiting.
  const long bySize = std::max(1L, cellCount() / std::max(1L, minCellsPerSlab));
  const long perThreads = workers.threads() > 1 ? 4L * workers.threads() : 1L;
  const int slabs = static_cast<int>(std::min({perThreads, rows, bySize}));
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
