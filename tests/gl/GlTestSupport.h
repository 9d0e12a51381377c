// Small helpers shared by the GL tests: files, scratch folders, GL state queries, GL error
// draining, child runs.
#pragma once

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <string>

// Fails the test when a GL error is pending (and clears them all).
#define EXPECT_NO_GL_ERROR() EXPECT_EQ(gltest::drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR))

namespace gltest {

// Absolute path of a file in the source tree (media/..., tests/gl/data/...).
std::string sourcePath(const std::string& relative);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);
// A fresh empty folder under the working directory.
std::string makeScratchDir(const std::string& name);
// GL state queries; a texture query binds `texture` to `target` first.
GLint integer(GLenum pname);
std::array<float, 16> matrix(GLenum which);
GLint texParameter(GLenum target, GLuint texture, GLenum pname);
GLint texLevel(GLenum target, GLuint texture, GLenum pname);
// Expects 2-D `texture` to filter linearly and wrap with `wrap` in s and t, and the texture
// environment mode to be `envMode`.
void expectSampling(GLuint texture, GLint wrap, GLint envMode);
// Two 16 x 16 RGBA8 render buffers, the first with `samples` samples, the second with none: a
// framebuffer with both is incomplete with the multisample status.
void makeMixedSampleRenderbuffers(GLint samples, GLuint buffers[2]);
// Clears the GL error state and returns the first error that was pending.
GLenum drainGlErrors();
// Runs the GL probe helper with `arguments` in folder `dir`, stdout and stderr into files there
// ("probe_out.txt", "probe_err.txt"); returns its exit status, or -1 if it did not exit.
int runProbe(const std::string& dir, const std::string& arguments);
// Writes a binary PPM (top row first) of width x height from packed RGB bytes.
void writePpm(const std::string& path, int width, int height, const unsigned char* rgb);

}  // namespace gltest
