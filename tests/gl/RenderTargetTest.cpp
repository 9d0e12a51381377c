// FBOManager and RenderTarget: the shared framebuffer and depth buffer, their replacement at a new
// size, the output lines, bind(), the colour texture's sampling, and the status report.
// The first test must create the first targets of the process (this binary holds only these).
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>

#include "GlTestSupport.h"
#include "OutputCapture.h"
#include "Utils/FBOManager.h"
#include "Utils/RenderTarget.h"

namespace {

GLuint attachedName(GLenum attachment) {
  GLint name = 0;
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, attachment,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &name);
  return static_cast<GLuint>(name);
}

GLint renderbufferParameter(GLuint renderbuffer, GLenum pname) {
  GLint value = 0;
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, renderbuffer);
  glGetRenderbufferParameterivEXT(GL_RENDERBUFFER_EXT, pname, &value);
  return value;
}

// Green channel of texel (x, y) of a float colour texture.
float texelGreen(GLuint texture, int width, int height, int x, int y) {
  std::vector<float> texels(static_cast<size_t>(width) * height * 4);
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, texels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return texels[(static_cast<size_t>(y) * width + x) * 4 + 1];
}

}  // namespace

TEST(RenderTarget, SameSizeSharesOneFramebufferAndANewSizeReplacesIt) {
  FBOManager* manager = FBOManager::instance();
  ASSERT_FALSE(manager->created) << "another test created a target first";
  gltest::drainGlErrors();

  OutputCapture capture(1);
  auto first = std::make_unique<RenderTarget>(1024, 800, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT0_EXT);
  const GLuint framebuffer = manager->framebuffer;
  const GLuint depth = manager->depthBuffer;
  auto second = std::make_unique<RenderTarget>(1024, 800, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT1_EXT);
  EXPECT_EQ(capture.finish(), "creating frame and renderbuffer\ncreating FBO \ncreating FBO \n");

  EXPECT_TRUE(manager->created);
  EXPECT_EQ(manager->framebuffer, framebuffer);
  EXPECT_EQ(manager->depthBuffer, depth);
  EXPECT_EQ(gltest::integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
  EXPECT_EQ(renderbufferParameter(depth, GL_RENDERBUFFER_WIDTH_EXT), 1024);
  EXPECT_EQ(renderbufferParameter(depth, GL_RENDERBUFFER_HEIGHT_EXT), 800);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  EXPECT_EQ(attachedName(GL_COLOR_ATTACHMENT0_EXT), first->texture);
  EXPECT_EQ(attachedName(GL_COLOR_ATTACHMENT1_EXT), second->texture);
  EXPECT_EQ(attachedName(GL_DEPTH_ATTACHMENT_EXT), depth);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);

  const bool floatTextures = GLEW_ARB_texture_float || GLEW_VERSION_3_0;
  EXPECT_EQ(gltest::texLevel(GL_TEXTURE_2D, first->texture, GL_TEXTURE_INTERNAL_FORMAT),
            floatTextures ? GL_RGBA16F_ARB : GL_RGBA);

  OutputCapture capture2(1);
  auto smaller = std::make_unique<RenderTarget>(1024, 600, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT0_EXT);
  EXPECT_EQ(capture2.finish(), "creating frame and renderbuffer\ncreating FBO \n");
  EXPECT_EQ(manager->width, 1024);
  EXPECT_EQ(manager->height, 600);
  EXPECT_EQ(renderbufferParameter(manager->depthBuffer, GL_RENDERBUFFER_HEIGHT_EXT), 600);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, manager->framebuffer);
  EXPECT_EQ(attachedName(GL_COLOR_ATTACHMENT0_EXT), smaller->texture);
  EXPECT_EQ(attachedName(GL_COLOR_ATTACHMENT1_EXT), 0u) << "the old framebuffer is gone";
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  EXPECT_NO_GL_ERROR();
}

