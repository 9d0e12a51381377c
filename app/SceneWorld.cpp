// Scene::buildWorld: the start-up sequence that reads the map and builds the room. It lives in
// the GL library because the render set-up (textures, programs, the light volume) joins it.
#include <cassert>
#include <cstdlib>
#include <iostream>

#include "app/Scene.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/WorldBuilder.h"

void Scene::buildWorld(const char* mapFile, int roomHeight) {
  assert(roomHeight >= 1 && roomHeight <= MapImage::kMaxSide);

  initRenderResources();

  std::cout << "TESSARY ROOM filename  " << mapFile << std::endl;
  MapImage map;
  map.loadOrExit(mapFile);
  mapWidth = map.width;
  mapHeight = map.height;
  this->roomHeight = roomHeight;
  std::cout << "loaded image dimensions h: " << map.height << " w: " << map.width << std::endl;

  occlusionMap->resize(mapWidth, mapHeight);
  delete grid;
  grid = new LightGrid();
  grid->resize(mapWidth, roomHeight, mapHeight);
  createLightVolume();

  camera.grid = grid;
  const StartView start =
      buildWorldFromPixels(map.pixels.data(), map.width, map.height, *grid, *occlusionMap);
  if (!start.open) {
    std::cout.flush();
    std::cerr << "quillmarsh: cannot use map \"" << mapFile
              << "\": it has no open column to stand in" << std::endl;
    std::exit(1);
  }
  if (!start.found) {
    std::cerr << "quillmarsh: map \"" << mapFile << "\" has no start marker; starting in column ("
              << start.eye.x << ", " << start.eye.z << "), the open one nearest its centre"
              << std::endl;
  }
  camera.setView(start.eye, start.target, start.up);
}
