// The map colour legend: each exact legend colour, and near misses that must stay air.
#include <gtest/gtest.h>

#include "world/CellFromColour.h"

namespace {

void expectEmission(const GridCell& c, float r, float g, float b) {
  EXPECT_TRUE(c.emitter);
  EXPECT_EQ(c.emission[0], r);
  EXPECT_EQ(c.emission[1], g);
  EXPECT_EQ(c.emission[2], b);
  EXPECT_EQ(c.opacity, 0.0f);
}

void expectAir(const GridCell& c) {
  EXPECT_FALSE(c.emitter || c.greenMarker || c.redMarker || c.hidden);
  EXPECT_EQ(c.opacity, 0.0f);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(c.emission[k], 0.0f);
    EXPECT_EQ(c.light[k], 0.0f);
  }
}

}  // namespace

TEST(CellFromColour, MaterialsAndLights) {
  EXPECT_EQ(cellFromColour(0, 0, 0).opacity, 1.0f);
  EXPECT_FALSE(cellFromColour(0, 0, 0).emitter);
  EXPECT_EQ(cellFromColour(128, 128, 128).opacity, 0.5f);
  expectEmission(cellFromColour(0, 0, 255), 350, 350, 150);
  expectEmission(cellFromColour(255, 0, 255), 350, 350, 0);
  expectEmission(cellFromColour(120, 255, 0), 0, 0, 350);
}

TEST(CellFromColour, MarkersCarryOnlyTheirFlag) {
  const GridCell green = cellFromColour(0, 255, 0);
  EXPECT_TRUE(green.greenMarker);
  EXPECT_FALSE(green.redMarker || green.emitter);
  EXPECT_EQ(green.opacity, 0.0f);
  const GridCell red = cellFromColour(255, 0, 0);
  EXPECT_TRUE(red.redMarker);
  EXPECT_FALSE(red.greenMarker || red.emitter);
}

TEST(CellFromColour, EveryOtherColourIsAir) {
  expectAir(cellFromColour(255, 255, 255));
  expectAir(cellFromColour(0, 0, 254));
  expectAir(cellFromColour(1, 0, 0));
  expectAir(cellFromColour(127, 128, 128));
  expectAir(cellFromColour(128, 128, 129));
  expectAir(cellFromColour(121, 255, 0));
  expectAir(cellFromColour(255, 0, 254));
  expectAir(cellFromColour(0, 254, 0));
  expectAir(cellFromColour(-1, 0, 0));
  expectAir(cellFromColour(256, 0, 0));
}
