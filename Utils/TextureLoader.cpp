// Image texture loader: reads and decodes through the image module (PNG or JPEG by content, bounded),
// uploads level 0 as GL_RGB. A file that is refused ends the process with one line, status 1.
#include "Utils/TextureLoader.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/gl/TextureSetUp.h"

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
  imageLog << "loaded image dimensions h: " << picture.height << " w: " << picture.width
           << std::endl;

  *texture = gltex::newTexture(GL_TEXTURE_2D, GL_LINEAR, wrapMode);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, envMode);
  gltex::uploadPacked(GL_RGB, picture.width, picture.height, GL_RGB, picture.pixels.data());
}

}  // namespace

void loadTexture(const char* fileName, GLuint* texture) {
  loadWith(fileName, texture, GL_REPEAT, static_cast<GLfloat>(GL_REPLACE));
}

void loadTexture(const char* fileName, GLuint* texture, GLint wrapMode, GLenum envMode) {
  loadWith(fileName, texture, wrapMode, static_cast<GLfloat>(envMode));
}
