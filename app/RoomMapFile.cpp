// Free file names and the room's map file; the PNG writing is the build's (RoomMapFileDevIL.cpp
// here, stb_image_write in the page).
#include "app/RoomMapFile.h"

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
