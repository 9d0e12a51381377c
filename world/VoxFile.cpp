// The .vox reader, flattener and writer. Every read is bounds-checked against the chunk it lies
// in and every count against the bytes it needs, so no file can make the reader allocate more
// than it holds, read past it, or loop for long.
#include "world/VoxFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace vox {

std::int32_t le32(const unsigned char* p) {
  const std::uint32_t u = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                          static_cast<std::uint32_t>(p[2]) << 16 |
                          static_cast<std::uint32_t>(p[3]) << 24;
  std::int32_t v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}

namespace {

// The default palette, 0xAABBGGRR, entry k for colour index k.
constexpr std::uint32_t kDefaultPalette[256] = {
    0x00000000, 0xffffffff, 0xffccffff, 0xff99ffff, 0xff66ffff, 0xff33ffff,
    0xff00ffff, 0xffffccff, 0xffccccff, 0xff99ccff, 0xff66ccff, 0xff33ccff,
    0xff00ccff, 0xffff99ff, 0xffcc99ff, 0xff9999ff, 0xff6699ff, 0xff3399ff,
    0xff0099ff, 0xffff66ff, 0xffcc66ff, 0xff9966ff, 0xff6666ff, 0xff3366ff,
    0xff0066ff, 0xffff33ff, 0xffcc33ff, 0xff9933ff, 0xff6633ff, 0xff3333ff,
    0xff0033ff, 0xffff00ff, 0xffcc00ff, 0xff9900ff, 0xff6600ff, 0xff3300ff,
    0xff0000ff, 0xffffffcc, 0xffccffcc, 0xff99ffcc, 0xff66ffcc, 0xff33ffcc,
    0xff00ffcc, 0xffffcccc, 0xffcccccc, 0xff99cccc, 0xff66cccc, 0xff33cccc,
    0xff00cccc, 0xffff99cc, 0xffcc99cc, 0xff9999cc, 0xff6699cc, 0xff3399cc,
    0xff0099cc, 0xffff66cc, 0xffcc66cc, 0xff9966cc, 0xff6666cc, 0xff3366cc,
    0xff0066cc, 0xffff33cc, 0xffcc33cc, 0xff9933cc, 0xff6633cc, 0xff3333cc,
    0xff0033cc, 0xffff00cc, 0xffcc00cc, 0xff9900cc, 0xff6600cc, 0xff3300cc,
    0xff0000cc, 0xffffff99, 0xffccff99, 0xff99ff99, 0xff66ff99, 0xff33ff99,
    0xff00ff99, 0xffffcc99, 0xffcccc99, 0xff99cc99, 0xff66cc99, 0xff33cc99,
    0xff00cc99, 0xffff9999, 0xffcc9999, 0xff999999, 0xff669999, 0xff339999,
    0xff009999, 0xffff6699, 0xffcc6699, 0xff996699, 0xff666699, 0xff336699,
    0xff006699, 0xffff3399, 0xffcc3399, 0xff993399, 0xff663399, 0xff333399,
    0xff003399, 0xffff0099, 0xffcc0099, 0xff990099, 0xff660099, 0xff330099,
    0xff000099, 0xffffff66, 0xffccff66, 0xff99ff66, 0xff66ff66, 0xff33ff66,
    0xff00ff66, 0xffffcc66, 0xffcccc66, 0xff99cc66, 0xff66cc66, 0xff33cc66,
    0xff00cc66, 0xffff9966, 0xffcc9966, 0xff999966, 0xff669966, 0xff339966,
    0xff009966, 0xffff6666, 0xffcc6666, 0xff996666, 0xff666666, 0xff336666,
    0xff006666, 0xffff3366, 0xffcc3366, 0xff993366, 0xff663366, 0xff333366,
    0xff003366, 0xffff0066, 0xffcc0066, 0xff990066, 0xff660066, 0xff330066,
    0xff000066, 0xffffff33, 0xffccff33, 0xff99ff33, 0xff66ff33, 0xff33ff33,
    0xff00ff33, 0xffffcc33, 0xffcccc33, 0xff99cc33, 0xff66cc33, 0xff33cc33,
    0xff00cc33, 0xffff9933, 0xffcc9933, 0xff999933, 0xff669933, 0xff339933,
    0xff009933, 0xffff6633, 0xffcc6633, 0xff996633, 0xff666633, 0xff336633,
    0xff006633, 0xffff3333, 0xffcc3333, 0xff993333, 0xff663333, 0xff333333,
    0xff003333, 0xffff0033, 0xffcc0033, 0xff990033, 0xff660033, 0xff330033,
    0xff000033, 0xffffff00, 0xffccff00, 0xff99ff00, 0xff66ff00, 0xff33ff00,
    0xff00ff00, 0xffffcc00, 0xffcccc00, 0xff99cc00, 0xff66cc00, 0xff33cc00,
    0xff00cc00, 0xffff9900, 0xffcc9900, 0xff999900, 0xff669900, 0xff339900,
    0xff009900, 0xffff6600, 0xffcc6600, 0xff996600, 0xff666600, 0xff336600,
    0xff006600, 0xffff3300, 0xffcc3300, 0xff993300, 0xff663300, 0xff333300,
    0xff003300, 0xffff0000, 0xffcc0000, 0xff990000, 0xff660000, 0xff330000,
    0xff0000ee, 0xff0000dd, 0xff0000bb, 0xff0000aa, 0xff000088, 0xff000077,
    0xff000055, 0xff000044, 0xff000022, 0xff000011, 0xff00ee00, 0xff00dd00,
    0xff00bb00, 0xff00aa00, 0xff008800, 0xff007700, 0xff005500, 0xff004400,
    0xff002200, 0xff001100, 0xffee0000, 0xffdd0000, 0xffbb0000, 0xffaa0000,
    0xff880000, 0xff770000, 0xff550000, 0xff440000, 0xff220000, 0xff110000,
    0xffeeeeee, 0xffdddddd, 0xffbbbbbb, 0xffaaaaaa, 0xff888888, 0xff777777,
    0xff555555, 0xff444444, 0xff222222, 0xff111111,
};


// A chunk id as it reads in a message: its four characters when printable, else hex.
std::string chunkName(const unsigned char* id) {
  bool printable = true;
  for (int i = 0; i < 4; ++i) printable = printable && id[i] >= 0x20 && id[i] < 0x7f;
  if (printable) return std::string(reinterpret_cast<const char*>(id), 4);
  static const char digits[] = "0123456789abcdef";
  std::string hex = "0x";
  for (int i = 0; i < 4; ++i) {
    hex += digits[id[i] >> 4];
    hex += digits[id[i] & 15];
  }
  return hex;
}

// Reads one chunk's content; the first failure is kept, with the chunk's name and offset.
class ChunkReader {
 public:
  ChunkReader(const unsigned char* bytes, size_t begin, size_t end, std::string where)
      : p(bytes), begin(begin), at(begin), end(end), where(std::move(where)) {}

