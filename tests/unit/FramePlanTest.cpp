// The frame plan: which cells each pass draws (classes, hidden cells, view test), which faces of
// an opaque cube can show, the glass order, emitter colours, faces joined into runs; the
// frustum's planes from given matrices (column-major, as GL returns them) and its cube test.
#include "render/FramePlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "render/BlockFaces.h"
#include "world/LightGrid.h"

namespace {

using Cell = std::tuple<int, int, int>;
using Faces = std::set<std::tuple<int, int, int, unsigned>>;  // a cell and the faces it sends
const unsigned pz = kBlockFaces[0].bit, nz = kBlockFaces[1].bit, nx = kBlockFaces[2].bit,
               px = kBlockFaces[3].bit, py = kBlockFaces[4].bit;

// Every plane (0, 0, 0, 1): all of space is in view.
Frustum everything() {
  Frustum f;
  for (auto& plane : f.planes) plane[3] = 1.0f;
  return f;
}

// One plan; the cells of each list as sets. Opaque cubes off the grid are the faces drawn for the
// outside beyond open edge cells (boundaryWalls), the others the grid's own (opaqueCells).
struct Plan {
  std::vector<OpaqueBlock> opaque;
  std::vector<GridPos> emitters;
  std::vector<GlassCell> glass;
  const LightGrid& grid;
  Plan(const LightGrid& g, const float eye[3], const Frustum& frustum = everything()) : grid(g) {
    FramePlan::build(grid, frustum, eye, opaque, emitters, glass);
  }
  template <typename List>
  static std::set<Cell> cells(const List& list, const LightGrid* onlyIn = nullptr) {
    std::set<Cell> s;
    for (const auto& c : list)
      if (!onlyIn || onlyIn->inside(c.x, c.y, c.z)) s.insert({c.x, c.y, c.z});
    return s;
  }
  bool inside(const OpaqueBlock& b) const { return grid.inside(b.x, b.y, b.z); }
  std::set<Cell> opaqueCells() const { return cells(opaque, &grid); }
  Faces boundaryWalls() const {
    Faces s;
    for (const auto& b : opaque)
      if (!inside(b)) s.insert({b.x, b.y, b.z, b.faces});
    return s;
  }
  std::set<Cell> emitterCells() const { return cells(emitters); }
  std::set<Cell> glassCells() const { return cells(glass); }
};

void put(LightGrid& g, int x, int y, int z, float opacity, bool emitter = false, bool hidden = false) {
  GridCell c;
  if (emitter) c.setEmitter(350.0f, 350.0f, 150.0f);
  c.opacity = opacity;
  c.hidden = hidden;
  g.setCell(x, y, z, c);
}

// The 60 degree, 1024 x 800 projection with near 0.1 and far 1000 that gluPerspective builds.
const float kF = 1.0f / std::tan(3.14159265f / 6.0f);
const float kPerspective[16] = {kF * 800 / 1024, 0, 0, 0, 0, kF, 0, 0, 0, 0, 1000.1f / -999.9f, -1,
                                0, 0, 200.0f / -999.9f, 0};

}  // namespace

// The glass's order far to near: FrameRecipeTest.
TEST(FramePlan, OpacityClassesEmittersAndHiddenCellsGoToTheirPassesAndTheViewTestIsStrictForEach) {
  LightGrid g;
  g.resize(6, 3, 6);
  put(g, 1, 1, 1, 0.9f);                          // opaque, not glass
  put(g, 2, 1, 1, 0.8999f);                       // glass
  put(g, 3, 1, 1, 0.001f);                        // the float nearest 0.001 is above it: glass
  put(g, 4, 1, 1, 0.0f);                          // air
  put(g, 1, 1, 3, 0.0f, true);                    // an emitter of the map: emitter pass only
  put(g, 2, 1, 3, 0.95f, true);                   // opaque and emitter
  put(g, 3, 1, 3, 0.5f, true);                    // emitter and glass
  put(g, 4, 1, 3, 1.0f, true, true);              // hidden: nowhere
  put(g, 1, 1, 5, 0.5f, false, true);
  put(g, 3, 1, 5, 1.0f);                          // opaque; outside the west view below
  const float eye[3] = {-4.0f, 7.0f, -5.0f};
  const Plan plan(g, eye);
  EXPECT_EQ(plan.opaqueCells(), (std::set<Cell>{{1, 1, 1}, {2, 1, 3}, {3, 1, 5}}));
  EXPECT_EQ(plan.emitterCells(), (std::set<Cell>{{1, 1, 3}, {2, 1, 3}, {3, 1, 3}}));
  EXPECT_EQ(plan.glassCells(), (std::set<Cell>{{2, 1, 1}, {3, 1, 1}, {3, 1, 3}}));
  // In view only where x < 2.5: the cubes at x = 3 touch that plane from outside and are not drawn.
  Frustum west = everything();
  west.planes[0][0] = -1.0f;
  west.planes[0][3] = 2.5f;
  const Plan culled(g, eye, west);
  EXPECT_EQ(culled.opaqueCells(), (std::set<Cell>{{1, 1, 1}, {2, 1, 3}}));
  EXPECT_EQ(culled.emitterCells(), (std::set<Cell>{{1, 1, 3}, {2, 1, 3}}));
  EXPECT_EQ(culled.glassCells(), (std::set<Cell>{{2, 1, 1}}));
}

