// Building the room from map pixels (z = 0 first): the column rules, floor and ceiling, lights,
// markers and the start view, the wandering light, the base raster and the state the build
// leaves; every room height from 3 to 64 against the default one (its step: LightGridStepTest.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "app/Scene.h"
#include "platform/FileReader.h"
#include "tests/support/MapRooms.h"
#include "tests/support/RecordingBackend.h"
#include "tests/unit/TestImages.h"
#include "world/CellFromColour.h"

namespace {

struct Rgb {
  unsigned char r, g, b;
};
const Rgb kBlack{0, 0, 0}, kGrey{128, 128, 128}, kBlue{0, 0, 255}, kMagenta{255, 0, 255},
    kLime{120, 255, 0}, kGreen{0, 255, 0}, kRed{255, 0, 0}, kNearBlack{1, 0, 0};

// A room built from a w x h map of white but for the `put` pixels (index z * w + x).
struct Room : BuiltRoom {
  Room(int w, int h, int layers, std::initializer_list<std::pair<int, Rgb>> put = {}) : BuiltRoom(white(w, h, put), layers) {}
  static MapPixels white(int w, int h, std::initializer_list<std::pair<int, Rgb>> put) {
    MapPixels m{std::vector<unsigned char>(static_cast<size_t>(w) * h * 3, 255), w, h};
    for (const auto& p : put)
      m.rgb[3 * p.first] = p.second.r, m.rgb[3 * p.first + 1] = p.second.g, m.rgb[3 * p.first + 2] = p.second.b;
    return m;
  }
  GridCell cell(int x, int y, int z) const { return grid.getCell(x, y, z); }
};

bool isSolid(const GridCell& c) { return c.opacity == 1.0f && !c.emitter && !c.greenMarker && !c.redMarker; }
bool isEmpty(const GridCell& c) { return c.opacity == 0.0f && !c.emitter && !c.greenMarker && !c.redMarker; }
void expectEmitter(const GridCell& c, float r, float g, float b) {
  EXPECT_TRUE(c.emitter && c.opacity == 0.0f && c.emission[0] == r && c.emission[1] == g && c.emission[2] == b) << r << " " << g << " " << b;
}

}  // namespace

TEST(WorldBuilder, WallGlassLightAndNearMissColumnsBetweenFloorAndCeiling) {
  Room room(6, 1, 6, {{0, kBlack}, {1, kGrey}, {2, kBlue}, {3, kMagenta}, {4, kLime}, {5, kNearBlack}});
  for (int y = 0; y < 6; ++y) EXPECT_TRUE(isSolid(room.cell(0, y, 0))) << y;
  for (int y = 1; y <= 4; ++y) EXPECT_EQ(room.cell(1, y, 0).opacity, 0.5f) << y;
  expectEmitter(room.cell(2, 5, 0), 350, 350, 150);
  expectEmitter(room.cell(3, 5, 0), 350, 350, 0);
  expectEmitter(room.cell(4, 5, 0), 0, 0, 350);
  EXPECT_TRUE(isSolid(room.cell(5, 5, 0)));
  for (int x = 0; x <= 5; ++x) {
    EXPECT_TRUE(isSolid(room.cell(x, 0, 0))) << x;
    for (int y = 1; y <= 4 && x > 1; ++y) EXPECT_TRUE(isEmpty(room.cell(x, y, 0))) << x << "," << y;
  }
  EXPECT_FALSE(room.start.found);
  // Every cell starts unlit and visible, the other generation gone.
  for (long i = 0; i < 6L * 6; ++i) EXPECT_TRUE(!room.grid.hiddenAt(i) && room.grid.lightAt(i, 0) == 0.0f) << i;
  EXPECT_EQ(room.grid.next, nullptr);
}

