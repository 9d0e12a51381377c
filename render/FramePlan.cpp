// The frame's cell walk, face selection, glass order and emitter colours (no GL).
#include "render/FramePlan.h"

#include <algorithm>
#include <cmath>

#include "render/BlockFaces.h"
#include "world/LightGrid.h"

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

unsigned FramePlan::visibleFaces(const LightGrid& grid, int x, int y, int z, const float eye[3]) {
  const int centre[3] = {x, y, z};
  unsigned faces = 0;
  for (const BlockFace& face : kBlockFaces) {
    const int axis = face.normal[0] != 0 ? 0 : face.normal[1] != 0 ? 1 : 2;
    const float plane =
        static_cast<float>(centre[axis]) + static_cast<float>(face.normal[axis]) * kBlockHalfSize;
    const bool towardsEye = face.normal[axis] > 0 ? eye[axis] > plane : eye[axis] < plane;
    if (!towardsEye) continue;
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
