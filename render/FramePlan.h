// What one frame draws, worked out without GL: the opaque cubes in view with the faces of each
// that can show, the emitters in view in walk order with theirs, and the glass cells in view far
// to near with theirs.
// Cell (x, y, z) is the unit cube centred on the point (x, y, z); the eye is in world units.
#pragma once

#include <cstdint>
#include <vector>

#include "render/Frustum.h"
#include "render/GlassCell.h"
#include "render/GridPos.h"
#include "world/ColumnBox.h"

class GridCell;
class LightGrid;
struct Material;

// The colour a wall shows over its tile as 0xRRGGBB, 8-bit sRGB per channel. White shows the
// tile as it is: plain walls, the outside, and every opaque cell not made of a wall material.
using WallColour = std::uint32_t;
inline constexpr WallColour kPlainWall = 0xffffffu;

// An opaque cube, the kBlockFaces bits of the faces it sends and its colour.
struct OpaqueBlock {
  int x = 0, y = 0, z = 0;
  unsigned faces = 0;
  WallColour colour = kPlainWall;
};

// One corner of an emitter cube's face as both backends send it: position, flat colour, and the
// fog distance (horizontal, from the eye).
struct EmitterVertex {
  float position[3];
  float colour[4];
  float fog;
};

// The same face of a rectangle of opaque cubes of one colour side by side, sent as one quad:
// the first cube is (x, y, z); `length` cubes follow along the run axis (+x, or +z for faces
// turned along x) and `width` lines of them across it (+z for faces turned along y, +y for the
// others).
struct FaceRun {
  int x = 0, y = 0, z = 0;
  int face = 0;  // index into kBlockFaces
  int length = 1;
  int width = 1;
  WallColour colour = kPlainWall;
};

class FramePlan {
 public:
  // Half edge of opaque and emitter cubes and of every view test; glass cubes are smaller.
  static constexpr float kBlockHalfSize = 0.5f;
  static constexpr float kGlassHalfSize = 0.45f;
  // Emitter cubes are drawn at least this bright, so a light shows at strength 0.
  static constexpr float kMinEmitterBrightness = 0.2f;
  static constexpr float kEmitterBrightnessPerStrength = 8.0f;

  // One walk over the grid (z outer, x inner). Hidden cells take part in nothing; a cell may
  // take part as opaque, emitter and glass at once. Cubes outside the frustum are left out.
  // An opaque cube takes the wallColour of its cell's material.
  // The grid's outside is solid for the light and for walking, so it is drawn as wall too:
  // an open cell on the boundary adds the face of the outside cube beyond it (coordinates off
  // the grid), unless the cell is an emitter, whose cube covers that face. The lists are
  // emptied first and keep their capacity. `columns` holds every column with a shown cell (the
  // walk visits no other, in the same order, so the lists are those of the whole walk).
  static void build(const LightGrid& grid, const Frustum& frustum, const float eye[3],
                    std::vector<OpaqueBlock>& opaque, std::vector<GridPos>& emitters,
                    std::vector<GlassCell>& glass,
                    const ColumnBox& columns = ColumnBox::everything());

  // How far a run's quad reaches past its cubes' faces on each side. Runs of different lengths
  // meet with the corner of one on the edge of another; rounded onto the rasteriser's grid the
  // two edges can part by a fraction of a pixel and let the clear colour through. The overlap
  // covers that gap (it lies in the same plane, or inside a neighbouring cube).
  static constexpr float kRunOverlap = 1.0f / 256.0f;

  // Joins the faces of `opaque` into runs (see FaceRun), each face kind in turn: faces of one
  // colour side by side along a line, then runs of the same span and colour on neighbouring
  // lines. One quad for many
  // faces instead of one a cube: the rasteriser shades the pixel blocks along every edge for
  // both quads that share it. `runs` is emptied first.
  static void joinFaces(const std::vector<OpaqueBlock>& opaque, std::vector<FaceRun>& runs);

  // The quad of `run`, corners in kBlockFaces order, reaching kRunOverlap past the faces, with
  // texture coordinates that tile each cube's face as kBlockFaces textures it (the texture
  // repeats; the overlap continues the neighbouring tile).
  static void runQuad(const FaceRun& run, float corners[4][3], float texCoords[4][2]);

  // The faces of opaque cell (x, y, z) that can show: turned towards the eye (strictly outside
  // the face's plane) and not against a neighbour whose opaque or emitter cube is drawn too
  // (the two faces coincide, and the neighbour's other faces cover them). Faces on the grid's
  // boundary stay. Emitter cubes, the same size, follow the same rule.
  static unsigned visibleFaces(const LightGrid& grid, int x, int y, int z, const float eye[3]);

  // The sides of glass cell (x, y, z) that a drawn neighbour closes: a glass, opaque or emitter
  // cell that is not hidden, or the outside, which is drawn as wall. The glass cube reaches
  // across the gap to that neighbour and sends no face there, so no seam between panes shows
  // what lies behind them; but for glass of another material (the same material index aside),
  // whose tint the light behind it passes through too. Returned as kBlockFaces bits.
  static unsigned closedSides(const LightGrid& grid, int x, int y, int z);
  // Of those, the sides toward glass of another material: the cube reaches them and sends the
  // face there.
  static unsigned otherGlassSides(const LightGrid& grid, int x, int y, int z);

  // The inward faces of the outside cubes next to open boundary cell (x, y, z) that the eye
  // is in front of, appended to `opaque`.
  static void addBoundaryWalls(const LightGrid& grid, int x, int y, int z, const float eye[3],
                               std::vector<OpaqueBlock>& opaque);

  // The colour a cube of `material` shows over its tile: a wall's own colour, kPlainWall for
  // any other kind.
  static WallColour wallColour(const Material& material);

  // Flat colour of an emitter cube at light strength `strength`: k * e / (e + 1) per channel,
  // k = max(0.2, 8 * strength), at most 1 (the window keeps no more) and no fainter than
  // kFaintest (black is what nothing was drawn over), alpha 1.
  static void emitterColour(const GridCell& cell, float strength, float rgba[4]);

  // The corners of the faces the plan's emitter cells send, four a face in the face table's
  // order, into `out` (emptied first).
  static void emitterVertices(const std::vector<GridPos>& cells, const LightGrid& grid,
                              const float eye[3], std::vector<EmitterVertex>& out);
};
