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

std::vector<unsigned char> solid(int width, int height, Rgb colour) {
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(colour[i % 3]);
  return rgb;
}

// A DevIL-written PNG of `pixels` (`channels` bytes each, in `layout`) converted to `format`;
// returns the colour type byte of its header: 0 grey, 2 RGB, 3 palette, 6 RGBA.
int writePng(const std::string& path, int width, int height, const unsigned char* pixels,
             int channels, ILenum layout, ILenum format, const std::vector<unsigned char>& palette = {}) {
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  ilTexImage(width, height, 1, channels, layout, IL_UNSIGNED_BYTE, const_cast<unsigned char*>(pixels));
  if (!palette.empty()) {
    ilRegisterPal(const_cast<unsigned char*>(palette.data()), static_cast<ILuint>(palette.size()),
                  IL_PAL_RGB24);
  } else {
    ilConvertImage(format, IL_UNSIGNED_BYTE);
  }
  ilEnable(IL_FILE_OVERWRITE);
  ilSave(IL_PNG, path.c_str());
  ilDeleteImages(1, &image);
  while (ilGetError() != IL_NO_ERROR) {
  }
  const std::string bytes = gltest::readFile(path);
  return bytes.size() > 25 ? static_cast<unsigned char>(bytes[25]) : -1;
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

// The file's top row comes first; texture row 0 (t = 0) is the picture's bottom row. Rows of an
// odd width are tight, whatever unpack alignment the caller had set (and keeps).
TEST_F(TextureLoaderTest, BottomRowIsTextureRowZeroAndOddWidthsUploadTightRows) {
  const std::string path = gltest::makeScratchDir("odd") + "/odd.ppm";
  const int width = 5, height = 3;
  std::vector<unsigned char> rgb;
  for (int i = 0; i < width * height * 3; ++i) rgb.push_back(static_cast<unsigned char>(i * 5));
  for (int i = 0; i < width * 3; ++i) rgb[(height - 1) * width * 3 + i] = i % 3 == 2 ? 255 : 0;
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
  EXPECT_EQ(texel(bytes, w, 0, 0), (Rgb{0, 0, 255})) << "blue bottom row at t = 0";
  for (int y = 0; y < height; ++y) {
    const int fileRow = height - 1 - y;
    for (int x = 0; x < width; ++x) {
      const size_t i = (static_cast<size_t>(fileRow) * width + x) * 3;
      EXPECT_EQ(texel(bytes, w, x, y), (Rgb{rgb[i], rgb[i + 1], rgb[i + 2]})) << x << "," << y;
    }
  }
}

// The palette is given in full: DevIL's writer reads 256 entries whatever the image uses.
TEST_F(TextureLoaderTest, PaletteGreyAndAlphaPngsArriveAsRgb) {
  const std::string dir = gltest::makeScratchDir("layouts");
  const unsigned char indices[6] = {0, 0, 1, 0, 0, 1};  // right column entry 1
  std::vector<unsigned char> palette(256 * 3, 0);
  const unsigned char used[6] = {200, 40, 40, 40, 200, 40};
  std::copy(used, used + 6, palette.begin());
  ASSERT_EQ(writePng(dir + "/palette.png", 3, 2, indices, 1, IL_COLOUR_INDEX, 0, palette), 3);
  ASSERT_EQ(writePng(dir + "/grey.png", 3, 2, solid(3, 2, {90, 90, 90}).data(), 3, IL_RGB,
                     IL_LUMINANCE), 0);
  // Four bytes a pixel read as three would shift every pixel after the first.
  std::vector<unsigned char> rgb = solid(5, 2, {10, 20, 30});
  rgb[3 * 3] = rgb[(5 + 3) * 3] = 250;
  ASSERT_EQ(writePng(dir + "/alpha.png", 5, 2, rgb.data(), 3, IL_RGB, IL_RGBA), 6);

  GLuint palettised = 0, grey = 0, alpha = 0;
  loadTexture((dir + "/palette.png").c_str(), &palettised);
  loadTexture((dir + "/grey.png").c_str(), &grey);
  loadTexture((dir + "/alpha.png").c_str(), &alpha);
  int w = 0, h = 0;
  auto bytes = textureBytes(palettised, &w, &h);
  ASSERT_EQ(w, 3);
  EXPECT_EQ(texel(bytes, w, 0, 0), (Rgb{200, 40, 40}));
  EXPECT_EQ(texel(bytes, w, 1, 1), (Rgb{200, 40, 40}));
  EXPECT_EQ(texel(bytes, w, 2, 1), (Rgb{40, 200, 40}));
  bytes = textureBytes(grey, &w, &h);
  EXPECT_EQ(texel(bytes, w, 1, 1), (Rgb{90, 90, 90}));
  bytes = textureBytes(alpha, &w, &h);
  ASSERT_EQ(w, 5);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(texel(bytes, w, x, 1), (Rgb{x == 3 ? 250 : 10, 20, 30})) << x;
}

// Short form: repeat, linear, GL_RGB, env mode left at replace. Long form: the caller's wrap and
// env mode; an invalid wrap raises a GL error, keeps the default repeat and loading goes on.
TEST_F(TextureLoaderTest, SamplingOfTheShortAndLongForms) {
  const std::string dir = gltest::makeScratchDir("sampling");
  gltest::writePpm(dir + "/tile.ppm", 4, 4, solid(4, 4, {9, 9, 9}).data());
  const std::string path = dir + "/tile.ppm";
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  GLuint tile = 0, clamped = 0, invalid = 0;
  loadTexture(path.c_str(), &tile);
  gltest::expectSampling(tile, GL_REPEAT, GL_REPLACE);
  EXPECT_EQ(gltest::texLevel(GL_TEXTURE_2D, tile, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);

  loadTexture(path.c_str(), &clamped, GL_CLAMP_TO_EDGE, GL_MODULATE);
  gltest::expectSampling(clamped, GL_CLAMP_TO_EDGE, GL_MODULATE);
  loadTexture(path.c_str(), &invalid, 0x1234, GL_REPLACE);
  EXPECT_NE(gltest::drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
  gltest::expectSampling(invalid, GL_REPEAT, GL_REPLACE);
  int w = 0, h = 0;
  EXPECT_EQ(texel(textureBytes(invalid, &w, &h), w, 0, 0), (Rgb{9, 9, 9}));
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
