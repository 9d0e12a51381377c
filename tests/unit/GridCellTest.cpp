// GridCell: construction, the clearing setters, and the opacity/light-only blend operations.
#include <gtest/gtest.h>

#include "world/GridCell.h"

namespace {

GridCell busyCell() {
  GridCell c;
  c.emitter = c.greenMarker = c.redMarker = c.hidden = true;
  c.emission[0] = 1;
  c.emission[1] = 2;
  c.emission[2] = 3;
  c.opacity = 1.0f;
  c.light[0] = 2;
  c.light[1] = 4;
  c.light[2] = 6;
  return c;
}

// Every field zero except the markers, opacity and light given.
void expectOnly(const GridCell& c, bool green, bool red, float opacity, float r = 0, float g = 0,
                float b = 0) {
  EXPECT_FALSE(c.emitter || c.hidden);
  EXPECT_EQ(c.greenMarker, green);
  EXPECT_EQ(c.redMarker, red);
  EXPECT_EQ(c.opacity, opacity);
  EXPECT_EQ(c.light[0], r);
  EXPECT_EQ(c.light[1], g);
  EXPECT_EQ(c.light[2], b);
  for (float e : c.emission) EXPECT_EQ(e, 0.0f);
}

}  // namespace

TEST(GridCell, DefaultClearAndSettersResetEveryOtherField) {
  expectOnly(GridCell(), false, false, 0.0f);
  GridCell c = busyCell();
  c.clear();
  expectOnly(c, false, false, 0.0f);
  c = busyCell();
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

TEST(GridCell, ScaledAndPlusKeepOnlyOpacityAndLight) {
  const GridCell c = busyCell();
  expectOnly(c.scaled(0.5f), false, false, 0.5f, 1, 2, 3);
  expectOnly(c.plus(c), false, false, 2.0f, 4, 8, 12);
}
