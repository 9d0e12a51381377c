// Small helpers shared by the GL tests: files, scratch folders, GL state queries, GL errors, probe
// runs (the test binary itself as a helper process, see GlTestMain.cpp) and captured output.
#pragma once

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

// Fails the test when a GL error is pending (and clears them all).
#define EXPECT_NO_GL_ERROR() EXPECT_EQ(gltest::drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR))

namespace gltest {

inline std::string sourcePath(const std::string& relative) { return QUILLMARSH_SOURCE_DIR "/" + relative; }
inline std::string readFile(const std::string& path) { return (std::ostringstream() << std::ifstream(path).rdbuf()).str(); }
inline void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
inline std::string makeScratchDir(const std::string& name) {
  std::filesystem::remove_all("scratch_" + name);
  std::filesystem::create_directory("scratch_" + name);
  return "scratch_" + name;
}

inline GLint integer(GLenum pname) { GLint value = -1; glGetIntegerv(pname, &value); return value; }
inline std::array<float, 16> matrix(GLenum which) { std::array<float, 16> m{}; glGetFloatv(which, m.data()); return m; }
inline GLint texParameter(GLenum target, GLuint texture, GLenum pname, bool level = false) {
  GLint value = -1;
  glBindTexture(target, texture);
  level ? glGetTexLevelParameteriv(target, 0, pname, &value) : glGetTexParameteriv(target, pname, &value);
  return value;
}
inline GLint texLevel(GLenum target, GLuint texture, GLenum pname) { return texParameter(target, texture, pname, true); }
inline void expectSampling(GLuint texture, GLint wrap, GLint envMode) {
  for (GLenum p : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T})
    EXPECT_EQ(texParameter(GL_TEXTURE_2D, texture, p), p == GL_TEXTURE_WRAP_S || p == GL_TEXTURE_WRAP_T ? wrap : GL_LINEAR);
  GLint mode = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  EXPECT_EQ(mode, envMode);
}
inline GLenum drainGlErrors() {
  const GLenum first = glGetError();
  while (first != GL_NO_ERROR && glGetError() != GL_NO_ERROR) continue;
  return first;
}

// Runs the probe in `dir` (output to probe_out.txt, probe_err.txt there); its exit status or -1.
inline int runProbe(const std::string& dir, const std::string& arguments) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe");
  const int status = std::system(("cd '" + dir + "' && '" + self + "' --probe " + arguments + " >probe_out.txt 2>probe_err.txt").c_str());
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace gltest

// Captures standard output (fd 1) or error (fd 2), stdio and iostreams alike, until finish().
struct OutputCapture {
  explicit OutputCapture(int fd) : fd(fd) { fd == 1 ? testing::internal::CaptureStdout() : testing::internal::CaptureStderr(); }
  ~OutputCapture() { finish(); }
  std::string finish() {
    const int was = std::exchange(fd, 0);
    return was == 1 ? testing::internal::GetCapturedStdout() : was == 2 ? testing::internal::GetCapturedStderr() : "";
  }
  int fd;
};
