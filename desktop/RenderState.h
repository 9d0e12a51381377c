// Everything the passes draw with, owned by the Scene (Scene::render), made by RenderResources
// and drawn by FramePasses. GL names are unsigned ints, so the header includes no GL header.
#pragma once

#include <vector>

#include "render/FramePlan.h"
#include "render/Frustum.h"
#include "render/GlassCell.h"
#include "render/GridPos.h"

class FBOManager;
class FramebufferObject;
class RenderTarget;
class ShaderManager;
class ShaderProgram;

// The programs, the image textures, the shared framebuffer (the one owner of the window's size)
// and the two colour targets, the light volume and its upload path, and the current frame's plan.
struct RenderState {
  // Programs: the block pair draws opaque cubes, the glass pair refracts the image behind panes.
  ShaderManager* shaderManager = nullptr;
  ShaderProgram* blockFragment = nullptr;
  ShaderProgram* blockVertex = nullptr;
  ShaderProgram* glassFragment = nullptr;
  ShaderProgram* glassVertex = nullptr;
  ShaderProgram* combineFragment = nullptr;
  ShaderProgram* combineVertex = nullptr;
  ShaderProgram* setDepthFragment = nullptr;

  // Image textures (GL names).
  unsigned int tileTex = 0, glassTileTex = 0, lightTex = 0;

  // The shared framebuffer and depth buffer, whose size is the window's; the colour targets, by
  // role: the back target is drawn, the front one holds the image behind the glass and, after
  // the frame, the finished picture.
  FBOManager* framebuffer = nullptr;
  RenderTarget* colorTargets[2] = {nullptr, nullptr};
  int frontTarget = 0;
  int backTarget = 1;

  // The light volume (a 3-D texture, one texel per cell), the framebuffer that draws its slices,
  // and the upload path: a CPU array (true) or slices drawn through the framebuffer.
  FramebufferObject* lightVolumeFbo = nullptr;
  unsigned int lightVolumeTex = 0;
  bool cpuLightUpload = false;

  // The current frame's plan: the frustum it was cut by and the lists the passes replay.
  Frustum frustum;
  std::vector<GridPos> emitterCells;
  std::vector<GlassCell> glassCells;
  std::vector<OpaqueBlock> opaqueBlocks;
  // opaqueBlocks' faces joined into runs along lines of cubes; the opaque pass draws these.
  std::vector<FaceRun> opaqueRuns;
  // The emitter pass's corners, refilled each frame from emitterCells.
  std::vector<EmitterVertex> emitterVertices;
};
