// The light diffusion step: bit-exact agreement with the plain rule on varied grids, the
// worked cases of the rule, the hidden flag, and the wandering light's moves.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "tests/support/ReferenceLightStep.h"
#include "world/LightGrid.h"

namespace {

uint32_t bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

// Everything the rule distinguishes: air, glass, opacities around the opaque threshold, solids,
// emitters (some solid), light from zero and subnormals to 1e30.
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

// Both buffers, every field bit for bit, and the light's position.
void expectSameGrids(const LightGrid& a, const LightGrid& b, int step) {
  ASSERT_TRUE(a.lightX == b.lightX && a.lightY == b.lightY && a.lightZ == b.lightZ) << step;
  const long n = static_cast<long>(a.sizeX) * a.sizeY * a.sizeZ;
  for (const bool cur : {true, false})
    for (long i = 0; i < n; ++i) {
      const GridCell& ca = (cur ? a.current : a.next)[i];
      const GridCell& cb = (cur ? b.current : b.next)[i];
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

void stepBoth(LightGrid& fast, LightGrid& plain, unsigned seed) {
  std::srand(seed);
  fast.step();
  std::srand(seed);
  referenceLightStep(plain);
}

// A seed after which rand() gives a move attempt in `direction` (-1: no attempt).
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

GridCell emitter(GridCell c, float r, float g, float b) {
  c.emitter = true;
  c.emission[0] = r;
  c.emission[1] = g;
  c.emission[2] = b;
  return c;
}

// A row of cells along x, stepped without a move attempt.
void stepRow(LightGrid& g, const std::vector<GridCell>& cells, float strength, int steps = 1) {
  g.resize(static_cast<int>(cells.size()), 1, 1);
  for (size_t x = 0; x < cells.size(); ++x) g.setCell(static_cast<int>(x), 0, 0, cells[x]);
  g.strength = strength;
  for (int s = 0; s < steps; ++s) stepWithSeed(g, seedFor(-1));
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
    for (int step = 0; step < 60 && !HasFatalFailure(); ++step) {
      stepBoth(fast, plain, seed * 1000 + step);
      expectSameGrids(fast, plain, step);
    }
    ASSERT_FALSE(HasFatalFailure()) << "grid " << s[0] << "x" << s[1] << "x" << s[2];
    ++seed;
  }
  // Strength 0: the light fades through the subnormals to zero.
  LightGrid fast, plain;
  fillRandom(fast, 6, 5, 4, 3);
  fillRandom(plain, 6, 5, 4, 3);
  fast.strength = plain.strength = 0.0f;
  for (int step = 0; step < 1200 && !HasFatalFailure(); ++step) {
    stepBoth(fast, plain, step);
    if (step % 50 == 0 || step > 1000) expectSameGrids(fast, plain, step);
  }
}

TEST(LightGridStep, WorkedCases) {
  LightGrid g;
  // A lone cell keeps a seventh of 7, decayed, and is hidden.
  stepRow(g, {lit(7.0f)}, 0.0f);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(g.getCell(0, 0, 0).light[k], 0.916f);
  EXPECT_TRUE(g.getCell(0, 0, 0).hidden);

  // Glass keeps half of the average, air beside the same light all of it.
  stepRow(g, {lit(7.0f), lit(0.0f, 0.5f), lit(0.0f), lit(7.0f)}, 0.0f);
  EXPECT_FLOAT_EQ(g.getCell(1, 0, 0).light[0], 0.458f);
  EXPECT_FLOAT_EQ(g.getCell(2, 0, 0).light[0], 0.916f);

  // Opaque cells (from 0.999 up) in bright surroundings get nothing; strength 0 adds nothing.
  stepRow(g, {lit(100.0f), lit(100.0f, 1.0f), lit(100.0f), lit(3.0f, 0.999f), lit(100.0f),
              emitter(lit(5.0f, 1.0f), 350, 0, 0), lit(100.0f)},
          0.0f);
  for (int x : {1, 3, 5})
    for (int k = 0; k < 3; ++k) EXPECT_EQ(g.getCell(x, 0, 0).light[k], 0.0f) << x;
  EXPECT_EQ(g.getCell(1, 0, 0).opacity, 1.0f);

  // Emitters at strength 0.05: a solid one beside bright air holds only decay * s * emission,
  // one in dark air the same, and its light reaches the neighbour one step later.
  const std::vector<GridCell> lights = {emitter(lit(9.0f, 1.0f), 350, 350, 150), lit(70.0f),
                                        lit(0.0f), emitter(lit(0.0f), 350, 350, 150), lit(0.0f)};
  stepRow(g, lights, 0.05f);
  for (int x : {0, 3}) {
    const GridCell e = g.getCell(x, 0, 0);
    EXPECT_FLOAT_EQ(e.light[0], 0.916f * 17.5f) << x;
    EXPECT_FLOAT_EQ(e.light[1], 0.916f * 17.5f) << x;
    EXPECT_FLOAT_EQ(e.light[2], 0.916f * 7.5f) << x;
    EXPECT_TRUE(e.emitter);
    EXPECT_EQ(e.emission[2], 150.0f);
  }
  EXPECT_EQ(g.getCell(4, 0, 0).light[0], 0.0f);
  stepRow(g, lights, 0.05f, 2);
  EXPECT_FLOAT_EQ(g.getCell(4, 0, 0).light[0], 0.916f * 17.5f / 7.0f * 0.916f);
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
    GridCell light = emitter(lit(40.0f), 1520, 0, 0);
    light.hidden = false;
    g.setCell(x, y, z, light);
    g.lightX = x;
    g.lightY = y;
    g.lightZ = z;
  }
  LightGrid g;
};

}  // namespace

