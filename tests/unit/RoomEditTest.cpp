// Editing the room: the pick along chosen rays and along every axis from eyes on and beside cell
// edges, column fills of every kind at every room height as the map builds them, the refusals,
// undo back to the identical grid, the room saved as a map picture (the light after an edit: the
// sparse step's tests, every edit goes through LightGrid::setCell). Grid units.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/RoomMapFile.h"
#include "tests/support/MapRooms.h"
#include "world/CellPick.h"
#include "world/RoomEditor.h"

namespace {

using Result = RoomEditor::Result;

std::string describePick(const CellPick& p, bool distance = false) {
  if (!p.hit) return "none";
  char text[96];
  std::snprintf(text, sizeof text, "%d,%d,%d n%d%d%d fill %d,%d", p.cell[0], p.cell[1], p.cell[2],
                p.normal[0], p.normal[1], p.normal[2], p.fillX(), p.fillZ());
  if (distance) std::snprintf(text + std::strlen(text), 24, " at %.4f", p.distance);
  return text;
}

std::string pickText(const BuiltRoom& room, Vec3 eye, Vec3 dir, float range = CellPick::kRange) {
  return describePick(pickCell(room.grid, eye, dir, range));
}

// The wandering light is at (6, 3, 3).
const std::vector<std::string> kHall = {"##########", "#........#", "#...g....#", "#........#",
                                        "#........#", "#...#....#", "#.B......#", "##########"};

}  // namespace

// Slanted rays; along the axes: the next test; nothing beyond an opening: SceneUpdateTest's clicks.
TEST(CellPick, FirstMatterAlongASlantedRayEdgesAndCornersGrazedIncluded) {
  const BuiltRoom room(legendMap(kHall));
  // Through cell corners: the wall (4, 5) touches the ray only at an edge, on the z side; through
  // three-cell corners the y side (the ceiling) is hit at the third.
  EXPECT_EQ(pickText(room, {1, 2, 1}, {1, 0, 1}), "4,2,5 n00-1 fill 4,4");
  EXPECT_EQ(pickText(room, {1, 2, 1}, {1, 1, 1}), "3,5,3 n0-10 fill 3,3");
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

}  // namespace

