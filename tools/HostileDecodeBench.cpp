// How long a hostile picture keeps the decoder busy before it is refused: the shipped map as the
// baseline, compressed-data bombs beyond and within the image data bound, a palette overrun, and
// a texture-sized bomb. Each must stay far below the second a user would notice at start-up.
#include <IL/il.h>
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "Utils/TextureLoader.h"
#include "tools/CheckedReporter.h"
#include "tools/RootArgument.h"
#include "world/MapImage.h"
#include "world/WorldBuilder.h"

namespace {

std::string be32(unsigned long v) {
  return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string chunk(const std::string& type, const std::string& data) {
  const std::string body = type + data;
  return be32(data.size()) + body +
         be32(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
}

std::string png(unsigned long side, int colourType, const std::string& idat, const std::string& extra = "") {
  const std::string ihdr = be32(side) + be32(side) + std::string{8, static_cast<char>(colourType), 0, 0, 0};
  return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + extra + chunk("IDAT", idat) +
         chunk("IEND", "");
}

// A zlib stream of `mebibytes` MiB of zeros, about a kilobyte a MiB: after a full flush every
// further MiB compresses to the same bytes, so the stream is built by repetition.
std::string zeroBomb(int mebibytes) {
  z_stream zs{};
  deflateInit(&zs, 9);
  std::string zeros(1 << 20, '\0'), out;
  auto deflateMiB = [&](int flush) {
    std::string part(1 << 20, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(&zeros[0]);
    zs.avail_in = static_cast<uInt>(zeros.size());
    zs.next_out = reinterpret_cast<Bytef*>(&part[0]);
    zs.avail_out = static_cast<uInt>(part.size());
    deflate(&zs, flush);
    return part.substr(0, part.size() - zs.avail_out);
  };
  out = deflateMiB(Z_FULL_FLUSH);
  const std::string block = deflateMiB(Z_FULL_FLUSH);
  for (int i = 2; i < mebibytes; ++i) out += block;
  out += deflateMiB(Z_FINISH);
  deflateEnd(&zs);
  return out;
}

void decode(benchmark::State& state, const std::string& bytes, const Image::Limits& limits) {
  ilInit();
  bool accepted = false;
  for (auto _ : state) {
    Image image;
    std::string error;
    accepted = image.decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                            error, limits);
    benchmark::DoNotOptimize(error);
  }
  state.SetLabel(std::string(accepted ? "accepted, " : "refused, ") +
                 std::to_string(bytes.size()) + " bytes");
}

std::string shippedMap() {
  std::ifstream in(kShippedMapFile, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string paletteOverrun() {
  std::string rows;
  for (int y = 0; y < 256; ++y) {
    rows += '\0';
    for (int x = 0; x < 256; ++x) rows += static_cast<char>(x);
  }
  uLongf size = compressBound(rows.size());
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(rows.data()),
           rows.size());
  return png(256, 3, out.substr(0, size), chunk("PLTE", std::string(6, '\0')));
}

}  // namespace

int main(int argc, char** argv) {
  if (!enterRoot(argc, argv)) return 1;
  const Image::Limits& map = MapImage::kMapLimits;
  const Image::Limits& texture = kTextureLimits;
  const std::string shipped = shippedMap();
  if (shipped.empty()) {
    std::fprintf(stderr, "decodebench: cannot read %s: run it from the repository or give --root\n",
                 kShippedMapFile);
    return 1;
  }
  benchmark::RegisterBenchmark("decode/shipped_map", decode, shipped, map);
  benchmark::RegisterBenchmark("decode/map_bomb_15GiB_in_15MiB", decode, png(256, 2, zeroBomb(15000)), map);
  benchmark::RegisterBenchmark("decode/map_bomb_800MiB_within_bound", decode, png(256, 2, zeroBomb(800)), map);
  benchmark::RegisterBenchmark("decode/map_palette_overrun", decode, paletteOverrun(), map);
  benchmark::RegisterBenchmark("decode/texture_bomb_15GiB_2048", decode, png(2048, 2, zeroBomb(15000)), texture);
  CheckedReporter reporter;
  return runCheckedBenchmarks(argc, argv, reporter);
}
