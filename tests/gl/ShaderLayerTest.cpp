// The shader runtime layer: the life of the runtime context a ShaderManager owns, parameter
// values of every count and both sampler kinds on a linked pair, errors reaching the manager's
// callback, and the driver capabilities it asks for (framebuffer objects: the end-to-end refusals).
#include "GlTestSupport.h"
#include "Utils/FragmentProgram.h"
#include "Utils/ShaderManager.h"
#include "Utils/VertexProgram.h"

TEST(ShaderManager, EachPrintsTheDriversReportAndItsContextIsCurrentUntilItGoesWithItsPrograms) {
  EXPECT_EQ(cgGetCurrentContext(), nullptr);
  EXPECT_EQ(cgGetError(), CG_INVALID_CONTEXT_HANDLE_ERROR) << "no context: no error state";
  {
    OutputCapture first(1);  // the report's lines: the end-to-end run checks them
    ShaderManager outer;
    const std::string report = first.finish();
    EXPECT_EQ(cgGetCurrentContext(), outer.getCgContext());
    CGcontext inner = nullptr;
    GLint used = 0;
    {
      OutputCapture second(1);
      ShaderManager nested;
      EXPECT_EQ(second.finish(), report) << "every manager reports";
      inner = nested.getCgContext();
      EXPECT_TRUE(cgGetCurrentContext() == inner && inner != outer.getCgContext() && cgIsContext(outer.getCgContext()));
      VertexProgram vertex(nested, gltest::sourcePath("tests/gl/data/layer.cg"));
      vertex.bind();  // left bound: the context's end takes it out of use
      used = gltest::integer(GL_CURRENT_PROGRAM);
      EXPECT_NE(used, 0);
    }
    EXPECT_EQ(cgGetCurrentContext(), outer.getCgContext()) << "the context made before is current again";
    EXPECT_FALSE(cgIsContext(inner));
    EXPECT_EQ(gltest::integer(GL_CURRENT_PROGRAM), 0);
    EXPECT_FALSE(glIsProgram(used)) << "the program went with its context";
  }
  EXPECT_EQ(cgGetCurrentContext(), nullptr);
  EXPECT_NO_GL_ERROR();
}

