// Picture decoding: every PNG layout to the same 8-bit RGB pixels bottom row first, and hostile
// files refused with their cause: not a regular file, image data that inflates wrongly or is
// damaged, palette overruns at every palette size, bit depth and row filter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "tests/unit/TestImages.h"
#include "platform/FileReader.h"
#include "world/MapImage.h"

namespace {

using Pixels = std::vector<unsigned char>;
// A 3 x 2 grey map seen as black, grey, 77 over white, black, white; decoded bottom row first.
const Pixels kGrey = {255, 255, 255, 0, 0, 0, 255, 255, 255, 0, 0, 0, 128, 128, 128, 77, 77, 77};

std::string bytes(const char* text, size_t n) { return std::string(text, n); }

// The cause of a refusal, or "" with the decoded pixels in `pixels`.
std::string decode(const std::string& file, Pixels* pixels = nullptr) {
  MapImage image;
  std::string error;
  const bool ok = image.decode(reinterpret_cast<const unsigned char*>(file.data()), file.size(), error);
  EXPECT_EQ(ok, error.empty());
  EXPECT_EQ(ok ? image.width * image.height * 3u : 0u, image.pixels.size());
  if (pixels != nullptr) *pixels = image.pixels;
  return error;
}

}  // namespace

// Every layout decodes to the same pixels, Adam7 with passes that hold no column (8-bit RGB as it
// is: TextureLoaderTest.cpp; palettes, every Adam7 pass: the palette check's); hostile data its cause.
TEST(MapImage, EveryPngLayoutGivesTheRgbPixelsBottomRowFirstAndHostileDataItsCause) {
  startImageLibrary();
  const std::string rgb = bytes("\0\x40\x40\x40\x40\x40\x40\x40\x40\x40", 10);
  const struct { std::string file; Pixels pixels; const char* cause = ""; } cases[] = {
      {png::image(3, 2, 8, 0, bytes("\0\0\x80\x4d\0\xff\0\xff", 8)), kGrey},
      {png::image(3, 2, 16, 0, bytes("\0\0\0\x80\0\x4d\0\0\xff\0\0\0\xff\0", 14)), kGrey},
      {png::image(3, 2, 8, 4, bytes("\0\0\1\x80\2\x4d\3\0\xff\4\0\5\xff\6", 14)), kGrey},
      {png::image(1, 3, 8, 0, bytes("\0\0\0\x4d\0\x80", 6), "", 1), Pixels{77, 77, 77, 128, 128, 128, 0, 0, 0}},
      {png::image(3, 1, 1, 3, bytes("\0\x1f", 2), png::chunk("PLTE", "\xff\xff\xff")), Pixels(9, 255)},  // padding
      {png::image(3, 1, 8, 3, std::string(4, '\0')), {}, "its PNG palette (PLTE) is missing"},
      {png::image(256, 256, 8, 2, std::string(4 * 256 * 769, '\0')), {}, "inflates to more than the 196864 bytes its size needs"},
      {png::image(3, 1, 8, 2, rgb.substr(1)), {}, "inflates to less than the 10 bytes"},
      {png::image(3, 1, 8, 2, '\5' + rgb.substr(1)), {}, "image data is damaged: filter type 5"},
      {png::signature() + png::ihdr(3, 1, 8, 2) + png::chunk("IDAT", "xxxx") + png::chunk("IEND", ""), {}, "not a valid zlib stream"}};
  for (const auto& c : cases) {
    Pixels pixels;
    const std::string error = decode(c.file, &pixels);
    EXPECT_TRUE(*c.cause ? error.find(c.cause) != std::string::npos : error.empty()) << c.cause << ": " << error;
    EXPECT_EQ(pixels, c.pixels) << c.cause;
  }
}

// Not a regular file: the end-to-end refusals (tests/e2e) give a FIFO as each kind of file.
TEST(MapImage, AFileOrSideExactlyAtItsLimitIsReadAndOneOverIsRefused) {
  startImageLibrary();
  const std::string file = png::image(3, 2, 8, 2, std::string(20, '\0')), path = ::testing::TempDir() + "qm-limit.png";
  std::ofstream(path, std::ios::binary) << file;
  const size_t n = file.size();
  // (largest side, largest file, whether it is read), for both kinds.
  const std::tuple<int, size_t, bool> cases[] = {{3, n, true}, {3, n - 1, false}, {2, n, false}, {256, n + 1, true}};
  for (const char* kind : {"map", "texture"})
    for (const auto& c : cases) {
      std::string error, bytes;
      const Image::Limits limits{std::get<0>(c), std::get<1>(c), kind};
      EXPECT_EQ(MapImage().load(path.c_str(), error, limits), std::get<2>(c)) << kind << error;
      EXPECT_EQ(FileReader::read(path.c_str(), std::get<1>(c), kind, bytes, error), std::get<1>(c) >= n);
    }
  EXPECT_EQ(unlink(path.c_str()), 0);
  std::string error;
  EXPECT_FALSE(MapImage().load(path.c_str(), error));
  EXPECT_EQ(error, "No such file or directory");
}

