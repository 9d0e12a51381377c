// Map decoding: row order, conversion of other layouts to 8-bit RGB, and refusal of files that
// are missing, damaged or too large (one line on standard error, status 1).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/TestImages.h"
#include "world/MapImage.h"

namespace {

// A 3 x 2 picture as seen, top row first: wall, glass, green marker / blue light, air, red.
const unsigned char kTopRow[9] = {0, 0, 0, 128, 128, 128, 0, 255, 0};
const unsigned char kBottomRow[9] = {0, 0, 255, 255, 255, 255, 255, 0, 0};

// The decoded order: bottom row first.
std::vector<unsigned char> expectedPixels() {
  std::vector<unsigned char> p(18);
  for (int i = 0; i < 9; ++i) {
    p[i] = kBottomRow[i];
    p[9 + i] = kTopRow[i];
  }
  return p;
}

class MapImageFiles : public ::testing::Test {
 protected:
  void SetUp() override { startImageLibrary(); }

  MapImage load(const std::string& path) {
    MapImage image;
    std::string error;
    EXPECT_TRUE(image.load(path.c_str(), error)) << path << ": " << error;
    return image;
  }

  ScratchDir dir;
};

}  // namespace

TEST_F(MapImageFiles, BottomRowOfThePictureComesFirst) {
  // Binary PPM stores the top row first, so the order here is as the picture is seen.
  std::string ppm = "P6\n3 2\n255\n";
  ppm.append(reinterpret_cast<const char*>(kTopRow), 9);
  ppm.append(reinterpret_cast<const char*>(kBottomRow), 9);
  ASSERT_TRUE(writeBytes(dir.file("map.ppm"), ppm));
  const MapImage image = load(dir.file("map.ppm"));
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.pixels, expectedPixels());
  EXPECT_EQ(image.pixel(2, 0)[0], 255);
  EXPECT_EQ(image.pixel(2, 1)[1], 255);
}

TEST_F(MapImageFiles, OtherLayoutsDecodeToTheSameRgbPixels) {
  const std::vector<unsigned char> rgb = expectedPixels();
  ASSERT_TRUE(saveImage(dir.file("rgb.png"), 3, 2, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data()));

  std::vector<unsigned char> rgba;
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgba.insert(rgba.end(), rgb.begin() + i, rgb.begin() + i + 3);
    rgba.push_back(static_cast<unsigned char>(i * 20));
  }
  ASSERT_TRUE(saveImage(dir.file("rgba.png"), 3, 2, 4, IL_RGBA, IL_UNSIGNED_BYTE, rgba.data()));

  // Palette entries in another order than the pixels use them.
  const std::vector<unsigned char> palette = {255, 0,   0, 0,   255, 0,   0, 0, 255,
                                              0,   0,   0, 255, 255, 255, 128, 128, 128};
  const unsigned char indices[6] = {2, 4, 0, 3, 5, 1};
  ASSERT_TRUE(saveImage(dir.file("palette.png"), 3, 2, 1, IL_COLOUR_INDEX, IL_UNSIGNED_BYTE,
                        indices, palette));

  std::vector<unsigned short> wide;
  for (unsigned char v : rgb) wide.push_back(static_cast<unsigned short>(v * 257));
  ASSERT_TRUE(saveImage(dir.file("rgb16.png"), 3, 2, 3, IL_RGB, IL_UNSIGNED_SHORT, wide.data()));

  for (const char* name : {"rgb.png", "rgba.png", "palette.png", "rgb16.png"}) {
    const MapImage image = load(dir.file(name));
    EXPECT_EQ(image.width, 3) << name;
    EXPECT_EQ(image.height, 2) << name;
    EXPECT_EQ(image.pixels, rgb) << name;
  }
}

TEST_F(MapImageFiles, GreyPicturesBecomeGreyRgb) {
  const unsigned char grey[2] = {128, 255};
  ASSERT_TRUE(saveImage(dir.file("grey.png"), 2, 1, 1, IL_LUMINANCE, IL_UNSIGNED_BYTE, grey));
  const MapImage image = load(dir.file("grey.png"));
  EXPECT_EQ(image.pixels, (std::vector<unsigned char>{128, 128, 128, 255, 255, 255}));
}

