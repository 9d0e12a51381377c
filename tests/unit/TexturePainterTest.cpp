// The texture painter behind quillmarsh-texgen: fixed seeds give fixed pictures, and the committed
// images are what it paints today.
#include "tools/TexturePainter.h"

#include <IL/il.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

constexpr int kSize = 256;

TEST(TexturePainter, SameSeedGivesTheSamePictureAndAnotherSeedAnother) {
  const RgbImage a = TexturePainter::paintTiles(kSize, 4, 11u);
  const RgbImage b = TexturePainter::paintTiles(kSize, 4, 11u);
  const RgbImage c = TexturePainter::paintTiles(kSize, 4, 12u);
  ASSERT_EQ(a.width, kSize);
  ASSERT_EQ(a.height, kSize);
  ASSERT_EQ(a.pixels.size(), static_cast<size_t>(kSize * kSize * 3));
  EXPECT_EQ(a.pixels, b.pixels);
  EXPECT_NE(a.pixels, c.pixels);
  EXPECT_EQ(TexturePainter::paintGlass(kSize, 3u).pixels,
            TexturePainter::paintGlass(kSize, 3u).pixels);
}

TEST(TexturePainter, CommittedImagesAreWhatTheGeneratorPaints) {
  struct Expected {
    const char* file;
    RgbImage image;
  };
  const Expected expected[] = {
      {"tile2.jpg", TexturePainter::paintTiles(kSize, 4, 0x7113u)},
      {"tileglass1.jpg", TexturePainter::paintGlass(kSize, 0x6a55u)},
      {"lighttex.jpg", TexturePainter::paintLightSpot(kSize, 0x1167u)},
  };
  ilInit();
  ilEnable(IL_ORIGIN_SET);
  ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
  for (const Expected& e : expected) {
    const std::string path = std::string(QUILLMARSH_SOURCE_DIR) + "/media/textures/" + e.file;
    ILuint name = 0;
    ilGenImages(1, &name);
    ilBindImage(name);
    ASSERT_TRUE(ilLoadImage(path.c_str())) << path;
    ASSERT_TRUE(ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE)) << path;
    ASSERT_EQ(ilGetInteger(IL_IMAGE_WIDTH), kSize) << path;
    ASSERT_EQ(ilGetInteger(IL_IMAGE_HEIGHT), kSize) << path;
    const ILubyte* data = ilGetData();
    double error = 0.0;
    for (size_t i = 0; i < e.image.pixels.size(); ++i)
      error += std::abs(data[i] - e.image.pixels[i]);
    ilDeleteImages(1, &name);
    // JPEG at quality 90 moves a channel by a unit or two on average.
    EXPECT_LT(error / e.image.pixels.size(), 3.0) << path << ": remake with quillmarsh-texgen";
  }
  ilDisable(IL_ORIGIN_SET);
  while (ilGetError() != IL_NO_ERROR) continue;
}
