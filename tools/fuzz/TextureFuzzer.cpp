// libFuzzer harness for the texture path: untrusted bytes -> header and image data checks ->
// DevIL decode with a texture's limits -> the 8-bit RGB rows the upload reads, every byte read.
// Built only by tools/fuzz.sh (clang, -fsanitize=fuzzer,address,undefined).
#include <IL/il.h>

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string>

#include "Utils/TextureLoader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ilInit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Image image;
  std::string error;
  if (!image.decode(data, size, error, kTextureLimits)) {
    assert(!error.empty() && image.width == 0 && image.pixels.empty());
    return 0;
  }
  const int maxSide = kTextureLimits.maxSide;
  assert(image.width >= 1 && image.width <= maxSide && image.height >= 1 && image.height <= maxSide);
  assert(image.pixels.size() == static_cast<size_t>(image.width) * image.height * 3);
  // What glTexImage2D would read: every byte, so that a short buffer shows up here.
  unsigned sum = 0;
  for (unsigned char byte : image.pixels) sum += byte;
  return sum == 0xffffffffu ? 1 : 0;
}
