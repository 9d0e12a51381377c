// The light diffusion step: every cell's next light is the decayed, opacity-dimmed average of
// its own and its six face neighbours' light plus its emission; then the wandering light may
// move one cell. Single precision throughout; built without FP contraction so that no sum or
// product is fused and every result is the rounded value of each operation, lane by lane alike.
//
// The sweep runs over rows of cells, sixteen cells at a time, reading the three light planes and
// the kept fraction only, and makes each cell's light volume texel from its new light; emitters and
// panes of tinted glass (short lists) are redone after their row, with their emission added and
// a kept fraction per channel.
//
// A cell's next light depends only on its own and its six neighbours' light, its kept
// fraction(s), its emission with the strength, and the decay: a cell none of whose inputs changed
// since the last step keeps its light to the bit. So a step records which bricks its light
// changed, comparing the bits of each cell's new light with its old as it makes them, and the
// next step may recompute only those bricks, the six beside each (their face cells read across
// the face), and the bricks an edit touched (setCell, setNextCell, the emitters when the strength
// changed, the wandering light's cells); every other cell keeps its light and texel as the full
// sweep would leave them. Nothing is known after swapBuffers, a new palette or decay, touchAll,
// or a full sweep that kept no record: the next step is a full one.
#include <algorithm>
#include <atomic>
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
// several registers). Every function taking or giving lanes is inlined into one built for the
// same instruction set, so no call passes them and the warning about their calling convention
// does not apply; they take lanes by reference all the same, which leaves no argument to warn of.
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
// Lanes 1 .. 15 of a, then lane 0 of b: the group one cell further on.
QM_INLINE Lanes shiftedOn(const Lanes& a, const Lanes& b) {
#if defined(__clang__)
  return __builtin_shufflevector(a, b, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
#else
  return __builtin_shuffle(a, b, Mask{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
#endif
}
// Lane 15 of a, then lanes 0 .. 14 of b: the group one cell back from b.
QM_INLINE Lanes shiftedBack(const Lanes& a, const Lanes& b) {
#if defined(__clang__)
  return __builtin_shufflevector(a, b, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28,
                                 29, 30);
#else
  return __builtin_shuffle(a, b,
                           Mask{15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30});
#endif
}
QM_INLINE Lanes select(const Mask& m, const Lanes& a, const Lanes& b) {
  return reinterpret_cast<Lanes>((reinterpret_cast<Mask>(a) & m) | (reinterpret_cast<Mask>(b) & ~m));
}

// The rule for one cell and component (or a lane group), in the order of the sum: own, x+1, x-1, y+1,
// y-1, z+1, z-1; `keep` is 0 for a cell light does not enter. The sum and its scaling are written
// once for a float and a lane group alike; only the choice of zero differs.
template <class T>
QM_INLINE T keptAverage(const T& own, const T& xp, const T& xm, const T& yp, const T& ym,
                        const T& zp, const T& zm, const T& keep) {
  T s = own;
  s += xp;
  s += xm;
  s += yp;
  s += ym;
  s += zp;
  s += zm;
  return keep * (s / kNeighbourhood);
}
inline float diffused(float own, float xp, float xm, float yp, float ym, float zp, float zm,
                      float keep) {
  const float d = keptAverage(own, xp, xm, yp, ym, zp, zm, keep);
  return keep != 0.0f ? d : 0.0f;
}
QM_INLINE Lanes diffused(const Lanes& own, const Lanes& xp, const Lanes& xm, const Lanes& yp,
                         const Lanes& ym, const Lanes& zp, const Lanes& zm, const Lanes& keep) {
  return select(keep != 0.0f, keptAverage(own, xp, xm, yp, ym, zp, zm, keep), Lanes{});
}

// True when any bit of any lane is set: the halves folded onto each other in the vector
// registers, then one word tested.
typedef std::uint64_t Words __attribute__((vector_size(64)));
QM_INLINE bool anyBit(const Mask& m) {
  Words w = reinterpret_cast<Words>(m);
#if defined(__clang__)
  w |= __builtin_shufflevector(w, w, 4, 5, 6, 7, 0, 1, 2, 3);
  w |= __builtin_shufflevector(w, w, 2, 3, 0, 1, 6, 7, 4, 5);
  w |= __builtin_shufflevector(w, w, 1, 0, 3, 2, 5, 4, 7, 6);
#else
  w |= __builtin_shuffle(w, Words{4, 5, 6, 7, 0, 1, 2, 3});
  w |= __builtin_shuffle(w, Words{2, 3, 0, 1, 6, 7, 4, 5});
  w |= __builtin_shuffle(w, Words{1, 0, 3, 2, 5, 4, 7, 6});
#endif
  return w[0] != 0;
}
// True when two floats differ in any bit (-0 and 0 differ; a NaN is itself).
inline bool changedBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) != 0; }

// LightGrid::lightTexel for a lane group of cells, per plane.
QM_INLINE Mask channelBytes(const Lanes& c) {
  const Lanes q = c / (c + 1.0f) * 255.0f;
  const Lanes clamped = select(q > 0.0f, select(q < 255.0f, q, Lanes{} + 255.0f), Lanes{});
  return reinterpret_cast<Mask>(clamped + kRoundingBias) & 0xFF;
}

// The neighbour rows of one row of one plane (the outside's zero row beyond the grid).
struct Rows {
  const float *own, *yp, *ym, *zp, *zm;
};

// The rows of row q of a grid (sizeX, sizeY, sizeZ) whose light planes start at `planes`,
// `stride` floats apart; `none` is the outside's zero row.
inline void rowsOf(long q, const float* planes, long stride, int sizeX, int sizeY, int sizeZ,
                   const float* none, Rows rows[3]) {
  const int z = static_cast<int>(q / sizeY), y = static_cast<int>(q % sizeY);
  const long plane = static_cast<long>(sizeX) * sizeY;
  for (int k = 0; k < 3; ++k) {
    const float* own = planes + k * stride + q * sizeX;
    rows[k] = Rows{own, y + 1 < sizeY ? own + sizeX : none, y > 0 ? own - sizeX : none,
                   z + 1 < sizeZ ? own + plane : none, z > 0 ? own - plane : none};
  }
}

// One cell x of a row by the plain rule, each channel kept by its own fraction.
inline void cellLight(const Rows rows[3], int x, int width, const float kept[3], float decay,
                      float light[3]) {
  for (int k = 0; k < 3; ++k) {
    const Rows& r = rows[k];
    light[k] = diffused(r.own[x], x + 1 < width ? r.own[x + 1] : 0.0f, x > 0 ? r.own[x - 1] : 0.0f,
                        r.yp[x], r.ym[x], r.zp[x], r.zm[x], kept[k]) *
               decay;
  }
}

// An emitter's or a tinted pane's light: the same sum with a kept fraction per channel and, for
// an emitter, its emission times the strength added before the decay.
inline void redoneLight(const Rows rows[3], int x, int width, const float kept[3],
                        const float* emission, float strength, float decay, float light[3]) {
  for (int k = 0; k < 3; ++k) {
    const Rows& r = rows[k];
    const float d = diffused(r.own[x], x + 1 < width ? r.own[x + 1] : 0.0f,
                             x > 0 ? r.own[x - 1] : 0.0f, r.yp[x], r.ym[x], r.zp[x], r.zm[x],
                             kept[k]);
    light[k] = (emission != nullptr ? d + strength * emission[k] : d) * decay;
  }
}

// Next light and texels of one row of `width` cells: planes r, g, b of the row and its
// neighbours in `rows`, results into the three planes of `out` (`width` floats apart). Whether a
// cell's light changed goes to `diffs` when kTrack, a lane of nonzero bits for a change, one lane
// group of sixteen lanes for each group of sixteen cells along the row: lane x for cell x, except
// in a row that ends in a part group, whose group holds the row's last sixteen cells (diffOffset).
template <bool kTrack>
QM_INLINE void sweepRow(const Rows rows[3], const float* keep, float decay, int width, float* out,
                        std::uint32_t* texels, std::int32_t* diffs) {
  const long stride = width;
  if (width < kLanes) {
    if (kTrack)
      for (int x = 0; x < kLanes; ++x) diffs[x] = 0;
    for (int x = 0; x < width; ++x) {
      const float kept[3] = {keep[x], keep[x], keep[x]};
      float light[3];
      cellLight(rows, x, width, kept, decay, light);
      for (int k = 0; k < 3; ++k) {
        if (kTrack && changedBits(light[k], rows[k].own[x])) diffs[x] = -1;
        out[k * stride + x] = light[k];
      }
      texels[x] = LightGrid::lightTexel(light);
    }
    return;
  }
  // The stores below are byte copies, which could alias anything the compiler cannot see is
  // private: a local copy of the row pointers stays in registers instead of being read again
  // after every store.
  const Rows local[3] = {rows[0], rows[1], rows[2]};
  // Lane groups start at multiples of kLanes, so that on rows that start on a cache line no load
  // or store spans two lines; a group's x - 1 and x + 1 neighbours are its own lanes shifted by
  // one, filled in from the groups beside it (the outside's zero at the row's ends).
  // Sets the lanes whose light changed in `differs` (its old light is `own`).
  const auto group = [&](int x, const Lanes (&xm)[3], const Lanes (&own)[3], const Lanes (&xp)[3],
                         Mask& differs) {
    const Lanes kept = load(keep + x);
    Mask texel = Mask{} + static_cast<std::int32_t>(0xFF000000u);
    differs = Mask{};
    for (int k = 0; k < 3; ++k) {
      const Rows& r = local[k];
      const Lanes light = diffused(own[k], xp[k], xm[k], load(r.yp + x), load(r.ym + x),
                                   load(r.zp + x), load(r.zm + x), kept) *
                          decay;
      std::memcpy(out + k * stride + x, &light, sizeof light);
      texel |= channelBytes(light) << (8 * k);
      if (kTrack) differs |= reinterpret_cast<Mask>(light) ^ reinterpret_cast<Mask>(own[k]);
    }
    std::memcpy(texels + x, &texel, sizeof texel);
  };
  Lanes before[3] = {}, own[3], xm[3], xp[3];
  for (int k = 0; k < 3; ++k) own[k] = load(local[k].own);
  for (int x = 0; x + kLanes <= width; x += kLanes) {
    for (int k = 0; k < 3; ++k) {
      xm[k] = shiftedBack(before[k], own[k]);
      if (x + 2 * kLanes <= width) {
        const Lanes after = load(local[k].own + x + kLanes);
        xp[k] = shiftedOn(own[k], after);
        before[k] = own[k];
        own[k] = after;
      } else {
        // The last whole group: a part group may follow it.
        xp[k] = x + kLanes < width ? load(local[k].own + x + 1) : shiftedOn(own[k], Lanes{});
      }
    }
    Mask differs;
    group(x, xm, x + 2 * kLanes <= width ? before : own, xp, differs);
    if (kTrack) std::memcpy(diffs + x, &differs, sizeof differs);
  }
  // The cells after the last whole group: a group ending at the row's end, overlapping the one
  // before it (each cell's result depends only on the current light).
  if (width % kLanes != 0) {
    const int x = width - kLanes;
    for (int k = 0; k < 3; ++k) {
      own[k] = load(local[k].own + x);
      xm[k] = x > 0 ? load(local[k].own + x - 1) : shiftedBack(Lanes{}, own[k]);
      xp[k] = shiftedOn(own[k], Lanes{});
    }
    // Its first lanes repeat cells of the group before; only the part group's own lanes count.
    const Mask lane = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    Mask differs;
    group(x, xm, own, xp, differs);
    differs &= lane >= kLanes - width % kLanes;
    if (kTrack) std::memcpy(diffs + width / kLanes * kLanes, &differs, sizeof differs);
  }
}

// Where sweepRow puts cell x's lane in `diffs`.
inline int diffOffset(int x, int width) {
  const int whole = width / kLanes * kLanes;
  return width > kLanes && x >= whole ? whole + x - (width - kLanes) : x;
}

// Next light and texels of cells x0 .. x1 - 1 of one row (at most one lane group, starting at a
// multiple of kLanes), as sweepRow makes them: results into `out` (cell x0 first, planes `stride`
// floats apart) and texels[x0 .. x1 - 1]. Returns whether any of their light changed; the texels
// of light that did not change are left alone unless `allTexels`.
QM_INLINE bool sweepGroup(const Rows rows[3], const float* keep, float decay, int width, int x0,
                          int x1, float* out, long stride, std::uint32_t* texels, bool allTexels) {
  if (width < kLanes) {
    bool any = false;
    for (int x = x0; x < x1; ++x) {
      const float kept[3] = {keep[x], keep[x], keep[x]};
      float light[3];
      cellLight(rows, x, width, kept, decay, light);
      for (int k = 0; k < 3; ++k) {
        any = any || changedBits(light[k], rows[k].own[x]);
        out[k * stride + x - x0] = light[k];
      }
      texels[x] = LightGrid::lightTexel(light);
    }
    return any;
  }
  // A part group at the row's end is computed as the group ending there, as the sweep does; only
  // its own cells are kept.
  const int x = std::min(x0, width - kLanes);
  const Lanes kept = load(keep + x);
  Mask differs{};
  Lanes light[3];
  for (int k = 0; k < 3; ++k) {
    const Rows& r = rows[k];
    const Lanes own = load(r.own + x);
    const Lanes xm = x > 0 ? load(r.own + x - 1) : shiftedBack(Lanes{}, own);
    const Lanes xp = x + kLanes < width ? load(r.own + x + 1) : shiftedOn(own, Lanes{});
    light[k] = diffused(own, xp, xm, load(r.yp + x), load(r.ym + x), load(r.zp + x),
                        load(r.zm + x), kept) *
               decay;
    differs |= reinterpret_cast<Mask>(light[k]) ^ reinterpret_cast<Mask>(own);
  }
  // Only the lanes of this brick's cells count.
  const int skip = x0 - x;
  const Mask lane = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const bool changed = anyBit(skip == 0 ? differs : differs & (lane >= skip));
  Mask texel = Mask{} + static_cast<std::int32_t>(0xFF000000u);
  if (changed || allTexels)
    for (int k = 0; k < 3; ++k) texel |= channelBytes(light[k]) << (8 * k);
  if (skip == 0) {
    for (int k = 0; k < 3; ++k) std::memcpy(out + k * stride, &light[k], sizeof light[k]);
    if (changed || allTexels) std::memcpy(texels + x0, &texel, sizeof texel);
    return changed;
  }
  const size_t bytes = static_cast<size_t>(x1 - x0) * sizeof(float);
  for (int k = 0; k < 3; ++k)
    std::memcpy(out + k * stride, reinterpret_cast<const float*>(&light[k]) + skip, bytes);
  if (changed || allTexels)
    std::memcpy(texels + x0, reinterpret_cast<const std::uint32_t*>(&texel) + skip, bytes);
  return changed;
}

// One brick of the sparse path: cells lo .. hi - 1 along each axis, from the light planes at
// `planes` (`stride` floats apart); results into `out`, plane k at k * kBrickCells, row (y, z)
// of the brick at ((z - lo z) * kBrickY + y - lo y) * kBrickX, and whether the row's light
// changed at rowChanged[(z - lo z) * kBrickY + y - lo y].
constexpr long kBrickCells =
    static_cast<long>(LightGrid::kBrickX) * LightGrid::kBrickY * LightGrid::kBrickZ;
static_assert(LightGrid::kBrickX == kLanes, "a brick is one lane group wide");
struct BrickJob {
  const float* planes;
  long stride;
  const float* keep;
  const float* none;
  int sizeX, sizeY, sizeZ;
  int lo[3], hi[3];
  float decay;
  float* out;
  std::uint32_t* texels;
  unsigned char* rowChanged;
  // The brick's texels may be stale (an edit touched it): make them all.
  bool allTexels;
};

// x86-64 builds carry AVX-512 and AVX2 copies of the row loop beside the baseline one, picked at
// start-up. Each copy is only the loop above inlined: a lane group passed between functions built
// for different instruction sets would cross two calling conventions (Clang refuses such a call
// even where it is inlined), so every function that passes lanes is built for the baseline and
// the copies differ only in the instructions the inlined loop becomes. ThreadSanitizer builds
// keep the baseline alone: the copy is picked by a resolver that runs, instrumented, before the
// sanitizer's run time has started, and crashes there.
#if defined(__SANITIZE_THREAD__)
#define QM_THREAD_SANITIZER
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QM_THREAD_SANITIZER
#endif
#endif
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__EMSCRIPTEN__) && \
    !defined(QM_THREAD_SANITIZER)
