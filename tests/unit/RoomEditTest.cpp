// Editing the room: the pick along chosen rays (edges and corners grazed) and along every axis
// from eyes on and beside cell edges, column clears and fills of every kind at every room height
// with undo back to the identical grid, the refusals (the eye's column, the grid's edges, the
// wandering light), the room saved as a map picture and built again, and the light answering an
// edit. Grid units; the room height is 6 unless a case says otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/RoomMapFile.h"
#include "app/Scene.h"
#include "tests/unit/TestImages.h"
#include "world/CellPick.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/RoomEditor.h"
#include "world/WorldBuilder.h"

namespace {

const std::string kKinds = ".#gWYBSR";  // ColumnKind order

std::vector<unsigned char> pixelsOf(const std::vector<std::string>& rows) {
  std::vector<unsigned char> rgb;
  for (const std::string& row : rows)
    for (char c : row) {
      const mapcolour::Rgb col = columnColour(static_cast<ColumnKind>(kKinds.find(c)));
      for (int v : {col.r, col.g, col.b}) rgb.push_back(static_cast<unsigned char>(v));
    }
  return rgb;
}

// A room of 6 (or `layers`) layers built from map pixels (bottom row z = 0 first).
struct Room {
  // Rows given as text, the FIRST row z = 0.
  explicit Room(const std::vector<std::string>& rows, int layers = 6)
      : Room(pixelsOf(rows), static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), layers) {}
  Room(const std::vector<unsigned char>& rgb, int w, int h, int layers = 6) {
    testing::internal::CaptureStdout();
    map.resize(w, h);
    testing::internal::GetCapturedStdout();
    grid.resize(w, layers, h);
    start = buildWorldFromPixels(rgb.data(), w, h, grid, map);
  }
  std::vector<GridCell> cells() const {
    std::vector<GridCell> all;
    for (int z = 0; z < grid.sizeZ; ++z)
      for (int y = 0; y < grid.sizeY; ++y)
        for (int x = 0; x < grid.sizeX; ++x) all.push_back(grid.getCell(x, y, z));
    return all;
  }
  std::vector<ColorMap::Pixel> base() const { return {map.base.get(), map.base.get() + map.width * map.height}; }
  float light(int x, int y, int z) const { return grid.getCell(x, y, z).light[0]; }
  LightGrid grid;
  ColorMap map;
  StartView start;
};

// Cells equal in every field (light and hidden included); the index of the first difference.
long firstDifference(const std::vector<GridCell>& a, const std::vector<GridCell>& b) {
  auto same = [](const GridCell& p, const GridCell& q) {
    return p.emitter == q.emitter && p.opacity == q.opacity && p.hidden == q.hidden && p.greenMarker == q.greenMarker &&
           p.redMarker == q.redMarker && std::equal(p.emission, p.emission + 3, q.emission) &&
           std::equal(p.light, p.light + 3, q.light);
  };
  const auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end(), same);
  return at.first == a.end() && at.second == b.end() ? -1 : at.first - a.begin();
}

std::string pickText(const Room& room, Vec3 eye, Vec3 dir, float range = CellPick::kRange) {
  const CellPick p = pickCell(room.grid, eye, dir, range);
  if (!p.hit) return "none";
  char text[64];
  std::snprintf(text, sizeof text, "%d,%d,%d n%d%d%d fill %d,%d", p.cell[0], p.cell[1], p.cell[2], p.normal[0],
                p.normal[1], p.normal[2], p.fillX(), p.fillZ());
  return text;
}

const std::vector<std::string> kHall = {"##########",  // z = 0
                                        "#........#", "#...g....#", "#........#",
                                        "#........#",  // the wandering light is at (6, 3, 3)
                                        "#...#....#", "#.B......#", "##########"};

}  // namespace

