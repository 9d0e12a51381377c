// The sparse step (only the bricks whose inputs changed): bit for bit the full sweep and the plain
// rule through edits, strength and palette changes and the wandering light, on grids whose bricks
// do not divide evenly and on 1, 2 and 3 threads; a settled room recomputes a small share only
// (how small in the benchmarks' room of halls: tools/LightBench).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/WorkerPool.h"
#include "tests/support/ReferenceLightStep.h"

namespace {

static_assert(LightGrid::kBrickX == 16 && LightGrid::kBrickY == 4 && LightGrid::kBrickZ == 4,
              "the grids and cells below are chosen for bricks of 16 x 4 x 4");

GridCell cellAt(const LightGrid& g, long i) {
  return g.getCell(static_cast<int>(i % g.sizeX), static_cast<int>(i / g.sizeX % g.sizeY), static_cast<int>(i / g.sizeX / g.sizeY));
}

// Grid `g` against another grid's or the plain rule's cells: light and emission to the bit,
// flags, material, each texel made from that light, and the wandering light. Read in place (the
// emission through getCell, where either side has one): this runs after every step.
template <class Other, class CellOf, class TexelOf>
::testing::AssertionResult matches(LightGrid& g, const Other& o, CellOf cellOf, TexelOf texelOf) {
  if (g.lightX != o.lightX || g.lightY != o.lightY || g.lightZ != o.lightZ) return ::testing::AssertionFailure() << "the wandering light";
  const std::uint32_t* texels = g.lightTexels();
  const float zero[3] = {};
  for (long i = 0; i < g.cellCount(); ++i) {
    const GridCell& p = cellOf(o, i);
    const float light[3] = {g.lightAt(i, 0), g.lightAt(i, 1), g.lightAt(i, 2)};
    const bool emits = g.emitterAt(i) || p.emitter || std::memcmp(p.emission, zero, sizeof zero) != 0;
    if (std::memcmp(light, p.light, sizeof light) != 0 || g.emitterAt(i) != p.emitter || g.hiddenAt(i) != p.hidden ||
        g.materialAt(i) != p.material || texels[i] != texelOf(i) ||
        (emits && std::memcmp(cellAt(g, i).emission, p.emission, sizeof p.emission) != 0))
      return ::testing::AssertionFailure() << "cell " << i << " light " << light[0] << " / " << p.light[0];
  }
  return ::testing::AssertionSuccess();
}
// The plain rule's texels, made once for all the grids compared with it after a step.
std::vector<std::uint32_t> texelsOf(const PlainGrid& plain) {
  std::vector<std::uint32_t> texels;
  for (const GridCell& c : plain.current) texels.push_back(LightGrid::lightTexel(c.light));
  return texels;
}
::testing::AssertionResult matches(LightGrid& g, const PlainGrid& plain, const std::vector<std::uint32_t>& texels) {
  return matches(g, plain, [](const PlainGrid& p, long i) -> const GridCell& { return p.current[i]; },
                 [&](long i) { return texels[i]; });
}
::testing::AssertionResult sameState(LightGrid& a, const LightGrid& b) {
  return matches(a, b, cellAt, [&](long i) { return b.lightTexels()[i]; });
}

// A dark room of four chambers: walls with doors, red and neutral glass in the cross walls, lamps
// under the ceiling; the wandering light caged in one corner, so that the rest settles.
PlainGrid chambers(int sx, int sy, int sz, bool caged = true) {
  PlainGrid g(sx, sy, sz);
  const unsigned char lamps[3] = {Palette::kWhiteLight, Palette::kYellowLight, Palette::kBlueLight};
  for (long i = 0; i < static_cast<long>(g.current.size()); ++i) {
    const int x = static_cast<int>(i % sx), y = static_cast<int>(i / sx % sy), z = static_cast<int>(i / sx / sy);
    const bool border = x == 0 || y == 0 || z == 0 || x == sx - 1 || y == sy - 1 || z == sz - 1;
    const bool cage = caged && x <= 4 && y <= 3 && z <= 4 && (x == 4 || y == 3 || z == 4);
    const bool door = y == 1 && (x == sx / 2 ? z % 7 == 3 : x % 7 == 3);
    unsigned char m = Palette::kAir;
    if (border || cage) m = Palette::kWall;
    else if ((x == sx / 2 || z == sz / 2) && !door) m = y != sy / 2 ? Palette::kWall : (x + z) % 3 ? redGlass(g.palette) : Palette::kGlass;
    else if (y == sy - 2 && x % 6 == 2 && z % 5 == 2) m = lamps[(x + z) % 3];
    g.current[i] = g.palette[m].cell(m);
  }
  g.lightX = 2, g.lightY = 1, g.lightZ = 2;
  g.current[g.index(2, 1, 2)] = g.palette[Palette::kWhiteLight].cell(Palette::kWhiteLight);
  return g;
}

}  // namespace

