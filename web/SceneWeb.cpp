// The Scene's GPU members for the browser build: the desktop's render set-up order and state,
// with the GPU work handed to the WebRenderer. A resource that cannot be made ends the page's
// program with one line naming it, as on the desktop.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Scene.h"
#include "platform/Clock.h"
#include "web/WebRenderer.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

void Scene::initRenderResources() {
  std::srand(platform::tickCountMs());
  std::string error;
  if (!WebRenderer::instance().init(error)) {
    std::fprintf(stderr, "quillmarsh: %s\n", error.c_str());
    std::exit(1);
  }
  // A dropped map builds the world again: the previous top-down map goes.
  delete occlusionMap;
  occlusionMap = new ColorMap();
  render.cpuLightUpload = true;
  stepAccumulator = 0.0;
  render.frontTarget = 0;
  render.backTarget = 1;
  camera.reset();
}

void Scene::createLightVolume() {
  WebRenderer::instance().createLightVolume(grid->sizeX, grid->sizeY, grid->sizeZ);
}

void Scene::uploadLightVolume() {
  WebRenderer::instance().uploadLight(*grid, render.cpuLightUpload);
}

void Scene::resizeTargets(int width, int height) { WebRenderer::instance().resize(width, height); }
