// ColorMap storage: sizing and resetting the marks from the base raster.
#include "world/ColorMap.h"

#include <cassert>
#include <iostream>

void ColorMap::resize(int newWidth, int newHeight) {
  assert(newWidth >= 0 && newHeight >= 0);
  std::cout << "size of occlusion map:" << newWidth << "," << newHeight << std::endl;
  if (allocated) {
    base.reset();
    marks.reset();
  }
  width = newWidth;
  height = newHeight;
  const long count = static_cast<long>(width) * height;
  base.reset(new Pixel[count]());
  marks.reset(new Pixel[count]());
  allocated = true;
  ++marksVersion;
}

void ColorMap::resetMarks() {
  const long count = static_cast<long>(width) * height;
  for (long i = 0; i < count; ++i) marks[i] = base[i];
  ++marksVersion;
}
