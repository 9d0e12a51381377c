// The light diffusion step: bit-exact agreement with the plain rule on varied grids, the
// worked cases of the rule, the hidden flag, and the wandering light's moves.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include "tests/support/ReferenceLightStep.h"
#include "world/LightGrid.h"

namespace {

uint32_t bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

// Fills a grid with everything the rule distinguishes: air, glass, odd opacities around the
// opaque threshold, solids, emitters (some solid), light from zero and subnormals to 1e30.
void fillRandom(LightGrid& g, int sx, int sy, int sz, unsigned seed) {
  g.resize(sx, sy, sz);
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const float opacities[] = {0.0f, 0.0f, 0.0f, 0.5f, 0.25f, 0.998999f, 0.999f, 1.0f, 0.9f};
  const float lights[] = {0.0f,  -0.0f, 1.0f,     7.0f,   1e30f,  3.4e37f, FLT_MIN,
                          1e-40f, std::numeric_limits<float>::denorm_min(), 1e-3f, 1520.0f};
  for (int z = 0; z < sz; ++z)
    for (int y = 0; y < sy; ++y)
      for (int x = 0; x < sx; ++x) {
        GridCell c;
        c.opacity = opacities[pick(9)];
        for (float& l : c.light)
          l = pick(3) == 0 ? lights[pick(11)]
                           : std::uniform_real_distribution<float>(0.0f, 50.0f)(rng);
        if (pick(8) == 0) {
          c.emitter = true;
          c.emission[0] = 350.0f;
          c.emission[1] = static_cast<float>(pick(400));
          c.emission[2] = 1e-39f;
        }
        c.greenMarker = pick(20) == 0;
        c.hidden = pick(2) == 0;
        g.setCell(x, y, z, c);
      }
  g.strength = 0.05f;
  g.lightX = pick(sx);
  g.lightY = pick(sy);
  g.lightZ = pick(sz);
}

void expectSameGrids(const LightGrid& a, const LightGrid& b, int step) {
  ASSERT_EQ(a.lightX, b.lightX) << "step " << step;
  ASSERT_EQ(a.lightY, b.lightY) << "step " << step;
  ASSERT_EQ(a.lightZ, b.lightZ) << "step " << step;
  const long n = static_cast<long>(a.sizeX) * a.sizeY * a.sizeZ;
  for (const bool cur : {true, false}) {
    const GridCell* pa = cur ? a.current : a.next;
    const GridCell* pb = cur ? b.current : b.next;
    for (long i = 0; i < n; ++i) {
      const GridCell& ca = pa[i];
      const GridCell& cb = pb[i];
      bool same = ca.emitter == cb.emitter && ca.greenMarker == cb.greenMarker &&
                  ca.redMarker == cb.redMarker && ca.hidden == cb.hidden &&
                  bits(ca.opacity) == bits(cb.opacity);
      for (int k = 0; k < 3; ++k)
        same = same && bits(ca.light[k]) == bits(cb.light[k]) &&
               bits(ca.emission[k]) == bits(cb.emission[k]);
      ASSERT_TRUE(same) << "step " << step << (cur ? " current" : " next") << " cell " << i
                        << ": light " << ca.light[0] << " vs " << cb.light[0];
    }
  }
}

// A seed after which rand() gives a move attempt in `direction` (or, with direction -1, no
// attempt), found by running the generator as the step will.
unsigned seedFor(int direction) {
  for (unsigned seed = 1; seed < 100000; ++seed) {
    std::srand(seed);
    const int chance = std::rand() % 100;
    if (direction < 0 ? chance >= 10 : chance < 10 && std::rand() % 6 == direction) return seed;
  }
  ADD_FAILURE() << "no seed for direction " << direction;
  return 1;
}

void stepWithSeed(LightGrid& g, unsigned seed) {
  std::srand(seed);
  g.step();
}

GridCell lit(float v, float opacity = 0.0f) {
  GridCell c;
  c.opacity = opacity;
  c.light[0] = c.light[1] = c.light[2] = v;
  return c;
}

}  // namespace

TEST(LightGridStep, MatchesThePlainRuleBitForBit) {
  const int sizes[][3] = {{1, 1, 1}, {1, 6, 1}, {2, 2, 2}, {7, 1, 3}, {1, 4, 9},
                          {5, 6, 4}, {13, 3, 11}, {3, 8, 1}, {9, 9, 9}};
  unsigned seed = 11;
  for (const auto& s : sizes) {
    LightGrid fast, plain;
    fillRandom(fast, s[0], s[1], s[2], seed);
    fillRandom(plain, s[0], s[1], s[2], seed);
    for (int step = 0; step < 60; ++step) {
      std::srand(seed * 1000 + step);
      fast.step();
      std::srand(seed * 1000 + step);
      referenceLightStep(plain);
      expectSameGrids(fast, plain, step);
      if (HasFatalFailure()) {
        ADD_FAILURE() << "grid " << s[0] << "x" << s[1] << "x" << s[2];
        return;
      }
    }
    ++seed;
  }
}