TEST(WorldBuilder, MarkersLightFloorAndCeilingAndTheLastOneVisitedIsTheStartView) {
  Room room(6, 9, 6, {{7 * 6 + 4, kGreen}});  // column (4, 7)
  expectEmitter(room.cell(4, 0, 7), 0, 300, 0);
  expectEmitter(room.cell(4, 5, 7), 0, 300, 0);
  EXPECT_TRUE(!room.cell(4, 0, 7).greenMarker && isEmpty(room.cell(4, 2, 7)) && room.start.found);
  EXPECT_TRUE(room.start.eye == Vec3(4, 2, 7) && room.start.target == Vec3(0, 0, 1) && room.start.up == Vec3(0, 1, 0));
  // Red at (5, 1) comes after green at (1, 1) in the same row; green at (0, 2) comes later.
  const Room first(8, 4, 6, {{1 * 8 + 1, kGreen}, {1 * 8 + 5, kRed}});
  expectEmitter(first.cell(5, 5, 1), 300, 0, 0);
  EXPECT_EQ(first.start.eye, Vec3(5, 2, 1));
  EXPECT_EQ(Room(8, 4, 6, {{2 * 8 + 0, kGreen}, {1 * 8 + 5, kRed}}).start.eye, Vec3(0, 2, 2));
  // Without a marker: the open column nearest the centre, looking towards z = 0; the first of
  // those equally near ((2, 2) and (3, 1) are as near, later). Glass and walls are not open.
  Room centre(5, 3, 6, {{1 * 5 + 2, kGrey}, {1 * 5 + 1, kBlack}, {2 * 5 + 4, kBlue}});
  EXPECT_TRUE(!centre.start.found && centre.start.eye == Vec3(2, 2, 0) && centre.start.target == Vec3(2, 2, -1));
  const Room even(4, 2, 6, {});
  EXPECT_TRUE(even.start.eye == Vec3(1, 2, 0) && even.start.open);
  EXPECT_FALSE(Room(2, 1, 6, {{0, kBlack}, {1, kGrey}}).start.open);
  // The wandering light is written after the columns: into its cell even in a wall.
  Room walled(8, 5, 6, {{3 * 8 + 6, kBlack}});
  expectEmitter(walled.cell(6, 3, 3), 1520, 0, 0);
  EXPECT_TRUE(walled.grid.lightX == 6 && isSolid(walled.cell(6, 2, 3)));
}

// Each height keeps the default room's columns: its floor, its ceiling and every walkable layer
// as the default room's second layer; a wall in the raster where the pixel's cell is opaque but
// for a wall column the wandering light starts in; the light and the eye in the same open column
// at the layer the height allows; and a grid built before at another height leaves nothing behind.
TEST(WorldBuilder, EveryRoomHeightFrom3To64IsTheDefaultRoomStretchedOrSquashed) {
  const MapPixels maps[] = {
      shippedMap(),
      // Every kind in a row, a red start beyond them; the wandering light's column (6, 3) open.
      legendMap({"#########", "#.#gWYBS#", "#.......#", "#..R....#", "#########"}),
      // No marker (the start near the centre, facing z = 0); the light's column a wall.
      legendMap({"........", ".g.W....", "........", "......#."}),
      // No marker, and the wall with the light at the centre: the start beside it.
      legendMap({"..............", "..............", "..............", "......#.......",
                 "..............", "..............", ".............."}),
      // Too narrow for the light's column: it stays off the grid.
      legendMap({"...", ".W."})};
  for (const MapPixels& m : maps) {
    const BuiltRoom ref(m);
    LightGrid reused;
    ColorMap reusedMap;
    for (int layers = CommandLine::kMinHeight; layers <= CommandLine::kMaxHeight; ++layers) {
      SCOPED_TRACE(std::to_string(m.w) + " x " + std::to_string(m.h) + ", " + std::to_string(layers) + " layers");
      BuiltRoom room(m, layers);
      LightGrid& g = room.grid;
      const int top = layers - 1;
      ASSERT_TRUE(g.sizeX == m.w && g.sizeY == layers && g.sizeZ == m.h && room.map.width == m.w && room.map.height == m.h);
      // The wandering light: its usual cell, or the top open layer of a room too low for it.
      const int lightY = std::min(3, layers - 2);
      EXPECT_TRUE(g.lightX == 6 && g.lightY == lightY && g.lightZ == 3);
      const bool lightOn = g.inside(6, lightY, 3);
      int lights = 0;
      for (int z = 0; z < m.h; ++z)
        for (int x = 0; x < m.w; ++x) {
          // In a room of three the light fills its column's one walkable layer: it reads open.
          const ColumnKind kind = columnKindAt(ref.grid, x, z);
          const bool filled = layers == 3 && x == 6 && z == 3 && (kind == ColumnKind::Wall || kind == ColumnKind::Glass);
          EXPECT_EQ(columnKindAt(g, x, z), filled ? ColumnKind::Air : kind) << x << "," << z;
          const unsigned char* p = &m.rgb[3 * (static_cast<size_t>(z) * m.w + x)];
          const bool wall = cellFromColour(p[0], p[1], p[2]).isOpaque() && !(x == 6 && z == 3 && lightOn);
          EXPECT_EQ(room.map.basePixel(x, z), wall ? ColorMap::kWall : ColorMap::kOpen) << x << "," << z;
          for (int y = 0; y < layers; ++y) {
            const GridCell c = g.getCell(x, y, z);
            lights += c.emitter && c.emission[0] == 1520.0f;
            if (x == 6 && y == lightY && z == 3) continue;
            const int refY = y == 0 ? 0 : y == top ? kRoomHeight - 1 : 2;
            ASSERT_TRUE(sameCell(c, ref.grid.getCell(x, refY, z))) << x << "," << y << "," << z;
          }
        }
      EXPECT_EQ(lights, lightOn ? 1 : 0);
      if (lightOn) expectEmitter(g.getCell(6, lightY, 3), 1520, 0, 0);
      // The eye in the default room's start column (its kind kept above), two above the floor or
      // in the top open layer; looking at the fixed point, or along -z from a centre start.
      const StartView& s = room.start;
      EXPECT_TRUE(s.found == ref.start.found && s.open == ref.start.open);
      EXPECT_EQ(s.eye, Vec3(ref.start.eye.x, std::min(2, layers - 2), ref.start.eye.z));
      EXPECT_TRUE(s.target == (s.found ? Vec3(0, 0, 1) : s.eye + Vec3(0, 0, -1)) && s.up == Vec3(0, 1, 0));
      // One grid built at every height in turn ends as a fresh one of the last height.
      testing::internal::CaptureStdout();
      EXPECT_EQ(buildRoom(m.rgb.data(), m.w, m.h, layers, reused, reusedMap).eye, s.eye);
      testing::internal::GetCapturedStdout();
      EXPECT_TRUE(reused.sizeY == layers && reused.lightX == g.lightX && reused.lightY == g.lightY && reused.lightZ == g.lightZ);
      EXPECT_EQ(firstDifference(BuiltRoom::cellsOf(reused), room.cells()), -1);
    }
  }
}

