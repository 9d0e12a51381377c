// The top-down visibility pass: the ray fans ahead within range, a wall that stops them (also
// where the ahead mark falls), the
// heading of the view (kept when the view has no horizontal direction), a camera off the map.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "world/ColorMap.h"

namespace {

// A w x h map of open floor; look() runs a pass and returns the marks.
struct VisibilityMap : ::testing::Test {
  void open(int w, int h) {
    map.resize(w, h);
    std::fill(map.base.get(), map.base.get() + w * h, ColorMap::kOpen);
  }
  std::vector<ColorMap::Pixel> look(Vec3 eye, Vec3 target) {
    map.updateVisibility(200, eye, target);
    return std::vector<ColorMap::Pixel>(map.marks.get(), map.marks.get() + map.width * map.height);
  }
  ColorMap map;
};

}  // namespace

TEST_F(VisibilityMap, RaysFanOutAheadWithinRangeAndStopAtTheFirstWall) {
  open(120, 120);
  const auto marks = look(Vec3(50.5f, 2.0f, 60.5f), Vec3(51.5f, 2.0f, 60.5f));  // along +x
  EXPECT_EQ(std::count(marks.begin(), marks.end(), ColorMap::kSeenWall), 9);  // the 3 x 3 round the eye
  for (int i = 0; i < 120 * 120; ++i) {  // the camera and ahead marks are overwritten too
    const double x = i % 120 + 0.5 - 50.5, z = i / 120 + 0.5 - 60.5;
    const bool inFan = std::hypot(x, z) < ColorMap::kRayRange + 1.5 && x > -2.0;
    EXPECT_TRUE(inFan ? marks[i] == ColorMap::kSeenWall || marks[i] == ColorMap::kSeenOpen || marks[i] == ColorMap::kOpen
                      : marks[i] == ColorMap::kOpen) << i;
  }
  open(40, 30);
  for (int y = 0; y < 30; ++y) map.basePixel(20, y) = ColorMap::kWall;
  for (float x : {10.5f, 17.5f}) {  // from 17.5 the wall is where the ahead mark goes
    look(Vec3(x, 2, 15.5f), Vec3(x + 1, 2, 15.5f));
    EXPECT_EQ(map.markPixel(20, 15), ColorMap::kSeenWall);
    EXPECT_EQ(map.markPixel(19, 15), ColorMap::kSeenOpen);
    for (int i = 0; i < 40 * 30; ++i) EXPECT_TRUE(i % 40 <= 20 || map.marks[i] == ColorMap::kOpen) << x << " " << i;
  }
}

TEST_F(VisibilityMap, HeadingFollowsTheHorizontalViewAndIsKeptWithoutOneAndOffTheMap) {
  open(30, 30);
  const Vec3 eye(15.5f, 2.0f, 10.5f);
  const Vec3 targets[] = {Vec3(16.5f, 2, 10.5f), Vec3(14.5f, 2, 10.5f), Vec3(15.5f, 2, 9.5f),
                          Vec3(16.5f, -10, 10.5f), Vec3(15.5f, 2, 11.5f)};
  const double headings[] = {0.0, M_PI, 1.5 * M_PI, 0.0, 0.5 * M_PI};
  std::vector<ColorMap::Pixel> alongZ;
  for (int i = 0; i < 5; ++i) {
    alongZ = look(eye, targets[i]);
    EXPECT_NEAR(map.heading, headings[i], 1e-6) << i;
  }
  // Straight down, straight up, at the eye: the last heading and its marks stay.
  for (const Vec3& target : {Vec3(15.5f, -5, 10.5f), Vec3(15.5f, 9, 10.5f), eye}) EXPECT_EQ(look(eye, target), alongZ);
  EXPECT_NEAR(map.heading, 0.5 * M_PI, 1e-12);
  // A camera beside the map looking along it marks only what its rays cross.
  const auto marks = look(Vec3(-5.0f, 2.0f, -5.0f), Vec3(-5.0f, 2.0f, -4.0f));
  EXPECT_TRUE(std::count(marks.begin(), marks.end(), ColorMap::kSeenWall) == 0 &&
              map.markPixel(0, 0) == ColorMap::kSeenOpen && map.markPixel(0, 29) == ColorMap::kSeenOpen);
  EXPECT_EQ(map.markPixel(29, 0), ColorMap::kOpen);   // outside the fan
  EXPECT_EQ(map.markPixel(29, 29), ColorMap::kOpen);  // beyond the range
}
