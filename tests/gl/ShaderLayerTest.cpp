// The shader runtime layer through ShaderProgram: stage pairing and fixed-function fallback,
// parameter values of every count, samplers, error reports through the manager's handler, and
// the media programs with the parameters the frame sets on them.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <string>

#include "GlTestSupport.h"
#include "OffscreenTarget.h"
#include "OutputCapture.h"
#include "Utils/FragmentProgram.h"
#include "Utils/ShaderManager.h"
#include "Utils/VertexProgram.h"
#include "platform/cg/CgGL.h"

namespace {

std::string data(const std::string& name) { return gltest::sourcePath("tests/gl/data/" + name); }

class ShaderLayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OutputCapture quiet(1);
    ShaderManager::instance();
  }
  void SetUp() override {
    gltest::drainGlErrors();
    cgGetError();
  }
  void TearDown() override {
    EXPECT_EQ(gltest::drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
  }
};

GLint currentProgram() {
  GLint program = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  return program;
}

std::vector<float> uniformValues(const char* name, int count) {
  std::vector<float> values(count, -99.0f);
  glGetUniformfv(currentProgram(), glGetUniformLocation(currentProgram(), name), values.data());
  return values;
}

using Pixel = std::array<int, 4>;

}  // namespace

// The pair's vertex stage moves the quad (-0.5..0) right by 0.5 and colours it (64, 128, 191).
TEST_F(ShaderLayerTest, PairFromOneFileRendersAndALeftOutStageRunsFixedFunction) {
  VertexProgram vertex(data("solid_colour.cg"));
  FragmentProgram fragment(data("solid_colour.cg"));
  OffscreenTarget target(64, 64);
  const Pixel black{0, 0, 0, 255}, blue{64, 128, 191, 255};
  struct Case {
    ShaderProgram* first;
    ShaderProgram* second;
    Pixel left, right;
  };
  const Case cases[] = {{&vertex, &fragment, black, blue},
                        {&fragment, nullptr, blue, black},           // fixed-function vertices
                        {&vertex, nullptr, black, {255, 0, 0, 255}}};  // the vertex colour shows
  target.begin(0, 0, 0, 1);
  for (const Case& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT);
    c.first->bind();
    if (c.second) c.second->bind();
    glColor3f(1, 0, 0);
    drawQuad(-0.5f, -0.5f, 0.0f, 0.5f);
    glColor3f(1, 1, 1);
    EXPECT_EQ(target.pixel(24, 32), c.left);
    EXPECT_EQ(target.pixel(40, 32), c.right);
    if (c.second) c.second->unbind();
    c.first->unbind();
    EXPECT_EQ(currentProgram(), 0);
  }
  target.end();
  EXPECT_EQ(cgGetError(), CG_NO_ERROR);
}

TEST_F(ShaderLayerTest, FloatParametersOfOneToFourComponentsAndAColumnMajorMatrixArrive) {
  VertexProgram vertex(data("parameters.cg"));
  FragmentProgram fragment(data("parameters.cg"));
  const float scalar[1] = {0.125f};
  const float pair[2] = {2.0f, 3.0f};
  const float triple[3] = {4.0f, 5.0f, 6.0f};
  const float quad[4] = {7.0f, 8.0f, 9.0f, 10.0f};
  // Translation by +0.5 in x, given column by column.
  const float transform[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5f, 0, 0, 1};

  fragment.setParameter("scalar", scalar, 1);  // before binding: kept and applied on bind
  vertex.setParameter("transform", transform, 16);
  OutputCapture output(1);
  OffscreenTarget target(64, 64);
  target.begin(0, 0, 0, 1);
  vertex.bind();
  fragment.bind();
  fragment.setParameter("pair", pair, 2);
  fragment.setParameter("triple", triple, 3);
  fragment.setParameter("quad", quad, 4);
  // Counts outside the table change nothing and raise no error, for known names or not.
  const float nines[17] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  for (int count : {0, 5, 15, 17, -1}) {
    fragment.setParameter("quad", nines, count);
    fragment.setParameter("no_such_parameter", nines, count);
  }

  EXPECT_EQ(uniformValues("scalar", 1), std::vector<float>({0.125f}));
  EXPECT_EQ(uniformValues("pair", 2), std::vector<float>({2, 3}));
  EXPECT_EQ(uniformValues("triple", 3), std::vector<float>({4, 5, 6}));
  EXPECT_EQ(uniformValues("quad", 4), std::vector<float>({7, 8, 9, 10}));
  EXPECT_EQ(uniformValues("transform", 16), std::vector<float>(transform, transform + 16));

  drawQuad(-0.5f, -0.5f, 0.0f, 0.5f);
  const Pixel moved = target.pixel(40, 32);
  EXPECT_EQ(moved[0], 32) << "0.125 in red";
  EXPECT_EQ(moved[1], 255) << "2 * 3, saturated";
  EXPECT_EQ(target.pixel(24, 32), (Pixel{0, 0, 0, 255})) << "the matrix moved the quad right";
  fragment.unbind();
  vertex.unbind();

  // Rebinding after another program ran applies the stored values again.
  FragmentProgram other(data("solid_colour.cg"));
  other.bind();
  other.unbind();
  fragment.bind();
  EXPECT_EQ(uniformValues("quad", 4), std::vector<float>({7, 8, 9, 10}));
  fragment.unbind();
  target.end();
  EXPECT_EQ(output.finish(), "");
  EXPECT_EQ(cgGetError(), CG_NO_ERROR);
}

