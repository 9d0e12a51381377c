// The map reader's one line and failure status for a map that cannot be used.
#include "world/MapImage.h"

#include <cstdlib>
#include <iostream>

void MapImage::loadOrExit(const char* fileName) {
  std::string error;
  if (load(fileName, error)) return;
  std::cout.flush();
  std::cerr << "quillmarsh: cannot use map \"" << fileName << "\": " << error << std::endl;
  std::exit(1);
}
