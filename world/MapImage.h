// The top-down map picture (one pixel per grid column; row r is the room's z = r): an Image read
// with a map's limits. The caller has started DevIL (ilInit).
#pragma once

#include <string>

#include "platform/image/Image.h"

class MapImage : public Image {
 public:
  // Largest map side, in pixels (= grid cells). It keeps the 3-D light texture within the
  // GL_MAX_3D_TEXTURE_SIZE every GL 2 driver offers (256) and bounds the per-step cell walk.
  static constexpr int kMaxSide = 256;

  // Largest map file, in bytes. A 256 x 256 16-bit RGBA PNG stored without compression is
  // about 0.5 MiB; anything far beyond that is not a map.
  static constexpr long kMaxFileBytes = 16L << 20;

  static constexpr Limits kMapLimits{kMaxSide, static_cast<size_t>(kMaxFileBytes), "map"};

  using Image::decode;
  using Image::load;
  // Image::load and Image::decode with the map's limits.
  bool load(const char* fileName, std::string& error) { return load(fileName, error, kMapLimits); }
  bool decode(const unsigned char* bytes, size_t size, std::string& error) {
    return decode(bytes, size, error, kMapLimits);
  }
};
