// PNG files and saved rooms in the page (app/RoomMapFile.h): encoded by stb_image_write (Debian's
// libstb-dev) in DevIL's place, and every file the user saves handed to the browser as a
// download, since the page's files vanish with it.
#include <emscripten.h>
#include <unistd.h>

#include <string>

#include "app/RoomMapFile.h"
#include "platform/FileReader.h"
#include "world/VoxRoom.h"

#include <stb/stb_image_write.h>

namespace {

// 1 when offered (0 with no document: the tests under Node). The blob is let go once the browser
// has had a minute to take it: each save would otherwise hold its bytes for the page's life.
EM_JS(int, offerDownload, (const char* name, const char* type, const char* bytes, int size), {
  if (typeof document === 'undefined') return 0;
  var blob = new Blob([HEAPU8.slice(bytes, bytes + size)], {type: UTF8ToString(type)});
  var link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = UTF8ToString(name);
  link.click();
  setTimeout(function () { URL.revokeObjectURL(link.href); }, 60000);
  return 1;
});

void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<unsigned char>*>(context);
  const auto* bytes = static_cast<const unsigned char*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

bool encodeRgbPng(const std::vector<unsigned char>& rgb, int width, int height,
                  std::vector<unsigned char>& png) {
  png.clear();
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3)
    return false;
  // The pixels are bottom row first; a PNG starts at the top.
  stbi_flip_vertically_on_write(1);
  return stbi_write_png_to_func(appendBytes, &png, width, height, 3, rgb.data(), width * 3) != 0;
}

void offerSavedFile(const std::string& path) {
  std::string bytes, error;
  // The file was written a moment ago in the page's memory, no larger than a scene it reads.
  if (!FileReader::read(path.c_str(), VoxRoomLimits().file.maxFileBytes, "a saved file", bytes, error)) return;
  const char* type = endsWith(path, ".png") ? "image/png" : "application/octet-stream";
  // The download holds the bytes now; the page's copy would stay in its memory for its life (a
  // large room's scene is tens of megabytes). Emptied, the file still takes its number, so the
  // next save gets the next one.
  if (offerDownload(path.substr(path.rfind('/') + 1).c_str(), type, bytes.data(),
                    static_cast<int>(bytes.size())) != 0)
    truncate(path.c_str(), 0);
}