  bool fail(const std::string& cause) {
    if (error.empty()) error = where + ": " + cause;
    return false;
  }
  size_t left() const { return end - at; }

  bool i32(std::int32_t& v) {
    v = 0;
    if (left() < 4) return fail("it ends inside a number");
    v = le32(p + at);
    at += 4;
    return true;
  }

  // A count of items of `itemBytes` bytes each that must follow in this chunk.
  bool count(std::int32_t& n, size_t itemBytes, const char* what) {
    if (!i32(n)) return false;
    if (n < 0) return fail(std::string("a negative count of ") + what + " (" + std::to_string(n) + ")");
    if (static_cast<unsigned long long>(n) * itemBytes > left())
      return fail(std::to_string(n) + " " + what + " need at least " +
                  std::to_string(static_cast<unsigned long long>(n) * itemBytes) +
                  " bytes; the chunk has " + std::to_string(left()) + " left");
    return true;
  }

  bool string(std::string& s) {
    std::int32_t n;
    if (!i32(n)) return false;
    if (n < 0) return fail("a string of negative length (" + std::to_string(n) + ")");
    if (n > kMaxString)
      return fail("a string of " + std::to_string(n) + " bytes (at most " +
                  std::to_string(kMaxString) + ")");
    if (static_cast<size_t>(n) > left()) return fail("a string runs past the chunk");
    s.assign(reinterpret_cast<const char*>(p + at), static_cast<size_t>(n));
    at += static_cast<size_t>(n);
    return true;
  }

  bool dict(Dict& d) {
    std::int32_t n;
    if (!i32(n)) return false;
    if (n < 0) return fail("a dictionary of negative size (" + std::to_string(n) + ")");
    if (n > kMaxDictPairs)
      return fail("a dictionary of " + std::to_string(n) + " pairs (at most " +
                  std::to_string(kMaxDictPairs) + ")");
    if (static_cast<size_t>(n) * 8 > left())
      return fail("a dictionary of " + std::to_string(n) + " pairs runs past the chunk");
    d.pairs.clear();
    d.pairs.reserve(static_cast<size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
      std::pair<std::string, std::string> pair;
      if (!string(pair.first) || !string(pair.second)) return false;
      d.pairs.push_back(std::move(pair));
    }
    return true;
  }

  // An id that must lie in 0 .. kMaxId (or be -1 where `noneAllowed`).
  bool id(std::int32_t& v, const char* what, bool noneAllowed = false) {
    if (!i32(v)) return false;
    if ((noneAllowed && v == -1) || (v >= 0 && v <= kMaxId)) return true;
    return fail(std::string(what) + " id " + std::to_string(v) + " is outside 0 to " +
                std::to_string(kMaxId));
  }