TEST(FramePlan, OnlyFacesTurnedToTheEyeAndNotAgainstADrawnOpaqueNeighbourShow) {
  LightGrid g;
  g.resize(5, 3, 5);
  put(g, 2, 1, 2, 1.0f);
  struct Case { float eye[3]; unsigned faces; } cases[] = {
      {{2.0f, 1.0f, 9.0f}, pz},               // straight in front of +z
      {{9.0f, 5.0f, -9.0f}, px | py | nz},    // a corner view shows three faces
      {{2.5f, 1.0f, 9.0f}, pz},               // on the +x plane: not strictly outside it
      {{2.0f, 1.0f, 2.0f}, 0u},               // inside the cube
  };
  for (const Case& c : cases)
    EXPECT_EQ(FramePlan::visibleFaces(g, 2, 1, 2, c.eye), c.faces) << c.eye[0] << c.eye[2];

  // An opaque neighbour covers the face between them unless it is hidden (not drawn); glass covers nothing.
  const float* front = cases[0].eye;
  for (const auto& [opacity, hidden, faces] : {std::tuple{1.0f, false, 0u}, {1.0f, true, pz}, {0.5f, false, pz}}) {
    put(g, 2, 1, 3, opacity, false, hidden);
    EXPECT_EQ(FramePlan::visibleFaces(g, 2, 1, 2, front), faces) << opacity << hidden;
  }
  put(g, 0, 1, 2, 1.0f);  // the grid's edge: the outward face stays
  const float west[3] = {-6.0f, 1.0f, 2.0f};
  EXPECT_EQ(FramePlan::visibleFaces(g, 0, 1, 2, west), nx);

  // The plan keeps a cube only with faces to send, and sends exactly those.
  put(g, 2, 1, 3, 1.0f);
  const Plan plan(g, front);
  ASSERT_EQ(plan.opaqueCells().size(), 2u);
  for (const OpaqueBlock& b : plan.opaque)
    EXPECT_TRUE(!plan.inside(b) || b.faces == FramePlan::visibleFaces(g, b.x, b.y, b.z, front)) << b.x;
}

TEST(FramePlan, OpenCellsOnTheEdgeShowTheOutsideAsWallFacingTheEye) {
  // One open cell in the middle of each side alone, then with opaque and hidden ones beside it in
  // a corner. Table order +z -z -x +x +y -y: face f ^ 1 is the opposite of face f.
  for (int side = 0; side < 7; ++side) {
    LightGrid g;
    g.resize(5, 5, 5);
    for (long i = 0; i < 125; ++i) g.setHidden(i, true);
    const int f = side % 6, axis = kBlockFaces[f].normal[0] ? 0 : kBlockFaces[f].normal[1] ? 1 : 2;
    int c[3] = {2, 2, 2};
    c[axis] = kBlockFaces[f].normal[axis] > 0 ? 4 : 0;
    int wall[3] = {c[0], c[1], c[2]};
    wall[axis] += kBlockFaces[f].normal[axis];
    Faces walls{{wall[0], wall[1], wall[2], kBlockFaces[f ^ 1].bit}};
    put(g, c[0], c[1], c[2], side < 6 ? 0.0f : 0.5f);  // the last: glass in the +z corner
    if (side == 6) {
      put(g, 2, 4, 4, 0.0f);
      put(g, 2, 3, 4, 1.0f);               // opaque on the edge: its own faces, no wall
      put(g, 3, 2, 4, 0.0f, false, true);  // hidden: nothing
      walls.insert({2, 5, 4, kBlockFaces[5].bit});
      walls.insert({2, 4, 5, kBlockFaces[1].bit});
    }
    const float eye[3] = {2.2f, 2.3f, 2.4f};
    EXPECT_EQ(Plan(g, eye).boundaryWalls(), walls) << side;
  }
}

