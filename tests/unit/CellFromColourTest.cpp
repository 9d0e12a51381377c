// The map colour legend: each exact legend colour, and near misses that must stay air.
#include <gtest/gtest.h>

#include "world/CellFromColour.h"

TEST(CellFromColour, EveryLegendColourAndNearMissesAsAir) {
  const struct {
    int r, g, b;
    float opacity;
    bool emitter, green, red;
    float emission[3];
  } cases[] = {
      {0, 0, 0, 1.0f, false, false, false, {0, 0, 0}},
      {128, 128, 128, 0.5f, false, false, false, {0, 0, 0}},
      {0, 0, 255, 0.0f, true, false, false, {350, 350, 150}},
      {255, 0, 255, 0.0f, true, false, false, {350, 350, 0}},
      {120, 255, 0, 0.0f, true, false, false, {0, 0, 350}},
      {0, 255, 0, 0.0f, false, true, false, {0, 0, 0}},
      {255, 0, 0, 0.0f, false, false, true, {0, 0, 0}},
      // Air: white, near misses of each legend colour, and values outside a byte.
      {255, 255, 255, 0.0f, false, false, false, {0, 0, 0}},
      {0, 0, 254, 0.0f, false, false, false, {0, 0, 0}},
      {1, 0, 0, 0.0f, false, false, false, {0, 0, 0}},
      {127, 128, 128, 0.0f, false, false, false, {0, 0, 0}},
      {128, 128, 129, 0.0f, false, false, false, {0, 0, 0}},
      {121, 255, 0, 0.0f, false, false, false, {0, 0, 0}},
      {255, 0, 254, 0.0f, false, false, false, {0, 0, 0}},
      {0, 254, 0, 0.0f, false, false, false, {0, 0, 0}},
      {-1, 0, 0, 0.0f, false, false, false, {0, 0, 0}},
      {256, 0, 0, 0.0f, false, false, false, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    const GridCell cell = cellFromColour(c.r, c.g, c.b);
    SCOPED_TRACE(testing::Message() << "(" << c.r << ", " << c.g << ", " << c.b << ")");
    EXPECT_EQ(cell.opacity, c.opacity);
    EXPECT_EQ(cell.emitter, c.emitter);
    EXPECT_EQ(cell.greenMarker, c.green);
    EXPECT_EQ(cell.redMarker, c.red);
    EXPECT_FALSE(cell.hidden);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(cell.emission[k], c.emission[k]);
      EXPECT_EQ(cell.light[k], 0.0f);
    }
  }
}
