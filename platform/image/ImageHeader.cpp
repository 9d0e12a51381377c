// Picture header check: recognises PNG and JPEG by their leading bytes, reads the picture size
// from the PNG IHDR chunk or the JPEG SOFn segment and bounds the coded data by that size. Every
// read is bounded by the given size; the chunk and segment walks stop at the first length that
// runs past the end.
#include "platform/image/ImageHeader.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace {

const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
const unsigned char kJpegStart[3] = {0xff, 0xd8, 0xff};

unsigned long be32(const unsigned char* p) {
  return (static_cast<unsigned long>(p[0]) << 24) | (static_cast<unsigned long>(p[1]) << 16) |
         (static_cast<unsigned long>(p[2]) << 8) | static_cast<unsigned long>(p[3]);
}

unsigned be16(const unsigned char* p) { return (static_cast<unsigned>(p[0]) << 8) | p[1]; }

bool startsWith(const unsigned char* bytes, size_t size, const void* prefix, size_t length) {
  return size >= length && std::memcmp(bytes, prefix, length) == 0;
}

// True when the bytes begin like `prefix` but end before it is complete.
bool cutShortOf(const unsigned char* bytes, size_t size, const unsigned char* prefix,
                size_t length) {
  return size < length && std::memcmp(bytes, prefix, size) == 0;
}

// The name of a picture format that is not accepted, recognised from its leading bytes.
const char* otherFormat(const unsigned char* b, size_t size) {
  if (startsWith(b, size, "GIF87a", 6) || startsWith(b, size, "GIF89a", 6)) return "a GIF";
  if (startsWith(b, size, "BM", 2)) return "a BMP";
  if (size >= 3 && b[0] == 'P' && b[1] >= '1' && b[1] <= '7' &&
      (b[2] == ' ' || b[2] == '\t' || b[2] == '\n' || b[2] == '\r'))
    return "a PNM (PBM, PGM, PPM or PAM)";
  if (startsWith(b, size, "II*\0", 4) || startsWith(b, size, "MM\0*", 4)) return "a TIFF";
  if (size >= 12 && startsWith(b, size, "RIFF", 4) && std::memcmp(b + 8, "WEBP", 4) == 0)
    return "a WebP";
  if (startsWith(b, size, "8BPS", 4)) return "a Photoshop (PSD)";
  if (startsWith(b, size, "DDS ", 4)) return "a DirectDraw surface (DDS)";
  return nullptr;
}

bool validPngDepth(unsigned depth, unsigned colourType) {
  switch (colourType) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6: return depth == 8 || depth == 16;
    default: return false;
  }
}

// Huffman tables as bits: DC tables 0 to 3 in bits 0 to 3, AC tables in bits 4 to 7.
unsigned huffmanBit(unsigned tableClass, unsigned place) { return 1u << (4 * tableClass + place); }

// True when a DHT segment's `length` bytes after its length field hold whole Huffman tables, each
// of class 0 or 1 and place 0 to 3 with at most 256 codes: a decoder that builds its tables in
// 256-entry arrays writes past them otherwise (stb_image, in the page's build, does). Adds the
// tables defined to `defined`.
bool huffmanTablesFit(const unsigned char* tables, size_t length, unsigned& defined) {
  for (size_t at = 0; at < length;) {
    if (length - at < 17 || (tables[at] >> 4) > 1 || (tables[at] & 15) > 3) return false;
    size_t codes = 0;
    for (int i = 1; i <= 16; ++i) codes += tables[at + i];
    if (codes > 256 || codes > length - at - 17) return false;
    defined |= huffmanBit(tables[at] >> 4, tables[at] & 15);
    at += 17 + codes;
  }
  return true;
}

// The Huffman tables the scan header (SOS, the `length` bytes after its length field) decodes
// with: a sequential scan both of each of its components, a progressive one the DC tables in the
// first pass over DC, the AC tables over AC, none in a DC refinement. A header of the wrong length
// reads none: decoders refuse it before they decode.
unsigned scanTables(const unsigned char* scan, size_t length, bool progressive) {
  const size_t components = length > 0 ? scan[0] : 0;
  if (length != 4 + 2 * components) return 0;
  const unsigned spectralStart = scan[1 + 2 * components];
  const unsigned approximationHigh = scan[3 + 2 * components] >> 4;
  const bool dc = !progressive || (spectralStart == 0 && approximationHigh == 0);
  const bool ac = !progressive || spectralStart > 0;
  unsigned used = 0;
  for (size_t c = 0; c < components; ++c) {
    const unsigned tables = scan[2 + 2 * c];
    // A place above 3 names no table: the decoder refuses it.
    if (dc && (tables >> 4) <= 3) used |= huffmanBit(0, tables >> 4);
    if (ac && (tables & 15) <= 3) used |= huffmanBit(1, tables & 15);
  }
  return used;
}

