// Scene::renderFrame on small grids built here, through the real programs, read back from the
// colour targets: face lighting, cell classes, emitter colours, depth between the passes, the
// glass order, the targets' exchange, the GL state on return and what the display shows.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>

#include "Utils/FBOManager.h"
#include "Utils/RenderTarget.h"
#include "Utils/ShaderProgram.h"
#include "app/Display.h"
#include "app/Scene.h"
#include "tests/gl/SceneTestSetUp.h"
#include "tests/gl/GlTestSupport.h"
#include "tests/gl/OffscreenTarget.h"
#include "world/LightGrid.h"

using namespace scenetest;

namespace {

using Rgba = std::array<float, 4>;

float luminance(const Rgba& c) { return c[0] + c[1] + c[2]; }

bool isClear(const Rgba& c) { return c[0] == 0 && c[1] == 0 && c[2] == 0 && c[3] == 0; }

// Colour of the +z face of cell (x, y, z) at the middle of a tile of its picture (the face
// centre is on grout), in target `index`.
Rgba plusZFace(const TargetImage& image, int x, int y, int z) {
  const auto p = pixelOf(x - 0.125f, y - 0.125f, z + 0.5f);
  return image.at(p[0], p[1]);
}

// The +z face of emitter (3, 1, 2) in the finished frame; the targets hold half floats.
void expectEmitterColour(float r, float g, float b) {
  const Rgba actual = plusZFace(readTarget(scene.frontTarget), 3, 1, 2);
  const float expected[4] = {r, g, b, 1.0f};
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(actual[c], expected[c], 2e-3) << "channel " << c;
}

class RenderFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prepareScene();
    debugView = 0;
  }
};

TEST_F(RenderFrameTest, FaceTakesTheLightOfTheOpenCellInFrontNotItsOwn) {
  newGrid(11, 3, 7);
  // Four blocks in a row facing the camera across z.
  for (int x : {2, 4, 6, 8}) putSolid(x, 1, 3);
  putLight(2, 1, 4, 4.0f, 4.0f, 4.0f);  // in front of block 2
  putLight(4, 1, 3, 4.0f, 4.0f, 4.0f);  // inside block 4 (a solid cell holds no light)
  putLight(6, 1, 4, 3.0f, 0.0f, 0.0f);  // red, in front of block 6
  uploadLight();                         // block 8 stays dark
  look(Vec3(5.0f, 1.0f, 9.0f), Vec3(5.0f, 1.0f, 3.0f));
  render();

  const TargetImage image = readTarget(scene.frontTarget);
  const Rgba lit = plusZFace(image, 2, 1, 3);
  const Rgba lightInside = plusZFace(image, 4, 1, 3);
  const Rgba red = plusZFace(image, 6, 1, 3);
  const Rgba dark = plusZFace(image, 8, 1, 3);

  EXPECT_GT(luminance(dark), 0.05f) << "the ambient term keeps unlit faces readable";
  EXPECT_GT(luminance(lit), 2.0f * luminance(dark));
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(lightInside[c], dark[c], 0.03f) << "channel " << c;
  EXPECT_GT(red[0], dark[0] + 0.2f);
  EXPECT_GT(red[0], 1.5f * red[1]) << "a coloured light tints the face";
  EXPECT_EQ(lit[3], 1.0f);
}

TEST_F(RenderFrameTest, HiddenCellsAreDrawnInNoPassAndGatheredInNoList) {
  newGrid(7, 3, 7);
  putSolid(1, 1, 2);
  putEmitter(3, 1, 2, 350.0f, 350.0f, 150.0f);
  putOpacity(5, 1, 2, 0.5f);
  putEmitter(3, 2, 2, 0.0f, 350.0f, 0.0f, 1.0f);
  for (int x : {1, 3, 5}) putHidden(x, 1, 2);
  putHidden(3, 2, 2);
  uploadLight();
  look(Vec3(3.0f, 1.5f, 6.5f), Vec3(3.0f, 1.5f, 2.0f));
  render();

  EXPECT_TRUE(scene.emitterCells.empty());
  EXPECT_TRUE(scene.glassCells.empty());
  const int cells[][3] = {{1, 1, 2}, {3, 1, 2}, {5, 1, 2}, {3, 2, 2}};
  for (int target = 0; target < 2; ++target) {
    const TargetImage image = readTarget(target);
    for (const auto& c : cells)
      EXPECT_TRUE(isClear(plusZFace(image, c[0], c[1], c[2]))) << "target " << target;
  }

  // The same cells, revealed, are drawn and gathered.
  for (const auto& c : cells) scene.grid->current[scene.grid->index(c[0], c[1], c[2])].hidden = false;
  render();
  EXPECT_EQ(scene.emitterCells.size(), 2u);
  EXPECT_EQ(scene.glassCells.size(), 1u);
  const TargetImage image = readTarget(scene.frontTarget);
  for (const auto& c : cells) EXPECT_FALSE(isClear(plusZFace(image, c[0], c[1], c[2])));
  // The opaque emitter is drawn textured by the walk: its flat cube of (0, 350, 0) has no red
  // and loses the coplanar GL_LESS depth test to it.
  EXPECT_GT(plusZFace(image, 3, 2, 2)[0], 0.02f);
}