TEST(CellPick, FirstMatterAlongTheRayWithinRangeEdgesAndCornersGrazedIncluded) {
  const Room room(kHall);
  // Along an axis: through the wandering light to the wall, glass, the floor (its own column)
  // and a ceiling light.
  EXPECT_EQ(pickText(room, {1, 3, 3}, {1, 0, 0}), "9,3,3 n-100 fill 8,3");
  EXPECT_EQ(pickText(room, {1, 2, 2}, {2, 0, 0}), "4,2,2 n-100 fill 3,2");
  EXPECT_EQ(pickText(room, {5, 2, 3}, {0, -1, 0}), "5,0,3 n010 fill 5,3");
  EXPECT_EQ(pickText(room, {2, 2, 6}, {0, 1, 0}), "2,5,6 n0-10 fill 2,6");
  // The wall's face is 7.5 away: a range short of it finds nothing.
  EXPECT_EQ(pickText(room, {1, 2, 1}, {1, 0, 0}, 7.5f), "9,2,1 n-100 fill 8,1");
  EXPECT_EQ(pickText(room, {1, 2, 1}, {1, 0, 0}, 7.4f), "none");
  // Diagonally through cell corners: the wall (4, 5) only touches the ray at an edge, on the
  // z side; the ray is caught there, not slipped past.
  EXPECT_EQ(pickText(room, {1, 2, 1}, {1, 0, 1}), "4,2,5 n00-1 fill 4,4");
  // Through three-cell corners: at the third the y side (the ceiling) is hit.
  EXPECT_EQ(pickText(room, {1, 2, 1}, {1, 1, 1}), "3,5,3 n0-10 fill 3,3");
  // A ray through a grid without walls finds nothing beyond it.
  const Room open({"...", "...", "..."});
  EXPECT_EQ(pickText(open, {-3, 2, 1}, {1, 0, 0}), "none");
  EXPECT_EQ(pickText(open, {-3, 2, 1}, {1, -0.3f, 0}), "2,0,1 n010 fill 2,1");  // enters, falls
}

TEST(RoomEditor, EveryKindFillsAWholeColumnAsTheMapWouldAndUndoRestoresTheIdenticalGrid) {
  Room room(kHall);
  for (int i = 0; i < 40; ++i) room.grid.step();  // light and hidden flags to be kept
  const std::vector<GridCell> before = room.cells();
  const auto base = room.base();
  RoomEditor editor;
  for (int k = 0; k < 8; ++k) {
    const ColumnKind kind = static_cast<ColumnKind>(k);
    const RoomEditor::Result r = editor.fill(room.grid, room.map, 2, 4, kind, 5, 5);
    EXPECT_EQ(r, k == 0 ? RoomEditor::Result::Unchanged : RoomEditor::Result::Done) << k;
    EXPECT_EQ(columnKindAt(room.grid, 2, 4), kind) << k;
    std::vector<std::string> rows = kHall;  // the same cells a map with that pixel builds
    rows[4][2] = kKinds[k];
    for (int y = 0; y < 6; ++y) {
      GridCell edited = room.grid.getCell(2, y, 4);
      edited.hidden = false;  // kept from the cell before, as the last step left it
      EXPECT_EQ(firstDifference({edited}, {Room(rows).grid.getCell(2, y, 4)}), -1) << k << y;
    }
    EXPECT_EQ(room.map.basePixel(2, 4), k == 1 ? ColorMap::kWall : ColorMap::kOpen) << k;
  }
  EXPECT_EQ(editor.undoDepth(), 7u);
  EXPECT_EQ(editor.clear(room.grid, room.map, 2, 4), RoomEditor::Result::Done);  // a red start
  EXPECT_EQ(editor.clear(room.grid, room.map, 2, 4), RoomEditor::Result::Unchanged);
  EXPECT_EQ(editor.clear(room.grid, room.map, 4, 5), RoomEditor::Result::Done);  // the wall
  EXPECT_EQ(editor.fill(room.grid, room.map, 4, 5, ColumnKind::Glass, 4, 5), RoomEditor::Result::EyeColumn);
  EXPECT_EQ(editor.clear(room.grid, room.map, 10, 5), RoomEditor::Result::OffGrid);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(editor.undo(room.grid, room.map), RoomEditor::Result::Done) << i;
  EXPECT_EQ(editor.undo(room.grid, room.map), RoomEditor::Result::NothingToUndo);
  EXPECT_EQ(firstDifference(room.cells(), before), -1);
  EXPECT_TRUE(room.base() == base);

  // Hundreds of random edits are undone as far back as the undo depth reaches, in order.
  std::mt19937 rng(7);
  std::vector<std::vector<GridCell>> states{room.cells()};
  for (size_t i = 0; i < RoomEditor::kUndoDepth + 40; ++i) {
    const int x = 1 + static_cast<int>(rng() % 8), z = 1 + static_cast<int>(rng() % 6);
    if (editor.fill(room.grid, room.map, x, z, static_cast<ColumnKind>(rng() % 8), 0, 0) == RoomEditor::Result::Done)
      states.push_back(room.cells());
  }
  ASSERT_GT(states.size(), RoomEditor::kUndoDepth + 1);
  EXPECT_EQ(editor.undoDepth(), RoomEditor::kUndoDepth);
  for (size_t i = 1; i <= RoomEditor::kUndoDepth; ++i) {
    ASSERT_EQ(editor.undo(room.grid, room.map), RoomEditor::Result::Done);
    ASSERT_EQ(firstDifference(room.cells(), states[states.size() - 1 - i]), -1) << i;
  }
  EXPECT_EQ(editor.undo(room.grid, room.map), RoomEditor::Result::NothingToUndo) << "the oldest is forgotten";
  EXPECT_EQ(editor.undoDepth(), 0u);
}

