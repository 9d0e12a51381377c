// The desktop backend under a Scene (made once per binary from media/ in the working directory,
// the window Scene::kWindowWidth x Scene::kWindowHeight): its set-up and the light volume, both
// light upload paths read back, the frame's passes (depth between them, wall and glass colour,
// the GL baseline after every stage, the copy behind the glass), faces that meet without gaps,
// a fixed room against tests/gl/reference/frame_reference.png (within 3 levels a channel on all
// but 0.1 % of the pixels; a mismatch writes frame_actual.png with the pixels over it red; after
// an intended change, look at it and rewrite the reference with QUILLMARSH_UPDATE_REFERENCE=1
// ctest -R gl_scene).
#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "GlTestSupport.h"
#include "Utils/RenderTarget.h"
#include "app/RoomMapFile.h"
#include "app/Scene.h"
#include "desktop/GlBackend.h"
#include "desktop/GlBaseline.h"
#include "platform/image/Image.h"
#include "tests/support/MapRooms.h"
#include "world/ColorMap.h"

namespace {

// The scene and the backend it draws with, for the test binary's life.
struct Rig {
  Rig() {
    OutputCapture quiet(1);  // the targets' lines: the end-to-end run checks them
    backend = std::make_unique<GlBackend>(Scene::kWindowWidth, Scene::kWindowHeight);
    scene.attachBackend(backend.get());
  }
  Scene scene;
  std::unique_ptr<GlBackend> backend;
};

Rig& rig() {
  static Rig made;
  return made;
}

Scene& scene() { return rig().scene; }
GlBackend& backend() { return *rig().backend; }

// A fresh grid of empty, visible air cells at strength 0 with a visibility map of its columns,
// and a new light volume.
LightGrid& newGrid(int sx, int sy, int sz) {
  Scene& s = scene();
  s.grid = std::make_unique<LightGrid>();
  s.grid->resize(sx, sy, sz);
  s.occlusionMap = std::make_unique<ColorMap>();
  s.occlusionMap->resize(sx, sz);
  s.camera.grid = s.grid.get();
  backend().createLightVolume(sx, sy, sz);
  return *s.grid;
}

EditedCell cell(int x, int y, int z) { return EditedCell(*scene().grid, x, y, z); }

constexpr long kPixels = Scene::kWindowWidth * Scene::kWindowHeight;

// A texture's level 0 as `count` values, rows tightly packed, x fastest and the bottom row first.
template <class T>
std::vector<T> readTexture(GLenum target, GLuint texture, GLenum format, GLenum type, size_t count) {
  std::vector<T> values(count);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindTexture(target, texture);
  glGetTexImage(target, 0, format, type, values.data());
  glBindTexture(target, 0);
  return values;
}

// The copy the glass read, as 8-bit RGB.
std::vector<unsigned char> readBehind() {
  return readTexture<unsigned char>(GL_TEXTURE_2D, backend().behindTarget().texture, GL_RGB, GL_UNSIGNED_BYTE, kPixels * 3);
}

// The copy the glass reads, every texel a colour no pass draws (pure magenta), so a texel the copy
// missed shows.
void clearBehind() {
  std::vector<unsigned char> magenta(kPixels * 4);
  for (long p = 0; p < kPixels; ++p) magenta[p * 4] = magenta[p * 4 + 2] = magenta[p * 4 + 3] = 255;
  glBindTexture(GL_TEXTURE_2D, backend().behindTarget().texture);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, Scene::kWindowWidth, Scene::kWindowHeight, GL_RGBA, GL_UNSIGNED_BYTE,
                  magenta.data());
  glBindTexture(GL_TEXTURE_2D, 0);
}

