// Image texture loader: reads and decodes through the image module (PNG or JPEG by content, bounded),
// uploads level 0 as GL_RGB. A file that is refused ends the process with one line, status 1.
#include "Utils/TextureLoader.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>


namespace {

// Opened (truncated) at static initialisation, before main, and closed at exit.
std::ofstream imageLog("image_out.txt");

void loadWith(const char* fileName, GLuint* texture, GLint wrapMode, GLfloat envMode) {
  imageLog << "filename " << fileName << std::endl;

  // The same checks and conversion as a map, with a texture's own limits; whatever the file's
  // name says, its leading bytes decide PNG or JPEG.
  Image picture;
  std::string error;
  if (!picture.load(fileName, error, kTextureLimits)) {
    std::cout.flush();
    std::cerr << "quillmarsh: cannot use texture \"" << fileName << "\": " << error << std::endl;
    std::exit(1);
  }
  const unsigned int width = static_cast<unsigned int>(picture.width);
  const unsigned int height = static_cast<unsigned int>(picture.height);
  imageLog << "loaded image dimensions h: " << height << " w: " << width << std::endl;

  glGenTextures(1, texture);
  glBindTexture(GL_TEXTURE_2D, *texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapMode);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapMode);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, envMode);

  // Decoded rows are tightly packed; the default alignment of 4 would read past odd widths.
  GLint previousAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, static_cast<GLsizei>(width),
               static_cast<GLsizei>(height), 0, GL_RGB, GL_UNSIGNED_BYTE, picture.pixels.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
}

}  // namespace

void loadTexture(const char* fileName, GLuint* texture) {
  loadWith(fileName, texture, GL_REPEAT, static_cast<GLfloat>(GL_REPLACE));
}

void loadTexture(const char* fileName, GLuint* texture, GLint wrapMode, GLenum envMode) {
  loadWith(fileName, texture, wrapMode, static_cast<GLfloat>(envMode));
}
