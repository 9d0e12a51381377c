// The scene's GL edge: render set-up, resizing and the light volume, both light upload paths read
// back, the three passes (depth between them, emitter colour, target exchange, the GL baseline
// after every stage) and drawBlock's vertices through GL feedback; screenshot names.
#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>

#include "GlTestSupport.h"
#include "SceneTestSetUp.h"
#include "Utils/RenderTarget.h"
#include "app/Screenshot.h"
#include "Utils/ShaderProgram.h"
#include "render/BlockFaces.h"
#include "render/FramePlan.h"
#include "render/GlBaseline.h"

using namespace scenetest;

namespace {

// Window pixel (x, y) of a world point under the current matrices and viewport.
std::array<int, 2> pixelOf(float x, float y, float z) {
  GLdouble proj[16], modl[16], wx, wy, wz;
  GLint viewport[4];
  glGetDoublev(GL_PROJECTION_MATRIX, proj);
  glGetDoublev(GL_MODELVIEW_MATRIX, modl);
  glGetIntegerv(GL_VIEWPORT, viewport);
  gluProject(x, y, z, modl, proj, viewport, &wx, &wy, &wz);
  return {static_cast<int>(wx), static_cast<int>(wy)};
}

std::array<int, 3> at(const std::vector<unsigned char>& rgb, std::array<int, 2> p) {
  const unsigned char* c = &rgb[(static_cast<size_t>(p[1]) * Scene::kWindowWidth + p[0]) * 3];
  return {c[0], c[1], c[2]};
}

// Runs `draw` in feedback mode and returns its primitives, each a list of vertices of
// `floatsPerVertex` values (x, y, z first). A point is a primitive of one vertex.
using Primitive = std::vector<std::vector<float>>;
std::vector<Primitive> feedback(GLenum type, int floatsPerVertex, void (*draw)()) {
  std::vector<GLfloat> buffer(1 << 16);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), type, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint used = glRenderMode(GL_RENDER);
  std::vector<Primitive> primitives;
  for (GLint i = 0; i < used;) {
    const GLint token = static_cast<GLint>(buffer[i++]);
    const GLint count = token == GL_POLYGON_TOKEN ? static_cast<GLint>(buffer[i++]) : 1;
    primitives.emplace_back();
    for (GLint v = 0; v < count; ++v, i += floatsPerVertex)
      primitives.back().emplace_back(&buffer[i], &buffer[i] + floatsPerVertex);
  }
  return primitives;
}

}  // namespace

TEST(SceneSetUp, RenderResourcesAndAnEmptyLightVolume) {
  const std::string& output = prepareScene();
  // Each field was set to another value just before the set-up.
  EXPECT_EQ(scene.render.frontTarget, 0);
  EXPECT_EQ(scene.render.backTarget, 1);
  EXPECT_TRUE(scene.render.cpuLightUpload);
  EXPECT_EQ(scene.stepAccumulator, 0.0);
  const std::string targets = "creating frame and renderbuffer\ncreating FBO \ncreating FBO \n";
  EXPECT_EQ(output.substr(output.size() - std::min(output.size(), targets.size())), targets);
  ShaderProgram* programs[] = {scene.render.blockFragment,   scene.render.blockVertex,    scene.render.glassFragment,
                               scene.render.glassVertex,     scene.render.combineFragment, scene.render.combineVertex,
                               scene.render.setDepthFragment};
  for (ShaderProgram* p : programs) EXPECT_TRUE(p != nullptr && cgIsProgram(p->program));
  EXPECT_EQ(std::set<ShaderProgram*>(std::begin(programs), std::end(programs)).size(), 7u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(gltest::texLevel(GL_TEXTURE_2D, scene.render.colorTargets[i]->texture, GL_TEXTURE_WIDTH),
              Scene::kWindowWidth);
    EXPECT_EQ(scene.render.colorTargets[i]->attachment, GLenum(GL_COLOR_ATTACHMENT0_EXT + i));
  }
  // Each side of a resize alone reaches both targets.
  for (const auto& size : {std::array<int, 2>{640, 800}, {640, 500}, {1024, 500}, {1024, 800}}) {
    scene.resizeTargets(size[0], size[1]);
    for (const RenderTarget* t : scene.render.colorTargets) {
      EXPECT_EQ(gltest::texLevel(GL_TEXTURE_2D, t->texture, GL_TEXTURE_WIDTH), size[0]);
      EXPECT_EQ(gltest::texLevel(GL_TEXTURE_2D, t->texture, GL_TEXTURE_HEIGHT), size[1]);
    }
  }

  EditedCell(newGrid(60, 6, 40), 0L).setLight(5, 0, 0);  // not in the volume before the first upload
  EXPECT_EQ(gltest::texLevel(GL_TEXTURE_3D, scene.render.lightVolumeTex, GL_TEXTURE_DEPTH), 40);
  const std::vector<float> texels = readVolume();
  EXPECT_EQ(std::count(texels.begin(), texels.end(), 0.0f), 60 * 6 * 40 * 3);
  EXPECT_NO_GL_ERROR();
}