TEST(LightGridStep, MatchesThePlainRuleWhileTheLightFadesToZero) {
  LightGrid fast, plain;
  fillRandom(fast, 6, 5, 4, 3);
  fillRandom(plain, 6, 5, 4, 3);
  fast.strength = plain.strength = 0.0f;
  for (int step = 0; step < 1200; ++step) {
    std::srand(step);
    fast.step();
    std::srand(step);
    referenceLightStep(plain);
    if (step % 50 == 0 || step > 1000) expectSameGrids(fast, plain, step);
    if (HasFatalFailure()) return;
  }
}

TEST(LightGridStep, SingleCellKeepsASeventhOfItsLightDecayed) {
  LightGrid g;
  g.resize(1, 1, 1);
  g.setCell(0, 0, 0, lit(7.0f));
  g.step();
  for (int k = 0; k < 3; ++k) EXPECT_EQ(g.getCell(0, 0, 0).light[k], 0.916f);
  EXPECT_TRUE(g.getCell(0, 0, 0).hidden);
}

TEST(LightGridStep, OpaqueCellsReceiveNoLight) {
  LightGrid g;
  g.resize(3, 3, 3);
  for (int z = 0; z < 3; ++z)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x) g.setCell(x, y, z, lit(100.0f));
  g.setCell(1, 1, 1, lit(100.0f, 1.0f));
  GridCell darkEmitter = lit(5.0f, 1.0f);
  darkEmitter.emitter = true;
  darkEmitter.emission[0] = 350.0f;
  g.setCell(0, 1, 1, darkEmitter);
  g.setCell(2, 1, 1, lit(3.0f, 0.999f));
  stepWithSeed(g, seedFor(-1));
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(g.getCell(1, 1, 1).light[k], 0.0f);
    EXPECT_EQ(g.getCell(0, 1, 1).light[k], 0.0f);  // strength 0 adds nothing
    EXPECT_EQ(g.getCell(2, 1, 1).light[k], 0.0f);
  }
  EXPECT_EQ(g.getCell(1, 1, 1).opacity, 1.0f);
}

TEST(LightGridStep, SolidEmitterHoldsOnlyItsScaledEmission) {
  LightGrid g;
  g.resize(2, 1, 1);
  GridCell e = lit(9.0f, 1.0f);
  e.emitter = true;
  e.emission[0] = 350.0f;
  e.emission[1] = 350.0f;
  e.emission[2] = 150.0f;
  g.setCell(0, 0, 0, e);
  g.setCell(1, 0, 0, lit(70.0f));
  g.strength = 0.05f;
  stepWithSeed(g, seedFor(-1));
  const GridCell after = g.getCell(0, 0, 0);
  EXPECT_FLOAT_EQ(after.light[0], 0.916f * 17.5f);
  EXPECT_FLOAT_EQ(after.light[2], 0.916f * 7.5f);
  EXPECT_TRUE(after.emitter);
  EXPECT_EQ(after.emission[2], 150.0f);
}

TEST(LightGridStep, EmitterInDarkAirStartsFromItsEmission) {
  LightGrid g;
  g.resize(3, 3, 3);
  GridCell e;
  e.emitter = true;
  e.emission[0] = 350.0f;
  e.emission[1] = 350.0f;
  e.emission[2] = 150.0f;
  g.setCell(1, 1, 1, e);
  g.strength = 0.05f;
  stepWithSeed(g, seedFor(-1));
  EXPECT_FLOAT_EQ(g.getCell(1, 1, 1).light[0], 0.916f * 17.5f);
  EXPECT_FLOAT_EQ(g.getCell(1, 1, 1).light[1], 0.916f * 17.5f);
  EXPECT_FLOAT_EQ(g.getCell(1, 1, 1).light[2], 0.916f * 7.5f);
  EXPECT_EQ(g.getCell(0, 1, 1).light[0], 0.0f);  // light spreads one step later
  stepWithSeed(g, seedFor(-1));
  EXPECT_FLOAT_EQ(g.getCell(0, 1, 1).light[0], 0.916f * 17.5f / 7.0f * 0.916f);
}

TEST(LightGridStep, GlassPassesHalfOfTheAverage) {
  // Light 7 beside a glass cell and beside an air cell: the glass keeps half.
  LightGrid g;
  g.resize(4, 1, 1);
  g.setCell(0, 0, 0, lit(7.0f));
  g.setCell(1, 0, 0, lit(0.0f, 0.5f));
  g.setCell(3, 0, 0, lit(7.0f));
  stepWithSeed(g, seedFor(-1));
  EXPECT_FLOAT_EQ(g.getCell(1, 0, 0).light[0], 0.458f);
  EXPECT_FLOAT_EQ(g.getCell(2, 0, 0).light[0], 0.916f);
}

TEST(LightGridStep, EveryCellIsHiddenAfterAStep) {
  LightGrid g;
  fillRandom(g, 5, 4, 3, 9);
  stepWithSeed(g, seedFor(-1));
  for (long i = 0; i < 5 * 4 * 3; ++i) EXPECT_TRUE(g.current[i].hidden) << i;
}