#define QM_ROW_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define QM_ROW_CLONES
#endif

QM_ROW_CLONES
void stepRow(const Rows rows[3], const float* keep, float decay, int width, float* out,
             std::uint32_t* texels) {
  sweepRow<false>(rows, keep, decay, width, out, texels, nullptr);
}

QM_ROW_CLONES
void stepRowTracked(const Rows rows[3], const float* keep, float decay, int width, float* out,
                    std::uint32_t* texels, std::int32_t* diffs) {
  sweepRow<true>(rows, keep, decay, width, out, texels, diffs);
}

// True when any lane of `count` groups of sixteen is nonzero, one answer a group into `any`.
QM_ROW_CLONES
void anyLanes(const std::int32_t* lanes, int count, unsigned char* any) {
  for (int g = 0; g < count; ++g) {
    Mask m;
    std::memcpy(&m, lanes + g * kLanes, sizeof m);
    any[g] = anyBit(m);
  }
}

// Folds a row's changed lanes into a brick row's: `count` groups of sixteen.
QM_ROW_CLONES
void foldRow(const std::int32_t* diffs, std::int32_t* into, int count) {
  for (int g = 0; g < count; ++g) {
    Mask a, b;
    std::memcpy(&a, into + g * kLanes, sizeof a);
    std::memcpy(&b, diffs + g * kLanes, sizeof b);
    a |= b;
    std::memcpy(into + g * kLanes, &a, sizeof a);
  }
}