  const unsigned char* p;
  size_t begin, at, end;
  std::string where;
  std::string error;
};

// `_t`: three integers, each within ±2^24.
bool parseTranslation(const std::string& text, int t[3]) {
  size_t at = 0;
  for (int k = 0; k < 3; ++k) {
    while (at < text.size() && text[at] == ' ') ++at;
    size_t end = at;
    while (end < text.size() && text[end] != ' ') ++end;
    long v;
    if (!parseInteger(text.substr(at, end - at), v) || v < -(1L << 24) || v > (1L << 24))
      return false;
    t[k] = static_cast<int>(v);
    at = end;
  }
  while (at < text.size() && text[at] == ' ') ++at;
  return at == text.size();
}

// Reads the transform's content after its id and attributes.
bool readTransform(ChunkReader& r, Node& node) {
  std::int32_t child, reserved, layer, frames;
  if (!r.id(child, "child node") || !r.i32(reserved) || !r.id(layer, "layer", true)) return false;
  if (!r.count(frames, 4, "frames")) return false;
  if (frames < 1) return r.fail("a transform with no frame");
  node.child = child;
  node.layer = layer;
  for (std::int32_t f = 0; f < frames; ++f) {
    Dict frame;
    if (!r.dict(frame)) return false;
    if (f != 0) continue;
    if (const std::string* rotation = frame.find("_r")) {
      long byte;
      if (!parseInteger(*rotation, byte) || byte < 0 || byte > 127 ||
          !node.rotation.decode(static_cast<int>(byte)))
        return r.fail("node " + std::to_string(node.id) + ": rotation \"" + printable(*rotation) +
                      "\" is none of the 48 rotation bytes");
    }
    if (const std::string* translation = frame.find("_t")) {
      if (!parseTranslation(*translation, node.translation))
        return r.fail("node " + std::to_string(node.id) + ": translation \"" + printable(*translation) +
                      "\" is not three integers within ±16777216");
    }
  }
  return true;
}

bool readGroup(ChunkReader& r, Node& node) {
  std::int32_t n;
  if (!r.count(n, 4, "children")) return false;
  node.children.reserve(static_cast<size_t>(n));
  for (std::int32_t i = 0; i < n; ++i) {
    std::int32_t child;
    if (!r.id(child, "child node")) return false;
    node.children.push_back(child);
  }
  return true;
}

bool readShape(ChunkReader& r, Node& node) {
  std::int32_t n;
  if (!r.count(n, 8, "models")) return false;
  if (n < 1) return r.fail("a shape with no model");
  for (std::int32_t i = 0; i < n; ++i) {
    std::int32_t model;
    Dict attributes;
    if (!r.id(model, "model") || !r.dict(attributes)) return false;
    if (i == 0) node.model = model;
  }
  return true;
}

void put32(std::vector<unsigned char>& out, std::int32_t v) {
  std::uint32_t u;
  std::memcpy(&u, &v, sizeof u);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(u >> (8 * i)));
}

void putString(std::vector<unsigned char>& out, const std::string& s) {
  put32(out, static_cast<std::int32_t>(s.size()));
  out.insert(out.end(), s.begin(), s.end());
}

void putDict(std::vector<unsigned char>& out, const Dict& d) {
  put32(out, static_cast<std::int32_t>(d.pairs.size()));
  for (const auto& pair : d.pairs) {
    putString(out, pair.first);
    putString(out, pair.second);
  }
}

// Appends a chunk header for content of `bytes` bytes and no children.
void putHeader(std::vector<unsigned char>& out, const char* id, size_t bytes) {
  out.insert(out.end(), id, id + 4);
  put32(out, static_cast<std::int32_t>(bytes));
  put32(out, 0);
}

void putChunk(std::vector<unsigned char>& out, const char* id,
              const std::vector<unsigned char>& content) {
  putHeader(out, id, content.size());
  out.insert(out.end(), content.begin(), content.end());
}

}  // namespace

const std::string* Dict::find(const std::string& key) const {
  for (const auto& pair : pairs)
    if (pair.first == key) return &pair.second;
  return nullptr;
}

void Dict::set(const std::string& key, const std::string& value) {
  for (auto& pair : pairs)
    if (pair.first == key) {
      pair.second = value;
      return;
    }
  pairs.emplace_back(key, value);
}

bool Rotation::decode(int byte) {
  *this = Rotation();
  const int first = byte & 3, second = (byte >> 2) & 3;
  if (byte < 0 || byte > 127 || first == 3 || second == 3 || first == second) return false;
  const int column[3] = {first, second, 3 - first - second};
  for (int row = 0; row < 3; ++row)
    for (int c = 0; c < 3; ++c)
      m[row][c] = c == column[row] ? ((byte >> (4 + row)) & 1 ? -1 : 1) : 0;
  return true;
}

int Rotation::encode() const {
  int column[3] = {0, 0, 0}, byte = 0;
  for (int row = 0; row < 3; ++row)
    for (int c = 0; c < 3; ++c)
      if (m[row][c] != 0) {
        column[row] = c;
        if (m[row][c] < 0) byte |= 1 << (4 + row);
      }
  return byte | column[0] | column[1] << 2;
}