TEST(SceneLightUpload, BothPathsStoreCompressedLightInEveryTexelAtTheTexelCentres) {
  LightGrid& g = newGrid(11, 6, 9);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> spread(0.0f, 4.0f);
  for (long i = 0; i < 11L * 6 * 9; ++i)
    for (float& c : EditedCell(g, i).light) c = spread(random);
  {
    EditedCell brightest(g, 10, 5, 8);
    brightest.light[0] = FLT_MAX;
  }
  for (bool cpu : {true, false}) {
    scene.render.cpuLightUpload = cpu;
    GlBaseline::apply(Scene::kWindowWidth, Scene::kWindowHeight);
    glTranslatef(1, 2, 3);
    const auto matrices = gltest::matrix(GL_PROJECTION_MATRIX), modelView = gltest::matrix(GL_MODELVIEW_MATRIX);
    scene.uploadLightVolume();
    EXPECT_EQ(offBaseline(), "") << (cpu ? "cpu" : "slices");
    EXPECT_TRUE(gltest::matrix(GL_PROJECTION_MATRIX) == matrices && gltest::matrix(GL_MODELVIEW_MATRIX) == modelView);
    const std::vector<float> texels = readVolume();
    for (long i = 0; i < 11L * 6 * 9 * 3; ++i) {
      const double c = g.lightAt(i / 3, i % 3);
      ASSERT_NEAR(texels[i], c / (c + 1.0), 1.0 / 255 + 1e-6) << (cpu ? "cpu " : "slice ") << i;
    }
  }
  // Each slice point goes to its texel's centre, so no rounding can move it to a neighbour.
  newGrid(4, 6, 3);
  const auto points = feedback(GL_3D, 3, [] { scene.uploadLightVolume(); });
  ASSERT_EQ(points.size(), 72u);
  for (size_t i = 0; i < points.size(); ++i) {
    EXPECT_FLOAT_EQ(points[i][0][0], (i % 4) + 0.5f) << i;
    EXPECT_FLOAT_EQ(points[i][0][1], (i / 4 % 6) + 0.5f) << i;
  }
}

TEST(SceneFrame, PassesKeepDepthBetweenThemColourEmittersExchangeTargetsAndKeepTheBaseline) {
  LightGrid& g = newGrid(7, 4, 9);
  cell(3, 1, 3).setSolid();
  cell(3, 1, 1).setTranslucent(0.5f);  // behind the block: fails the depth test
  cell(1, 1, 5).setTranslucent(0.5f);  // in the open
  cell(5, 1, 4).setEmitter(350.0f, 350.0f, 150.0f);
  for (long i = 0; i < 7L * 4 * 9; ++i)
    for (float& c : EditedCell(g, i).light) c = 0.5f;
  scene.uploadLightVolume();
  look(Vec3(3.0f, 1.2f, 8.5f), Vec3(3.0f, 1.0f, 0.0f));
  // Every stage, the status line and the overlay among them, ends at the baseline.
  statusVisible = overlayVisible = true;
  EXPECT_EQ(render(), "");
  statusVisible = overlayVisible = false;
  EXPECT_EQ(scene.render.frontTarget, 1) << "the targets exchange roles";
  const auto withGlass = readTarget(scene.render.frontTarget), without = readTarget(scene.render.backTarget);
  EXPECT_EQ(at(withGlass, pixelOf(3.0f, 1.0f, 3.5f)), at(without, pixelOf(3.0f, 1.0f, 3.5f)));
  EXPECT_NE(at(withGlass, pixelOf(1.0f, 1.0f, 5.0f)), at(without, pixelOf(1.0f, 1.0f, 5.0f)));
  float colour[4];
  FramePlan::emitterColour(cell(5, 1, 4), g.strength, colour);
  const auto emitter = at(without, pixelOf(5.0f, 1.0f, 4.6f));
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(emitter[c], colour[c] * 255.0f, 1.0f) << c;
  EXPECT_NO_GL_ERROR();
}

