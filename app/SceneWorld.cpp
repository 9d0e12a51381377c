// Scene::buildWorld: the start-up sequence that reads the map and builds the room. It lives in
// the GL library because the render set-up (textures, programs, the light volume) joins it.
#include <IL/il.h>

#include <cassert>
#include <cstdlib>
#include <iostream>

#include "app/Scene.h"
#include "platform/Clock.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/WorldBuilder.h"

void Scene::buildWorld(const char* mapFile, int roomHeight) {
  assert(roomHeight >= 1 && roomHeight <= MapImage::kMaxSide);

  // What the world build needs of the render set-up: the random seed of the wandering light,
  // the image library, the empty top-down map and the camera's probe directions.
  std::srand(platform::tickCountMs());
  ilInit();
  occlusionMap = new ColorMap();
  camera.reset();

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

  buildWorldFromPixels(map.pixels.data(), map.width, map.height, *grid, *occlusionMap, camera);
}
