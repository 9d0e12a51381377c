// Image texture loader: the two log lines, row order, tight rows at odd widths, conversion of
// palette and grey images, the sampling settings of both forms, and the fatal undecodable file.
// Runs in its own working directory; "image_out.txt" there is this process's log.
#include <GL/glew.h>
#include <IL/il.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "GlTestSupport.h"
#include "Utils/TextureLoader.h"

namespace {

using Rgb = std::array<int, 3>;

class TextureLoaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ilInit(); }
  void TearDown() override { gltest::drainGlErrors(); }
};

// Packed RGB bytes of level 0 of `texture`, bottom row first.
std::vector<unsigned char> textureBytes(GLuint texture, int* width, int* height) {
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, height);
  std::vector<unsigned char> bytes(static_cast<size_t>(*width) * *height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, bytes.data());
  return bytes;
}

Rgb texel(const std::vector<unsigned char>& bytes, int width, int x, int y) {
  const size_t i = (static_cast<size_t>(y) * width + x) * 3;
  return {bytes[i], bytes[i + 1], bytes[i + 2]};
}

// A DevIL-written PNG of `rgb` converted to `format` (IL_LUMINANCE, IL_COLOUR_INDEX).
void writePngAs(const std::string& path, int width, int height, std::vector<unsigned char> rgb,
                ILenum format) {
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  ilTexImage(width, height, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data());
  ilConvertImage(format, IL_UNSIGNED_BYTE);
  ilEnable(IL_FILE_OVERWRITE);
  ilSave(IL_PNG, path.c_str());
  ilDeleteImages(1, &image);
  while (ilGetError() != IL_NO_ERROR) {
  }
}

// A palette PNG of 3 x 2: left two columns palette entry 0 (200, 40, 40), right column entry 1
// (40, 200, 40). The palette is given in full: DevIL's writer reads 256 entries whatever the
// image uses, so its own quantised palettes make it read past their end.
void writePalettePng(const std::string& path) {
  const unsigned char indices[6] = {0, 0, 1, 0, 0, 1};
  std::vector<unsigned char> palette(256 * 3, 0);
  const unsigned char used[6] = {200, 40, 40, 40, 200, 40};
  std::copy(used, used + 6, palette.begin());
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  ilTexImage(3, 2, 1, 1, IL_COLOUR_INDEX, IL_UNSIGNED_BYTE, const_cast<unsigned char*>(indices));
  ilRegisterPal(palette.data(), static_cast<ILuint>(palette.size()), IL_PAL_RGB24);
  ilEnable(IL_FILE_OVERWRITE);
  ilSave(IL_PNG, path.c_str());
  ilDeleteImages(1, &image);
  while (ilGetError() != IL_NO_ERROR) {
  }
}

// Colour type byte of a PNG's header chunk: 0 grey, 2 RGB, 3 palette.
int pngColourType(const std::string& path) {
  const std::string bytes = gltest::readFile(path);
  return bytes.size() > 25 ? static_cast<unsigned char>(bytes[25]) : -1;
}

std::vector<unsigned char> solid(int width, int height, Rgb colour) {
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(colour[i % 3]);
  return rgb;
}

}  // namespace

TEST_F(TextureLoaderTest, LogsFileNameThenHeightAndWidth) {
  const std::string path = gltest::makeScratchDir("dims") + "/wide.ppm";
  gltest::writePpm(path, 256, 128, solid(256, 128, {10, 20, 30}).data());
  const std::string before = gltest::readFile("image_out.txt");
  GLuint texture = 0;
  loadTexture(path.c_str(), &texture);
  const std::string after = gltest::readFile("image_out.txt");
  ASSERT_EQ(after.compare(0, before.size(), before), 0) << "earlier lines stay, in order";
  EXPECT_EQ(after.substr(before.size()),
            "filename " + path + "\nloaded image dimensions h: 128 w: 256\n");
  EXPECT_NE(texture, 0u);
  EXPECT_EQ(static_cast<GLuint>(gltest::integer(GL_TEXTURE_BINDING_2D)), texture)
      << "the new texture stays bound";
  EXPECT_FALSE(ilIsEnabled(IL_ORIGIN_SET)) << "forced origin is on only during a load";
}

