// PNG image data check: zlib inflates the IDAT stream into a buffer of the size the rows need,
// the rows are unfiltered pass by pass and, for palette images, their indices compared with the
// number of PLTE entries. Work and memory are bounded by the header's size, whatever the data.
#include "platform/image/PngImageData.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

unsigned long be32(const unsigned char* p) {
  return (static_cast<unsigned long>(p[0]) << 24) | (static_cast<unsigned long>(p[1]) << 16) |
         (static_cast<unsigned long>(p[2]) << 8) | static_cast<unsigned long>(p[3]);
}

// Inflated bytes beyond the rows that are still taken as harmless padding of the stream.
constexpr size_t kExtraBytes = 1024;

// Inflates every IDAT chunk into `raw` (sized by the caller). Returns the bytes produced, or
// raw.size() + 1 when the stream holds more than kExtraBytes beyond, or -1 on a damaged stream.
long long inflateImageData(const unsigned char* bytes, size_t size, std::vector<unsigned char>& raw) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return -1;
  std::vector<unsigned char> extra(kExtraBytes);
  zs.next_out = raw.data();
  zs.avail_out = static_cast<uInt>(raw.size());
  bool inRows = true;
  int status = Z_OK;
  // The header check has walked the chunks already: every length lies within `size`.
  for (size_t pos = 8; pos + 12 <= size && status == Z_OK;) {
    const size_t length = be32(bytes + pos);
    if (std::memcmp(bytes + pos + 4, "IEND", 4) == 0) break;
    if (std::memcmp(bytes + pos + 4, "IDAT", 4) == 0) {
      zs.next_in = const_cast<unsigned char*>(bytes + pos + 8);
      zs.avail_in = static_cast<uInt>(length);
      while (zs.avail_in > 0 && status == Z_OK) {
        if (zs.avail_out == 0) {
          if (!inRows) {
            inflateEnd(&zs);
            return static_cast<long long>(raw.size()) + 1;
          }
          inRows = false;
          zs.next_out = extra.data();
          zs.avail_out = static_cast<uInt>(extra.size());
        }
        status = inflate(&zs, Z_NO_FLUSH);
        if (status == Z_BUF_ERROR && zs.avail_out == 0) status = Z_OK;
      }
    }
    pos += 12 + length;
  }
  const bool damaged = status != Z_OK && status != Z_STREAM_END;
  const long long produced = inRows ? static_cast<long long>(raw.size() - zs.avail_out)
                                    : static_cast<long long>(raw.size());
  inflateEnd(&zs);
  return damaged ? -1 : produced;
}

int paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

}  // namespace

bool PngImageData::check(const unsigned char* bytes, size_t size, const ImageHeader& header,
                         std::string& error) {
  const size_t rawBytes = header.pngRawBytes();
  std::vector<unsigned char> raw(rawBytes);
  const long long produced = inflateImageData(bytes, size, raw);
  if (produced < 0) {
    error = "its PNG image data is damaged (not a valid zlib stream)";
    return false;
  }
  if (static_cast<size_t>(produced) != rawBytes) {
    error = "its PNG image data inflates to " +
            std::string(static_cast<size_t>(produced) > rawBytes ? "more" : "less") +
            " than the " + std::to_string(rawBytes) + " bytes its size needs";
    return false;
  }
  if (header.colourType == 3 && header.paletteEntries == 0) {
    error = "its PNG palette (PLTE) is missing";
    return false;
  }

  const size_t bits = header.pngBitsPerPixel();
  const size_t step = bits < 8 ? 1 : bits / 8;  // filter distance in bytes
  size_t pos = 0;
  for (int pass = 0; pass < header.pngPasses(); ++pass) {
    size_t w = 0, h = 0;
    header.pngPassSize(pass, w, h);
    const size_t rowBytes = (w * bits + 7) / 8;
    const unsigned char* previous = nullptr;
    for (size_t y = 0; y < h; ++y, pos += 1 + rowBytes) {
      const int filter = raw[pos];
      unsigned char* row = &raw[pos + 1];
      if (filter > 4) {
        error = "its PNG image data is damaged: filter type " + std::to_string(filter);
        return false;
      }
      for (size_t i = 0; i < rowBytes; ++i) {
        const int a = i >= step ? row[i - step] : 0, b = previous ? previous[i] : 0;
        const int c = previous && i >= step ? previous[i - step] : 0;
        const int add = filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2
                        : filter == 4 ? paeth(a, b, c) : 0;
        row[i] = static_cast<unsigned char>(row[i] + add);
      }
      previous = row;
      if (header.colourType != 3) continue;
      for (size_t x = 0; x < w; ++x) {
        const size_t bit = x * header.depth;
        const int index = (row[bit / 8] >> (8 - header.depth - bit % 8)) & ((1 << header.depth) - 1);
        if (index >= header.paletteEntries) {
          error = "it uses palette entry " + std::to_string(index) + " but its palette (PLTE) has " +
                  std::to_string(header.paletteEntries) +
                  (header.paletteEntries == 1 ? " entry" : " entries");
          return false;
        }
      }
    }
  }
  return true;
}