TEST_F(ShaderLayerTest, SamplerParametersSampleTheirTwoAndThreeDimensionalTextures) {
  // A red 1 x 1 picture and a 1 x 1 x 2 volume, green below and blue above, sampled nearest.
  const unsigned char red[3] = {200, 0, 0};
  const unsigned char slices[6] = {0, 150, 0, 0, 0, 100};
  GLuint flat = 0, volume = 0;
  glGenTextures(1, &flat);
  glGenTextures(1, &volume);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (GLenum target : {GL_TEXTURE_2D, GL_TEXTURE_3D}) {
    glBindTexture(target, target == GL_TEXTURE_2D ? flat : volume);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  }
  glTexImage3D(GL_TEXTURE_3D, 0, GL_RGB8, 1, 1, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, slices);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, red);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindTexture(GL_TEXTURE_3D, 0);

  VertexProgram vertex(data("samplers.cg"));
  FragmentProgram fragment(data("samplers.cg"));
  OffscreenTarget target(16, 16);
  target.begin(0, 0, 0, 1);
  vertex.bind();
  fragment.bind();
  fragment.setTextureParameter("volume_tex", volume);
  fragment.setTextureParameter("flat_tex", flat);
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE0);
  drawQuad(-1, -1, 1, 1);
  EXPECT_EQ(target.pixel(8, 8), (Pixel{200, 150, 100, 255}));
  fragment.unbind();
  vertex.unbind();
  target.end();
  glDeleteTextures(1, &flat);
  glDeleteTextures(1, &volume);
  EXPECT_EQ(cgGetError(), CG_NO_ERROR);
}

TEST_F(ShaderLayerTest, UnknownNamesBadHandlesAndWrongSettersAreReportedByTheHandler) {
  FragmentProgram fragment(data("unused_uniform.cg"));
  const float value[3] = {0.5f, 0.5f, 0.5f};
  const std::string expected = cgGetErrorString(CG_INVALID_PARAMETER_ERROR);
  fragment.bind();
  for (const char* name : {"not_declared", "unused"}) {
    OutputCapture output(1);
    fragment.setParameter(name, value, 3);
    fragment.setTextureParameter(name, 1);
    const std::string text = output.finish();
    EXPECT_NE(text.find(expected), std::string::npos) << name << ": " << text;
    EXPECT_EQ(cgGetError(), CG_NO_ERROR) << "the handler consumed the error";
  }
  OutputCapture output(1);
  fragment.setParameter("used", value, 1);
  EXPECT_EQ(output.finish(), "");
  EXPECT_EQ(uniformValues("used", 1), std::vector<float>({0.5f}));
  fragment.unbind();

  // Bad handles and a setter of the wrong type reach the handler too.
  int notAHandle = 0;
  const float values[16] = {};
  OutputCapture bad(1);
  cgGLBindProgram(reinterpret_cast<CGprogram>(&notAHandle));
  cgGLSetParameter3fv(reinterpret_cast<CGparameter>(&notAHandle), values);
  cgGLSetMatrixParameterfc(cgGetNamedParameter(fragment.program, "used"), values);
  const std::string text = bad.finish();
  EXPECT_NE(text.find(cgGetErrorString(CG_INVALID_PROGRAM_HANDLE_ERROR)), std::string::npos);
  EXPECT_NE(text.find(cgGetErrorString(CG_INVALID_PARAM_HANDLE_ERROR)), std::string::npos);
  EXPECT_NE(text.find(cgGetErrorString(CG_PARAMETER_TYPE_ERROR)), std::string::npos);
  EXPECT_EQ(currentProgram(), 0);
}

