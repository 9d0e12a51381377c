// Screenshot files: a name reserved with an exclusive create, the pixels written through DevIL.
#include "desktop/Screenshot.h"

#include <GL/glew.h>
#include <IL/il.h>

#include <iostream>
#include <vector>

#include "app/RoomMapFile.h"

std::string reserveScreenshotPath(const std::string& folder) {
  return reserveFreeFile(folder, "quillmarsh");
}

void saveScreenshot(int width, int height) {
  const std::string path = reserveScreenshotPath("screenshots");
  if (path.empty()) {
    std::cerr << "Cannot save a screenshot under \"screenshots\": no free file name or no access"
              << std::endl;
    return;
  }
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);

  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  // GL rows run bottom to top, as DevIL's lower-left origin expects.
  ilTexImage(width, height, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data());
  ilEnable(IL_FILE_OVERWRITE);
  const bool saved = ilSave(IL_PNG, path.c_str()) == IL_TRUE;
  ilDeleteImages(1, &image);
  while (ilGetError() != IL_NO_ERROR) {
  }
  if (saved) {
    std::cout << "screenshot: " << path << std::endl;
  } else {
    std::cerr << "Cannot write the screenshot \"" << path << "\"" << std::endl;
  }
}