// The window as 8-bit RGB, rows from the bottom; the pack alignment as it was after.
std::vector<unsigned char> readWindow() {
  std::vector<unsigned char> rgb(kPixels * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, Scene::kWindowWidth, Scene::kWindowHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return rgb;
}

// The camera looking from `eye` at `target` in a window of its start-up size, the cell it looks at
// picked.
void look(const Vec3& eye, const Vec3& target) {
  Scene& s = scene();
  s.camera.setView(eye, target, Vec3(0.0f, 1.0f, 0.0f));
  s.camera.ViewCamera::update(0.0f);
  s.resize(Scene::kWindowWidth, Scene::kWindowHeight);
  s.refreshPick();
}

std::string offBaseline() { return GlBaseline::differences(Scene::kWindowWidth, Scene::kWindowHeight); }

// The window as the passes of the last render() left it, before the crosshair, the outline and
// the rest drawn over the picture.
std::vector<unsigned char> picture;

// One frame of Scene::drawFrame; what differed from the GL baseline after each stage ("opaque:
// blend; "), empty when nothing did.
std::string render() {
  static const char* const names[] = {"view", "plan", "opaque", "emitter", "glass", "present"};
  std::string report;
  const auto check = [](FrameStage stage, void* out) {
    if (stage == FrameStage::Glass) picture = readWindow();
    const std::string off = offBaseline();
    if (!off.empty())
      *static_cast<std::string*>(out) += names[static_cast<int>(stage)] + (": " + off + "; ");
  };
  scene().drawFrame(check, &report);
  return report;
}

// Window pixel (x, y) of a world point as the scene's frame inputs see it.
std::array<int, 2> pixelOf(float x, float y, float z) {
  const FrameInputs inputs = scene().frameInputs();
  GLdouble proj[16], modl[16], wx, wy, wz;
  for (int i = 0; i < 16; ++i) proj[i] = inputs.projection[i], modl[i] = inputs.view[i];
  const GLint viewport[4] = {0, 0, inputs.width, inputs.height};
  gluProject(x, y, z, modl, proj, viewport, &wx, &wy, &wz);
  return {static_cast<int>(wx), static_cast<int>(wy)};
}

std::array<int, 3> at(const std::vector<unsigned char>& rgb, std::array<int, 2> p) {
  const unsigned char* c = &rgb[(static_cast<size_t>(p[1]) * Scene::kWindowWidth + p[0]) * 3];
  return {c[0], c[1], c[2]};
}

constexpr int kChannelTolerance = 3;
constexpr long kPixelBudget = kPixels / 1000;

void buildReferenceRoom() {
  LightGrid& grid = newGrid(10, 5, 10);
  fillCells(grid, 0, 9, 0, 0, 0, 9);  // floor, two walls, a pillar and a block
  fillCells(grid, 0, 9, 0, 3, 0, 0);
  fillCells(grid, 0, 0, 0, 3, 0, 9);
  fillCells(grid, 5, 5, 1, 3, 4, 4);
  cell(2, 1, 3).setSolid();
  cell(7, 3, 2).setEmitter(350.0f, 350.0f, 150.0f);
  cell(3, 1, 6).setTranslucent(0.5f);
  cell(3, 2, 6).setTranslucent(0.5f);
  cell(4, 1, 6).setTranslucent(0.3f);
  grid.strength = 0.25f;
  // Light falling off with the squared distance from two points, not the diffusion's.
  const float lights[2][6] = {{7, 3, 2, 2.0f, 2.0f, 0.8f}, {2, 2, 7, 0.0f, 0.15f, 1.5f}};
  for (long i = 0; i < 10L * 5 * 10; ++i) {
    EditedCell c(grid, i);
    if (c.opacity >= 0.999f) continue;
    for (const auto& l : lights) {
      const float dx = i % 10 - l[0], dy = i / 10 % 5 - l[1], dz = i / 50 - l[2];
      const float fall = 1.0f / (1.0f + 0.6f * (dx * dx + dy * dy + dz * dz));
      for (int k = 0; k < 3; ++k) c.light[k] += l[3 + k] * fall;
    }
  }
  backend().uploadLight(grid, true, {grid.wholeBox()});
  look(Vec3(8.6f, 2.4f, 9.3f), Vec3(3.0f, 1.2f, 2.0f));
}

// Pixels differing by more than the tolerance in some channel; `marked` shows them red.
long differing(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b,
               std::vector<unsigned char>* marked = nullptr) {
  long count = 0;
  for (size_t p = 0; p < a.size() / 3; ++p) {
    int largest = 0;
    for (int c = 0; c < 3; ++c)
      largest = std::max(largest, std::abs(static_cast<int>(a[p * 3 + c]) - b[p * 3 + c]));
    if (largest <= kChannelTolerance) continue;
    ++count;
    if (marked != nullptr) (*marked)[p * 3] = 255, (*marked)[p * 3 + 1] = (*marked)[p * 3 + 2] = 0;
  }
  return count;
}

}  // namespace

