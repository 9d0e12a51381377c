// GridCell: construction, the clearing setters, and the opacity/light-only blend operations.
#include <gtest/gtest.h>

#include "world/GridCell.h"

namespace {

GridCell busyCell() {
  GridCell c;
  c.emitter = true;
  c.greenMarker = true;
  c.redMarker = true;
  c.emission[0] = 1;
  c.emission[1] = 2;
  c.emission[2] = 3;
  c.opacity = 0.7f;
  c.light[0] = 4;
  c.light[1] = 5;
  c.light[2] = 6;
  c.hidden = true;
  return c;
}

void expectOnly(const GridCell& c, bool green, bool red, float opacity) {
  EXPECT_FALSE(c.emitter);
  EXPECT_EQ(c.greenMarker, green);
  EXPECT_EQ(c.redMarker, red);
  EXPECT_FALSE(c.hidden);
  EXPECT_EQ(c.opacity, opacity);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(c.emission[i], 0.0f);
    EXPECT_EQ(c.light[i], 0.0f);
  }
}

}  // namespace

TEST(GridCell, DefaultAndClearAreAllZero) {
  expectOnly(GridCell(), false, false, 0.0f);
  GridCell c = busyCell();
  c.clear();
  expectOnly(c, false, false, 0.0f);
}

TEST(GridCell, SettersResetEveryOtherField) {
  GridCell c = busyCell();
  c.setTranslucent(0.5f);
  expectOnly(c, false, false, 0.5f);
  c = busyCell();
  c.setSolid();
  expectOnly(c, false, false, 1.0f);
  c = busyCell();
  c.setGreenMarker();
  expectOnly(c, true, false, 0.0f);
  c = busyCell();
  c.setRedMarker();
  expectOnly(c, false, true, 0.0f);
}

TEST(GridCell, ScaledKeepsOnlyOpacityAndLight) {
  GridCell c = busyCell();
  c.opacity = 1.0f;
  c.light[0] = 2;
  c.light[1] = 4;
  c.light[2] = 6;
  const GridCell half = c.scaled(0.5f);
  EXPECT_EQ(half.opacity, 0.5f);
  EXPECT_EQ(half.light[0], 1.0f);
  EXPECT_EQ(half.light[1], 2.0f);
  EXPECT_EQ(half.light[2], 3.0f);
  EXPECT_FALSE(half.emitter || half.greenMarker || half.redMarker || half.hidden);
  EXPECT_EQ(half.emission[0] + half.emission[1] + half.emission[2], 0.0f);
}

TEST(GridCell, PlusSumsOpacityAndLightOnly) {
  GridCell a = busyCell();
  a.opacity = 1.0f;
  a.light[0] = 2;
  a.light[1] = 4;
  a.light[2] = 6;
  const GridCell sum = a.plus(a);
  EXPECT_EQ(sum.opacity, 2.0f);
  EXPECT_EQ(sum.light[0], 4.0f);
  EXPECT_EQ(sum.light[1], 8.0f);
  EXPECT_EQ(sum.light[2], 12.0f);
  EXPECT_FALSE(sum.emitter || sum.greenMarker || sum.redMarker || sum.hidden);
  EXPECT_EQ(sum.emission[0] + sum.emission[1] + sum.emission[2], 0.0f);
}
