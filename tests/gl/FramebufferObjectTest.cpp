// FramebufferObject: the guarded bind (also nested), attachment by target, the array forms'
// defaults, the redundant render buffer warning and the completeness report.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "GlTestSupport.h"
#include "OutputCapture.h"
#include "Utils/FramebufferObject.h"

namespace {

class ExposedFbo : public FramebufferObject {
 public:
  using FramebufferObject::id;
  using FramebufferObject::previousId;
};

// Counts AttachTexture calls to show that the array form goes through the virtual single form.
class CountingFbo : public FramebufferObject {
 public:
  void AttachTexture(GLenum target, GLuint texture, GLenum attachment, int level,
                     int slice) override {
    ++calls;
    FramebufferObject::AttachTexture(target, texture, attachment, level, slice);
  }
  int calls = 0;
};

GLuint boundFramebuffer() { return static_cast<GLuint>(gltest::integer(GL_FRAMEBUFFER_BINDING_EXT)); }

int bindCalls = 0;
PFNGLBINDFRAMEBUFFEREXTPROC realBind = nullptr;
void GLAPIENTRY countingBind(GLenum target, GLuint framebuffer) {
  ++bindCalls;
  realBind(target, framebuffer);
}

int renderbufferAttachCalls = 0;
PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC realAttachRenderbuffer = nullptr;
void GLAPIENTRY countingAttachRenderbuffer(GLenum target, GLenum attachment, GLenum rbTarget,
                                           GLuint renderbuffer) {
  ++renderbufferAttachCalls;
  realAttachRenderbuffer(target, attachment, rbTarget, renderbuffer);
}

// Routes the framebuffer bind and render buffer attach entry points through counters.
class CallCounters {
 public:
  CallCounters() {
    bindCalls = 0;
    renderbufferAttachCalls = 0;
    realBind = __glewBindFramebufferEXT;
    realAttachRenderbuffer = __glewFramebufferRenderbufferEXT;
    __glewBindFramebufferEXT = countingBind;
    __glewFramebufferRenderbufferEXT = countingAttachRenderbuffer;
  }
  ~CallCounters() {
    __glewBindFramebufferEXT = realBind;
    __glewFramebufferRenderbufferEXT = realAttachRenderbuffer;
  }
};

GLuint makeTexture2D(int size, bool withLevelOne = false) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  if (withLevelOne) {
    glTexImage2D(GL_TEXTURE_2D, 1, GL_RGBA8, size / 2, size / 2, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  return texture;
}

GLuint makeRenderbuffer(GLenum format, int size) {
  GLuint renderbuffer = 0;
  glGenRenderbuffersEXT(1, &renderbuffer);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, renderbuffer);
  glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, format, size, size);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
  return renderbuffer;
}

GLint attachmentParameter(GLuint framebuffer, GLenum attachment, GLenum pname) {
  GLint value = -1;
  const GLuint before = boundFramebuffer();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, attachment, pname, &value);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, before);
  return value;
}

const char* const kReportPrefix = "FramebufferObject::CheckFramebufferStatus() ERROR:\n\t";

class FramebufferObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    gltest::drainGlErrors();
  }
  void TearDown() override {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    EXPECT_NO_GL_ERROR();
  }
};

}  // namespace

TEST_F(FramebufferObjectTest, ConstructionAndAttachWithWindowBoundLeaveWindowBound) {
  ExposedFbo fbo;
  EXPECT_NE(fbo.id, 0u);
  EXPECT_EQ(boundFramebuffer(), 0u);
  EXPECT_TRUE(glIsFramebufferEXT(fbo.id)) << "the constructor's bind creates the object";

  const GLuint texture = makeTexture2D(16);
  fbo.AttachTexture(GL_TEXTURE_2D, texture, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
  EXPECT_EQ(boundFramebuffer(), 0u);
  EXPECT_EQ(fbo.GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT), texture);
  EXPECT_EQ(boundFramebuffer(), 0u);
  glDeleteTextures(1, &texture);
}

