// LightGrid: storage (the solid outside cell, writes off the grid ignored, the trilinear sample); the
// step bit for bit the plain rule on walled and open random grids of every material, in slabs over
// 1, 2, 3 and 8 threads, with the light volume's texels made from the same light; red glass passing
// red only; the step's thread count from the environment.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "platform/WorkerPool.h"
#include "tests/support/ReferenceLightStep.h"

namespace {

// Air, opacities around the opaque threshold, solids, emitters, every standard material (tinted
// glass too), light from zero and subnormals to 1e37; a walled grid has solid cells all round.
void fill(PlainGrid& g, unsigned seed, bool walled) {
  const int sx = g.sizeX, sy = g.sizeY, sz = g.sizeZ;
  std::mt19937 rng(seed);
  const float opacities[] = {0, 0, 0, 0.5f, 0.25f, 0.998999f, 0.999f, 1, 0.9f};
  const float lights[] = {0, -0.0f, 1e30f, 3.4e37f, FLT_MIN, 1e-40f, 1e-45f, 1520, 7};
  for (int i = 0; i < sx * sy * sz; ++i) {
    GridCell& c = g.current[i];
    const int x = i % sx, y = i / sx % sy, z = i / sx / sy, m = static_cast<int>(rng() % g.palette.size());
    const bool border = x == 0 || y == 0 || z == 0 || x == sx - 1 || y == sy - 1 || z == sz - 1;
    if (rng() % 3 == 0 && !(walled && border)) {
      c = g.palette[m].cell(static_cast<unsigned char>(m));
    } else {
      if (rng() % 8 == 0) c.setEmitter(350, rng() % 400, 1e-39f);
      c.opacity = walled && border ? 1.0f : opacities[rng() % 9];
    }
    for (float& l : c.light) l = rng() % 3 ? (rng() % 5000) / 100.0f : lights[rng() % 9];
    c.greenMarker = rng() % 20 == 0;
    c.hidden = rng() % 2;
  }
  g.lightX = rng() % sx, g.lightY = rng() % sy, g.lightZ = rng() % sz;
}

bool sameBits(const GridCell& a, const GridCell& b) {
  return std::memcmp(a.light, b.light, sizeof a.light) == 0 && std::memcmp(a.emission, b.emission, sizeof a.emission) == 0 &&
         std::memcmp(&a.opacity, &b.opacity, sizeof a.opacity) == 0 && a.emitter == b.emitter &&
         a.hidden == b.hidden && a.greenMarker == b.greenMarker && a.redMarker == b.redMarker && a.material == b.material;
}

}  // namespace

TEST(LightGridStep, MatchesThePlainRuleBitForBitOnAnyThreadCount) {
  // Rows in part groups of cells (37, 18) and in whole groups only (16, 32), slabs long enough to
  // write rows back before they end (19 x 4 x 31); the last, unlit, fades through the subnormals to zero.
  const struct { int x, y, z; bool walled; int steps; } grids[] = {
      {1, 1, 1, false, 40}, {1, 6, 1, false, 40}, {7, 1, 3, false, 40}, {2, 2, 2, false, 40}, {13, 3, 11, false, 60},
      {8, 5, 7, true, 300}, {37, 3, 7, false, 40}, {18, 2, 3, true, 40}, {16, 2, 3, false, 40}, {32, 3, 5, true, 40},
      {19, 4, 31, true, 40}, {6, 5, 4, false, 1100}};
  // 3 and 8 threads split 33 or 35 rows unevenly, and 8 threads more slabs than a grid of 3 rows has.
  WorkerPool pools[] = {WorkerPool(1), WorkerPool(2), WorkerPool(3), WorkerPool(8)};
  unsigned seed = 11;
  for (const auto& s : grids) {
    PlainGrid plain(s.x, s.y, s.z);
    fill(plain, ++seed, s.walled);
    plain.strength = s.steps > 1000 ? 0.0f : 0.05f;
    LightGrid fast[4];
    for (int p = 0; p < 4; ++p) plain.copyTo(fast[p]), fast[p].pool = &pools[p], fast[p].minCellsPerSlab = 1;
    for (int step = 0; step < s.steps; ++step) {
      for (LightGrid& f : fast) {
        std::srand(seed * 1000 + step);
        f.step();
      }
      std::srand(seed * 1000 + step);
      referenceLightStep(plain);
      for (int i = 0; i < s.x * s.y * s.z; ++i)
        for (LightGrid& f : fast)
          ASSERT_TRUE(sameBits(f.getCell(i % s.x, i / s.x % s.y, i / s.x / s.y), plain.current[i]) &&
                      f.lightTexels()[i] == LightGrid::lightTexel(plain.current[i].light) &&
                      f.lightX == plain.lightX && f.lightY == plain.lightY && f.lightZ == plain.lightZ)
              << s.x << "x" << s.y << "x" << s.z << " step " << step << " cell " << i << " threads " << f.pool->threads();
    }
  }
}

