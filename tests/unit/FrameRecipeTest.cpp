// The frame recipe replayed on a recording backend: the calls of whole frames in order, the
// targets they use and exchange, the glass far to near with each cube's extents, alpha and tint,
// the opaque quads against the plan in their walls' colours, and what lies over the picture
// (overlay, outline, screen).
#include "render/FrameRecipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <string>
#include <vector>

#include "app/Scene.h"
#include "render/BlockFaces.h"
#include "render/OverlayLayout.h"
#include "tests/support/MapRooms.h"
#include "tests/support/RecordingBackend.h"
#include "world/CellPick.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

namespace {

using Calls = std::vector<std::string>;

// The standard palette's brick wall and red glass.
const int kBrick = 10, kRedGlass = 6, kWhiteGlass = Palette::kGlass;

// A 9 x 5 x 9 room: floor, walls on x = 0 and z = 0 (brick along a stretch of each), a brick
// pillar, a lamp, and panes of plain, white and red glass at three distances along the view,
// all visible.
void buildRoom(LightGrid& grid, bool withGlass) {
  grid.resize(9, 5, 9);
  grid.setPalette(Palette::standard());
  for (long i = 0; i < grid.cellCount(); ++i) grid.setHidden(i, false);
  fillCells(grid, 0, 8, 0, 0, 0, 8);
  fillCells(grid, 0, 0, 0, 4, 0, 8);
  fillCells(grid, 0, 8, 0, 4, 0, 0);
  const GridCell brick = grid.palette()[kBrick].cell(kBrick);
  for (int y = 1; y < 3; ++y)
    for (int i = 3; i < 6; ++i) grid.setCell(i, y, 0, brick), grid.setCell(0, y, i + 1, brick);
  grid.setCell(3, 1, 3, brick);
  EditedCell(grid, 6, 3, 2).setEmitter(300.0f, 200.0f, 100.0f);
  if (!withGlass) return;
  grid.setCell(2, 1, 5, grid.palette()[kWhiteGlass].cell(kWhiteGlass));
  EditedCell(grid, 2, 2, 5).setTranslucent(0.5f);
  grid.setCell(5, 1, 6, grid.palette()[kRedGlass].cell(kRedGlass));
  EditedCell(grid, 4, 2, 2).setTranslucent(0.7f);
}

// A 640 x 480 frame from `eye` towards `target`; by default from (7.6, 2.2, 7.9) at (2, 1, 2), the
// whole room in view.
FrameInputs view(int debugView = 0, Vec3 eye = Vec3(7.6f, 2.2f, 7.9f), Vec3 target = Vec3(2.0f, 1.0f, 2.0f)) {
  ViewCamera camera(eye, target, Vec3(0, 1, 0));
  camera.update(0.0f);
  const float at[3] = {eye.x, eye.y, eye.z};
  FrameInputs inputs = FrameInputs::make(at, camera.glViewMatrix, 640, 480);
  inputs.debugView = debugView;
  return inputs;
}

Vec3 vec(const float p[3]) { return Vec3(p[0], p[1], p[2]); }

}  // namespace

