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

// scaled and plus carry opacity and light only: flags and emission of the busy cell are dropped.
void expectOpacityAndLightOnly(const GridCell& c, float opacity, float r, float g, float b) {
  EXPECT_EQ(c.opacity, opacity);
  EXPECT_EQ(c.light[0], r);
  EXPECT_EQ(c.light[1], g);
  EXPECT_EQ(c.light[2], b);
  EXPECT_FALSE(c.emitter || c.greenMarker || c.redMarker || c.hidden);
  EXPECT_EQ(c.emission[0] + c.emission[1] + c.emission[2], 0.0f);
}

TEST(GridCell, ScaledAndPlusKeepOnlyOpacityAndLight) {
  GridCell c = busyCell();
  c.opacity = 1.0f;
  c.light[0] = 2;
  c.light[1] = 4;
  c.light[2] = 6;
  expectOpacityAndLightOnly(c.scaled(0.5f), 0.5f, 1.0f, 2.0f, 3.0f);
  expectOpacityAndLightOnly(c.plus(c), 2.0f, 4.0f, 8.0f, 12.0f);
}
