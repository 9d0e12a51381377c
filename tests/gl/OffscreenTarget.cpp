// Test render target built directly on GL_EXT_framebuffer_object.
#include "OffscreenTarget.h"

OffscreenTarget::OffscreenTarget(int width, int height, int colourAttachments)
    : width(width), height(height), attachments_(colourAttachments) {
  glGenFramebuffersEXT(1, &framebuffer);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  glGenTextures(attachments_, textures);
  for (int i = 0; i < attachments_; ++i) {
    glBindTexture(GL_TEXTURE_2D, textures[i]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT + i, GL_TEXTURE_2D,
                              textures[i], 0);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

OffscreenTarget::~OffscreenTarget() {
  glDeleteFramebuffersEXT(1, &framebuffer);
  glDeleteTextures(attachments_, textures);
}

void OffscreenTarget::begin(float r, float g, float b, float a) {
  glGetIntegerv(GL_VIEWPORT, savedViewport_);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  const GLenum buffers[2] = {GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT};
  glDrawBuffers(attachments_, buffers);
  glViewport(0, 0, width, height);
  glClearColor(r, g, b, a);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}

void OffscreenTarget::end() {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glViewport(savedViewport_[0], savedViewport_[1], savedViewport_[2], savedViewport_[3]);
}

std::array<int, 4> OffscreenTarget::pixel(int x, int y, int attachment) {
  unsigned char rgba[4] = {0, 0, 0, 0};
  glReadBuffer(GL_COLOR_ATTACHMENT0_EXT + attachment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return {rgba[0], rgba[1], rgba[2], rgba[3]};
}

void drawQuad(float x0, float y0, float x1, float y1) {
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex3f(x0, y0, 0);
  glTexCoord2f(1, 0);
  glVertex3f(x1, y0, 0);
  glTexCoord2f(1, 1);
  glVertex3f(x1, y1, 0);
  glTexCoord2f(0, 1);
  glVertex3f(x0, y1, 0);
  glEnd();
}