TEST_F(FramebufferObjectTest, OperationsOnTheBoundObjectIssueNoBindAndKeepItBound) {
  ExposedFbo fbo;
  const GLuint texture = makeTexture2D(16);
  fbo.Bind();
  {
    CallCounters counters;
    fbo.AttachTexture(GL_TEXTURE_2D, texture, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
    EXPECT_EQ(fbo.GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT), texture);
    std::ostringstream report;
    EXPECT_TRUE(fbo.CheckFramebufferStatus(report));
    EXPECT_EQ(bindCalls, 0);
  }
  EXPECT_EQ(boundFramebuffer(), fbo.id);
  glDeleteTextures(1, &texture);
}

TEST_F(FramebufferObjectTest, OperationFromAnotherBindingBindsOnceAndRestoresOnce) {
  ExposedFbo fbo;
  ExposedFbo other;
  const GLuint texture = makeTexture2D(16);
  other.Bind();
  {
    CallCounters counters;
    fbo.AttachTexture(GL_TEXTURE_2D, texture, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
    EXPECT_EQ(bindCalls, 2);
  }
  EXPECT_EQ(boundFramebuffer(), other.id);
  EXPECT_EQ(fbo.previousId, static_cast<GLint>(other.id));
  glDeleteTextures(1, &texture);
}

TEST_F(FramebufferObjectTest, NestedGuardedOperationKeepsTheCallersBinding) {
  ExposedFbo fbo;
  ExposedFbo third;
  const GLuint depth = makeRenderbuffer(GL_DEPTH_COMPONENT, 16);

  // AttachRenderBuffer asks GetAttachedObjectName while already bound: the outer operation
  // must still restore the third framebuffer, not the object itself.
  third.Bind();
  fbo.AttachRenderBuffer(depth, GL_DEPTH_ATTACHMENT_EXT);
  EXPECT_EQ(boundFramebuffer(), third.id);
  EXPECT_EQ(fbo.GetAttachedObjectName(GL_DEPTH_ATTACHMENT_EXT), depth);
  EXPECT_EQ(boundFramebuffer(), third.id);

  FramebufferObject::Unbind();
  const GLuint depth2 = makeRenderbuffer(GL_DEPTH_COMPONENT, 16);
  fbo.AttachRenderBuffer(depth2, GL_DEPTH_ATTACHMENT_EXT);
  EXPECT_EQ(boundFramebuffer(), 0u);
  EXPECT_EQ(fbo.GetAttachedObjectName(GL_DEPTH_ATTACHMENT_EXT), depth2);
  glDeleteRenderbuffersEXT(1, &depth);
  glDeleteRenderbuffersEXT(1, &depth2);
}

TEST_F(FramebufferObjectTest, RedundantRenderBufferAttachesOnceAndWarnsExactly) {
  ExposedFbo fbo;
  ExposedFbo third;
  const GLuint depth = makeRenderbuffer(GL_DEPTH_COMPONENT, 16);
  third.Bind();
  std::string first, second;
  {
    CallCounters counters;
    OutputCapture capture(2);
    fbo.AttachRenderBuffer(depth, GL_DEPTH_ATTACHMENT_EXT);
    first = capture.finish();
    OutputCapture capture2(2);
    fbo.AttachRenderBuffer(depth, GL_DEPTH_ATTACHMENT_EXT);
    second = capture2.finish();
    EXPECT_EQ(renderbufferAttachCalls, 1);
  }
  EXPECT_EQ(first, "");
  EXPECT_EQ(second,
            "FramebufferObject::AttachRenderBuffer PERFORMANCE WARNING:\n"
            "\tRedundant bind of Renderbuffer (id = " + std::to_string(depth) + ")\n"
            "\tHINT : Compile with -DNDEBUG to remove this warning.\n");
  EXPECT_EQ(boundFramebuffer(), third.id);
  EXPECT_EQ(fbo.GetAttachedObjectName(GL_DEPTH_ATTACHMENT_EXT), depth);
  glDeleteRenderbuffersEXT(1, &depth);
}

TEST_F(FramebufferObjectTest, TextureWithTheRenderBuffersNameIsNotTakenForIt) {
  ExposedFbo fbo;
  const GLuint texture = makeTexture2D(16);
  // Render buffer and texture names come from separate counters: generate until they meet.
  std::vector<GLuint> spare;
  GLuint renderbuffer = 0;
  for (int i = 0; i < 4096 && renderbuffer != texture; ++i) {
    glGenRenderbuffersEXT(1, &renderbuffer);
    spare.push_back(renderbuffer);
  }
  if (renderbuffer != texture) GTEST_SKIP() << "driver never gave a render buffer that name";
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, renderbuffer);
  glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, 16, 16);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);

  fbo.AttachTexture(GL_TEXTURE_2D, texture, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
  OutputCapture capture(2);
  fbo.AttachRenderBuffer(renderbuffer, GL_COLOR_ATTACHMENT0_EXT);
  EXPECT_EQ(capture.finish(), "");
  EXPECT_EQ(attachmentParameter(fbo.id, GL_COLOR_ATTACHMENT0_EXT,
                                GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT),
            GL_RENDERBUFFER_EXT);
  glDeleteRenderbuffersEXT(static_cast<GLsizei>(spare.size()), spare.data());
  glDeleteTextures(1, &texture);
}

