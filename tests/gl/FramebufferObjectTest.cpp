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

// Exposes the name and counts AttachTexture calls (the array form must go through it).
class ExposedFbo : public FramebufferObject {
 public:
  using FramebufferObject::id;
  void AttachTexture(GLenum target, GLuint texture, GLenum attachment, int level,
                     int slice) override {
    ++calls;
    FramebufferObject::AttachTexture(target, texture, attachment, level, slice);
  }
  int calls = 0;
};

GLuint boundFramebuffer() { return static_cast<GLuint>(gltest::integer(GL_FRAMEBUFFER_BINDING_EXT)); }

int bindCalls = 0;
int renderbufferAttachCalls = 0;
PFNGLBINDFRAMEBUFFEREXTPROC realBind = nullptr;
PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC realAttachRenderbuffer = nullptr;
void GLAPIENTRY countingBind(GLenum target, GLuint framebuffer) {
  ++bindCalls;
  realBind(target, framebuffer);
}
void GLAPIENTRY countingAttachRenderbuffer(GLenum target, GLenum attachment, GLenum rbTarget,
                                           GLuint renderbuffer) {
  ++renderbufferAttachCalls;
  realAttachRenderbuffer(target, attachment, rbTarget, renderbuffer);
}

// Routes the framebuffer bind and render buffer attach entry points through counters.
struct CallCounters {
  CallCounters() {
    bindCalls = renderbufferAttachCalls = 0;
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
  for (int level = 0; level <= (withLevelOne ? 1 : 0); ++level)
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, size >> level, size >> level, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  return texture;
}

GLuint makeRenderbuffer(GLenum format) {
  GLuint renderbuffer = 0;
  glGenRenderbuffersEXT(1, &renderbuffer);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, renderbuffer);
  glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, format, 16, 16);
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

TEST_F(FramebufferObjectTest, OperationsKeepTheWindowOrTheObjectItselfBound) {
  ExposedFbo fbo;
  EXPECT_EQ(boundFramebuffer(), 0u);
  EXPECT_TRUE(glIsFramebufferEXT(fbo.id)) << "the constructor's bind creates the object";
  const GLuint texture = makeTexture2D(16);
  fbo.AttachTexture(GL_TEXTURE_2D, texture, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
  EXPECT_EQ(boundFramebuffer(), 0u);
  EXPECT_EQ(fbo.GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT), texture);
  EXPECT_EQ(boundFramebuffer(), 0u);

  fbo.Bind();
  {
    CallCounters counters;
    fbo.AttachTexture(GL_TEXTURE_2D, texture, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
    EXPECT_EQ(fbo.GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT), texture);
    std::ostringstream report;
    EXPECT_TRUE(fbo.CheckFramebufferStatus(report));
    EXPECT_EQ(report.str(), "");
    EXPECT_EQ(bindCalls, 0);
  }
  EXPECT_EQ(boundFramebuffer(), fbo.id);
  glDeleteTextures(1, &texture);
}

