// Picture decoding, what every build shares: the file read through FileReader, the size and the
// header checked before any decoder sees a byte; the decoding itself is the build's (DevIL in
// ImageDevIL.cpp, stb_image in the page).
#include "platform/image/Image.h"

#include "platform/FileReader.h"
#include "platform/image/ImageHeader.h"

bool Image::load(const char* fileName, std::string& error, const Limits& limits) {
  width = height = 0;
  pixels.clear();
  std::string bytes;
  const std::string what = std::string("a ") + limits.kind + " file";
  return FileReader::read(fileName, limits.maxFileBytes, what.c_str(), bytes, error) &&
         decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), error, limits);
}

bool Image::decode(const unsigned char* bytes, size_t size, std::string& error,
                   const Limits& limits) {
  width = height = 0;
  pixels.clear();

  if (size > limits.maxFileBytes) {
    error = "it is " + std::to_string(size) + " bytes; a " + limits.kind + " file is at most " +
            std::to_string(limits.maxFileBytes) + " bytes";
    return false;
  }
  ImageHeader header;
  if (!header.read(bytes, size, limits.maxSide, error, limits.kind)) return false;
  return decodeChecked(bytes, size, header, error);
}
