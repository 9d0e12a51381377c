// The header check a map or texture file passes before any decoder sees it: the format from the
// leading bytes (PNG or JPEG only), the picture's size from the PNG IHDR chunk or the JPEG frame
// (SOFn) marker, and the amount of coded image data against that size, without decoding.
#pragma once

#include <cstddef>
#include <string>

class ImageHeader {
 public:
  enum class Format { Png, Jpeg };

  // A decoder's work grows with the coded data, not with the picture: a PNG's image data
  // (IDAT) may be at most this many times what its rows need when stored uncompressed, plus
  // kSlackBytes; a JPEG's data from its first scan on the same against its samples, in at most
  // kMaxJpegScans scans. Real encoders stay far below (stored zlib blocks add 0.01 %).
  static constexpr size_t kDataFactor = 4;
  static constexpr size_t kSlackBytes = 64 * 1024;
  static constexpr int kMaxJpegScans = 100;

  // Reads the header of the `size` bytes at `bytes`. Returns false and sets `error` to the cause
  // when the bytes are not PNG or JPEG (naming the format where it is recognised), when the
  // header is damaged or cut short, when a side is outside 1..maxSide, or when the coded data is
  // far more than the size needs. `kind` names the picture in the causes ("map", "texture").
  bool read(const unsigned char* bytes, size_t size, int maxSide, std::string& error,
            const char* kind = "map");

  // PNG only: the passes of the image data (7 when Adam7-interlaced, else 1), the pixels of
  // pass `pass` (0 x 0 when it is empty), the bits of one pixel, and the bytes of the inflated
  // image data: every row of every pass with its filter byte.
  int pngPasses() const { return interlaced ? 7 : 1; }
  void pngPassSize(int pass, size_t& w, size_t& h) const;
  size_t pngBitsPerPixel() const;
  size_t pngRawBytes() const;

  Format format = Format::Png;
  int width = 0;
  int height = 0;
  // PNG only: IHDR's bit depth, colour type and interlace method, and the PLTE entries (0: none).
  int depth = 0;
  int colourType = 0;
  bool interlaced = false;
  int paletteEntries = 0;
  // JPEG only: a scan decodes with a Huffman table that no DHT segment before it defines. Some
  // decoders put the standard tables in its place; the page's has none, and would read the
  // memory of a table never made.
  bool jpegTableMissing = false;

 private:
  bool readPng(const unsigned char* bytes, size_t size, int maxSide, std::string& error);
  bool readJpeg(const unsigned char* bytes, size_t size, int maxSide, std::string& error);
  // Stores the size when both sides are within 1..maxSide, else sets `error`.
  bool takeSize(unsigned long w, unsigned long h, int maxSide, std::string& error);
  // False with `error` set when `dataBytes` exceed the bound for `needed` bytes.
  bool boundData(size_t dataBytes, size_t needed, std::string& error);

  // Walks the segments from the first scan marker at `scan` to EOI or the end: counts the scans,
  // refuses a segment that runs past the end, and bounds the data.
  bool boundScans(const unsigned char* scan, size_t size, std::string& error);

  std::string kind_ = "map";
  int jpegComponents_ = 0;
  bool jpegProgressive_ = false;
  unsigned jpegTables_ = 0;  // the Huffman tables defined so far, as in huffmanBit
};
