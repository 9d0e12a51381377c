// quillmarsh-holes: how many hard-edged black holes a screenshot shows. Counts pure-black pixels
// (0, 0, 0) with a pixel brighter than 40/255 in some channel within 2 pixels, per 10,000 pixels.
// Usage: quillmarsh-holes [--mark OUT.png] PICTURE.png [...]   (one line per picture; --mark
// writes the last picture with the counted pixels painted red, to see where they are)
#include <IL/il.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/ToolUsage.h"

namespace {

constexpr int kReach = 2;
constexpr int kBright = 40;

// Per 10,000 pixels, or a negative number when the picture cannot be read.
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
    if (markPath != nullptr) {
      ilEnable(IL_FILE_OVERWRITE);
      ilSave(IL_PNG, markPath);
    }
    result = 10000.0 * holes / (static_cast<double>(w) * h);
  }
  ilDeleteImages(1, &image);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const char* const usage = "quillmarsh-holes [--mark OUT.png] PICTURE.png [...]";
  if (const int status = checkToolArguments(argc, argv, usage, {"--mark"}); status >= 0)
    return status;
  int first = 1;
  const char* markPath = nullptr;
  if (argc > 2 && std::string(argv[1]) == "--mark") {
    markPath = argv[2];
    first = 3;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: %s\n", usage);
    return 2;
  }
  ilInit();
  int status = 0;
  for (int i = first; i < argc; ++i) {
    const double holes = holesPer10000(argv[i], i == argc - 1 ? markPath : nullptr);
    if (holes < 0) {
      std::fprintf(stderr, "quillmarsh-holes: cannot read \"%s\"\n", argv[i]);
      status = 1;
    } else {
      std::printf("%s: %.1f hard-black pixels per 10,000\n", argv[i], holes);
    }
  }
  return status;
}
