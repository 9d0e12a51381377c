// Map decoding: row order, conversion of other layouts to 8-bit RGB (the same pixels as the RGB
// map), and refusal of files that are missing, damaged, of another format or too large (one line
// on standard error, status 1).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/unit/TestImages.h"
#include "world/MapImage.h"

namespace {

// A 3 x 2 map as decoded, bottom row first: blue, white, red / black, grey, green.
const std::vector<unsigned char> kPixels = {0, 0, 255, 255, 255, 255, 255, 0, 0,
                                            0, 0, 0, 128, 128, 128, 0, 255, 0};

class MapImageFiles : public ::testing::Test {
 protected:
  void SetUp() override { startImageLibrary(); }
  MapImage load(const std::string& path) {
    MapImage image;
    std::string error;
    EXPECT_TRUE(image.load(path.c_str(), error)) << path << ": " << error;
    return image;
  }
  std::string refusal(const std::string& path) {
    MapImage image;
    std::string error;
    EXPECT_FALSE(image.load(path.c_str(), error)) << path;
    EXPECT_TRUE(image.width == 0 && image.pixels.empty()) << path;
    return error;
  }
  std::string decodeError(const std::string& bytes, size_t n) {
    MapImage image;
    std::string error;
    EXPECT_FALSE(image.decode(reinterpret_cast<const unsigned char*>(bytes.data()), n, error));
    EXPECT_TRUE(image.pixels.empty());
    return error;
  }
  ScratchDir dir;
};

// Colour type and bit depth from a PNG's IHDR.
std::pair<int, int> pngLayout(const std::string& path) {
  const std::string bytes = readBytes(path);
  if (bytes.size() < 26) return {-1, -1};
  return {static_cast<unsigned char>(bytes[25]), static_cast<unsigned char>(bytes[24])};
}

}  // namespace

TEST_F(MapImageFiles, BottomRowOfThePictureComesFirst) {
  // PNG stores the top row first.
  std::vector<unsigned char> seen(kPixels.begin() + 9, kPixels.end());
  seen.insert(seen.end(), kPixels.begin(), kPixels.begin() + 9);
  ASSERT_TRUE(writeBytes(dir.file("map.png"), png::rgb8(3, 2, seen)));
  const MapImage image = load(dir.file("map.png"));
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.pixels, kPixels);
  EXPECT_EQ(image.pixel(2, 0)[0], 255);
  EXPECT_EQ(image.pixel(2, 1)[1], 255);
}

TEST_F(MapImageFiles, PaletteAlphaGreyAndSixteenBitPngsGiveTheRgbPixels) {
  // kPixels has six different colours: it is its own palette, pixel i is entry i.
  const std::vector<unsigned char> indices = {0, 1, 2, 3, 4, 5};
  std::vector<unsigned char> rgba;
  std::vector<unsigned short> wide;
  for (size_t i = 0; i < kPixels.size(); ++i) {
    rgba.push_back(kPixels[i]);
    if (i % 3 == 2) rgba.push_back(static_cast<unsigned char>(255 - i));
    wide.push_back(static_cast<unsigned short>(kPixels[i] * 257));
  }
  // Grey: the levels a grey map uses (wall, glass, air) and one other.
  const std::vector<unsigned char> grey = {0, 128, 255, 77, 0, 255};
  std::vector<unsigned char> greyAsRgb;
  for (unsigned char v : grey) greyAsRgb.insert(greyAsRgb.end(), 3, v);
  ASSERT_TRUE(saveImage(dir.file("rgba.png"), 3, 2, 4, IL_RGBA, IL_UNSIGNED_BYTE, rgba.data()));
  ASSERT_TRUE(saveImage(dir.file("palette.png"), 3, 2, 1, IL_COLOUR_INDEX, IL_UNSIGNED_BYTE,
                        indices.data(), kPixels));
  ASSERT_TRUE(saveImage(dir.file("rgb16.png"), 3, 2, 3, IL_RGB, IL_UNSIGNED_SHORT, wide.data()));
  ASSERT_TRUE(saveImage(dir.file("grey.png"), 3, 2, 1, IL_LUMINANCE, IL_UNSIGNED_BYTE,
                        grey.data()));
  const struct {
    const char* name;
    std::pair<int, int> layout;  // colour type, bit depth, so that we know what DevIL wrote
    const std::vector<unsigned char>& pixels;
  } cases[] = {{"rgba.png", {6, 8}, kPixels},
               {"palette.png", {3, 8}, kPixels},
               {"rgb16.png", {2, 16}, kPixels},
               {"grey.png", {0, 8}, greyAsRgb}};
  for (const auto& c : cases) {
    EXPECT_EQ(pngLayout(dir.file(c.name)), c.layout) << c.name;
    const MapImage image = load(dir.file(c.name));
    EXPECT_TRUE(image.width == 3 && image.height == 2) << c.name;
    EXPECT_EQ(image.pixels, c.pixels) << c.name;
  }
}