TEST(RoomEditor, TheWanderingLightKeepsItsCellAndIsNeverWalledIn) {
  Room room(kHall);
  const std::vector<GridCell> before = room.cells();
  RoomEditor editor;
  EXPECT_EQ(editor.fill(room.grid, room.map, 6, 3, ColumnKind::Wall, 0, 0), RoomEditor::Result::WanderingLight);
  EXPECT_EQ(firstDifference(room.cells(), before), -1) << "a refused edit changes nothing";
  EXPECT_EQ(editor.fill(room.grid, room.map, 6, 3, ColumnKind::Glass, 0, 0), RoomEditor::Result::Done);
  GridCell light = room.grid.getCell(6, 3, 3);
  EXPECT_TRUE(light.emitter && light.emission[0] == 1520.0f && light.opacity == 0.5f);
  EXPECT_EQ(columnKindAt(room.grid, 6, 3), ColumnKind::Glass);
  // The light wanders down a cell; undoing the glass leaves no second light behind.
  room.grid.setCell(6, 2, 3, light);
  light.emitter = false, light.emission[0] = 0.0f;
  room.grid.setCell(6, 3, 3, light);
  room.grid.lightY = 2;
  EXPECT_EQ(editor.undo(room.grid, room.map), RoomEditor::Result::Done);
  EXPECT_FALSE(room.grid.getCell(6, 3, 3).emitter);
  EXPECT_TRUE(room.grid.getCell(6, 2, 3).emitter && room.grid.getCell(6, 2, 3).opacity == 0.0f);
}

