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
#include "tools/ToolUsage.h"

namespace {

constexpr int kReach = 2;
constexpr int kBright = 40;

// The bound picture, its counted pixels painted red, written whole as `markPath` (encoded in
// memory: DevIL's own file writing reports a file cut short as written). False when it is not.
bool writeMarked(const char* markPath, int w, int h) {
  std::vector<unsigned char> rgb(ilGetData(), ilGetData() + static_cast<size_t>(w) * h * 3);
  // The encoder takes the bottom row first.
  if (ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_UPPER_LEFT)
    for (int y = 0; y < h / 2; ++y)
      std::swap_ranges(rgb.begin() + static_cast<long>(y) * w * 3,
                       rgb.begin() + static_cast<long>(y + 1) * w * 3,
                       rgb.begin() + static_cast<long>(h - 1 - y) * w * 3);
  std::vector<unsigned char> png;
  std::string error = std::string("cannot encode \"") + markPath + "\"";
  if (encodeRgbPng(rgb, w, h, png) && FileWriter::replace(markPath, png, error)) return true;
  std::fprintf(stderr, "quillmarsh-holes: %s\n", error.c_str());
  return false;
}

// Per 10,000 pixels; -1 when the picture cannot be read, -2 when its marked copy cannot be
// written.
double holesPer10000(const char* path, const char* markPath) {
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  double result = -1.0;
  if (ilLoadImage(path) == IL_TRUE && ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE) == IL_TRUE) {
    const int w = ilGetInteger(IL_IMAGE_WIDTH), h = ilGetInteger(IL_IMAGE_HEIGHT);
    const unsigned char* rgb = ilGetData();
    std::vector<char> bright(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < bright.size(); ++i)
      bright[i] = rgb[3 * i] > kBright || rgb[3 * i + 1] > kBright || rgb[3 * i + 2] > kBright;
    long holes = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned char* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
        if (p[0] != 0 || p[1] != 0 || p[2] != 0) continue;
        bool edge = false;
        for (int dy = -kReach; dy <= kReach && !edge; ++dy)
          for (int dx = -kReach; dx <= kReach && !edge; ++dx) {
            const int nx = x + dx, ny = y + dy;
            edge = nx >= 0 && ny >= 0 && nx < w && ny < h && bright[static_cast<size_t>(ny) * w + nx];
          }
        holes += edge;
        if (edge && markPath != nullptr) {
          unsigned char* q = ilGetData() + (static_cast<size_t>(y) * w + x) * 3;
          q[0] = 255;
        }
      }
    result = 10000.0 * holes / (static_cast<double>(w) * h);
    if (markPath != nullptr && !writeMarked(markPath, w, h)) result = -2.0;
  }
  ilDeleteImages(1, &image);
  return result;
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
    const double holes = holesPer10000(picture, picture == pictures.back() ? markPath : nullptr);
    if (holes < 0) {
      if (holes == -1.0) std::fprintf(stderr, "quillmarsh-holes: cannot read \"%s\"\n", picture);
      status = 1;
    } else {
      std::printf("%s: %.1f hard-black pixels per 10,000\n", picture, holes);
    }
  }
  return status;
}
