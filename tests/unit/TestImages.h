// Helpers for tests that need image files: start DevIL once, write a JPEG with it or a PNG byte
// by byte (zlib, not the library under test), and a scratch directory removed with the object.
#pragma once

#include <IL/il.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

inline void startImageLibrary() {
  static const bool started = (ilInit(), true);
  (void)started;
}

// A fresh directory under /tmp, removed with its files when the object dies.
class ScratchDir {
 public:
  ScratchDir() { path_ = mkdtemp(&path_[0]) != nullptr ? path_ : ""; }
  ~ScratchDir() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_ = "/tmp/quillmarsh-test-XXXXXX";
};

// Saves a JPEG with DevIL; `rgb` rows bottom first (DevIL's default origin).
inline bool saveJpeg(const std::string& path, int w, int h, const unsigned char* rgb) {
  startImageLibrary();
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  ilEnable(IL_FILE_OVERWRITE);
  const bool ok = ilTexImage(w, h, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, const_cast<unsigned char*>(rgb)) &&
                  ilSave(IL_JPG, path.c_str());
  ilDeleteImages(1, &image);
  while (ilGetError() != IL_NO_ERROR) continue;
  return ok;
}

inline bool writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  return static_cast<bool>(f.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush());
}

namespace png {

inline std::string be32(unsigned long v) {
  return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 8), static_cast<char>(v)};
}

inline std::string chunk(const std::string& type, const std::string& data) {
  const std::string body = type + data;
  return be32(data.size()) + body +
         be32(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
}

inline std::string signature() { return std::string("\x89PNG\r\n\x1a\n", 8); }

inline std::string ihdr(unsigned long w, unsigned long h, int depth, int colourType) {
  return chunk("IHDR", be32(w) + be32(h) + std::string{static_cast<char>(depth),
                                                       static_cast<char>(colourType), 0, 0, 0});
}

inline std::string deflated(const std::string& raw) {
  std::string out(compressBound(raw.size()), '\0');
  uLongf size = out.size();
  compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(raw.data()),
           raw.size());
  return out.substr(0, size);
}

// A whole PNG of `raw` rows (each with its filter byte) in one IDAT, with `extra` chunks (PLTE).
inline std::string image(unsigned long w, unsigned long h, int depth, int colourType,
                         const std::string& raw, const std::string& extra = "") {
  return signature() + ihdr(w, h, depth, colourType) + extra + chunk("IDAT", deflated(raw)) +
         chunk("IEND", "");
}

// A whole PNG of 8-bit RGB `rgb` given top row first, as the picture is seen.
inline std::string rgb8(int w, int h, const std::vector<unsigned char>& rgb) {
  std::string raw;
  for (int row = 0; row < h; ++row)
    raw += '\0' + std::string(rgb.begin() + row * w * 3, rgb.begin() + (row + 1) * w * 3);
  return image(w, h, 8, 2, raw);
}

}  // namespace png
