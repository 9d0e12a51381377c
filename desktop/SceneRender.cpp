// The Scene's render operations: the render set-up of the application (seed, image library, the
// top-down map, the camera) and forwards to the render layer, which knows nothing of the Scene
// (RenderResources, FramePasses over Scene::render).
#include <IL/il.h>

#include <cassert>
#include <cstdlib>

#include "app/Scene.h"
#include "platform/Clock.h"
#include "render/BlockFaces.h"
#include "render/FramePasses.h"
#include "render/RenderResources.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

void Scene::initRenderResources() {
  std::srand(platform::tickCountMs());
  ilInit();
  occlusionMap = new ColorMap();
  RenderResources::create(render, kWindowWidth, kWindowHeight);
  stepAccumulator = 0.0;
  camera.reset();
}

void Scene::createLightVolume() {
  assert(grid != nullptr && grid->allocated);
  RenderResources::createLightVolume(render, grid->sizeX, grid->sizeY, grid->sizeZ);
}

void Scene::resizeTargets(int width, int height) {
  RenderResources::resizeTargets(render, width, height);
}

void Scene::renderFrame(FrameStageHook hook, void* context) {
  const float eye[3] = {camera.eye.x, camera.eye.y, camera.eye.z};
  FramePasses::render(render, *grid, eye, hook, context);
}

void Scene::planFrame(const float eye[3]) { FramePasses::plan(render, *grid, eye); }

void Scene::drawOpaquePass(const float eye[3], const float dimension[3]) {
  FramePasses::drawOpaque(render, eye, dimension);
}

void Scene::drawEmitterPass() {
  const float eye[3] = {camera.eye.x, camera.eye.y, camera.eye.z};
  FramePasses::drawEmitters(render, *grid, eye);
}

void Scene::drawGlassPass(const float eye[3], const float dimension[3]) {
  FramePasses::drawGlass(render, *grid, eye, dimension);
}

void Scene::drawBlock(float x, float y, float z, float halfSize) {
  FramePasses::drawBlockFaces(x, y, z, kAllBlockFaces, halfSize);
}

void Scene::drawBlockFaces(float x, float y, float z, unsigned faces, float halfSize,
                           unsigned reach) {
  FramePasses::drawBlockFaces(x, y, z, faces, halfSize, reach);
}

void Scene::drawFaceRuns() { FramePasses::drawFaceRuns(render.opaqueRuns); }