namespace {

// PNG's forward row filters on packed bytes (the step one byte, as for every palette depth):
// None, Sub, Up, Average, Paeth of `row` over the unfiltered row before it.
std::string filterRow(int type, const std::string& row, const std::string& up) {
  std::string out(1, static_cast<char>(type));
  for (size_t i = 0; i < row.size(); ++i) {
    const int a = i > 0 ? static_cast<unsigned char>(row[i - 1]) : 0;
    const int b = up.empty() ? 0 : static_cast<unsigned char>(up[i]);
    const int c = i > 0 && !up.empty() ? static_cast<unsigned char>(up[i - 1]) : 0;
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    const int predicted[5] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
    out += static_cast<char>(static_cast<unsigned char>(row[i]) - predicted[type]);
  }
  return out;
}

// The image data of a palette picture of `index` rows (top first) at `depth` bits, interlaced
// (Adam7) or not; its rows filtered in turn with filter types shift, shift + 1, ... (mod 5).
std::string paletteRows(const std::vector<std::vector<int>>& index, int depth, bool adam7, int shift) {
  static const int x0[7] = {0, 4, 0, 2, 0, 1, 0}, dx[7] = {8, 8, 4, 4, 2, 2, 1};
  static const int y0[7] = {0, 0, 4, 0, 2, 0, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
  const int h = static_cast<int>(index.size()), w = static_cast<int>(index[0].size());
  std::string raw;
  int filter = shift;
  for (int pass = 0; pass < (adam7 ? 7 : 1); ++pass) {
    std::string up;
    for (int y = adam7 ? y0[pass] : 0; y < h; y += adam7 ? dy[pass] : 1) {
      std::string row;
      int bits = 0;
      for (int x = adam7 ? x0[pass] : 0; x < w; x += adam7 ? dx[pass] : 1, bits += depth) {
        if (bits % 8 == 0) row += '\0';
        row.back() = static_cast<char>(row.back() | index[y][x] << (8 - depth - bits % 8));
      }
      if (row.empty()) break;  // a pass without columns has no rows
      raw += filterRow(filter++ % 5, row, up);
      up = row;
    }
  }
  return raw;
}

}  // namespace

// Palettes of 1 to 256 entries at every bit depth, plain and interlaced, every row filter in every
// row: the pictures whose indices all lie within the palette decode to its colours; an index past
// its end is named, whichever filter hides it.
TEST(MapImage, PaletteCheckReadsTheIndicesTheDecoderReadsAtEveryDepthSizeAndFilter) {
  startImageLibrary();
  const int w = 9, h = 5;  // rows of 9 leave pad bits at 1, 2 and 4 bits; every Adam7 pass is used
  std::mt19937 rng(5);
  for (const int depth : {1, 2, 4, 8}) {
    const int representable = 1 << depth;
    for (int entries = 1; entries <= 256; ++entries) {
      std::string plte;
      for (int i = 0; i < entries; ++i)
        plte += {static_cast<char>(i), static_cast<char>(255 - i), static_cast<char>(i * 7 + 3)};
      const std::string extra = png::chunk("PLTE", plte);
      const int usable = std::min(entries, representable);
      for (const bool adam7 : {false, true})
        for (int shift = 0; shift < 5; ++shift) {
          SCOPED_TRACE(std::to_string(depth) + "-bit, " + std::to_string(entries) + " entries, " +
                       (adam7 ? "Adam7" : "plain") + ", filters from " + std::to_string(shift));
          std::vector<std::vector<int>> index(h, std::vector<int>(w));
          for (auto& row : index)
            for (int& i : row) i = static_cast<int>(rng() % usable);
          index[rng() % h][rng() % w] = usable - 1;  // the palette's last entry (or the depth's)
          Pixels pixels, want;
          for (int row = h - 1; row >= 0; --row)
            for (int x = 0; x < w; ++x)
              want.insert(want.end(), plte.begin() + 3 * index[row][x], plte.begin() + 3 * index[row][x] + 3);
          ASSERT_EQ(decode(png::image(w, h, depth, 3, paletteRows(index, depth, adam7, shift), extra, adam7), &pixels), "");
          ASSERT_EQ(pixels, want);
          // One index past the palette, the first there is or the largest the depth holds.
          for (const int past : {entries, representable - 1}) {
            if (past < entries || past >= representable) continue;
            std::vector<std::vector<int>> bad = index;
            bad[rng() % h][rng() % w] = past;
            ASSERT_EQ(decode(png::image(w, h, depth, 3, paletteRows(bad, depth, adam7, shift), extra, adam7)),
                      "it uses palette entry " + std::to_string(past) + " but its palette (PLTE) has " +
                          std::to_string(entries) + (entries == 1 ? " entry" : " entries"));
          }
        }
    }
  }
}
