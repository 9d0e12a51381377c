// The voxel world: a 3-D grid of cells read and written as GridCell, the wandering light's cell
// and the global emission strength. Cell (x, y, z) is element i = ((z*sizeY)+y)*sizeX+x; y is up.
// Reads outside the grid give the solid, dark `outside` cell; writes outside are ignored.
//
// Storage is one array per field, so the step moves only what its rule reads and writes: the light
// is three planes (r, g, b) of `current` (the step updates it in place; a second generation,
// `next`, exists only while setNextCell writes one, until swapBuffers); opacity and the flags
// have one copy; emission is kept only for the cells that have any. setCell and setNextCell are
// the only writers of a cell and keep the step's derived arrays (the kept fraction of light per
// cell, the list of emitters) in step with every edit.
//
// Change is tracked by bricks of kBrickX x kBrickY x kBrickZ cells (the last ones along an axis
// may be shorter): the step knows which bricks its light changed and which an edit touched, and
// can recompute only those bricks and the ones beside them (see LightGridStep.cpp).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "world/GridCell.h"
#include "world/Palette.h"
#include "world/SparseEmission.h"

class WorkerPool;

// A box of cells, or of the light volume's texels: lo[a] <= coordinate < hi[a] along each axis
// a (x, y, z).
struct TexelBox {
  int lo[3] = {0, 0, 0};
  int hi[3] = {0, 0, 0};
  long cells() const { return static_cast<long>(hi[0] - lo[0]) * (hi[1] - lo[1]) * (hi[2] - lo[2]); }
};

class LightGrid {
 public:
  LightGrid();
  ~LightGrid();
  LightGrid(const LightGrid&) = delete;
  LightGrid& operator=(const LightGrid&) = delete;

  // Allocates empty cells of the given extents, discarding any old ones.
  void resize(int newSizeX, int newSizeY, int newSizeZ);

  // The cell in the current generation, or `outside` when the coordinate is off the grid.
  GridCell getCell(int x, int y, int z) const {
    if (!inside(x, y, z)) return outside;
    const long i = index(x, y, z);
    GridCell c;
    c.emitter = (flags[i] & kEmitter) != 0;
    c.greenMarker = (flags[i] & kGreenMarker) != 0;
    c.redMarker = (flags[i] & kRedMarker) != 0;
    emission.cellInto(i, c.emission);
    for (int k = 0; k < 3; ++k) c.light[k] = current[k * planeStride + i];
    c.opacity = opacity[i];
    c.hidden = hiddenAt(i);
    c.material = materials[i];
    return c;
  }
  // Overwrites a cell of the current generation; nothing happens off the grid. The one way to
  // edit the room while it runs: the next step sees the new opacity, emission and light.
  void setCell(int x, int y, int z, const GridCell& cell);
  // Writes a cell's light into the next generation, started dark by the first such write; its
  // other fields (single copy) at once. swapBuffers then makes that light current and lets the
  // old generation go; without a next generation it makes a dark one current. The builders
  // write every cell of a new room with setCell instead, which needs no second generation: a
  // room of 1024 x 16 x 1024 would hold 200 MB more while it is built.
  void setNextCell(int x, int y, int z, const GridCell& cell);
  void swapBuffers();

  // One diffusion step: replaces the light in `current` with the next generation's, marks every
  // cell hidden, refreshes `texels` and lets the wandering light try a move (uses rand()); `next`
  // is left as it was. The work is split into slabs of rows, or runs of bricks, run by `pool`
  // (on the calling thread alone when null); every cell's result is the same for any split and
  // either path (stepPath). Allocates only on the first step after a resize or a change of slab
  // count, and when more bricks are recomputed than ever before.
  void step();