const char* const kDamagedHuffmanTable = "its JPEG Huffman table (DHT) is damaged";

// "a" or "an" before a number read aloud in English (8, 11, 18, 80..89, 800.. start with a vowel).
std::string withArticle(unsigned n) {
  const std::string digits = std::to_string(n);
  const bool vowel = digits[0] == '8' || n == 11 || n == 18;
  return (vowel ? "an " : "a ") + digits;
}

bool isChunkLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Baseline, extended and progressive Huffman frames; libjpeg decodes these to 8 bits.
bool isSupportedFrame(unsigned marker) { return marker >= 0xc0 && marker <= 0xc2; }
// Every SOFn marker: C0..CF except DHT (C4), JPG (C8) and DAC (CC).
bool isFrame(unsigned marker) {
  return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

}  // namespace

bool ImageHeader::read(const unsigned char* bytes, size_t size, int maxSide, std::string& error,
                     const char* kind) {
  kind_ = kind;
  width = height = depth = colourType = paletteEntries = 0;
  interlaced = jpegTableMissing = jpegProgressive_ = false;
  jpegTables_ = 0;
  if (size == 0) {
    error = "the file is empty";
    return false;
  }
  if (startsWith(bytes, size, kPngSignature, sizeof kPngSignature)) {
    format = Format::Png;
    return readPng(bytes, size, maxSide, error);
  }
  if (startsWith(bytes, size, kJpegStart, sizeof kJpegStart)) {
    format = Format::Jpeg;
    return readJpeg(bytes, size, maxSide, error);
  }
  if (cutShortOf(bytes, size, kPngSignature, sizeof kPngSignature) ||
      cutShortOf(bytes, size, kJpegStart, sizeof kJpegStart)) {
    error = "the file ends inside its signature (truncated)";
  } else if (const char* other = otherFormat(bytes, size)) {
    error = std::string("it is ") + other + " image; a " + kind_ + " must be PNG or JPEG";
  } else {
    error = "it is not a PNG or JPEG image";
  }
  return false;
}

