// Image texture loader: reads and decodes through the image module (PNG or JPEG by content, bounded),
// uploads level 0 as GL_RGB. A file that is refused ends the process with one line, status 1.
#include "Utils/TextureLoader.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "platform/FileWriter.h"
#include "platform/gl/TextureSetUp.h"

namespace {

// The run's log of the textures loaded, written whole after each line (so that it holds them up
// to a texture that ends the run) through the file writer: a link or a FIFO in its place is
// replaced, never followed or waited on. A log that cannot be written is left out.
void logImageLine(const std::string& line) {
  static std::string lines;
  lines += line + "\n";
  std::string error;
  FileWriter::replace("image_out.txt", std::vector<unsigned char>(lines.begin(), lines.end()),
                      error);
}

void loadWith(const char* fileName, GLuint* texture, GLint wrapMode, GLfloat envMode) {
  logImageLine(std::string("filename ") + fileName);

  // The same checks and conversion as a map, with a texture's own limits; whatever the file's
  // name says, its leading bytes decide PNG or JPEG.
  Image picture;
  std::string error;
  if (!picture.load(fileName, error, kTextureLimits)) {
    std::cout.flush();
    std::cerr << "quillmarsh: cannot use texture \"" << fileName << "\": " << error << std::endl;
    std::exit(1);
  }
  logImageLine("loaded image dimensions h: " + std::to_string(picture.height) +
               " w: " + std::to_string(picture.width));

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
