// Screenshot files: the pixels read back from GL, encoded as PNG and written as a new file.
#include "desktop/Screenshot.h"

#include <GL/glew.h>

#include <iostream>
#include <vector>

#include "app/RoomMapFile.h"
#include "platform/FileWriter.h"

bool windowPng(int width, int height, std::vector<unsigned char>& png) {
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  // GL rows run bottom to top, as the encoder expects.
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  return encodeRgbPng(rgb, width, height, png);
}

std::string saveScreenshot(int width, int height) {
  std::vector<unsigned char> png;
  std::string error, path;
  if (!windowPng(width, height, png)) {
    error = "cannot encode a " + std::to_string(width) + " x " + std::to_string(height) +
            " picture as PNG";
  } else {
    path = FileWriter::writeNew("screenshots", "quillmarsh", ".png", png, error);
  }
  if (path.empty()) {
    std::cerr << "Cannot save a screenshot: " << error << std::endl;
  } else {
    std::cout << "screenshot: " << path << std::endl;
  }
  return path;
}