TEST_F(MapImageFiles, JpegMapsDecodeUpright) {
  // A black 8 x 8 block in the bottom-left corner of 16 x 16 white, so the lossy coding keeps
  // each block near exact. saveImage takes the bottom row first.
  std::vector<unsigned char> rgb(16 * 16 * 3, 255);
  for (int row = 0; row < 8; ++row) std::fill_n(rgb.begin() + row * 16 * 3, 8 * 3, 0);
  ASSERT_TRUE(saveImage(dir.file("map.jpg"), 16, 16, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data(), {},
                        IL_JPG));
  ASSERT_EQ(readBytes(dir.file("map.jpg")).substr(0, 3), "\xff\xd8\xff");
  const MapImage image = load(dir.file("map.jpg"));
  ASSERT_TRUE(image.width == 16 && image.height == 16);
  EXPECT_LE(image.pixel(3, 3)[0], 8);     // bottom left: z = 3
  EXPECT_GE(image.pixel(12, 3)[1], 247);  // bottom right
  EXPECT_GE(image.pixel(3, 12)[2], 247);  // top left
}

TEST_F(MapImageFiles, SidesUpToTheLimitAreAcceptedAndLargerRefusedWithTheirSize) {
  const int side = MapImage::kMaxSide;
  std::vector<unsigned char> pixels((side + 1) * 2 * 3, 255);
  ASSERT_TRUE(saveImage(dir.file("tall.png"), 1, side, 3, IL_RGB, IL_UNSIGNED_BYTE, pixels.data()));
  ASSERT_TRUE(saveImage(dir.file("wide.png"), side + 1, 2, 3, IL_RGB, IL_UNSIGNED_BYTE,
                        pixels.data()));
  EXPECT_EQ(load(dir.file("tall.png")).height, side);
  const std::string error = refusal(dir.file("wide.png"));
  EXPECT_NE(error.find("257 x 2"), std::string::npos) << error;
}

TEST_F(MapImageFiles, UnreadableFilesGiveACauseAndLeaveTheLibraryUsable) {
  ASSERT_TRUE(writeBytes(dir.file("damaged.png"), "\x89PNG\r\n\x1a\nthis is no picture"));
  ASSERT_TRUE(writeBytes(dir.file("empty.png"), ""));
  for (const char* name : {"missing.png", "damaged.png", "empty.png", ""})
    EXPECT_FALSE(refusal(dir.file(name)).empty()) << name;
  ASSERT_TRUE(saveImage(dir.file("rgb.png"), 3, 2, 3, IL_RGB, IL_UNSIGNED_BYTE, kPixels.data()));
  EXPECT_EQ(load(dir.file("rgb.png")).pixels, kPixels);
}

TEST_F(MapImageFiles, OtherFormatsNamedPngAreRefusedNamingTheirFormat) {
  ASSERT_TRUE(saveImage(dir.file("bmp.png"), 3, 2, 3, IL_RGB, IL_UNSIGNED_BYTE, kPixels.data(),
                        {}, IL_BMP));
  ASSERT_TRUE(writeBytes(dir.file("gif.png"),
                         std::string("GIF89a\x03\0\x02\0\x80\0\0\0\0\0\xff\xff\xff;", 20)));
  ASSERT_TRUE(writeBytes(dir.file("pnm.png"), "P6\n3 2\n255\n" + std::string(18, '\x80')));
  ASSERT_TRUE(writeBytes(dir.file("text.png"), "wall wall glass\nair air light\n"));
  const std::pair<const char*, const char*> cases[] = {
      {"bmp.png", "it is a BMP image; a map must be PNG or JPEG"},
      {"gif.png", "it is a GIF image; a map must be PNG or JPEG"},
      {"pnm.png", "it is a PNM (PBM, PGM, PPM or PAM) image; a map must be PNG or JPEG"},
      {"text.png", "it is not a PNG or JPEG image"}};
  for (const auto& c : cases) EXPECT_EQ(refusal(dir.file(c.first)), c.second) << c.first;
}

