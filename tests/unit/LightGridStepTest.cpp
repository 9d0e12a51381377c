// LightGrid: storage (layout, the solid outside cell, writes off the grid ignored); the step bit for
// bit the plain rule on a walled room and random grids, in slabs over 1, 2, 3 and 8 threads, with
// the light volume's texels made from the same light; never negative nor brightening off sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cstring>
#include <memory>
#include <random>

#include "platform/WorkerPool.h"
#include "tests/support/ReferenceLightStep.h"

namespace {

// Air, glass, opacities around the opaque threshold, solids, emitters, light from zero and
// subnormals to 1e37; a walled grid has solid cells all round.
void fill(PlainGrid& g, unsigned seed, bool walled) {
  const int sx = g.sizeX, sy = g.sizeY, sz = g.sizeZ;
  std::mt19937 rng(seed);
  const float opacities[] = {0, 0, 0, 0.5f, 0.25f, 0.998999f, 0.999f, 1, 0.9f};
  const float lights[] = {0, -0.0f, 1e30f, 3.4e37f, FLT_MIN, 1e-40f, 1e-45f, 1520, 7};
  for (int i = 0; i < sx * sy * sz; ++i) {
    GridCell& c = g.current[i];
    if (rng() % 8 == 0) c.setEmitter(350, rng() % 400, 1e-39f);
    const int x = i % sx, y = i / sx % sy, z = i / sx / sy;
    const bool border = x == 0 || y == 0 || z == 0 || x == sx - 1 || y == sy - 1 || z == sz - 1;
    c.opacity = walled && border ? 1.0f : opacities[rng() % 9];
    for (float& l : c.light) l = rng() % 3 ? (rng() % 5000) / 100.0f : lights[rng() % 9];
    c.greenMarker = rng() % 20 == 0;
    c.hidden = rng() % 2;
  }
  g.lightX = rng() % sx, g.lightY = rng() % sy, g.lightZ = rng() % sz;
}

bool sameBits(const GridCell& a, const GridCell& b) {
  return std::memcmp(a.light, b.light, sizeof a.light) == 0 &&
         std::memcmp(a.emission, b.emission, sizeof a.emission) == 0 &&
         std::memcmp(&a.opacity, &b.opacity, sizeof a.opacity) == 0 && a.emitter == b.emitter &&
         a.hidden == b.hidden && a.greenMarker == b.greenMarker && a.redMarker == b.redMarker;
}

}  // namespace

