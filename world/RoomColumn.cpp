// Column recipe, column reading and the room's map picture.
#include "world/RoomColumn.h"

#include <cassert>
#include <cstddef>

#include "world/LightGrid.h"
#include "world/Palette.h"

namespace {

constexpr float kMarkerEmission = 300.0f;

bool emits(const GridCell& c, float r, float g, float b) {
  return c.emitter && c.emission[0] == r && c.emission[1] == g && c.emission[2] == b;
}

bool isStart(ColumnKind kind) { return kind == ColumnKind::GreenStart || kind == ColumnKind::RedStart; }

}  // namespace

mapcolour::Rgb columnColour(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Wall: return mapcolour::kWall;
    case ColumnKind::Glass: return mapcolour::kGlass;
    case ColumnKind::WhiteLight: return mapcolour::kWarmLight;
    case ColumnKind::YellowLight: return mapcolour::kYellowLight;
    case ColumnKind::BlueLight: return mapcolour::kBlueLight;
    case ColumnKind::GreenStart: return mapcolour::kGreenMarker;
    case ColumnKind::RedStart: return mapcolour::kRedMarker;
    case ColumnKind::Air: break;
  }
  return mapcolour::kAir;
}

const char* columnKindName(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Wall: return "wall";
    case ColumnKind::Glass: return "glass";
    case ColumnKind::WhiteLight: return "white light";
    case ColumnKind::YellowLight: return "yellow light";
    case ColumnKind::BlueLight: return "blue light";
    case ColumnKind::GreenStart: return "green start";
    case ColumnKind::RedStart: return "red start";
    case ColumnKind::Air: break;
  }
  return "air";
}

GridCell columnCell(const GridCell& p, int y, int layers) {
  assert(y >= 0 && y < layers);
  const int ceiling = layers - 1;
  GridCell cell;
  if (p.greenMarker || p.redMarker) {
    if (y == 0 || y == ceiling) {
      cell.setEmitter(p.redMarker ? kMarkerEmission : 0.0f, p.greenMarker ? kMarkerEmission : 0.0f,
                      0.0f);
    }
    return cell;
  }
  if (y == ceiling && p.emitter) return p;
  if (y == 0 || y == ceiling) {
    cell.setSolid();
    cell.material = Palette::kWall;
    return cell;
  }
  if (p.isOpaque() || p.isGlass()) return p;
  return cell;
}

ColumnKind columnKindAt(const LightGrid& grid, int x, int z) {
  const GridCell floor = grid.getCell(x, 0, z);
  const GridCell ceiling = grid.getCell(x, grid.sizeY - 1, z);
  if (emits(floor, 0.0f, kMarkerEmission, 0.0f)) return ColumnKind::GreenStart;
  if (emits(floor, kMarkerEmission, 0.0f, 0.0f)) return ColumnKind::RedStart;
  for (ColumnKind light : {ColumnKind::WhiteLight, ColumnKind::YellowLight, ColumnKind::BlueLight}) {
    const mapcolour::Rgb c = columnColour(light);
    const GridCell lamp = cellFromColour(c.r, c.g, c.b);
    if (emits(ceiling, lamp.emission[0], lamp.emission[1], lamp.emission[2])) return light;
  }
  // The wandering light's cell says what the column is only where it fills the one walkable
  // layer (a room of three), as it does where it stands in glass.
  for (int y = 1; y < grid.sizeY - 1; ++y) {
    if (x == grid.lightX && y == grid.lightY && z == grid.lightZ && grid.sizeY > 3) continue;
    const GridCell cell = grid.getCell(x, y, z);
    if (cell.isOpaque()) return ColumnKind::Wall;
    if (cell.isGlass()) return ColumnKind::Glass;
    return ColumnKind::Air;
  }
  return ColumnKind::Air;
}

std::vector<unsigned char> roomMapPixels(const LightGrid& grid, int startX, int startZ) {
  const int w = grid.sizeX, h = grid.sizeZ;
  std::vector<ColumnKind> kinds(static_cast<size_t>(w) * h);
  ColumnKind marker = ColumnKind::GreenStart;
  for (int z = 0; z < h; ++z)
    for (int x = 0; x < w; ++x) {
      const ColumnKind kind = columnKindAt(grid, x, z);
      kinds[static_cast<size_t>(z) * w + x] = kind;
      if (isStart(kind)) marker = kind;  // the last one visited, as the build decides
    }
  // A lamp's column keeps its lamp: the marker goes only where the floor is plain or marked.
  const bool moveStart = startX >= 0 && startZ >= 0 && startX < w && startZ < h &&
                         (kinds[static_cast<size_t>(startZ) * w + startX] == ColumnKind::Air ||
                          isStart(kinds[static_cast<size_t>(startZ) * w + startX]));
  if (moveStart) {
    for (ColumnKind& kind : kinds)
      if (isStart(kind)) kind = ColumnKind::Air;
    kinds[static_cast<size_t>(startZ) * w + startX] = marker;
  }
  std::vector<unsigned char> rgb;
  rgb.reserve(kinds.size() * 3);
  for (ColumnKind kind : kinds) {
    const mapcolour::Rgb c = columnColour(kind);
    rgb.push_back(static_cast<unsigned char>(c.r));
    rgb.push_back(static_cast<unsigned char>(c.g));
    rgb.push_back(static_cast<unsigned char>(c.b));
  }
  return rgb;
}
