// PNG encoding with DevIL, into memory: the caller writes the bytes, so that a failed write is
// seen (DevIL's own file writing reports success on a full disk).
#include <IL/il.h>

#include "app/RoomMapFile.h"

bool encodeRgbPng(const std::vector<unsigned char>& rgb, int width, int height,
                  std::vector<unsigned char>& png) {
  png.clear();
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3)
    return false;
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  // DevIL keeps rows bottom first, as the pixels are.
  bool encoded = ilTexImage(width, height, 1, 3, IL_RGB, IL_UNSIGNED_BYTE,
                            const_cast<unsigned char*>(rgb.data())) == IL_TRUE;
  ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
  while (ilGetError() != IL_NO_ERROR) {
  }
  // Room for the rows stored with no compression at all: a filter byte a row, and the headers of
  // the zlib blocks and of the PNG's chunks. A buffer too small is an error, never a cut file.
  const size_t room = rgb.size() + rgb.size() / 64 + static_cast<size_t>(height) + 4096;
  if (encoded) {
    png.resize(room);
    const ILuint size = ilSaveL(IL_PNG, png.data(), static_cast<ILuint>(room));
    encoded = ilGetError() == IL_NO_ERROR && size > 0 && size <= room;
    png.resize(encoded ? size : 0);
  }
  ilDeleteImages(1, &image);
  while (ilGetError() != IL_NO_ERROR) {
  }
  return encoded;
}

void offerSavedFile(const std::string&) {}
