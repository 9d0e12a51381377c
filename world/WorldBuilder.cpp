// Building the room from map pixels into the light grid's next buffer, then swapping it in.
#include "world/WorldBuilder.h"

#include <algorithm>
#include <cassert>
#include <iostream>

#include "world/CellFromColour.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"

namespace {

constexpr float kMarkerEmission = 300.0f;
constexpr float kWanderingLightEmission = 1520.0f;
constexpr float kStartEyeHeight = 2.0f;

GridCell emitterCell(float r, float g, float b) {
  GridCell cell;
  cell.setEmitter(r, g, b);
  return cell;
}

}  // namespace

StartView buildWorldFromPixels(const unsigned char* rgb, int width, int height, LightGrid& grid,
                               ColorMap& map) {
  assert(rgb != nullptr && width >= 1 && height >= 1);
  assert(grid.allocated && grid.sizeX == width && grid.sizeZ == height && grid.sizeY >= 1);
  assert(map.allocated && map.width == width && map.height == height);

  StartView start;
  GridCell solid;
  solid.setSolid();
  const int ceiling = grid.sizeY - 1;

  long i = 0;
  for (int z = 0; z < grid.sizeZ; ++z) {
    for (int x = 0; x < grid.sizeX; ++x, ++i) {
      const GridCell p = cellFromColour(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
      map.basePixel(x, z) = p.isOpaque() ? ColorMap::kWall : ColorMap::kOpen;
      if (p.isOpaque() || p.isGlass()) {
        for (int y = 0; y < grid.sizeY; ++y) grid.setNextCell(x, y, z, p);
      }
      grid.setNextCell(x, 0, z, solid);
      grid.setNextCell(x, ceiling, z, solid);
      if (p.emitter) grid.setNextCell(x, ceiling, z, p);

      if (p.greenMarker || p.redMarker) {
        const GridCell marker = p.greenMarker ? emitterCell(0.0f, kMarkerEmission, 0.0f)
                                              : emitterCell(kMarkerEmission, 0.0f, 0.0f);
        grid.setNextCell(x, ceiling, z, marker);
        grid.setNextCell(x, 0, z, marker);
        start.found = true;
        // A room too low for the usual eye height puts the eye in its top open layer.
        start.eye = Vec3(static_cast<float>(x), std::min(kStartEyeHeight, ceiling - 1.0f),
                         static_cast<float>(z));
      }
    }
  }

  // Likewise the wandering light, which would otherwise replace a ceiling cell.
  if (grid.lightY >= ceiling) grid.lightY = std::max(ceiling - 1, 0);
  grid.setNextCell(grid.lightX, grid.lightY, grid.lightZ,
                   emitterCell(kWanderingLightEmission, 0.0f, 0.0f));
  grid.swapBuffers();
  return start;
}

StartView buildRoom(const unsigned char* rgb, int width, int height, int roomHeight,
                    LightGrid& grid, ColorMap& map) {
  assert(roomHeight >= 1 && roomHeight <= MapImage::kMaxSide);
  map.resize(width, height);
  grid.resize(width, roomHeight, height);
  return buildWorldFromPixels(rgb, width, height, grid, map);
}

StartView buildRoomFromMap(const char* mapFile, int roomHeight, LightGrid& grid, ColorMap& map) {
  std::cout << "TESSARY ROOM filename  " << mapFile << std::endl;
  MapImage image;
  image.loadOrExit(mapFile);
  std::cout << "loaded image dimensions h: " << image.height << " w: " << image.width << std::endl;
  return buildRoom(image.pixels.data(), image.width, image.height, roomHeight, grid, map);
}