TEST_F(MapImageFiles, HeadersThatPromiseTooMuchAreRefusedBeforeDecoding) {
  // DevIL would allocate for the header's size before finding the data short.
  const std::string hugePng = png::signature() + png::ihdr(100000, 100000, 8, 2) +
                              png::chunk("IDAT", png::zlibStored(std::string(301, '\0'))) +
                              png::chunk("IEND", "");
  const std::string hugeJpeg = std::string(
      "\xff\xd8\xff\xc0\x00\x11\x08\xea\x60\xea\x60\x03\x01\x11\x00\x02\x11\x00\x03\x11\x00"
      "\xff\xda\x00\x0c\x03\x01\x00\x02\x11\x03\x11\x00\x3f\x00\x00\xff\xd9", 38);
  EXPECT_EQ(decodeError(hugePng, hugePng.size()).find("it is 100000 x 100000 pixels"), 0u);
  EXPECT_EQ(decodeError(hugeJpeg, hugeJpeg.size()).find("it is 60000 x 60000 pixels"), 0u);
}

TEST_F(MapImageFiles, EveryCutOfAMapIsRefusedOrDecodesToItsHeadersSize) {
  ASSERT_TRUE(saveImage(dir.file("map.png"), 3, 2, 3, IL_RGB, IL_UNSIGNED_BYTE, kPixels.data()));
  ASSERT_TRUE(saveImage(dir.file("map.jpg"), 3, 2, 3, IL_RGB, IL_UNSIGNED_BYTE, kPixels.data(),
                        {}, IL_JPG));
  const std::string pngBytes = readBytes(dir.file("map.png"));
  for (size_t n = 0; n < pngBytes.size(); ++n) EXPECT_FALSE(decodeError(pngBytes, n).empty()) << n;
  // JPEG data cut inside the scan decodes with the missing blocks filled in, as libjpeg does.
  const std::string jpegBytes = readBytes(dir.file("map.jpg"));
  for (size_t n = 0; n < jpegBytes.size(); ++n) {
    MapImage image;
    std::string error;
    const bool ok = image.decode(reinterpret_cast<const unsigned char*>(jpegBytes.data()), n, error);
    EXPECT_TRUE(ok ? image.width == 3 && image.pixels.size() == 18u : !error.empty()) << n;
  }
}

TEST_F(MapImageFiles, FilesFarLargerThanAnyMapAreNotRead) {
  const std::string path = dir.file("large.png");
  ASSERT_TRUE(writeBytes(path, png::rgb8(1, 1, {255, 255, 255})));
  ASSERT_EQ(truncate(path.c_str(), MapImage::kMaxFileBytes + 1), 0);
  EXPECT_EQ(refusal(path), "it is 16777217 bytes; a map file is at most 16777216 bytes");
}

using MapImageDeathTest = MapImageFiles;

TEST_F(MapImageDeathTest, MissingDamagedOrOversizedMapEndsWithOneLineNamingIt) {
  ASSERT_TRUE(writeBytes(dir.file("damaged.png"), "\x89PNG\r\n\x1a\nIHDR garbage"));
  std::vector<unsigned char> pixels(300 * 3, 0);
  ASSERT_TRUE(saveImage(dir.file("huge.png"), 1, 300, 3, IL_RGB, IL_UNSIGNED_BYTE, pixels.data()));
  const std::pair<const char*, const char*> cases[] = {  // file, pattern for the cause
      {"missing", "No such file or directory"},
      {"damaged", "[^\n]+"},
      {"huge", "it is 1 x 300 pixels[^\n]*"}};
  for (const auto& c : cases)
    EXPECT_EXIT(MapImage().loadOrExit(dir.file(std::string(c.first) + ".png").c_str()),
                ::testing::ExitedWithCode(1),
                std::string("^quillmarsh: cannot use map \"[^\"\n]*/") + c.first + "\\.png\": " +
                    c.second + "\n$")
        << c.first;
}