// Also: an error left pending by earlier calls is not taken for a creation error (which exits).
TEST(RenderTarget, BindDrawsOnlyIntoItsAttachmentKeepsTheOthersAndSamplesLinearlyClamped) {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, 0x1234);  // leaves GL_INVALID_ENUM pending
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  OutputCapture capture(1);
  RenderTarget front(64, 32, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT0_EXT);
  RenderTarget back(64, 32, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT1_EXT);
  EXPECT_EQ(capture.finish(), "creating frame and renderbuffer\ncreating FBO \ncreating FBO \n");
  gltest::expectSampling(front.texture, GL_CLAMP_TO_EDGE, GL_REPLACE);
  EXPECT_EQ(gltest::texLevel(GL_TEXTURE_2D, front.texture, GL_TEXTURE_WIDTH), 64);
  EXPECT_EQ(gltest::texLevel(GL_TEXTURE_2D, front.texture, GL_TEXTURE_HEIGHT), 32);

  FBOManager* manager = FBOManager::instance();
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  glViewport(0, 0, 64, 32);
  front.bind();
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  back.bind();
  EXPECT_EQ(gltest::integer(GL_FRAMEBUFFER_BINDING_EXT), static_cast<GLint>(manager->framebuffer));
  EXPECT_EQ(static_cast<GLuint>(gltest::integer(GL_RENDERBUFFER_BINDING_EXT)), manager->depthBuffer);
  EXPECT_EQ(gltest::integer(GL_DRAW_BUFFER0), GL_COLOR_ATTACHMENT1_EXT);
  EXPECT_EQ(gltest::integer(GL_DRAW_BUFFER1), GL_NONE);
  EXPECT_EQ(attachedName(GL_COLOR_ATTACHMENT0_EXT), front.texture);
  glClearColor(0, 1, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  back.unbind();
  EXPECT_EQ(gltest::integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);

  EXPECT_FLOAT_EQ(texelGreen(back.texture, 64, 32, 10, 10), 1.0f);
  EXPECT_FLOAT_EQ(texelGreen(front.texture, 64, 32, 10, 10), 0.0f) << "front was drawn over";
  glBindTexture(GL_TEXTURE_2D, 0);
  EXPECT_NO_GL_ERROR();
}

TEST(RenderTargetDeathTest, GlErrorDuringCreationPrintsItAndExitsWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &maxSize);
  EXPECT_EXIT(
      {
        dup2(2, 1);
        RenderTarget target(maxSize + 1, 16, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT0_EXT);
      },
      ::testing::ExitedWithCode(1), " GL Error: invalid value");
}

// A complete framebuffer prints nothing: the exact creation lines above show it.
TEST(FBOManagerCheckStatus, MissingAttachmentPrintsItsLine) {
  GLuint framebuffer = 0;
  glGenFramebuffersEXT(1, &framebuffer);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  OutputCapture missing(1);
  FBOManager::checkStatus();
  EXPECT_EQ(missing.finish(), "Frame buffer incomplete, missing attachment\n");
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glDeleteFramebuffersEXT(1, &framebuffer);
}

// An attachment without an image, then colour buffers of different sample counts (a status
// outside the table): both stop on the assertion.
TEST(FBOManagerCheckStatusDeathTest, IncompleteAttachmentAndUnknownStatusStopOnTheAssertion) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  GLuint framebuffer = 0, texture = 0;
  glGenFramebuffersEXT(1, &framebuffer);
  glGenTextures(1, &texture);
  EXPECT_DEATH(
      {
        dup2(2, 1);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
        glBindTexture(GL_TEXTURE_2D, texture);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                                  texture, 0);
        FBOManager::checkStatus();
      },
      "GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT:\n.*Assertion `0' failed");

  GLint maxSamples = 0;
  glGetIntegerv(GL_MAX_SAMPLES_EXT, &maxSamples);
  if (maxSamples < 2) GTEST_SKIP() << "no multisampling";
  EXPECT_DEATH(
      {
        GLuint buffers[2];
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
        gltest::makeMixedSampleRenderbuffers(maxSamples, buffers);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                     GL_RENDERBUFFER_EXT, buffers[0]);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT1_EXT,
                                     GL_RENDERBUFFER_EXT, buffers[1]);
        FBOManager::checkStatus();
      },
      "Assertion `0' failed");
  glDeleteFramebuffersEXT(1, &framebuffer);
  glDeleteTextures(1, &texture);
}