Rotation Rotation::times(const Rotation& other) const {
  Rotation product;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      product.m[i][j] = 0;
      for (int k = 0; k < 3; ++k) product.m[i][j] += m[i][k] * other.m[k][j];
    }
  return product;
}

bool Node::hidden() const {
  const std::string* value = attributes.find("_hidden");
  return value != nullptr && *value == "1";
}

bool Layer::hidden() const {
  const std::string* value = attributes.find("_hidden");
  return value != nullptr && *value == "1";
}

std::array<Colour, 256> Scene::defaultPalette() {
  std::array<Colour, 256> palette;
  for (int k = 0; k < 256; ++k)
    for (int c = 0; c < 4; ++c)
      palette[k][c] = static_cast<unsigned char>(kDefaultPalette[k] >> (8 * c));
  return palette;
}

const Chunk* Scene::chunk(const char* id) const {
  for (const Chunk& c : otherChunks)
    if (c.id == id) return &c;
  return nullptr;
}

std::string printable(const std::string& text) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < text.size() && i < 40; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += digits[c >> 4];
      out += digits[c & 15];
    }
  }
  return text.size() > 40 ? out + "..." : out;
}

bool parseInteger(const std::string& text, long& value) {
  size_t at = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++at;
  if (at == text.size() || text.size() - at > 18) return false;
  long long v = 0;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
    v = v * 10 + (text[at] - '0');
  }
  value = static_cast<long>(negative ? -v : v);
  return true;
}

bool parseNumber(const std::string& text, double& value) {
  if (text.empty() || text.size() > 64) return false;
  size_t at = 0;
  const bool negative = text[0] == '-';
  if (text[0] == '-' || text[0] == '+') ++at;
  double mantissa = 0.0;
  int digits = 0, scale = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits)
    mantissa = mantissa * 10.0 + (text[at] - '0');
  if (at < text.size() && text[at] == '.') {
    for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits, --scale)
      mantissa = mantissa * 10.0 + (text[at] - '0');
  }
  if (digits == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    long exponent;
    if (!parseInteger(text.substr(at + 1), exponent) || exponent < -400 || exponent > 400)
      return false;
    scale += static_cast<int>(exponent);
    at = text.size();
  }
  if (at != text.size()) return false;
  double power = 1.0;
  for (int i = 0; i < (scale < 0 ? -scale : scale); ++i) power *= 10.0;
  value = scale < 0 ? mantissa / power : mantissa * power;
  if (negative) value = -value;
  return value - value == 0.0;  // finite
}