TEST_F(TextureLoaderTest, BottomRowOfThePictureIsTextureRowZero) {
  const std::string path = gltest::makeScratchDir("rows") + "/redtop.ppm";
  std::vector<unsigned char> rgb = solid(4, 2, {255, 0, 0});  // the file's top rows come first
  const std::vector<unsigned char> blue = solid(4, 2, {0, 0, 255});
  rgb.insert(rgb.end(), blue.begin(), blue.end());
  gltest::writePpm(path, 4, 4, rgb.data());
  GLuint texture = 0;
  loadTexture(path.c_str(), &texture);
  int width = 0, height = 0;
  const auto bytes = textureBytes(texture, &width, &height);
  ASSERT_EQ(height, 4);
  EXPECT_EQ(texel(bytes, width, 0, 0), (Rgb{0, 0, 255}));
  EXPECT_EQ(texel(bytes, width, 3, 1), (Rgb{0, 0, 255}));
  EXPECT_EQ(texel(bytes, width, 0, 3), (Rgb{255, 0, 0}));
}

TEST_F(TextureLoaderTest, OddWidthUploadsTightRowsAndKeepsTheUnpackAlignment) {
  const std::string path = gltest::makeScratchDir("odd") + "/odd.ppm";
  const int width = 5, height = 3;
  std::vector<unsigned char> rgb;
  for (int i = 0; i < width * height * 3; ++i) rgb.push_back(static_cast<unsigned char>(i * 5));
  gltest::writePpm(path, width, height, rgb.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
  GLuint texture = 0;
  loadTexture(path.c_str(), &texture);
  EXPECT_EQ(gltest::integer(GL_UNPACK_ALIGNMENT), 8);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);

  int w = 0, h = 0;
  const auto bytes = textureBytes(texture, &w, &h);
  ASSERT_EQ(w, width);
  ASSERT_EQ(h, height);
  for (int y = 0; y < height; ++y) {
    const int fileRow = height - 1 - y;
    for (int x = 0; x < width; ++x) {
      const size_t i = (static_cast<size_t>(fileRow) * width + x) * 3;
      EXPECT_EQ(texel(bytes, w, x, y), (Rgb{rgb[i], rgb[i + 1], rgb[i + 2]})) << x << "," << y;
    }
  }
}

TEST_F(TextureLoaderTest, PaletteAndGreyPngsArriveAsRgb) {
  const std::string dir = gltest::makeScratchDir("layouts");
  writePalettePng(dir + "/palette.png");
  writePngAs(dir + "/grey.png", 3, 2, solid(3, 2, {90, 90, 90}), IL_LUMINANCE);
  ASSERT_EQ(pngColourType(dir + "/palette.png"), 3);
  ASSERT_EQ(pngColourType(dir + "/grey.png"), 0);

  GLuint palette = 0, grey = 0;
  loadTexture((dir + "/palette.png").c_str(), &palette);
  loadTexture((dir + "/grey.png").c_str(), &grey);
  int w = 0, h = 0;
  auto bytes = textureBytes(palette, &w, &h);
  ASSERT_EQ(w, 3);
  const Rgb left = texel(bytes, w, 0, 0), right = texel(bytes, w, 2, 1);
  EXPECT_EQ(left, (Rgb{200, 40, 40}));
  EXPECT_EQ(texel(bytes, w, 1, 1), (Rgb{200, 40, 40}));
  EXPECT_EQ(right, (Rgb{40, 200, 40}));
  bytes = textureBytes(grey, &w, &h);
  EXPECT_EQ(texel(bytes, w, 1, 1), (Rgb{90, 90, 90}));
}

