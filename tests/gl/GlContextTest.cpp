// The GL test context: a real renderer offering what the program needs.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <string>

TEST(GlContext, ReportsRendererAndVersionAtLeastTwo) {
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  ASSERT_NE(renderer, nullptr);
  ASSERT_NE(version, nullptr);
  EXPECT_FALSE(std::string(renderer).empty());
  int major = 0, minor = 0;
  ASSERT_EQ(std::sscanf(version, "%d.%d", &major, &minor), 2) << version;
  EXPECT_GE(major * 10 + minor, 20) << version;
}

TEST(GlContext, OffersFramebufferObjectsDrawBuffersAnd3DTextures) {
  EXPECT_TRUE(GLEW_EXT_framebuffer_object);
  EXPECT_TRUE(glDrawBuffers != nullptr);
  EXPECT_TRUE(glTexImage3D != nullptr);
  GLint drawBuffers = 0;
  glGetIntegerv(GL_MAX_DRAW_BUFFERS, &drawBuffers);
  EXPECT_GE(drawBuffers, 2);
  GLint max3D = 0;
  glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &max3D);
  EXPECT_GE(max3D, 64);
}
