// A decoded picture, read by the map reader (world/MapImage) and the texture loader alike, each
// with its own limits: 8-bit RGB, three bytes a pixel, rows packed tightly, bottom row first.
// The caller has started DevIL (ilInit).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class ImageHeader;

// Only PNG and JPEG are accepted, recognised from the leading bytes; size and coded data are
// bounded from the header before DevIL decodes anything.
class Image {
 public:
  // What a kind of picture may be: its largest side, its largest file, and its name in causes.
  struct Limits {
    int maxSide;
    size_t maxFileBytes;
    const char* kind;
  };

  // Reads `fileName` and decodes it as `decode` does. Returns false and sets `error` to the
  // cause when the file cannot be read, is not a usable PNG or JPEG, or does not decode; the
  // image is then left empty.
  bool load(const char* fileName, std::string& error, const Limits& limits);

  // Checks the header of the `size` bytes at `bytes` (ImageHeader) and a PNG's image data
  // (PngImageData), then has the build's decoder (DevIL here) decode them as that format and converts the result (palette,
  // grey, alpha, 16-bit) to 8-bit RGB. Anything DevIL reports on the way is a refusal.
  bool decode(const unsigned char* bytes, size_t size, std::string& error, const Limits& limits);

  // Red, green and blue of pixel (x, row); x < width, row < height.
  const unsigned char* pixel(int x, int row) const {
    return &pixels[(static_cast<size_t>(row) * width + x) * 3];
  }

  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;

 private:
  // The build's decoder on bytes whose size and header passed: checks a PNG's image data
  // (PngImageData), decodes to 8-bit RGB of the header's size, or sets `error` to the cause.
  bool decodeChecked(const unsigned char* bytes, size_t size, const ImageHeader& header,
                     std::string& error);
};