TEST(LightGrid, CellIndexAndTheOutsideCellOnEverySide) {
  LightGrid g;
  g.resize(3, 4, 5);
  GridCell lit;
  lit.light[1] = 7;
  const int at[][3] = {{1, 2, 3}, {-1, 0, 0}, {3, 0, 0}, {0, -1, 0}, {0, 4, 0}, {0, 0, -1}, {0, 0, 5}};
  for (const auto& p : at) {
    g.setCell(p[0], p[1], p[2], lit);
    g.setNextCell(p[0], p[1], p[2], lit);
    EXPECT_TRUE(sameBits(g.getCell(p[0], p[1], p[2]), &p == &at[0] ? lit : g.outside)) << p[0] << p[1] << p[2];
  }
  // A next generation becomes current whole: the light not written into it is dark. The texels
  // follow it, and an edit of a cell's light, before any step.
  g.setNextCell(0, 0, 0, lit);
  g.setCell(2, 3, 4, lit);
  const std::uint32_t dark = g.lightTexels()[g.index(0, 0, 0)];
  g.swapBuffers();
  EXPECT_TRUE(sameBits(g.getCell(0, 0, 0), lit) && g.getCell(2, 3, 4).light[1] == 0.0f);
  EXPECT_TRUE(g.lightTexels()[g.index(0, 0, 0)] == LightGrid::lightTexel(lit.light) && dark != LightGrid::lightTexel(lit.light));
  g.setCell(2, 3, 4, lit);
  EXPECT_EQ(g.lightTexels()[g.index(2, 3, 4)], LightGrid::lightTexel(lit.light));
  EXPECT_TRUE(g.contains(0, 0, 0) && g.contains(2.99f, 3.99f, 4.99f));
  EXPECT_FALSE(g.contains(3, 0, 0) || g.contains(0, 4, 0) || g.contains(0, 0, 5) || g.contains(-0.01f, 0, 0));
  lit.setSolid();
  EXPECT_TRUE(sameBits(g.outside, lit));
  // The trilinear sample of a field that grows at its own rate along each axis is the field
  // itself: it reads every corner from its own axis.
  for (int i = 0; i < 3 * 4 * 5; ++i) {
    GridCell c;
    c.opacity = i % 3 + 10.0f * (i / 3 % 4) + 100.0f * (i / 12);
    g.setCell(i % 3, i / 3 % 4, i / 12, c);
  }
  for (const auto& p : {std::array<float, 3>{0.25f, 1.5f, 3.75f}, {1.75f, 2.25f, 0.5f}, {0.5f, 0.125f, 2.0f}})
    EXPECT_FLOAT_EQ(g.sampleAt(p[0], p[1], p[2]).opacity, p[0] + 10.0f * p[1] + 100.0f * p[2]);
}

TEST(LightGridStep, AGridWithoutCellsAndALightOffTheGridStayAsTheyAre) {
  for (const auto& size : {std::array<int, 3>{0, 6, 4}, {4, 0, 4}, {4, 6, 0}}) {
    LightGrid empty;
    empty.resize(size[0], size[1], size[2]);
    const float* before = empty.current;
    empty.step();
    EXPECT_EQ(empty.current, before) << "no cells, no step";
  }
  LightGrid narrow;  // the light's start cell (6, 3, 3) lies just beyond a 6-wide map
  narrow.resize(6, 6, 5);
  std::srand(3);
  for (int step = 0; step < 300; ++step) narrow.step();
  EXPECT_EQ(narrow.lightX, 6);
  for (int i = 0; i < 6 * 6 * 5; ++i) EXPECT_FALSE(narrow.emitterAt(i)) << i;
}

// A closed corridor 7 x 3 x 3, a white lamp at x = 1: through a red pane at x = 3 only red
// arrives, green and blue exactly 0 in the pane and behind it.
TEST(LightGridStep, BehindRedGlassOnlyRedArrives) {
  LightGrid grid;
  const Palette& p = grid.palette();
  const unsigned char red = redGlass(p);  // air (0) if the palette had none: the test fails
  grid.resize(7, 3, 3);
  grid.lightX = 99;  // no wandering light
  for (long i = 0; i < grid.cellCount(); ++i) {
    const int x = static_cast<int>(i % 7), y = static_cast<int>(i / 7 % 3), z = static_cast<int>(i / 21);
    const unsigned char m = y != 1 || z != 1 || x == 0 || x == 6 ? Palette::kWall : x == 1 ? Palette::kWhiteLight : x == 3 ? red : Palette::kAir;
    grid.setCell(x, y, z, p[m].cell(m));
  }
  grid.strength = 1.0f;
  for (int step = 0; step < 12; ++step) grid.step();
  for (int x = 3; x <= 4; ++x) {
    const GridCell c = grid.getCell(x, 1, 1);
    EXPECT_TRUE(c.light[0] > 0.0f && c.light[1] == 0.0f && c.light[2] == 0.0f) << x;
  }
}

// The step's threads: a whole number from 1 to 256, else the cores; a set value the pool cannot
// use is said once, an empty one is as unset.
TEST(WorkerPool, ThreadsFromTheEnvironment) {
  const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const struct { const char* value; int threads; bool said; } cases[] = {
      {"3", 3, false}, {"256", 256, false}, {"", cores, false}, {"0", cores, true},
      {"257", cores, false}, {"2x", cores, false}, {"-1", cores, false}};
  for (const auto& c : cases) {
    setenv("QUILLMARSH_THREADS", c.value, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(WorkerPool::threadsFromEnvironment(), c.threads) << c.value;
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find("not \"" + std::string(c.value) + "\"; using ") != std::string::npos, c.said)
        << c.value << ": " << said;
  }
  unsetenv("QUILLMARSH_THREADS");
}