TEST(SceneLightUpload, TheSetUpEndsAtTheBaselineANewRoomsVolumeReplacesTheOldAndBothPathsFillEveryTexelBoxByBox) {
  rig();
  EXPECT_EQ(offBaseline(), "") << "the set-up ends at the baseline";
  // A new room's volume replaces the old one, which goes.
  newGrid(60, 6, 40);
  const GLuint old = backend().lightVolumeTexture();
  LightGrid& g = newGrid(11, 6, 9);
  EXPECT_FALSE(glIsTexture(old));
  EXPECT_EQ(gltest::texLevel(GL_TEXTURE_3D, backend().lightVolumeTexture(), GL_TEXTURE_WIDTH), 11);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> spread(0.0f, 4.0f);
  for (long i = 0; i < 11L * 6 * 9; ++i)
    for (float& c : EditedCell(g, i).light) c = spread(random);
  EditedCell(g, 10, 5, 8).setLight(FLT_MAX, 1.0f, 2.0f);  // the brightest texel
  for (bool cpu : {true, false}) {
    GlBaseline::apply(Scene::kWindowWidth, Scene::kWindowHeight);
    glTranslatef(1, 2, 3);
    const auto matrices = gltest::matrix(GL_PROJECTION_MATRIX), modelView = gltest::matrix(GL_MODELVIEW_MATRIX);
    // The CPU path in three boxes that tile the volume unevenly, each read from the whole array.
    const std::vector<TexelBox> boxes{{{0, 0, 0}, {4, 6, 9}}, {{4, 0, 0}, {11, 2, 9}}, {{4, 2, 0}, {11, 6, 9}}};
    backend().uploadLight(g, cpu, boxes);
    EXPECT_EQ(offBaseline(), "") << (cpu ? "cpu" : "slices");
    EXPECT_TRUE(gltest::matrix(GL_PROJECTION_MATRIX) == matrices && gltest::matrix(GL_MODELVIEW_MATRIX) == modelView);
    // (r, g, b) floats a texel, x fastest.
    const auto texels = readTexture<float>(GL_TEXTURE_3D, backend().lightVolumeTexture(), GL_RGB, GL_FLOAT, g.cellCount() * 3);
    for (long i = 0; i < 11L * 6 * 9 * 3; ++i) {
      const double c = g.lightAt(i / 3, i % 3);
      ASSERT_NEAR(texels[i], c / (c + 1.0), 1.0 / 255 + 1e-6) << (cpu ? "cpu " : "slice ") << i;
    }
  }
}

TEST(SceneFrame, TheOverlaySentOnlyWhereItChangedShowsWhatTheWholePictureShows) {
  // Rows of an odd length (no padding), boxes off every edge and one on the corner: each picture
  // sent only where it differs from the one before must show as the same picture sent whole.
  const int w = 37, h = 23, scale = 4;
  std::mt19937 random(11);
  std::vector<unsigned char> rgb(3 * w * h);
  for (unsigned char& c : rgb) c = static_cast<unsigned char>(random());
  const float eye[3] = {0.0f, 0.0f, 0.0f}, identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  backend().beginFrame(FrameInputs::make(eye, identity, Scene::kWindowWidth, Scene::kWindowHeight));
  OverlayImage image;
  image.rgb = rgb.data(), image.width = w, image.height = h;
  image.left = 9.0f, image.bottom = 7.0f, image.right = 9.0f + w * scale, image.top = 7.0f + h * scale;
  image.version = 5000;
  backend().drawOverlay(image);
  const int boxes[3][4] = {{3, 2, 17, 9}, {20, 11, 36, 22}, {0, 0, w, 1}};
  for (const auto& box : boxes) {
    const auto before = readWindow();
    for (int y = box[1]; y < box[3]; ++y)
      for (int x = box[0]; x < box[2]; ++x)
        for (int c = 0; c < 3; ++c) rgb[3 * (y * w + x) + c] ^= 0x80;
    std::copy(box, box + 4, image.changed);
    ++image.version;
    backend().drawOverlay(image);
    const auto sent = readWindow();
    EXPECT_NE(sent, before) << "box from " << box[0] << ", " << box[1];
    image.version += 10;  // not the next version: sent whole
    backend().drawOverlay(image);
    EXPECT_EQ(readWindow(), sent) << "box from " << box[0] << ", " << box[1];
  }
  EXPECT_EQ(offBaseline(), "");
  EXPECT_NO_GL_ERROR();
}

