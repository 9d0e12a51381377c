// The .vox voxel scene format (version 150 and its scene and material chunks): its bytes read
// into plain data, the scene flattened into one block of palette indices, and data written back.
// Axes and numbers are the file's own: z is up, integers little-endian, colour index 0 empty.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vox {

// What a file may ask for. Every count is checked against the bytes it needs before anything is
// allocated, so memory stays within a small multiple of the file: the models' voxels (4 bytes
// each) are bounded by the file itself, the scene's other records by maxRecordBytes, the
// flattened block by maxSide³ bytes.
struct Limits {
  // Largest file read (64 MiB).
  size_t maxFileBytes = size_t{64} << 20;
  // Voxels of all models together (16 Mi, a 256³ block full).
  long maxVoxels = 1L << 24;
  // Voxels the scene graph places, each model counted once per shape that shows it (64 Mi).
  long maxPlacedVoxels = 1L << 26;
  // Largest extent of the flattened scene along each axis, in voxels.
  int maxSide[3] = {256, 256, 256};
  // Deepest nesting of transforms from the root; deeper graphs are refused.
  int maxDepth = 64;
  // Memory kept for the scene's models (their voxels aside), nodes, layers, dictionaries and
  // unknown chunks (64 MiB): a file of many tiny ones would otherwise take several times its size.
  size_t maxRecordBytes = size_t{64} << 20;
};

// Largest model side the format allows, per axis.
constexpr int kMaxModelSide = 256;
// Largest node, layer or model id accepted (ids may be sparse).
constexpr int kMaxId = (1 << 24) - 1;
// Longest string and largest dictionary in a chunk.
constexpr int kMaxString = 4096;
constexpr int kMaxDictPairs = 256;

// A dictionary in file order.
struct Dict {
  std::vector<std::pair<std::string, std::string>> pairs;
  // The value of `key`, or null.
  const std::string* find(const std::string& key) const;
  void set(const std::string& key, const std::string& value);
};

struct Model {
  int size[3] = {1, 1, 1};
  // Four bytes a voxel: x, y, z, colour index (never 0).
  std::vector<unsigned char> voxels;
  long count() const { return static_cast<long>(voxels.size() / 4); }
};

// A signed permutation matrix, row-major: the 48 the rotation byte can name.
struct Rotation {
  int m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  // The matrix of `byte`; false (and the identity) for the 80 bytes that name none.
  bool decode(int byte);
  // The byte that names this matrix.
  int encode() const;
  // this · other
  Rotation times(const Rotation& other) const;
};

struct Node {
  enum class Kind { Transform, Group, Shape };
  Kind kind = Kind::Transform;
  int id = 0;
  Dict attributes;
  // Transform: its child, its layer (-1: none), frame 0's rotation and translation.
  int child = -1;
  int layer = -1;
  Rotation rotation;
  int translation[3] = {0, 0, 0};
  // Group: its children, each a transform.
  std::vector<int> children;
  // Shape: the model it shows.
  int model = -1;
  bool hidden() const;
};

struct Layer {
  int id = 0;
  Dict attributes;
  bool hidden() const;
};

// One RGBA colour; index k of Scene::palette is the colour of voxel colour index k.
using Colour = std::array<unsigned char, 4>;

struct Chunk {
  std::string id;  // four characters
  std::vector<unsigned char> content;
};

struct Scene {
  int version = 150;
  std::vector<Model> models;
  // Colours by colour index (entry 0 unused): the file's RGBA chunk, else the default palette.
  std::array<Colour, 256> palette = defaultPalette();
  bool hasPalette = false;
  // MATL properties by colour index; present[k] when the file describes index k.
  std::array<Dict, 256> materials;
  std::array<bool, 256> hasMaterial{};
  // Scene graph nodes and layers in file order (ids unique).
  std::vector<Node> nodes;
  std::vector<Layer> layers;
  // Chunks the reader does not interpret, in file order (the writer appends them as they are).
  std::vector<Chunk> otherChunks;

  // The palette a file without RGBA uses.
  static std::array<Colour, 256> defaultPalette();
  // The chunk of this id, or null.
  const Chunk* chunk(const char* id) const;
};

// Reads a whole file. False with `error` set to one line naming the cause (with the byte offset
// of the chunk at fault) for anything the format does not allow or the limits refuse.
bool read(const unsigned char* bytes, size_t size, Scene& scene, std::string& error,
          const Limits& limits = Limits());

// The scene's visible voxels in one block, in the file's axes: voxel (x, y, z) of the scene is
// element ((z - origin[2]) * size[1] + (y - origin[1])) * size[0] + (x - origin[0]); 0 is empty.
// Where shapes overlap, the one placed later in the graph's order wins.
struct Volume {
  int origin[3] = {0, 0, 0};
  int size[3] = {0, 0, 0};
  std::vector<unsigned char> index;
  long voxels = 0;  // non-empty elements
  unsigned char at(int x, int y, int z) const;
  bool empty() const { return voxels == 0; }
};

// Places every visible model as the scene graph says: a model of size s has its pivot at
// floor(s / 2); voxel v lands at floor(R · (v + 0.5 - pivot) + t) for the composed rotation R
// and translation t of the transforms above it. Shapes under a hidden transform or a transform
// on a hidden layer are left out. Without any transform node each model lies at its own
// coordinates. False with `error` set for graphs with cycles, shared or missing nodes, a missing
// root (node 0, a transform), nesting past the limit, or a scene beyond the limits.
bool flatten(const Scene& scene, Volume& volume, std::string& error,
             const Limits& limits = Limits());

// The file of a scene: MAIN, the models (SIZE, XYZI), the nodes, the layers, RGBA when
// hasPalette, MATL for each described index, then otherChunks.
std::vector<unsigned char> write(const Scene& scene);

// Decimal text of the format's dictionaries. Numbers parse without the C locale's help; false for
// anything else than an optional sign, digits, a point and an exponent (no inf, no nan).
bool parseNumber(const std::string& text, double& value);
bool parseInteger(const std::string& text, long& value);

// The little-endian 32-bit integer at p, as every size, count and id of the format is stored.
std::int32_t le32(const unsigned char* p);

// Text from a file as it may stand in a one-line message: bytes outside printable ASCII (line
// breaks too) as \xNN, a quote or backslash escaped, cut after 40 bytes with "...".
std::string printable(const std::string& text);

}  // namespace vox
