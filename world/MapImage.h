// A decoded picture (the top-down map, or a texture): 8-bit RGB, three bytes a pixel, rows packed
// tightly with the bottom row of the picture first (for a map, row r is the room's z = r).
// Only PNG and JPEG are accepted, recognised from the leading bytes; size and coded data are
// bounded from the header before DevIL decodes anything. The caller has started DevIL (ilInit).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class MapImage {
 public:
  // Largest map side, in pixels (= grid cells). It keeps the 3-D light texture within the
  // GL_MAX_3D_TEXTURE_SIZE every GL 2 driver offers (256) and bounds the per-step cell walk.
  static constexpr int kMaxSide = 256;

  // Largest map file, in bytes. A 256 x 256 16-bit RGBA PNG stored without compression is
  // about 0.5 MiB; anything far beyond that is not a map.
  static constexpr long kMaxFileBytes = 16L << 20;

  // What a kind of picture may be: its largest side, its largest file, and its name in causes.
  struct Limits {
    int maxSide;
    size_t maxFileBytes;
    const char* kind;
  };
  static constexpr Limits kMapLimits{kMaxSide, static_cast<size_t>(kMaxFileBytes), "map"};
  // A texture side of 2048 is within GL_MAX_TEXTURE_SIZE of every driver that offers the frame
  // buffer objects the frame needs; 16 MiB holds an uncompressed 2048 x 2048 RGB picture.
  static constexpr Limits kTextureLimits{2048, 16u << 20, "texture"};

  // Reads `fileName` and decodes it as `decode` does. Returns false and sets `error` to the
  // cause when the file cannot be read, is not a usable PNG or JPEG map, or does not decode;
  // the image is then left empty.
  bool load(const char* fileName, std::string& error, const Limits& limits = kMapLimits);

  // Checks the header of the `size` bytes at `bytes` (MapHeader) and a PNG's image data
  // (PngImageData), then has DevIL decode them as that format and converts the result (palette,
  // grey, alpha, 16-bit) to 8-bit RGB. Anything DevIL reports on the way is a refusal.
  bool decode(const unsigned char* bytes, size_t size, std::string& error,
              const Limits& limits = kMapLimits);

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