QM_ROW_CLONES
void stepBrick(const BrickJob& job) {
  for (int z = job.lo[2]; z < job.hi[2]; ++z)
    for (int y = job.lo[1]; y < job.hi[1]; ++y) {
      const long q = static_cast<long>(z) * job.sizeY + y;
      Rows rows[3];
      rowsOf(q, job.planes, job.stride, job.sizeX, job.sizeY, job.sizeZ, job.none, rows);
      const long base = q * job.sizeX;
      const int row = (z - job.lo[2]) * LightGrid::kBrickY + y - job.lo[1];
      job.rowChanged[row] =
          sweepGroup(rows, job.keep + base, job.decay, job.sizeX, job.lo[0], job.hi[0],
                     job.out + static_cast<long>(row) * LightGrid::kBrickX, kBrickCells,
                     job.texels + base, job.allTexels);
    }
}

}  // namespace

// A slab updates the light in place: row q's new light waits in the slab's scratch until no row
// still to be computed reads its old light. The last reader of row q is row q + sizeY (the cell
// above it in z), so a ring of sizeY + 1 rows suffices; rows within sizeY of a slab's ends are
// read by the slab beside it as well and are held until both slabs are done (commitBoundary).
// The light is so read once and written once, with no second generation passing through memory.
namespace {

// The first float of `store` on a cache line (stores hold a line's worth of slack).
template <class Store>
auto lineAligned(Store& store) {
  const auto at = reinterpret_cast<std::uintptr_t>(store.data()) % 64;
  return store.data() + (64 - at) % 64 / sizeof(float);
}

struct SlabRows {
  long first, end, lag, rows;
  // True for a row the slab beside this one reads: it is written once both slabs are done.
  bool held(long q) const {
    return (first > 0 && q < first + lag) || (end < rows && q >= end - lag);
  }
  // Slot of a held row in the slab's `held` scratch: the first rows, then the last.
  long heldSlot(long q) const { return q < first + lag ? q - first : lag + q - (end - lag); }
};

}  // namespace