TEST_F(RenderFrameTest, OpacityBoundsOfTheOpaqueAndGlassClasses) {
  const float nearestToThousandth = 0.001f;
  ASSERT_EQ(static_cast<double>(nearestToThousandth), 0.0010000000474974513);
  const float belowThousandth = std::nextafter(nearestToThousandth, 0.0f);

  newGrid(11, 3, 5);
  putOpacity(1, 1, 2, 0.9f);
  putOpacity(3, 1, 2, 0.8999f);
  putOpacity(5, 1, 2, nearestToThousandth);
  putOpacity(7, 1, 2, belowThousandth);
  uploadLight();  // cell (9, 1, 2) stays at opacity 0
  look(Vec3(5.0f, 1.0f, 9.0f), Vec3(5.0f, 1.0f, 2.0f));
  render();

  std::set<std::tuple<int, int, int>> glass;
  for (const GlassCell& g : scene.glassCells) glass.insert({g.x, g.y, g.z});
  EXPECT_EQ(glass, (std::set<std::tuple<int, int, int>>{{3, 1, 2}, {5, 1, 2}}));
  EXPECT_TRUE(scene.emitterCells.empty());

  // The back target holds the frame without glass: only the 0.9 cell is there.
  const TargetImage opaque = readTarget(scene.backTarget);
  EXPECT_EQ(plusZFace(opaque, 1, 1, 2)[3], 1.0f);
  EXPECT_TRUE(isClear(plusZFace(opaque, 3, 1, 2)));
  EXPECT_TRUE(isClear(plusZFace(opaque, 5, 1, 2)));
  // The finished frame shows the two glass cells and nothing where air or near-air is.
  const TargetImage finished = readTarget(scene.frontTarget);
  for (int x : {3, 5, 7, 9}) EXPECT_EQ(isClear(plusZFace(finished, x, 1, 2)), x > 5) << x;
}

TEST_F(RenderFrameTest, EmitterOfOpacityZeroIsAFlatCubeOfTheStrengthScaledColour) {
  LightGrid& grid = newGrid(7, 3, 5);
  putEmitter(3, 1, 2, 350.0f, 350.0f, 150.0f);
  uploadLight();
  look(Vec3(3.0f, 1.0f, 7.0f), Vec3(3.0f, 1.0f, 2.0f));

  // Below strength 0.025 the brightness factor stays at its floor of 0.2.
  for (float strength : {0.0f, 0.025f}) {
    grid.strength = strength;
    render();
    SCOPED_TRACE(strength);
    ASSERT_EQ(scene.emitterCells.size(), 1u);
    EXPECT_EQ(scene.emitterCells[0].x, 3);
    EXPECT_TRUE(scene.glassCells.empty());
    expectEmitterColour(0.2f * 350.0f / 351.0f, 0.2f * 350.0f / 351.0f, 0.2f * 150.0f / 151.0f);
  }

  // Above it the factor is 8 x strength (StateOnReturn checks 0.1): 4 at 0.5, clamped at 1.
  putEmitter(3, 1, 2, 0.1f, 350.0f, 0.05f);
  grid.strength = 0.5f;
  render();
  expectEmitterColour(4.0f * 0.1f / 1.1f, 1.0f, 4.0f * 0.05f / 1.05f);
}