// The compressed emission times the strength, floored, at most 1 and at least kFaintest per
// channel; at strength 0.5,
// k = 4. Where the corners lie: the GL reference picture's lamp.
TEST(FramePlan, EmitterColourScalesWithTheStrengthAndFogWithTheHorizontalDistance) {
  GridCell lamp;
  lamp.setEmitter(350.0f, 1.0f, 0.1f);
  for (const auto& [strength, k] :
       {std::pair{0.0f, 0.2f}, {0.025f, 0.2f}, {0.1f, 0.8f}, {0.5f, 4.0f}}) {
    float rgba[4];
    FramePlan::emitterColour(lamp, strength, rgba);
    EXPECT_FLOAT_EQ(rgba[0], std::min(1.0f, k * 350.0f / 351.0f)) << strength;
    EXPECT_FLOAT_EQ(rgba[1], std::min(1.0f, k * 0.5f)) << strength;
    EXPECT_TRUE(std::fabs(rgba[2] - k * 0.1f / 1.1f) < 1e-6f && rgba[3] == 1.0f) << strength;
  }
  // A lamp of no blue is still drawn a level of blue: black is what nothing was drawn over.
  lamp.setEmitter(0.001f, 0.0f, 0.0f);
  float faint[4];
  FramePlan::emitterColour(lamp, 0.0f, faint);
  EXPECT_TRUE(faint[0] > 0.0f && faint[0] < 1e-3f && faint[1] == 0.0f && faint[2] == 1.0f / 255.0f) << faint[2];
  // A sent face's corners, fogged by the horizontal distance from the eye (the list replaced).
  LightGrid g;
  g.resize(4, 4, 4);
  const float eye[3] = {0.5f, -7.0f, 3.0f};
  std::vector<EmitterVertex> out(3);
  FramePlan::emitterVertices({GridPos{2, 3, 1, pz}}, g, eye, out);
  ASSERT_EQ(out.size(), 4u);
  for (const EmitterVertex& c : out)
    EXPECT_FLOAT_EQ(c.fog, std::hypot(c.position[0] - eye[0], c.position[2] - eye[2]));
}

TEST(FramePlan, AGlassCubeClosesItsSideTowardAnEmitterAndOnlyAWallShowsItsOwnColour) {
  LightGrid g;
  g.resize(3, 1, 1);
  put(g, 0, 0, 0, 0.0f, true);
  put(g, 1, 0, 0, 0.5f);
  // Toward the emitter (-x) and off the grid (y, z): closed; toward the air (+x): open.
  unsigned open = 0;
  for (const BlockFace& face : kBlockFaces) open |= face.normal[0] == 1 ? face.bit : 0u;
  EXPECT_EQ(FramePlan::closedSides(g, 1, 0, 0), ~open & 63u);
  Material red = Palette::standard()[Palette::kWall];
  red.colour[0] = 255, red.colour[1] = red.colour[2] = 0;
  EXPECT_EQ(FramePlan::wallColour(red), 0xff0000u);
  red.kind = Material::Kind::Glass;
  EXPECT_EQ(FramePlan::wallColour(red), kPlainWall) << "glass and the rest show the plain tile";
}

