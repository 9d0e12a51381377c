// Scene::initRenderResources and Scene::createLightVolume: the fields and objects the frame
// relies on, the light volume's size, sampling state, black start and framebuffer, and the
// refusal of a room larger than the driver's 3-D textures (in a probe process, which it ends).
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>

#include "GlTestSupport.h"
#include "SceneTestSetUp.h"
#include "Utils/FBOManager.h"
#include "Utils/FramebufferObject.h"
#include "Utils/RenderTarget.h"
#include "Utils/ShaderManager.h"
#include "Utils/ShaderProgram.h"
#include "world/LightGrid.h"

using gltest::integer;
using gltest::texLevel;
using gltest::texParameter;

TEST(SceneRenderResources, InitialisesTheFrameStateItOwns) {
  const scenetest::SetUpRecord& record = scenetest::renderResources();
  // Each of these was set to another value just before the call.
  EXPECT_EQ(record.frontTarget, 0);
  EXPECT_EQ(record.backTarget, 1);
  EXPECT_EQ(record.blockHalfSize, 0.5f);
  EXPECT_TRUE(record.cpuLightUpload);
  EXPECT_EQ(record.stepAccumulator, 0.0);

  FlyCamera fresh;
  fresh.reset();
  const auto xyz = [](const Vec3& v) { return std::array<float, 3>{v.x, v.y, v.z}; };
  EXPECT_EQ(xyz(record.eye), xyz(fresh.eye));
  EXPECT_EQ(xyz(record.target), xyz(fresh.target));

  EXPECT_EQ(scene.shaderManager, ShaderManager::instance());
  EXPECT_TRUE(record.occlusionMapEmpty);

  // The report comes first (ShaderManager's first use), the two targets last.
  const std::string targets = "creating frame and renderbuffer\ncreating FBO \ncreating FBO \n";
  ASSERT_GE(record.output.size(), targets.size()) << record.output;
  EXPECT_EQ(record.output.substr(record.output.size() - targets.size()), targets);
  EXPECT_NE(record.output.find("GL_EXT_framebuffer_object support\n"), std::string::npos);
  EXPECT_EQ(record.output.find("TESSARY"), std::string::npos);
}

TEST(SceneRenderResources, LoadsSevenProgramsForTheirStages) {
  scenetest::renderResources();
  struct Expected {
    ShaderProgram* program;
    const char* file;
    CGGLenum stage;
  };
  const Expected programs[] = {
      {scene.blockFragment, "media/TessaryShader.cg", CG_GL_FRAGMENT},
      {scene.blockVertex, "media/TessaryShader.cg", CG_GL_VERTEX},
      {scene.glassFragment, "media/TessaryShaderRefraktion.cg", CG_GL_FRAGMENT},
      {scene.glassVertex, "media/TessaryShaderRefraktion.cg", CG_GL_VERTEX},
      {scene.combineFragment, "media/TessaryShaderCombine.cg", CG_GL_FRAGMENT},
      {scene.combineVertex, "media/TessaryShaderCombine.cg", CG_GL_VERTEX},
      {scene.setDepthFragment, "media/setDepthShader.cg", CG_GL_FRAGMENT}};
  std::set<ShaderProgram*> distinct;
  for (const Expected& e : programs) {
    ASSERT_NE(e.program, nullptr) << e.file;
    distinct.insert(e.program);
    EXPECT_EQ(e.program->fileName, e.file);
    EXPECT_EQ(e.program->profileClass, e.stage) << e.file;
    EXPECT_TRUE(cgIsProgram(e.program->program)) << e.file;
  }
  EXPECT_EQ(distinct.size(), 7u);
}

