// The top-down visibility pass: what the ray fans mark in open rooms, at walls and glass, the
// heading of the view, cameras off the map, and a view with no horizontal direction.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/FlyCamera.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/WorldBuilder.h"

namespace {

const ColorMap::Pixel kWall{50, 50, 50}, kOpen{255, 255, 255}, kSeenWall{255, 0, 0},
    kSeenFloor{255, 100, 100}, kCamera{0, 255, 0}, kAhead{255, 255, 0};

// A w x h map whose base is open except the wall pixels the test sets.
class VisibilityMap : public ::testing::Test {
 protected:
  void open(int w, int h) {
    testing::internal::CaptureStdout();
    map.resize(w, h);
    testing::internal::GetCapturedStdout();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) map.basePixel(x, y) = kOpen;
  }
  void look(Vec3 eye, Vec3 target) { map.updateVisibility(200, eye, target); }
  int count(const ColorMap::Pixel& colour) const {
    int n = 0;
    for (int y = 0; y < map.height; ++y)
      for (int x = 0; x < map.width; ++x) n += map.markPixel(x, y) == colour;
    return n;
  }
  bool marked(int x, int y) const {
    const ColorMap::Pixel& p = map.markPixel(x, y);
    return p != kOpen && p != kWall;
  }
  ColorMap map;
};

}  // namespace

TEST_F(VisibilityMap, OpenRoomMarksAFanAheadAndNothingBehind) {
  open(120, 120);
  const Vec3 eye(50.5f, 2.0f, 60.5f);
  look(eye, Vec3(51.5f, 2.0f, 60.5f));  // along +x
  EXPECT_EQ(count(kSeenWall), 9);
  for (int dz = -1; dz <= 1; ++dz)
    for (int dx = -1; dx <= 1; ++dx) EXPECT_EQ(map.markPixel(50 + dx, 60 + dz), kSeenWall);
  EXPECT_EQ(count(kCamera), 0);
  EXPECT_EQ(count(kAhead), 0);  // the ahead point lies in the fan and was sampled
  EXPECT_GT(count(kSeenFloor), 1000);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 120; ++x) {
      if (!marked(x, y)) continue;
      const double cx = x + 0.5 - eye.x, cz = y + 0.5 - eye.z;
      EXPECT_LT(std::hypot(cx, cz), 41.5) << x << "," << y;
      EXPECT_GT(cx, -2.0) << x << "," << y;
    }
  // Samples straight ahead reach t = 39: pixel 89 from x = 50.95, never pixel 91.
  EXPECT_EQ(map.markPixel(89, 60), kSeenFloor);
  EXPECT_EQ(map.markPixel(91, 60), kOpen);
  EXPECT_FLOAT_EQ(map.eyeX, 50.5f);
  EXPECT_FLOAT_EQ(map.eyeZ, 60.5f);
}

TEST_F(VisibilityMap, AWallStopsTheRaysThatHitIt) {
  open(40, 30);
  for (int y = 0; y < 30; ++y) map.basePixel(20, y) = kWall;
  look(Vec3(10.5f, 2, 15.5f), Vec3(11.5f, 2, 15.5f));
  EXPECT_EQ(map.markPixel(20, 15), kSeenWall);
  EXPECT_EQ(map.markPixel(19, 15), kSeenFloor);
  for (int y = 0; y < 30; ++y) {
    for (int x = 21; x < 40; ++x) EXPECT_FALSE(marked(x, y)) << x << "," << y;
    // Wall pixels the fan does not reach stay untouched.
    if (y < 2 || y > 28) {
      EXPECT_EQ(map.markPixel(20, y), kWall) << y;
    }
  }
}

