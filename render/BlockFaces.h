// The cube of one cell as data: its six faces in drawing order, each with a bit for face masks,
// its outward normal, four corners as signs (centre ± half edge per axis) and texture coordinates.
#pragma once

struct BlockFace {
  unsigned bit;
  int normal[3];
  int corners[4][3];   // -1: centre minus the half edge on that axis, +1: plus it
  float texCoords[4][2];
};

// +z, -z, -x, +x, +y, -y. Each face's texture spans it once (0..1).
inline constexpr BlockFace kBlockFaces[6] = {
    {1u, {0, 0, 1}, {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
    {2u, {0, 0, -1}, {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
    {4u, {-1, 0, 0}, {{-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}}, {{1, 0}, {1, 1}, {0, 1}, {0, 0}}},
    {8u, {1, 0, 0}, {{1, -1, 1}, {1, -1, -1}, {1, 1, -1}, {1, 1, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
    {16u, {0, 1, 0}, {{-1, 1, 1}, {1, 1, 1}, {1, 1, -1}, {-1, 1, -1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
    {32u, {0, -1, 0}, {{-1, -1, 1}, {1, -1, 1}, {1, -1, -1}, {-1, -1, -1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
};

// Every face of the table.
inline constexpr unsigned kAllBlockFaces = 63u;