TEST(SceneRenderResources, MakesTwoWindowSizedTargetsAndTheImageTextures) {
  scenetest::renderResources();
  ASSERT_NE(scene.colorTargets[0], nullptr);
  ASSERT_NE(scene.colorTargets[1], nullptr);
  EXPECT_EQ(scene.colorTargets[0]->attachment, static_cast<GLenum>(GL_COLOR_ATTACHMENT0_EXT));
  EXPECT_EQ(scene.colorTargets[1]->attachment, static_cast<GLenum>(GL_COLOR_ATTACHMENT1_EXT));
  EXPECT_NE(scene.colorTargets[0]->texture, scene.colorTargets[1]->texture);
  for (RenderTarget* target : scene.colorTargets) {
    EXPECT_EQ(texLevel(GL_TEXTURE_2D, target->texture, GL_TEXTURE_WIDTH), 1024);
    EXPECT_EQ(texLevel(GL_TEXTURE_2D, target->texture, GL_TEXTURE_HEIGHT), 800);
  }
  EXPECT_EQ(FBOManager::instance()->width, 1024);
  EXPECT_EQ(FBOManager::instance()->height, 800);

  const GLuint images[] = {scene.tileTex, scene.glassTileTex, scene.lightTex};
  for (GLuint texture : images) {
    ASSERT_TRUE(glIsTexture(texture)) << texture;
    EXPECT_GT(texLevel(GL_TEXTURE_2D, texture, GL_TEXTURE_WIDTH), 1);
  }
  EXPECT_EQ(std::set<GLuint>(std::begin(images), std::end(images)).size(), 3u);
  glBindTexture(GL_TEXTURE_2D, 0);
  EXPECT_NO_GL_ERROR();
}

TEST(SceneRenderResources, LightVolumeHasOneBlackTexelPerCell) {
  scenetest::renderResources();
  gltest::drainGlErrors();
  scenetest::newGrid(60, 6, 40);
  // Light the grid already holds must not reach the volume before the first step's upload.
  scenetest::putLight(59, 5, 39, 5.0f, 5.0f, 5.0f);
  scenetest::putLight(0, 0, 0, 5.0f, 5.0f, 5.0f);
  glDeleteTextures(1, &scene.lightVolumeTex);
  delete scene.lightVolumeFbo;
  scene.createLightVolume();

  const GLuint volume = scene.lightVolumeTex;
  ASSERT_TRUE(glIsTexture(volume));
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_3D), static_cast<GLint>(volume));
  EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
  EXPECT_EQ(texLevel(GL_TEXTURE_3D, volume, GL_TEXTURE_WIDTH), 60);
  EXPECT_EQ(texLevel(GL_TEXTURE_3D, volume, GL_TEXTURE_HEIGHT), 6);
  EXPECT_EQ(texLevel(GL_TEXTURE_3D, volume, GL_TEXTURE_DEPTH), 40);
  EXPECT_GT(texLevel(GL_TEXTURE_3D, volume, GL_TEXTURE_RED_SIZE), 0);
  EXPECT_EQ(texLevel(GL_TEXTURE_3D, volume, GL_TEXTURE_ALPHA_SIZE), 0);
  for (GLenum pname : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER})
    EXPECT_EQ(texParameter(GL_TEXTURE_3D, volume, pname), GL_LINEAR);
  for (GLenum pname : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R})
    EXPECT_EQ(texParameter(GL_TEXTURE_3D, volume, pname), GL_CLAMP_TO_EDGE);

  const std::vector<float> texels = scenetest::readVolume();
  EXPECT_EQ(std::count(texels.begin(), texels.end(), 0.0f), 60 * 6 * 40 * 3);

  // The framebuffer draws into slice 0 of the volume and is complete.
  scene.lightVolumeFbo->Bind();
  EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT),
            static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
  FramebufferObject::Unbind();
  EXPECT_EQ(scene.lightVolumeFbo->GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT), volume);
  EXPECT_EQ(scenetest::attachedVolumeSlice(), 0);
  EXPECT_NO_GL_ERROR();
}

TEST(SceneRenderResources, RoomBeyondTheLargest3DTextureEndsSetUpWithStatusOne) {
  const std::string dir = gltest::makeScratchDir("volume_limit");
  EXPECT_EQ(gltest::runProbe(dir, "volume-over"), 1);
  const std::string err = gltest::readFile(dir + "/probe_err.txt");
  EXPECT_NE(err.find("3-D texture"), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line expected:\n" << err;
  EXPECT_EQ(gltest::readFile(dir + "/probe_out.txt").find("volume made"), std::string::npos);

  // The largest size itself is accepted.
  EXPECT_EQ(gltest::runProbe(dir, "volume-max"), 0) << gltest::readFile(dir + "/probe_err.txt");
  EXPECT_NE(gltest::readFile(dir + "/probe_out.txt").find("volume made"), std::string::npos);
}
