// Keyboard and mouse callbacks, driven through their functions on the global scene.
#include <gtest/gtest.h>

#include <string>

#include "app/Input.h"
#include "app/Scene.h"
#include "world/LightGrid.h"

namespace {

class Input : public ::testing::Test {
 protected:
  void SetUp() override {
    savedGrid = scene.grid;
    scene.grid = &grid;
    grid.resize(10, 6, 10);
    scene.camera = FlyCamera();
    scene.camera.reset();
    scene.cpuLightUpload = true;
    resetFlags();
  }
  void TearDown() override {
    scene.grid = savedGrid;
    resetFlags();
  }
  static void resetFlags() {
    running = true;
    overlayVisible = false;
    debugView = 0;
  }

  static void press(unsigned char key) { onKeyDown(key, 0, 0); }
  static void release(unsigned char key) { onKeyUp(key, 0, 0); }
  static std::string releaseCapturing(unsigned char key) {
    testing::internal::CaptureStdout();
    release(key);
    return testing::internal::GetCapturedStdout();
  }

  LightGrid grid;
  LightGrid* savedGrid = nullptr;
};

}  // namespace

TEST_F(Input, NineThenZeroSetStrengthAndPrintFadeValue) {
  EXPECT_EQ(releaseCapturing('9'), "fade value:0.001\n");
  EXPECT_EQ(grid.strength, 0.001f);
  EXPECT_EQ(releaseCapturing('0'), "fade value:0.051\n");
  // Added in double precision, stored as float.
  const float expected = static_cast<float>(static_cast<double>(0.001f) + 0.05);
  EXPECT_EQ(grid.strength, expected);
  testing::internal::CaptureStdout();
  press('0');  // commands act on release
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(grid.strength, expected);
}

TEST_F(Input, ColourKeysRecolourOnlyTheWanderingLightsEmission) {
  grid.lightX = 4;
  grid.lightY = 2;
  grid.lightZ = 7;
  GridCell c;
  c.emitter = c.hidden = c.greenMarker = true;
  c.emission[2] = 1500;
  c.opacity = 0.25f;
  c.light[0] = 3;
  grid.setCell(4, 2, 7, c);
  const GridCell& light = grid.current[(7 * 6 + 2) * 10 + 4];
  release('i');
  EXPECT_TRUE(light.emitter && light.hidden && light.greenMarker && !light.redMarker);
  EXPECT_EQ(light.opacity, 0.25f);
  EXPECT_EQ(light.light[0], 3.0f);
  // Each key moves the light's brightness to one channel and clears the other two.
  const char keys[] = "ijn";
  for (int k = 0; k < 3; ++k) {
    release(keys[k]);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(light.emission[i], i == k ? 1500 : 0) << keys[k] << i;
  }
  grid.lightX = 40;  // off the grid: nothing to recolour, nothing written
  release('j');
  long lit = 0;
  for (long i = 0; i < 10 * 6 * 10; ++i) lit += grid.current[i].emission[1] != 0.0f;
  EXPECT_EQ(lit, 0);
}

TEST_F(Input, MouseLookStartsWithTheFirstLeftButtonEvent) {
  onMouse(2, 0, 10, 20);
  onMouse(2, 1, 10, 20);
  EXPECT_FALSE(scene.camera.mouseLook);
  EXPECT_EQ(scene.camera.mouse.x, 10);
  EXPECT_EQ(scene.camera.mouse.y, 20);
  onMouse(0, 1, 30, 40);  // a release alone is enough
  EXPECT_TRUE(scene.camera.mouseLook);
  // The click itself turns nothing: the consumed position is the new one.
  EXPECT_EQ(scene.camera.lastMouse.x, 30);
  EXPECT_EQ(scene.camera.lastMouse.y, 40);
  onMouse(2, 0, 50, 60);
  EXPECT_TRUE(scene.camera.mouseLook);  // stays on

  onMotion(5, 6);  // the mouse moves only with a button held
  onPassiveMotion(100, 200);
  EXPECT_EQ(scene.camera.mouse.x, 5);
  EXPECT_EQ(scene.camera.mouse.y, 6);
}

TEST_F(Input, EscapeOnlyClearsRunning) {
  press(27);
  EXPECT_TRUE(running);
  release(27);
  EXPECT_FALSE(running);  // the process ends at the next display call, not here
}

TEST_F(Input, MovementKeysActWhileHeldLowerCaseOnly) {
  const FlyCamera& c = scene.camera;
  auto anyMoveKey = [&] {
    return c.forwardKey || c.backKey || c.leftKey || c.rightKey || c.upKey || c.downKey;
  };
  press('W');
  press('S');
  EXPECT_FALSE(anyMoveKey());
  press('w');
  press('q');
  EXPECT_TRUE(c.forwardKey && c.downKey);
  release('w');
  release('q');
  EXPECT_FALSE(anyMoveKey());
}

TEST_F(Input, SpaceJumpsOncePerCooldown) {
  scene.camera.jumpCooldown = -0.5;
  press(' ');
  EXPECT_EQ(scene.camera.velocity, Vec3(0, 6, 0));
  EXPECT_EQ(scene.camera.jumpCooldown, 1.0);
  scene.camera.velocity = Vec3(0, -1, 0);
  press(' ');  // auto-repeat while held: no second jump
  EXPECT_EQ(scene.camera.velocity, Vec3(0, -1, 0));
  release(' ');
  scene.camera.jumpCooldown = -0.001;
  press(' ');
  EXPECT_EQ(scene.camera.velocity, Vec3(0, 6, 0));
}

TEST_F(Input, ToggleKeysAndUnlistedKeys) {
  press('b');  // toggles act on release
  EXPECT_EQ(debugView, 0);
  release('b');
  EXPECT_EQ(debugView, 1);
  release('b');
  EXPECT_EQ(debugView, 0);
  release('m');
  EXPECT_FALSE(scene.cpuLightUpload);
  release('m');
  EXPECT_TRUE(scene.cpuLightUpload);
  release('o');
  EXPECT_TRUE(overlayVisible);
  release('o');
  EXPECT_FALSE(overlayVisible);

  testing::internal::CaptureStdout();
  const unsigned char unlisted[] = {'x', 'B', 'I', 'O', '1', '8', 200};
  for (unsigned char k : unlisted) {
    press(k);
    release(k);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(running && scene.cpuLightUpload);
  EXPECT_EQ(debugView, 0);
  EXPECT_FALSE(overlayVisible);
  EXPECT_EQ(grid.strength, 0.0f);
}
