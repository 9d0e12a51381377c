// The texture painter behind quillmarsh-texgen, and the committed images it made: tiles that
// repeat without seams, pale framed glass, a light spot that fades to black, fixed seeds.
#include "tools/TexturePainter.h"

#include <IL/il.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

constexpr int kSize = 256;

float brightness(const RgbImage& image, int x, int y) {
  const std::uint8_t* p = image.at(x, y);
  return (p[0] + p[1] + p[2]) / 3.0f;
}

float meanBrightness(const RgbImage& image, int x0, int y0, int x1, int y1) {
  float sum = 0.0f;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) sum += brightness(image, x, y);
  }
  return sum / static_cast<float>((x1 - x0) * (y1 - y0));
}

// Mean absolute brightness step between columns (or rows) a and b.
float columnStep(const RgbImage& image, int a, int b) {
  float sum = 0.0f;
  for (int y = 0; y < image.height; ++y) {
    sum += std::fabs(brightness(image, a, y) - brightness(image, b, y));
  }
  return sum / image.height;
}

float rowStep(const RgbImage& image, int a, int b) {
  float sum = 0.0f;
  for (int x = 0; x < image.width; ++x) {
    sum += std::fabs(brightness(image, x, a) - brightness(image, x, b));
  }
  return sum / image.width;
}

}  // namespace

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

TEST(TexturePainter, TilesHaveDarkMortarBetweenLightTilesAndJoinAcrossTheEdges) {
  const RgbImage image = TexturePainter::paintTiles(kSize, 4, 0x7113u);
  const int tile = kSize / 4;
  for (int t = 0; t < 4; ++t) {
    const int c = t * tile + tile / 2;
    EXPECT_GT(meanBrightness(image, c - 8, c - 8, c + 8, c + 8), 140.0f) << "tile centre " << t;
    if (t > 0) {
      // The mortar line between tile t - 1 and t, along the whole picture.
      EXPECT_LT(meanBrightness(image, t * tile - 1, 0, t * tile + 1, kSize), 115.0f) << t;
      EXPECT_LT(meanBrightness(image, 0, t * tile - 1, kSize, t * tile + 1), 115.0f) << t;
    }
  }
  // The border carries half a mortar line, so the picture wraps onto itself without a jump:
  // the step from the last column to the first is no larger than steps inside the mortar.
  EXPECT_LT(meanBrightness(image, 0, 0, 1, kSize), 115.0f);
  EXPECT_LT(meanBrightness(image, kSize - 1, 0, kSize, kSize), 115.0f);
  EXPECT_LT(columnStep(image, kSize - 1, 0), columnStep(image, tile - 1, tile) + 8.0f);
  EXPECT_LT(rowStep(image, kSize - 1, 0), rowStep(image, tile - 1, tile) + 8.0f);
}

TEST(TexturePainter, GlassIsAPaleBlueGreenPaneInsideAFrame) {
  const RgbImage image = TexturePainter::paintGlass(kSize, 0x6a55u);
  double r = 0, g = 0, b = 0;
  for (int y = 40; y < kSize - 40; ++y) {
    for (int x = 40; x < kSize - 40; ++x) {
      r += image.at(x, y)[0];
      g += image.at(x, y)[1];
      b += image.at(x, y)[2];
    }
  }
  const double n = (kSize - 80.0) * (kSize - 80.0);
  EXPECT_GT((r + g + b) / (3 * n), 190.0) << "pale";
  EXPECT_GT(g, r);
  EXPECT_GT(b, r);
  // The frame's bars are grey metal, the pane beside them is tinted.
  const auto tint = [&](int x0, int y0, int x1, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) sum += image.at(x, y)[1] - image.at(x, y)[0];
    }
    return sum / ((x1 - x0) * (y1 - y0));
  };
  EXPECT_LT(tint(30, 4, kSize - 30, 10), tint(30, 30, kSize - 30, 36) - 10.0);
  EXPECT_LT(tint(4, 30, 10, kSize - 30), tint(30, 30, 36, kSize - 30) - 10.0);
  EXPECT_LT(tint(kSize - 10, 30, kSize - 4, kSize - 30), tint(30, 30, 36, kSize - 30) - 10.0);
}

TEST(TexturePainter, LightSpotIsBrightInTheMiddleAndFadesToBlack) {
  const RgbImage image = TexturePainter::paintLightSpot(kSize, 0x1167u);
  EXPECT_GT(brightness(image, kSize / 2, kSize / 2), 240.0f);
  for (int corner : {0, kSize - 1}) {
    EXPECT_LE(brightness(image, corner, corner), 1.0f);
    EXPECT_LE(brightness(image, corner, kSize - 1 - corner), 1.0f);
  }
  EXPECT_LE(brightness(image, kSize / 2, 0), 1.0f) << "black at the edge's midpoint";
  // Falls off along a radius, allowing one step of dither.
  for (int x = kSize / 2 + 1; x < kSize; ++x) {
    EXPECT_LE(brightness(image, x, kSize / 2), brightness(image, x - 1, kSize / 2) + 1.0f) << x;
  }
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
    for (size_t i = 0; i < e.image.pixels.size(); ++i) {
      error += std::abs(data[i] - e.image.pixels[i]);
    }
    ilDeleteImages(1, &name);
    // JPEG at quality 90 moves a channel by a unit or two on average.
    EXPECT_LT(error / e.image.pixels.size(), 3.0) << path << ": remake with quillmarsh-texgen";
  }
  ilDisable(IL_ORIGIN_SET);
  while (ilGetError() != IL_NO_ERROR) {
  }
}
