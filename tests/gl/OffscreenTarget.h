// An RGBA8 framebuffer to draw into and read back, never the window's; end() rebinds the window's.
#pragma once

#include <GL/glew.h>

#include <array>

struct OffscreenTarget {
  OffscreenTarget(int width, int height) : width(width), height(height) {
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  }
  ~OffscreenTarget() { glDeleteFramebuffersEXT(1, &framebuffer); glDeleteTextures(1, &texture); }
  void begin(float r, float g, float b, float a) {
    glPushAttrib(GL_VIEWPORT_BIT | GL_COLOR_BUFFER_BIT);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glViewport(0, 0, width, height);
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  void end() { glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0); glPopAttrib(); }
  std::array<int, 4> pixel(int x, int y) const {  // while bound
    std::array<unsigned char, 4> rgba{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return {rgba[0], rgba[1], rgba[2], rgba[3]};
  }
  GLuint framebuffer = 0, texture = 0;
  int width, height;
};
