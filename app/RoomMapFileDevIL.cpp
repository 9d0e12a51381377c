// Writes a picture as a PNG file with DevIL.
#include <IL/il.h>

#include "app/RoomMapFile.h"

bool writeRgbPng(const std::string& path, const std::vector<unsigned char>& rgb, int width,
                 int height) {
  if (rgb.size() != static_cast<size_t>(width) * height * 3) return false;
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  // DevIL keeps rows bottom first, as the pixels are.
  bool saved = ilTexImage(width, height, 1, 3, IL_RGB, IL_UNSIGNED_BYTE,
                          const_cast<unsigned char*>(rgb.data())) == IL_TRUE;
  ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
  ilEnable(IL_FILE_OVERWRITE);
  saved = saved && ilSave(IL_PNG, path.c_str()) == IL_TRUE;
  ilDeleteImages(1, &image);
  while (ilGetError() != IL_NO_ERROR) {
  }
  return saved;
}