bool ImageHeader::takeSize(unsigned long w, unsigned long h, int maxSide, std::string& error) {
  const unsigned long limit = static_cast<unsigned long>(maxSide);
  if (w < 1 || h < 1 || w > limit || h > limit) {
    error = "it is " + std::to_string(w) + " x " + std::to_string(h) +
            " pixels; a " + kind_ + " is 1 to " + std::to_string(maxSide) + " pixels on each side";
    return false;
  }
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

bool ImageHeader::boundData(size_t dataBytes, size_t needed, std::string& error) {
  if (dataBytes <= kDataFactor * needed + kSlackBytes) return true;
  error = "its image data is " + std::to_string(dataBytes) + " bytes, far more than " +
          withArticle(static_cast<unsigned>(width)) + " x " + std::to_string(height) +
          " picture needs";
  width = height = 0;
  return false;
}

void ImageHeader::pngPassSize(int pass, size_t& w, size_t& h) const {
  static const int x0[7] = {0, 4, 0, 2, 0, 1, 0}, dx[7] = {8, 8, 4, 4, 2, 2, 1};
  static const int y0[7] = {0, 0, 4, 0, 2, 0, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
  w = width;
  h = height;
  if (!interlaced) return;
  w = width > x0[pass] ? (width - x0[pass] + dx[pass] - 1) / dx[pass] : 0;
  h = height > y0[pass] ? (height - y0[pass] + dy[pass] - 1) / dy[pass] : 0;
  if (w == 0) h = 0;
  if (h == 0) w = 0;
}

size_t ImageHeader::pngBitsPerPixel() const {
  static const int channels[7] = {1, 0, 3, 1, 2, 0, 4};
  return static_cast<size_t>(depth) * channels[colourType % 7];
}

size_t ImageHeader::pngRawBytes() const {
  size_t total = 0;
  for (int pass = 0; pass < pngPasses(); ++pass) {
    size_t w = 0, h = 0;
    pngPassSize(pass, w, h);
    if (h > 0) total += h * (1 + (w * pngBitsPerPixel() + 7) / 8);
  }
  return total;
}

namespace {

// The CRC-32 of PNG chunks (and zlib): reflected polynomial 0xEDB88320, over type and data.
unsigned long chunkCrc(const unsigned char* bytes, size_t length) {
  static const auto table = [] {
    std::array<unsigned long, 256> t{};
    for (unsigned long n = 0; n < 256; ++n) {
      unsigned long c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  unsigned long c = 0xFFFFFFFFUL;
  for (size_t i = 0; i < length; ++i) c = table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFUL;
}

}  // namespace

bool ImageHeader::readPng(const unsigned char* bytes, size_t size, int maxSide,
                        std::string& error) {
  // After the signature every chunk is: length (4), type (4), data (length), CRC (4). The first
  // is IHDR with 13 bytes: width, height, bit depth, colour type, compression, filter, interlace.
  size_t pos = sizeof kPngSignature;
  if (size - pos < 8 + 13 + 4) {
    error = "the PNG data ends inside its header (truncated)";
    return false;
  }
  if (be32(bytes + pos) != 13 || std::memcmp(bytes + pos + 4, "IHDR", 4) != 0) {
    error = "its PNG header (IHDR) is damaged";
    return false;
  }
  const unsigned char* ihdr = bytes + pos + 8;
  const unsigned depth = ihdr[8], colourType = ihdr[9];
  if (!validPngDepth(depth, colourType) || ihdr[10] != 0 || ihdr[11] != 0 || ihdr[12] > 1) {
    error = "its PNG header (IHDR) is damaged: bit depth " + std::to_string(depth) +
            ", colour type " + std::to_string(colourType);
    return false;
  }
  if (!takeSize(be32(ihdr), be32(ihdr + 4), maxSide, error)) return false;
  this->depth = static_cast<int>(depth);
  this->colourType = static_cast<int>(colourType);
  interlaced = ihdr[12] == 1;

  // The chunk walk: the stream must be whole up to IEND and hold image data.
  bool imageData = false;
  size_t imageDataBytes = 0;
  while (true) {
    if (size - pos < 12) break;
    const unsigned long length = be32(bytes + pos);
    const unsigned char* type = bytes + pos + 4;
    if (length > 0x7fffffffUL || !isChunkLetter(type[0]) || !isChunkLetter(type[1]) ||
        !isChunkLetter(type[2]) || !isChunkLetter(type[3])) {
      error = "its PNG chunks are damaged";
      width = height = 0;
      return false;
    }
    if (length > size - pos - 12) break;
    // Both builds' decoders refuse a chunk whose checksum is wrong, each in its own words: the
    // check here gives one line for either.
    if (chunkCrc(type, 4 + length) != be32(type + 4 + length)) {
      error = "its PNG chunk " + std::string(reinterpret_cast<const char*>(type), 4) +
              " is damaged (checksum)";
      width = height = 0;
      return false;
    }
    if (std::memcmp(type, "IDAT", 4) == 0) {
      imageData = true;
      imageDataBytes += length;
    }
    if (std::memcmp(type, "PLTE", 4) == 0) {
      if (length == 0 || length % 3 != 0 || length > 3 * 256 || paletteEntries != 0) {
        error = "its PNG palette (PLTE) is damaged";
        width = height = 0;
        return false;
      }
      paletteEntries = static_cast<int>(length / 3);
    }
    if (std::memcmp(type, "IEND", 4) == 0) {
      if (imageData) return boundData(imageDataBytes, pngRawBytes(), error);
      error = "it holds no PNG image data (IDAT)";
      width = height = 0;
      return false;
    }
    pos += 12 + length;
  }
  error = "the PNG data ends before its last chunk (truncated)";
  width = height = 0;
  return false;
}

bool ImageHeader::readJpeg(const unsigned char* bytes, size_t size, int maxSide,
                         std::string& error) {
  // Marker segments after SOI: 0xFF (any number of fill bytes), the marker, then for all but
  // the standalone markers a two-byte length that counts itself. The frame (SOFn) segment holds
  // precision, height, width and the components; the header ends at the first scan (SOS).
  size_t pos = 2;
  bool frame = false;
  while (true) {
    if (pos >= size) break;
    if (bytes[pos] != 0xff) {
      error = "its JPEG markers are damaged";
      width = height = 0;
      return false;
    }
    while (pos < size && bytes[pos] == 0xff) ++pos;
    if (pos >= size) break;
    const unsigned marker = bytes[pos++];
    if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) continue;
    if (marker == 0x00 || marker == 0xd8 || marker == 0xd9) {
      error = frame ? "its JPEG data ends before the first scan"
                    : "it holds no JPEG frame header (SOFn)";
      width = height = 0;
      return false;
    }
    if (size - pos < 2) break;
    const unsigned length = be16(bytes + pos);
    if (length < 2) {
      error = "its JPEG markers are damaged";
      width = height = 0;
      return false;
    }
    if (length > size - pos) break;
    const unsigned char* segment = bytes + pos + 2;
    if (marker == 0xc4 && !huffmanTablesFit(segment, length - 2, jpegTables_)) {
      error = kDamagedHuffmanTable;
      width = height = 0;
      return false;
    }
    if (marker == 0xda) {
      if (frame) return boundScans(bytes + pos - 2, size - (pos - 2), error);
      error = "it holds no JPEG frame header (SOFn)";
      return false;
    }
    if (isFrame(marker)) {
      if (frame) {
        error = "it holds two JPEG frame headers";
        width = height = 0;
        return false;
      }
      if (!isSupportedFrame(marker)) {
        char name[8];
        std::snprintf(name, sizeof name, "SOF%u", marker - 0xc0);
        error = std::string("its JPEG coding (") + name +
                ") is not supported; use baseline or progressive JPEG";
        return false;
      }
      const unsigned components = length >= 8 ? segment[5] : 0;
      if (length < 8 || length != 8 + 3 * components) {
        error = "its JPEG frame header (SOFn) is damaged";
        return false;
      }
      if (segment[0] != 8 || (components != 1 && components != 3)) {
        error = "it is " + withArticle(segment[0]) + "-bit JPEG with " +
                std::to_string(components) + (components == 1 ? " component" : " components") +
                "; a JPEG " + kind_ + " is 8-bit grey or colour";
        return false;
      }
      jpegComponents_ = static_cast<int>(components);
      jpegProgressive_ = marker == 0xc2;
      if (!takeSize(be16(segment + 3), be16(segment + 1), maxSide, error)) return false;
      frame = true;
    }
    pos += length;
  }
  error = "the JPEG data ends before its first scan (truncated)";
  width = height = 0;
  return false;
}

bool ImageHeader::boundScans(const unsigned char* scan, size_t size, std::string& error) {
  // Entropy-coded data stuffs every 0xFF with 0x00 and holds no marker but restarts, so any other
  // 0xFF pair starts a marker segment (after fill bytes). Up to EOI each segment must end within
  // the file: the decoder skips one that runs past the end by waiting for bytes that never come.
  int scans = 0;
  for (size_t i = 0; i + 1 < size;) {
    const unsigned marker = scan[i + 1];
    if (scan[i] != 0xff || marker == 0x00 || marker == 0xff || marker == 0x01 ||
        (marker >= 0xd0 && marker <= 0xd7)) {
      ++i;
      continue;
    }
    if (marker == 0xd9) break;
    if (marker == 0xda && ++scans > kMaxJpegScans) {
      error = "it holds more than " + std::to_string(kMaxJpegScans) + " JPEG scans";
      width = height = 0;
      return false;
    }
    if (size - i < 4 || be16(scan + i + 2) < 2 || be16(scan + i + 2) > size - i - 2) {
      error = "its JPEG data ends inside a marker segment (truncated)";
      width = height = 0;
      return false;
    }
    // A progressive picture may define tables between its scans.
    if (marker == 0xc4 && !huffmanTablesFit(scan + i + 4, be16(scan + i + 2) - 2u, jpegTables_)) {
      error = kDamagedHuffmanTable;
      width = height = 0;
      return false;
    }
    if (marker == 0xda &&
        (scanTables(scan + i + 4, be16(scan + i + 2) - 2u, jpegProgressive_) & ~jpegTables_) != 0)
      jpegTableMissing = true;
    i += 2 + be16(scan + i + 2);
  }
  return boundData(size, static_cast<size_t>(width) * height * jpegComponents_, error);
}