// Every map the program refuses gets one line, the same whether the map comes as a file (the
// desktop) or as the bytes of a file dropped on the page, and the room in use stays.
TEST(WorldBuilder, EveryRefusedMapGivesTheSameOneLineFromItsFileAndFromItsBytes) {
  startImageLibrary();
  // One refusal each of the header check, the decoder and the builder (the header's own test has the rest).
  const std::pair<std::string, const char*> cases[] = {
      {"", "the file is empty"},
      {png::signature() + png::ihdr(1025, 1, 8, 2), "it is 1025 x 1 pixels; a map is 1 to 1024 pixels on each side"},
      {std::string("\xff\xd8\xff\xe0\0\x10JFIF\0", 11) + std::string(40, '\x7f'), "its JPEG markers are damaged"},
      {png::rgb8(4, 3, std::vector<unsigned char>(3 * 4 * 3, 0)), "it has no open column to stand in"}};
  for (const auto& c : cases) {
    Scene scene;
    std::string fromFile, fromBytes;
    const std::string path = testing::TempDir() + "quillmarsh-refused.png";
    std::ofstream(path, std::ios::binary) << c.first;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(scene.loadRoom(QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png", 6, fromFile));
    const bool loaded = scene.loadRoom(path.c_str(), 6, fromFile) ||
                        scene.loadRoom(path, reinterpret_cast<const unsigned char*>(c.first.data()), c.first.size(), 6, fromBytes);
    testing::internal::GetCapturedStdout();
    std::remove(path.c_str());
    EXPECT_FALSE(loaded) << c.second;
    EXPECT_EQ(fromFile, "quillmarsh: cannot use map \"" + path + "\": " + c.second);
    EXPECT_EQ(fromBytes, fromFile);
    EXPECT_EQ(scene.grid->sizeX, 60) << "the shipped room stays";
  }
  // A room read while a backend draws must fit its light volume, to the cell on each axis.
  const std::string shipped = QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png";
  std::string bytes, readError;
  ASSERT_TRUE(FileReader::read(shipped.c_str(), 1 << 20, "a map", bytes, readError)) << readError;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (int axis = 0; axis < 3; ++axis) {
    Scene scene;
    RecordingBackend backend;
    std::string fromFile, fromBytes, fitting;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(scene.loadRoom(shipped.c_str(), 5, fromFile));
    scene.attachBackend(&backend);
    int room[3] = {60, 6, 40};
    std::copy(room, room + 3, backend.largest);
    --backend.largest[axis];
    const bool loaded = scene.loadRoom(shipped.c_str(), 6, fromFile) ||
                        scene.loadRoom("dropped.png", data, bytes.size(), 6, fromBytes);
    const int kept = scene.grid->sizeY;
    ++backend.largest[axis];
    const bool fits = scene.loadRoom("dropped.png", data, bytes.size(), 6, fitting);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(loaded) << axis;
    EXPECT_EQ(kept, 5) << "the room in use stays";
    --room[axis];
    const std::string cause = "its room of 60 x 6 x 40 cells is larger than the light volume this GL draws (" +
                              std::to_string(room[0]) + " x " + std::to_string(room[1]) + " x " +
                              std::to_string(room[2]) + " cells at most)";
    EXPECT_EQ(fromFile, "quillmarsh: cannot use map \"" + shipped + "\": " + cause);
    EXPECT_EQ(fromBytes, "quillmarsh: cannot use map \"dropped.png\": " + cause);
    EXPECT_TRUE(fits) << fitting;
    EXPECT_EQ(backend.volume[1], 6) << "the room that fits has its light volume";
  }
}
