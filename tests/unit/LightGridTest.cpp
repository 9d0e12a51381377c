// LightGrid storage: element layout, bounds on every side, buffer swapping and resizing.
#include <gtest/gtest.h>

#include "world/LightGrid.h"

namespace {

GridCell litCell(float value) {
  GridCell c;
  c.opacity = 0.25f;
  c.light[0] = value;
  c.light[2] = value + 2;
  return c;
}

void expectOutsideCell(const GridCell& c) {
  EXPECT_EQ(c.opacity, 1.0f);
  EXPECT_FALSE(c.emitter || c.hidden || c.greenMarker || c.redMarker);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(c.light[i] + c.emission[i], 0.0f);
}

// Position-weighted sum over both buffers: changes when any cell anywhere changes.
double bufferChecksum(const LightGrid& g) {
  double sum = 0;
  for (long i = 0; i < static_cast<long>(g.sizeX) * g.sizeY * g.sizeZ; ++i)
    for (int k = 0; k < 3; ++k)
      sum += g.bufferA[i].light[k] * (i + 1) + g.bufferB[i].light[k] * (i + 7) * 3;
  return sum;
}

const int kOffGrid[][3] = {{-1, 0, 0}, {3, 0, 0}, {0, -1, 0}, {0, 4, 0},
                           {0, 0, -1}, {0, 0, 5}, {-100, 2, 2}, {2, 3, 1000}};

}  // namespace

TEST(LightGrid, StartsEmptyWithTheStatedDefaults) {
  LightGrid g;
  EXPECT_EQ(g.sizeX + g.sizeY + g.sizeZ, 0);
  EXPECT_EQ(g.lightX, 6);
  EXPECT_EQ(g.lightY, 3);
  EXPECT_EQ(g.lightZ, 3);
  EXPECT_EQ(g.strength, 0.0f);
  EXPECT_EQ(g.decay, 0.916f);
  EXPECT_FALSE(g.allocated);
  expectOutsideCell(g.getCell(0, 0, 0));  // no buffers: everything is outside
}

TEST(LightGrid, CellIndexIsXFastestThenYThenZ) {
  LightGrid g;
  g.resize(4, 6, 3);
  g.setCell(1, 2, 1, litCell(9));
  g.setNextCell(1, 2, 1, litCell(5));
  for (long i = 0; i < 4 * 6 * 3; ++i) {
    EXPECT_EQ(g.current[i].light[0], i == 33 ? 9.0f : 0.0f) << i;  // (1 * 6 + 2) * 4 + 1
    EXPECT_EQ(g.next[i].light[0], i == 33 ? 5.0f : 0.0f) << i;
  }
  EXPECT_EQ(g.getCell(1, 2, 1).light[2], 11.0f);
}

TEST(LightGrid, ReadsAndWritesOffEverySideTouchNoCell) {
  LightGrid g;
  g.resize(3, 4, 5);
  for (int z = 0; z < 5; ++z)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 3; ++x) g.setCell(x, y, z, litCell(x + 3 * y + 12 * z));
  g.setNextCell(2, 2, 2, litCell(3));
  const double before = bufferChecksum(g);
  for (const auto& p : kOffGrid) {
    SCOPED_TRACE(::testing::Message() << p[0] << "," << p[1] << "," << p[2]);
    expectOutsideCell(g.getCell(p[0], p[1], p[2]));
    g.setCell(p[0], p[1], p[2], litCell(100));
    g.setNextCell(p[0], p[1], p[2], litCell(200));
  }
  EXPECT_EQ(bufferChecksum(g), before);
  expectOutsideCell(g.outside);
  EXPECT_EQ(g.getCell(2, 3, 4).light[0], 59.0f);  // the far corner is a real cell
}

TEST(LightGrid, SwapExchangesBuffersNotContents) {
  LightGrid g;
  g.resize(2, 2, 2);
  GridCell* a = g.current;
  GridCell* b = g.next;
  ASSERT_NE(a, b);
  g.setNextCell(1, 0, 1, litCell(7));
  EXPECT_EQ(g.getCell(1, 0, 1).light[0], 0.0f);
  g.swapBuffers();
  EXPECT_EQ(g.current, b);
  EXPECT_EQ(g.next, a);
  EXPECT_EQ(g.getCell(1, 0, 1).light[0], 7.0f);
}

TEST(LightGrid, ResizeDiscardsOldContents) {
  LightGrid g;
  g.resize(2, 2, 2);
  g.setCell(0, 0, 0, litCell(3));
  g.setNextCell(1, 1, 1, litCell(4));
  g.resize(3, 2, 2);
  EXPECT_TRUE(g.allocated);
  EXPECT_NE(g.current, g.next);
  EXPECT_EQ(bufferChecksum(g), 0.0);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(g.current[i].opacity + g.next[i].opacity, 0.0f);
}

TEST(LightGrid, ContainsIsHalfOpenOnEachAxis) {
  LightGrid g;
  g.resize(4, 6, 3);
  EXPECT_TRUE(g.contains(0, 0, 0));
  EXPECT_TRUE(g.contains(3.999f, 5.999f, 2.999f));
  const float outside[][3] = {{4, 0, 0},     {0, 6, 0},        {0, 0, 3},
                              {-0.5f, 0, 0}, {0, -0.001f, 0}, {0, 0, -0.5f}};
  for (const auto& p : outside) EXPECT_FALSE(g.contains(p[0], p[1], p[2])) << p[0] << p[1] << p[2];
}
