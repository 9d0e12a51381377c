// quillmarsh-texgen: writes the program's image textures "tile2.jpg", "tileglass1.jpg" and
// "lighttex.jpg" (256 x 256, JPEG quality 90) into a folder, by default media/textures.
// Fixed seeds: the same build always writes the same pictures.
#include <IL/il.h>

#include <cstdio>
#include <string>

#include "tools/TexturePainter.h"

namespace {

constexpr int kSize = 256;
constexpr int kJpegQuality = 90;

bool save(const RgbImage& image, const std::string& path) {
  ILuint name = 0;
  ilGenImages(1, &name);
  ilBindImage(name);
  // Our rows run top to bottom; tell DevIL so the file shows the picture upright.
  bool ok = ilTexImage(image.width, image.height, 1, 3, IL_RGB, IL_UNSIGNED_BYTE,
                       const_cast<std::uint8_t*>(image.pixels.data())) == IL_TRUE;
  if (ok) {
    ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
    ok = ilSave(IL_JPG, path.c_str()) == IL_TRUE;
  }
  ilDeleteImages(1, &name);
  while (ilGetError() != IL_NO_ERROR) {
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: %s [output-folder]\n", argv[0]);
    return 1;
  }
  const std::string folder = argc == 2 ? argv[1] : "media/textures";
  ilInit();
  ilEnable(IL_FILE_OVERWRITE);
  ilSetInteger(IL_JPG_QUALITY, kJpegQuality);

  struct Output {
    const char* file;
    RgbImage image;
  };
  const Output outputs[] = {
      {"tile2.jpg", TexturePainter::paintTiles(kSize, 4, 0x7113u)},
      {"tileglass1.jpg", TexturePainter::paintGlass(kSize, 0x6a55u)},
      {"lighttex.jpg", TexturePainter::paintLightSpot(kSize, 0x1167u)},
  };
  for (const Output& output : outputs) {
    const std::string path = folder + "/" + output.file;
    if (!save(output.image, path)) {
      std::fprintf(stderr, "quillmarsh-texgen: cannot write \"%s\"\n", path.c_str());
      return 1;
    }
    std::printf("wrote %s\n", path.c_str());
  }
  return 0;
}