TEST_F(MapImageFiles, SidesUpToTheLimitAreAccepted) {
  std::vector<unsigned char> pixels(MapImage::kMaxSide * 3, 255);
  ASSERT_TRUE(saveImage(dir.file("tall.png"), 1, MapImage::kMaxSide, 3, IL_RGB, IL_UNSIGNED_BYTE,
                        pixels.data()));
  EXPECT_EQ(load(dir.file("tall.png")).height, MapImage::kMaxSide);
}

TEST_F(MapImageFiles, LargerMapsAreRefusedWithTheirSize) {
  const int side = MapImage::kMaxSide + 1;
  std::vector<unsigned char> pixels(side * 2 * 3, 255);
  ASSERT_TRUE(saveImage(dir.file("wide.png"), side, 2, 3, IL_RGB, IL_UNSIGNED_BYTE, pixels.data()));
  MapImage image;
  std::string error;
  EXPECT_FALSE(image.load(dir.file("wide.png").c_str(), error));
  EXPECT_NE(error.find("257 x 2"), std::string::npos) << error;
  EXPECT_EQ(image.width, 0);
  EXPECT_TRUE(image.pixels.empty());
}

TEST_F(MapImageFiles, UnreadableFilesGiveACause) {
  ASSERT_TRUE(writeBytes(dir.file("damaged.png"), "\x89PNG\r\n\x1a\nthis is no picture"));
  ASSERT_TRUE(writeBytes(dir.file("empty.png"), ""));
  for (const char* name : {"missing.png", "damaged.png", "empty.png", "."}) {
    MapImage image;
    std::string error;
    const std::string path = std::string(name) == "." ? dir.file("") : dir.file(name);
    EXPECT_FALSE(image.load(path.c_str(), error)) << name;
    EXPECT_FALSE(error.empty()) << name;
    EXPECT_EQ(image.width, 0) << name;
  }
}

TEST_F(MapImageFiles, AFailedLoadLeavesTheLibraryUsable) {
  MapImage image;
  std::string error;
  EXPECT_FALSE(image.load(dir.file("missing.png").c_str(), error));
  const std::vector<unsigned char> rgb = expectedPixels();
  ASSERT_TRUE(saveImage(dir.file("rgb.png"), 3, 2, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data()));
  EXPECT_EQ(load(dir.file("rgb.png")).pixels, rgb);
}

using MapImageDeathTest = MapImageFiles;

TEST_F(MapImageDeathTest, MissingMapEndsWithOneLineNamingIt) {
  const std::string path = dir.file("missing.png");
  EXPECT_EXIT(MapImage().loadOrExit(path.c_str()), ::testing::ExitedWithCode(1),
              "^quillmarsh: cannot use map \"[^\"\n]*/missing\\.png\": No such file or "
              "directory\n$");
}

TEST_F(MapImageDeathTest, DamagedMapEndsWithOneLineNamingIt) {
  const std::string path = dir.file("damaged.png");
  ASSERT_TRUE(writeBytes(path, "\x89PNG\r\n\x1a\nIHDR garbage"));
  EXPECT_EXIT(MapImage().loadOrExit(path.c_str()), ::testing::ExitedWithCode(1),
              "^quillmarsh: cannot use map \"[^\"\n]*/damaged\\.png\": [^\n]+\n$");
}

TEST_F(MapImageDeathTest, OversizedMapEndsWithOneLineNamingIt) {
  const std::string path = dir.file("huge.png");
  std::vector<unsigned char> pixels(300 * 3, 0);
  ASSERT_TRUE(saveImage(path, 1, 300, 3, IL_RGB, IL_UNSIGNED_BYTE, pixels.data()));
  EXPECT_EXIT(MapImage().loadOrExit(path.c_str()), ::testing::ExitedWithCode(1),
              "^quillmarsh: cannot use map \"[^\"\n]*/huge\\.png\": it is 1 x 300 pixels[^\n]*\n$");
}
