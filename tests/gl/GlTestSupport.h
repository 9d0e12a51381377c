// Small helpers shared by the GL tests: files, scratch folders, GL error draining, child runs.
#pragma once

#include <GL/glew.h>

#include <string>

namespace gltest {

// Absolute path of a file in the source tree (media/..., tests/gl/data/...).
std::string sourcePath(const std::string& relative);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);
// A fresh empty folder under the working directory.
std::string makeScratchDir(const std::string& name);
// Clears the GL error state and returns the first error that was pending.
GLenum drainGlErrors();
// Runs the GL probe helper with `arguments` in folder `dir`, stdout and stderr into files there
// ("probe_out.txt", "probe_err.txt"); returns its exit status, or -1 if it did not exit.
int runProbe(const std::string& dir, const std::string& arguments);
// Writes a binary PPM (top row first) of width x height from packed RGB bytes.
void writePpm(const std::string& path, int width, int height, const unsigned char* rgb);

}  // namespace gltest