// Then the display shows the finished frame, or in the debug view the one without glass.
TEST_F(RenderFrameTest, GlassBehindAnOpaqueBlockFailsTheDepthTestAndTheDisplayShowsEitherTarget) {
  newGrid(9, 3, 9);
  putSolid(3, 1, 4);
  uploadLight();
  look(Vec3(4.0f, 1.0f, 8.5f), Vec3(4.0f, 1.0f, 2.0f));
  render();
  const TargetImage withoutGlass = readTarget(scene.frontTarget);

  putOpacity(3, 1, 1, 0.5f);  // straight behind the block
  putOpacity(5, 1, 1, 0.5f);  // beside it, in the open
  render();
  ASSERT_EQ(scene.glassCells.size(), 2u);
  const TargetImage withGlass = readTarget(scene.frontTarget);

  const auto covered = pixelOf(3.0f, 1.0f, 4.5f);
  EXPECT_EQ(withGlass.at(covered[0], covered[1]), withoutGlass.at(covered[0], covered[1]));
  const auto open = pixelOf(5.0f - 0.2f, 1.0f - 0.2f, 1.45f);
  EXPECT_NE(withGlass.at(open[0], open[1]), withoutGlass.at(open[0], open[1]));
  EXPECT_GT(withGlass.at(open[0], open[1])[3], 0.5f) << "glass is blended by its opacity";

  const auto blockPixel = pixelOf(3.0f - 0.125f, 1.0f - 0.125f, 4.5f);
  OffscreenTarget window(1024, 800);
  for (int view : {0, 1}) {
    debugView = view;
    const TargetImage shown = readTarget(view == 0 ? scene.frontTarget : scene.backTarget);
    const std::vector<unsigned char> expected = shown.rgb8();
    window.begin(0.5f, 0.5f, 0.5f, 1.0f);
    presentFrame();
    for (const auto& p : {open, blockPixel}) {
      const std::array<int, 4> got = window.pixel(p[0], p[1]);
      const size_t i = (static_cast<size_t>(p[1]) * 1024 + p[0]) * 3;
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(got[c], expected[i + c], 1) << "debug view " << view << " channel " << c;
    }
    window.end();
  }
  debugView = 0;
  // The two views differ where the glass is.
  EXPECT_NE(readTarget(scene.backTarget).at(open[0], open[1]), withGlass.at(open[0], open[1]));
}

TEST_F(RenderFrameTest, WithoutGlassTheTargetsStillExchangeAndShowTheOpaqueImage) {
  newGrid(7, 3, 5);
  putSolid(3, 1, 2);
  putEmitter(1, 1, 2, 350.0f, 350.0f, 150.0f);
  uploadLight();
  look(Vec3(3.0f, 1.0f, 7.0f), Vec3(3.0f, 1.0f, 2.0f));

  for (int frame = 0; frame < 2; ++frame) {
    const int front = scene.frontTarget;
    render();
    EXPECT_EQ(scene.frontTarget, 1 - front);
    EXPECT_EQ(scene.backTarget, front);
    const TargetImage a = readTarget(0);
    const TargetImage b = readTarget(1);
    EXPECT_TRUE(a.rgba == b.rgba) << "both targets hold the same opaque image";
    EXPECT_FALSE(isClear(plusZFace(a, 3, 1, 2)));
    EXPECT_FALSE(isClear(plusZFace(a, 1, 1, 2)));
  }
}

TEST_F(RenderFrameTest, GlassListIsSortedFarToNearByDistanceToTheCellCentre) {
  newGrid(9, 3, 12);
  const int cells[][3] = {{2, 1, 3}, {6, 1, 9}, {4, 2, 1}, {1, 1, 11}, {7, 1, 5}, {4, 1, 7}};
  for (const auto& c : cells) putOpacity(c[0], c[1], c[2], 0.5f);
  uploadLight();
  // Some cells lie behind the eye: the list holds every glass cell, in view or not.
  const Vec3 eye(2.0f, 1.0f, 9.0f);
  look(eye, Vec3(2.0f, 1.0f, 0.0f));
  render();

  ASSERT_EQ(scene.glassCells.size(), 6u);
  for (size_t i = 1; i < scene.glassCells.size(); ++i)
    EXPECT_GE(scene.glassCells[i - 1].distance, scene.glassCells[i].distance) << "entry " << i;
  for (const GlassCell& g : scene.glassCells) {
    const float dx = eye.x - g.x, dy = eye.y - g.y, dz = eye.z - g.z;
    EXPECT_FLOAT_EQ(g.distance, std::sqrt(dx * dx + dy * dy + dz * dz));
  }
}