TEST(CellPick, AlongEachAxisFromEyesOnAndBesideCellEdgesFloorAndCeilingIncluded) {
  // Every kind in a room with a wall round it; the wandering light's column (6, 3) open.
  const MapPixels mixed = legendMap({"#.g.W..#", ".......Y", "..#..S..", "B.....R.", "#..g...."});
  for (const int layers : {3, 4, 5, 6, 7, 10, 64}) {
    const BuiltRoom room(mixed, layers);
    const LightGrid& g = room.grid;
    int floorPicks = 0, ceilingPicks = 0;
    for (int z = 0; z < g.sizeZ; ++z)
      for (int y : {0, 1, layers / 2, layers - 2, layers - 1})
        for (int x = 0; x < g.sizeX; ++x)
          for (int axis = 0; axis < 3; ++axis)
            for (const float offset : {0.0f, 0.49f, 0.5f, 0.51f, -0.49f, -0.5f, -0.51f}) {
              float eye[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
              eye[axis] += offset;
              for (int dirAxis = 0; dirAxis < 3; ++dirAxis)
                for (const int sign : {1, -1})
                  for (const float range : {CellPick::kRange, 2.5f}) {
                    Vec3 dir(0, 0, 0);
                    (dirAxis == 0 ? dir.x : dirAxis == 1 ? dir.y : dir.z) = 3.0f * sign;
                    const CellPick got = pickCell(g, Vec3(eye[0], eye[1], eye[2]), dir, range);
                    ASSERT_EQ(describePick(got, true), describePick(axisPick(g, eye, dirAxis, sign, range), true))
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

// At every room height, lit and partly hidden: each kind fills a column as the map builds it, base
// pixel included; edges, clears and the eye's column (both coordinates; the wandering light:
// SceneUpdateTest's clicks) answer as they should; undoing every edit gives back the same grid.
TEST(RoomEditor, AtEveryRoomHeightFillsMatchTheMapTheRefusalsHoldAndUndoRestoresTheGrid) {
  const std::vector<std::string> box = {"########", "#......#", "#......#", "#......#", "########"};
  for (int layers = 3; layers <= 64; ++layers) {
    SCOPED_TRACE(std::to_string(layers) + " layers");
    BuiltRoom room(legendMap(box), layers);
    LightGrid& g = room.grid;
    for (long i = 0; i < g.cellCount(); ++i) {
      EditedCell(g, i).setLight(i % 7 + 1.0f, 1, 2);
      g.setHidden(i, i % 3 == 0);
    }
    const std::vector<GridCell> before = room.cells();
    const auto base = room.base();
    RoomEditor editor;
    size_t done = 0;
    const auto expect = [&](Result got, Result want) {
      EXPECT_EQ(got, want);
      done += got == Result::Done;
    };
    for (int k = 0; k < 8; ++k) {
      const ColumnKind kind = static_cast<ColumnKind>(k);
      expect(editor.fill(g, room.map, 2, 2, kind, 4, 2), k == 0 ? Result::Unchanged : Result::Done);
      EXPECT_EQ(columnKindAt(g, 2, 2), kind) << k;
      EXPECT_EQ(room.map.basePixel(2, 2), k == 1 ? ColorMap::kWall : ColorMap::kOpen) << k;
      std::vector<std::string> rows = box;
      rows[2][2] = kLegend[k];
      const BuiltRoom built(legendMap(rows), layers);
      for (int y = 0; y < layers; ++y) {  // air leaves the column as it was
        const GridCell& was = before[g.index(2, y, 2)];
        GridCell want = k == 0 ? was : built.grid.getCell(2, y, 2);
        want.hidden = was.hidden;  // kept from the cell before
        EXPECT_EQ(firstDifference({g.getCell(2, y, 2)}, {want}), -1) << k << " y " << y;
      }
    }
    expect(editor.clear(g, room.map, 2, 2), Result::Done);
    expect(editor.clear(g, room.map, 2, 2), Result::Unchanged);
    for (const auto& at : {std::make_pair(0, 0), {7, 0}, {0, 4}, {7, 4}})
      expect(editor.fill(g, room.map, at.first, at.second, ColumnKind::Glass, 4, 2), Result::Done);
    for (const auto& at : {std::make_pair(-1, 2), {8, 2}, {2, -1}, {2, 5}}) {
      expect(editor.fill(g, room.map, at.first, at.second, ColumnKind::Glass, 4, 2), Result::OffGrid);
      expect(editor.clear(g, room.map, at.first, at.second), Result::OffGrid);
    }
    expect(editor.fill(g, room.map, 3, 2, ColumnKind::Wall, 3, 2), Result::EyeColumn);
    expect(editor.fill(g, room.map, 3, 2, ColumnKind::Wall, 4, 2), Result::Done);
    expect(editor.fill(g, room.map, 3, 3, ColumnKind::Wall, 3, 2), Result::Done);
    expect(editor.clear(g, room.map, 3, 3), Result::Done);  // clearing is never the eye's concern
    EXPECT_EQ(editor.undoDepth(), done);
    for (size_t i = 0; i < done; ++i) ASSERT_EQ(editor.undo(g, room.map), Result::Done) << i;
    EXPECT_EQ(editor.undo(g, room.map), Result::NothingToUndo);
    EXPECT_EQ(firstDifference(room.cells(), before), -1);
    EXPECT_TRUE(room.base() == base);
  }
}

TEST(RoomEditor, UndoReachesBackTheUndoDepthInOrderAndLeavesNoSecondWanderingLight) {
  BuiltRoom room(legendMap(kHall));
  RoomEditor editor;
  // The light wanders down a cell under glass; undoing the glass leaves no light behind.
  ASSERT_EQ(editor.fill(room.grid, room.map, 6, 3, ColumnKind::Glass, 0, 0), Result::Done);
  GridCell light = room.grid.getCell(6, 3, 3);
  room.grid.setCell(6, 2, 3, light);
  light.emitter = false, light.emission[0] = 0.0f;
  room.grid.setCell(6, 3, 3, light);
  room.grid.lightY = 2;
  EXPECT_EQ(editor.undo(room.grid, room.map), Result::Done);
  EXPECT_FALSE(room.grid.getCell(6, 3, 3).emitter);
  EXPECT_TRUE(room.grid.getCell(6, 2, 3).emitter && room.grid.getCell(6, 2, 3).opacity == 0.0f);
  // Hundreds of random edits: the last kUndoDepth are undone in order, the oldest forgotten.
  std::mt19937 rng(7);
  std::vector<std::vector<GridCell>> states{room.cells()};
  for (size_t i = 0; i < RoomEditor::kUndoDepth + 40; ++i) {
    const int x = 1 + static_cast<int>(rng() % 8), z = 1 + static_cast<int>(rng() % 6);
    if (editor.fill(room.grid, room.map, x, z, static_cast<ColumnKind>(rng() % 8), 0, 0) == Result::Done)
      states.push_back(room.cells());
  }
  ASSERT_GT(states.size(), RoomEditor::kUndoDepth + 1);
  EXPECT_EQ(editor.undoDepth(), RoomEditor::kUndoDepth);
  for (size_t i = 1; i <= RoomEditor::kUndoDepth; ++i) {
    ASSERT_EQ(editor.undo(room.grid, room.map), Result::Done);
    ASSERT_EQ(firstDifference(room.cells(), states[states.size() - 1 - i]), -1) << i;
  }
  EXPECT_EQ(editor.undo(room.grid, room.map), Result::NothingToUndo);
}

TEST(RoomMap, SavedPixelsAreTheMapForTheShippedRoomAndARandomRoomOfEveryKindAndMoveTheStart) {
  std::mt19937 rng(11);
  MapPixels random{{}, 37, 23};
  for (int i = 0; i < random.w * random.h; ++i) {
    const mapcolour::Rgb c = columnColour(static_cast<ColumnKind>(i == 300 ? 7 : rng() % 6));
    for (int v : {c.r, c.g, c.b}) random.rgb.push_back(static_cast<unsigned char>(v));
  }
  // The same pixels build the same cells (the shipped map: VoxFileTest's map rooms; the file they
  // go into: the driven run's Ctrl+S). Standing elsewhere, the one start marker moves to the eye's
  // column; a wall column keeps it.
  BuiltRoom room(random);
  const Vec3 eye = room.start.eye;
  EXPECT_TRUE(roomMapPixels(room.grid, static_cast<int>(eye.x), static_cast<int>(eye.z)) == random.rgb);
  RoomEditor editor;
  editor.clear(room.grid, room.map, 3, 2);
  const BuiltRoom there({roomMapPixels(room.grid, 3, 2), random.w, random.h});
  EXPECT_EQ(there.start.eye, Vec3(3, 2, 2));
  EXPECT_EQ(columnKindAt(there.grid, 300 % random.w, 300 / random.w), ColumnKind::Air);
  EXPECT_EQ(editor.fill(room.grid, room.map, 3, 2, ColumnKind::Wall, -1, -1), Result::Done);
  EXPECT_TRUE(roomMapPixels(room.grid, 3, 2) == roomMapPixels(room.grid, -1, 0));
  EXPECT_EQ(BuiltRoom({roomMapPixels(room.grid, 3, 2), random.w, random.h}).start.eye, room.start.eye);
  // Under a ceiling lamp, the lamp stays and so does the marker.
  int lamps = 0;
  for (int z = 0; z < random.h; ++z)
    for (int x = 0; x < random.w; ++x)
      if (columnKindAt(room.grid, x, z) >= ColumnKind::WhiteLight && columnKindAt(room.grid, x, z) <= ColumnKind::BlueLight) {
        ++lamps;
        ASSERT_TRUE(roomMapPixels(room.grid, x, z) == roomMapPixels(room.grid, -1, 0)) << x << " " << z;
      }
  EXPECT_GT(lamps, 50);
}
