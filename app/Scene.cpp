// The Scene's frame: the update cadence, the simulation step, the reveal, the frame's inputs and
// overlay, and the recipe on the backend.
#include "app/Scene.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <iostream>

#include "app/FrameStats.h"
#include "app/ScreenView.h"
#include "render/RenderBackend.h"
#include "world/WorldBuilder.h"

Scene::Scene()
    : pool(std::make_unique<WorkerPool>(WorkerPool::threadsFromEnvironment())),
      grid(std::make_unique<LightGrid>()),
      occlusionMap(std::make_unique<ColorMap>()) {
  camera.reset();
}

void Scene::attachBackend(RenderBackend* renderBackend) {
  backend = renderBackend;
  if (backend == nullptr) return;
  backend->resize(width, height);
  if (grid->allocated) {
    backend->createLightVolume(grid->sizeX, grid->sizeY, grid->sizeZ);
    uploadLight(true);
  }
}

void Scene::uploadLight(bool whole) {
  grid->takeTexelChanges(uploadBoxes);
  if (whole) uploadBoxes.assign(1, grid->wholeBox());
  backend->uploadLight(*grid, flags.cpuLightUpload, uploadBoxes);
}

void Scene::advanceFrame() {
  timer.update();
  // The timer's first reading measures from its counter's origin, not from a frame before: it
  // goes into neither the clock nor the rates (the status line showed hours a frame).
  const bool timed = framesAdvanced++ > 0;
  if (timed) clock += timer.elapsed;
  for (SceneMessage& message : messages) {
    if (!message.counted) message.time = clock;
    message.counted = true;
  }
  const long stepsBefore = simulationSteps;
  update();
  if (timed)
    stats.addFrame(timer.elapsed, simulationSteps != stepsBefore, stepAccumulator / kStepInterval);
}

void Scene::update() {
  const double dt = timer.step();
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
  // The step hides every cell but the wandering light's two cells when it moves, which keep
  // what they were: both lie in its column or one beside it.
  ColumnBox kept;
  for (int z = grid->lightZ - 1; z <= grid->lightZ + 1; ++z)
    for (int x = grid->lightX - 1; x <= grid->lightX + 1; ++x)
      for (int y = 0; y < grid->sizeY; ++y)
        if (grid->inside(x, y, z) && !grid->hiddenAt(grid->index(x, y, z))) kept.add(x, z);
  occlusionMap->shownColumns = kept;
  if (backend != nullptr) uploadLight(false);
  occlusionMap->updateVisibility(kVisibilityRays, camera.eye, camera.target, visibleAround());
  revealVisibleColumns();
}

double Scene::visibleAround() const {
  assert(grid != nullptr);
  const Vec3 forward = normalize(camera.target - camera.eye);
  // Looking along the up vector, the view keeps the right it had, as its matrix does.
  Vec3 right = cross(forward, camera.up);
  if (!(right.dot(right) > 0.0f)) right = camera.right;
  if (!(right.dot(right) > 0.0f)) return 0.0;
  right = normalize(right);
  const Vec3 up = cross(right, forward);
  const double tanUp = std::tan(FrameInputs::kFieldOfViewDegrees * 0.5 * 3.14159265 / 180.0);
  const double tanRight = tanUp * std::max(width, 1) / std::max(height, 1);
  const double heading = std::atan2(forward.z, forward.x);
  // The outermost rays of the fans, as updateVisibility casts them.
  const double fans = ColorMap::kFanHalfAngle * (kVisibilityRays - 1) / kVisibilityRays;
  const auto beyondFans = [&](const Vec3& d) {
    double off = std::fabs(std::atan2(d.z, d.x) - heading);
    if (off > 3.14159265) off = 2.0 * 3.14159265 - off;
    return std::hypot(d.x, d.z) > 0.0 && off > fans;
  };
  const auto edge = [&](int sx, double sy) {
    return forward + right * static_cast<float>(sx * tanRight) + up * static_cast<float>(sy * tanUp);
  };
  const double floorTop = 0.5, ceilingUnder = grid->sizeY - 1.5;
  // How far across the direction d meets the floor's top or the ceiling's underside.
  const auto reach = [&](const Vec3& d) {
    const double rise = d.y > 0.0f ? ceilingUnder - camera.eye.y : camera.eye.y - floorTop;
    return d.y != 0.0f && rise > 0.0 ? rise * std::hypot(d.x, d.z) / std::fabs(d.y) : 0.0;
  };
  bool outside = false;
  double farthest = 0.0;
  const double along = up.y * tanUp;
  for (const int sx : {-1, 1}) {
    // Where the window's side edge is level with the eye (the horizon), if it shows it. Beyond
    // the fans there (a wide window), the view reaches as far as any ray.
    const double level = along != 0.0 ? -(forward.y + right.y * sx * tanRight) / along : 2.0;
    const bool levelShown = level >= -1.0 && level <= 1.0;
    if (levelShown && beyondFans(edge(sx, level))) return ColorMap::kRayRange;
    for (const int sy : {-1, 1}) {
      const Vec3 corner = edge(sx, sy);
      farthest = std::max(farthest, reach(corner));
      if (!beyondFans(corner)) continue;
      outside = true;
      // From the corner towards the horizon (or the other corner) the edge turns back into the
      // fans and reaches farther: what lies beyond them reaches farthest where it meets them.
      double in = levelShown ? level : -sy, out = sy;
      if (beyondFans(edge(sx, in))) continue;  // the whole edge beyond: its ends are counted
      for (int i = 0; i < 40; ++i) {
        const double middle = 0.5 * (in + out);
        (beyondFans(edge(sx, middle)) ? out : in) = middle;
      }
      farthest = std::max(farthest, reach(edge(sx, out)));
    }
  }
  return outside ? farthest : 0.0;
}

