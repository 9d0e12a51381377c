// The room's map file in the page (app/RoomMapFile.h): numbered free names in the page's memory,
// PNG written by stb_image_write (Debian's libstb-dev) in DevIL's place, and each saved map also
// handed to the browser as a download, since the page's files vanish with it.
#include <emscripten.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/RoomMapFile.h"

#include <stb/stb_image_write.h>

namespace {

EM_JS(void, offerDownload, (const char* name, const unsigned char* bytes, int size), {
  if (typeof document === 'undefined') return;
  var blob = new Blob([HEAPU8.slice(bytes, bytes + size)], {type: 'image/png'});
  var link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = UTF8ToString(name);
  link.click();
});

void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<unsigned char>*>(context);
  const auto* bytes = static_cast<const unsigned char*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

std::string reserveFreeFile(const std::string& folder, const std::string& prefix) {
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return "";
  for (int n = 1; n <= 9999; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "-%03d.png", n);
    const std::string path = folder + "/" + prefix + name;
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
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3)
    return false;
  std::vector<unsigned char> png;
  // The pixels are bottom row first; a PNG starts at the top.
  stbi_flip_vertically_on_write(1);
  if (stbi_write_png_to_func(appendBytes, &png, width, height, 3, rgb.data(), width * 3) == 0)
    return false;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && written;
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
  std::vector<unsigned char> bytes;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    unsigned char chunk[4096];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
      bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
  }
  offerDownload(path.substr(path.rfind('/') + 1).c_str(), bytes.data(),
                static_cast<int>(bytes.size()));
  return path;
}