  // How a step computes the light. Full: every cell, one sweep of the whole grid, keeping no
  // record of what changed. Sparse: only the bricks whose inputs may have changed since the last
  // step (every brick when that is not known, as after a resize, swapBuffers or a full step that
  // kept no record).
  // Automatic: sparse while those bricks are at most kSparseShare of all, else a full sweep that
  // records what changed (in a room in motion, on one sweep in eight). The light, texels and
  // stamps are the same bit for bit whichever path runs.
  enum class StepPath { Automatic, Full, Sparse };
  StepPath stepPath = StepPath::Automatic;
  // Sparse steps in automatic mode cover at most this share of the bricks: a sparse step costs
  // about twice as much a cell as the sweep, and the sweep spreads over all the pool's threads.
  static constexpr double kSparseShare = 0.25;
  // The brick: sixteen cells along x (one lane group of the sweep, one cache line of a light
  // plane), four along y and z: compact, so that few cells are recomputed beside a change for
  // nothing, and yet few bricks to list (16 x 2 x 2 recomputes a few per cent fewer cells of the
  // settled halls but lists four times the bricks; 16 x 1 x 1 costs twice the time).
  static constexpr int kBrickX = 16, kBrickY = 4, kBrickZ = 4;
  // What the last step computed: cells and bricks (a full sweep counts every one), and whether
  // it took the sparse path.
  long lastStepCells() const { return stepCells; }
  long lastStepBricks() const { return stepBricks; }
  bool lastStepSparse() const { return stepWasSparse; }
  long brickCount() const { return static_cast<long>(bricksX) * bricksY * bricksZ; }
  // Makes the next step recompute every cell and the texels be made again from `current`: for
  // code that writes `current` directly instead of through setCell.
  void touchAll() {
    texelsStale = true;
    touchEverything();
  }

  // The texels that may differ from those of the last takeTexelChanges (or of the grid's
  // making) replace `boxes`: runs of bricks along x, disjoint, in increasing order; the whole
  // grid as one box when nothing is known of what changed or the runs would cover more than
  // kTexelRunShare of the bricks. The record starts again empty. A texel outside every box is
  // the same, to the bit, as at that last call.
  void takeTexelChanges(std::vector<TexelBox>& boxes);
  static constexpr double kTexelRunShare = 0.25;
  // The whole grid as one box.
  TexelBox wholeBox() const;

  // True when 0 <= x < sizeX, 0 <= y < sizeY and 0 <= z < sizeZ.
  bool contains(float x, float y, float z) const;

  // Trilinear blend of opacity and light at a continuous position, each cell's value sitting at
  // its integer coordinates; other fields are zero. Off the grid, and for corners beyond its
  // last index, the solid `outside` cell is blended in.
  GridCell sampleAt(float x, float y, float z) const;

  // Light is unbounded; the light volume stores each component as c / (c + 1), so zero stays 0,
  // a light of 1 becomes 0.5 and bright light approaches 1.
  static float compressLight(float c) { return c / (c + 1.0f); }
  // One texel of the light volume: the three compressed components rounded to 8 bits (half to
  // even, as GL converts a float to an 8-bit channel), alpha 255; bytes r, g, b, a in memory.
  static std::uint32_t lightTexel(const float light[3]);

  // True when the integer coordinate addresses a cell of the grid.
  bool inside(int x, int y, int z) const {
    return x >= 0 && y >= 0 && z >= 0 && x < sizeX && y < sizeY && z < sizeZ;
  }
  // Element index of an inside coordinate.
  long index(int x, int y, int z) const {
    return (static_cast<long>(z) * sizeY + y) * sizeX + x;
  }
  long cellCount() const { return static_cast<long>(sizeX) * sizeY * sizeZ; }

  // Per-cell reads for loops over every cell (i from index()); no bounds test.
  bool hiddenAt(long i) const { return seenAt[i] != stepCount; }
  void setHidden(long i, bool value) { seenAt[i] = value ? stepCount - 1 : stepCount; }
  bool emitterAt(long i) const { return (flags[i] & kEmitter) != 0; }
  float opacityAt(long i) const { return opacity[i]; }
  float lightAt(long i, int k) const { return current[k * planeStride + i]; }

  unsigned char materialAt(long i) const { return materials[i]; }

  // The room's materials. A cell of tinted glass lets each channel through by its material's
  // own share, (1 - opacity) * colour / 255; every other cell keeps all channels alike.
  const Palette& palette() const { return materialPalette; }
  // Replaces the palette; the cells keep their indices and take on what those now name.
  void setPalette(const Palette& palette);

  // The light volume's texels of the current light, refreshed first if an edit made them stale.
  const std::uint32_t* lightTexels() const;

