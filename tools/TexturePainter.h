// Paints the program's image textures procedurally: block tiles, framed glass and a light spot.
// Images are 8-bit RGB, row 0 at the top of the picture; every result depends only on its seed.
#pragma once

#include <cstdint>
#include <vector>

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height * 3 bytes, rows top to bottom

  const std::uint8_t* at(int x, int y) const { return &pixels[3 * (y * width + x)]; }
};

class TexturePainter {
 public:
  // Stone tiles, `tilesPerSide` x `tilesPerSide`, with mortar lines. The mortar at the picture's
  // border is half as wide as between tiles, so neighbouring block faces join into full lines.
  static RgbImage paintTiles(int size, int tilesPerSide, std::uint32_t seed);
  // A pale glass pane in a light metal frame.
  static RgbImage paintGlass(int size, std::uint32_t seed);
  // A soft round light spot: warm white at the centre, black beyond the inscribed circle.
  static RgbImage paintLightSpot(int size, std::uint32_t seed);
};