TEST(LightGridStep, MatchesThePlainRuleBitForBitOnAnyThreadCountAndNeverBrightensOrGoesNegative) {
  const struct { int x, y, z; bool walled; float strength; int steps; } grids[] = {
      {1, 1, 1, false, 0.05f, 40}, {1, 6, 1, false, 0.05f, 40}, {7, 1, 3, false, 0.05f, 40},
      {2, 2, 2, false, 0.05f, 40}, {13, 3, 11, false, 0.05f, 60}, {8, 5, 7, true, 0.05f, 300},
      {37, 3, 7, false, 0.05f, 40}, {18, 2, 3, true, 0.05f, 40},  // rows in groups of cells
      {16, 2, 3, false, 0.05f, 40}, {32, 3, 5, true, 0.05f, 40},  // rows of whole groups only
      {19, 4, 31, true, 0.05f, 40},  // slabs long enough to write rows back before they end
      {6, 5, 4, false, 0.0f, 1100}};  // the last fades through the subnormals to zero
  // 3 and 8 threads split 33 or 35 rows unevenly, and 8 threads more slabs than a grid of 3 rows has.
  std::unique_ptr<WorkerPool> pools[] = {std::make_unique<WorkerPool>(1), std::make_unique<WorkerPool>(2),
                                         std::make_unique<WorkerPool>(3), std::make_unique<WorkerPool>(8)};
  unsigned seed = 11;
  for (const auto& s : grids) {
    PlainGrid plain(s.x, s.y, s.z);
    fill(plain, ++seed, s.walled);
    plain.strength = s.strength;
    LightGrid fast[4];
    for (int p = 0; p < 4; ++p) {
      plain.copyTo(fast[p]);
      fast[p].pool = pools[p].get();
      fast[p].minCellsPerSlab = 1;
    }
    for (int step = 0; step < s.steps; ++step) {
      for (LightGrid& f : fast) {
        std::srand(seed * 1000 + step);
        f.step();
      }
      std::srand(seed * 1000 + step);
      referenceLightStep(plain);
      for (int i = 0; i < s.x * s.y * s.z; ++i) {
        const int x = i % s.x, y = i / s.x % s.y, z = i / s.x / s.y;
        for (LightGrid& f : fast)
          ASSERT_TRUE(sameBits(f.getCell(x, y, z), plain.current[i]) &&
                      f.lightTexels()[i] == LightGrid::lightTexel(plain.current[i].light) &&
                      f.lightX == plain.lightX && f.lightY == plain.lightY && f.lightZ == plain.lightZ)
              << s.x << "x" << s.y << "x" << s.z << " step " << step << " cell " << i << " threads "
              << f.pool->threads();
        // `next`: before the step
        auto before = [&](int x, int y, int z, int k) { return plain.inside(x, y, z) ? plain.next[plain.index(x, y, z)].light[k] : 0.0f; };
        for (int k = 0; k < 3; ++k) {
          const float brightest = std::max({before(x, y, z, k), before(x + 1, y, z, k), before(x - 1, y, z, k),
                                            before(x, y + 1, z, k), before(x, y - 1, z, k), before(x, y, z + 1, k),
                                            before(x, y, z - 1, k)});
          const float now = plain.current[i].light[k];
          ASSERT_TRUE(now >= 0.0f && (plain.current[i].emitter || now <= brightest)) << i << " " << now;
        }
      }
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
  lit.setSolid();
  EXPECT_TRUE(sameBits(g.outside, lit));
  const long stride = g.lightPlaneStride();
  ASSERT_GE(stride, 3 * 4 * 5);
  for (long i = 0; i < 3 * stride; ++i)  // plane 1 (green) of cell 43 in each generation
    EXPECT_EQ(g.current[i] + g.next[i], i == stride + (3 * 4 + 2) * 3 + 1 ? 14.0f : 0.0f) << i;
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

// Tinted glass: every channel kept by its own share, bit for bit the plain rule over random
// rooms of every standard material (tinted panes beside emitters, the wandering light walking
// into them, rows of whole lane groups and part groups), and exact values in a closed room.
TEST(LightGridStep, TintedGlassKeepsEachChannelByItsMaterialBitForBitOnAnyThreadCount) {
  const Palette palette = Palette::standard();
  std::unique_ptr<WorkerPool> pools[] = {std::make_unique<WorkerPool>(1),
                                         std::make_unique<WorkerPool>(3)};
  unsigned seed = 70;
  for (const auto& size : {std::array<int, 3>{9, 4, 7}, {33, 3, 5}, {16, 5, 9}}) {
    PlainGrid plain(size[0], size[1], size[2]);
    std::mt19937 rng(++seed);
    for (GridCell& c : plain.current) {
      const int m = static_cast<int>(rng() % palette.size());
      c = palette[m].cell(static_cast<unsigned char>(m));
      for (float& l : c.light) l = (rng() % 5000) / 100.0f;
    }
    plain.strength = 0.05f;
    LightGrid fast[2];
    for (int p = 0; p < 2; ++p) {
      plain.copyTo(fast[p]);
      fast[p].pool = pools[p].get();
      fast[p].minCellsPerSlab = 1;
    }
    for (int step = 0; step < 60; ++step) {
      for (LightGrid& f : fast) {
        std::srand(seed * 100 + step);
        f.step();
      }
      std::srand(seed * 100 + step);
      referenceLightStep(plain);
      for (long i = 0; i < static_cast<long>(plain.current.size()); ++i)
        for (LightGrid& f : fast) {
          const GridCell c = f.getCell(static_cast<int>(i % size[0]),
                                       static_cast<int>(i / size[0] % size[1]),
                                       static_cast<int>(i / size[0] / size[1]));
          ASSERT_TRUE(sameBits(c, plain.current[i]) && c.material == plain.current[i].material &&
                      f.lightTexels()[i] == LightGrid::lightTexel(plain.current[i].light))
              << size[0] << "x" << size[1] << "x" << size[2] << " step " << step << " cell " << i;
        }
    }
  }

  // A closed corridor 7 x 3 x 3: a white lamp at x = 1, a pane at x = 3, the cell behind at x = 4.
  // Through red glass only red arrives, green and blue exactly 0; through neutral glass all three
  // as through a pane of plain opacity 0.5 always did; a palette made neutral again steps so too.
  const auto corridor = [&](unsigned char pane, const Palette& p) {
    auto grid = std::make_unique<LightGrid>();
    grid->setPalette(p);
    grid->resize(7, 3, 3);
    grid->lightX = 99;  // no wandering light
    for (int z = 0; z < 3; ++z)
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
          if (y != 1 || z != 1 || x == 0 || x == 6) grid->setCell(x, y, z, p[1].cell(1));
    grid->setCell(1, 1, 1, p[Palette::kWhiteLight].cell(Palette::kWhiteLight));
    grid->setCell(3, 1, 1, p[pane].cell(pane));
    grid->strength = 1.0f;
    for (int step = 0; step < 12; ++step) grid->step();
    return grid;
  };
  unsigned char red = 0;
  for (int m = 0; m < palette.size(); ++m)
    if (palette[m].kind == Material::Kind::Glass && palette[m].colour[0] == 255 &&
        palette[m].colour[1] == 0 && palette[m].colour[2] == 0)
      red = static_cast<unsigned char>(m);
  ASSERT_NE(red, 0) << "the standard palette has a red glass";
  const auto behindRed = corridor(red, palette)->getCell(4, 1, 1);
  EXPECT_GT(behindRed.light[0], 0.0f);
  EXPECT_EQ(behindRed.light[1], 0.0f);
  EXPECT_EQ(behindRed.light[2], 0.0f);
  const auto paneRed = corridor(red, palette)->getCell(3, 1, 1);
  EXPECT_EQ(paneRed.light[1], 0.0f);

  LightGrid plainPane;  // the pane as a cell of opacity 0.5 with no material
  {
    auto neutral = corridor(Palette::kGlass, palette);
    plainPane.resize(7, 3, 3);
    plainPane.lightX = 99;
    for (int z = 0; z < 3; ++z)
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) {
          GridCell c;
          if (y != 1 || z != 1 || x == 0 || x == 6) c.setSolid();
          if (x == 1 && y == 1 && z == 1) c.setEmitter(350.0f, 350.0f, 150.0f);
          if (x == 3 && y == 1 && z == 1) c.setTranslucent(0.5f);
          plainPane.setCell(x, y, z, c);
        }
    plainPane.strength = 1.0f;
    for (int step = 0; step < 12; ++step) plainPane.step();
    for (int x = 0; x < 7; ++x)
      for (int k = 0; k < 3; ++k)
        EXPECT_EQ(neutral->getCell(x, 1, 1).light[k], plainPane.getCell(x, 1, 1).light[k]) << x;
  }
  Palette untinted = palette;
  Material clear = palette[red];
  clear.colour[1] = clear.colour[2] = 255;
  untinted.set(red, clear);
  const auto cleared = corridor(red, untinted)->getCell(4, 1, 1);
  EXPECT_GT(cleared.light[1], 0.0f);
  EXPECT_GT(cleared.light[2], 0.0f);
}
