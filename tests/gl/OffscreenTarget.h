// A small RGBA8 framebuffer for GL tests to draw into and read back from, with up to two colour
// attachments; the window's framebuffer is never read.
#pragma once

#include <GL/glew.h>

#include <array>

class OffscreenTarget {
 public:
  OffscreenTarget(int width, int height, int colourAttachments = 1);
  ~OffscreenTarget();

  // Binds the framebuffer, sets the viewport and clears to `clear`; identity matrices.
  void begin(float r, float g, float b, float a);
  // Binds framebuffer 0 and restores the viewport and matrices.
  void end();
  // Reads one pixel of colour attachment `attachment` (while bound).
  std::array<int, 4> pixel(int x, int y, int attachment = 0);

  GLuint framebuffer = 0;
  GLuint textures[2] = {0, 0};
  int width;
  int height;

 private:
  int attachments_;
  GLint savedViewport_[4] = {0, 0, 0, 0};
};

// Draws the quad (x0, y0) - (x1, y1) at z = 0 in immediate mode with texture coordinates 0..1.
void drawQuad(float x0, float y0, float x1, float y1);
