// The global Scene, its flags, and the per-frame update cadence.
#include "app/Scene.h"

#include <algorithm>
#include <cassert>

#include "app/FrameTimer.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/WorldBuilder.h"

Scene scene;
bool running = true;
bool overlayVisible = false;
bool statusVisible = false;
bool screenshotRequested = false;
int debugView = 0;

Scene::Scene() = default;

Scene::~Scene() { delete grid; }

void Scene::update() {
  const double dt = FrameTimer::instance().step();
  stepAccumulator += dt;
  camera.update(dt);
  refreshPick();
  if (stepAccumulator > kStepInterval) {
    // The time gathered past the step is kept, up to one interval: frames shorter than the
    // interval then still give fifty steps a second, and a long frame gives one step, no burst.
    stepAccumulator = std::min(stepAccumulator - kStepInterval, kStepInterval);
    stepSimulation();
  }
}

void Scene::stepSimulation() {
  assert(grid != nullptr && occlusionMap != nullptr);
  grid->step();
  ++simulationSteps;
  uploadLightVolume();
  occlusionMap->updateVisibility(kVisibilityRays, camera.eye, camera.target);
  revealVisibleColumns();
}

void Scene::placeCamera(const StartView& start) {
  camera.grid = grid;
  if (start.open) camera.setView(start.eye, start.target, start.up);
}

void Scene::revealVisibleColumns() {
  assert(grid != nullptr && occlusionMap != nullptr);
  for (int z = 0; z < grid->sizeZ; ++z) {
    for (int x = 0; x < grid->sizeX; ++x) {
      if (!occlusionMap->contains(x, z)) continue;
      const ColorMap::Pixel& mark = occlusionMap->markPixel(x, z);
      if (mark != ColorMap::kSeenWall && mark != ColorMap::kSeenOpen) continue;
      for (int y = 0; y < grid->sizeY; ++y) grid->setHidden(grid->index(x, y, z), false);
    }
  }
}
