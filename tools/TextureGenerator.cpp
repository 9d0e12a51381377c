// quillmarsh-texgen: writes the program's image textures "tile2.jpg", "tileglass1.jpg" and
// "lighttex.jpg" (256 x 256, JPEG quality 90) into a folder, by default media/textures.
// Fixed seeds: the same build always writes the same pictures.
#include <IL/il.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/FileWriter.h"
#include "tools/TexturePainter.h"
#include "tools/ToolUsage.h"

namespace {

constexpr int kSize = 256;
constexpr int kJpegQuality = 90;

// Encoded in memory and written by the file writer: DevIL's own file writing reports success for
// a file cut short (a full disk), and the old picture stays until the new one is whole.
bool save(const RgbImage& image, const std::string& path, std::string& error) {
  ILuint name = 0;
  ilGenImages(1, &name);
  ilBindImage(name);
  // Our rows run top to bottom; tell DevIL so the file shows the picture upright.
  bool ok = ilTexImage(image.width, image.height, 1, 3, IL_RGB, IL_UNSIGNED_BYTE,
                       const_cast<std::uint8_t*>(image.pixels.data())) == IL_TRUE;
  // A baseline JPEG at this quality is far smaller than the pixels; too small a buffer is an
  // error, never a cut file.
  std::vector<unsigned char> jpeg(image.pixels.size() + 65536);
  if (ok) {
    ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
    const ILuint size = ilSaveL(IL_JPG, jpeg.data(), static_cast<ILuint>(jpeg.size()));
    ok = ilGetError() == IL_NO_ERROR && size > 0 && size <= jpeg.size();
    jpeg.resize(ok ? size : 0);
  }
  ilDeleteImages(1, &name);
  while (ilGetError() != IL_NO_ERROR) {
  }
  if (!ok) error = "cannot encode \"" + path + "\"";
  return ok && FileWriter::replace(path, jpeg, error);
}

}  // namespace

int main(int argc, char** argv) {
  const char* const usage = "quillmarsh-texgen [OUTPUT-FOLDER]";
  if (const int status = checkToolArguments(argc, argv, usage); status >= 0) return status;
  // An empty folder (an unset variable) would put the textures at the file system's root.
  if (argc > 2 || (argc == 2 && argv[1][0] == '\0')) {
    std::fprintf(stderr, "usage: %s\n", usage);
    return 2;
  }
  const std::string folder = argc == 2 ? argv[1] : "media/textures";
  ilInit();
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
    std::string error;
    if (!save(output.image, path, error)) {
      std::fprintf(stderr, "quillmarsh-texgen: %s\n", error.c_str());
      return 1;
    }
    std::printf("wrote %s\n", path.c_str());
  }
  return 0;
}