// The passes in order into the window, the glass over a copy of what lies behind it; the glass
// cubes in the plan's order, far to near, each with its own alpha, tint, faces and reach; the
// opaque quads exactly the planned faces turned to the eye, each run in one wall colour; the
// cells drawn as the status line counts.
TEST(FrameRecipe, PassesRunInOrderTheGlassOverACopyAndTheQuadsAreThePlannedFaces) {
  LightGrid grid;
  buildRoom(grid, true);
  FrameRecipe recipe;
  RecordingBackend backend;
  std::vector<FrameStage> stages;
  const auto seen = [](FrameStage stage, void* into) { static_cast<std::vector<FrameStage>*>(into)->push_back(stage); };
  // The debug view then shows the picture before the glass: the copy the glass went over, made of
  // the whole window.
  recipe.render(view(), grid, {}, backend, seen, &stages);
  EXPECT_EQ(backend.calls, (Calls{"frame", "picture", "opaque", "emitters", "copy", "glass"}));
  const PixelRect panes = backend.copied;
  EXPECT_TRUE(panes.x0 > 0 || panes.y0 > 0 || panes.x1 < 640 || panes.y1 < 480) << "only what the panes may bend";
  recipe.render(view(1), grid, {}, backend);
  EXPECT_EQ(backend.calls, (Calls{"frame", "picture", "opaque", "emitters", "copy", "glass", "behind"}));
  EXPECT_TRUE(backend.copied.x0 == 0 && backend.copied.y0 == 0 && backend.copied.x1 == 640 && backend.copied.y1 == 480);
  EXPECT_EQ(stages, (std::vector<FrameStage>{FrameStage::View, FrameStage::Plan, FrameStage::Opaque,
                                             FrameStage::Emitter, FrameStage::Glass, FrameStage::Present}));

  const FrameInputs inputs = view(1);
  ASSERT_TRUE(backend.cubes.size() == 4u && recipe.glassCells.size() == 4u);
  unsigned quads = 0;
  const auto away = [&](const GlassCube& c) { return (vec(inputs.eye) - vec(c.centre)).length(); };
  for (size_t i = 0; i < backend.cubes.size(); ++i) {  // in the plan's order, far to near
    const GlassCube& cube = backend.cubes[i];
    const GlassCell& cell = recipe.glassCells[i];
    EXPECT_TRUE(cube.centre[0] == cell.x && cube.centre[1] == cell.y && cube.centre[2] == cell.z);
    EXPECT_TRUE(i == 0 || away(cube) <= away(backend.cubes[i - 1])) << "cube " << i << " farther than the one before";
    // Alpha grows with the cell's opacity; only the red pane holds back green and blue.
    EXPECT_EQ(cube.alpha, std::min(1.0f, FrameRecipe::kGlassAlphaPerOpacity *
                                             grid.getCell(cell.x, cell.y, cell.z).opacity));
    const bool red = cell.x == 5 && cell.y == 1 && cell.z == 6;
    EXPECT_EQ(std::vector<float>(cube.tint, cube.tint + 3), (std::vector<float>{1.0f, red ? 0.0f : 1.0f, red ? 0.0f : 1.0f}))
        << "cube " << i;
    EXPECT_EQ(cube.firstQuad, quads) << "cubes follow each other in the vertex data";
    EXPECT_EQ(cube.quadCount, std::bitset<6>(cell.faces).count());
    // Every corner lies on the cube: 0.5 out on the sides a neighbour closes, 0.45 elsewhere.
    for (unsigned v = 4 * cube.firstQuad; v < 4 * (cube.firstQuad + cube.quadCount); ++v)
      for (int axis = 0; axis < 3; ++axis) {
        const float offset = backend.glass[v].position[axis] - cube.centre[axis];
        const unsigned sideBit = offset > 0 ? kBlockFaces[axis == 0 ? 3 : axis == 1 ? 4 : 0].bit
                                            : kBlockFaces[axis == 0 ? 2 : axis == 1 ? 5 : 1].bit;
        const float half = (cell.reach & sideBit) != 0 ? 0.5f : 0.45f;
        EXPECT_NEAR(std::abs(offset), half, 1e-5f) << "cube " << i << " axis " << axis;
      }
    quads += cube.quadCount;
  }
  EXPECT_EQ(backend.glass.size(), 4u * quads);
  EXPECT_NE(std::count_if(recipe.glassCells.begin(), recipe.glassCells.end(),
                          [](const GlassCell& c) { return c.reach != 0u; }), 0) << "the stacked panes' side closed";
  ASSERT_EQ(backend.opaque.size(), 4 * recipe.opaqueRuns.size());
  size_t faces = 0;
  for (const OpaqueBlock& block : recipe.opaqueBlocks) faces += std::bitset<6>(block.faces).count();
  // Each quad faces the eye, and the quads together cover every planned face once (areas add up,
  // less the run's small overlap past its ends).
  double area = 0.0;
  for (size_t q = 0; q < backend.opaque.size(); q += 4) {
    const BlockVertex* v = &backend.opaque[q];
    const Vec3 corner = vec(v[0].position);
    EXPECT_GT((vec(inputs.eye) - corner).dot(vec(v[0].normal)), 0.0f) << "quad " << q / 4;
    const double overlap = 2.0 * FramePlan::kRunOverlap;
    area += ((vec(v[1].position) - corner).length() - overlap) * ((vec(v[3].position) - corner).length() - overlap);
  }
  EXPECT_NEAR(area, static_cast<double>(faces), 1e-3);
  // Each corner of a run's quad carries the run's wall colour (which cubes join: FramePlanTest).
  int brickQuads = 0;
  for (size_t r = 0; r < recipe.opaqueRuns.size(); ++r) {
    brickQuads += recipe.opaqueRuns[r].colour != kPlainWall;
    for (int v = 0; v < 4; ++v) {
      const unsigned char* rgb = backend.opaque[4 * r + v].colour;
      EXPECT_EQ(static_cast<WallColour>(rgb[0] << 16 | rgb[1] << 8 | rgb[2]), recipe.opaqueRuns[r].colour);
    }
  }
  EXPECT_GE(brickQuads, 3) << "the pillar and both brick stretches";
  EXPECT_EQ(backend.emitters.size(), 4 * std::bitset<6>(recipe.emitterCells.at(0).faces).count());
  EXPECT_EQ(recipe.cellsDrawn(),
            static_cast<long>(recipe.opaqueBlocks.size() + recipe.emitterCells.size() + recipe.glassCells.size()));
  // Without glass in view nothing reads a copy: none is made, no glass pass, and the debug view
  // shows the frame itself.
  LightGrid plain;
  buildRoom(plain, false);
  for (const int debugView : {0, 1}) {
    recipe.render(view(debugView), plain, {}, backend);
    EXPECT_EQ(backend.calls, (Calls{"frame", "picture", "opaque", "emitters"}));
  }
  EXPECT_TRUE(backend.breaches.empty()) << backend.breaches.front();
}