TEST(LightGridStep, StepsSwapTheBuffers) {
  LightGrid g;
  g.resize(2, 2, 2);
  GridCell* const first = g.current;
  stepWithSeed(g, seedFor(-1));
  EXPECT_EQ(g.next, first);
  EXPECT_NE(g.current, first);
}

namespace {

// A room 5 x 5 x 5 of air with light 2 everywhere and the wandering light placed by the test.
class WanderingLight : public ::testing::Test {
 protected:
  void SetUp() override {
    g.resize(5, 5, 5);
    for (int z = 0; z < 5; ++z)
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) g.setCell(x, y, z, lit(2.0f));
    g.strength = 1.0f;
  }
  void placeLight(int x, int y, int z) {
    GridCell light = lit(40.0f);
    light.emitter = true;
    light.emission[0] = 1520.0f;
    light.hidden = false;
    g.setCell(x, y, z, light);
    g.lightX = x;
    g.lightY = y;
    g.lightZ = z;
  }
  LightGrid g;
};

}  // namespace

TEST_F(WanderingLight, MoveOffTheGridFailsAndTheCellKeepsItsContent) {
  placeLight(0, 3, 3);
  stepWithSeed(g, seedFor(1));
  EXPECT_EQ(g.lightX, 0);
  const GridCell c = g.getCell(0, 3, 3);
  EXPECT_TRUE(c.emitter);
  EXPECT_EQ(c.emission[0], 1520.0f);
  EXPECT_EQ(c.light[0], 40.0f);  // no averaging, emission or decay this step
  EXPECT_FALSE(c.hidden);
  EXPECT_NE(g.getCell(1, 3, 3).light[0], 2.0f);  // its neighbour was stepped
}

TEST_F(WanderingLight, SuccessfulMoveCarriesTheEmission) {
  placeLight(2, 3, 3);
  GridCell glass = lit(5.0f, 0.5f);
  glass.hidden = false;
  g.setCell(3, 3, 3, glass);
  stepWithSeed(g, seedFor(0));
  EXPECT_EQ(g.lightX, 3);
  EXPECT_EQ(g.lightY, 3);
  EXPECT_EQ(g.lightZ, 3);
  const GridCell left = g.getCell(2, 3, 3);
  EXPECT_FALSE(left.emitter);
  EXPECT_EQ(left.emission[0], 0.0f);
  EXPECT_EQ(left.light[0], 40.0f);
  const GridCell entered = g.getCell(3, 3, 3);
  EXPECT_TRUE(entered.emitter);
  EXPECT_EQ(entered.emission[0], 1520.0f);
  EXPECT_EQ(entered.opacity, 0.5f);
  EXPECT_EQ(entered.light[0], 5.0f);
  EXPECT_FALSE(entered.hidden);
  // Next step the light shines from its new cell.
  stepWithSeed(g, seedFor(-1));
  EXPECT_GT(g.getCell(3, 3, 3).light[0], 1000.0f);
}

TEST_F(WanderingLight, EachDirectionMovesAlongItsAxis) {
  const int expected[6][3] = {{3, 2, 2}, {1, 2, 2}, {2, 3, 2}, {2, 1, 2}, {2, 2, 3}, {2, 2, 1}};
  for (int d = 0; d < 6; ++d) {
    SetUp();
    placeLight(2, 2, 2);
    stepWithSeed(g, seedFor(d));
    EXPECT_EQ(g.lightX, expected[d][0]) << d;
    EXPECT_EQ(g.lightY, expected[d][1]) << d;
    EXPECT_EQ(g.lightZ, expected[d][2]) << d;
    EXPECT_TRUE(g.getCell(expected[d][0], expected[d][1], expected[d][2]).emitter) << d;
  }
}

TEST_F(WanderingLight, SolidCellsAndOtherEmittersBlockTheMove) {
  placeLight(2, 3, 3);
  g.setCell(3, 3, 3, lit(1.0f, 1.0f));
  stepWithSeed(g, seedFor(0));
  EXPECT_EQ(g.lightX, 2);
  EXPECT_TRUE(g.getCell(2, 3, 3).emitter);
  EXPECT_FALSE(g.getCell(3, 3, 3).emitter);

  GridCell other = lit(1.0f);
  other.emitter = true;
  other.emission[2] = 350.0f;
  g.setCell(1, 3, 3, other);
  stepWithSeed(g, seedFor(1));
  EXPECT_EQ(g.lightX, 2);
  EXPECT_EQ(g.getCell(1, 3, 3).emission[2], 350.0f);
  EXPECT_EQ(g.getCell(1, 3, 3).emission[0], 0.0f);
}

TEST_F(WanderingLight, NoAttemptLeavesTheLightToTheSweep) {
  placeLight(2, 2, 2);
  stepWithSeed(g, seedFor(-1));
  EXPECT_EQ(g.lightX, 2);
  const GridCell c = g.getCell(2, 2, 2);
  EXPECT_TRUE(c.hidden);
  EXPECT_FLOAT_EQ(c.light[0], ((40.0f + 6 * 2.0f) / 7.0f + 1520.0f) * 0.916f);
}
