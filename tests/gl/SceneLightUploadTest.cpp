// Scene::uploadLightVolume on both paths, read back from the texture: the compression of each
// component, texel placement (x fastest, then y, then z), full coverage, agreement of the two
// paths and the state the slice path leaves.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <random>
#include <set>

#include "GlTestSupport.h"
#include "SceneTestSetUp.h"
#include "world/LightGrid.h"

namespace {

// The volume stores 8 bits a component for the unsized GL_RGB format on common drivers.
constexpr float kTexelTolerance = 1.0f / 255.0f + 1e-6f;

// The texel each cell should become, worked out in double from the grid's current light.
std::vector<float> expectedTexels() {
  const LightGrid& g = *scene.grid;
  std::vector<float> texels;
  for (int z = 0; z < g.sizeZ; ++z)
    for (int y = 0; y < g.sizeY; ++y)
      for (int x = 0; x < g.sizeX; ++x)
        for (int k = 0; k < 3; ++k) {
          const double c = g.getCell(x, y, z).light[k];
          texels.push_back(static_cast<float>(c / (c + 1.0)));
        }
  return texels;
}

// Counts the components farther than the tolerance from the grid's expected texels, naming the
// first few.
int mismatches(const std::vector<float>& actual) {
  const std::vector<float> expected = expectedTexels();
  EXPECT_EQ(actual.size(), expected.size());
  const int sx = scene.grid->sizeX, sy = scene.grid->sizeY;
  int count = 0;
  for (size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
    if (std::fabs(actual[i] - expected[i]) <= kTexelTolerance) continue;
    if (++count <= 5) {
      const int cell = static_cast<int>(i / 3);
      ADD_FAILURE() << "texel (" << cell % sx << ", " << cell / sx % sy << ", "
                    << cell / (sx * sy) << ") component " << i % 3 << ": " << actual[i]
                    << ", expected " << expected[i];
    }
  }
  return count;
}

}  // namespace

using namespace scenetest;

TEST(SceneLightUpload, CpuPathStoresEachComponentAsLightOverLightPlusOne) {
  newGrid(5, 6, 4);
  putLight(3, 2, 1, 0.0f, 1.0f, 3.0f);
  putLight(4, 5, 3, 1.0f, 0.0f, 0.0f);
  putLight(0, 1, 2, 1e30f, 9.0f, 0.25f);
  fillVolume(0.3f);
  gltest::drainGlErrors();

  uploadLight(true);

  const std::vector<float> texels = readVolume();
  const size_t cell = (static_cast<size_t>(1 * 6 + 2) * 5 + 3) * 3;
  EXPECT_NEAR(texels[cell + 0], 0.0f, kTexelTolerance);
  EXPECT_NEAR(texels[cell + 1], 0.5f, kTexelTolerance);
  EXPECT_NEAR(texels[cell + 2], 0.75f, kTexelTolerance);
  EXPECT_EQ(mismatches(texels), 0);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_3D));
  EXPECT_NO_GL_ERROR();
}

TEST(SceneLightUpload, BothPathsWriteTheSameTexelsForARandomGrid) {
  newGrid(11, 6, 9);
  std::mt19937 random(20240611u);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const float bright[] = {1e3f, 1e6f, 1e30f, FLT_MAX};
  for (int z = 0; z < 9; ++z)
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 11; ++x) {
        float light[3];
        for (float& c : light) {
          const float kind = unit(random);
          if (kind < 0.25f) c = 0.0f;
          else if (kind < 0.6f) c = 2.0f * unit(random);
          else if (kind < 0.85f) c = 100.0f * unit(random);
          else c = bright[random() % 4];
        }
        putLight(x, y, z, light[0], light[1], light[2]);
      }

  // The flag picks the path: only the slice path leaves the last slice attached.
  fillVolume(0.3f);
  uploadLight(true);
  EXPECT_EQ(attachedVolumeSlice(), 0);
  const std::vector<float> cpu = readVolume();
  const std::vector<unsigned char> cpuBytes = readVolumeBytes();
  fillVolume(0.3f);
  uploadLight(false);
  EXPECT_EQ(attachedVolumeSlice(), 8);
  const std::vector<float> slices = readVolume();
  const std::vector<unsigned char> sliceBytes = readVolumeBytes();

  EXPECT_EQ(mismatches(cpu), 0);
  EXPECT_EQ(mismatches(slices), 0);
  // A driver may round a drawn colour and an uploaded float differently by one step.
  ASSERT_EQ(cpuBytes.size(), sliceBytes.size());
  int differing = 0;
  for (size_t i = 0; i < cpuBytes.size(); ++i) {
    differing += std::abs(cpuBytes[i] - sliceBytes[i]) > 1;
  }
  EXPECT_EQ(differing, 0);
  EXPECT_NO_GL_ERROR();
}

