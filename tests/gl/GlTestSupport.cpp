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
