// libFuzzer harness for the page's picture path, built natively: untrusted bytes -> header and
// image data checks -> stb_image decode with a map's limits, over the page's zlib stand-in
// (web/ZlibShim.h) in zlib's place. Built only by tools/fuzz.sh (clang,
// -fsanitize=fuzzer,address,undefined).
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string>

#include "world/MapImage.h"

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
  unsigned sum = 0;
  for (unsigned char byte : image.pixels) sum += byte;
  return sum == 0xffffffffu;
}