TEST_F(VisibilityMap, GlassColumnsDoNotStopRays) {
  // Built from map pixels: a glass line at x = 8, a wall line at x = 14.
  const int w = 20, h = 12;
  std::vector<unsigned char> rgb(w * h * 3, 255);
  for (int z = 0; z < h; ++z) {
    for (int k = 0; k < 3; ++k) rgb[(z * w + 8) * 3 + k] = 128;
    for (int k = 0; k < 3; ++k) rgb[(z * w + 14) * 3 + k] = 0;
  }
  open(w, h);
  LightGrid grid;
  grid.resize(w, 6, h);
  FlyCamera camera;
  camera.grid = &grid;
  {
    const StartView start = buildWorldFromPixels(rgb.data(), w, h, grid, map);
    if (start.found) camera.setView(start.eye, start.target, start.up);
  }
  look(Vec3(3.5f, 2, 6.5f), Vec3(4.5f, 2, 6.5f));
  EXPECT_EQ(map.markPixel(8, 6), kSeenFloor);
  EXPECT_EQ(map.markPixel(11, 6), kSeenFloor);
  EXPECT_EQ(map.markPixel(14, 6), kSeenWall);
  EXPECT_FALSE(marked(15, 6));
}

TEST_F(VisibilityMap, HeadingFollowsTheHorizontalViewDirection) {
  open(30, 30);
  const Vec3 eye(15.5f, 2.0f, 10.5f);
  const struct {
    Vec3 target;
    double heading;
  } cases[] = {{Vec3(16.5f, 2, 10.5f), 0.0},
               {Vec3(14.5f, 2, 10.5f), M_PI},
               {Vec3(15.5f, 2, 9.5f), 6.2831853 - M_PI / 2},
               {Vec3(16.5f, -10, 10.5f), 0.0},  // looking down at a slant
               {Vec3(15.5f, 2, 11.5f), M_PI / 2}};
  for (const auto& c : cases) {
    look(eye, c.target);
    EXPECT_NEAR(map.heading, c.heading, 1e-12) << c.heading;
  }
  // No horizontal direction (straight down, straight up, at the eye): the last heading stays.
  const std::vector<ColorMap::Pixel> alongZ(map.marks.get(), map.marks.get() + 30 * 30);
  for (const Vec3& target : {Vec3(15.5f, -5, 10.5f), Vec3(15.5f, 9, 10.5f), eye}) {
    look(eye, target);
    EXPECT_NEAR(map.heading, M_PI / 2, 1e-12);
    EXPECT_EQ(std::vector<ColorMap::Pixel>(map.marks.get(), map.marks.get() + 30 * 30), alongZ);
  }
  EXPECT_EQ(map.markPixel(15, 29), kSeenFloor);
}

TEST_F(VisibilityMap, CameraOffTheMapMarksOnlyWhatItsRaysCross) {
  open(30, 30);
  look(Vec3(-5.0f, 2.0f, -5.0f), Vec3(-5.0f, 2.0f, -4.0f));  // along +z, beside the map
  EXPECT_EQ(count(kSeenWall), 0);
  EXPECT_EQ(count(kCamera), 0);
  EXPECT_GT(count(kSeenFloor), 100);
  EXPECT_EQ(map.markPixel(0, 0), kSeenFloor);
  EXPECT_EQ(map.markPixel(0, 29), kSeenFloor);
  EXPECT_EQ(map.markPixel(29, 0), kOpen);   // outside the fan
  EXPECT_EQ(map.markPixel(29, 29), kOpen);  // beyond the range
}

TEST_F(VisibilityMap, CameraPixelIsOverwrittenWhenOnTheMap) {
  open(20, 20);
  map.basePixel(3, 3) = kWall;  // a camera inside a wall column still sees out of it
  look(Vec3(3.2f, 2.0f, 3.7f), Vec3(4.0f, 2.0f, 3.7f));
  EXPECT_EQ(count(kCamera), 0);
  EXPECT_EQ(map.markPixel(3, 3), kSeenWall);
  EXPECT_EQ(map.markPixel(10, 3), kSeenFloor);
  // On the map's corner: the nine marks keep to the raster, -0.5 truncates to column 0, and
  // nothing of the previous pass is left.
  map.basePixel(3, 3) = kOpen;
  look(Vec3(0.5f, 2.0f, 0.5f), Vec3(1.5f, 2.0f, 1.5f));
  EXPECT_EQ(count(kSeenWall), 4);
  EXPECT_EQ(map.markPixel(1, 1), kSeenWall);
}
