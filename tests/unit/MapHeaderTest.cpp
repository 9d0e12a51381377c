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

TEST(MapHeader, PngSizeComesFromItsHeader) {
  const Result r = check(png::rgb8(3, 2, std::vector<unsigned char>(18, 255)));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.header.format, MapHeader::Format::Png);
  EXPECT_EQ(r.header.width, 3);
  EXPECT_EQ(r.header.height, 2);
}

TEST(MapHeader, JpegSizeComesFromItsFrameHeader) {
  for (unsigned char frame : {0xc0, 0xc1, 0xc2}) {
    const Result r = check(jpeg(60, 40, frame));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.header.format, MapHeader::Format::Jpeg);
    EXPECT_EQ(r.header.width, 60);
    EXPECT_EQ(r.header.height, 40);
  }
  // Grey JPEG, fill bytes before a marker and a restart marker are all allowed.
  std::string filled = jpeg(5, 7, 0xc0, 8, 1);
  filled.insert(2, "\xff\xff\xff\xd0", 4);
  const Result r = check(filled);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.header.width, 5);
  EXPECT_EQ(r.header.height, 7);
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

TEST(MapHeader, DamagedPngHeadersAndChunksAreRefused) {
  std::string wrongLength = pngWithHeader(3, 2);
  wrongLength[11] = 14;
  std::string lostChunkName = pngWithHeader(3, 2);
  lostChunkName.replace(12, 4, "IHDX");
  std::string digitInType = pngWithHeader(3, 2);
  digitInType.replace(digitInType.find("IDAT"), 4, "ID4T");
  std::string hugeChunk = pngWithHeader(3, 2);
  hugeChunk.replace(hugeChunk.find("IDAT") - 4, 4, png::be32(0x80000001UL));
  const std::string noImageData =
      png::signature() + png::ihdr(3, 2, 8, 2) + png::chunk("IEND", "");
  const struct {
    std::string bytes;
    const char* cause;
  } cases[] = {
      {wrongLength, "IHDR"},
      {lostChunkName, "IHDR"},
      {pngWithHeader(3, 2, 3, 0), "bit depth 3, colour type 0"},
      {pngWithHeader(3, 2, 4, 2), "bit depth 4, colour type 2"},
      {pngWithHeader(3, 2, 16, 3), "bit depth 16, colour type 3"},
      {pngWithHeader(3, 2, 8, 5), "colour type 5"},
      {digitInType, "chunks are damaged"},
      {hugeChunk, "chunks are damaged"},
      {noImageData, "no PNG image data"},
  };
  for (const auto& c : cases) {
    const Result r = check(c.bytes);
    EXPECT_FALSE(r.ok) << c.cause;
    EXPECT_NE(r.error.find(c.cause), std::string::npos) << c.cause << ": " << r.error;
  }
  std::string interlace = pngWithHeader(3, 2);
  interlace[28] = 2;
  EXPECT_FALSE(check(interlace).ok);
  interlace[28] = 1;
  EXPECT_TRUE(check(interlace).ok);
}

TEST(MapHeader, EveryCutOfAPngIsRefusedAsTruncated) {
  const std::string whole = png::rgb8(4, 3, std::vector<unsigned char>(36, 0));
  ASSERT_TRUE(check(whole).ok);
  for (size_t n = 1; n < whole.size(); ++n) {
    const Result r = check(whole.substr(0, n));
    EXPECT_FALSE(r.ok) << n;
    EXPECT_NE(r.error.find("truncated"), std::string::npos) << n << ": " << r.error;
  }
  EXPECT_EQ(check("").error, "the file is empty");
}

TEST(MapHeader, JpegCodingsAndLayoutsTheDecoderCannotTakeAreRefused) {
  const struct {
    std::string bytes;
    const char* cause;
  } cases[] = {
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
}

TEST(MapHeader, DamagedOrShortJpegMarkersAreRefused) {
  const std::string whole = jpeg(8, 8);
  const size_t scan = whole.find("\xff\xda");
  ASSERT_NE(scan, std::string::npos);
  // Every cut before the scan header is complete.
  const size_t scanEnd = scan + 10;  // marker, length and the six bytes of the scan header
  for (size_t n = 1; n < scanEnd; ++n) {
    const Result r = check(whole.substr(0, n));
    EXPECT_FALSE(r.ok) << n;
    EXPECT_FALSE(r.error.empty()) << n;
  }
  EXPECT_TRUE(check(whole.substr(0, scanEnd)).ok);

  const size_t sof = whole.find("\xff\xc0");
  std::string noMarker = whole;
  noMarker[sof] = 0x12;  // the frame segment no longer starts with 0xFF
  EXPECT_NE(check(noMarker).error.find("markers are damaged"), std::string::npos);
  std::string shortLength = whole;
  shortLength.replace(4, 2, u16(1));
  EXPECT_NE(check(shortLength).error.find("markers are damaged"), std::string::npos);
  std::string badFrameLength = whole;
  badFrameLength.replace(sof + 2, 2, u16(18));
  EXPECT_FALSE(check(badFrameLength).ok);

  const std::string noFrame = std::string("\xff\xd8", 2) + segment(0xda, "\x01\x01\x00\x00\x3f");
  EXPECT_NE(check(noFrame).error.find("no JPEG frame header"), std::string::npos);
  const std::string twoFrames =
      std::string("\xff\xd8", 2) + segment(0xc0, std::string("\x08\0\x08\0\x08\x01\x01\x11\0", 9)) +
      segment(0xc2, std::string("\x08\0\x08\0\x08\x01\x01\x11\0", 9)) + segment(0xda, "x");
  EXPECT_NE(check(twoFrames).error.find("two JPEG frame headers"), std::string::npos);
  const std::string endsEarly = std::string("\xff\xd8\xff\xd9", 4);
  EXPECT_FALSE(check(endsEarly).ok);
}