// Random edits, strength, palette and decay changes, the wandering light walking: every path on
// every thread count equals the plain rule after every step, the sparse one skipping bricks on
// most steps. The grids divide into bricks along no axis, narrower than a lane group, evenly.
TEST(LightGridSparseStep, MatchesTheFullSweepAndThePlainRuleBitForBitThroughEditsOnAnyThreadCount) {
  WorkerPool pools[] = {WorkerPool(1), WorkerPool(2), WorkerPool(3)};
  // The last lets the wandering light out of its cage, into bricks with no lamp.
  const struct { int x, y, z, steps; bool caged; } grids[] = {
      {37, 7, 23, 2400, true}, {9, 9, 14, 2000, true}, {32, 8, 16, 1200, true}, {50, 6, 30, 1500, false}};
  unsigned seed = 400;
  for (const auto& size : grids) {
    SCOPED_TRACE(std::to_string(size.x) + " x " + std::to_string(size.y) + " x " + std::to_string(size.z));
    PlainGrid plain = chambers(size.x, size.y, size.z, size.caged);
    plain.strength = 0.25f;
    ++seed;
    enum { kSparse1, kSparse2, kSparse3, kAutomatic, kFull, kGrids };
    LightGrid fast[kGrids];
    using Path = LightGrid::StepPath;
    const Path paths[kGrids] = {Path::Sparse, Path::Sparse, Path::Sparse, Path::Automatic, Path::Full};
    for (int g = 0; g < kGrids; ++g)  // every split the threads allow
      plain.copyTo(fast[g]), fast[g].stepPath = paths[g], fast[g].pool = &pools[g < 3 ? g : g - 2], fast[g].minCellsPerSlab = 1;
    std::mt19937 events(seed);
    const float strengths[] = {0.5f, 0.05f, 0.25f, 0.0f, 0.3f};
    int skipped = 0, automaticSparse = 0, automaticFull = 0;
    for (int step = 0; step < size.steps; ++step) {
      for (int n = events() % 300 == 0 ? 1 + static_cast<int>(events() % 3) : 0; n > 0; --n) {
        const int x = static_cast<int>(events() % size.x), y = static_cast<int>(events() % size.y), z = static_cast<int>(events() % size.z),
                  m = static_cast<int>(events() % plain.palette.size());
        GridCell c = plain.palette[m].cell(static_cast<unsigned char>(m));
        if (events() % 2 == 0)  // else dark, as a new wall is: its old texel is stale
          for (float& l : c.light) l = static_cast<float>(events() % 3000) / 10.0f;
        c.hidden = events() % 2 != 0;
        plain.current[plain.index(x, y, z)] = c;
        for (LightGrid& f : fast) f.setCell(x, y, z, c);
      }
      if (step % 800 == 400) plain.strength = strengths[step / 800 % 5];
      if (step == size.steps * 3 / 4) plain.decay = 0.9f;
      if (step == size.steps / 2) {  // the red glass turns green
        Material green = plain.palette[redGlass(plain.palette)];
        green.colour[0] = 0;
        green.colour[1] = 255;
        plain.palette.set(redGlass(Palette::standard()), green);
        for (LightGrid& f : fast) f.setPalette(plain.palette);
      }
      for (LightGrid& f : fast) {
        f.strength = plain.strength, f.decay = plain.decay;
        std::srand(seed * 7919 + step);
        f.step();
      }
      std::srand(seed * 7919 + step);
      referenceLightStep(plain);
      if (fast[kSparse1].lastStepBricks() < fast[kSparse1].brickCount()) ++skipped;
      (fast[kAutomatic].lastStepSparse() ? automaticSparse : automaticFull)++;
      const std::vector<std::uint32_t> texels = texelsOf(plain);
      for (int g = 0; g < kGrids; ++g) ASSERT_TRUE(matches(fast[g], plain, texels)) << "grid " << g << " step " << step;
    }
    // The light out of its cage keeps more than a quarter of the bricks in motion: no automatic sparse step there.
    EXPECT_TRUE(skipped > size.steps / 2 && (automaticSparse > 0 || !size.caged) && automaticFull > 0)
        << skipped << " " << automaticSparse << " " << automaticFull;
  }
}