void LightGrid::sweepSlab(long firstRow, long endRow, SlabScratch& scratch, bool track) {
  const long rowFloats = 3L * sizeX;
  const SlabRows slab{firstRow, endRow, sizeY, static_cast<long>(sizeY) * sizeZ};
  const float* none = zeroRow.data();
  const auto pending = [&](long q) {
    return slab.held(q) ? lineAligned(scratch.held) + slab.heldSlot(q) * rowFloats
                        : lineAligned(scratch.ring) + q % (slab.lag + 1) * rowFloats;
  };
  const auto writeBack = [&](long q) { writeLightRow(q, pending(q)); };
  auto emitter = std::lower_bound(emitters.begin(), emitters.end(), firstRow * sizeX);
  auto pane = std::lower_bound(tinted.begin(), tinted.end(), firstRow * sizeX);
  // A row's changed lanes, and those of each brick row of the layer of bricks under way; a layer
  // is looked at once it is done, or the slab is, and its changed bricks listed.
  const int groups = bricksX;
  const std::size_t brickRowLanes = static_cast<std::size_t>(groups) * kLanes;
  scratch.changed.clear();
  if (track) {
    scratch.diffs.resize(brickRowLanes);
    scratch.layerDiffs.assign(bricksY * brickRowLanes, 0);
    scratch.any.resize(groups);
  }
  std::int32_t* diffs = scratch.diffs.data();
  const auto listLayer = [&](int layer) {
    for (int by = 0; by < bricksY; ++by) {
      std::int32_t* lanes = scratch.layerDiffs.data() + by * brickRowLanes;
      anyLanes(lanes, groups, scratch.any.data());
      const long first = (static_cast<long>(layer) * bricksY + by) * groups;
      for (int g = 0; g < groups; ++g)
        if (scratch.any[g]) scratch.changed.push_back(first + g);
      std::fill(lanes, lanes + brickRowLanes, 0);
    }
  };
  for (long q = firstRow; q < endRow; ++q) {
    const long base = q * sizeX;
    const int y = static_cast<int>(q % sizeY), z = static_cast<int>(q / sizeY);
    Rows rows[3];
    rowsOf(q, current, planeStride, sizeX, sizeY, sizeZ, none, rows);
    float* out = pending(q);
    if (track)
      stepRowTracked(rows, keep + base, decay, sizeX, out, texels + base, diffs);
    else
      stepRow(rows, keep + base, decay, sizeX, out, texels + base);

    // Tinted panes and emitters of this row: the same sum again, with a kept fraction per
    // channel and the emission added before the decay.
    const auto redo = [&](long i, bool emits) {
      const int x = static_cast<int>(i - base);
      const float kept[3] = {keptFor(i, 0), keptFor(i, 1), keptFor(i, 2)};
      float light[3], glow[3];
      redoneLight(rows, x, sizeX, kept, emits ? emissionOf(i, glow) : nullptr, strength, decay,
                  light);
      for (int k = 0; k < 3; ++k) out[k * sizeX + x] = light[k];
      texels[i] = lightTexel(light);
    };
    const auto firstPane = pane, firstEmitter = emitter;
    for (; pane != tinted.end() && *pane < base + sizeX; ++pane)
      if ((flags[*pane] & kEmitter) == 0) redo(*pane, false);
    for (; emitter != emitters.end() && *emitter < base + sizeX; ++emitter) redo(*emitter, true);
    // The sweep compared these cells' light before they were redone (an emitter's without its
    // emission): compare their final light instead.
    const auto remark = [&](long i) {
      const int x = static_cast<int>(i - base);
      bool any = false;
      for (int k = 0; k < 3; ++k) any = any || changedBits(out[k * sizeX + x], rows[k].own[x]);
      diffs[diffOffset(x, sizeX)] = any ? -1 : 0;
    };
    if (track) {
      for (auto i = firstPane; i != pane; ++i) remark(*i);
      for (auto i = firstEmitter; i != emitter; ++i) remark(*i);
      foldRow(diffs, scratch.layerDiffs.data() + (y / kBrickY) * brickRowLanes, groups);
      if (q + 1 == endRow || ((z + 1) % kBrickZ == 0 && y + 1 == sizeY)) listLayer(z / kBrickZ);
    }

    const long done = q - slab.lag;  // no row after q reads this one's old light
    if (done >= firstRow && !slab.held(done)) writeBack(done);
  }
  for (long q = std::max(firstRow, endRow - slab.lag); q < endRow; ++q)
    if (!slab.held(q)) writeBack(q);
}