TEST(ShaderLayer, ParametersOfEveryCountAndBothSamplerKindsReachTheLinkedPair) {
  OutputCapture report(1);  // not wanted in the test's output
  ShaderManager shaders;
  report.finish();
  VertexProgram vertex(shaders, gltest::sourcePath("tests/gl/data/layer.cg"));
  FragmentProgram fragment(shaders, gltest::sourcePath("tests/gl/data/layer.cg"));
  const float v[16] = {0.125f, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  fragment.setParameter("scalar", v, 1);  // before binding: kept and applied on bind
  vertex.setParameter("transform", v, 16);
  vertex.bind();
  fragment.bind();
  const std::pair<const char*, int> values[] = {
      {"scalar", 1}, {"pair", 2}, {"triple", 3}, {"quad", 4}, {"transform", 16}};
  for (int n = 2; n <= 4; ++n) fragment.setParameter(values[n - 1].first, v, n);
  fragment.setTextureParameter("flat_tex", 7001);  // names the layer binds become textures of that kind
  fragment.setTextureParameter("volume_tex", 7002);
  const GLint program = gltest::integer(GL_CURRENT_PROGRAM);
  for (const auto& [name, count] : values) {  // the matrix column by column
    std::vector<float> got(count, -1.0f);
    glGetUniformfv(program, glGetUniformLocation(program, name), got.data());
    EXPECT_EQ(got, std::vector<float>(v, v + count)) << name;
  }
  GLint units[2] = {-1, -1};
  for (int i = 0; i < 2; ++i) {  // each sampler's texture waits on a unit of its own
    glGetUniformiv(program, glGetUniformLocation(program, i == 0 ? "flat_tex" : "volume_tex"), &units[i]);
    glActiveTexture(GL_TEXTURE0 + units[i]);
    EXPECT_EQ(gltest::integer(i == 0 ? GL_TEXTURE_BINDING_2D : GL_TEXTURE_BINDING_3D), 7001 + i);
  }
  glActiveTexture(GL_TEXTURE0);
  fragment.unbind();
  vertex.unbind();
  EXPECT_NE(units[0], units[1]);
  EXPECT_EQ(gltest::integer(GL_CURRENT_PROGRAM), 0);
}

TEST(ShaderLayer, CompileErrorsUnknownNamesAndBadHandlesReachTheCallback) {
  gltest::writeFile("bad.cg", "#ifdef FRAGMENT_PROGRAM\nvoid fragment_main() {\n  float wrong = vec4(1.0);\n}\n#endif\n");
  OutputCapture report(1);
  ShaderManager shaders;
  report.finish();
  const CGcontext context = shaders.getCgContext();
  OutputCapture output(1);
  cgCompileProgram(cgCreateProgramFromFile(context, CG_SOURCE, "bad.cg", cgGLGetLatestProfile(CG_GL_FRAGMENT), "fragment_main", nullptr));
  const std::string listing = cgGetLastListing(context);
  EXPECT_EQ(listing.find("bad.cg (fragment_main):\n"), 0u) << listing;
  EXPECT_NE(listing.find(":3("), std::string::npos) << "the error is on the file's own line 3: " << listing;
  FragmentProgram fragment(shaders, gltest::sourcePath("tests/gl/data/layer.cg"));
  fragment.bind();
  const float half[3] = {0.5f, 0.5f, 0.5f};
  for (int frame = 0; frame < 2; ++frame) {  // each unknown name is reported once
    fragment.setParameter("unused", half, 1);  // removed by the compiler
    fragment.setTextureParameter("not_declared", 1);
  }
  cgGLSetParameter3fv(reinterpret_cast<CGparameter>(&fragment), half);  // not a parameter handle
  fragment.unbind();
  const std::string invalid = std::string(cgGetErrorString(CG_INVALID_PARAMETER_ERROR)) + "\n";
  const auto naming = [&](const char* name) {
    return invalid + "Shader program \"" + fragment.fileName + "\" has no parameter \"" + name + "\"\n";
  };
  EXPECT_EQ(output.finish(), cgGetErrorString(CG_COMPILER_ERROR) + ("\n" + listing + "\n") + naming("unused") +
                                 naming("not_declared") + cgGetErrorString(CG_INVALID_PARAM_HANDLE_ERROR) + "\n");
  EXPECT_EQ(cgGetError(), CG_NO_ERROR) << "the callback consumed the errors";
}

TEST(ShaderManager, ADriverLackingAnyOneCapabilityIsNamedAndThisOneLacksNone) {
  EXPECT_EQ(ShaderManager::missingCapability(ShaderManager::currentDriver()), nullptr);
  const ShaderManager::Driver full{true, 2, true, true, "1.20 Mesa"};
  EXPECT_EQ(ShaderManager::missingCapability(full), nullptr);
  const std::pair<void (*)(ShaderManager::Driver&), const char*> lacks[] = {
      {[](ShaderManager::Driver& d) { d.maxDrawBuffers = 1; }, "two draw buffers"},
      {[](ShaderManager::Driver& d) { d.textures3D = false; }, "3-D textures"},
      {[](ShaderManager::Driver& d) { d.gl20 = false; }, "Shading Language 1.20"},
      {[](ShaderManager::Driver& d) { d.shadingLanguage = "1.10"; }, "Shading Language 1.20"},
      {[](ShaderManager::Driver& d) { d.shadingLanguage = nullptr; }, "Shading Language 1.20"}};
  for (const auto& lack : lacks) {
    ShaderManager::Driver driver = full;
    lack.first(driver);
    const char* missing = ShaderManager::missingCapability(driver);
    EXPECT_NE(std::string(missing ? missing : "").find(lack.second), std::string::npos) << lack.second;
  }
}