TEST_F(ShaderLayerTest, CompileAndReadErrorsReportTheListingWithTheFilesOwnLineNumbers) {
  const CGcontext context = ShaderManager::instance()->getCgContext();
  const std::string path = data("compile_error.cg");
  CGprogram program = cgCreateProgramFromFile(
      context, CG_SOURCE, path.c_str(), cgGLGetLatestProfile(CG_GL_FRAGMENT), "fragment_main",
      nullptr);
  EXPECT_FALSE(cgIsProgramCompiled(program));
  OutputCapture output(1);
  cgCompileProgram(program);
  std::string text = output.finish();
  EXPECT_FALSE(cgIsProgram(program));
  const char* listing = cgGetLastListing(context);
  ASSERT_NE(listing, nullptr);
  const std::string listingText = listing;
  EXPECT_EQ(listingText.find(path + " (fragment_main):\n"), 0u) << listingText;
  EXPECT_NE(listingText.find(":5("), std::string::npos) << "error on line 5: " << listingText;
  EXPECT_NE(text.find(cgGetErrorString(CG_COMPILER_ERROR)), std::string::npos) << text;
  EXPECT_NE(text.find(listingText), std::string::npos) << "handler prints the listing: " << text;

  OutputCapture unreadable(1);
  program = cgCreateProgramFromFile(context, CG_SOURCE, "no/such/file.cg", CG_PROFILE_GLSLV,
                                    "vertex_main", nullptr);
  cgCompileProgram(program);
  text = unreadable.finish();
  EXPECT_FALSE(cgIsProgram(program));
  EXPECT_NE(text.find(cgGetErrorString(CG_FILE_READ_ERROR)), std::string::npos) << text;
  EXPECT_NE(std::string(cgGetLastListing(context)).find("no/such/file.cg"), std::string::npos);
}

TEST_F(ShaderLayerTest, PairThatDoesNotLinkIsReportedOnceAndRunsFixedFunction) {
  VertexProgram vertex(data("solid_colour.cg"));
  FragmentProgram fragment(data("reads_varying.cg"));
  OutputCapture output(1);
  vertex.bind();
  fragment.bind();
  EXPECT_EQ(currentProgram(), 0);
  const std::string text = output.finish();
  EXPECT_NE(text.find(cgGetErrorString(CG_COMPILER_ERROR)), std::string::npos) << text;
  EXPECT_NE(text.find(data("reads_varying.cg")), std::string::npos) << "listing names it";
  fragment.unbind();
  vertex.unbind();

  OutputCapture again(1);
  vertex.bind();
  fragment.bind();
  fragment.unbind();
  vertex.unbind();
  EXPECT_EQ(again.finish(), "") << "a failed pair is reported when first made current only";

  // The failed fragment program stays bound to its stage; enabling that stage for a program
  // that pairs fine must not report the passing (vertex, old fragment) pair.
  VertexProgram otherVertex(data("samplers.cg"));
  FragmentProgram otherFragment(data("samplers.cg"));
  OutputCapture passing(1);
  otherVertex.bind();
  otherFragment.bind();
  EXPECT_NE(currentProgram(), 0);
  otherFragment.unbind();
  otherVertex.unbind();
  EXPECT_EQ(passing.finish(), "");
}

TEST_F(ShaderLayerTest, MediaProgramsLoadAndTakeEveryParameterTheFrameSets) {
  GLuint textures[3] = {0, 0, 0};
  glGenTextures(3, textures);
  const float dimension[3] = {16, 6, 16};
  const float eye[3] = {4, 2, 7};
  const float opacity = 0.5f;
  OffscreenTarget target(64, 64, 2);
  OutputCapture output(1);
  target.begin(0, 0, 0, 1);
  for (const char* file : {"media/TessaryShader.cg", "media/TessaryShaderRefraktion.cg"}) {
    VertexProgram vertex(gltest::sourcePath(file));
    FragmentProgram fragment(gltest::sourcePath(file));
    vertex.bind();
    fragment.bind();
    fragment.setTextureParameter("light_volume", textures[0]);
    fragment.setTextureParameter("tile_tex", textures[1]);
    fragment.setParameter("dimension", dimension, 3);
    fragment.setParameter("eye_pos", eye, 3);
    if (std::string(file).find("Refraktion") != std::string::npos) {
      fragment.setTextureParameter("background", textures[2]);
      fragment.setParameter("opacity", &opacity, 1);
    }
    drawQuad(-1, -1, 1, 1);
    fragment.unbind();
    vertex.unbind();
  }
  target.end();
  EXPECT_EQ(output.finish(), "");
  EXPECT_EQ(cgGetError(), CG_NO_ERROR);
  glDeleteTextures(3, textures);
}
