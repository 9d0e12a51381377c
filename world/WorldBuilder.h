// The room built from decoded map pixels: walls, glass, floor, ceiling, ceiling lights, start
// markers with the camera's start view, the wandering light, and the ColorMap's base raster
// (read from the built cells, ColorMap::refreshAll).
// Pixels are 8-bit RGB, bottom row (z = 0) first; one pixel per grid column (x, z).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "world/Vec3.h"

class ColorMap;
class LightGrid;

// The map the program reads when it is given none (relative to the working directory), and the
// room height it builds in layers unless told otherwise (floor 0, ceiling roomHeight - 1).
constexpr const char* kShippedMapFile = "media/textures/maps/testmap.png";
constexpr int kRoomHeight = 6;

// The wandering light as every room starts it: an open emitter of this much red light, in
// LightGrid::kLightStart's cell (in the top open layer of a room too low for it, which
// wanderingLightStartY gives for a room of `layers` layers).
constexpr float kWanderingLightEmission = 1520.0f;
int wanderingLightStartY(int layers);

// Where the camera starts: the eye above the last start marker, looking at the room's fixed
// point (0, 0, 1) with y up. A map without a marker (`found` false) starts in the open column
// nearest the map's centre (the first in map order of those equally near), looking towards
// z = 0; a map without an open column has `open` false and no start at all.
struct StartView {
  bool found = false;
  bool open = true;
  Vec3 eye;
  Vec3 target{0.0f, 0.0f, 1.0f};
  Vec3 up{0.0f, 1.0f, 0.0f};
};

// Builds the room into `grid`, which is already sized (width, room height, height) with empty
// buffers, and `map`, sized (width, height), and returns the start view of the last start
// marker. The wandering light starts at LightGrid::kLightStart (in the top open layer of a room
// too low for it), wherever it was. The built world ends up in `current`; the other buffer
// stays empty.
StartView buildWorldFromPixels(const unsigned char* rgb, int width, int height, LightGrid& grid,
                               ColorMap& map);

// Sizes `map` (width, height) and `grid` (width, roomHeight, height) afresh and builds the room
// from the pixels into them, as buildWorldFromPixels.
StartView buildRoom(const unsigned char* rgb, int width, int height, int roomHeight,
                    LightGrid& grid, ColorMap& map);

// A room read from a map: the start view, or why the map cannot be used.
struct RoomLoad {
  bool ok = false;
  StartView start;
  // When not ok: the whole line to show, "quillmarsh: cannot use map "NAME": CAUSE".
  std::string error;
  // When ok and the map has no start marker: the line that says where the eye starts instead.
  std::string notice;
  // What the file was, in the lines about it: "map" or "scene" (a .vox file).
  const char* kind = "map";
};

// The room of a map file: prints the start-up lines, reads and checks the map and builds it with
// buildRoom. Pass fresh storage and keep the room in use until the load is ok: a map that cannot
// be used (unreadable, damaged, too large, no open column) leaves `grid` and `map` unspecified.
// Decoding needs the picture library started (desktop: ilInit). A file that starts as a .vox
// scene does ("VOX ") is built by loadRoomFromVox (world/VoxRoom.h) instead, at its own height.
RoomLoad loadRoomFromMap(const char* mapFile, int roomHeight, LightGrid& grid, ColorMap& map);
// The refusal loadRoomFromMap gives a map or .vox file of `size` bytes, longer than either may
// be: for a file whose bytes are not read at all (one dropped on the page).
RoomLoad refuseRoomFileSize(const std::string& name, std::uint64_t size);
// The same from a map file's bytes (a picture dropped on the page), `name` standing for the file.
RoomLoad loadRoomFromMapBytes(const std::string& name, const unsigned char* bytes, size_t size,
                              int roomHeight, LightGrid& grid, ColorMap& map);