void Scene::revealVisibleColumns() {
  assert(grid != nullptr && occlusionMap != nullptr);
  // Marks outside the pass's box are the base raster's, which holds no seen colour.
  const ColumnBox walk =
      occlusionMap->marked().within(ColumnBox::of(grid->sizeX, grid->sizeZ));
  ColumnBox revealed;
  for (int z = walk.z0; z < walk.z1; ++z) {
    for (int x = walk.x0; x < walk.x1; ++x) {
      const ColorMap::Pixel& mark = occlusionMap->markPixel(x, z);
      if (mark != ColorMap::kSeenWall && mark != ColorMap::kSeenOpen) continue;
      for (int y = 0; y < grid->sizeY; ++y) grid->setHidden(grid->index(x, y, z), false);
      revealed.add(x, z);
    }
  }
  occlusionMap->shownColumns.add(revealed);
}

void Scene::resize(int newWidth, int newHeight) {
  width = std::max(newWidth, 1);
  height = std::max(newHeight, 1);
  if (backend != nullptr) backend->resize(width, height);
}

FrameInputs Scene::frameInputs() const {
  const float eye[3] = {camera.eye.x, camera.eye.y, camera.eye.z};
  FrameInputs inputs = FrameInputs::make(eye, camera.glViewMatrix, width, height);
  inputs.debugView = flags.debugView;
  inputs.columns = occlusionMap->shownColumns;
  return inputs;
}

std::string Scene::statusLine() const {
  const int eyeCell[3] = {static_cast<int>(std::lround(camera.eye.x)),
                          static_cast<int>(std::lround(camera.eye.y)),
                          static_cast<int>(std::lround(camera.eye.z))};
  return statusText(stats, grid->strength, flags.cpuLightUpload, recipe.cellsDrawn(), eyeCell) +
         "  fill " + grid->palette()[selectedMaterial].name;
}

bool Scene::statusSecondPassed() {
  const long second = static_cast<long>(std::floor(clock));
  if (second == statusSecond) return false;
  statusSecond = second;
  return true;
}

ScreenState Scene::screenState() const {
  ScreenState screen;
  screen.width = width;
  screen.height = height;
  const Material& selected = grid->palette()[selectedMaterial];
  std::copy(selected.colour, selected.colour + 3, screen.swatch);
  if (clock - selectedAt < kMessageSeconds) screen.swatchName = selected.name;
  screen.hintVisible = !flags.anyKeyPressed && grid->strength == 0.0f;
  screen.keyCardPage = flags.keyCardPage;
  screen.keys = keys;
  if (flags.statusVisible) screen.status = statusLine();
  screen.messages = currentMessages();
  return screen;
}

FrameOverlay Scene::frameOverlay() const {
  FrameOverlay overlay;
  if (flags.overlayVisible) overlay.visibility = occlusionMap.get();
  overlay.pick = &pick;
  overlay.screen = ScreenView::layout(screenState());
  return overlay;
}

void Scene::drawFrame(FrameStageHook hook, void* context) {
  if (backend == nullptr || !grid->allocated) return;
  recipe.render(frameInputs(), *grid, frameOverlay(), *backend, hook, context);
}

void Scene::say(const std::string& line) {
  std::cout << line << std::endl;
  show(line);
}

void Scene::show(const std::string& line) {
  messages.push_back({line, clock});
  // Only the last few can be on screen at once.
  if (messages.size() > kShownMessages)
    messages.erase(messages.begin(), messages.end() - static_cast<long>(kShownMessages));
}

std::vector<std::string> Scene::currentMessages() const {
  std::vector<std::string> shown;
  for (const SceneMessage& message : messages)
    if (clock - message.time < kMessageSeconds) shown.push_back(message.text);
  return shown;
}