TEST_F(RenderFrameTest, StateOnReturn) {
  LightGrid& grid = newGrid(7, 3, 5);
  putSolid(1, 1, 2);
  putOpacity(3, 1, 2, 0.5f);
  putEmitter(5, 1, 2, 350.0f, 350.0f, 150.0f);
  putEmitter(5, 2, 2, 0.0f, 1.0f, 3.0f);
  grid.strength = 0.1f;
  uploadLight();
  look(Vec3(3.0f, 1.0f, 7.0f), Vec3(3.0f, 1.0f, 2.0f));
  scene.blockHalfSize = 0.3f;  // renderFrame sets its own sizes and leaves 0.5
  gltest::drainGlErrors();
  render();

  EXPECT_EQ(gltest::integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
  EXPECT_EQ(gltest::integer(GL_CURRENT_PROGRAM), 0);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_EQ(scene.blockHalfSize, 0.5f);
  EXPECT_EQ(scene.frontTarget, 1);
  EXPECT_EQ(scene.backTarget, 0);
  // The current colour is the last emitter's: (0, 1, 3) scaled by 0.8 and compressed.
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_FLOAT_EQ(colour[0], 0.0f);
  EXPECT_FLOAT_EQ(colour[1], 0.4f);
  EXPECT_FLOAT_EQ(colour[2], 0.6f);
  EXPECT_FLOAT_EQ(colour[3], 1.0f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The opaque pass as whole cubes: every face of every opaque cube in view, same programs, same
// targets and order. Returns the image of target 0.
TargetImage wholeCubeOpaqueImage() {
  const FBOManager* targets = FBOManager::instance();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, targets->framebuffer);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                            scene.colorTargets[0]->texture, 0);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_TEXTURE_2D,
                            scene.colorTargets[1]->texture, 0);
  const GLenum both[2] = {GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT};
  glDrawBuffers(2, both);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  const LightGrid& g = *scene.grid;
  const float eye[3] = {scene.camera.eye.x, scene.camera.eye.y, scene.camera.eye.z};
  const float dimension[3] = {static_cast<float>(g.sizeX), static_cast<float>(g.sizeY),
                              static_cast<float>(g.sizeZ)};
  scene.frustum.extract();
  scene.blockVertex->bind();
  scene.blockFragment->bind();
  scene.blockFragment->setTextureParameter("light_volume", scene.lightVolumeTex);
  scene.blockFragment->setTextureParameter("tile_tex", scene.tileTex);
  scene.blockFragment->setParameter("dimension", dimension, 3);
  scene.blockFragment->setParameter("eye_pos", eye, 3);
  for (int z = 0; z < g.sizeZ; ++z)
    for (int y = 0; y < g.sizeY; ++y)
      for (int x = 0; x < g.sizeX; ++x) {
        const GridCell c = g.getCell(x, y, z);
        if (!c.hidden && c.opacity >= 0.9f && scene.frustum.cubeVisible(x, y, z, 0.5f))
          scene.drawBlock(x, y, z);
      }
  scene.blockVertex->unbind();
  scene.blockFragment->unbind();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  return readTarget(0);
}

// The walk sends only the faces that can show; from anywhere, in the room, above it, below its
// floor or against a wall, the picture is that of whole cubes.
TEST_F(RenderFrameTest, OpaquePassShowsTheSamePictureAsWholeCubes) {
  newGrid(8, 5, 8);
  for (int z = 0; z < 8; ++z)
    for (int x = 0; x < 8; ++x) {
      putSolid(x, 0, z);
      if (x == 0 || z == 0) putSolid(x, 1, z), putSolid(x, 2, z);
    }
  putSolid(4, 1, 4);
  putSolid(4, 2, 4);
  putSolid(2, 3, 5);
  putHidden(4, 2, 4);  // its neighbours' faces towards it must stay
  putOpacity(5, 1, 2, 0.5f);
  for (int z = 0; z < 8; ++z)
    for (int y = 1; y < 5; ++y)
      for (int x = 0; x < 8; ++x) putLight(x, y, z, 0.2f * x, 0.1f * y, 0.15f * z);
  uploadLight();

  const Vec3 views[][2] = {
      {Vec3(6.5f, 2.0f, 7.0f), Vec3(1.0f, 1.0f, 1.0f)},    // inside, looking into a corner
      {Vec3(4.0f, 9.0f, 4.0f), Vec3(4.1f, 0.0f, 3.9f)},    // above the room, looking down
      {Vec3(3.0f, -2.0f, 10.0f), Vec3(3.0f, 1.0f, 3.0f)},  // below the floor
      {Vec3(4.0f, 2.0f, 5.7f), Vec3(4.0f, 2.0f, 0.0f)},    // close to the pillar
  };
  for (const auto& view : views) {
    look(view[0], view[1]);
    render();
    const TargetImage walked = readTarget(scene.backTarget);  // the frame without glass
    const TargetImage whole = wholeCubeOpaqueImage();
    // Pixels on the seams between faces may go either way: there an unseen face of the whole
    // cubes can win the depth tie.
    long differing = 0;
    for (size_t p = 0; p < walked.rgba.size() / 4; ++p)
      for (int c = 0; c < 4; ++c)
        if (std::fabs(walked.rgba[p * 4 + c] - whole.rgba[p * 4 + c]) > 1e-3f) {
          ++differing;
          break;
        }
    SCOPED_TRACE(testing::Message() << "eye " << view[0].x << " " << view[0].y << " " << view[0].z);
    EXPECT_LE(differing, 400) << "only seam pixels may differ";
    long drawn = 0;
    for (size_t i = 3; i < whole.rgba.size(); i += 4) drawn += whole.rgba[i] > 0.5f;
    EXPECT_GT(drawn, 10000);
  }
}

}  // namespace
