// The top-down map picture (one pixel per grid column; row r is the room's z = r): an Image read
// with a map's limits. The caller has started DevIL (ilInit).
#pragma once

#include <string>

#include "platform/image/Image.h"

class MapImage : public Image {
 public:
  // Largest map side, in pixels (= grid cells). The light volume is a 3-D texture of one texel
  // a cell: GL 2 promises only 256 texels a side, so a driver that offers less than the room
  // needs is refused with one line when the volume is made (desktop/GlBackend.cpp); common
  // drivers offer 2048. The light step costs what the room holds (about 30 bytes a cell); the
  // visibility, the reveal and the frame's cell walk cost what the view holds.
  static constexpr int kMaxSide = 1024;

  // Largest map file, in bytes. A 1024 x 1024 16-bit RGBA PNG stored without compression is
  // about 8 MiB (its rows inflate to 8 MiB + 1 KiB, and the decoded RGB is 3 MiB); anything far
  // beyond that is not a map.
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
