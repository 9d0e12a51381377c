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
  return {char(u), char(u >> 8), char(u >> 16), char(u >> 24)};
}
inline std::string str(const std::string& s) { return i32(s.size()) + s; }
inline std::string dict(const Pairs& pairs) {
  std::string out = i32(pairs.size());
  for (const auto& p : pairs) out += str(p.first) + str(p.second);
  return out;
}
inline std::string chunk(const std::string& id, const std::string& content, const std::string& children = "") {
  return id + i32(content.size()) + i32(children.size()) + content + children;
}
// A whole file: the header and MAIN with these children.
inline std::string file(const std::string& children) { return "VOX " + i32(150) + chunk("MAIN", "", children); }
inline std::string size(int x, int y, int z) { return chunk("SIZE", i32(x) + i32(y) + i32(z)); }
inline std::string xyzi(const std::vector<Voxel>& voxels) {
  std::string content = i32(voxels.size());
  for (const Voxel& v : voxels) content += {char(v.x), char(v.y), char(v.z), char(v.i)};
  return chunk("XYZI", content);
}
inline std::string model(int x, int y, int z, const std::vector<Voxel>& voxels) { return size(x, y, z) + xyzi(voxels); }

// A transform with one frame.
inline std::string transform(int id, int child, int layer, const Pairs& frame = {}, const Pairs& attributes = {}) {
  return chunk("nTRN", i32(id) + dict(attributes) + i32(child) + i32(-1) + i32(layer) + i32(1) + dict(frame));
}
inline std::string group(int id, const std::vector<int>& children) {
  std::string content = i32(id) + dict({}) + i32(children.size());
  for (int c : children) content += i32(c);
  return chunk("nGRP", content);
}
inline std::string shape(int id, int model) { return chunk("nSHP", i32(id) + dict({}) + i32(1) + i32(model) + dict({})); }
inline std::string layer(int id, bool hidden) {
  return chunk("LAYR", i32(id) + dict(hidden ? Pairs{{"_hidden", "1"}} : Pairs{}) + i32(-1));
}

// The colours of indices 1 .. 255 (colours[k - 1]; opaque black past its end), then the unused last.
inline std::string rgba(std::vector<std::array<unsigned char, 4>> colours) {
  colours.resize(256, {0, 0, 0, 255});
  std::string content;
  for (const auto& c : colours) content.append(c.begin(), c.end());
  return chunk("RGBA", content);
}
inline std::string matl(int id, const Pairs& properties) { return chunk("MATL", i32(id) + dict(properties)); }

}  // namespace voxbytes
