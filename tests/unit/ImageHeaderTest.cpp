// The picture header check on raw bytes: PNG and JPEG sizes, damaged headers (cut ones are the map
// fuzz target's), other formats, the JPEG codings and layouts refused, and coded data far beyond
// what the size needs.
#include <gtest/gtest.h>

#include <string>

#include "tests/unit/TestImages.h"
#include "platform/image/ImageHeader.h"

namespace {

std::string u16(unsigned v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v)}; }

std::string segment(unsigned char marker, const std::string& body) {
  return std::string{'\xff', static_cast<char>(marker)} + u16(body.size() + 2) + body;
}

// SOI, APP0, a frame header, `scans` scan headers with `data` bytes of entropy data, EOI.
std::string jpeg(unsigned w, unsigned h, unsigned char frame = 0xc0, int precision = 8,
                 int components = 3, int scans = 1, size_t data = 2) {
  std::string sof = std::string{static_cast<char>(precision)} + u16(h) + u16(w) + static_cast<char>(components);
  for (int c = 1; c <= components; ++c) sof += std::string{static_cast<char>(c), '\x11', 0};
  std::string scan;
  for (int i = 0; i < scans; ++i)
    scan += segment(0xda, std::string("\x01\x01\x00\x00\x3f\x00", 6)) + std::string(data, '\x12');
  return std::string("\xff\xd8", 2) + segment(0xe0, "JFIF") + segment(frame, sof) + scan + "\xff\xd9";
}

// A Huffman table (class and place in `classPlace`) of `codes` codes, lengths 1 and 2 bits first.
std::string huffmanTable(unsigned char classPlace, size_t codes) {
  std::string counts(16, '\0');
  for (size_t i = 0, left = codes; left > 0; ++i, left -= counts[i - 1] & 0xff)
    counts[i] = static_cast<char>(left < 255 ? left : 255);
  return static_cast<char>(classPlace) + counts + std::string(codes, '\x07');
}

// A PNG header with `idat` bytes of (meaningless) image data split into two IDAT chunks.
std::string pngWithHeader(unsigned long w, unsigned long h, int depth = 8, int colourType = 2, size_t idat = 4) {
  return png::signature() + png::ihdr(w, h, depth, colourType) + png::chunk("IDAT", std::string(idat / 2, 'x')) +
         png::chunk("IDAT", std::string(idat - idat / 2, 'x')) + png::chunk("IEND", "");
}

}  // namespace