void LightGrid::commitBoundary(int boundary, int slabs) {
  const long rows = static_cast<long>(sizeY) * sizeZ;
  const auto firstOf = [&](int s) { return rows * s / slabs; };
  const long at = firstOf(boundary);
  // The last rows of the slab before the boundary and the first of the one after it.
  const SlabRows before{firstOf(boundary - 1), at, sizeY, rows};
  const SlabRows after{at, firstOf(boundary + 1), sizeY, rows};
  for (long q = at - sizeY; q < at + sizeY; ++q) {
    const SlabRows& slab = q < at ? before : after;
    writeLightRow(q, lineAligned(scratch[q < at ? boundary - 1 : boundary].held) +
                         slab.heldSlot(q) * 3L * sizeX);
  }
}

void LightGrid::writeLightRow(long row, const float* from) {
  for (int k = 0; k < 3; ++k)
    std::memcpy(current + k * planeStride + row * sizeX, from + k * sizeX, sizeX * sizeof(float));
}

void LightGrid::step() {
  assert(allocated);
  // A grid without cells has nothing to diffuse and no cell for the light to move to.
  if (sizeX <= 0 || sizeY <= 0 || sizeZ <= 0) return;
  if (emittersStale || tintedStale) {
    if (emittersStale) rebuildEmitters();
    if (tintedStale) rebuildTinted();
    rebuildSpecialBricks();
    specialMoves = 0;
  }

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

  // What this step's light can differ in from the last step's: a new decay reaches every cell, a
  // new strength every emitter.
  std::uint32_t strengthBits, decayBits;
  std::memcpy(&strengthBits, &strength, sizeof strengthBits);
  std::memcpy(&decayBits, &decay, sizeof decayBits);
  if (decayBits != lastDecay) touchEverything();
  if (strengthBits != lastStrength)
    for (const long e : emitters) markTouched(brickOfIndex(e));
  lastStrength = strengthBits;
  lastDecay = decayBits;

  bool sparse = false;
  if (stepPath == StepPath::Sparse && everythingTouched) {
    activeBricks.resize(brickCount());
    activeTouched.assign(brickCount(), 1);
    for (long b = 0; b < brickCount(); ++b) activeBricks[b] = b;
    stepCells = cellCount();
    sparse = true;
  } else if (stepPath != StepPath::Full && !everythingTouched) {
    const long most = stepPath == StepPath::Sparse
                          ? brickCount()
                          : static_cast<long>(kSparseShare * static_cast<double>(brickCount()));
    stepCells = gatherActiveBricks(most);
    sparse = stepCells >= 0;
    if (stepPath == StepPath::Automatic) roomInMotion = !sparse;
  }
  // The marks are spent: from here on they record this step's changes for the next.
  for (const long b : changedBricks) brickChanged[b] = 0;
  for (const long b : touchedBricks) brickTouched[b] = 0;
  changedBricks.clear();
  touchedBricks.clear();
  everythingTouched = false;
  stepWasSparse = sparse;
  if (sparse) {
    stepBricks = static_cast<long>(activeBricks.size());
    sparseStep();
    sweepsUnseen = 0;
  } else {
    stepCells = cellCount();
    stepBricks = brickCount();
    // Keeping a record of what changed costs the sweep some 9 %: a room in motion (too much to
    // recompute at the last look) is recorded on one sweep in kTrackEvery, any other on every
    // sweep. A sweep that keeps none leaves nothing known of what changed.
    const bool track = stepPath == StepPath::Automatic &&
                       (!roomInMotion || sweepsUnseen + 1 >= kTrackEvery);
    fullStep(track);
    if (track) {
      sweepsUnseen = 0;
    } else {
      touchEverything();
      ++sweepsUnseen;
    }
  }

  // Every cell hidden until the visibility marks it seen again.
  if (++stepCount == 0) {
    std::fill(seenAt.begin(), seenAt.end(), 0u);
    stepCount = 1;
  }

  // The cells the wandering light rewrites keep their content from before this step: their light
  // is not the rule's, and a cell the light enters or leaves has a new emission.
  const auto keepAsBefore = [this](int x, int y, int z, const GridCell& before) {
    const long i = index(x, y, z);
    for (int k = 0; k < 3; ++k) current[k * planeStride + i] = before.light[k];
    setHidden(i, before.hidden);
    texels[i] = lightTexel(before.light);
    markTouched(brickOf(x, y, z));
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
    brickSpecial[brickOf(tx, ty, tz)] = 1;
    lightX = tx;
    lightY = ty;
    lightZ = tz;
  } else if (attempt && inside(lightX, lightY, lightZ)) {
    keepAsBefore(lightX, lightY, lightZ, light);
  }

  texelsStale = false;
}

