// libFuzzer harness for the map path: untrusted bytes -> header check -> DevIL decode -> the
// built room (grid, base raster, camera), one light step and one visibility pass over it.
// Built only by tools/fuzz.sh (clang, -fsanitize=fuzzer,address,undefined).
#include <IL/il.h>

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/FlyCamera.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/WorldBuilder.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ilInit();
  // ColorMap::resize prints a line per map; the fuzzer's own reports go to standard error.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MapImage image;
  std::string error;
  if (!image.decode(data, size, error)) {
    assert(!error.empty() && image.width == 0 && image.pixels.empty());
    return 0;
  }
  assert(image.width >= 1 && image.width <= MapImage::kMaxSide);
  assert(image.height >= 1 && image.height <= MapImage::kMaxSide);
  assert(image.pixels.size() == static_cast<size_t>(image.width) * image.height * 3);

  ColorMap map;
  map.resize(image.width, image.height);
  LightGrid grid;
  grid.resize(image.width, 6, image.height);
  FlyCamera camera;
  camera.reset();
  camera.grid = &grid;
  {
    const StartView start = buildWorldFromPixels(image.pixels.data(), image.width, image.height, grid, map);
    if (start.found) camera.setView(start.eye, start.target, start.up);
  }
  grid.strength = 1.0f;
  grid.step();
  map.updateVisibility(20, camera.position(), camera.target);
  return 0;
}
