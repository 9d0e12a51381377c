// ShaderManager and program loading as whole runs of the probe: the capability report once, a
// program that fails writes "shaderdebug.txt" and ends with status 1, a clean run leaves it alone.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "GlTestSupport.h"

namespace {

std::set<std::string> driverExtensions() {
  std::set<std::string> names;
  std::istringstream list(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)));
  std::string name;
  while (list >> name) names.insert(name);
  return names;
}

// The report this driver should get, built from the raw extension string.
std::string expectedReport() {
  const std::set<std::string> has = driverExtensions();
  auto present = [&](const char* name) { return has.count(name) != 0; };
  std::string report;
  const char* positive[][2] = {
      {"GL_NV_framebuffer_multisample_coverage", "GL_NV_framebuffer_multisample_coverage support"},
      {"GL_EXT_framebuffer_multisample", "GL_EXT_framebuffer_multisample support"},
      {"GL_NV_framebuffer_multisample_coverage", "GL_NV_framebuffer_multisample_coverage support!"},
      {"GL_NV_texture_rectangle", "GL_NV_texture_rectangle support"},
      {"GL_EXT_framebuffer_object", "GL_EXT_framebuffer_object support"},
      {"GL_EXT_renderbuffer_object", "GL_EXT_renderbuffer_object support"},
      {"GL_ARB_vertex_buffer_object", "GL_ARB_vertex_buffer_object support"}};
  for (const auto& line : positive) {
    if (present(line[0])) report += std::string(line[1]) + "\n";
  }
  if (!present("GL_EXT_pixel_buffer_object")) report += "No GL_EXT_pixel_buffer_object support\n";
  if (!present("GL_ARB_pixel_buffer_object")) report += "No GL_ARB_pixel_buffer_object support\n";
  if (!(present("GL_ARB_fragment_shader") && present("GL_ARB_vertex_shader") &&
        present("GL_ARB_shader_objects") && present("GL_ARB_shading_language_100"))) {
    report += "Driver does not support OpenGL Shading Language\n";
  }
  int major = 0, minor = 0;
  std::sscanf(reinterpret_cast<const char*>(glGetString(GL_VERSION)), "%d.%d", &major, &minor);
  if (major < 2 || !present("GL_EXT_framebuffer_object") ||
      !present("GL_EXT_framebuffer_multisample")) {
    report += "Unable to load extensions GL_EXT_framebuffer_object or "
              "GL_EXT_frambuffer_multisample \n";
  }
  return report;
}

// The seven programs of the render set-up.
std::string allMediaPrograms() {
  std::string arguments;
  for (const char* file : {"TessaryShader.cg", "TessaryShaderRefraktion.cg", "TessaryShaderCombine.cg"})
    for (const char* stage : {"vertex", "fragment"})
      arguments += std::string(stage) + " '" + gltest::sourcePath("media/") + file + "' ";
  return arguments + "fragment '" + gltest::sourcePath("media/setDepthShader.cg") + "'";
}

}  // namespace

TEST(ShaderManager, FirstInstancePrintsTheReportOnceInOrder) {
  const std::string dir = gltest::makeScratchDir("report");
  ASSERT_EQ(gltest::runProbe(dir, "report"), 0) << gltest::readFile(dir + "/probe_err.txt");
  EXPECT_EQ(gltest::readFile(dir + "/probe_out.txt"),
            expectedReport() + "-- after first instance\n-- after second instance\n");
}

TEST(ShaderManager, FragmentProgramWithoutFragmentMainWritesTheListingAndExitsOne) {
  const std::string dir = gltest::makeScratchDir("bad_program");
  const std::string file = gltest::sourcePath("tests/gl/data/no_fragment_main.cg");
  EXPECT_EQ(gltest::runProbe(dir, "fragment '" + file + "'"), 1);
  const std::string listing = gltest::readFile(dir + "/shaderdebug.txt");
  EXPECT_EQ(listing.find(file + " (fragment_main):\n"), 0u) << listing;
  EXPECT_NE(listing.find("fragment_main"), listing.rfind("fragment_main")) << "the compiler's "
      "complaint names the missing function too: " << listing;
  const std::string out = gltest::readFile(dir + "/probe_out.txt");
  EXPECT_NE(out.find(listing.substr(0, listing.size() - 1)), std::string::npos)
      << "the handler printed the listing: " << out;
  const std::string err = gltest::readFile(dir + "/probe_err.txt");
  EXPECT_NE(err.find(file), std::string::npos) << err;
  EXPECT_NE(err.find("shaderdebug.txt"), std::string::npos) << err;

  // The same file's vertex stage is fine.
  EXPECT_EQ(gltest::runProbe(dir, "vertex '" + file + "'"), 0);
}

TEST(ShaderManager, RunInWhichEveryProgramLoadsLeavesShaderdebugAlone) {
  const std::string dir = gltest::makeScratchDir("good_programs");
  gltest::writeFile(dir + "/shaderdebug.txt", "listing of an earlier failure\n");
  ASSERT_EQ(gltest::runProbe(dir, allMediaPrograms()), 0)
      << gltest::readFile(dir + "/probe_out.txt") << gltest::readFile(dir + "/probe_err.txt");
  EXPECT_EQ(gltest::readFile(dir + "/shaderdebug.txt"), "listing of an earlier failure\n");

  const std::string clean = gltest::makeScratchDir("good_programs_clean");
  ASSERT_EQ(gltest::runProbe(clean, allMediaPrograms()), 0);
  EXPECT_FALSE(gltest::fileExists(clean + "/shaderdebug.txt"));
}
