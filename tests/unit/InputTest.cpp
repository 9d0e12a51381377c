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
    scene.grid = new LightGrid();
    scene.grid->resize(10, 6, 10);
    scene.camera = FlyCamera();
    scene.camera.reset();
    scene.cpuLightUpload = true;
    running = true;
    overlayVisible = false;
    debugView = 0;
  }
  void TearDown() override {
    delete scene.grid;
    scene.grid = savedGrid;
    running = true;
    overlayVisible = false;
    debugView = 0;
  }

  static void release(unsigned char key) { onKeyUp(key, 0, 0); }
  static void press(unsigned char key) { onKeyDown(key, 0, 0); }

  static std::string releaseCapturing(unsigned char key) {
    testing::internal::CaptureStdout();
    release(key);
    return testing::internal::GetCapturedStdout();
  }

  static bool anyMoveKey() {
    const FlyCamera& c = scene.camera;
    return c.forwardKey || c.backKey || c.leftKey || c.rightKey || c.upKey || c.downKey;
  }

  LightGrid* savedGrid = nullptr;
};

}  // namespace

TEST_F(Input, NineThenZeroSetStrengthAndPrintFadeValue) {
  EXPECT_EQ(releaseCapturing('9'), "fade value:0.001\n");
  EXPECT_EQ(scene.grid->strength, 0.001f);
  EXPECT_EQ(releaseCapturing('0'), "fade value:0.051\n");
  // Added in double precision, stored as float.
  EXPECT_EQ(scene.grid->strength, static_cast<float>(static_cast<double>(0.001f) + 0.05));
  // Pressing does nothing: commands act on release.
  testing::internal::CaptureStdout();
  press('0');
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(scene.grid->strength, static_cast<float>(static_cast<double>(0.001f) + 0.05));
}

TEST_F(Input, ZeroRaisesStrengthInStepsOfFiveHundredths) {
  std::string out;
  for (int i = 0; i < 20; ++i) out = releaseCapturing('0');
  EXPECT_NEAR(scene.grid->strength, 1.0f, 1e-5f);
  EXPECT_EQ(out.rfind("fade value:", 0), 0u);
}

TEST_F(Input, DebugViewAlternatesOnB) {
  release('b');
  EXPECT_EQ(debugView, 1);
  release('b');
  EXPECT_EQ(debugView, 0);
  press('b');
  EXPECT_EQ(debugView, 0);
}

TEST_F(Input, ColourKeysRecolourOnlyTheWanderingLightsEmission) {
  LightGrid& g = *scene.grid;
  g.lightX = 4;
  g.lightY = 2;
  g.lightZ = 7;
  GridCell c;
  c.emitter = true;
  c.emission[2] = 1500;
  c.opacity = 0.25f;
  c.light[0] = 3;
  c.light[1] = 5;
  c.hidden = true;
  c.greenMarker = true;
  g.setCell(4, 2, 7, c);

  release('i');
  GridCell after = g.getCell(4, 2, 7);
  EXPECT_EQ(after.emission[0], 1500.0f);
  EXPECT_EQ(after.emission[1], 0.0f);
  EXPECT_EQ(after.emission[2], 0.0f);
  EXPECT_TRUE(after.emitter);
  EXPECT_TRUE(after.hidden);
  EXPECT_TRUE(after.greenMarker);
  EXPECT_FALSE(after.redMarker);
  EXPECT_EQ(after.opacity, 0.25f);
  EXPECT_EQ(after.light[0], 3.0f);
  EXPECT_EQ(after.light[1], 5.0f);

  release('j');
  after = g.getCell(4, 2, 7);
  EXPECT_EQ(after.emission[0], 0.0f);
  EXPECT_EQ(after.emission[1], 1500.0f);
  release('n');
  after = g.getCell(4, 2, 7);
  EXPECT_EQ(after.emission[1], 0.0f);
  EXPECT_EQ(after.emission[2], 1500.0f);
  // Only the light's cell changed.
  EXPECT_EQ(g.getCell(4, 2, 6).emission[2], 0.0f);
}

TEST_F(Input, ColourKeyWithTheLightOffTheGridChangesNothing) {
  scene.grid->lightX = 40;
  release('i');
  for (long i = 0; i < 10 * 6 * 10; ++i) EXPECT_EQ(scene.grid->current[i].emission[0], 0.0f);
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
}

TEST_F(Input, MotionMovesTheMouseOnlyWithAButtonHeld) {
  onMotion(5, 6);
  EXPECT_EQ(scene.camera.mouse.x, 5);
  EXPECT_EQ(scene.camera.mouse.y, 6);
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
  press('W');
  press('S');
  EXPECT_FALSE(anyMoveKey());
  press('w');
  EXPECT_TRUE(scene.camera.forwardKey);
  press('q');
  EXPECT_TRUE(scene.camera.downKey);
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
  EXPECT_TRUE(running);
  EXPECT_EQ(debugView, 0);
  EXPECT_FALSE(overlayVisible);
  EXPECT_TRUE(scene.cpuLightUpload);
  EXPECT_EQ(scene.grid->strength, 0.0f);
}