TEST(ImageHeader, SizeComesFromTheHeaderAndEveryFaultOrCutIsRefusedWithItsCause) {
  const std::string good = pngWithHeader(3, 2), jpg = jpeg(8, 8);
  auto edited = [](std::string s, size_t at, const std::string& with) {
    return s.replace(at, with.size(), with);
  };
  std::string filled = jpeg(5, 7, 0xc0, 8, 1);  // grey; fill bytes and a restart marker
  filled.insert(2, "\xff\xff\xff\xd0", 4);
  const size_t sof = jpg.find("\xff\xc0");
  const std::string twoScans = jpeg(8, 8, 0xc2, 8, 3, 2);
  const size_t secondScan = twoScans.rfind("\xff\xda");
  auto tables = [](std::string s, size_t at, const std::string& body) {
    return s.insert(at, segment(0xc4, body));
  };
  const std::string soi("\xff\xd8", 2), frame("\x08\0\x08\0\x08\x01\x01\x11\0", 9);
  const struct {
    std::string bytes;
    const char* cause;
    int w = 0, h = 0;
  } cases[] = {
      {good, "", 3, 2},
      {pngWithHeader(256, 1), "", 256, 1},
      {jpeg(1, 256, 0xc2), "", 1, 256},
      {filled, "", 5, 7},
      {pngWithHeader(8, 8, 8, 2, 4 * 200 + 65536), "", 8, 8},  // data and scans at their limits
      {jpeg(8, 8, 0xc0, 8, 3, 1, 4 * 192 + 65536 - 12), "", 8, 8},
      {jpeg(8, 8, 0xc0, 8, 3, 100), "", 8, 8},
      {tables(jpg, sof, huffmanTable(0x13, 256) + huffmanTable(0x00, 12)), "", 8, 8},
      {tables(twoScans, secondScan, huffmanTable(0x11, 256)), "", 8, 8},
      {pngWithHeader(257, 1), "it is 257 x 1 pixels; a map is 1 to 256 pixels on each side"},
      {pngWithHeader(0xffffffffUL, 0x80000000UL), "it is 4294967295 x 2147483648 pixels"},
      {jpeg(10, 0), "it is 10 x 0 pixels"},  // height left to a DNL marker: not accepted
      {"", "the file is empty"},
      {edited(good, 11, "\x0e"), "IHDR"},  // wrong IHDR length
      {pngWithHeader(3, 2, 16, 3), "bit depth 16, colour type 3"},
      {edited(good, good.find("IDAT"), "ID4T"), "chunks are damaged"},
      {png::signature() + png::ihdr(3, 2, 8, 2) + png::chunk("IEND", ""), "no PNG image data"},
      // Interlace method 2 with its checksum right, then a byte changed under a right length.
      {png::signature() + png::ihdr(3, 2, 8, 2, 2) + png::chunk("IEND", ""), "IHDR) is damaged: bit depth 8, colour type 2"},
      {edited(good, 28, "\x01"), "its PNG chunk IHDR is damaged (checksum)"},
      {good.substr(0, 30), "the PNG data ends inside its header"},  // cut inside the IHDR's checksum
      {pngWithHeader(3, 2, 8, 3).insert(33, png::chunk("PLTE", "rgb") + png::chunk("PLTE", "rgb")), "PNG palette (PLTE) is damaged"},
      {edited(jpg, sof, "\x12"), "markers are damaged"},
      {edited(jpg, sof + 2, u16(18)), "frame header (SOFn) is damaged"},  // length, components
      {soi + segment(0xda, "\x01\x01\x00\x00\x3f"), "no JPEG frame header"},
      {soi + segment(0xc0, frame) + segment(0xc2, frame) + segment(0xda, "x"), "two JPEG frame headers"},
      {jpeg(8, 8, 0xc3), "(SOF3) is not supported"},
      {jpeg(8, 8, 0xc0, 12, 1), "it is a 12-bit JPEG with 1 component; a JPEG map is"},
      {jpeg(8, 8, 0xc0, 8, 4), "it is an 8-bit JPEG with 4 components"},
      {pngWithHeader(3, 2).insert(33, png::chunk("PLTE", "rgba")), "PNG palette (PLTE) is damaged"},
      {pngWithHeader(3, 2).insert(33, png::chunk("PLTE", std::string(3 * 257, 'p'))), "palette (PLTE) is damaged"},
      {"GIF89a\x03\0\x02\0", "it is a GIF image; a map must be PNG or JPEG"},
      {"wall wall glass\n", "it is not a PNG or JPEG image"},
      // 8 x 8 RGB rows need 8 * 25 bytes: 4 times that and 64 KiB pass, one byte more does not.
      {pngWithHeader(8, 8, 8, 2, 4 * 200 + 65537), "image data is 66337 bytes, far more than an 8 x 8"},
      {jpeg(8, 8, 0xc0, 8, 3, 1, 4 * 192 + 65536 - 12 + 1), "data is 66305 bytes, far more"},
      {jpeg(8, 8, 0xc0, 8, 3, 101), "it holds more than 100 JPEG scans"},
      // Huffman tables of more codes than a table holds, of a class or place that does not
      // exist, or running past their segment; before the frame or between two scans.
      {tables(jpg, sof, huffmanTable(0x00, 257)), "its JPEG Huffman table (DHT) is damaged"},
      {tables(jpg, sof, huffmanTable(0x20, 1)), "Huffman table (DHT) is damaged"},
      {tables(jpg, sof, huffmanTable(0x04, 1)), "Huffman table (DHT) is damaged"},
      {tables(jpg, sof, huffmanTable(0x01, 3).substr(0, 19)), "Huffman table (DHT) is damaged"},
      {tables(jpg, sof, huffmanTable(0x01, 3) + "\x10"), "Huffman table (DHT) is damaged"},
      {tables(twoScans, secondScan, huffmanTable(0x11, 16 * 255)), "Huffman table (DHT) is damaged"},
      // After a scan, a segment running past the end (the decoder would wait for it forever).
      {edited(jpg, jpg.size() - 2, "\xff\xee" + u16(60000) + "xy"), "ends inside a marker segment"},
      {jpg.substr(0, jpg.size() - 2) + "\xff\xfe\x00", "ends inside a marker segment"},
      {edited(jpg, jpg.size() - 2, "\xff\xee" + u16(0)) + "\xff\xd9", "ends inside a marker segment"},  // a length below its own 2
  };
  for (const auto& c : cases) {
    ImageHeader header;
    std::string error;
    const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
    const bool ok = header.read(bytes, c.bytes.size(), 256, error);
    EXPECT_TRUE(*c.cause ? !ok && error.find(c.cause) != std::string::npos : ok) << c.cause << ": " << error;
    EXPECT_TRUE(!ok || (header.width == c.w && header.height == c.h)) << c.w << " x " << c.h;
  }
}


