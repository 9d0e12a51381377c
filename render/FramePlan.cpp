// The frame's cell walk, face selection and joining into rectangles of one colour, glass order
// and emitter colours (no GL).
#include "render/FramePlan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

#include "render/BlockFaces.h"
#include "render/RenderBackend.h"
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
                      std::vector<GlassCell>& glass, const ColumnBox& columns) {
  opaque.clear();
  emitters.clear();
  glass.clear();
  const ColumnBox walk = columns.within(ColumnBox::of(grid.sizeX, grid.sizeZ));
  for (int z = walk.z0; z < walk.z1; ++z)
    for (int y = 0; y < grid.sizeY; ++y)
      for (int x = walk.x0; x < walk.x1; ++x) {
        // Read field by field: the walk visits every cell of its columns each frame.
        const long i = grid.index(x, y, z);
        if (grid.hiddenAt(i)) continue;
        GridCell cell;
        cell.opacity = grid.opacityAt(i);
        cell.emitter = grid.emitterAt(i);
        const float fx = static_cast<float>(x), fy = static_cast<float>(y),
                    fz = static_cast<float>(z);
        if (!frustum.cubeVisible(fx, fy, fz, kBlockHalfSize)) continue;
        if (cell.isOpaque()) {
          const unsigned faces = visibleFaces(grid, x, y, z, eye);
          if (faces != 0)
            opaque.push_back(
                OpaqueBlock{x, y, z, faces, wallColour(grid.palette()[grid.materialAt(i)])});
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
          const unsigned hiding = closed & ~otherGlassSides(grid, x, y, z);
          unsigned faces = 0;
          // Turned to the eye as drawn: a side against a neighbour reaches the cell's edge, where
          // the neighbour's face towards it lies too, so at most one of the two is turned.
          for (const BlockFace& face : kBlockFaces) {
            const float half = (closed & face.bit) != 0 ? kBlockHalfSize : kGlassHalfSize;
            if ((hiding & face.bit) == 0 && turnedToEye(centre, face, eye, half))
              faces |= face.bit;
          }
          if (faces != 0)
            glass.push_back(
                GlassCell{x, y, z, std::sqrt(distance2(x, y, z, eye)), faces, closed});
        }
      }
  // Far to near so each pane blends over what lies behind it; ties may go either way.
  std::sort(glass.begin(), glass.end(),
            [](const GlassCell& a, const GlassCell& b) { return a.distance > b.distance; });
}

namespace {

// The axes of a face kind's runs: along the run (x, or z for faces turned along x), and across
// its lines (z for faces turned along y, y otherwise).
void runAxes(const BlockFace& face, int& along, int& across) {
  along = face.normal[0] != 0 ? 2 : 0;
  across = face.normal[1] != 0 ? 2 : 1;
}

std::array<int, 3> origin(const FaceRun& r) { return {r.x, r.y, r.z}; }

}  // namespace

void FramePlan::joinFaces(const std::vector<OpaqueBlock>& opaque, std::vector<FaceRun>& runs) {
  runs.clear();
  for (int f = 0; f < 6; ++f) {
    const BlockFace& face = kBlockFaces[f];
    int along = 0, across = 0;
    runAxes(face, along, across);
    const int plane = 3 - along - across;
    const long first = static_cast<long>(runs.size());
    for (const OpaqueBlock& b : opaque)
      if ((b.faces & face.bit) != 0) runs.push_back(FaceRun{b.x, b.y, b.z, f, 1, 1, b.colour});
    // Joins neighbours in the order `key` sorts them: `next` extends `last` when `fits`. A face
    // kind holds at most one face per place, so neighbours of another colour only part runs.
    const auto join = [&](auto key, auto fits, auto extend) {
      std::sort(runs.begin() + first, runs.end(),
                [&key](const FaceRun& p, const FaceRun& q) { return key(p) < key(q); });
      long kept = first;
      for (long i = first; i < static_cast<long>(runs.size()); ++i) {
        if (kept > first && fits(runs[kept - 1], runs[i])) {
          extend(runs[kept - 1]);
          continue;
        }
        runs[kept++] = runs[i];
      }
      runs.resize(kept);
    };
    // Faces side by side along a line into runs...
    join([&](const FaceRun& r) {
           const auto o = origin(r);
           return std::make_tuple(o[plane], o[across], o[along]);
         },
         [&](const FaceRun& last, const FaceRun& next) {
           const auto l = origin(last), n = origin(next);
           return l[plane] == n[plane] && l[across] == n[across] &&
                  n[along] == l[along] + last.length && last.colour == next.colour;
         },
         [](FaceRun& last) { ++last.length; });
    // ...and runs of the same span on neighbouring lines into rectangles.
    join([&](const FaceRun& r) {
           const auto o = origin(r);
           return std::make_tuple(o[plane], o[along], r.length, o[across]);
         },
         [&](const FaceRun& last, const FaceRun& next) {
           const auto l = origin(last), n = origin(next);
           return l[plane] == n[plane] && l[along] == n[along] && last.length == next.length &&
                  n[across] == l[across] + last.width && last.colour == next.colour;
         },
         [](FaceRun& last) { ++last.width; });
  }
}