TEST(SceneFrame, AClosedRoomOfRunsOfEveryLengthShowsNoGapFromAnyView) {
  // Walls, floor and ceiling closed, solid cells strewn at random: faces join into runs of
  // many lengths, whose corners fall on each other's edges. From inside, every pixel lies on a
  // face: a pixel still holding the clear alpha is a gap between them.
  const int side = 16, height = 5;
  newGrid(side, height, side);
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> pick(0, 99);
  for (int z = 0; z < side; ++z)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < side; ++x) {
        if (x % (side - 1) == 0 || z % (side - 1) == 0 || y % (height - 1) == 0 || pick(rng) < 12)
          cell(x, y, z).setSolid();
      }
  scene.uploadLightVolume();
  std::uniform_real_distribution<float> across(1.0f, side - 2.0f), up(0.7f, height - 1.7f),
      turn(0.0f, 6.2832f), tilt(-0.6f, 0.6f);
  std::vector<unsigned char> alpha(static_cast<size_t>(Scene::kWindowWidth) * Scene::kWindowHeight);
  long gaps = 0;
  int views = 0;
  while (views < 24) {
    const Vec3 eye(across(rng), up(rng), across(rng));
    if (cell(static_cast<int>(std::lround(eye.x)), static_cast<int>(std::lround(eye.y)),
             static_cast<int>(std::lround(eye.z))).opacity > 0.0f)
      continue;
    const float a = turn(rng);
    look(eye, Vec3(eye.x + std::cos(a), eye.y + tilt(rng), eye.z + std::sin(a)));
    render();
    ++views;
    glBindTexture(GL_TEXTURE_2D, scene.render.colorTargets[scene.render.frontTarget]->texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, alpha.data());
    gaps += std::count_if(alpha.begin(), alpha.end(), [](unsigned char a) { return a < 128; });
  }
  EXPECT_EQ(gaps, 0) << "pixels showing the clear colour through the room's faces";
}

TEST(SceneFrame, DrawBlockSendsTheFaceTableAtTheGivenHalfEdge) {
  // An orthographic view that maps world x, y in [0, 8] onto the 800-pixel-square viewport.
  glViewport(0, 0, 800, 800);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 8, 0, 8, -8, 8);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const auto polygons = feedback(GL_3D_COLOR_TEXTURE, 11, [] { scene.drawBlock(3, 1, 2, 0.45f); });
  // The driver may split each quad; every vertex must be a corner of the face its piece lies on
  // (the one whose plane holds all its vertices), with that corner's texture coordinates.
  std::set<std::pair<int, int>> sent;  // (face, corner)
  const auto world = [](const std::vector<float>& v, int axis) {
    return axis == 0 ? v[0] / 100.0f : axis == 1 ? v[1] / 100.0f : (0.5f - v[2]) * 16.0f;
  };
  const float centre[3] = {3, 1, 2};
  const auto near = [](float a, float b) { return std::fabs(a - b) < 1e-3f; };
  for (const Primitive& polygon : polygons)
    for (int f = 0; f < 6; ++f) {
      const BlockFace& face = kBlockFaces[f];
      const int axis = face.normal[0] != 0 ? 0 : face.normal[1] != 0 ? 1 : 2;
      bool onFace = true;
      for (const auto& v : polygon)
        onFace &= near(world(v, axis), centre[axis] + 0.45f * face.normal[axis]);
      if (!onFace) continue;
      for (const auto& v : polygon)
        for (int corner = 0; corner < 4; ++corner) {
          bool match = true;
          for (int a = 0; a < 3; ++a) match &= near(world(v, a), centre[a] + 0.45f * face.corners[corner][a]);
          if (!match) continue;
          sent.insert({f, corner});
          EXPECT_EQ(v[7], face.texCoords[corner][0]) << f << corner;
          EXPECT_EQ(v[8], face.texCoords[corner][1]) << f << corner;
        }
    }
  EXPECT_EQ(sent.size(), 24u);
}

TEST(Screenshot, TakesTheFirstFreeNameInAFolderNewOrOldAndOverwritesNothing) {
  const std::string folder = ::testing::TempDir() + "qm-shots";
  ASSERT_EQ(std::system(("rm -rf " + folder).c_str()), 0);
  EXPECT_EQ(reserveScreenshotPath(folder), folder + "/quillmarsh-001.png");  // makes the folder
  std::ofstream(folder + "/quillmarsh-002.png") << "kept";
  EXPECT_EQ(reserveScreenshotPath(folder), folder + "/quillmarsh-003.png");  // the folder exists
  std::string kept;
  std::ifstream(folder + "/quillmarsh-002.png") >> kept;
  EXPECT_EQ(kept, "kept");
  EXPECT_EQ(reserveScreenshotPath(folder + "/quillmarsh-002.png"), "");  // a file, not a folder
}
