// Scene::initRenderResources and Scene::createLightVolume: every GPU resource of the frame,
// created once at start-up and kept until the process ends.
#include <GL/glew.h>

#include <IL/il.h>

#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "Utils/FBOManager.h"
#include "Utils/FramebufferObject.h"
#include "Utils/FragmentProgram.h"
#include "Utils/RenderTarget.h"
#include "Utils/ShaderManager.h"
#include "Utils/TextureLoader.h"
#include "Utils/VertexProgram.h"
#include "app/Scene.h"
#include "platform/Clock.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

void Scene::initRenderResources() {
  std::srand(platform::tickCountMs());
  ilInit();

  loadTexture("media/textures/tile2.jpg", &tileTex);
  loadTexture("media/textures/tileglass1.jpg", &glassTileTex);
  // No pass samples the light texture; it clamps like a light spot would.
  loadTexture("media/textures/lighttex.jpg", &lightTex, GL_CLAMP_TO_EDGE, GL_MODULATE);

  occlusionMap = new ColorMap();
  shaderManager = ShaderManager::instance();
  cpuLightUpload = true;

  blockFragment = new FragmentProgram("media/TessaryShader.cg");
  blockVertex = new VertexProgram("media/TessaryShader.cg");
  glassFragment = new FragmentProgram("media/TessaryShaderRefraktion.cg");
  glassVertex = new VertexProgram("media/TessaryShaderRefraktion.cg");
  combineFragment = new FragmentProgram("media/TessaryShaderCombine.cg");
  combineVertex = new VertexProgram("media/TessaryShaderCombine.cg");
  setDepthFragment = new FragmentProgram("media/setDepthShader.cg");
  // The pairs the passes draw with must link now, not fail silently at the first frame.
  ShaderProgram::linkPairOrExit(*blockVertex, *blockFragment);
  ShaderProgram::linkPairOrExit(*glassVertex, *glassFragment);

  colorTargets[0] =
      new RenderTarget(kWindowWidth, kWindowHeight, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT0_EXT);
  colorTargets[1] =
      new RenderTarget(kWindowWidth, kWindowHeight, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT1_EXT);

  blockHalfSize = 0.5f;
  stepAccumulator = 0.0;
  frontTarget = 0;
  backTarget = 1;
  camera.reset();
}

void Scene::resizeTargets(int width, int height) {
  FBOManager* manager = FBOManager::instance();
  if (colorTargets[0] == nullptr || (width == manager->width && height == manager->height)) return;
  manager->resize(width, height);
  for (RenderTarget* target : colorTargets) target->resize();
}

namespace {
const float kBlack[3] = {0.0f, 0.0f, 0.0f};
}  // namespace

void Scene::createLightVolume() {
  assert(grid != nullptr && grid->allocated);
  const LightGrid& g = *grid;

  // The map limits keep rooms within what any GL2 driver offers, but a driver may offer less.
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &maxSize);
  if (g.sizeX > maxSize || g.sizeY > maxSize || g.sizeZ > maxSize) {
    std::fprintf(stderr, "quillmarsh: the room (%d x %d x %d cells) exceeds this driver's largest "
                         "3-D texture (%d texels a side)\n",
                 g.sizeX, g.sizeY, g.sizeZ, maxSize);
    std::exit(1);
  }

  lightVolumeFbo = new FramebufferObject();
  // Texels as LightGrid::lightTexel makes them: 8-bit r, g, b and an opaque alpha. The upload
  // then hands the driver the very bytes it stores.
  std::vector<std::uint32_t> black(static_cast<size_t>(g.sizeX) * g.sizeY * g.sizeZ,
                                   LightGrid::lightTexel(kBlack));

  glGenTextures(1, &lightVolumeTex);
  glBindTexture(GL_TEXTURE_3D, lightVolumeTex);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA8, g.sizeX, g.sizeY, g.sizeZ, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, black.data());

  lightVolumeFbo->Bind();
  lightVolumeFbo->AttachTexture(GL_TEXTURE_3D, lightVolumeTex, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
  lightVolumeFbo->CheckFramebufferStatus(std::cerr);
  FramebufferObject::Unbind();
}
