// quillmarsh-holes: how many hard-edged black holes a screenshot shows. Counts pure-black pixels
// (0, 0, 0) with a pixel brighter than 40/255 in some channel within 2 pixels, per 10,000 pixels.
// Usage: quillmarsh-holes [--mark OUT.png] PICTURE.png [...]   (one line per picture; --mark
// writes the last picture with the counted pixels painted red, to see where they are)
#include <IL/il.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/RoomMapFile.h"
#include "platform/FileWriter.h"
#include "platform/image/Image.h"
#include "tools/ToolUsage.h"

namespace {

constexpr int kReach = 2;
constexpr int kBright = 40;
// Screenshots of any window the program draws, read with the checks maps and textures get.
constexpr Image::Limits kShotLimits{16384, size_t{256} << 20, "screenshot"};

// Per 10,000 pixels of the picture at `path`; -1 with the cause in `error` when it cannot be
// read, -2 when its marked copy (the counted pixels painted red) cannot be written whole as
// `markPath`.
double holesPer10000(const char* path, const char* markPath, std::string& error) {
  Image image;
  if (!image.load(path, error, kShotLimits)) return -1.0;
  const int w = image.width, h = image.height;
  std::vector<unsigned char>& rgb = image.pixels;
  std::vector<char> bright(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < bright.size(); ++i)
    bright[i] = rgb[3 * i] > kBright || rgb[3 * i + 1] > kBright || rgb[3 * i + 2] > kBright;
  long holes = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      if (p[0] != 0 || p[1] != 0 || p[2] != 0) continue;
      bool edge = false;
      for (int dy = -kReach; dy <= kReach && !edge; ++dy)
        for (int dx = -kReach; dx <= kReach && !edge; ++dx) {
          const int nx = x + dx, ny = y + dy;
          edge = nx >= 0 && ny >= 0 && nx < w && ny < h && bright[static_cast<size_t>(ny) * w + nx];
        }
      holes += edge;
      // Painted once every neighbour's brightness is known: the brightness was taken first.
      if (edge && markPath != nullptr) p[0] = 255;
    }
  if (markPath != nullptr) {
    // Both the picture and the encoder take the bottom row first.
    std::vector<unsigned char> png;
    error = std::string("cannot encode \"") + markPath + "\"";
    if (!encodeRgbPng(rgb, w, h, png) || !FileWriter::replace(markPath, png, error)) return -2.0;
  }
  return 10000.0 * holes / (static_cast<double>(w) * h);
}

}  // namespace

int main(int argc, char** argv) {
  const char* const usage = "quillmarsh-holes [--mark OUT.png] PICTURE.png [...]";
  if (const int status = checkToolArguments(argc, argv, usage, {"--mark"}); status >= 0)
    return status;
  // --mark anywhere, with its value; the rest are the pictures.
  const char* markPath = nullptr;
  std::vector<const char*> pictures;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) != "--mark") {
      pictures.push_back(argv[i]);
    } else if (i + 1 < argc && markPath == nullptr) {
      markPath = argv[++i];
    } else {
      pictures.clear();
      break;
    }
  }
  if (pictures.empty()) {
    std::fprintf(stderr, "usage: %s\n", usage);
    return 2;
  }
  ilInit();
  int status = 0;
  for (const char* picture : pictures) {
    std::string error;
    const double holes =
        holesPer10000(picture, picture == pictures.back() ? markPath : nullptr, error);
    if (holes == -1.0) {
      std::fprintf(stderr, "quillmarsh-holes: cannot read \"%s\": %s\n", picture, error.c_str());
      status = 1;
    } else if (holes < 0) {
      std::fprintf(stderr, "quillmarsh-holes: %s\n", error.c_str());
      status = 1;
    } else {
      std::printf("%s: %.1f hard-black pixels per 10,000\n", picture, holes);
    }
  }
  return status;
}
