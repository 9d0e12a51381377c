// Render targets: RenderTarget shares one framebuffer and depth buffer per size, replaces them at
// a new size and binds its own attachment (FramebufferObject's slice attachments and binding:
// the scene test's slice upload, read back, and the GL baseline after it).
#include "GlTestSupport.h"
#include "Utils/FBOManager.h"
#include "Utils/RenderTarget.h"

TEST(RenderTarget, ASizeSharesOneFramebufferANewSizeReplacesItAndBindDrawsIntoItsAttachment) {
  FBOManager shared, *manager = &shared;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, 0x1234);  // an error pending, not ours
  OutputCapture lines(1);
  RenderTarget old(shared, 32, 16, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT0_EXT);
  const GLuint oldFramebuffer = manager->framebuffer;
  RenderTarget front(shared, 64, 32, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT0_EXT), back(shared, 64, 32, GL_RGBA16F_ARB, GL_COLOR_ATTACHMENT1_EXT);
  EXPECT_EQ(lines.finish(), "creating frame and renderbuffer\ncreating FBO \ncreating frame and renderbuffer\ncreating FBO \ncreating FBO \n");
  EXPECT_FALSE(glIsFramebufferEXT(oldFramebuffer));
  gltest::expectSampling(front.texture, GL_CLAMP_TO_EDGE, GL_REPLACE);
  back.bind();  // front stays attached; only back is drawn into, with the shared depth buffer
  GLint frontName = 0;
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &frontName);
  EXPECT_EQ((std::vector<GLint>{gltest::integer(GL_FRAMEBUFFER_BINDING_EXT), gltest::integer(GL_RENDERBUFFER_BINDING_EXT), frontName,
                                gltest::integer(GL_DRAW_BUFFER0), gltest::integer(GL_DRAW_BUFFER1)}),
            (std::vector<GLint>{static_cast<GLint>(manager->framebuffer), static_cast<GLint>(manager->depthBuffer),
                                static_cast<GLint>(front.texture), GL_COLOR_ATTACHMENT1_EXT, GL_NONE}));
  back.unbind();
  EXPECT_EQ(gltest::integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
  EXPECT_NO_GL_ERROR();
}
