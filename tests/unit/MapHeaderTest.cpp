// The map header check on raw bytes: PNG and JPEG sizes, damaged or cut-short headers, and the
// JPEG codings and layouts that are refused before any decoder runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/TestImages.h"
#include "world/MapHeader.h"

namespace {

constexpr int kMax = 256;

struct Result {
  bool ok;
  std::string error;
  MapHeader header;
};

Result check(const std::string& bytes, int maxSide = kMax) {
  Result r;
  r.ok = r.header.read(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), maxSide,
                       r.error);
  return r;
}

std::string u16(unsigned v) {
  return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xff)};
}

std::string segment(unsigned char marker, const std::string& body) {
  return std::string{'\xff', static_cast<char>(marker)} + u16(body.size() + 2) + body;
}

// SOI, APP0 (JFIF), a frame header, a scan header, a little entropy data and EOI.
std::string jpeg(unsigned w, unsigned h, unsigned char frame = 0xc0, int precision = 8,
                 int components = 3) {
  std::string sof = std::string{static_cast<char>(precision)} + u16(h) + u16(w) +
                    static_cast<char>(components);
  for (int c = 1; c <= components; ++c) sof += std::string{static_cast<char>(c), '\x11', 0};
  return std::string("\xff\xd8", 2) + segment(0xe0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14)) +
         segment(frame, sof) + segment(0xda, std::string("\x01\x01\x00\x00\x3f\x00", 6)) +
         std::string("\x12\x34\xff\xd9", 4);
}

std::string pngWithHeader(unsigned long w, unsigned long h, int depth = 8, int colourType = 2) {
  return png::signature() + png::ihdr(w, h, depth, colourType) +
         png::chunk("IDAT", png::zlibStored(std::string(4, '\0'))) + png::chunk("IEND", "");
}

}  // namespace

TEST(MapHeader, SizeComesFromThePngHeaderOrTheJpegFrameHeader) {
  // Grey JPEG, fill bytes before a marker and a restart marker are all allowed.
  std::string filled = jpeg(5, 7, 0xc0, 8, 1);
  filled.insert(2, "\xff\xff\xff\xd0", 4);
  const struct {
    std::string bytes;
    MapHeader::Format format;
    int w, h;
  } cases[] = {{png::rgb8(3, 2, std::vector<unsigned char>(18, 255)), MapHeader::Format::Png, 3, 2},
               {jpeg(60, 40, 0xc0), MapHeader::Format::Jpeg, 60, 40},
               {jpeg(60, 40, 0xc1), MapHeader::Format::Jpeg, 60, 40},
               {jpeg(60, 40, 0xc2), MapHeader::Format::Jpeg, 60, 40},
               {filled, MapHeader::Format::Jpeg, 5, 7}};
  for (const auto& c : cases) {
    const Result r = check(c.bytes);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.header.format, c.format);
    EXPECT_EQ(r.header.width, c.w);
    EXPECT_EQ(r.header.height, c.h);
  }
}

TEST(MapHeader, SidesOutsideTheLimitAreRefusedWithTheHeadersSize) {
  EXPECT_TRUE(check(pngWithHeader(kMax, kMax)).ok);
  EXPECT_TRUE(check(jpeg(kMax, 1)).ok);
  const struct {
    std::string bytes;
    const char* size;
  } cases[] = {
      {pngWithHeader(100000, 100000), "it is 100000 x 100000 pixels"},
      {pngWithHeader(kMax + 1, 1), "it is 257 x 1 pixels"},
      {pngWithHeader(1, 0), "it is 1 x 0 pixels"},
      {pngWithHeader(0xffffffffUL, 0x80000000UL), "it is 4294967295 x 2147483648 pixels"},
      {jpeg(65535, 65535), "it is 65535 x 65535 pixels"},
      {jpeg(10, kMax + 1), "it is 10 x 257 pixels"},
      // Height 0 leaves it to a DNL marker after the first scan: not accepted.
      {jpeg(10, 0), "it is 10 x 0 pixels"},
  };
  for (const auto& c : cases) {
    const Result r = check(c.bytes);
    EXPECT_FALSE(r.ok) << c.size;
    EXPECT_EQ(r.error.find(c.size), 0u) << r.error;
    EXPECT_NE(r.error.find("1 to 256 pixels on each side"), std::string::npos) << r.error;
    EXPECT_EQ(r.header.width, 0);
  }
  // The limit is the caller's.
  EXPECT_FALSE(check(pngWithHeader(9, 9), 8).ok);
}