TEST(SceneLightUpload, EveryTexelOfAFourBySixByThreeGridIsWrittenOnBothPaths) {
  newGrid(4, 6, 3);
  // (x + 1, y + 1, z + 1) compresses to a different triple in every cell, none near 0.1.
  for (int z = 0; z < 3; ++z)
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 4; ++x) putLight(x, y, z, x + 1.0f, y + 1.0f, z + 1.0f);

  for (bool cpu : {true, false}) {
    SCOPED_TRACE(cpu ? "CPU path" : "slice path");
    fillVolume(0.1f);
    uploadLight(cpu);
    EXPECT_EQ(mismatches(readVolume()), 0);
    const std::vector<unsigned char> bytes = readVolumeBytes();
    std::set<std::array<unsigned char, 3>> distinct;
    for (size_t i = 0; i + 2 < bytes.size(); i += 3) {
      distinct.insert({bytes[i], bytes[i + 1], bytes[i + 2]});
    }
    EXPECT_EQ(bytes.size(), 72u * 3);
    EXPECT_EQ(distinct.size(), 72u);
  }
}

TEST(SceneLightUpload, SlicePathLeavesTheWindowsViewportDepthTestAndMatrices) {
  newGrid(4, 6, 3);
  putLight(2, 5, 2, 3.0f, 0.0f, 1.0f);
  fillVolume(0.1f);

  GLuint otherFramebuffer = 0;
  glGenFramebuffersEXT(1, &otherFramebuffer);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, otherFramebuffer);
  glViewport(7, 9, 300, 200);
  glDisable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glFrustum(-1, 1, -1, 1, 1, 50);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(1.5f, -2.0f, 3.0f);
  glPushMatrix();
  glRotatef(30.0f, 0.0f, 1.0f, 0.0f);
  const auto modelView = gltest::matrix(GL_MODELVIEW_MATRIX);
  const auto projection = gltest::matrix(GL_PROJECTION_MATRIX);
  const GLint modelViewDepth = gltest::integer(GL_MODELVIEW_STACK_DEPTH);
  const GLint projectionDepth = gltest::integer(GL_PROJECTION_STACK_DEPTH);
  gltest::drainGlErrors();

  uploadLight(false);

  std::array<GLint, 4> viewport{};
  glGetIntegerv(GL_VIEWPORT, viewport.data());
  EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, 1024, 800}));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_EQ(gltest::integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
  EXPECT_EQ(gltest::integer(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(gltest::integer(GL_MODELVIEW_STACK_DEPTH), modelViewDepth);
  EXPECT_EQ(gltest::integer(GL_PROJECTION_STACK_DEPTH), projectionDepth);
  EXPECT_EQ(gltest::matrix(GL_MODELVIEW_MATRIX), modelView);
  EXPECT_EQ(gltest::matrix(GL_PROJECTION_MATRIX), projection);
  EXPECT_NO_GL_ERROR();
  // The caller's matrices and viewport were no obstacle to filling the volume.
  EXPECT_EQ(mismatches(readVolume()), 0);

  glPopMatrix();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glDeleteFramebuffersEXT(1, &otherFramebuffer);
}