  int sizeX = 0, sizeY = 0, sizeZ = 0;
  // The wandering light's cell; every room built starts it at kLightStart (x, y, z).
  static constexpr int kLightStart[3] = {6, 3, 3};
  int lightX = kLightStart[0], lightY = kLightStart[1], lightZ = kLightStart[2];
  float strength = 0.0f;
  bool allocated = false;
  float decay = 0.916f;
  // Light of the current and the next generation: plane k (r, g, b) of cell i at
  // [k * lightPlaneStride() + i]. `next` is null but between setNextCell and swapBuffers. A
  // direct write to `current` must be followed by touchAll().
  float* current = nullptr;
  float* next = nullptr;
  // Floats from one light plane to the next: a little more than cellCount(), see resize().
  long lightPlaneStride() const { return planeStride; }
  GridCell outside;
  // The pool that runs the step's slabs (not owned); null: the calling thread alone.
  WorkerPool* pool = nullptr;
  // Grids with fewer cells than this per slab are stepped in fewer slabs (a wake-up costs more
  // than a small slab's sweep).
  long minCellsPerSlab = 65536;

 private:
  static constexpr unsigned char kEmitter = 1, kGreenMarker = 2, kRedMarker = 4;

  // The single-copy fields of cell i, and what the step derives from them.
  void writeFields(long i, const GridCell& cell);
  // The step's sweep of one slab of rows, and the writing of the rows it held back (see
  // LightGridStep.cpp).
  struct SlabScratch {
    std::vector<float> ring;  // rows the slab writes back itself, three planes a row
    std::vector<float> held;  // its first and last rows, which the slabs beside it read
    // The changed lanes of a row and of each brick row of the layer of bricks under way (see
    // LightGridStep.cpp), and the bricks the slab changed.
    std::vector<std::int32_t> diffs, layerDiffs;
    std::vector<unsigned char> any;
    std::vector<long> changed;
  };
  // With `track`, it lists the bricks whose light it changed in the scratch.
  void sweepSlab(long firstRow, long endRow, SlabScratch& scratch, bool track);
  // Writes the rows held on both sides of the boundary before slab `boundary` of `slabs`.
  void commitBoundary(int boundary, int slabs);
  // Copies one row's new light (planes r, g, b one after another) into `current`.
  void writeLightRow(long row, const float* from);
  void rebuildEmitters();
  void rebuildTinted();
  // Keeps `list` (emitters or tinted panes, sorted) up to date for one cell whose membership an
  // edit may have changed, so that the next step need not read every cell to rebuild it. Past a
  // budget of moved entries of about what a rebuild reads, `stale` is set instead.
  void noteSpecialCell(std::vector<long>& list, bool& stale, long i, bool member);
  void refreshTexels(long first, long end) const;

  // Change tracking (see LightGridStep.cpp). The brick of a cell (x, y, z).
  long brickOf(int x, int y, int z) const {
    return (static_cast<long>(z / kBrickZ) * bricksY + y / kBrickY) * bricksX + x / kBrickX;
  }
  long brickOfIndex(long i) const {
    return brickOf(static_cast<int>(i % sizeX), static_cast<int>(i / sizeX % sizeY),
                   static_cast<int>(i / sizeX / sizeY));
  }
  // A brick whose light changed: it and the bricks beside it are recomputed next step.
  void markChanged(long brick) {
    markTexels(brick);
    if (!brickChanged[brick]) {
      brickChanged[brick] = 1;
      changedBricks.push_back(brick);
    }
  }
  // A brick whose own inputs (opacity, material, emission, strength) changed, or whose light is
  // not what the rule made of its inputs: it alone is recomputed next step.
  void markTouched(long brick) {
    if (!brickTouched[brick]) {
      brickTouched[brick] = 1;
      touchedBricks.push_back(brick);
    }
  }
  // A brick whose texels may have changed since the last takeTexelChanges.
  void markTexels(long brick) {
    if (!brickTexels[brick]) {
      brickTexels[brick] = 1;
      texelBricks.push_back(brick);
    }
  }
  // Nothing is known of what changed: every brick is recomputed and every texel uploaded.
  void touchEverything() {
    everythingTouched = true;
    allTexelsChanged = true;
  }
  // Marks the bricks with an emitter or a tinted pane from the lists.
  void rebuildSpecialBricks();
  // The two paths of a step. Both leave the bricks whose light they changed in changedBricks;
  // the full sweep only when it tracks.
  void fullStep(bool track);
  void sparseStep();
  // Lists the bricks to recompute in activeBricks (increasing) and returns their cells, or -1
  // (the list unfinished) when there are more than `most`.
  long gatherActiveBricks(long most);
  // Computes brick activeBricks[slot] into its slot of the sparse scratch, marking the rows
  // whose light changed; writes those rows back into `current`.
  void computeBrick(long slot);
  void writeBackBrick(long slot);
  // Cells of brick b along each axis: first and end coordinates.
  void brickBounds(long b, int lo[3], int hi[3]) const;

