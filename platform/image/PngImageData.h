// The image data of a PNG whose header passed ImageHeader, checked before DevIL decodes it: the
// inflated rows must be exactly what the header needs, every filter type valid and every palette
// index within the palette (the library's palette conversion would read beyond it otherwise).
#pragma once

#include <cstddef>
#include <string>

#include "platform/image/ImageHeader.h"

class PngImageData {
 public:
  // Inflates the IDAT chunks of the `size` bytes at `bytes` (never more than the header's rows
  // plus a little) and checks them. Returns false and sets `error` to the cause otherwise.
  static bool check(const unsigned char* bytes, size_t size, const ImageHeader& header,
                    std::string& error);
};
