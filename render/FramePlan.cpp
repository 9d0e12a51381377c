// The frame's cell walk, face selection, glass order and emitter colours (no GL).
#include "render/FramePlan.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "render/BlockFaces.h"
#include "world/LightGrid.h"

namespace {

// True when the eye is strictly on the outer side of the plane of `face` of the cube centred on
// `centre`: only then can the face show.
bool turnedToEye(const int centre[3], const BlockFace& face, const float eye[3],
                 float halfSize = FramePlan::kBlockHalfSize) {
  const int axis = face.normal[0] != 0 ? 0 : face.normal[1] != 0 ? 1 : 2;
  const float plane = static_cast<float>(centre[axis]) +
                      static_cast<float>(face.normal[axis]) * halfSize;
  return face.normal[axis] > 0 ? eye[axis] > plane : eye[axis] < plane;
}

// The face of the table that points the other way.
const BlockFace& opposite(int face) { return kBlockFaces[face ^ 1]; }

// Squared distance from the eye to the centre of cell (x, y, z).
float distance2(int x, int y, int z, const float eye[3]) {
  const float d[3] = {eye[0] - static_cast<float>(x), eye[1] - static_cast<float>(y),
                      eye[2] - static_cast<float>(z)};
  return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
}

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
        // Read in place: the walk visits every cell of the grid each frame.
        const GridCell& cell = grid.current[grid.index(x, y, z)];
        if (cell.hidden) continue;
        const float fx = static_cast<float>(x), fy = static_cast<float>(y),
                    fz = static_cast<float>(z);
        if (!frustum.cubeVisible(fx, fy, fz, kBlockHalfSize)) continue;
        if (cell.isOpaque()) {
          const unsigned faces = visibleFaces(grid, x, y, z, eye);
          if (faces != 0) opaque.push_back(OpaqueBlock{x, y, z, faces});
        } else if (!cell.emitter && (x == 0 || y == 0 || z == 0 || x == grid.sizeX - 1 ||
                                     y == grid.sizeY - 1 || z == grid.sizeZ - 1)) {
          addBoundaryWalls(grid, x, y, z, eye, opaque);
        }
        if (cell.emitter) {
          const unsigned faces = visibleFaces(grid, x, y, z, eye);
          if (faces != 0) emitters.push_back(GridPos{x, y, z, faces});
        }
        if (cell.isGlass()) {
          // Only the faces turned to the eye: a pane's far side would blend over its near side
          // or not depending on the face order, and the far sides double the blended area.
          const int centre[3] = {x, y, z};
          const unsigned closed = closedSides(grid, x, y, z);
          unsigned faces = 0;
          for (const BlockFace& face : kBlockFaces)
            if ((closed & face.bit) == 0 && turnedToEye(centre, face, eye, kGlassHalfSize))
              faces |= face.bit;
          if (faces != 0)
            glass.push_back(
                GlassCell{x, y, z, std::sqrt(distance2(x, y, z, eye)), faces, closed});
        }
      }
  // Far to near so each pane blends over what lies behind it; ties may go either way.
  std::sort(glass.begin(), glass.end(),
            [](const GlassCell& a, const GlassCell& b) { return a.distance > b.distance; });
}

void FramePlan::joinFaces(const std::vector<OpaqueBlock>& opaque, std::vector<FaceRun>& runs) {
  runs.clear();
  for (int f = 0; f < 6; ++f) {
    const BlockFace& face = kBlockFaces[f];
    const bool alongZ = face.normal[0] != 0;
    const size_t first = runs.size();
    for (const OpaqueBlock& b : opaque)
      if ((b.faces & face.bit) != 0) runs.push_back(FaceRun{b.x, b.y, b.z, f, 1});
    // Line by line, and along each line in order of the run axis.
    const auto key = [alongZ](const FaceRun& r) {
      return alongZ ? std::make_tuple(r.x, r.y, r.z) : std::make_tuple(r.z, r.y, r.x);
    };
    std::sort(runs.begin() + static_cast<long>(first), runs.end(),
              [&key](const FaceRun& a, const FaceRun& b) { return key(a) < key(b); });
    size_t kept = first;
    for (size_t i = first; i < runs.size(); ++i) {
      const FaceRun& next = runs[i];
      if (kept > first) {
        FaceRun& last = runs[kept - 1];
        const bool sameLine = alongZ ? last.x == next.x && last.y == next.y
                                     : last.z == next.z && last.y == next.y;
        const int reach = (alongZ ? last.z : last.x) + last.length;
        if (sameLine && (alongZ ? next.z : next.x) == reach) {
          ++last.length;
          continue;
        }
      }
      runs[kept++] = next;
    }
    runs.resize(kept);
  }
}

void FramePlan::runQuad(const FaceRun& run, float corners[4][3], float texCoords[4][2]) {
  const BlockFace& face = kBlockFaces[run.face];
  const int runAxis = face.normal[0] != 0 ? 2 : 0;
  const int first[3] = {run.x, run.y, run.z};
  for (int v = 0; v < 4; ++v) {
    const int* sign = face.corners[v];
    for (int t = 0; t < 2; ++t) texCoords[v][t] = face.texCoords[v][t];
    for (int axis = 0; axis < 3; ++axis) {
      corners[v][axis] = static_cast<float>(first[axis]) + kBlockHalfSize * static_cast<float>(sign[axis]);
      if (face.normal[axis] != 0) continue;
      // How far this corner moves out along the axis past the first cube's face, and with it
      // the texture, by its step over one cube: towards this corner from the one across.
      const float beyond =
          kRunOverlap + (axis == runAxis && sign[axis] > 0 ? static_cast<float>(run.length - 1) : 0.0f);
      corners[v][axis] += beyond * static_cast<float>(sign[axis]);
      for (const auto& other : face.corners) {
        bool across = true;
        for (int a = 0; a < 3; ++a)
          if ((a == axis) == (other[a] == sign[a])) across = false;
        if (!across) continue;
        const int w = static_cast<int>(&other - face.corners);
        for (int t = 0; t < 2; ++t)
          texCoords[v][t] += beyond * (face.texCoords[v][t] - face.texCoords[w][t]);
      }
    }
  }
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
    if (grid.inside(nx, ny, nz)) {
      const GridCell neighbour = grid.getCell(nx, ny, nz);
      if ((neighbour.isOpaque() || neighbour.emitter) && !neighbour.hidden) continue;
    }
    faces |= face.bit;
  }
  return faces;
}

unsigned FramePlan::closedSides(const LightGrid& grid, int x, int y, int z) {
  unsigned closed = 0;
  for (const BlockFace& face : kBlockFaces) {
    const int nx = x + face.normal[0], ny = y + face.normal[1], nz = z + face.normal[2];
    bool drawn = true;
    if (grid.inside(nx, ny, nz)) {
      const GridCell n = grid.getCell(nx, ny, nz);
      drawn = !n.hidden && (n.isOpaque() || n.isGlass() || n.emitter);
    }
    if (drawn) closed |= face.bit;
  }
  return closed;
}

void FramePlan::emitterColour(const GridCell& cell, float strength, float rgba[4]) {
  const float k = std::max(kMinEmitterBrightness, kEmitterBrightnessPerStrength * strength);
  for (int c = 0; c < 3; ++c) rgba[c] = k * LightGrid::compressLight(cell.emission[c]);
  rgba[3] = 1.0f;
}