namespace {

// What the chunks read so far leave for the next ones.
struct ReadState {
  std::unordered_set<int> nodeIds, layerIds;
  bool sizePending = false;
  int pendingSize[3] = {0, 0, 0};
  long totalVoxels = 0;
  long packedModels = -1;
  // Memory the scene's models (their voxels aside), nodes, layers, dictionaries and unknown
  // chunks take, as counted by `keep`.
  size_t recordBytes = 0;
};

size_t dictBytes(const Dict& d) {
  size_t bytes = sizeof(Dict);
  for (const auto& pair : d.pairs) bytes += sizeof(pair) + pair.first.size() + pair.second.size();
  return bytes;
}

// Counts `bytes` more kept for the scene's records (a hash set entry each for node and layer ids
// included); false, refusing the file, beyond the limit.
bool keep(ChunkReader& r, ReadState& state, const Limits& limits, size_t bytes) {
  state.recordBytes += bytes;
  if (state.recordBytes <= limits.maxRecordBytes) return true;
  return r.fail("its models, nodes, layers, dictionaries and other chunks need more than " +
                std::to_string(limits.maxRecordBytes) + " bytes of memory");
}

bool readSize(ChunkReader& r, ReadState& state) {
  std::int32_t s[3];
  if (!r.i32(s[0]) || !r.i32(s[1]) || !r.i32(s[2])) return false;
  if (state.sizePending) return r.fail("two SIZE chunks without voxels between them");
  for (int k = 0; k < 3; ++k)
    if (s[k] < 1 || s[k] > kMaxModelSide)
      return r.fail("a model of " + std::to_string(s[0]) + " × " + std::to_string(s[1]) + " × " +
                    std::to_string(s[2]) + " voxels (each side 1 to " +
                    std::to_string(kMaxModelSide) + ")");
  std::copy(s, s + 3, state.pendingSize);
  state.sizePending = true;
  return true;
}

bool readVoxels(ChunkReader& r, ReadState& state, Scene& scene, const Limits& limits) {
  if (!state.sizePending) return r.fail("voxels without a SIZE chunk before them");
  state.sizePending = false;
  std::int32_t n;
  if (!r.count(n, 4, "voxels")) return false;
  state.totalVoxels += n;
  if (state.totalVoxels > limits.maxVoxels)
    return r.fail("the models hold more than " + std::to_string(limits.maxVoxels) + " voxels");
  if (!keep(r, state, limits, sizeof(Model))) return false;
  Model model;
  std::copy(state.pendingSize, state.pendingSize + 3, model.size);
  model.voxels.resize(4 * static_cast<size_t>(n));
  unsigned char* out = model.voxels.data();
  const unsigned char* v = r.p + r.at;
  for (std::int32_t i = 0; i < n; ++i, v += 4) {
    if (v[0] >= model.size[0] || v[1] >= model.size[1] || v[2] >= model.size[2])
      return r.fail("model " + std::to_string(scene.models.size()) + ": voxel " +
                    std::to_string(i) + " at (" + std::to_string(v[0]) + ", " +
                    std::to_string(v[1]) + ", " + std::to_string(v[2]) +
                    ") lies outside its size");
    // Index 0 is empty; some writers store such voxels all the same.
    if (v[3] == 0) continue;
    std::memcpy(out, v, 4);
    out += 4;
  }
  model.voxels.resize(static_cast<size_t>(out - model.voxels.data()));
  scene.models.push_back(std::move(model));
  return true;
}

bool readNode(ChunkReader& r, Node::Kind kind, ReadState& state, Scene& scene,
              const Limits& limits) {
  Node node;
  node.kind = kind;
  std::int32_t id;
  if (!r.id(id, "node") || !r.dict(node.attributes)) return false;
  node.id = id;
  if (!state.nodeIds.insert(id).second) return r.fail("a second node with id " + std::to_string(id));
  const bool ok = kind == Node::Kind::Transform ? readTransform(r, node)
                  : kind == Node::Kind::Group   ? readGroup(r, node)
                                                : readShape(r, node);
  if (!ok ||
      !keep(r, state, limits,
            sizeof(Node) + dictBytes(node.attributes) + node.children.size() * sizeof(int) + 32))
    return false;
  scene.nodes.push_back(std::move(node));
  return true;
}

bool readChunk(const std::string& name, ChunkReader& r, ReadState& state, Scene& scene,
               const Limits& limits) {
  if (name == "SIZE") return readSize(r, state);
  if (name == "XYZI") return readVoxels(r, state, scene, limits);
  if (name == "nTRN") return readNode(r, Node::Kind::Transform, state, scene, limits);
  if (name == "nGRP") return readNode(r, Node::Kind::Group, state, scene, limits);
  if (name == "nSHP") return readNode(r, Node::Kind::Shape, state, scene, limits);
  if (name == "PACK") {
    std::int32_t n;
    if (!r.i32(n)) return false;
    if (n < 0) return r.fail("a negative model count (" + std::to_string(n) + ")");
    state.packedModels = n;
    return true;
  }
  if (name == "RGBA") {
    if (r.left() < 1024)
      return r.fail("a palette of " + std::to_string(r.left()) + " bytes (1024 needed)");
    // Entry k is the colour of index k + 1; the last entry names no index.
    for (int k = 0; k < 255; ++k)
      for (int c = 0; c < 4; ++c) scene.palette[k + 1][c] = r.p[r.at + 4 * k + c];
    scene.palette[0] = Colour{0, 0, 0, 0};
    scene.hasPalette = true;
    return true;
  }
  if (name == "MATL") {
    std::int32_t id;
    Dict properties;
    if (!r.i32(id) || !r.dict(properties)) return false;
    // A material of an index the palette does not have describes nothing.
    if (id >= 0 && id < 256) {
      scene.materials[id] = std::move(properties);
      scene.hasMaterial[id] = true;
    }
    return true;
  }
  if (name == "LAYR") {
    Layer layer;
    std::int32_t id;
    if (!r.id(id, "layer") || !r.dict(layer.attributes)) return false;
    layer.id = id;
    if (!state.layerIds.insert(id).second)
      return r.fail("a second layer with id " + std::to_string(id));
    if (!keep(r, state, limits, sizeof(Layer) + dictBytes(layer.attributes) + 32)) return false;
    scene.layers.push_back(std::move(layer));
    return true;
  }
  Chunk chunk;
  // The id as stored (the name in messages may be its hex), 12 bytes before the content.
  chunk.id.assign(reinterpret_cast<const char*>(r.p + r.begin - 12), 4);
  if (!keep(r, state, limits, sizeof(Chunk) + (r.end - r.begin))) return false;
  chunk.content.assign(r.p + r.begin, r.p + r.end);
  scene.otherChunks.push_back(std::move(chunk));
  return true;
}

}  // namespace

