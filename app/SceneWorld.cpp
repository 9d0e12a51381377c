// The Scene's rooms: a map read and checked into fresh storage (the room in use stays when it is
// refused), then the light volume and the camera for the new room.
#include <iostream>
#include <string>

#include "app/Scene.h"
#include "render/RenderBackend.h"
#include "world/WorldBuilder.h"

bool Scene::loadRoom(const char* mapFile, int height, std::string& error) {
  auto built = std::make_unique<LightGrid>();
  auto builtMap = std::make_unique<ColorMap>();
  if (!useRoom(mapFile, loadRoomFromMap(mapFile, height, *built, *builtMap), built, builtMap,
               error))
    return false;
  mapHeight = height;
  return true;
}

bool Scene::loadRoom(const std::string& name, const unsigned char* bytes, size_t size, int height,
                     std::string& error) {
  auto built = std::make_unique<LightGrid>();
  auto builtMap = std::make_unique<ColorMap>();
  if (!useRoom(name, loadRoomFromMapBytes(name, bytes, size, height, *built, *builtMap), built,
               builtMap, error))
    return false;
  mapHeight = height;
  return true;
}

bool Scene::useRoom(const std::string& name, const RoomLoad& load,
                    std::unique_ptr<LightGrid>& built, std::unique_ptr<ColorMap>& builtMap,
                    std::string& error) {
  if (!load.ok) {
    error = load.error;
    return false;
  }
  // A room read while drawing (one dropped on the page) must fit the backend's light volume;
  // the room the program starts with is read before there is one.
  int largest[3] = {0, 0, 0};
  if (backend != nullptr) backend->largestLightVolume(largest);
  const int size[3] = {built->sizeX, built->sizeY, built->sizeZ};
  if (backend != nullptr &&
      (size[0] > largest[0] || size[1] > largest[1] || size[2] > largest[2])) {
    error = "quillmarsh: cannot use " + std::string(load.kind) + " \"" + name + "\": its room of " +
            std::to_string(size[0]) + " x " + std::to_string(size[1]) + " x " +
            std::to_string(size[2]) + " cells is larger than the light volume this GL draws (" +
            std::to_string(largest[0]) + " x " + std::to_string(largest[1]) + " x " +
            std::to_string(largest[2]) + " cells at most)";
    return false;
  }
  grid = std::move(built);
  occlusionMap = std::move(builtMap);
  grid->pool = pool.get();
  // The editor's history belongs to the room it was made in.
  editor = RoomEditor();
  // The material in hand may be one the new room's palette lacks: then the first it has.
  const Palette& palette = grid->palette();
  if (selectedMaterial >= palette.size() || palette[selectedMaterial].kind == Material::Kind::Air) {
    selectedMaterial = 0;
    selectNextMaterial(1);
  }
  enterRoom(load.start);
  if (!load.notice.empty()) {
    std::cerr << load.notice << std::endl;
    show(load.notice);
  }
  return true;
}

void Scene::enterRoom(const StartView& start) {
  stepAccumulator = 0.0;
  camera.reset();
  camera.grid = grid.get();
  if (start.open) camera.setView(start.eye, start.target, start.up);
  recipe.newRoom();
  if (backend != nullptr) {
    backend->createLightVolume(grid->sizeX, grid->sizeY, grid->sizeZ);
    uploadLight(true);
  }
  refreshPick();
}
