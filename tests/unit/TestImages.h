// Helpers for tests that need image files: start DevIL once, write small pictures with it or
// byte by byte, and a scratch directory that is removed with the object.
#pragma once

#include <IL/il.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

inline void startImageLibrary() {
  static bool started = false;
  if (!started) ilInit();
  started = true;
}

// A fresh directory under TMPDIR (or /tmp), removed with its files when the object dies.
class ScratchDir {
 public:
  ScratchDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/quillmarsh-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    path_ = mkdtemp(buffer.data()) != nullptr ? buffer.data() : "";
  }
  ~ScratchDir() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Saves a picture with DevIL. `data` rows are bottom first (DevIL's default origin), `format`
// and `type` as for ilTexImage; `palette` (RGB triples) is registered for IL_COLOUR_INDEX.
inline bool saveImage(const std::string& path, int w, int h, int channels, ILenum format,
                      ILenum type, const void* data,
                      const std::vector<unsigned char>& palette = {}) {
  startImageLibrary();
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  bool ok = ilTexImage(w, h, 1, static_cast<ILubyte>(channels), format, type,
                       const_cast<void*>(data)) == IL_TRUE;
  if (ok && !palette.empty())
    ilRegisterPal(const_cast<unsigned char*>(palette.data()),
                  static_cast<ILuint>(palette.size()), IL_PAL_RGB24);
  ilEnable(IL_FILE_OVERWRITE);
  ok = ok && ilSave(IL_PNG, path.c_str()) == IL_TRUE;
  ilDeleteImages(1, &image);
  while (ilGetError() != IL_NO_ERROR) {
  }
  return ok;
}

inline bool writeBytes(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}
