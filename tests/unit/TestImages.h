// Helpers for tests that need image files: start DevIL once, write small pictures with it or
// byte by byte, and a scratch directory that is removed with the object.
#pragma once

#include <IL/il.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline void startImageLibrary() {
  static const bool started = (ilInit(), true);
  (void)started;
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
// `fileType` is DevIL's writer (IL_PNG, IL_JPG, IL_BMP ...).
inline bool saveImage(const std::string& path, int w, int h, int channels, ILenum format,
                      ILenum type, const void* data,
                      const std::vector<unsigned char>& palette = {}, ILenum fileType = IL_PNG) {
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
  ok = ok && ilSave(fileType, path.c_str()) == IL_TRUE;
  ilDeleteImages(1, &image);
  while (ilGetError() != IL_NO_ERROR) continue;
  return ok;
}

inline bool writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  return static_cast<bool>(f.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush());
}

inline std::string readBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Hand-made PNG streams, written without DevIL so that the tests' pictures do not depend on the
// library under test: zlib stored (uncompressed) blocks, filter type 0 on every row.
namespace png {

inline std::string be32(unsigned long v) {
  return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 8), static_cast<char>(v)};
}

inline unsigned long crc32(const std::string& bytes) {
  unsigned long crc = 0xffffffffUL;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320UL & (0UL - (crc & 1)));
  }
  return crc ^ 0xffffffffUL;
}

inline std::string chunk(const std::string& type, const std::string& data) {
  return be32(data.size()) + type + data + be32(crc32(type + data));
}

inline std::string signature() { return std::string("\x89PNG\r\n\x1a\n", 8); }

inline std::string ihdr(unsigned long w, unsigned long h, int depth, int colourType) {
  return chunk("IHDR", be32(w) + be32(h) +
                           std::string{static_cast<char>(depth), static_cast<char>(colourType),
                                       0, 0, 0});
}

// The zlib stream of `raw` in stored blocks.
inline std::string zlibStored(const std::string& raw) {
  std::string out = "\x78\x01";
  size_t pos = 0;
  do {
    const size_t n = std::min<size_t>(raw.size() - pos, 65535);
    const bool last = pos + n == raw.size();
    out += static_cast<char>(last ? 1 : 0);
    out += static_cast<char>(n & 0xff);
    out += static_cast<char>(n >> 8);
    out += static_cast<char>(~n & 0xff);
    out += static_cast<char>((~n >> 8) & 0xff);
    out.append(raw, pos, n);
    pos += n;
  } while (pos < raw.size());
  unsigned long a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  return out + be32((b << 16) | a);
}

// A whole PNG of 8-bit RGB `rgb` given top row first, as the picture is seen.
inline std::string rgb8(int w, int h, const std::vector<unsigned char>& rgb) {
  std::string raw;
  for (int row = 0; row < h; ++row) {
    raw += '\0';
    raw.append(reinterpret_cast<const char*>(rgb.data()) + static_cast<size_t>(row) * w * 3,
               static_cast<size_t>(w) * 3);
  }
  return signature() + ihdr(w, h, 8, 2) + chunk("IDAT", zlibStored(raw)) + chunk("IEND", "");
}

}  // namespace png