void LightGrid::fullStep(bool track) {
  const long rows = static_cast<long>(sizeY) * sizeZ;
  const int threads = pool != nullptr ? pool->threads() : 1;
  // A few slabs a thread, taken in turn: a thread the machine holds back leaves its share to the
  // others instead of keeping them waiting. A slab is at least two layers deep, so that the rows
  // it holds back at its two ends are read by one slab beside it each.
  const long bySize = std::max(1L, cellCount() / std::max(1L, minCellsPerSlab));
  const long perThreads = threads > 1 ? 4L * threads : 1L;
  const int slabs =
      static_cast<int>(std::max(1L, std::min({perThreads, rows / (2L * sizeY), bySize})));
  if (scratch.size() != static_cast<std::size_t>(slabs)) {
    scratch.resize(slabs);
    slabsDone = std::make_unique<std::atomic<int>[]>(slabs);
  }
  const std::size_t rowFloats = 3 * static_cast<std::size_t>(sizeX);
  for (int s = 0; s < slabs; ++s) {
    scratch[s].ring.resize((sizeY + 1) * rowFloats + kLanes);
    scratch[s].held.resize(2 * sizeY * rowFloats + kLanes);
    slabsDone[s].store(0, std::memory_order_relaxed);
  }
  // The rows held at a boundary between two slabs are written by whichever of the two finishes
  // last; the count's acquire-release order makes the other's rows visible to it.
  const auto sweep = [this, rows, slabs, track](int s) {
    sweepSlab(rows * s / slabs, rows * (s + 1) / slabs, scratch[s], track);
    for (const int boundary : {s, s + 1})
      if (boundary > 0 && boundary < slabs &&
          slabsDone[boundary].fetch_add(1, std::memory_order_acq_rel) == 1)
        commitBoundary(boundary, slabs);
  };
  if (pool != nullptr) {
    pool->run(slabs, sweep);
  } else {
    for (int s = 0; s < slabs; ++s) sweep(s);
  }

  // The slabs' lists of changed bricks (a layer of bricks two slabs share may be in both).
  for (int s = 0; s < slabs; ++s)
    for (const long b : scratch[s].changed) markChanged(b);
}

