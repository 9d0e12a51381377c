// Free file names and the room's map file.
#include "app/RoomMapFile.h"

#include <IL/il.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

std::string reserveFreeFile(const std::string& folder, const std::string& prefix) {
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return "";
  for (int n = 1; n <= 9999; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "-%03d.png", n);
    const std::string path = folder + "/" + prefix + name;
    // An exclusive create cannot take a name an earlier run (or another program) holds.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      close(fd);
      return path;
    }
    if (errno != EEXIST) return "";
  }
  return "";
}

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

std::string saveRoomMap(const std::vector<unsigned char>& rgb, int width, int height,
                        std::string& error) {
  const std::string path = reserveFreeFile("maps", "room");
  if (path.empty()) {
    error = std::string("no free file name under \"maps\" (") + std::strerror(errno) + ")";
    return "";
  }
  if (!writeRgbPng(path, rgb, width, height)) {
    error = "cannot write \"" + path + "\"";
    return "";
  }
  return path;
}
