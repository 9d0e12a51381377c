// RenderResources: every GPU resource of the frame, created at start-up (the light volume with
// each room) and kept until the process ends.
#include "render/RenderResources.h"

#include <GL/glew.h>

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
#include "render/GlBaseline.h"
#include "world/LightGrid.h"

void RenderResources::create(RenderState& state, int width, int height) {
  loadTexture("media/textures/tile2.jpg", &state.tileTex);
  loadTexture("media/textures/tileglass1.jpg", &state.glassTileTex);
  // No pass samples the light texture; it clamps like a light spot would.
  loadTexture("media/textures/lighttex.jpg", &state.lightTex, GL_CLAMP_TO_EDGE, GL_MODULATE);

  state.shaderManager = ShaderManager::instance();
  state.cpuLightUpload = true;

  state.blockFragment = new FragmentProgram("media/TessaryShader.cg");
  state.blockVertex = new VertexProgram("media/TessaryShader.cg");
  state.glassFragment = new FragmentProgram("media/TessaryShaderRefraktion.cg");
  state.glassVertex = new VertexProgram("media/TessaryShaderRefraktion.cg");
  state.combineFragment = new FragmentProgram("media/TessaryShaderCombine.cg");
  state.combineVertex = new VertexProgram("media/TessaryShaderCombine.cg");
  state.setDepthFragment = new FragmentProgram("media/setDepthShader.cg");
  // The pairs the passes draw with must link now, not fail silently at the first frame.
  ShaderProgram::linkPairOrExit(*state.blockVertex, *state.blockFragment);
  ShaderProgram::linkPairOrExit(*state.glassVertex, *state.glassFragment);

  state.framebuffer = new FBOManager();
  for (int i = 0; i < 2; ++i) {
    state.colorTargets[i] = new RenderTarget(*state.framebuffer, width, height, GL_RGBA16F_ARB,
                                             GL_COLOR_ATTACHMENT0_EXT + i);
  }

  state.frontTarget = 0;
  state.backTarget = 1;
  // The loads and the targets leave the texture environment in force; the frame starts clean.
  GlBaseline::apply(width, height);
}

void RenderResources::resizeTargets(RenderState& state, int width, int height) {
  FBOManager* manager = state.framebuffer;
  if (manager == nullptr || (width == manager->width && height == manager->height)) return;
  manager->resize(width, height);
  for (RenderTarget* target : state.colorTargets) target->resize();
}

void RenderResources::createLightVolume(RenderState& state, int sizeX, int sizeY, int sizeZ) {
  assert(sizeX >= 1 && sizeY >= 1 && sizeZ >= 1);

  // The map limits keep rooms within what any GL2 driver offers, but a driver may offer less.
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &maxSize);
  if (sizeX > maxSize || sizeY > maxSize || sizeZ > maxSize) {
    std::fprintf(stderr, "quillmarsh: the room (%d x %d x %d cells) exceeds this driver's largest "
                         "3-D texture (%d texels a side)\n",
                 sizeX, sizeY, sizeZ, maxSize);
    std::exit(1);
  }

  state.lightVolumeFbo = new FramebufferObject();
  // Texels as LightGrid::lightTexel makes them: 8-bit r, g, b and an opaque alpha. The upload
  // then hands the driver the very bytes it stores.
  const float kBlack[3] = {0.0f, 0.0f, 0.0f};
  std::vector<std::uint32_t> black(static_cast<size_t>(sizeX) * sizeY * sizeZ,
                                   LightGrid::lightTexel(kBlack));

  glGenTextures(1, &state.lightVolumeTex);
  glBindTexture(GL_TEXTURE_3D, state.lightVolumeTex);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA8, sizeX, sizeY, sizeZ, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               black.data());

  state.lightVolumeFbo->Bind();
  state.lightVolumeFbo->AttachTexture(GL_TEXTURE_3D, state.lightVolumeTex, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
  state.lightVolumeFbo->CheckFramebufferStatus(std::cerr);
  FramebufferObject::Unbind();
}
