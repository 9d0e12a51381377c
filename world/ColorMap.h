// Top-down raster of the room, one pixel per grid column (x, z): a static `base` wall map and
// the per-step visibility `marks`. Pixel (x, y) is element y * width + x, where y is the grid's z.
#pragma once

#include <memory>

class ColorMap {
 public:
  // One raster pixel: three integers 0-255.
  struct Pixel {
    int r = 0, g = 0, b = 0;
    bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Pixel& o) const { return !(*this == o); }
  };

  ColorMap() = default;
  ColorMap(const ColorMap&) = delete;
  ColorMap& operator=(const ColorMap&) = delete;

  // Prints "size of occlusion map:W,H" and allocates both rasters filled with (0, 0, 0).
  void resize(int newWidth, int newHeight);
  // Copies every base pixel into marks.
  void resetMarks();

  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  // Pixel accessors for an in-range (x, y).
  Pixel& basePixel(int x, int y) { return base[static_cast<long>(y) * width + x]; }
  const Pixel& basePixel(int x, int y) const { return base[static_cast<long>(y) * width + x]; }
  Pixel& markPixel(int x, int y) { return marks[static_cast<long>(y) * width + x]; }
  const Pixel& markPixel(int x, int y) const { return marks[static_cast<long>(y) * width + x]; }

  float eyeX = 0.0f, eyeZ = 0.0f;
  int width = 0, height = 0;
  bool allocated = false;
  std::unique_ptr<Pixel[]> base;
  std::unique_ptr<Pixel[]> marks;
};
