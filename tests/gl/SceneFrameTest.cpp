// The desktop backend under a Scene: its set-up, resizing and the light volume, both light upload
// paths read back, the frame's passes (depth between them, emitter colour, target exchange, the
// GL baseline after every stage) and the quads the opaque and glass passes send, through GL
// feedback; screenshot names.
#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <set>

#include "GlTestSupport.h"
#include "SceneTestSetUp.h"
#include "Utils/RenderTarget.h"
#include "Utils/ShaderProgram.h"
#include "desktop/GlBaseline.h"
#include "desktop/Screenshot.h"
#include "render/BlockFaces.h"
#include "render/FramePlan.h"

using namespace scenetest;

namespace {

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

// Runs `draw` in feedback mode and returns its primitives, each a list of vertices of
// `floatsPerVertex` values (x, y, z first). A point is a primitive of one vertex.
using Primitive = std::vector<std::vector<float>>;
std::vector<Primitive> feedback(GLenum type, int floatsPerVertex, const std::function<void()>& draw) {
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

TEST(SceneSetUp, BackendResourcesResizingAndAnEmptyLightVolume) {
  const std::string& output = setUpOutput();
  const std::string targets = "creating frame and renderbuffer\ncreating FBO \ncreating FBO \n";
  EXPECT_EQ(output.substr(output.size() - std::min(output.size(), targets.size())), targets);
  EXPECT_EQ(offBaseline(), "") << "the set-up ends at the baseline";
  const std::vector<const ShaderProgram*> programs = backend().programs();
  for (const ShaderProgram* p : programs) EXPECT_TRUE(p != nullptr && cgIsProgram(p->program));
  EXPECT_EQ(std::set<const ShaderProgram*>(programs.begin(), programs.end()).size(), 7u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(gltest::texLevel(GL_TEXTURE_2D, backend().target(i).texture, GL_TEXTURE_WIDTH),
              Scene::kWindowWidth);
    EXPECT_EQ(backend().target(i).attachment, GLenum(GL_COLOR_ATTACHMENT0_EXT + i));
  }
  // Each side of a resize alone reaches both targets, and the viewport follows the window.
  for (const auto& size : {std::array<int, 2>{640, 800}, {640, 500}, {1024, 500}, {1024, 800}}) {
    scene().resize(size[0], size[1]);
    EXPECT_EQ(GlBaseline::differences(size[0], size[1]), "") << size[0] << " x " << size[1];
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(gltest::texLevel(GL_TEXTURE_2D, backend().target(i).texture, GL_TEXTURE_WIDTH), size[0]);
      EXPECT_EQ(gltest::texLevel(GL_TEXTURE_2D, backend().target(i).texture, GL_TEXTURE_HEIGHT), size[1]);
    }
  }

  EditedCell(newGrid(60, 6, 40), 0L).setLight(5, 0, 0);  // not in the volume before the first upload
  EXPECT_EQ(gltest::texLevel(GL_TEXTURE_3D, backend().lightVolumeTexture(), GL_TEXTURE_DEPTH), 40);
  const std::vector<float> texels = readVolume();
  EXPECT_EQ(std::count(texels.begin(), texels.end(), 0.0f), 60 * 6 * 40 * 3);
  // A new room's volume replaces the old one, which goes.
  const GLuint old = backend().lightVolumeTexture();
  newGrid(5, 4, 3);
  EXPECT_FALSE(glIsTexture(old));
  EXPECT_EQ(gltest::texLevel(GL_TEXTURE_3D, backend().lightVolumeTexture(), GL_TEXTURE_WIDTH), 5);
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
    GlBaseline::apply(Scene::kWindowWidth, Scene::kWindowHeight);
    glTranslatef(1, 2, 3);
    const auto matrices = gltest::matrix(GL_PROJECTION_MATRIX), modelView = gltest::matrix(GL_MODELVIEW_MATRIX);
    backend().uploadLight(g, cpu);
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
  const auto points = feedback(GL_3D, 3, [] { backend().uploadLight(*scene().grid, false); });
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
  backend().uploadLight(g, true);
  look(Vec3(3.0f, 1.2f, 8.5f), Vec3(3.0f, 1.0f, 0.0f));
  ASSERT_TRUE(scene().pick.hit) << "the outline is drawn too";
  // Every stage, the status line, the key card and the overlay among them, ends at the baseline.
  SceneFlags& flags = scene().flags;
  flags.statusVisible = flags.overlayVisible = true;
  flags.keyCardPage = 0;
  const int back = scene().recipe.backTarget;
  EXPECT_EQ(render(), "");
  flags.statusVisible = flags.overlayVisible = false;
  flags.keyCardPage = -1;
  EXPECT_EQ(scene().recipe.frontTarget, back) << "the targets exchange roles";
  const auto withGlass = readTarget(scene().recipe.frontTarget), without = readTarget(scene().recipe.backTarget);
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
  LightGrid& g = newGrid(side, height, side);
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> pick(0, 99);
  for (int z = 0; z < side; ++z)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < side; ++x) {
        if (x % (side - 1) == 0 || z % (side - 1) == 0 || y % (height - 1) == 0 || pick(rng) < 12)
          cell(x, y, z).setSolid();
      }
  backend().uploadLight(g, true);
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
    glBindTexture(GL_TEXTURE_2D, backend().target(scene().recipe.frontTarget).texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, alpha.data());
    gaps += std::count_if(alpha.begin(), alpha.end(), [](unsigned char a) { return a < 128; });
  }
  EXPECT_EQ(gaps, 0) << "pixels showing the clear colour through the room's faces";
}

