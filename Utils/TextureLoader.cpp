// Image texture loader: decodes with DevIL, converts to 8-bit RGB, uploads level 0 as GL_RGB.
// A file that does not decode ends the process with status 1.
#include "Utils/TextureLoader.h"

#include <IL/il.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

namespace {

// Opened (truncated) at static initialisation, before main, and closed at exit.
std::ofstream imageLog("image_out.txt");

void loadWith(const char* fileName, GLuint* texture, GLint wrapMode, GLfloat envMode) {
  ilEnable(IL_ORIGIN_SET);
  ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
  imageLog << "filename " << fileName << std::endl;

  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  // DevIL "loads" a missing file as a 1 x 1 image, so the result must be tested; palette, grey,
  // alpha and 16-bit images become the three bytes a pixel that the upload reads.
  std::FILE* probe = std::fopen(fileName, "rb");
  const std::string unreadable = probe == nullptr ? std::strerror(errno) : "";
  if (probe != nullptr) std::fclose(probe);
  const bool decoded = unreadable.empty() && ilLoadImage(fileName) == IL_TRUE &&
                       ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE) == IL_TRUE;
  while (ilGetError() != IL_NO_ERROR) {
  }
  if (!decoded) {
    ilDeleteImages(1, &image);
    ilDisable(IL_ORIGIN_SET);
    std::cout.flush();
    std::cerr << "Cannot decode image file " << fileName << ": "
              << (unreadable.empty() ? "it is not an image DevIL can decode" : unreadable)
              << std::endl;
    std::exit(1);
  }

  const unsigned int width = static_cast<unsigned int>(ilGetInteger(IL_IMAGE_WIDTH));
  const unsigned int height = static_cast<unsigned int>(ilGetInteger(IL_IMAGE_HEIGHT));
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
               static_cast<GLsizei>(height), 0, GL_RGB, GL_UNSIGNED_BYTE, ilGetData());
  glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);

  ilDeleteImages(1, &image);
  ilDisable(IL_ORIGIN_SET);
}

}  // namespace

void loadTexture(const char* fileName, GLuint* texture) {
  loadWith(fileName, texture, GL_REPEAT, static_cast<GLfloat>(GL_REPLACE));
}

void loadTexture(const char* fileName, GLuint* texture, GLint wrapMode, GLenum envMode) {
  loadWith(fileName, texture, wrapMode, static_cast<GLfloat>(envMode));
}