TEST(RoomMap, SavedPictureBuildsTheSameCellsForTheShippedRoomAndARandomRoomOfEveryKind) {
  startImageLibrary();
  MapImage shipped;
  std::string error;
  ASSERT_TRUE(shipped.load(QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png", error)) << error;
  std::mt19937 rng(11);
  std::vector<unsigned char> random;
  const int w = 37, h = 23;
  for (int i = 0; i < w * h; ++i) {
    const mapcolour::Rgb c = columnColour(static_cast<ColumnKind>(i == 300 ? 7 : rng() % 6));
    for (int v : {c.r, c.g, c.b}) random.push_back(static_cast<unsigned char>(v));
  }
  const struct {
    const std::vector<unsigned char>& rgb;
    int w, h;
  } maps[] = {{shipped.pixels, shipped.width, shipped.height}, {random, w, h}};
  const std::string path = testing::TempDir() + "quillmarsh-saved-map.png";
  for (const auto& m : maps) {
    Room room(m.rgb, m.w, m.h);
    const int sx = static_cast<int>(room.start.eye.x), sz = static_cast<int>(room.start.eye.z);
    const std::vector<unsigned char> saved = roomMapPixels(room.grid, sx, sz);
    EXPECT_TRUE(saved == m.rgb);
    ASSERT_TRUE(writeRgbPng(path, saved, m.w, m.h));
    MapImage read;
    ASSERT_TRUE(read.load(path.c_str(), error)) << error;
    const Room again(read.pixels, read.width, read.height);
    EXPECT_EQ(firstDifference(again.cells(), room.cells()), -1);
    EXPECT_EQ(again.start.eye, room.start.eye);
  }
  // Standing elsewhere, the one start marker moves to the eye's column; a wall column keeps it.
  Room room(random, w, h);
  RoomEditor editor;
  editor.clear(room.grid, room.map, 3, 2);
  std::vector<unsigned char> moved = roomMapPixels(room.grid, 3, 2);
  const Room there(moved, w, h);
  EXPECT_EQ(there.start.eye, Vec3(3, 2, 2));
  EXPECT_EQ(columnKindAt(there.grid, 300 % w, 300 / w), ColumnKind::Air);
  EXPECT_EQ(editor.fill(room.grid, room.map, 3, 2, ColumnKind::Wall, -1, -1), RoomEditor::Result::Done);
  EXPECT_TRUE(roomMapPixels(room.grid, 3, 2) == roomMapPixels(room.grid, -1, 0));
  EXPECT_EQ(Room(roomMapPixels(room.grid, 3, 2), w, h).start.eye, room.start.eye);
  std::remove(path.c_str());
}

TEST(RoomEditor, TheLightAnswersALampInADarkCornerAndAWallTakenAway) {
  // Two halls apart behind a whole wall (z = 5); the map is too narrow for the wandering light.
  const std::vector<std::string> halls = {"######", "#....#", "#.W..#", "#....#", "#....#", "######",
                                          "#....#", "#....#", "#....#", "#....#", "######"};
  for (int edit = 0; edit < 2; ++edit) {
    Room room(halls);
    room.grid.strength = 1.0f;
    for (int i = 0; i < 60; ++i) room.grid.step();
    for (int z = 6; z <= 9; ++z)
      for (int y = 0; y < 6; ++y) ASSERT_EQ(room.light(1, y, z), 0.0f) << "the far hall is dark";
    ASSERT_GT(room.light(2, 2, 4), 0.0f);
    RoomEditor editor;
    // A yellow lamp over the corner (1, 9), lit by the first step; or the wall column (2, 5)
    // cleared. The light front moves one cell a step: three down from the ceiling, four along z
    // from the lit hall.
    const int corner[3] = {1, 2, 9}, beyond[3] = {2, 2, 8};
    const int* watched = edit == 0 ? corner : beyond;
    ASSERT_EQ(edit == 0 ? editor.fill(room.grid, room.map, 1, 9, ColumnKind::YellowLight, 3, 3)
                        : editor.clear(room.grid, room.map, 2, 5),
              RoomEditor::Result::Done);
    for (int step = 1; step <= 4; ++step) {
      room.grid.step();
      EXPECT_EQ(room.light(watched[0], watched[1], watched[2]) > 0.0f, step == 4) << edit << " " << step;
    }
  }
}

namespace {

// The pick of a ray along one axis, cell by cell: the eye's cell is the one whose span holds it
// (a coordinate on an edge belongs to the cell above), each face entered lies half a cell back
// from the cell's centre; the wandering light is no matter.
CellPick axisPick(const LightGrid& g, const float eye[3], int axis, int sign, float range) {
  CellPick pick;
  int c[3];
  for (int a = 0; a < 3; ++a) c[a] = static_cast<int>(std::floor(eye[a] + 0.5f));
  while (true) {
    c[axis] += sign;
    const float t = (c[axis] - 0.5f * sign - eye[axis]) * sign;
    if (t > range || !g.inside(c[0], c[1], c[2])) return pick;
    const GridCell cell = g.getCell(c[0], c[1], c[2]);
    const bool light = c[0] == g.lightX && c[1] == g.lightY && c[2] == g.lightZ;
    if (light || !(cell.emitter || cell.isOpaque() || cell.isGlass())) continue;
    pick.hit = true;
    std::copy(c, c + 3, pick.cell);
    pick.normal[axis] = -sign;
    pick.distance = t;
    return pick;
  }
}

std::string describePick(const CellPick& p) {
  if (!p.hit) return "none";
  char text[96];
  std::snprintf(text, sizeof text, "%d,%d,%d n%d%d%d fill %d,%d at %.4f", p.cell[0], p.cell[1], p.cell[2],
                p.normal[0], p.normal[1], p.normal[2], p.fillX(), p.fillZ(), p.distance);
  return text;
}

// Every kind in a room with a wall round it; the wandering light's column (6, 3) open.
const std::vector<std::string> kMixed = {"#.g.W..#", ".......Y", "..#..S..", "B.....R.", "#..g...."};

}  // namespace

TEST(CellPick, AlongEachAxisFromEyesOnAndBesideCellEdgesFloorAndCeilingIncluded) {
  for (const int layers : {3, 4, 5, 6, 7, 10, 64}) {
    const Room room(kMixed, layers);
    const LightGrid& g = room.grid;
    int floorPicks = 0, ceilingPicks = 0;
    for (int z = 0; z < g.sizeZ; ++z)
      for (int y : {0, 1, layers / 2, layers - 2, layers - 1})
        for (int x = 0; x < g.sizeX; ++x)
          for (int axis = 0; axis < 3; ++axis)
            for (const float offset : {0.0f, 0.49f, 0.5f, 0.51f, -0.49f, -0.5f, -0.51f}) {
              // The eye moved off the cell's centre along one axis only.
              float eye[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
              eye[axis] += offset;
              for (int dirAxis = 0; dirAxis < 3; ++dirAxis)
                for (const int sign : {1, -1})
                  for (const float range : {CellPick::kRange, 2.5f}) {
                    Vec3 dir(0, 0, 0);
                    (dirAxis == 0 ? dir.x : dirAxis == 1 ? dir.y : dir.z) = 3.0f * sign;
                    const CellPick got = pickCell(g, Vec3(eye[0], eye[1], eye[2]), dir, range);
                    const CellPick want = axisPick(g, eye, dirAxis, sign, range);
                    ASSERT_EQ(describePick(got), describePick(want))
                        << layers << " layers, eye " << eye[0] << "," << eye[1] << "," << eye[2]
                        << " axis " << dirAxis << " sign " << sign << " range " << range;
                    floorPicks += got.hit && got.cell[1] == 0 && got.normal[1] == 1;
                    ceilingPicks += got.hit && got.cell[1] == layers - 1 && got.normal[1] == -1;
                  }
            }
    EXPECT_GT(floorPicks, 0);
    EXPECT_GT(ceilingPicks, 0);
  }
}

TEST(RoomEditor, AtEveryRoomHeightFillsMatchTheMapAndTheRefusalsHold) {
  const std::vector<std::string> box = {"########", "#......#", "#......#", "#......#", "########"};
  for (int layers = 3; layers <= 64; ++layers) {
    SCOPED_TRACE(std::to_string(layers) + " layers");
    Room room(box, layers);
    const std::vector<GridCell> before = room.cells();
    RoomEditor editor;
    // Every kind as the map builds it, column by column; then undone to the identical grid.
    for (int k = 0; k < 8; ++k) {
      const ColumnKind kind = static_cast<ColumnKind>(k);
      ASSERT_EQ(editor.fill(room.grid, room.map, 2, 2, kind, 4, 2), k == 0 ? RoomEditor::Result::Unchanged : RoomEditor::Result::Done) << k;
      EXPECT_EQ(columnKindAt(room.grid, 2, 2), kind) << k;
      std::vector<std::string> rows = box;
      rows[2][2] = kKinds[k];
      const Room built(rows, layers);
      for (int y = 0; y < layers; ++y)
        EXPECT_EQ(firstDifference({room.grid.getCell(2, y, 2)}, {built.grid.getCell(2, y, 2)}), -1) << k << " y " << y;
    }
    // The grid's edges take fills; a column beyond them is no column.
    for (const auto& at : {std::make_pair(0, 0), {7, 0}, {0, 4}, {7, 4}})
      EXPECT_EQ(editor.fill(room.grid, room.map, at.first, at.second, ColumnKind::Glass, 4, 2), RoomEditor::Result::Done);
    for (const auto& at : {std::make_pair(-1, 2), {8, 2}, {2, -1}, {2, 5}})
      EXPECT_EQ(editor.fill(room.grid, room.map, at.first, at.second, ColumnKind::Glass, 4, 2), RoomEditor::Result::OffGrid);
    // The eye's column: both coordinates must match, each alone is another column.
    EXPECT_EQ(editor.fill(room.grid, room.map, 3, 2, ColumnKind::Wall, 3, 2), RoomEditor::Result::EyeColumn);
    EXPECT_EQ(editor.fill(room.grid, room.map, 3, 2, ColumnKind::Wall, 4, 2), RoomEditor::Result::Done);
    EXPECT_EQ(editor.fill(room.grid, room.map, 3, 3, ColumnKind::Wall, 3, 2), RoomEditor::Result::Done);
    EXPECT_EQ(editor.clear(room.grid, room.map, 3, 3), RoomEditor::Result::Done) << "clearing is never the eye's concern";
    // The wandering light (6, top open layer or 3, 3): no wall over it; glass around it keeps it lit.
    const int lightY = room.grid.lightY;
    ASSERT_TRUE(room.grid.lightX == 6 && room.grid.lightZ == 3 && lightY == std::min(3, layers - 2));
    const std::vector<GridCell> beforeLight = room.cells();
    EXPECT_EQ(editor.fill(room.grid, room.map, 6, 3, ColumnKind::Wall, 0, 0), RoomEditor::Result::WanderingLight);
    EXPECT_EQ(firstDifference(room.cells(), beforeLight), -1);
    EXPECT_EQ(editor.fill(room.grid, room.map, 6, 3, ColumnKind::Glass, 0, 0), RoomEditor::Result::Done);
    const GridCell light = room.grid.getCell(6, lightY, 3);
    EXPECT_TRUE(light.emitter && light.emission[0] == 1520.0f && light.opacity == 0.5f);
    EXPECT_EQ(columnKindAt(room.grid, 6, 3), ColumnKind::Glass);
    while (editor.undoDepth() > 0) ASSERT_EQ(editor.undo(room.grid, room.map), RoomEditor::Result::Done);
    EXPECT_EQ(firstDifference(room.cells(), before), -1);
  }
}

// The scene's edit from the camera: the eye's column is the cell its x and z lie in, each
// rounded on its own (a coordinate on an edge belongs to the cell above), whatever the height.
TEST(RoomEditor, TheSceneRefusesAFillOnlyInTheColumnTheEyeStandsIn) {
  const struct {
    Vec3 eye, dir;
    int fillX, fillZ;
    bool refused;
  } cases[] = {
      // Facing the wall x = 9 along +x: the fill goes to column (8, 3).
      {{7.49f, 2, 3}, {1, 0, 0}, 8, 3, false}, {{7.5f, 2, 3}, {1, 0, 0}, 8, 3, true},
      {{7.51f, 2, 3}, {1, 0, 0}, 8, 3, true}, {{8.49f, 2, 3}, {1, 0, 0}, 8, 3, true},
      // The same with the eye moved along y only: no difference.
      {{7.49f, 0.51f, 3}, {1, 0, 0}, 8, 3, false}, {{7.49f, 4.49f, 3}, {1, 0, 0}, 8, 3, false},
      {{7.51f, 0.51f, 3}, {1, 0, 0}, 8, 3, true}, {{7.51f, 4.49f, 3}, {1, 0, 0}, 8, 3, true},
      // Along z only, facing the wall z = 7 along +z: the fill goes to column (3, 6).
      {{3, 2, 5.49f}, {0, 0, 1}, 3, 6, false}, {{3, 2, 5.51f}, {0, 0, 1}, 3, 6, true},
      {{3, 3.5f, 5.49f}, {0, 0, 1}, 3, 6, false}, {{3, 2, 6.49f}, {0, 0, 1}, 3, 6, true},
      // Beside the column on the other axis: x matches, z does not, and the reverse.
      {{8.2f, 2, 4.51f}, {0, 0, -1}, 8, 1, false}, {{3.51f, 2, 6}, {-1, 0, 0}, 1, 6, false},
  };
  for (const auto& c : cases) {
    Scene scene;
    const std::vector<unsigned char> rgb = pixelsOf(kHall);
    testing::internal::CaptureStdout();
    buildRoom(rgb.data(), static_cast<int>(kHall[0].size()), static_cast<int>(kHall.size()), 6,
              *scene.grid, *scene.occlusionMap);
    testing::internal::GetCapturedStdout();
    scene.selectedMaterial = Palette::kGlass;
    scene.camera.setView(c.eye, c.eye + c.dir, Vec3(0, 1, 0));
    testing::internal::CaptureStdout();
    scene.editAtPick(true, true);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(columnKindAt(*scene.grid, c.fillX, c.fillZ), c.refused ? ColumnKind::Air : ColumnKind::Glass)
        << c.eye.x << "," << c.eye.y << "," << c.eye.z;
    EXPECT_EQ(printed, c.refused ? "edit refused: you stand in that column\n" : "") << c.eye.x << "," << c.eye.z;
  }
}
