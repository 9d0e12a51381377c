// Building the room from map pixels into the light grid's next buffer, then swapping it in.
#include "world/WorldBuilder.h"

#include <algorithm>
#include <cassert>
#include <iostream>
#include <sstream>

#include "world/CellFromColour.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/RoomColumn.h"

namespace {

constexpr float kWanderingLightEmission = 1520.0f;
constexpr float kStartEyeHeight = 2.0f;

GridCell emitterCell(float r, float g, float b) {
  GridCell cell;
  cell.setEmitter(r, g, b);
  return cell;
}

// The open column nearest the map's centre (squared distance in half cells, so the centre of an
// even side is exact); none leaves `open` false.
void startNearCentre(const LightGrid& grid, StartView& start) {
  long best = -1;
  for (int z = 0; z < grid.sizeZ; ++z)
    for (int x = 0; x < grid.sizeX; ++x) {
      if (!isOpenKind(columnKindAt(grid, x, z))) continue;
      const long dx = 2L * x - (grid.sizeX - 1), dz = 2L * z - (grid.sizeZ - 1);
      if (best >= 0 && dx * dx + dz * dz >= best) continue;
      best = dx * dx + dz * dz;
      // As for a marker, a room too low for the usual eye height: its top open layer.
      start.eye = Vec3(static_cast<float>(x), std::min(kStartEyeHeight, grid.sizeY - 2.0f),
                       static_cast<float>(z));
    }
  start.open = best >= 0;
  start.target = start.eye + Vec3(0.0f, 0.0f, -1.0f);
}

}  // namespace

StartView buildWorldFromPixels(const unsigned char* rgb, int width, int height, LightGrid& grid,
                               ColorMap& map) {
  assert(rgb != nullptr && width >= 1 && height >= 1);
  assert(grid.allocated && grid.sizeX == width && grid.sizeZ == height && grid.sizeY >= 1);
  assert(map.allocated && map.width == width && map.height == height);

  StartView start;
  const int ceiling = grid.sizeY - 1;

  long i = 0;
  for (int z = 0; z < grid.sizeZ; ++z) {
    for (int x = 0; x < grid.sizeX; ++x, ++i) {
      const GridCell p = cellFromColour(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
      map.basePixel(x, z) = p.isOpaque() ? ColorMap::kWall : ColorMap::kOpen;
      for (int y = 0; y < grid.sizeY; ++y) grid.setNextCell(x, y, z, columnCell(p, y, grid.sizeY));
      if (p.greenMarker || p.redMarker) {
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
  if (!start.found) startNearCentre(grid, start);
  return start;
}

StartView buildRoom(const unsigned char* rgb, int width, int height, int roomHeight,
                    LightGrid& grid, ColorMap& map) {
  assert(roomHeight >= 1 && roomHeight <= MapImage::kMaxSide);
  map.resize(width, height);
  grid.resize(width, roomHeight, height);
  return buildWorldFromPixels(rgb, width, height, grid, map);
}

namespace {

RoomLoad useMap(const std::string& name, const MapImage& image, int roomHeight, LightGrid& grid,
                ColorMap& map) {
  std::cout << "loaded image dimensions h: " << image.height << " w: " << image.width << std::endl;
  RoomLoad load;
  load.start = buildRoom(image.pixels.data(), image.width, image.height, roomHeight, grid, map);
  if (!load.start.open) {
    load.error = "quillmarsh: cannot use map \"" + name + "\": it has no open column to stand in";
    return load;
  }
  load.ok = true;
  if (!load.start.found) {
    std::ostringstream line;
    line << "quillmarsh: map \"" << name << "\" has no start marker; starting in column ("
         << load.start.eye.x << ", " << load.start.eye.z << "), the open one nearest its centre";
    load.notice = line.str();
  }
  return load;
}

RoomLoad refused(const std::string& name, const std::string& cause) {
  RoomLoad load;
  load.error = "quillmarsh: cannot use map \"" + name + "\": " + cause;
  return load;
}

}  // namespace

RoomLoad loadRoomFromMap(const char* mapFile, int roomHeight, LightGrid& grid, ColorMap& map) {
  std::cout << "TESSARY ROOM filename  " << mapFile << std::endl;
  MapImage image;
  std::string error;
  if (!image.load(mapFile, error)) return refused(mapFile, error);
  return useMap(mapFile, image, roomHeight, grid, map);
}

RoomLoad loadRoomFromMapBytes(const std::string& name, const unsigned char* bytes, size_t size,
                              int roomHeight, LightGrid& grid, ColorMap& map) {
  std::cout << "TESSARY ROOM filename  " << name << std::endl;
  MapImage image;
  std::string error;
  if (!image.decode(bytes, size, error)) return refused(name, error);
  return useMap(name, image, roomHeight, grid, map);
}