bool read(const unsigned char* bytes, size_t size, Scene& scene, std::string& error,
          const Limits& limits) {
  scene = Scene();
  error.clear();
  if (size > limits.maxFileBytes) {
    error = "it is " + std::to_string(size) + " bytes; a .vox file is at most " +
            std::to_string(limits.maxFileBytes) + " bytes";
    return false;
  }
  if (size < 4 || std::memcmp(bytes, "VOX ", 4) != 0) {
    error = "it does not start with \"VOX \"";
    return false;
  }
  if (size < 8) {
    error = "it ends before its version";
    return false;
  }
  scene.version = le32(bytes + 4);
  if (size < 20) {
    error = "it ends before its MAIN chunk";
    return false;
  }
  if (std::memcmp(bytes + 8, "MAIN", 4) != 0) {
    error = "its first chunk is " + chunkName(bytes + 8) + ", not MAIN";
    return false;
  }
  const std::int32_t mainContent = le32(bytes + 12), mainChildren = le32(bytes + 16);
  if (mainContent < 0 || mainChildren < 0) {
    error = "chunk MAIN at byte 8: a negative size";
    return false;
  }
  if (20ULL + static_cast<unsigned long long>(mainContent) + mainChildren > size) {
    error = "chunk MAIN at byte 8: its " + std::to_string(mainContent) + " + " +
            std::to_string(mainChildren) + " bytes run past the file's " +
            std::to_string(size - 20);
    return false;
  }

  ReadState state;
  size_t at = 20 + static_cast<size_t>(mainContent);
  const size_t end = at + static_cast<size_t>(mainChildren);
  while (at < end) {
    // A chunk's id is read only once the bytes of its header are known to be there.
    if (end - at < 12) {
      error = "at byte " + std::to_string(at) + ": " + std::to_string(end - at) +
              " bytes left in MAIN, too few for a chunk";
      return false;
    }
    const std::string where = "chunk " + chunkName(bytes + at) + " at byte " + std::to_string(at);
    const std::int32_t content = le32(bytes + at + 4), children = le32(bytes + at + 8);
    if (content < 0 || children < 0) {
      error = where + ": a negative size";
      return false;
    }
    if (12ULL + static_cast<unsigned long long>(content) + children > end - at) {
      error = where + ": its " + std::to_string(content) + " + " + std::to_string(children) +
              " bytes run past MAIN (" + std::to_string(end - at - 12) + " left)";
      return false;
    }
    // Chunks below MAIN's children have none in practice; any there are skipped with the chunk.
    ChunkReader r(bytes, at + 12, at + 12 + static_cast<size_t>(content), where);
    if (!readChunk(chunkName(bytes + at), r, state, scene, limits)) {
      error = r.error;
      return false;
    }
    at += 12 + static_cast<size_t>(content) + static_cast<size_t>(children);
  }
  if (state.sizePending) {
    error = "a SIZE chunk without its voxels";
    return false;
  }
  if (state.packedModels >= 0 && state.packedModels != static_cast<long>(scene.models.size())) {
    error = "its PACK chunk counts " + std::to_string(state.packedModels) + " models; it holds " +
            std::to_string(scene.models.size());
    return false;
  }
  return true;
}

unsigned char Volume::at(int x, int y, int z) const {
  const long lx = static_cast<long>(x) - origin[0], ly = static_cast<long>(y) - origin[1],
             lz = static_cast<long>(z) - origin[2];
  if (lx < 0 || ly < 0 || lz < 0 || lx >= size[0] || ly >= size[1] || lz >= size[2]) return 0;
  return index[static_cast<size_t>((lz * size[1] + ly) * size[0] + lx)];
}

namespace {

// One model where the graph shows it: scene axis k takes model axis `axis[k]` times `sign[k]`
// plus `offset[k]`, the placement rule worked out for a signed permutation.
struct Placement {
  const Model* model;
  int axis[3];
  int sign[3];
  long long offset[3];
};

Placement place(const Model& model, const Rotation& r, const long long t[3]) {
  Placement p{&model, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}};
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 3; ++j)
      if (r.m[k][j] != 0) {
        p.axis[k] = j;
        p.sign[k] = r.m[k][j];
        // floor(±(v + 0.5 - pivot) + t) with the pivot floor(size / 2): v - pivot + t going
        // forwards, -v + pivot - 1 + t going backwards.
        const long long pivot = model.size[j] / 2;
        p.offset[k] = r.m[k][j] > 0 ? t[k] - pivot : t[k] + pivot - 1;
      }
  return p;
}

struct Visit {
  size_t node;
  Rotation rotation;
  long long translation[3];
  bool hidden;
  int depth;
};