TEST(SceneFrame, PassesKeepDepthBetweenThemColourWallsAndGlassAndKeepTheBaseline) {
  LightGrid& g = newGrid(7, 4, 9);
  // An orange wall and red glass: what the block shows, and what lies behind the pane, lose
  // their blue, and the pane lets no green through.
  Palette palette = Palette::standard();
  Material orange, red;
  orange.kind = Material::Kind::Wall, red.kind = Material::Kind::Glass;
  orange.colour[1] = 128, orange.colour[2] = red.colour[1] = red.colour[2] = 0;
  orange.opacity = 1.0f, red.opacity = 0.5f;
  const int kOrange = palette.size(), kRed = kOrange + 1;
  palette.add(orange);
  palette.add(red);
  g.setPalette(palette);
  g.setCell(3, 1, 3, orange.cell(kOrange));
  cell(3, 1, 1).setTranslucent(0.5f);  // behind the block: fails the depth test
  g.setCell(1, 1, 5, red.cell(kRed));  // in the open
  cell(5, 1, 4).setEmitter(350.0f, 350.0f, 150.0f);
  for (long i = 0; i < 7L * 4 * 9; ++i)
    for (float& c : EditedCell(g, i).light) c = 0.5f;
  backend().uploadLight(g, true, {g.wholeBox()});
  look(Vec3(3.0f, 1.2f, 8.5f), Vec3(3.0f, 1.0f, 0.0f));
  ASSERT_TRUE(scene().pick.hit) << "the outline is drawn too";
  // Every stage, the status line, the key card and the overlay among them, ends at the baseline.
  SceneFlags& flags = scene().flags;
  flags.statusVisible = flags.overlayVisible = true;
  flags.keyCardPage = 0;
  EXPECT_EQ(render(), "");
  flags.statusVisible = flags.overlayVisible = false;
  flags.keyCardPage = -1;
  const auto withGlass = picture, without = readBehind();
  const auto wall = at(without, pixelOf(3.0f, 1.0f, 3.5f));
  EXPECT_EQ(at(withGlass, pixelOf(3.0f, 1.0f, 3.5f)), wall);
  EXPECT_TRUE(wall[2] <= 1 && wall[1] > 0 && wall[1] < wall[0]) << wall[0] << " " << wall[1];  // blue: the faintest level
  const auto pane = at(withGlass, pixelOf(1.0f, 1.0f, 5.0f)), behind = at(without, pixelOf(1.0f, 1.0f, 5.0f));
  EXPECT_TRUE(pane[1] < behind[1] / 4 && pane[2] < behind[2] / 4 && pane[0] > pane[1])
      << pane[0] << " " << pane[1] << " " << pane[2] << " over " << behind[1];
  EXPECT_NO_GL_ERROR();
}

TEST(SceneFrame, TheCopyBehindThePanesHoldsTheWindowsPixelsOverTheGlassArea) {
  // The reference room's panes lie off the window's centre: the area they may read starts away
  // from every edge, so rows or columns that land shifted, flipped or with channels swapped
  // differ from the window somewhere in it. The emitter stage ends with the copy made.
  buildReferenceRoom();
  static std::vector<unsigned char> window;
  window.clear();
  clearBehind();
  scene().drawFrame([](FrameStage stage, void*) { if (stage == FrameStage::Emitter) window = readWindow(); }, nullptr);
  ASSERT_EQ(window.size(), static_cast<size_t>(kPixels) * 3) << "no emitter stage";
  const PixelRect area = FrameRecipe::glassArea(scene().recipe.glassVertices, scene().frameInputs());
  ASSERT_TRUE(area.x0 > 0 && area.y0 > 0 && area.x1 < Scene::kWindowWidth && area.y1 < Scene::kWindowHeight &&
              area.x0 < area.x1 && area.y0 < area.y1)
      << area.x0 << " " << area.y0 << " " << area.x1 << " " << area.y1;
  const std::vector<unsigned char> behind = readBehind();
  long differ = 0, lit = 0;
  for (int y = area.y0; y < area.y1; ++y)
    for (int x = area.x0; x < area.x1; ++x) {
      const auto copied = at(behind, {x, y}), shown = at(window, {x, y});
      differ += copied != shown;
      lit += shown[0] + shown[1] + shown[2] > 30;
    }
  EXPECT_EQ(differ, 0) << "of " << (area.x1 - area.x0) * (area.y1 - area.y0) << " pixels";
  EXPECT_GT(lit, (area.x1 - area.x0) * (area.y1 - area.y0) / 4) << "the copy of a picture too dark to tell";
  EXPECT_NO_GL_ERROR();
}

