// PNG files in the page (app/RoomMapFile.h): written by stb_image_write (Debian's libstb-dev) in
// DevIL's place into the page's memory, and each also handed to the browser as a download, since
// the page's files vanish with it.
#include <emscripten.h>

#include <cstdio>

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
  if (std::fclose(file) != 0 || !written) return false;
  offerDownload(path.substr(path.rfind('/') + 1).c_str(), png.data(), static_cast<int>(png.size()));
  return true;
}
