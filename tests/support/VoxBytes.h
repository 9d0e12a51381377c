// .vox bytes for tests, written chunk by chunk without the writer under test, so that files can be
// made to order: scene graphs, palettes, materials, and damaged or hostile files. Little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace voxbytes {

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct Voxel {
  int x, y, z, i;
};

inline std::string i32(long long v) {
  const auto u = static_cast<std::uint32_t>(v);
  return std::string{static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                     static_cast<char>(u >> 24)};
}

inline std::string str(const std::string& s) { return i32(static_cast<long long>(s.size())) + s; }

inline std::string dict(const Pairs& pairs) {
  std::string out = i32(static_cast<long long>(pairs.size()));
  for (const auto& p : pairs) out += str(p.first) + str(p.second);
  return out;
}

inline std::string chunk(const std::string& id, const std::string& content,
                         const std::string& children = "") {
  return id + i32(static_cast<long long>(content.size())) +
         i32(static_cast<long long>(children.size())) + content + children;
}

// A whole file: the header and MAIN with these children.
inline std::string file(const std::string& children, long long version = 150) {
  return "VOX " + i32(version) + chunk("MAIN", "", children);
}

inline std::string size(int x, int y, int z) { return chunk("SIZE", i32(x) + i32(y) + i32(z)); }

inline std::string xyzi(const std::vector<Voxel>& voxels) {
  std::string content = i32(static_cast<long long>(voxels.size()));
  for (const Voxel& v : voxels)
    content += std::string{static_cast<char>(v.x), static_cast<char>(v.y), static_cast<char>(v.z),
                           static_cast<char>(v.i)};
  return chunk("XYZI", content);
}

inline std::string model(int x, int y, int z, const std::vector<Voxel>& voxels) {
  return size(x, y, z) + xyzi(voxels);
}

// A transform with one frame.
inline std::string transform(int id, int child, int layer, const Pairs& frame = {},
                             const Pairs& attributes = {}) {
  return chunk("nTRN", i32(id) + dict(attributes) + i32(child) + i32(-1) + i32(layer) + i32(1) +
                           dict(frame));
}

inline std::string group(int id, const std::vector<int>& children, const Pairs& attributes = {}) {
  std::string content = i32(id) + dict(attributes) + i32(static_cast<long long>(children.size()));
  for (int c : children) content += i32(c);
  return chunk("nGRP", content);
}

inline std::string shape(int id, int model, const Pairs& attributes = {}) {
  return chunk("nSHP", i32(id) + dict(attributes) + i32(1) + i32(model) + dict({}));
}

inline std::string layer(int id, bool hidden) {
  Pairs attributes = {{"_name", "layer"}};
  if (hidden) attributes.push_back({"_hidden", "1"});
  return chunk("LAYR", i32(id) + dict(attributes) + i32(-1));
}

// The colours of indices 1 .. 255 (colours[k - 1]), then the unused last entry.
inline std::string rgba(const std::vector<std::array<unsigned char, 4>>& colours) {
  std::string content;
  for (int k = 0; k < 256; ++k) {
    const std::array<unsigned char, 4> c =
        k < static_cast<int>(colours.size()) ? colours[k] : std::array<unsigned char, 4>{0, 0, 0, 255};
    for (unsigned char b : c) content += static_cast<char>(b);
  }
  return chunk("RGBA", content);
}

inline std::string matl(int id, const Pairs& properties) {
  return chunk("MATL", i32(id) + dict(properties));
}

}  // namespace voxbytes