TEST(MapHeader, EveryCutIsRefused) {
  const std::string png = png::rgb8(4, 3, std::vector<unsigned char>(36, 0));
  ASSERT_TRUE(check(png).ok);
  for (size_t n = 1; n < png.size(); ++n) {
    const Result r = check(png.substr(0, n));
    EXPECT_NE(r.error.find("truncated"), std::string::npos) << n << ": " << r.error;
    EXPECT_FALSE(r.ok) << n;
  }
  EXPECT_EQ(check("").error, "the file is empty");
  // A JPEG is refused until its scan header is complete: marker, length and six bytes.
  const std::string jpg = jpeg(8, 8);
  const size_t scanEnd = jpg.find("\xff\xda") + 10;
  for (size_t n = 1; n < scanEnd; ++n) {
    const Result r = check(jpg.substr(0, n));
    EXPECT_TRUE(!r.ok && !r.error.empty()) << n;
  }
  EXPECT_TRUE(check(jpg.substr(0, scanEnd)).ok);
}

TEST(MapHeader, DamagedOrUnsupportedHeadersAreRefusedWithTheirCause) {
  const std::string good = pngWithHeader(3, 2);
  auto edited = [](std::string s, size_t at, const std::string& with) {
    return s.replace(at, with.size(), with);
  };
  const std::string jpg = jpeg(8, 8);
  const size_t sof = jpg.find("\xff\xc0");
  const std::string soi("\xff\xd8", 2), frame("\x08\0\x08\0\x08\x01\x01\x11\0", 9);
  const struct {
    std::string bytes;
    const char* cause;
  } cases[] = {
      {edited(good, 11, "\x0e"), "IHDR"},  // wrong IHDR length
      {edited(good, 12, "IHDX"), "IHDR"},
      {pngWithHeader(3, 2, 3, 0), "bit depth 3, colour type 0"},
      {pngWithHeader(3, 2, 4, 2), "bit depth 4, colour type 2"},
      {pngWithHeader(3, 2, 16, 3), "bit depth 16, colour type 3"},
      {pngWithHeader(3, 2, 8, 5), "colour type 5"},
      {edited(good, good.find("IDAT"), "ID4T"), "chunks are damaged"},
      {edited(good, good.find("IDAT") - 4, png::be32(0x80000001UL)), "chunks are damaged"},
      {png::signature() + png::ihdr(3, 2, 8, 2) + png::chunk("IEND", ""), "no PNG image data"},
      {edited(good, 28, "\x02"), ""},  // interlace method 2
      {edited(jpg, sof, "\x12"), "markers are damaged"},
      {edited(jpg, 4, u16(1)), "markers are damaged"},
      {edited(jpg, sof + 2, u16(18)), ""},  // frame length disagrees with its components
      {soi + segment(0xda, "\x01\x01\x00\x00\x3f"), "no JPEG frame header"},
      {soi + segment(0xc0, frame) + segment(0xc2, frame) + segment(0xda, "x"),
       "two JPEG frame headers"},
      {soi + "\xff\xd9", ""},
      {jpeg(8, 8, 0xc3), "(SOF3) is not supported"},
      {jpeg(8, 8, 0xc9), "(SOF9) is not supported"},
      {jpeg(8, 8, 0xc0, 12), "12-bit JPEG with 3 components"},
      {jpeg(8, 8, 0xc0, 8, 4), "8-bit JPEG with 4 components"},
      {jpeg(8, 8, 0xc0, 8, 0), "8-bit JPEG with 0 components"},
  };
  for (const auto& c : cases) {
    const Result r = check(c.bytes);
    EXPECT_FALSE(r.ok) << c.cause;
    EXPECT_NE(r.error.find(c.cause), std::string::npos) << c.cause << ": " << r.error;
  }
  EXPECT_TRUE(check(edited(good, 28, "\x01")).ok);  // Adam7 is fine
}