void LightGrid::brickBounds(long b, int lo[3], int hi[3]) const {
  const int at[3] = {static_cast<int>(b % bricksX), static_cast<int>(b / bricksX % bricksY),
                     static_cast<int>(b / bricksX / bricksY)};
  const int side[3] = {kBrickX, kBrickY, kBrickZ}, size[3] = {sizeX, sizeY, sizeZ};
  for (int a = 0; a < 3; ++a) {
    lo[a] = at[a] * side[a];
    hi[a] = std::min(lo[a] + side[a], size[a]);
  }
}

// A cell's inputs are its own light and its neighbours', so the bricks to recompute are the
// changed ones, the six beside each (a brick's face cells read across it) and the touched ones.
long LightGrid::gatherActiveBricks(long most) {
  activeBricks.clear();
  const auto add = [this](long b) {
    if (!brickActive[b]) {
      brickActive[b] = 1;
      activeBricks.push_back(b);
    }
  };
  const long layer = static_cast<long>(bricksX) * bricksY;
  bool tooMany = static_cast<long>(changedBricks.size()) > most;
  for (std::size_t n = 0; n < changedBricks.size() && !tooMany; ++n) {
    const long b = changedBricks[n];
    const long bx = b % bricksX, by = b / bricksX % bricksY, bz = b / layer;
    add(b);
    if (bx > 0) add(b - 1);
    if (bx + 1 < bricksX) add(b + 1);
    if (by > 0) add(b - bricksX);
    if (by + 1 < bricksY) add(b + bricksX);
    if (bz > 0) add(b - layer);
    if (bz + 1 < bricksZ) add(b + layer);
    tooMany = static_cast<long>(activeBricks.size()) > most;
  }
  for (std::size_t n = 0; n < touchedBricks.size() && !tooMany; ++n) {
    add(touchedBricks[n]);
    tooMany = static_cast<long>(activeBricks.size()) > most;
  }
  long cells = 0;
  for (const long b : activeBricks) {
    brickActive[b] = 0;
    int lo[3], hi[3];
    brickBounds(b, lo, hi);
    cells += static_cast<long>(hi[0] - lo[0]) * (hi[1] - lo[1]) * (hi[2] - lo[2]);
  }
  if (tooMany) return -1;
  // In memory order, so that bricks side by side share the rows they read.
  std::sort(activeBricks.begin(), activeBricks.end());
  activeTouched.resize(activeBricks.size());
  for (std::size_t slot = 0; slot < activeBricks.size(); ++slot)
    activeTouched[slot] = brickTouched[activeBricks[slot]];
  return cells;
}

