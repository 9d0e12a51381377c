// The decoded top-down map picture: 8-bit RGB, three bytes a pixel, rows packed tightly with the
// bottom row of the picture first (row r is the room's z = r, column c its x = c).
// Decoding uses DevIL; the caller has started it (ilInit) before the first load.
#pragma once

#include <string>
#include <vector>

class MapImage {
 public:
  // Largest map side, in pixels (= grid cells). It keeps the 3-D light texture within the
  // GL_MAX_3D_TEXTURE_SIZE every GL 2 driver offers (256) and bounds the per-step cell walk.
  static constexpr int kMaxSide = 256;

  // Decodes `fileName`, converting whatever DevIL decodes (palette, grey, alpha, 16-bit) to
  // 8-bit RGB. Returns false and sets `error` to the cause when the file cannot be opened or
  // decoded, or when a side is outside 1..kMaxSide; the image is then left empty.
  bool load(const char* fileName, std::string& error);

  // `load`, or one line naming the file and the cause on standard error and exit status 1.
  void loadOrExit(const char* fileName);

  // Red, green and blue of pixel (x, row); x < width, row < height.
  const unsigned char* pixel(int x, int row) const {
    return &pixels[(static_cast<size_t>(row) * width + x) * 3];
  }

  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;
};