TEST_F(FramebufferObjectTest, EmptyFramebufferReportsMissingAttachmentAndCompleteOneNothing) {
  ExposedFbo fbo;
  std::ostringstream missing;
  EXPECT_FALSE(fbo.CheckFramebufferStatus(missing));
  EXPECT_EQ(missing.str(),
            std::string(kReportPrefix) + "GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT\n");
  EXPECT_EQ(boundFramebuffer(), 0u);
  EXPECT_EQ(fbo.GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT), 0u);
  EXPECT_EQ(fbo.GetAttachedObjectName(GL_DEPTH_ATTACHMENT_EXT), 0u);

  const GLuint texture = makeTexture2D(16);
  fbo.AttachTexture(GL_TEXTURE_2D, texture, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
  std::ostringstream complete;
  EXPECT_TRUE(fbo.CheckFramebufferStatus(complete));
  EXPECT_EQ(complete.str(), "");
  glDeleteTextures(1, &texture);
}

TEST_F(FramebufferObjectTest, StatusOutsideTheTableReportsUnknownError) {
  if (!GLEW_EXT_framebuffer_multisample) GTEST_SKIP() << "no multisample render buffers";
  ExposedFbo fbo;
  GLint maxSamples = 0;
  glGetIntegerv(GL_MAX_SAMPLES_EXT, &maxSamples);
  if (maxSamples < 2) GTEST_SKIP() << "no multisampling";
  // Attachments with different sample counts give the multisample status, not in the table.
  GLuint buffers[2] = {0, 0};
  gltest::makeMixedSampleRenderbuffers(maxSamples, buffers);
  fbo.AttachRenderBuffers(2, buffers);

  fbo.Bind();
  const GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
  FramebufferObject::Unbind();
  ASSERT_EQ(status, static_cast<GLenum>(GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE_EXT));
  std::ostringstream report;
  EXPECT_FALSE(fbo.CheckFramebufferStatus(report));
  EXPECT_EQ(report.str(), std::string(kReportPrefix) + "Unknown ERROR\n");
  glDeleteRenderbuffersEXT(2, buffers);
}

TEST_F(FramebufferObjectTest, AttachRenderBuffersWithoutAttachmentsUsesColourPoints) {
  ExposedFbo fbo;
  GLuint buffers[2] = {makeRenderbuffer(GL_RGBA8, 16), makeRenderbuffer(GL_RGBA8, 16)};
  fbo.AttachRenderBuffers(2, buffers);
  EXPECT_EQ(fbo.GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT), buffers[0]);
  EXPECT_EQ(fbo.GetAttachedObjectName(GL_COLOR_ATTACHMENT1_EXT), buffers[1]);
  glDeleteRenderbuffersEXT(2, buffers);
}

