// Rooms as .vox scenes: a voxel model imported into a room built around it, any room written as
// a scene (read back exactly when we wrote it), and the test that a room is a map room.
// Room cell (x, y, z), y up, is voxel (x, depth - 1 - z, y) of the scene, z up (depth = the
// room's z extent): a quarter turn about x, so the model is not mirrored.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "world/MapImage.h"
#include "world/VoxFile.h"
#include "world/WorldBuilder.h"

class ColorMap;
class LightGrid;

// An imported model stands on the floor with kVoxMargin open cells between it and each wall and
// kVoxHeadroom open layers above it; the room is at least kRoomHeight layers high.
constexpr int kVoxMargin = 2;
constexpr int kVoxHeadroom = 2;
// A model without lights gets ceiling lamps about this many cells apart (at least one), like the
// shipped map's lamps, each as bright as the map's white lamp.
constexpr int kVoxLampSpacing = 10;
// An `_emit` material of `_emit` 1 and `_flux` 0 in white emits this much per channel (the map's
// lamps emit 350); each channel follows the palette colour, times _emit, times (1 + _flux).
constexpr float kVoxEmitScale = 350.0f;
// Our own chunk: the room's size, palette size, start view, wandering light and the cells its
// palette does not describe. Other editors skip it (and drop it when they save).
constexpr const char* kVoxRoomChunk = "QMRM";
// Where saved rooms go, under the working directory.
constexpr const char* kVoxRoomFolder = "rooms";

// The most cells a room we wrote may hold: those of the largest map room (1024 x 64 x 1024; in
// the page, whose memory of 32-bit addresses holds about 2 GiB, 1024 x 16 x 1024).
#ifdef __EMSCRIPTEN__
constexpr long kVoxMaxOwnCells = 1L << 24;
#else
constexpr long kVoxMaxOwnCells = 1L << 26;
#endif

// The file's limits for rooms of up to `ownCells` cells: as many voxels, and their four bytes
// each beside the scene's other records, so that such a room, every cell a voxel, reads back.
vox::Limits voxFileLimits(long ownCells);

// What a .vox room may be: the largest room imported around a model along each axis, the largest
// room we wrote (a map room reaches MapImage::kMaxSide across) and the file's limits that let it
// be read back.
struct VoxRoomLimits {
  int maxRoomSide = 256;
  int maxOwnSide = MapImage::kMaxSide;
  long maxOwnCells = kVoxMaxOwnCells;
  vox::Limits file = voxFileLimits(kVoxMaxOwnCells);
};

// True when the bytes start as a .vox file does ("VOX ").
bool isVoxBytes(const unsigned char* bytes, size_t size);

// Builds the room of a .vox file into fresh `grid` and `map` (both unspecified when it fails).
// A file we wrote (it carries kVoxRoomChunk) comes back exactly: size, every cell's material and
// fields, the palette, the start view and the wandering light. Any other file is imported: its
// visible voxels stand on a floor in a room closed by walls and a ceiling; index k of its palette
// is room material k (MATL _glass: glass tinted by the colour, _trans or _alpha the share that
// passes; _emit: a light of the colour; any other: a wall of the colour); walls and lamps take
// palette slots no voxel uses. The eye starts on the floor at the room's low-y edge (the large z
// side) facing the model. Errors read "quillmarsh: cannot use scene "NAME": CAUSE".
RoomLoad loadRoomFromVox(const std::string& name, const unsigned char* bytes, size_t size,
                         LightGrid& grid, ColorMap& map,
                         const VoxRoomLimits& limits = VoxRoomLimits());

// The room as a .vox file: one model when it fits 256 voxels a side, else models of up to 256³
// placed by transforms; the palette's colours (RGBA), a MATL for each material (_glass with
// _trans, _emit with _emit, else _diffuse, and the exact values under our own keys), and our
// chunk with the start view. Cells of material 0 that are not air, and cells that differ from
// their material, are listed in our chunk. Those of them that are walls, glass or fixed lights
// are drawn with a material of their kind; open ones (the wandering light's cell) are not, so
// other editors show no block where the room is open.
std::vector<unsigned char> roomToVox(const LightGrid& grid, const StartView& start);

// Saves roomToVox as "rooms/room-NNN.vox" (the first free NNN from 001, created exclusively)
// under the working directory and returns the path; empty, with `error` set, when it cannot:
// among others when the file would pass what loadRoomFromVox reads (its size or voxels), as a
// file saved must open again.
std::string saveRoomVox(const LightGrid& grid, const StartView& start, std::string& error,
                        const VoxRoomLimits& limits = VoxRoomLimits());

// True when every column is one the map legend makes (columnCell of its columnKindAt: opacity,
// emission, emitter, markers and material of each cell; light, `hidden` and the wandering
// light's cell aside), the legend's materials are the standard palette's, the room is
// `mapHeight` high and its wandering light's start cell is the open one a map builds the light
// in, so that the map picture, built at `mapHeight`, brings back the whole room.
bool isMapRoom(const LightGrid& grid, int mapHeight);