TEST(FramePlan, CoincidentEmitterAndOpaqueFacesAndGlassSeamsAndFarSidesAreNotSent) {
  LightGrid g;
  g.resize(5, 3, 5);
  for (long i = 0; i < 5L * 3 * 5; ++i) g.setHidden(i, true);
  put(g, 1, 1, 2, 0.0f, true);  // emitter between an emitter (+z) and an opaque cube (+x)
  put(g, 1, 1, 3, 0.0f, true);
  put(g, 2, 1, 2, 1.0f);
  put(g, 3, 1, 2, 0.0f, true);
  put(g, 3, 0, 4, 0.0f, true);       // on the floor's edge: no outside wall under it
  put(g, 1, 1, 0, 0.5f);             // two panes on the -z edge
  put(g, 2, 1, 0, 0.5f);
  // `near` is above the panes' tops (y 1.45) but below the cells' (1.5).
  const float near[3] = {2.2f, 1.48f, 9.0f}, east[3] = {3.8f, 1.3f, 9.0f};
  const Plan a(g, near), b(g, east);
  Faces emitters;
  for (const GridPos& p : a.emitters) emitters.insert({p.x, p.y, p.z, p.faces});
  EXPECT_EQ(emitters, (Faces{{1, 1, 3, pz | px}, {3, 1, 2, pz}, {3, 0, 4, pz | py | nx}}));
  EXPECT_EQ(a.boundaryWalls(), (Faces{{1, 1, -1, pz}, {2, 1, -1, pz}}));
  for (const OpaqueBlock& o : b.opaque) EXPECT_EQ(o.faces, pz);  // not its +x face on the light
  ASSERT_EQ(a.glass.size(), 2u);
  for (const GlassCell& c : a.glass) {
    EXPECT_EQ(c.faces, pz | py) << c.x;  // no far side, no side against the other pane
    EXPECT_EQ(c.reach, nz | (c.x == 1 ? px : nx)) << c.x;
  }
}

// Panes of two glasses side by side: each tints what lies behind it, so the one behind shows its
// face against the other where it is turned to the eye; panes of one glass stay one block.
TEST(FramePlan, GlassOfAnotherMaterialShowsItsFaceAgainstTheOther) {
  LightGrid g;
  g.resize(3, 1, 4);  // air beyond the panes at z = 3: the outside would close their side
  for (int z = 0; z < 3; ++z) put(g, 1, 0, z, 0.5f);
  GridCell blue = g.getCell(1, 0, 0);
  blue.material = Palette::kGlass + 4;
  g.setCell(1, 0, 0, blue);
  const float eye[3] = {1.0f, 0.0f, 9.0f};  // in front of z = 2, looking toward -z
  const Plan plan(g, eye);
  ASSERT_EQ(plan.glass.size(), 2u);  // the middle pane shows no face: the eye's is closed
  std::map<int, GlassCell> byZ;
  for (const GlassCell& c : plan.glass) byZ[c.z] = c;
  EXPECT_EQ(byZ[2].faces, pz);
  EXPECT_EQ(byZ[0].faces, pz) << "the blue pane's face against the clear one";
  EXPECT_EQ(byZ[0].reach & pz, pz) << "reaching its neighbour, as closed sides do";
  EXPECT_EQ(FramePlan::otherGlassSides(g, 1, 0, 1), nz);
  EXPECT_EQ(FramePlan::otherGlassSides(g, 1, 0, 0), pz);
  EXPECT_EQ(FramePlan::otherGlassSides(g, 1, 0, 2), 0u);
  // An eye in the blue cube past its own surface (0.45), short of the seam (0.5), sees the seam
  // drawn once: by the clear pane, whose face there is turned to it.
  const float inPane[3] = {1.0f, 0.0f, 0.47f};
  const Plan close(g, inPane);
  int seams = 0;
  for (const GlassCell& c : close.glass) seams += (c.z == 0 && (c.faces & pz)) + (c.z == 1 && (c.faces & nz));
  EXPECT_EQ(seams, 1);
  // Hidden, or lit by the wandering light (drawn as its emitter cube), it closes the side again.
  blue.emitter = true;
  g.setCell(1, 0, 0, blue);
  EXPECT_EQ(FramePlan::otherGlassSides(g, 1, 0, 1), 0u);
  blue.emitter = false;
  blue.hidden = true;
  g.setCell(1, 0, 0, blue);
  EXPECT_EQ(FramePlan::otherGlassSides(g, 1, 0, 1), 0u);
}

