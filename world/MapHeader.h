// The header check a map file passes before any decoder sees it: the format from the leading
// bytes (PNG or JPEG only) and the picture's width and height from the PNG IHDR chunk or the JPEG
// frame (SOFn) marker, bounded without decoding or allocating anything.
#pragma once

#include <cstddef>
#include <string>

class MapHeader {
 public:
  enum class Format { Png, Jpeg };

  // Reads the header of the `size` bytes at `bytes`. Returns false and sets `error` to the cause
  // when the bytes are not PNG or JPEG (naming the format where it is recognised), when the
  // header is damaged or cut short, or when a side is outside 1..maxSide.
  bool read(const unsigned char* bytes, size_t size, int maxSide, std::string& error);

  Format format = Format::Png;
  int width = 0;
  int height = 0;

 private:
  bool readPng(const unsigned char* bytes, size_t size, int maxSide, std::string& error);
  bool readJpeg(const unsigned char* bytes, size_t size, int maxSide, std::string& error);
  // Stores the size when both sides are within 1..maxSide, else sets `error`.
  bool takeSize(unsigned long w, unsigned long h, int maxSide, std::string& error);
};
