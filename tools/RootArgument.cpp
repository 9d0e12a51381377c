// The shipped room for the tools: the world half of Scene::buildWorld over the core library.
#include "tools/ShippedRoom.h"

#include <IL/il.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "app/FlyCamera.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/WorldBuilder.h"

bool shippedroom::enterRoot(int& argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--root") != 0) continue;
    if (i + 1 == argc || chdir(argv[i + 1]) != 0) {
      std::fprintf(stderr, "%s: --root needs a folder that holds media/\n", argv[0]);
      return false;
    }
    for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
    argc -= 2;
    return true;
  }
  return true;
}

void shippedroom::build(LightGrid& grid, ColorMap& map, FlyCamera& camera) {
  ilInit();
  MapImage image;
  image.loadOrExit(kMapFile);
  map.resize(image.width, image.height);
  grid.resize(image.width, kRoomHeight, image.height);
  camera.reset();
  camera.grid = &grid;
  const StartView start =
      buildWorldFromPixels(image.pixels.data(), image.width, image.height, grid, map);
  if (start.found) camera.setView(start.eye, start.target, start.up);
}