TEST(SceneFrame, AClosedRoomOfRunsOfEveryLengthShowsNoGapFromAnyView) {
  // Solid cells strewn at random in a closed room: faces join into runs of many lengths whose
  // corners fall on each other's edges. A pixel still holding the clear colour is a gap: nothing
  // drawn is black.
  const int side = 16, height = 5;
  LightGrid& g = newGrid(side, height, side);
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> pick(0, 99);
  for (long i = 0; i < g.cellCount(); ++i) {
    const long x = i % side, y = i / side % height, z = i / side / height;
    if (x % (side - 1) == 0 || z % (side - 1) == 0 || y % (height - 1) == 0 || pick(rng) < 12) EditedCell(g, i).setSolid();
  }
  backend().uploadLight(g, true, {g.wholeBox()});
  std::uniform_real_distribution<float> across(1.0f, side - 2.0f), up(0.7f, height - 1.7f),
      turn(0.0f, 6.2832f), tilt(-0.6f, 0.6f);
  long gaps = 0;
  int views = 0;
  while (views < 24) {
    const Vec3 eye(across(rng), up(rng), across(rng));
    if (cell(int(std::lround(eye.x)), int(std::lround(eye.y)), int(std::lround(eye.z))).opacity > 0.0f) continue;
    const float a = turn(rng);
    look(eye, Vec3(eye.x + std::cos(a), eye.y + tilt(rng), eye.z + std::sin(a)));
    render();
    ++views;
    for (size_t p = 0; p < picture.size(); p += 3) gaps += picture[p] == 0 && picture[p + 1] == 0 && picture[p + 2] == 0;
  }
  EXPECT_EQ(gaps, 0) << "pixels showing the clear colour through the room's faces";
}

TEST(FrameReferenceTest, FixedRoomMatchesTheReferencePictureFrameAfterFrame) {
  buildReferenceRoom();
  render();
  const std::vector<unsigned char> first = picture;
  render();
  std::vector<unsigned char> actual = picture;
  EXPECT_LE(differing(first, actual), kPixelBudget) << "nothing of a frame carries to the next";
  const std::string path = gltest::sourcePath("tests/gl/reference/frame_reference.png");
  const char* update = std::getenv("QUILLMARSH_UPDATE_REFERENCE");
  if (update != nullptr && std::string(update) == "1") {
    ASSERT_TRUE(writeRgbPng(path, actual, Scene::kWindowWidth, Scene::kWindowHeight)) << "could not write " << path;
    return;
  }
  Image reference;
  std::string error;
  ASSERT_TRUE(reference.load(path.c_str(), error, {Scene::kWindowWidth, 16u << 20, "reference"})) << error;
  ASSERT_EQ(reference.pixels.size(), actual.size()) << "not a window-sized picture: " << path;
  const long count = differing(actual, reference.pixels, &actual);
  if (count > kPixelBudget) {
    writeRgbPng("frame_actual.png", actual, Scene::kWindowWidth, Scene::kWindowHeight);
    ADD_FAILURE() << count << " pixels differ by more than " << kChannelTolerance << " levels (budget " << kPixelBudget
                  << "); see frame_actual.png in the test's working folder. If the new picture is intended,"
                  << " rerun with QUILLMARSH_UPDATE_REFERENCE=1.";
  }
}