// The placements of the visible shapes in the graph's order, or false with `error` set.
bool walkGraph(const Scene& scene, std::vector<Placement>& placements, std::string& error,
               const Limits& limits) {
  std::unordered_map<int, size_t> byId;
  for (size_t i = 0; i < scene.nodes.size(); ++i) byId.emplace(scene.nodes[i].id, i);
  std::unordered_map<int, bool> layerHidden;
  for (const Layer& layer : scene.layers) layerHidden.emplace(layer.id, layer.hidden());
  const auto root = byId.find(0);
  if (root == byId.end() || scene.nodes[root->second].kind != Node::Kind::Transform) {
    error = "the scene graph has no root transform (node 0)";
    return false;
  }
  std::vector<char> visited(scene.nodes.size(), 0);
  std::vector<Visit> stack;
  stack.push_back(Visit{root->second, Rotation(), {0, 0, 0}, false, 0});
  long placed = 0;
  const auto missing = [&](const Node& from, int id) {
    error = "node " + std::to_string(from.id) + " names node " + std::to_string(id) +
            ", which does not exist";
    return false;
  };
  while (!stack.empty()) {
    const Visit visit = stack.back();
    stack.pop_back();
    const Node& node = scene.nodes[visit.node];
    if (visited[visit.node]) {
      error = "node " + std::to_string(node.id) + " is reached twice (a cycle or a shared node)";
      return false;
    }
    visited[visit.node] = 1;
    const bool hidden = visit.hidden || node.hidden();
    switch (node.kind) {
      case Node::Kind::Transform: {
        if (visit.depth >= limits.maxDepth) {
          error = "the scene graph nests more than " + std::to_string(limits.maxDepth) +
                  " transforms deep";
          return false;
        }
        const auto child = byId.find(node.child);
        if (child == byId.end()) return missing(node, node.child);
        if (scene.nodes[child->second].kind == Node::Kind::Transform) {
          error = "transform " + std::to_string(node.id) + " has transform " +
                  std::to_string(node.child) + " as its child";
          return false;
        }
        const auto layer = layerHidden.find(node.layer);
        Visit next{child->second, visit.rotation.times(node.rotation), {0, 0, 0},
                   hidden || (layer != layerHidden.end() && layer->second), visit.depth + 1};
        for (int k = 0; k < 3; ++k) {
          next.translation[k] = visit.translation[k];
          for (int j = 0; j < 3; ++j)
            next.translation[k] += visit.rotation.m[k][j] * static_cast<long long>(node.translation[j]);
        }
        stack.push_back(next);
        break;
      }
      case Node::Kind::Group:
        // Pushed last first, so that the children are placed in file order.
        for (auto c = node.children.rbegin(); c != node.children.rend(); ++c) {
          const auto child = byId.find(*c);
          if (child == byId.end()) return missing(node, *c);
          if (scene.nodes[child->second].kind != Node::Kind::Transform) {
            error = "group " + std::to_string(node.id) + " has node " + std::to_string(*c) +
                    ", not a transform, as a child";
            return false;
          }
          stack.push_back(Visit{child->second, visit.rotation, {visit.translation[0],
                                visit.translation[1], visit.translation[2]}, hidden, visit.depth});
        }
        break;
      case Node::Kind::Shape:
        if (node.model < 0 || node.model >= static_cast<int>(scene.models.size())) {
          error = "shape " + std::to_string(node.id) + " shows model " +
                  std::to_string(node.model) + "; the file has " +
                  std::to_string(scene.models.size());
          return false;
        }
        if (hidden) break;
        placed += scene.models[node.model].count();
        if (placed > limits.maxPlacedVoxels) {
          error = "the scene places more than " + std::to_string(limits.maxPlacedVoxels) +
                  " voxels";
          return false;
        }
        placements.push_back(place(scene.models[node.model], visit.rotation, visit.translation));
        break;
    }
  }
  return true;
}

}  // namespace

bool flatten(const Scene& scene, Volume& volume, std::string& error, const Limits& limits) {
  volume = Volume();
  error.clear();
  std::vector<Placement> placements;
  if (scene.nodes.empty()) {
    // No graph: every model at its own coordinates.
    long placed = 0;
    for (const Model& model : scene.models) {
      placed += model.count();
      if (placed > limits.maxPlacedVoxels) {
        error = "the scene places more than " + std::to_string(limits.maxPlacedVoxels) + " voxels";
        return false;
      }
      placements.push_back(Placement{&model, {0, 1, 2}, {1, 1, 1}, {0, 0, 0}});
    }
  } else if (!walkGraph(scene, placements, error, limits)) {
    return false;
  }

  // The block's bounds: a signed permutation maps each model's voxel bounds onto the bounds of
  // where its voxels land, so no voxel needs visiting for them.
  long long low[3], high[3];
  bool any = false;
  for (const Placement& p : placements) {
    const Model& model = *p.model;
    if (model.count() == 0) continue;
    int vLow[3] = {255, 255, 255}, vHigh[3] = {0, 0, 0};
    for (size_t i = 0; i < model.voxels.size(); i += 4)
      for (int j = 0; j < 3; ++j) {
        vLow[j] = std::min<int>(vLow[j], model.voxels[i + j]);
        vHigh[j] = std::max<int>(vHigh[j], model.voxels[i + j]);
      }
    for (int k = 0; k < 3; ++k) {
      const long long a = p.sign[k] * static_cast<long long>(vLow[p.axis[k]]) + p.offset[k];
      const long long b = p.sign[k] * static_cast<long long>(vHigh[p.axis[k]]) + p.offset[k];
      low[k] = any ? std::min({low[k], a, b}) : std::min(a, b);
      high[k] = any ? std::max({high[k], a, b}) : std::max(a, b);
    }
    any = true;
  }
  if (!any) return true;
  long long extent[3];
  for (int k = 0; k < 3; ++k) extent[k] = high[k] - low[k] + 1;
  if (extent[0] > limits.maxSide[0] || extent[1] > limits.maxSide[1] ||
      extent[2] > limits.maxSide[2]) {
    error = "the scene spans " + std::to_string(extent[0]) + " × " + std::to_string(extent[1]) +
            " × " + std::to_string(extent[2]) + " voxels; at most " +
            std::to_string(limits.maxSide[0]) + " × " + std::to_string(limits.maxSide[1]) + " × " +
            std::to_string(limits.maxSide[2]) + " fit";
    return false;
  }
  if (low[0] < std::numeric_limits<int>::min() || low[1] < std::numeric_limits<int>::min() ||
      low[2] < std::numeric_limits<int>::min() || high[0] > std::numeric_limits<int>::max() ||
      high[1] > std::numeric_limits<int>::max() || high[2] > std::numeric_limits<int>::max()) {
    error = "the scene lies beyond the 32-bit coordinates";
    return false;
  }
  for (int k = 0; k < 3; ++k) {
    volume.origin[k] = static_cast<int>(low[k]);
    volume.size[k] = static_cast<int>(extent[k]);
  }
  volume.index.assign(static_cast<size_t>(extent[0] * extent[1] * extent[2]), 0);
  const long long sx = extent[0], sxy = extent[0] * extent[1];
  for (const Placement& p : placements) {
    const unsigned char* v = p.model->voxels.data();
    const unsigned char* end = v + p.model->voxels.size();
    long long base = 0, step[3] = {0, 0, 0};
    const long long stride[3] = {1, sx, sxy};
    for (int k = 0; k < 3; ++k) {
      base += (p.offset[k] - low[k]) * stride[k];
      step[p.axis[k]] = p.sign[k] * stride[k];
    }
    for (; v != end; v += 4) {
      unsigned char& cell = volume.index[static_cast<size_t>(base + v[0] * step[0] +
                                                             v[1] * step[1] + v[2] * step[2])];
      volume.voxels += cell == 0;
      cell = v[3];
    }
  }
  return true;
}

