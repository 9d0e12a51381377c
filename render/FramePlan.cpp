// The frame's cell walk, face selection, glass order and emitter colours (no GL).
#include "render/FramePlan.h"

#include <algorithm>
#include <cmath>

#include "render/BlockFaces.h"
#include "world/LightGrid.h"

namespace {

// True when the eye is strictly on the outer side of the plane of `face` of the cube centred on
// `centre`: only then can the face show.
bool turnedToEye(const int centre[3], const BlockFace& face, const float eye[3]) {
  const int axis = face.normal[0] != 0 ? 0 : face.normal[1] != 0 ? 1 : 2;
  const float plane = static_cast<float>(centre[axis]) +
                      static_cast<float>(face.normal[axis]) * FramePlan::kBlockHalfSize;
  return face.normal[axis] > 0 ? eye[axis] > plane : eye[axis] < plane;
}

// The face of the table that points the other way.
const BlockFace& opposite(int face) { return kBlockFaces[face ^ 1]; }

}  // namespace

void FramePlan::build(const LightGrid& grid, const Frustum& frustum, const float eye[3],
                      std::vector<OpaqueBlock>& opaque, std::vector<GridPos>& emitters,
                      std::vector<GlassCell>& glass) {
  opaque.clear();
  emitters.clear();
  glass.clear();
  for (int z = 0; z < grid.sizeZ; ++z)
    for (int y = 0; y < grid.sizeY; ++y)
      for (int x = 0; x < grid.sizeX; ++x) {
        const GridCell cell = grid.getCell(x, y, z);
        if (cell.hidden) continue;
        const float fx = static_cast<float>(x), fy = static_cast<float>(y),
                    fz = static_cast<float>(z);
        if (!frustum.cubeVisible(fx, fy, fz, kBlockHalfSize)) continue;
        if (cell.isOpaque()) {
          const unsigned faces = visibleFaces(grid, x, y, z, eye);
          if (faces != 0) opaque.push_back(OpaqueBlock{x, y, z, faces});
        } else if (x == 0 || y == 0 || z == 0 || x == grid.sizeX - 1 || y == grid.sizeY - 1 ||
                   z == grid.sizeZ - 1) {
          addBoundaryWalls(grid, x, y, z, eye, opaque);
        }
        if (cell.emitter) emitters.push_back(GridPos{x, y, z});
        if (cell.isGlass()) {
          const float dx = eye[0] - fx, dy = eye[1] - fy, dz = eye[2] - fz;
          glass.push_back(GlassCell{x, y, z, std::sqrt(dx * dx + dy * dy + dz * dz)});
        }
      }
  // Far to near so each pane blends over what lies behind it; ties may go either way.
  std::sort(glass.begin(), glass.end(),
            [](const GlassCell& a, const GlassCell& b) { return a.distance > b.distance; });
}

void FramePlan::addBoundaryWalls(const LightGrid& grid, int x, int y, int z, const float eye[3],
                                 std::vector<OpaqueBlock>& opaque) {
  for (int f = 0; f < 6; ++f) {
    const int* n = kBlockFaces[f].normal;
    const int outside[3] = {x + n[0], y + n[1], z + n[2]};
    if (grid.inside(outside[0], outside[1], outside[2])) continue;
    if (!turnedToEye(outside, opposite(f), eye)) continue;
    opaque.push_back(OpaqueBlock{outside[0], outside[1], outside[2], opposite(f).bit});
  }
}

unsigned FramePlan::visibleFaces(const LightGrid& grid, int x, int y, int z, const float eye[3]) {
  const int centre[3] = {x, y, z};
  unsigned faces = 0;
  for (const BlockFace& face : kBlockFaces) {
    if (!turnedToEye(centre, face, eye)) continue;
    const int nx = x + face.normal[0], ny = y + face.normal[1], nz = z + face.normal[2];
    // A face between two drawn opaque cubes is always covered.
    if (grid.inside(nx, ny, nz)) {
      const GridCell neighbour = grid.getCell(nx, ny, nz);
      if (neighbour.isOpaque() && !neighbour.hidden) continue;
    }
    faces |= face.bit;
  }
  return faces;
}

void FramePlan::emitterColour(const GridCell& cell, float strength, float rgba[4]) {
  const float k = std::max(kMinEmitterBrightness, kEmitterBrightnessPerStrength * strength);
  for (int c = 0; c < 3; ++c) rgba[c] = k * LightGrid::compressLight(cell.emission[c]);
  rgba[3] = 1.0f;
}