  // The arrays the step streams through start at chosen places in a 4 KiB page (`current` and
  // `keep`, `texels` point into their stores), so that the same cell of each never shares a cache
  // set with the others.
  long planeStride = 0;
  std::vector<float> lightA, lightB;  // 3 planes each; lightB empty but while `next` lives
  std::vector<float> opacity;
  SparseEmission emission;  // r, g, b of cell i at [3 * i + k]
  std::vector<unsigned char> flags;
  // A cell is hidden unless it was marked seen since the last step began: every step hides every
  // cell by counting, not by writing each cell. stepCount is never 0; the stamps are reset when
  // it would wrap.
  std::vector<std::uint32_t> seenAt;
  std::uint32_t stepCount = 1;
  // Derived for the step: the fraction of the neighbourhood's light a cell keeps, (1 - opacity),
  // or 0 for a cell opaque to light; the emitters' indices in increasing order.
  std::vector<float> keepStore;
  float* keep = nullptr;
  std::vector<long> emitters;
  bool emittersStale = true;
  // Cells of tinted glass in increasing order: the step redoes them after their row with a kept
  // fraction per channel, tintKeep[3 * material + k]; tintedMaterial marks the palette's tinted
  // glasses. The sweep itself reads no more of a cell than its one kept fraction.
  std::vector<long> tinted;
  bool tintedStale = true;
  // Entries the edits since the lists were last rebuilt have moved (noteSpecialCell).
  long specialMoves = 0;
  std::vector<unsigned char> materials;
  Palette materialPalette;
  float tintKeep[3 * Palette::kMaxMaterials] = {};
  bool tintedMaterial[Palette::kMaxMaterials] = {};
  // Cell i's emission, r, g, b, copied into `out` (the store keeps only the cells that have any).
  const float* emissionOf(long i, float out[3]) const {
    emission.cellInto(i, out);
    return out;
  }
  // The kept fraction of channel k of cell i.
  float keptFor(long i, int k) const {
    return tintedMaterial[materials[i]] ? tintKeep[3 * materials[i] + k] : keep[i];
  }
  std::vector<std::uint32_t> texelStore;
  std::uint32_t* texels = nullptr;
  // The texels are a cache of `current`: refreshing them (through the pointer) leaves what a
  // reader sees unchanged, so a const grid may refresh them.
  mutable bool texelsStale = true;
  std::vector<float> zeroRow;  // the outside's light, one row long
  std::vector<SlabScratch> scratch;  // one per slab of the last step
  // Per boundary before slab s: how many of the two slabs beside it have finished their sweep.
  std::unique_ptr<std::atomic<int>[]> slabsDone;

  // Bricks per axis, rounded up.
  int bricksX = 0, bricksY = 0, bricksZ = 0;
  // The bricks changed by the last step or an edit since, and those touched (one byte a brick
  // flags membership of each list). A brick with an emitter or a tinted pane is special.
  std::vector<unsigned char> brickChanged, brickTouched, brickSpecial, brickActive;
  std::vector<long> changedBricks, touchedBricks, activeBricks;
  // Per active brick: it was touched, so its texels may be stale.
  std::vector<unsigned char> activeTouched;
  // Nothing is known of what changed (a new grid, swapped buffers, a new palette or decay).
  bool everythingTouched = true;
  // The bricks whose texels may have changed since the last takeTexelChanges; kept apart from
  // the step's marks, which each step spends whether or not anything is uploaded.
  std::vector<unsigned char> brickTexels;
  std::vector<long> texelBricks;
  bool allTexelsChanged = true;
  // The strength and decay the last step ran with, as bits.
  std::uint32_t lastStrength = 0, lastDecay = 0;
  // Full sweeps in a row that kept no record of what changed, and whether the last look at a
  // record found more bricks to recompute than a sparse step takes: a room in motion, recorded
  // on one full sweep in kTrackEvery.
  static constexpr int kTrackEvery = 8;
  int sweepsUnseen = 0;
  bool roomInMotion = false;
  // The sparse path's results, three planes of one brick a slot, which of a slot's rows
  // changed, and which slots did.
  std::vector<float> brickLight;
  std::vector<unsigned char> slotRows, slotChanged;
  long stepCells = 0, stepBricks = 0;
  bool stepWasSparse = false;
};
