// Building the room from map pixels into the light grid's next buffer, then swapping it in.
#include "world/WorldBuilder.h"

#include <algorithm>
#include <cassert>
#include <iostream>
#include <sstream>

#include "platform/FileReader.h"
#include "world/CellFromColour.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/RoomColumn.h"
#include "world/VoxRoom.h"

namespace {

constexpr float kStartEyeHeight = 2.0f;
// What a room file is called where its size is refused.
constexpr const char* kRoomFileKind = "a map or .vox file";

GridCell emitterCell(float r, float g, float b) {
  GridCell cell;
  cell.setEmitter(r, g, b);
  return cell;
}

// Squared distance of column (x, z) from the map's centre in half cells, so that the centre of
// an even side is exact.
long fromCentre(int x, int z, int width, int height) {
  const long dx = 2L * x - (width - 1), dz = 2L * z - (height - 1);
  return dx * dx + dz * dz;
}

}  // namespace

StartView buildWorldFromPixels(const unsigned char* rgb, int width, int height, LightGrid& grid,
                               ColorMap& map) {
  assert(rgb != nullptr && width >= 1 && height >= 1);
  assert(grid.allocated && grid.sizeX == width && grid.sizeZ == height && grid.sizeY >= 1);
  assert(map.allocated && map.width == width && map.height == height);

  StartView start;
  const int ceiling = grid.sizeY - 1;
  // A room too low for the usual eye height puts the eye in its top open layer.
  const float eyeY = std::min(kStartEyeHeight, ceiling - 1.0f);
  // Without a marker: the open column nearest the centre, the first in map order of those
  // equally near. Open as the map says, so a room of any height starts in the same column (the
  // wandering light fills the one open layer of its column in a room of three).
  long nearest = -1;
  Vec3 centreEye;

  long i = 0;
  for (int z = 0; z < grid.sizeZ; ++z) {
    for (int x = 0; x < grid.sizeX; ++x, ++i) {
      const GridCell p = cellFromColour(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
      for (int y = 0; y < grid.sizeY; ++y) grid.setCell(x, y, z, columnCell(p, y, grid.sizeY));
      const Vec3 eye(static_cast<float>(x), eyeY, static_cast<float>(z));
      if (p.greenMarker || p.redMarker) {
        start.found = true;
        start.eye = eye;
      }
      const long distance = fromCentre(x, z, width, height);
      if (!p.isOpaque() && !p.isGlass() && (nearest < 0 || distance < nearest)) {
        nearest = distance;
        centreEye = eye;
      }
    }
  }

  // The wandering light starts in its cell whatever room the grid held before; in a low room in
  // the top open layer, as the eye, instead of replacing a ceiling cell.
  grid.lightX = LightGrid::kLightStart[0];
  grid.lightY = wanderingLightStartY(grid.sizeY);
  grid.lightZ = LightGrid::kLightStart[2];
  grid.setCell(grid.lightX, grid.lightY, grid.lightZ,
                   emitterCell(kWanderingLightEmission, 0.0f, 0.0f));
  grid.touchAll();
  // The raster is read from the cells as built, as every later edit keeps it: a map column's
  // walkable layers are its pixel's cell, so it is a wall exactly where that cell is opaque,
  // except where the wandering light's open cell now pierces a wall.
  map.refreshAll(grid);
  start.open = nearest >= 0;
  if (!start.found) {
    start.eye = centreEye;
    start.target = start.eye + Vec3(0.0f, 0.0f, -1.0f);
  }
  return start;
}

int wanderingLightStartY(int layers) {
  return std::min(LightGrid::kLightStart[1], std::max(layers - 2, 0));
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
  // Read once within the larger limit (a scene's); the content tells a scene from a map.
  std::string bytes, error;
  if (!FileReader::read(mapFile, VoxRoomLimits().file.maxFileBytes, kRoomFileKind, bytes, error))
    return refused(mapFile, error);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  if (isVoxBytes(data, bytes.size())) return loadRoomFromVox(mapFile, data, bytes.size(), grid, map);
  MapImage image;
  if (!image.decode(data, bytes.size(), error)) return refused(mapFile, error);
  return useMap(mapFile, image, roomHeight, grid, map);
}

RoomLoad refuseRoomFileSize(const std::string& name, std::uint64_t size) {
  return refused(name, FileReader::tooLong(std::to_string(size), VoxRoomLimits().file.maxFileBytes,
                                           kRoomFileKind));
}

RoomLoad loadRoomFromMapBytes(const std::string& name, const unsigned char* bytes, size_t size,
                              int roomHeight, LightGrid& grid, ColorMap& map) {
  std::cout << "TESSARY ROOM filename  " << name << std::endl;
  if (isVoxBytes(bytes, size)) return loadRoomFromVox(name, bytes, size, grid, map);
  MapImage image;
  std::string error;
  if (!image.decode(bytes, size, error)) return refused(name, error);
  return useMap(name, image, roomHeight, grid, map);
}