TEST_F(FramebufferObjectTest, AttachTexturesWithoutArraysUsesColourPointsAndLevelZero) {
  ExposedFbo fbo;
  GLuint textures[3] = {makeTexture2D(16, true), makeTexture2D(16, true), makeTexture2D(16, true)};
  GLenum targets[3] = {GL_TEXTURE_2D, GL_TEXTURE_2D, GL_TEXTURE_2D};
  // Start from level 1 everywhere so that the default level is seen to take effect.
  for (int i = 0; i < 3; ++i) {
    fbo.AttachTexture(GL_TEXTURE_2D, textures[(i + 1) % 3], GL_COLOR_ATTACHMENT0_EXT + i, 1, 0);
  }
  fbo.AttachTextures(3, targets, textures);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(fbo.GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT + i), textures[i]) << i;
    EXPECT_EQ(attachmentParameter(fbo.id, GL_COLOR_ATTACHMENT0_EXT + i,
                                  GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_LEVEL_EXT),
              0)
        << i;
  }
  EXPECT_EQ(boundFramebuffer(), 0u);
  glDeleteTextures(3, textures);
}

TEST_F(FramebufferObjectTest, ArrayFormsGoThroughTheVirtualSingleForm) {
  CountingFbo fbo;
  GLuint textures[2] = {makeTexture2D(16), makeTexture2D(16)};
  GLenum targets[2] = {GL_TEXTURE_2D, GL_TEXTURE_2D};
  fbo.AttachTextures(0, targets, textures);
  fbo.AttachTextures(-3, targets, textures);
  EXPECT_EQ(fbo.calls, 0);
  fbo.AttachTextures(2, targets, textures);
  EXPECT_EQ(fbo.calls, 2);
  glDeleteTextures(2, textures);
}

TEST_F(FramebufferObjectTest, ThreeDimensionalSliceFiveDrawsIntoSliceFiveOnly) {
  const int size = 8;
  GLuint volume = 0;
  glGenTextures(1, &volume);
  glBindTexture(GL_TEXTURE_3D, volume);
  std::vector<unsigned char> zeros(size * size * size * 4, 0);
  glTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA8, size, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               zeros.data());
  glBindTexture(GL_TEXTURE_3D, 0);

  ExposedFbo fbo;
  fbo.AttachTexture(GL_TEXTURE_3D, volume, GL_COLOR_ATTACHMENT0_EXT, 0, 5);
  EXPECT_EQ(attachmentParameter(fbo.id, GL_COLOR_ATTACHMENT0_EXT,
                                GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_3D_ZOFFSET_EXT),
            5);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  fbo.Bind();
  glViewport(0, 0, size, size);
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  FramebufferObject::Unbind();
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);

  std::vector<unsigned char> texels(zeros.size(), 7);
  glBindTexture(GL_TEXTURE_3D, volume);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_3D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glBindTexture(GL_TEXTURE_3D, 0);
  for (int z = 0; z < size; ++z) {
    int red = 0;
    for (int i = 0; i < size * size; ++i) red += texels[(z * size * size + i) * 4] == 255;
    EXPECT_EQ(red, z == 5 ? size * size : 0) << "slice " << z;
  }
  glDeleteTextures(1, &volume);
}

TEST_F(FramebufferObjectTest, OneDimensionalTextureIsAttachedAsOneDimensional) {
  GLuint line = 0;
  glGenTextures(1, &line);
  glBindTexture(GL_TEXTURE_1D, line);
  glTexImage1D(GL_TEXTURE_1D, 0, GL_RGBA8, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_1D, 0);
  ExposedFbo fbo;
  fbo.AttachTexture(GL_TEXTURE_1D, line, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
  EXPECT_EQ(fbo.GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT), line);
  std::ostringstream report;
  EXPECT_TRUE(fbo.CheckFramebufferStatus(report)) << report.str();
  glDeleteTextures(1, &line);
}