std::vector<unsigned char> write(const Scene& scene) {
  std::vector<unsigned char> out = {'V', 'O', 'X', ' '};
  put32(out, scene.version);
  putHeader(out, "MAIN", 0);
  const size_t childrenAt = out.size();

  for (const Model& model : scene.models) {
    putHeader(out, "SIZE", 12);
    for (int k = 0; k < 3; ++k) put32(out, model.size[k]);
    putHeader(out, "XYZI", 4 + model.voxels.size());
    put32(out, static_cast<std::int32_t>(model.count()));
    out.insert(out.end(), model.voxels.begin(), model.voxels.end());
  }
  std::vector<unsigned char> content;
  for (const Node& node : scene.nodes) {
    content.clear();
    put32(content, node.id);
    putDict(content, node.attributes);
    switch (node.kind) {
      case Node::Kind::Transform: {
        put32(content, node.child);
        put32(content, -1);
        put32(content, node.layer);
        put32(content, 1);
        Dict frame;
        if (node.rotation.encode() != Rotation().encode())
          frame.set("_r", std::to_string(node.rotation.encode()));
        if (node.translation[0] != 0 || node.translation[1] != 0 || node.translation[2] != 0)
          frame.set("_t", std::to_string(node.translation[0]) + " " +
                              std::to_string(node.translation[1]) + " " +
                              std::to_string(node.translation[2]));
        putDict(content, frame);
        putChunk(out, "nTRN", content);
        break;
      }
      case Node::Kind::Group:
        put32(content, static_cast<std::int32_t>(node.children.size()));
        for (int child : node.children) put32(content, child);
        putChunk(out, "nGRP", content);
        break;
      case Node::Kind::Shape:
        put32(content, 1);
        put32(content, node.model);
        putDict(content, Dict());
        putChunk(out, "nSHP", content);
        break;
    }
  }
  for (const Layer& layer : scene.layers) {
    content.clear();
    put32(content, layer.id);
    putDict(content, layer.attributes);
    put32(content, -1);
    putChunk(out, "LAYR", content);
  }
  if (scene.hasPalette) {
    putHeader(out, "RGBA", 1024);
    for (int k = 1; k < 256; ++k) out.insert(out.end(), scene.palette[k].begin(), scene.palette[k].end());
    for (int c = 0; c < 4; ++c) out.push_back(0);
  }
  for (int k = 0; k < 256; ++k) {
    if (!scene.hasMaterial[k]) continue;
    content.clear();
    put32(content, k);
    putDict(content, scene.materials[k]);
    putChunk(out, "MATL", content);
  }
  for (const Chunk& chunk : scene.otherChunks) putChunk(out, chunk.id.c_str(), chunk.content);

  const std::int32_t children = static_cast<std::int32_t>(out.size() - childrenAt);
  std::vector<unsigned char> size;
  put32(size, children);
  std::copy(size.begin(), size.end(), out.begin() + static_cast<long>(childrenAt) - 4);
  return out;
}

}  // namespace vox