void FramePlan::runQuad(const FaceRun& run, float corners[4][3], float texCoords[4][2]) {
  const BlockFace& face = kBlockFaces[run.face];
  int along = 0, across = 0;
  runAxes(face, along, across);
  const auto first = origin(run);
  for (int v = 0; v < 4; ++v) {
    const int* sign = face.corners[v];
    for (int t = 0; t < 2; ++t) texCoords[v][t] = face.texCoords[v][t];
    for (int axis = 0; axis < 3; ++axis) {
      corners[v][axis] =
          static_cast<float>(first[axis]) + kBlockHalfSize * static_cast<float>(sign[axis]);
      if (face.normal[axis] != 0) continue;
      // How far this corner moves out along the axis past the first cube's face, and with it
      // the texture, by its step over one cube: towards this corner from the one across.
      const int more = axis == along ? run.length - 1 : run.width - 1;
      const float beyond = kRunOverlap + (sign[axis] > 0 ? static_cast<float>(more) : 0.0f);
      corners[v][axis] += beyond * static_cast<float>(sign[axis]);
      for (const auto& other : face.corners) {
        bool opposite = true;
        for (int a = 0; a < 3; ++a)
          if ((a == axis) == (other[a] == sign[a])) opposite = false;
        if (!opposite) continue;
        const long w = &other - face.corners;
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

unsigned FramePlan::otherGlassSides(const LightGrid& grid, int x, int y, int z) {
  const unsigned char material = grid.materialAt(grid.index(x, y, z));
  unsigned other = 0;
  for (const BlockFace& face : kBlockFaces) {
    const int nx = x + face.normal[0], ny = y + face.normal[1], nz = z + face.normal[2];
    if (!grid.inside(nx, ny, nz)) continue;
    const long n = grid.index(nx, ny, nz);
    const GridCell cell = grid.getCell(nx, ny, nz);
    if (!cell.hidden && cell.isGlass() && !cell.emitter &&
        grid.materialAt(n) != material)
      other |= face.bit;
  }
  return other;
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

WallColour FramePlan::wallColour(const Material& material) {
  if (material.kind != Material::Kind::Wall) return kPlainWall;
  return static_cast<WallColour>(material.colour[0]) << 16 |
         static_cast<WallColour>(material.colour[1]) << 8 | material.colour[2];
}

void FramePlan::emitterColour(const GridCell& cell, float strength, float rgba[4]) {
  const float k = std::max(kMinEmitterBrightness, kEmitterBrightnessPerStrength * strength);
  for (int c = 0; c < 3; ++c)
    rgba[c] = std::max(kFaintest[c], std::min(1.0f, k * LightGrid::compressLight(cell.emission[c])));
  rgba[3] = 1.0f;
}

void FramePlan::emitterVertices(const std::vector<GridPos>& cells, const LightGrid& grid,
                                const float eye[3], std::vector<EmitterVertex>& out) {
  out.clear();
  EmitterVertex v{};
  for (const GridPos& p : cells) {
    emitterColour(grid.getCell(p.x, p.y, p.z), grid.strength, v.colour);
    const float centre[3] = {static_cast<float>(p.x), static_cast<float>(p.y),
                             static_cast<float>(p.z)};
    for (const BlockFace& face : kBlockFaces) {
      if ((p.faces & face.bit) == 0) continue;
      for (const auto& sign : face.corners) {
        for (int axis = 0; axis < 3; ++axis)
          v.position[axis] = centre[axis] + static_cast<float>(sign[axis]) * kBlockHalfSize;
        v.fog = std::hypot(v.position[0] - eye[0], v.position[2] - eye[2]);
        out.push_back(v);
      }
    }
  }
}