TEST(FrameRecipe, TheOutlineShowsTheFacesTurnedToTheEyeAndOfAFloorOrCeilingOnlyTheFaceHit) {
  // Floats of the outline: 24 a face (four edges of two corners).
  const auto faces = [](const int normal[3], const float eye[3]) {
    CellPick pick;
    pick.hit = true;
    pick.cell[0] = 4, pick.cell[1] = 2, pick.cell[2] = 6;
    std::copy(normal, normal + 3, pick.normal);
    std::vector<float> lines;
    FrameRecipe::outlineLines(pick, eye, lines);
    return lines.size() / 24;
  };
  const float h = FrameRecipe::kOutlineHalfSize;
  const int up[3] = {0, 1, 0}, side[3] = {1, 0, 0};
  const float aboveAside[3] = {9, 7, 6}, inTopPlane[3] = {9, 2 + h, 6}, corner[3] = {9, 7, 11};
  EXPECT_EQ(faces(up, aboveAside), 1u) << "a floor shows the face the ray met, not its sides";
  EXPECT_EQ(faces(side, aboveAside), 2u);
  EXPECT_EQ(faces(side, corner), 3u);
  EXPECT_EQ(faces(side, inTopPlane), 1u) << "a face seen edge-on is not outlined";
}

TEST(FrameRecipe, OverlayOutlineAndScreenFollowThePictureAndShowWhatTheSceneHolds) {
  Scene scene;
  RecordingBackend backend;
  buildRoom(*scene.grid, true);
  scene.occlusionMap->resize(9, 9);
  scene.camera.grid = scene.grid.get();
  scene.camera.setView(Vec3(7.6f, 2.2f, 6.7f), Vec3(3.0f, 1.0f, 3.0f), Vec3(0, 1, 0));
  scene.camera.update(0.0);
  scene.attachBackend(&backend);
  EXPECT_EQ(backend.volume[2], 9);
  EXPECT_EQ(backend.uploads, 1) << "a room already built gets its light at once";
  scene.refreshPick();
  ASSERT_TRUE(scene.pick.hit);
  scene.flags.overlayVisible = scene.flags.statusVisible = true;
  scene.occlusionMap->updateVisibility(Scene::kVisibilityRays, scene.camera.eye, scene.camera.target);
  scene.drawFrame();
  const Calls& calls = backend.calls;
  EXPECT_EQ(calls, (Calls{"frame", "picture", "opaque", "emitters", "copy", "glass", "overlay", "lines", "screen"}));

  // The overlay: the visibility marks, row z = 0 along the top edge, placed by OverlayLayout.
  const ColorMap& map = *scene.occlusionMap;
  const OverlayLayout layout(Scene::kWindowWidth, Scene::kWindowHeight, 9, 9);
  EXPECT_TRUE(backend.overlay.left == layout.columnX(0) && backend.overlay.right == layout.columnX(8) + layout.cell);
  EXPECT_TRUE(backend.overlay.top == layout.columnY(0) + layout.cell && backend.overlay.bottom == layout.columnY(8));
  EXPECT_GT(backend.overlay.top, backend.overlay.bottom);
  for (int z = 0; z < 9; ++z)
    for (int x = 0; x < 9; ++x) {
      const unsigned char* p = &backend.overlayRgb[3 * (z * 9 + x)];
      const ColorMap::Pixel& mark = map.markPixel(x, z);
      ASSERT_EQ(ColorMap::Pixel({p[0], p[1], p[2]}), mark) << x << ", " << z;
    }
  // The picture is sent again only when the marks moved.
  const long version = backend.overlay.version;
  scene.drawFrame();
  EXPECT_EQ(backend.overlay.version, version);
  scene.occlusionMap->updateVisibility(Scene::kVisibilityRays, scene.camera.eye, scene.camera.target);
  scene.drawFrame();
  EXPECT_NE(backend.overlay.version, version);
  // A backend sends only the changed pixels over the picture just before; else all or nothing.
  const OverlayImage& now = backend.overlay;
  using Send = OverlayImage::Send;
  EXPECT_EQ(now.sendTo(now.version - 1, 9, 9), Send::Changed);
  EXPECT_EQ(now.sendTo(now.version, 9, 9), Send::Nothing);
  for (const long held : {now.version - 2, now.version + 1})
    EXPECT_EQ(now.sendTo(held, 9, 9), Send::Whole) << held - now.version;
  EXPECT_TRUE(now.sendTo(now.version - 1, 9, 8) == Send::Whole && now.sendTo(now.version, 8, 9) == Send::Whole);

  // The outline: edges of the picked cube's faces turned to the eye, 0.51 from its centre.
  ASSERT_TRUE(!backend.lines.empty() && backend.lines.size() % 6 == 0);
  for (size_t i = 0; i < backend.lines.size(); i += 3) {
    float largest = 0.0f;
    for (int axis = 0; axis < 3; ++axis)
      largest = std::max(largest, std::abs(backend.lines[i + axis] - scene.pick.cell[axis]));
    EXPECT_FLOAT_EQ(largest, FrameRecipe::kOutlineHalfSize);
  }
  EXPECT_EQ(backend.lineGrey, FrameRecipe::kOutlineGrey);

  // The status line names the eye's cell (x, y, z rounded, each axis its own) and the cells drawn.
  std::string status;
  for (const ScreenItem& item : backend.screen)
    if (item.kind == ScreenItem::Kind::Text && item.font == FontId::Status) status += item.text + " ";
  for (const std::string& part : std::vector<std::string>{"eye (8, 2, 7)", "cells " + std::to_string(scene.recipe.cellsDrawn()), "fill wall"})
    EXPECT_NE(status.find(part), std::string::npos) << status;
  EXPECT_TRUE(backend.breaches.empty());
}