TEST_F(TextureLoaderTest, AlphaAndGreyLayoutsAreConvertedToThreeBytesAPixel) {
  const std::string dir = gltest::makeScratchDir("converted");
  // 5 x 2 with alpha: four bytes a pixel read as three would shift every later pixel.
  std::vector<unsigned char> rgb = solid(5, 2, {10, 20, 30});
  rgb[3 * 3 + 0] = 250;  // pixel 3 of each row differs
  rgb[(5 + 3) * 3 + 0] = 250;
  writePngAs(dir + "/alpha.png", 5, 2, rgb, IL_RGBA);
  ASSERT_EQ(pngColourType(dir + "/alpha.png"), 6);
  gltest::writeFile(dir + "/grey.pgm", std::string("P5\n3 1\n255\n") + "\x10\x80\xf0");

  GLuint alpha = 0, grey = 0;
  loadTexture((dir + "/alpha.png").c_str(), &alpha);
  loadTexture((dir + "/grey.pgm").c_str(), &grey);
  int w = 0, h = 0;
  auto bytes = textureBytes(alpha, &w, &h);
  ASSERT_EQ(w, 5);
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(texel(bytes, w, x, 1), (Rgb{x == 3 ? 250 : 10, 20, 30})) << x;
  }
  bytes = textureBytes(grey, &w, &h);
  ASSERT_EQ(w, 3);
  EXPECT_EQ(texel(bytes, w, 0, 0), (Rgb{0x10, 0x10, 0x10}));
  EXPECT_EQ(texel(bytes, w, 2, 0), (Rgb{0xf0, 0xf0, 0xf0}));
}

TEST_F(TextureLoaderTest, ShortFormRepeatsFiltersLinearlyAndLeavesReplace) {
  const std::string path = gltest::makeScratchDir("short") + "/tile.ppm";
  gltest::writePpm(path, 4, 4, solid(4, 4, {1, 2, 3}).data());
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  GLuint texture = 0;
  loadTexture(path.c_str(), &texture);
  gltest::expectSampling(texture, GL_REPEAT, GL_REPLACE);
  EXPECT_EQ(gltest::texLevel(GL_TEXTURE_2D, texture, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
}

TEST_F(TextureLoaderTest, LongFormTakesWrapAndEnvModeAndIgnoresAnInvalidWrap) {
  const std::string dir = gltest::makeScratchDir("long");
  gltest::writePpm(dir + "/light.ppm", 4, 4, solid(4, 4, {9, 9, 9}).data());
  GLuint clamped = 0, invalid = 0;
  loadTexture((dir + "/light.ppm").c_str(), &clamped, GL_CLAMP_TO_EDGE, GL_MODULATE);
  gltest::expectSampling(clamped, GL_CLAMP_TO_EDGE, GL_MODULATE);

  loadTexture((dir + "/light.ppm").c_str(), &invalid, 0x1234, GL_REPLACE);
  EXPECT_NE(gltest::drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
  gltest::expectSampling(invalid, GL_REPEAT, GL_REPLACE);
  int w = 0, h = 0;
  EXPECT_EQ(texel(textureBytes(invalid, &w, &h), w, 0, 0), (Rgb{9, 9, 9})) << "loading went on";
}

TEST_F(TextureLoaderTest, LogOfARunHoldsOnlyThatRunsLoads) {
  const std::string dir = gltest::makeScratchDir("fresh_log");
  gltest::writeFile(dir + "/image_out.txt", "lines of an earlier run\nfilename old.png\n");
  gltest::writePpm(dir + "/a.ppm", 2, 3, solid(2, 3, {1, 1, 1}).data());
  gltest::writePpm(dir + "/b.ppm", 7, 1, solid(7, 1, {2, 2, 2}).data());
  ASSERT_EQ(gltest::runProbe(dir, "texture a.ppm texture b.ppm"), 0)
      << gltest::readFile(dir + "/probe_err.txt");
  EXPECT_EQ(gltest::readFile(dir + "/image_out.txt"),
            "filename a.ppm\nloaded image dimensions h: 3 w: 2\n"
            "filename b.ppm\nloaded image dimensions h: 1 w: 7\n");
}

TEST_F(TextureLoaderTest, UndecodableOrMissingFileEndsTheRunWithStatusOneNamingIt) {
  const std::string dir = gltest::makeScratchDir("broken");
  gltest::writeFile(dir + "/broken.png", "this is not a picture at all");
  EXPECT_EQ(gltest::runProbe(dir, "texture broken.png"), 1);
  std::string err = gltest::readFile(dir + "/probe_err.txt");
  EXPECT_NE(err.find("broken.png"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

  EXPECT_EQ(gltest::runProbe(dir, "texture missing.png"), 1);
  err = gltest::readFile(dir + "/probe_err.txt");
  EXPECT_NE(err.find("missing.png"), std::string::npos) << err;
}