TEST(SceneFrame, TheOpaqueAndGlassPassesSendEveryCornerTheyAreHandedWithItsTextureCoordinates) {
  // Two glass cubes, one reaching its cell's side on +x, the other without its top face; both
  // passes take such quads (corners in the face table's order) and must send them as they are,
  // the opaque pass each corner's colour too (each quad its own here).
  LightGrid& g = newGrid(8, 4, 8);
  cell(3, 1, 2).setTranslucent(0.5f);
  cell(5, 2, 5).setTranslucent(0.3f);
  std::vector<GlassCell> cells(2);
  cells[0].x = 3, cells[0].y = 1, cells[0].z = 2, cells[0].reach = kBlockFaces[3].bit;
  cells[1].x = 5, cells[1].y = 2, cells[1].z = 5, cells[1].faces = kAllBlockFaces & ~kBlockFaces[4].bit;
  std::vector<BlockVertex> quads;
  std::vector<GlassCube> cubes;
  FrameRecipe::glassQuads(cells, g, quads, cubes);
  ASSERT_EQ(quads.size(), 44u);
  for (size_t c = 0; c < quads.size(); ++c)
    for (int k = 0; k < 3; ++k) quads[c].colour[k] = static_cast<unsigned char>(c / 4 * 23 + k * 80);
  // An orthographic view that maps world x, y in [0, 8] onto the 800-pixel-square viewport and
  // z in [-8, 8] onto the depth range.
  FrameInputs inputs;
  inputs.width = inputs.height = 800;
  std::fill(inputs.projection, inputs.projection + 16, 0.0f);
  inputs.projection[0] = inputs.projection[5] = 0.25f;
  inputs.projection[10] = -0.125f;
  inputs.projection[12] = inputs.projection[13] = -1.0f;
  inputs.projection[15] = 1.0f;
  const auto world = [](const std::vector<float>& v, int axis) {
    return axis == 0 ? v[0] / 100.0f : axis == 1 ? v[1] / 100.0f : (0.5f - v[2]) * 16.0f;
  };
  PassParameters pass;
  for (const bool glass : {false, true}) {
    backend().beginFrame(inputs);
    backend().beginTarget(scene().recipe.backTarget);
    const auto polygons = feedback(GL_3D_COLOR_TEXTURE, 11, [&] {
      if (glass) backend().drawGlass(quads, cubes, pass, scene().recipe.frontTarget);
      else backend().drawOpaque(quads, pass);
    });
    // The driver may split each quad; every piece must have all its vertices among one quad's
    // corners, each with that corner's texture coordinates.
    std::set<size_t> sent;  // corner index into quads
    for (const Primitive& polygon : polygons) {
      bool placed = false;
      for (size_t q = 0; q < quads.size() / 4 && !placed; ++q) {
        std::vector<size_t> corners;
        for (const auto& v : polygon)
          for (size_t c = 4 * q; c < 4 * q + 4; ++c) {
            const BlockVertex& corner = quads[c];
            bool match = v[7] == corner.texCoord[0] && v[8] == corner.texCoord[1];
            for (int a = 0; a < 3; ++a) match &= std::fabs(world(v, a) - corner.position[a]) < 1e-3f;
            for (int k = 0; k < 3 && !glass; ++k)
              match &= std::fabs(v[3 + k] - corner.colour[k] / 255.0f) < 1e-3f;
            if (match) corners.push_back(c);
          }
        if (corners.size() != polygon.size()) continue;
        placed = true;
        sent.insert(corners.begin(), corners.end());
      }
      EXPECT_TRUE(placed) << (glass ? "glass" : "opaque") << ": a piece off every quad handed";
    }
    EXPECT_EQ(sent.size(), quads.size()) << (glass ? "glass" : "opaque");
  }
  scene().resize(Scene::kWindowWidth, Scene::kWindowHeight);
  EXPECT_EQ(offBaseline(), "");
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
