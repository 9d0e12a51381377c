// Scene::buildWorld: the start-up sequence that reads the map and builds the room. It lives in
// the GL library because the render set-up (textures, programs, the light volume) joins it.
#include "app/Scene.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/WorldBuilder.h"

void Scene::buildWorld(const char* mapFile, int roomHeight) {
  initRenderResources();
  delete grid;
  grid = new LightGrid();
  enterRoom(buildRoomFromMap(mapFile, roomHeight, *grid, *occlusionMap));
}

void Scene::enterRoom(const StartView& start) {
  mapWidth = grid->sizeX;
  roomHeight = grid->sizeY;
  mapHeight = grid->sizeZ;
  createLightVolume();
  placeCamera(start);
}
