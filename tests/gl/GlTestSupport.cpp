// GL test helpers; the probe's path and the source root come from the build.
#include "GlTestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace gltest {

std::string sourcePath(const std::string& relative) {
  return std::string(QUILLMARSH_SOURCE_DIR) + "/" + relative;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

bool fileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

std::string makeScratchDir(const std::string& name) {
  const std::string dir = "scratch_" + name;
  std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
  return dir;
}

GLint integer(GLenum pname) {
  GLint value = -1;
  glGetIntegerv(pname, &value);
  return value;
}

std::array<float, 16> matrix(GLenum which) {
  std::array<float, 16> m{};
  glGetFloatv(which, m.data());
  return m;
}

GLint texParameter(GLenum target, GLuint texture, GLenum pname) {
  GLint value = -1;
  glBindTexture(target, texture);
  glGetTexParameteriv(target, pname, &value);
  return value;
}

GLint texLevel(GLenum target, GLuint texture, GLenum pname) {
  GLint value = -1;
  glBindTexture(target, texture);
  glGetTexLevelParameteriv(target, 0, pname, &value);
  return value;
}

void expectSampling(GLuint texture, GLint wrap, GLint envMode) {
  EXPECT_EQ(texParameter(GL_TEXTURE_2D, texture, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(texParameter(GL_TEXTURE_2D, texture, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(texParameter(GL_TEXTURE_2D, texture, GL_TEXTURE_WRAP_S), wrap);
  EXPECT_EQ(texParameter(GL_TEXTURE_2D, texture, GL_TEXTURE_WRAP_T), wrap);
  GLint mode = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  EXPECT_EQ(mode, envMode);
}

void makeMixedSampleRenderbuffers(GLint samples, GLuint buffers[2]) {
  glGenRenderbuffersEXT(2, buffers);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, buffers[0]);
  glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, samples, GL_RGBA8, 16, 16);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, buffers[1]);
  glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, 16, 16);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
}

GLenum drainGlErrors() {
  GLenum first = GL_NO_ERROR;
  for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
    if (first == GL_NO_ERROR) first = error;
  }
  return first;
}

int runProbe(const std::string& dir, const std::string& arguments) {
  const std::string command = "cd '" + dir + "' && '" + GL_PROBE + "' " + arguments +
                              " >probe_out.txt 2>probe_err.txt";
  const int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

void writePpm(const std::string& path, int width, int height, const unsigned char* rgb) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "P6\n" << width << " " << height << "\n255\n";
  out.write(reinterpret_cast<const char*>(rgb), static_cast<std::streamsize>(width) * height * 3);
}

}  // namespace gltest
