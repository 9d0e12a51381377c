// Picture decoding: row order, every PNG layout (filtered, packed, interlaced) to the same 8-bit
// RGB pixels, JPEG, and refusal of hostile files with their cause: not a regular file, too long,
// image data that inflates wrongly or is damaged, palette indices beyond the palette.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/unit/TestImages.h"
#include "world/MapImage.h"

namespace {

// A 3 x 2 map as seen, top row black, grey, green over blue, white, red; decoded bottom row first.
const std::vector<unsigned char> kPixels = {0, 0, 255, 255, 255, 255, 255, 0, 0,
                                            0, 0, 0, 128, 128, 128, 0, 255, 0};
const std::string kPalette(kPixels.begin(), kPixels.end());  // entry i is pixel i above

std::vector<unsigned char> grey(std::initializer_list<unsigned char> levels) {
  std::vector<unsigned char> rgb;
  for (unsigned char v : levels) rgb.insert(rgb.end(), 3, v);
  return rgb;
}

std::string decodeError(const std::string& bytes, MapImage& image) {
  std::string error;
  const bool ok = image.decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), error);
  EXPECT_EQ(ok, error.empty());
  EXPECT_EQ(ok, !image.pixels.empty());
  return error;
}

}  // namespace

TEST(MapImage, EveryPngLayoutGivesTheRgbPixelsBottomRowFirst) {
  startImageLibrary();
  const std::string top(kPixels.begin() + 9, kPixels.end()), bottom(kPixels.begin(), kPixels.begin() + 9);
  std::string rgba, wide;
  for (size_t i = 0; i < 18; ++i) {
    rgba += static_cast<char>(kPixels[(i < 9 ? i + 9 : i - 9)]) + std::string(i % 3 == 2, '\x7f');
    wide += std::string(2, static_cast<char>(kPixels[(i < 9 ? i + 9 : i - 9)]));
  }
  const std::string plte = png::chunk("PLTE", kPalette);
  const std::pair<std::string, std::vector<unsigned char>> cases[] = {
      {png::image(3, 2, 8, 2, '\0' + top + '\0' + bottom), kPixels},
      {png::image(3, 2, 8, 6, '\0' + rgba.substr(0, 12) + '\0' + rgba.substr(12)), kPixels},
      {png::image(3, 2, 16, 2, '\0' + wide.substr(0, 18) + '\0' + wide.substr(18)), kPixels},
      // Indices 3 4 5 over 0 1 2; Sub and Up filters, then Paeth and Average on packed nibbles.
      {png::image(3, 2, 8, 3, std::string("\1\3\1\1\2\xfd\xfd\xfd", 8), plte), kPixels},
      {png::image(3, 2, 4, 3, std::string("\4\x34\x1c\3\xe7\xf8", 6), plte), kPixels},
      {png::image(3, 2, 8, 0, std::string("\0\0\x80\x4d\0\xff\0\xff", 8)), grey({255, 0, 255, 0, 128, 77})},
      // Adam7: (0,0), then (2,0), (1,0), then the bottom row; 1-bit with the padding bits set.
      {png::signature() + png::chunk("IHDR", png::be32(3) + png::be32(2) + std::string("\x08\0\0\0\x01", 5)) +
           png::chunk("IDAT", png::deflated(std::string("\0\x0a\0\x1e\0\x14\0\x28\x32\x3c", 10))) +
           png::chunk("IEND", ""), grey({40, 50, 60, 10, 20, 30})},
      {png::image(3, 1, 1, 3, std::string("\0\x1f", 2), png::chunk("PLTE", "\xff\xff\xff")), grey({255, 255, 255})}};
  for (const auto& c : cases) {
    MapImage image;
    EXPECT_EQ(decodeError(c.first, image), "");
    EXPECT_EQ(image.pixels, c.second);
    EXPECT_EQ(image.width * image.height * 3u, c.second.size());
  }
}

TEST(MapImage, JpegMapsDecodeUpright) {
  ScratchDir dir;
  // A black 8 x 8 block bottom left of 16 x 16 white; saveJpeg takes the bottom row first.
  std::vector<unsigned char> rgb(16 * 16 * 3, 255);
  for (int row = 0; row < 8; ++row) std::fill_n(rgb.begin() + row * 16 * 3, 8 * 3, 0);
  ASSERT_TRUE(saveJpeg(dir.file("map.png"), 16, 16, rgb.data()));
  MapImage image;
  std::string error;
  ASSERT_TRUE(image.load(dir.file("map.png").c_str(), error)) << error;
  EXPECT_LE(image.pixel(3, 3)[0], 8);
  EXPECT_GE(image.pixel(12, 3)[1], 247);
  EXPECT_GE(image.pixel(3, 12)[2], 247);
}

TEST(MapImage, HostileImageDataIsRefusedWithItsCause) {
  startImageLibrary();
  const std::string plte = png::chunk("PLTE", kPalette), rgb = '\0' + std::string(9, '\x40');
  std::string badCrc = png::image(3, 1, 8, 2, rgb);
  badCrc[badCrc.size() - 13] ^= 1;
  const std::pair<std::string, const char*> cases[] = {
      // Sub hides index 6 behind the byte 5; a 1-bit index 1 with one entry.
      {png::image(3, 2, 8, 3, std::string("\0\3\4\5\1\0\1\5", 8), plte), "it uses palette entry 6 but its palette (PLTE) has 6 entries"},
      {png::image(3, 1, 1, 3, std::string("\0\x20", 2), png::chunk("PLTE", "abc")), "palette entry 1 but its palette (PLTE) has 1 entry"},
      {png::image(3, 1, 8, 3, std::string(4, '\0')), "its PNG palette (PLTE) is missing"},
      {png::image(256, 256, 8, 2, std::string(4 * 256 * 769, '\0')), "inflates to more than the 196864 bytes its size needs"},
      {png::image(3, 1, 8, 2, rgb.substr(1)), "inflates to less than the 10 bytes"},
      {png::image(3, 1, 8, 2, '\5' + rgb.substr(1)), "its PNG image data is damaged: filter type 5"},
      {png::signature() + png::ihdr(3, 1, 8, 2) + png::chunk("IDAT", "xxxx") + png::chunk("IEND", ""), "not a valid zlib stream"},
      {badCrc, "the image data is damaged (DevIL error"}};
  for (const auto& c : cases) {
    MapImage image;
    EXPECT_NE(decodeError(c.first, image).find(c.second), std::string::npos) << c.second;
  }
}

TEST(MapImage, OnlyRegularFilesWithinTheLimitAreRead) {
  ScratchDir dir;
  ASSERT_EQ(mkfifo(dir.file("fifo.png").c_str(), 0600), 0);
  ASSERT_TRUE(writeBytes(dir.file("large.png"), png::rgb8(1, 1, {255, 255, 255})));
  ASSERT_EQ(truncate(dir.file("large.png").c_str(), MapImage::kMaxFileBytes + 1), 0);
  const std::pair<std::string, const char*> cases[] = {
      {dir.file("fifo.png"), "it is a FIFO (named pipe), not a regular file"},
      {dir.file(""), "it is a directory, not a regular file"},
      {"/dev/zero", "it is a character device, not a regular file"},
      {dir.file("missing.png"), "No such file or directory"},
      {dir.file("large.png"), "it is 16777217 bytes; a map file is at most 16777216 bytes"}};
  for (const auto& c : cases) {
    MapImage image;
    std::string error;
    EXPECT_FALSE(image.load(c.first.c_str(), error));
    EXPECT_EQ(error, c.second);
  }
}