// The sparse path: every listed brick computed into its own slot from the light as it was, then
// all written back, so no brick reads another's new light; the writing compares the bits.
void LightGrid::sparseStep() {
  const long count = static_cast<long>(activeBricks.size());
  const std::size_t floats = static_cast<std::size_t>(count) * 3 * kBrickCells;
  if (brickLight.size() < floats) brickLight.resize(floats);
  if (slotChanged.size() < static_cast<std::size_t>(count)) slotChanged.resize(count);
  if (slotRows.size() < static_cast<std::size_t>(count) * kBrickY * kBrickZ)
    slotRows.resize(static_cast<std::size_t>(count) * kBrickY * kBrickZ);
  const int threads = pool != nullptr ? pool->threads() : 1;
  // As the full sweep's slabs, a task has at least minCellsPerSlab cells: smaller sets run on
  // the calling thread, as waking the pool costs more than they do.
  const long byCells = stepCells / std::max(1L, minCellsPerSlab);
  const int tasks = static_cast<int>(std::max(1L, std::min({4L * threads, byCells, count})));
  if (tasks > 1 && pool != nullptr) {
    const auto part = [count, tasks](int t, auto&& each) {
      for (long slot = count * t / tasks; slot < count * (t + 1) / tasks; ++slot) each(slot);
    };
    pool->run(tasks, [&](int t) { part(t, [this](long slot) { computeBrick(slot); }); });
    pool->run(tasks, [&](int t) { part(t, [this](long slot) { writeBackBrick(slot); }); });
  } else {
    for (long slot = 0; slot < count; ++slot) computeBrick(slot);
    for (long slot = 0; slot < count; ++slot) writeBackBrick(slot);
  }
  for (long slot = 0; slot < count; ++slot)
    if (slotChanged[slot]) markChanged(activeBricks[slot]);
}

void LightGrid::computeBrick(long slot) {
  const long b = activeBricks[slot];
  constexpr long kRows = kBrickY * kBrickZ;
  BrickJob job{current, planeStride, keep, zeroRow.data(), sizeX, sizeY, sizeZ, {}, {},
               decay, brickLight.data() + slot * 3 * kBrickCells, texels,
               slotRows.data() + slot * kRows, activeTouched[slot] != 0};
  brickBounds(b, job.lo, job.hi);
  stepBrick(job);
  if (!brickSpecial[b]) return;
  // Tinted panes and emitters, redone as the sweep redoes them after their row. The brick's rows
  // come in increasing order, so each search starts where the last one ended.
  auto pane = tinted.begin();
  auto emitter = emitters.begin();
  for (int z = job.lo[2]; z < job.hi[2]; ++z)
    for (int y = job.lo[1]; y < job.hi[1]; ++y) {
      const long q = static_cast<long>(z) * sizeY + y;
      const long first = q * sizeX + job.lo[0], end = q * sizeX + job.hi[0];
      pane = std::lower_bound(pane, tinted.end(), first);
      emitter = std::lower_bound(emitter, emitters.end(), first);
      if ((pane == tinted.end() || *pane >= end) && (emitter == emitters.end() || *emitter >= end))
        continue;
      Rows rows[3];
      rowsOf(q, current, planeStride, sizeX, sizeY, sizeZ, zeroRow.data(), rows);
      const int row = (z - job.lo[2]) * kBrickY + y - job.lo[1];
      float* out = job.out + static_cast<long>(row) * kBrickX;
      const auto redo = [&](long i, bool emits) {
        const int x = static_cast<int>(i - q * sizeX);
        const float kept[3] = {keptFor(i, 0), keptFor(i, 1), keptFor(i, 2)};
        float light[3], glow[3];
        redoneLight(rows, x, sizeX, kept, emits ? emissionOf(i, glow) : nullptr, strength, decay,
                    light);
        for (int k = 0; k < 3; ++k) out[k * kBrickCells + x - job.lo[0]] = light[k];
        texels[i] = lightTexel(light);
      };
      for (; pane != tinted.end() && *pane < end; ++pane)
        if ((flags[*pane] & kEmitter) == 0) redo(*pane, false);
      for (; emitter != emitters.end() && *emitter < end; ++emitter) redo(*emitter, true);
      // The row's mark saw the light made before the redone cells were redone.
      const std::size_t bytes = static_cast<std::size_t>(job.hi[0] - job.lo[0]) * sizeof(float);
      bool any = false;
      for (int k = 0; k < 3; ++k)
        any = any || std::memcmp(out + k * kBrickCells, rows[k].own + job.lo[0], bytes) != 0;
      job.rowChanged[row] = any;
    }
}

void LightGrid::writeBackBrick(long slot) {
  int lo[3], hi[3];
  brickBounds(activeBricks[slot], lo, hi);
  const float* from = brickLight.data() + slot * 3 * kBrickCells;
  const unsigned char* rowChanged = slotRows.data() + slot * kBrickY * kBrickZ;
  const int width = hi[0] - lo[0];
  bool changed = false;
  for (int z = lo[2]; z < hi[2]; ++z)
    for (int y = lo[1]; y < hi[1]; ++y) {
      const int row = (z - lo[2]) * kBrickY + y - lo[1];
      if (!rowChanged[row]) continue;
      changed = true;
      const long at = (static_cast<long>(z) * sizeY + y) * sizeX + lo[0];
      for (int k = 0; k < 3; ++k) {
        float* to = current + k * planeStride + at;
        const float* light = from + k * kBrickCells + static_cast<long>(row) * kBrickX;
        if (width == kBrickX)
          std::memcpy(to, light, kBrickX * sizeof(float));
        else
          std::memcpy(to, light, static_cast<std::size_t>(width) * sizeof(float));
      }
    }
  slotChanged[slot] = changed;
}
