// Image texture loader: the picture's bottom row at t = 0 in tight rows at an odd width, both
// forms' sampling, PNG by content whatever the name, the log of a run, and a texture beyond its
// own size limit ending the run. Runs in its own working directory ("image_out.txt" is its log).
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "GlTestSupport.h"
#include "Utils/TextureLoader.h"
#include "tests/unit/TestImages.h"

TEST(TextureLoader, PngNamedJpgArrivesBottomRowFirstInTightRowsWithEachFormsSampling) {
  const std::string path = gltest::makeScratchDir("upload") + "/odd.jpg";
  std::vector<unsigned char> rgb(5 * 3 * 3);  // 5 x 3, top row first, every byte different
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(i * 5 + 1);
  gltest::writeFile(path, png::rgb8(5, 3, rgb));
  glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  GLuint tile = 0, clamped = 0;
  loadTexture(path.c_str(), &tile);
  EXPECT_EQ(gltest::integer(GL_UNPACK_ALIGNMENT), 8);
  EXPECT_EQ(static_cast<GLuint>(gltest::integer(GL_TEXTURE_BINDING_2D)), tile);
  gltest::expectSampling(tile, GL_REPEAT, GL_REPLACE);
  loadTexture(path.c_str(), &clamped, GL_CLAMP_TO_EDGE, GL_MODULATE);
  gltest::expectSampling(clamped, GL_CLAMP_TO_EDGE, GL_MODULATE);

  ASSERT_TRUE(gltest::texLevel(GL_TEXTURE_2D, clamped, GL_TEXTURE_WIDTH) == 5 &&
              gltest::texLevel(GL_TEXTURE_2D, clamped, GL_TEXTURE_HEIGHT) == 3);
  std::vector<unsigned char> level(rgb.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, level.data());
  for (int row = 0; row < 3; ++row)
    EXPECT_TRUE(std::equal(rgb.begin() + (2 - row) * 15, rgb.begin() + (3 - row) * 15,
                           level.begin() + row * 15)) << "texture row " << row;
}

TEST(TextureLoader, LogHoldsTheRunsLoadsAndATextureBeyondItsLimitEndsTheRun) {
  const std::string dir = gltest::makeScratchDir("log");
  gltest::writeFile(dir + "/image_out.txt", "lines of an earlier run\n");
  gltest::writeFile(dir + "/a.png", png::rgb8(2, 3, std::vector<unsigned char>(18, 1)));
  gltest::writeFile(dir + "/wide.png", png::rgb8(2049, 1, std::vector<unsigned char>(2049 * 3)));
  ASSERT_EQ(gltest::runProbe(dir, "texture a.png texture wide.png"), 1);
  EXPECT_EQ(gltest::readFile(dir + "/image_out.txt"),
            "filename a.png\nloaded image dimensions h: 3 w: 2\nfilename wide.png\n");
  EXPECT_EQ(gltest::readFile(dir + "/probe_err.txt"),
            "quillmarsh: cannot use texture \"wide.png\": it is 2049 x 1 pixels; a texture is 1 to "
            "2048 pixels on each side\n");
}
