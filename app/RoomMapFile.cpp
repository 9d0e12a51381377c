// The room's map file and PNG files written whole; the encoding is the build's
// (RoomMapFileDevIL.cpp here, stb_image_write in the page).
#include "app/RoomMapFile.h"

#include "platform/FileWriter.h"

bool writeRgbPng(const std::string& path, const std::vector<unsigned char>& rgb, int width,
                 int height) {
  std::vector<unsigned char> png;
  std::string error;
  return encodeRgbPng(rgb, width, height, png) && FileWriter::replace(path, png, error);
}

std::string saveRoomMap(const std::vector<unsigned char>& rgb, int width, int height,
                        std::string& error) {
  std::vector<unsigned char> png;
  if (!encodeRgbPng(rgb, width, height, png)) {
    error = "cannot encode a " + std::to_string(width) + " x " + std::to_string(height) +
            " picture as PNG";
    return "";
  }
  return FileWriter::writeNew("maps", "room", ".png", png, error);
}
