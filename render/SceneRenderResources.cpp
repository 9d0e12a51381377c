// Scene::initRenderResources and Scene::createLightVolume: every GPU resource of the frame,
// created once at start-up and kept until the process ends.
#include <GL/glew.h>

#include <IL/il.h>

#include <cassert>
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

  loadTexture("media/textures/tile2.jpg", &render.tileTex);
  loadTexture("media/textures/tileglass1.jpg", &render.glassTileTex);
  // No pass samples the light texture; it clamps like a light spot would.
  loadTexture("media/textures/lighttex.jpg", &render.lightTex, GL_CLAMP_TO_EDGE, GL_MODULATE);

  occlusionMap = new ColorMap();
  render.shaderManager = ShaderManager::instance();
  render.cpuLightUpload = true;

  render.blockFragment = new FragmentProgram("media/TessaryShader.cg");
  render.blockVertex = new VertexProgram("media/TessaryShader.cg");
  render.glassFragment = new FragmentProgram("media/TessaryShaderRefraktion.cg");
  render.glassVertex = new VertexProgram("media/TessaryShaderRefraktion.cg");
  render.combineFragment = new FragmentProgram("media/TessaryShaderCombine.cg");
  render.combineVertex = new VertexProgram("media/TessaryShaderCombine.cg");
  render.setDepthFragment = new FragmentProgram("media/setDepthShader.cg");
  // The pairs the passes draw with must link now, not fail silently at the first frame.
  ShaderProgram::linkPairOrExit(*render.blockVertex, *render.blockFragment);
  ShaderProgram::linkPairOrExit(*render.glassVertex, *render.glassFragment);

  render.colorTargets[0] =
      new RenderTarget(kWindowWidth, kWindowHeight, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT0_EXT);
  render.colorTargets[1] =
      new RenderTarget(kWindowWidth, kWindowHeight, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT1_EXT);

  render.blockHalfSize = 0.5f;
  stepAccumulator = 0.0;
  render.frontTarget = 0;
  render.backTarget = 1;
  camera.reset();
}

void Scene::resizeTargets(int width, int height) {
  FBOManager* manager = FBOManager::instance();
  if (render.colorTargets[0] == nullptr || (width == manager->width && height == manager->height)) return;
  manager->resize(width, height);
  for (RenderTarget* target : render.colorTargets) target->resize();
}

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

  render.lightVolumeFbo = new FramebufferObject();
  std::vector<float> black(static_cast<size_t>(g.sizeX) * g.sizeY * g.sizeZ * 3, 0.0f);

  glGenTextures(1, &render.lightVolumeTex);
  glBindTexture(GL_TEXTURE_3D, render.lightVolumeTex);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glTexImage3D(GL_TEXTURE_3D, 0, GL_RGB, g.sizeX, g.sizeY, g.sizeZ, 0, GL_RGB, GL_FLOAT,
               black.data());

  render.lightVolumeFbo->Bind();
  render.lightVolumeFbo->AttachTexture(GL_TEXTURE_3D, render.lightVolumeTex, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
  render.lightVolumeFbo->CheckFramebufferStatus(std::cerr);
  FramebufferObject::Unbind();
}
