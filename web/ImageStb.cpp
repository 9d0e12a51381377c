// Image decoding for the browser build: the same image data check and causes as the desktop's
// decoder, with stb_image decoding in DevIL's place (it also checks the PNG chunk
// checksums, which stb_image skips). The zlib check sees the IDAT chunks joined into one.
#include <stb/stb_image.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>

#include "platform/image/Image.h"
#include "platform/image/ImageHeader.h"
#include "platform/image/PngImageData.h"

namespace {

uint32_t be32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The PNG with every chunk's checksum checked and its IDAT chunks joined into the first one's
// place. The header check has walked the chunks already: every length lies within `size`.
bool joinImageData(const unsigned char* bytes, size_t size, std::string& joined,
                   std::string& error) {
  joined.assign(reinterpret_cast<const char*>(bytes), 8);
  std::string data;
  size_t idatAt = std::string::npos;
  for (size_t pos = 8; pos + 12 <= size;) {
    const size_t length = be32(bytes + pos);
    const uLong sum = crc32(0, bytes + pos + 4, static_cast<uInt>(length + 4));
    if (sum != be32(bytes + pos + 8 + length)) {
      error = "the image data is damaged (stb_image: a chunk's checksum is wrong)";
      return false;
    }
    const bool idat = std::memcmp(bytes + pos + 4, "IDAT", 4) == 0;
    if (idat) {
      if (idatAt == std::string::npos) {
        idatAt = joined.size();
        joined.append(12, '\0');
      }
      data.append(reinterpret_cast<const char*>(bytes + pos + 8), length);
    } else {
      joined.append(reinterpret_cast<const char*>(bytes + pos), 12 + length);
    }
    const bool end = std::memcmp(bytes + pos + 4, "IEND", 4) == 0;
    pos += 12 + length;
    if (end) break;
  }
  if (idatAt != std::string::npos) {
    const uint32_t n = static_cast<uint32_t>(data.size());
    const char head[8] = {static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                          static_cast<char>(n >> 8),  static_cast<char>(n),
                          'I', 'D', 'A', 'T'};
    joined.replace(idatAt, 8, head, 8);
    joined.insert(idatAt + 8, data);
  }
  return true;
}

}  // namespace

bool Image::decodeChecked(const unsigned char* bytes, size_t size, const ImageHeader& header,
                          std::string& error) {
  if (header.format == ImageHeader::Format::Png) {
    std::string joined;
    if (!joinImageData(bytes, size, joined, error) ||
        !PngImageData::check(reinterpret_cast<const unsigned char*>(joined.data()),
                             joined.size(), header, error))
      return false;
  }

  // stb_image has no standard tables to put in a missing one's place.
  if (header.jpegTableMissing) {
    error = "its JPEG scans decode with a Huffman table (DHT) that it does not define";
    return false;
  }

  // Bottom row first, as the grid's z = 0 and GL's texture rows want it.
  stbi_set_flip_vertically_on_load(1);
  int w = 0, h = 0, channels = 0;
  unsigned char* data =
      stbi_load_from_memory(bytes, static_cast<int>(size), &w, &h, &channels, 3);
  if (data == nullptr) {
    const char* reason = stbi_failure_reason();
    error = std::string("the image data is damaged (stb_image: ") +
            (reason != nullptr ? reason : "no reason given") + ")";
    return false;
  }
  if (w != header.width || h != header.height) {
    error = "it decodes to " + std::to_string(w) + " x " + std::to_string(h) +
            " x 1 pixels, not the " + std::to_string(header.width) + " x " +
            std::to_string(header.height) + " its header gives";
  } else {
    width = w;
    height = h;
    pixels.assign(data, data + static_cast<size_t>(w) * h * 3);
  }
  stbi_image_free(data);
  return width != 0;
}
