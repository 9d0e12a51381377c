// The texture painter behind quillmarsh-texgen: the committed images are what it paints from their
// fixed seeds today, so a change to the painter or a picture painted from anything but its seed
// shows up here. Images are 8-bit RGB, compared as mean absolute difference per channel.
#include "tools/TexturePainter.h"

#include <IL/il.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

TEST(TexturePainter, CommittedImagesAreWhatTheGeneratorPaints) {
  constexpr int kSize = 256;
  const std::pair<const char*, RgbImage> expected[] = {
      {"tile2.jpg", TexturePainter::paintTiles(kSize, 4, 0x7113u)},
      {"tileglass1.jpg", TexturePainter::paintGlass(kSize, 0x6a55u)},
      {"lighttex.jpg", TexturePainter::paintLightSpot(kSize, 0x1167u)},
  };
  ilInit();
  ilEnable(IL_ORIGIN_SET);
  ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
  for (const auto& [file, image] : expected) {
    const std::string path = std::string(QUILLMARSH_SOURCE_DIR) + "/media/textures/" + file;
    ILuint name = 0;
    ilGenImages(1, &name);
    ilBindImage(name);
    ASSERT_TRUE(ilLoadImage(path.c_str()) && ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE)) << path;
    ASSERT_EQ(ilGetInteger(IL_IMAGE_WIDTH), kSize) << path;
    ASSERT_EQ(ilGetInteger(IL_IMAGE_HEIGHT), kSize) << path;
    ASSERT_EQ(image.pixels.size(), static_cast<size_t>(kSize * kSize * 3)) << path;
    const ILubyte* data = ilGetData();
    double error = 0.0;
    for (size_t i = 0; i < image.pixels.size(); ++i) error += std::abs(data[i] - image.pixels[i]);
    ilDeleteImages(1, &name);
    // JPEG at quality 90 moves a channel by a unit or two on average.
    EXPECT_LT(error / image.pixels.size(), 3.0) << path << ": remake with quillmarsh-texgen";
  }
  ilDisable(IL_ORIGIN_SET);
  while (ilGetError() != IL_NO_ERROR) continue;
}