TEST(FrameRecipe, TheGlassCopyHoldsWhatThePanesCanBendIntoView) {
  LightGrid grid;
  buildRoom(grid, true);
  FrameRecipe recipe;
  RecordingBackend backend;
  // From the room's corner; from far off (small panes); from just off a pane's face (its
  // corners nearer than the near plane: the whole window); with the copy itself shown (whole).
  const struct { Vec3 eye, target; int debugView; bool whole; } views[] = {
      {Vec3(7.6f, 2.2f, 7.9f), Vec3(2.0f, 1.0f, 2.0f), 0, false},
      {Vec3(40.0f, 12.0f, 44.0f), Vec3(4.0f, 1.0f, 4.0f), 0, false},
      {Vec3(2.0f, 1.1f, 5.52f), Vec3(2.0f, 1.0f, 0.0f), 0, true},
      {Vec3(7.6f, 2.2f, 7.9f), Vec3(2.0f, 1.0f, 2.0f), 1, true}};
  for (const auto& v : views) {
    const FrameInputs in = view(v.debugView, v.eye, v.target);
    recipe.render(in, grid, {}, backend);
    ASSERT_FALSE(backend.glass.empty());
    const PixelRect& a = backend.copied;
    const int lo[2] = {a.x0, a.y0}, hi[2] = {a.x1, a.y1}, size[2] = {640, 480};
    EXPECT_EQ(a.x0 == 0 && a.y0 == 0 && a.x1 == 640 && a.y1 == 480, v.whole) << v.eye.x;
    for (const BlockVertex& corner : backend.glass) {
      float clip[4] = {0, 0, 0, 0};
      for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
          float eyeSpace = in.view[12 + c];
          for (int k = 0; k < 3; ++k) eyeSpace += in.view[4 * k + c] * corner.position[k];
          clip[r] += in.projection[4 * c + r] * eyeSpace;
        }
      if (clip[3] <= 0.0f) continue;
      // The lookup a fragment here may make, kRefractionReach of the window away, is copied.
      for (int axis = 0; axis < 2; ++axis) {
        const float pixel = (clip[axis] / clip[3] + 1.0f) * 0.5f * size[axis];
        const float reach = FrameRecipe::kRefractionReach * size[axis];
        EXPECT_TRUE(lo[axis] == 0 || pixel - reach >= lo[axis]) << v.eye.x << " axis " << axis;
        EXPECT_TRUE(hi[axis] == size[axis] || pixel + reach <= hi[axis]) << v.eye.x << " axis " << axis;
      }
    }
  }
}