// Which scans decode with a Huffman table no DHT before them defines (the page refuses those): a
// sequential scan uses both tables of each component, a progressive one DC tables in its first
// DC pass, AC tables in AC passes, none in DC refinements; tables count from where they stand.
TEST(ImageHeader, ScansThatDecodeWithAnUndefinedHuffmanTableAreMarked) {
  const std::string soi("\xff\xd8", 2), eoi("\xff\xd9", 2), data(4, '\x12');
  const std::string frame("\x08\0\x08\0\x08\x03\x01\x11\0\x02\x11\0\x03\x11\0", 15);
  auto scan = [&](const std::string& components, char start, char end, char approximation) {
    return segment(0xda, static_cast<char>(components.size() / 2) + components +
                             std::string{start, end, approximation}) + data;
  };
  auto dht = [](unsigned char classPlace) { return segment(0xc4, huffmanTable(classPlace, 2)); };
  const std::string both("\x01\x00\x02\x11", 4);  // component 1: DC 0, AC 0; 2: DC 1, AC 1
  const std::string first("\x01\x00", 2), second("\x02\x11", 2);
  const std::string sequential = soi + segment(0xc0, frame), progressive = soi + segment(0xc2, frame);
  const struct {
    std::string bytes;
    bool missing;
  } cases[] = {
      {sequential + dht(0x00) + dht(0x10) + dht(0x01) + dht(0x11) + scan(both, 0, 63, 0), false},
      {sequential + dht(0x00) + dht(0x10) + dht(0x01) + scan(both, 0, 63, 0), true},
      {sequential + scan(both, 0, 63, 0) + dht(0x00) + dht(0x10) + dht(0x01) + dht(0x11), true},
      {sequential + scan(both, 0, 63, 0), true},
      {progressive + dht(0x00) + dht(0x01) + scan(both, 0, 0, 0), false},
      {progressive + dht(0x00) + scan(both, 0, 0, 0), true},
      {progressive + scan(both, 0, 0, 0x10), false},  // DC refinement: no table
      {progressive + dht(0x00) + scan(first, 0, 0, 0) + dht(0x10) + scan(first, 1, 5, 0), false},
      {progressive + dht(0x00) + scan(first, 0, 0, 0) + scan(first, 1, 5, 0), true},
      {progressive + dht(0x10) + scan(first, 1, 5, 0x12) + scan(second, 1, 63, 0), true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string bytes = cases[i].bytes + eoi;
    ImageHeader header;
    std::string error;
    ASSERT_TRUE(header.read(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 256,
                            error))
        << "case " << i << ": " << error;
    EXPECT_EQ(header.jpegTableMissing, cases[i].missing) << "case " << i;
  }
  // A header read after another starts afresh: neither its tables nor its mark carry over.
  for (const size_t last : {0, 3}) {
    ImageHeader header;
    std::string error;
    for (const size_t i : {3 - last, last}) {
      const std::string bytes = cases[i].bytes + eoi;
      header.read(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 256, error);
    }
    EXPECT_EQ(header.jpegTableMissing, cases[last].missing) << "case " << last << " read last";
  }
}