// Every other way the room changes between steps reaches the next sparse step, checked against
// the full sweep after every step.
TEST(LightGridSparseStep, EveryOtherChangeOfTheRoomReachesTheNextSparseStep) {
  WorkerPool two(2);
  LightGrid sparse, full;
  const auto build = [&](int sx, int sy, int sz) {
    PlainGrid plain = chambers(sx, sy, sz);
    plain.strength = 0.25f;
    for (LightGrid* g : {&sparse, &full}) plain.copyTo(*g);
  };
  build(37, 6, 21);
  sparse.stepPath = LightGrid::StepPath::Sparse;
  sparse.pool = &two;
  full.stepPath = LightGrid::StepPath::Full;
  int step = 0;
  const auto run = [&](int steps, const std::string& after) {
    for (int i = 0; i < steps; ++i, ++step) {
      for (LightGrid* g : {&sparse, &full}) std::srand(step), g->step();
      ASSERT_TRUE(sameState(sparse, full)) << "after " << after << ", step " << step;
    }
  };
  run(400, "settling");
  EXPECT_LT(sparse.lastStepBricks(), sparse.brickCount() / 4) << "the room settles";

  // A change at a row's end (x 32 .. 36) by a face between bricks (z 7 | 8), found by the automatic
  // choice's full sweep: the sparse steps after it start from the sweep's record.
  GridCell lit;
  lit.light[0] = 40.0f, lit.light[2] = 3.0f;
  for (LightGrid* g : {&sparse, &full}) g->setCell(35, 2, 6, lit);
  sparse.stepPath = LightGrid::StepPath::Automatic;
  sparse.touchAll();
  run(1, "a full sweep");
  EXPECT_FALSE(sparse.lastStepSparse());
  sparse.stepPath = LightGrid::StepPath::Sparse;
  run(1, "a full sweep");
  EXPECT_LT(sparse.lastStepBricks(), sparse.brickCount() / 2) << "the sweep knew what it changed";
  run(60, "a full sweep");

  for (LightGrid* g : {&sparse, &full}) {  // light written straight into the planes
    for (long i = 0; i < g->cellCount(); i += 97) g->current[g->lightPlaneStride() + i] += 5.0f;
    g->touchAll();
  }
  for (long i = 0; i < sparse.cellCount(); i += 97) {  // the texels follow before any step
    const float light[3] = {sparse.lightAt(i, 0), sparse.lightAt(i, 1), sparse.lightAt(i, 2)};
    ASSERT_EQ(sparse.lightTexels()[i], LightGrid::lightTexel(light)) << "cell " << i;
  }
  run(60, "a direct write");
  for (LightGrid* g : {&sparse, &full}) g->lightX = 30, g->lightY = 2, g->lightZ = 17;  // in another chamber
  run(200, "moving the wandering light");
  build(19, 9, 35);  // nothing of the old room is known
  run(300, "a new room");
  // A room sized under a palette whose material 0 is tinted glass: every cell a pane at once, as
  // when the palette comes after the size.
  Palette tinted = Palette::standard();
  tinted.set(0, tinted[redGlass(tinted)]);
  sparse.setPalette(tinted), sparse.resize(9, 5, 7);
  full.resize(9, 5, 7), full.setPalette(tinted);
  GridCell lamp;
  lamp.setEmitter(300.0f, 300.0f, 300.0f);
  for (LightGrid* g : {&sparse, &full}) g->setCell(4, 2, 3, lamp), g->lightX = -10;
  run(30, "a tinted room");
  EXPECT_EQ(full.lightAt(full.index(5, 2, 3), 1), 0.0f) << "red glass lets no green through";
}
