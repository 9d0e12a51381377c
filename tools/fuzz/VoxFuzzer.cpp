// libFuzzer harness for .vox scenes: untrusted bytes -> the reader -> the flattened scene -> the
// room built from it (import or our own exact form), then the room written and read back, which
// must give the same room, one light step and one visibility pass. Rooms are capped at 64 cells
// a side here so that each input runs fast; the limits' logic is the same at 256.
// Built only by tools/fuzz.sh (clang, -fsanitize=fuzzer,address,undefined).
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/VoxFile.h"
#include "world/VoxRoom.h"

namespace {

VoxRoomLimits fuzzLimits() {
  VoxRoomLimits limits;
  limits.maxRoomSide = limits.maxOwnSide = 64;
  limits.maxOwnCells = 64L * 64 * 64;
  limits.file.maxSide[0] = limits.file.maxSide[1] = limits.file.maxSide[2] = 64;
  limits.file.maxVoxels = 1L << 20;
  limits.file.maxPlacedVoxels = 1L << 22;
  return limits;
}

bool sameRoom(const LightGrid& a, const LightGrid& b) {
  if (a.sizeX != b.sizeX || a.sizeY != b.sizeY || a.sizeZ != b.sizeZ ||
      a.palette().size() != b.palette().size() || a.lightX != b.lightX || a.lightY != b.lightY ||
      a.lightZ != b.lightZ)
    return false;
  for (int z = 0; z < a.sizeZ; ++z)
    for (int y = 0; y < a.sizeY; ++y)
      for (int x = 0; x < a.sizeX; ++x) {
        const GridCell p = a.getCell(x, y, z), q = b.getCell(x, y, z);
        if (p.material != q.material || p.emitter != q.emitter ||
            std::memcmp(&p.opacity, &q.opacity, sizeof p.opacity) != 0 ||
            std::memcmp(p.emission, q.emission, sizeof p.emission) != 0)
          return false;
      }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The loaders print their start-up lines; the fuzzer's own reports go to standard error.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const VoxRoomLimits limits = fuzzLimits();
  vox::Scene scene;
  vox::Volume volume;
  std::string error;
  if (vox::read(data, size, scene, error, limits.file)) {
    if (vox::flatten(scene, volume, error, limits.file)) {
      assert(volume.index.size() ==
             static_cast<size_t>(volume.size[0]) * volume.size[1] * volume.size[2]);
      for (int k = 0; k < 3; ++k) assert(volume.size[k] <= limits.file.maxSide[k]);
    } else {
      assert(!error.empty() && error.find('\n') == std::string::npos);
    }
  } else {
    assert(!error.empty() && error.find('\n') == std::string::npos);
  }

  LightGrid grid;
  ColorMap map;
  const RoomLoad load = loadRoomFromVox("fuzz.vox", data, size, grid, map, limits);
  if (!load.ok) {
    assert(load.error.rfind("quillmarsh: cannot use scene \"fuzz.vox\": ", 0) == 0);
    return 0;
  }
  assert(grid.sizeX >= 1 && grid.sizeX <= limits.maxRoomSide);
  assert(grid.sizeY >= 1 && grid.sizeY <= limits.maxRoomSide);
  assert(grid.sizeZ >= 1 && grid.sizeZ <= limits.maxRoomSide);
  assert(map.width == grid.sizeX && map.height == grid.sizeZ);
  isMapRoom(grid, grid.sizeY);

  // What we write of any room we read back exactly.
  const std::vector<unsigned char> bytes = roomToVox(grid, load.start);
  LightGrid again;
  ColorMap againMap;
  const RoomLoad reload = loadRoomFromVox("again.vox", bytes.data(), bytes.size(), again,
                                          againMap, limits);
  assert(reload.ok);
  assert(sameRoom(grid, again));
  (void)reload;

  grid.strength = 1.0f;
  grid.step();
  map.updateVisibility(20, load.start.eye, load.start.target);
  return 0;
}