TEST_F(WanderingLight, BlockedMovesLeaveTheLightsCellAsItWasBeforeTheStep) {
  // -x off the grid's edge, +x into a solid cell, +x into another emitter.
  const struct {
    int x, direction;
    bool solid, otherEmitter;
  } cases[] = {{0, 1, false, false}, {2, 0, true, false}, {2, 0, false, true}};
  for (const auto& c : cases) {
    SetUp();
    placeLight(c.x, 3, 3);
    if (c.solid) g.setCell(c.x + 1, 3, 3, lit(1.0f, 1.0f));
    if (c.otherEmitter) g.setCell(c.x + 1, 3, 3, emitter(lit(1.0f), 0, 0, 350));
    stepWithSeed(g, seedFor(c.direction));
    EXPECT_EQ(g.lightX, c.x);
    const GridCell light = g.getCell(c.x, 3, 3), blocker = g.getCell(c.x + 1, 3, 3);
    EXPECT_TRUE(light.emitter);
    EXPECT_EQ(light.emission[0], 1520.0f);
    EXPECT_EQ(light.light[0], 40.0f);  // no averaging, emission or decay this step
    EXPECT_FALSE(light.hidden);
    EXPECT_NE(blocker.light[0], c.solid ? 1.0f : 2.0f);  // the neighbour was stepped
    EXPECT_EQ(blocker.emitter, c.otherEmitter);
    EXPECT_EQ(blocker.emission[0], 0.0f);
  }
}

TEST_F(WanderingLight, SuccessfulMoveIntoGlassCarriesTheEmission) {
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
  stepWithSeed(g, seedFor(-1));
  EXPECT_GT(g.getCell(3, 3, 3).light[0], 1000.0f);  // it now shines from the new cell
}

TEST_F(WanderingLight, EachDirectionMovesAlongItsAxis) {
  const int expected[6][3] = {{3, 2, 2}, {1, 2, 2}, {2, 3, 2}, {2, 1, 2}, {2, 2, 3}, {2, 2, 1}};
  for (int d = 0; d < 6; ++d) {
    SetUp();
    placeLight(2, 2, 2);
    stepWithSeed(g, seedFor(d));
    EXPECT_EQ(g.lightX * 100 + g.lightY * 10 + g.lightZ,
              expected[d][0] * 100 + expected[d][1] * 10 + expected[d][2])
        << d;
  }
}
