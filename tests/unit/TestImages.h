// Helpers for tests that need image files: start DevIL once, and PNG files written byte by byte
// (with zlib, not the library under test).
#pragma once

#ifndef __EMSCRIPTEN__
#include <IL/il.h>
#endif
#include <zlib.h>

#include <string>
#include <vector>

// The browser build decodes with stb_image, which needs no start.
inline void startImageLibrary() {
#ifndef __EMSCRIPTEN__
  static const bool started = (ilInit(), true);
  (void)started;
#endif
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

inline std::string ihdr(unsigned long w, unsigned long h, int depth, int colourType, int adam7 = 0) {
  const char rest[5] = {static_cast<char>(depth), static_cast<char>(colourType), 0, 0, static_cast<char>(adam7)};
  return chunk("IHDR", be32(w) + be32(h) + std::string(rest, 5));
}

// A whole PNG of `raw` rows (each with its filter byte) in one IDAT, with `extra` chunks (PLTE).
inline std::string image(unsigned long w, unsigned long h, int depth, int colourType,
                         const std::string& raw, const std::string& extra = "", int adam7 = 0) {
  std::string data(compressBound(raw.size()), '\0');
  uLongf size = data.size();
  compress(reinterpret_cast<Bytef*>(&data[0]), &size, reinterpret_cast<const Bytef*>(raw.data()), raw.size());
  return signature() + ihdr(w, h, depth, colourType, adam7) + extra +
         chunk("IDAT", data.substr(0, size)) + chunk("IEND", "");
}

// A whole PNG of 8-bit RGB `rgb` given top row first, as the picture is seen.
inline std::string rgb8(int w, int h, const std::vector<unsigned char>& rgb) {
  std::string raw;
  for (int row = 0; row < h; ++row)
    raw += '\0' + std::string(rgb.begin() + row * w * 3, rgb.begin() + (row + 1) * w * 3);
  return image(w, h, 8, 2, raw);
}

}  // namespace png