// AttachRenderBuffer asks GetAttachedObjectName while already bound: the outer operation must
// still restore the caller's framebuffer, not the object itself.
TEST_F(FramebufferObjectTest, NestedOperationKeepsTheCallersBindingAndRedundantAttachWarns) {
  ExposedFbo fbo;
  ExposedFbo third;
  const GLuint depth = makeRenderbuffer(GL_DEPTH_COMPONENT);
  third.Bind();
  std::string first, second;
  {
    CallCounters counters;
    OutputCapture capture(2);
    fbo.AttachRenderBuffer(depth, GL_DEPTH_ATTACHMENT_EXT);
    first = capture.finish();
    EXPECT_EQ(bindCalls, 2) << "one bind and one restore, none for the nested query";
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
  EXPECT_EQ(boundFramebuffer(), third.id);

  FramebufferObject::Unbind();
  const GLuint depth2 = makeRenderbuffer(GL_DEPTH_COMPONENT);
  fbo.AttachRenderBuffer(depth2, GL_DEPTH_ATTACHMENT_EXT);
  EXPECT_EQ(boundFramebuffer(), 0u);
  EXPECT_EQ(fbo.GetAttachedObjectName(GL_DEPTH_ATTACHMENT_EXT), depth2);
  glDeleteRenderbuffersEXT(1, &depth);
  glDeleteRenderbuffersEXT(1, &depth2);
}

TEST_F(FramebufferObjectTest, TextureWithTheRenderBuffersNameIsNotTakenForIt) {
  ExposedFbo fbo;
  // Render buffer and texture names come from separate counters: generate until they meet.
  GLuint texture = 0, renderbuffer = 0;
  std::vector<GLuint> spareTextures, spareBuffers;
  glGenTextures(1, &texture);
  glGenRenderbuffersEXT(1, &renderbuffer);
  while (texture != renderbuffer && spareTextures.size() + spareBuffers.size() < 4096) {
    std::vector<GLuint>& spare = texture < renderbuffer ? spareTextures : spareBuffers;
    spare.push_back(texture < renderbuffer ? texture : renderbuffer);
    if (texture < renderbuffer) glGenTextures(1, &texture);
    else glGenRenderbuffersEXT(1, &renderbuffer);
  }
  if (renderbuffer != texture) GTEST_SKIP() << "driver never gave both kinds one name";
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 16, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
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
  spareBuffers.push_back(renderbuffer);
  spareTextures.push_back(texture);
  glDeleteRenderbuffersEXT(static_cast<GLsizei>(spareBuffers.size()), spareBuffers.data());
  glDeleteTextures(static_cast<GLsizei>(spareTextures.size()), spareTextures.data());
}

TEST_F(FramebufferObjectTest, ReportsMissingAttachmentAndAStatusOutsideTheTable) {
  ExposedFbo fbo;
  std::ostringstream missing;
  EXPECT_FALSE(fbo.CheckFramebufferStatus(missing));
  EXPECT_EQ(missing.str(),
            std::string(kReportPrefix) + "GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT\n");
  EXPECT_EQ(boundFramebuffer(), 0u);
  EXPECT_EQ(fbo.GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT), 0u);

  GLint maxSamples = 0;
  if (GLEW_EXT_framebuffer_multisample) glGetIntegerv(GL_MAX_SAMPLES_EXT, &maxSamples);
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

TEST_F(FramebufferObjectTest, ArrayFormsWithoutArraysUseColourPointsAndLevelZero) {
  ExposedFbo fbo;
  GLuint textures[3] = {makeTexture2D(16, true), makeTexture2D(16, true), makeTexture2D(16, true)};
  GLenum targets[3] = {GL_TEXTURE_2D, GL_TEXTURE_2D, GL_TEXTURE_2D};
  // Start from level 1 everywhere so that the default level is seen to take effect.
  for (int i = 0; i < 3; ++i)
    fbo.AttachTexture(GL_TEXTURE_2D, textures[(i + 1) % 3], GL_COLOR_ATTACHMENT0_EXT + i, 1, 0);
  fbo.calls = 0;
  fbo.AttachTextures(0, targets, textures);
  fbo.AttachTextures(-3, targets, textures);
  EXPECT_EQ(fbo.calls, 0);
  fbo.AttachTextures(3, targets, textures);
  EXPECT_EQ(fbo.calls, 3) << "the array form goes through the virtual single form";
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(fbo.GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT + i), textures[i]) << i;
    EXPECT_EQ(attachmentParameter(fbo.id, GL_COLOR_ATTACHMENT0_EXT + i,
                                  GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_LEVEL_EXT), 0) << i;
  }
  EXPECT_EQ(boundFramebuffer(), 0u);

  ExposedFbo other;
  GLuint buffers[2] = {makeRenderbuffer(GL_RGBA8), makeRenderbuffer(GL_RGBA8)};
  other.AttachRenderBuffers(2, buffers);
  EXPECT_EQ(other.GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT), buffers[0]);
  EXPECT_EQ(other.GetAttachedObjectName(GL_COLOR_ATTACHMENT1_EXT), buffers[1]);
  glDeleteRenderbuffersEXT(2, buffers);
  glDeleteTextures(3, textures);
}

TEST_F(FramebufferObjectTest, OneAndThreeDimensionalTexturesAttachByTheirTarget) {
  GLuint line = 0, volume = 0;
  glGenTextures(1, &line);
  glBindTexture(GL_TEXTURE_1D, line);
  glTexImage1D(GL_TEXTURE_1D, 0, GL_RGBA8, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_1D, 0);
  ExposedFbo lineFbo;
  lineFbo.AttachTexture(GL_TEXTURE_1D, line, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
  EXPECT_EQ(lineFbo.GetAttachedObjectName(GL_COLOR_ATTACHMENT0_EXT), line);
  std::ostringstream report;
  EXPECT_TRUE(lineFbo.CheckFramebufferStatus(report)) << report.str();

  // Slice 5 of an 8-cube: clearing through the framebuffer turns that slice red and no other.
  const int size = 8;
  std::vector<unsigned char> texels(size * size * size * 4, 0);
  glGenTextures(1, &volume);
  glBindTexture(GL_TEXTURE_3D, volume);
  glTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA8, size, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               texels.data());
  ExposedFbo fbo;
  fbo.AttachTexture(GL_TEXTURE_3D, volume, GL_COLOR_ATTACHMENT0_EXT, 0, 5);
  EXPECT_EQ(attachmentParameter(fbo.id, GL_COLOR_ATTACHMENT0_EXT,
                                GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_3D_ZOFFSET_EXT), 5);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  fbo.Bind();
  glViewport(0, 0, size, size);
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  FramebufferObject::Unbind();
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);

  glBindTexture(GL_TEXTURE_3D, volume);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_3D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glBindTexture(GL_TEXTURE_3D, 0);
  for (int z = 0; z < size; ++z) {
    int red = 0;
    for (int i = 0; i < size * size; ++i) red += texels[(z * size * size + i) * 4] == 255;
    EXPECT_EQ(red, z == 5 ? size * size : 0) << "slice " << z;
  }
  glDeleteTextures(1, &line);
  glDeleteTextures(1, &volume);
}
