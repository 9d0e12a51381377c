// Screenshot files: a name reserved with an exclusive create, the pixels written through DevIL.
#include "app/Screenshot.h"

#include <GL/glew.h>
#include <IL/il.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <vector>

std::string reserveScreenshotPath(const std::string& folder) {
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return "";
  for (int n = 1; n <= 9999; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "/quillmarsh-%03d.png", n);
    const std::string path = folder + name;
    // An exclusive create cannot take a name an earlier run (or another program) holds.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      close(fd);
      return path;
    }
    if (errno != EEXIST) return "";
  }
  return "";
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