// Where each run's quad lies: its size in FrameRecipeTest's areas, its place in the GL reference
// picture and the gap test.
TEST(FramePlan, NeighbouringFacesJoinIntoRectangles) {
  // +y faces (bit 16) run along x and join lines along z, +x faces (bit 8) run along z and join
  // lines along y, in any input order; gaps, other planes, other spans, other faces and other
  // colours keep apart; cubes off the grid (negative coordinates) join too.
  const WallColour red = 0xc83c28u, blue = 0x285ac8u, w = kPlainWall;
  const std::vector<OpaqueBlock> blocks = {
      {2, 0, 0, 16u}, {0, 0, 0, 16u}, {5, 1, 2, 8u},  {1, 0, 0, 16u}, {4, 0, 0, 16u},
      {1, 0, 1, 16u}, {5, 1, 0, 8u},  {5, 1, 1, 8u},  {3, 2, 3, 24u}, {-1, 3, 0, 1u},
      {0, 3, 0, 1u},  {1, 4, 0, 1u},  {0, 0, 6, 16u}, {1, 0, 5, 16u}, {0, 0, 5, 16u},
      {1, 0, 6, 16u}, {0, 0, 4, 16u}, {5, 2, 0, 8u},  {5, 2, 2, 8u},  {5, 2, 1, 8u},
      {5, 4, 0, 8u},  {5, 4, 1, 8u},  {5, 4, 2, 8u},
      // Two colours on a line part its run; a line joins the one beside it only in its colour.
      {0, 0, 8, 16u, red}, {3, 0, 8, 16u}, {1, 0, 8, 16u, red}, {2, 0, 8, 16u},
      {0, 0, 9, 16u, blue}, {1, 0, 9, 16u, blue}, {2, 0, 9, 16u, w}, {3, 0, 9, 16u},
      {5, 5, 0, 8u, red}, {5, 5, 1, 8u, red}, {5, 6, 0, 8u, red}, {5, 6, 1, 8u}};
  std::vector<FaceRun> runs;
  FramePlan::joinFaces(blocks, runs);
  std::set<std::tuple<int, int, int, int, int, int, WallColour>> got;
  for (const FaceRun& r : runs) got.insert({r.face, r.x, r.y, r.z, r.length, r.width, r.colour});
  const std::set<std::tuple<int, int, int, int, int, int, WallColour>> want = {
      {4, 0, 0, 0, 3, 1, w}, {4, 4, 0, 0, 1, 1, w}, {4, 1, 0, 1, 1, 1, w},  {4, 3, 2, 3, 1, 1, w},
      {4, 0, 0, 5, 2, 2, w}, {4, 0, 0, 4, 1, 1, w}, {3, 5, 1, 0, 3, 2, w},  {3, 3, 2, 3, 1, 1, w},
      {3, 5, 4, 0, 3, 1, w},
      {0, -1, 3, 0, 2, 1, w}, {0, 1, 4, 0, 1, 1, w},
      {4, 0, 0, 8, 2, 1, red}, {4, 2, 0, 8, 2, 2, w}, {4, 0, 0, 9, 2, 1, blue},
      {3, 5, 5, 0, 2, 1, red}, {3, 5, 6, 0, 1, 1, red}, {3, 5, 6, 1, 1, 1, w}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(runs.size(), want.size());
}

TEST(FrustumCubes, ACubeIsCulledOnlyWhenAllEightCornersAreOutsideOnePlane) {
  // A cube touching a plane from outside: FramePlan's view test. All six planes face along one
  // diagonal, so only the corner at its end is inside: every corner must be looked at.
  const float k = 1.0f / std::sqrt(3.0f);
  for (int corner = 0; corner < 8; ++corner) {
    const float d[3] = {(corner & 1) ? k : -k, (corner & 2) ? k : -k, (corner & 4) ? k : -k};
    Frustum diagonal;
    for (auto& plane : diagonal.planes) {
      std::copy(d, d + 3, plane);
      plane[3] = -1.0f;
    }
    EXPECT_TRUE(diagonal.cubeVisible(0.0f, 0.0f, 0.0f, 1.0f) && !diagonal.cubeVisible(-d[0], -d[1], -d[2], 1.0f)) << corner;
  }
  // A look-at view from (10, 2, 5) along +x (a transposed product would lose the translation):
  // ahead kept, behind and beside culled, by planes of unit normals.
  const float modl[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, -5, -2, 10, 1};
  Frustum view;
  view.extractFrom(kPerspective, modl);
  for (const auto& n : view.planes) EXPECT_NEAR(std::hypot(n[0], n[1], n[2]), 1.0f, 1e-5f);
  const struct { float x, y, z; bool seen; const char* where; } cubes[] = {
      {20, 2, 9, true, "ahead"}, {10, 2, 5, true, "around the eye"}, {3, 2, 5, false, "behind"},
      {12, 2, 14, false, "far to the right"}, {12, 2, -4, false, "far to the left"}, {12, 12, 5, false, "far above"},
      {1500, 2, 5, false, "beyond far"}};
  for (const auto& c : cubes) EXPECT_EQ(view.cubeVisible(c.x, c.y, c.z, 0.5f), c.seen) << c.where;
}
