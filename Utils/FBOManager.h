// The shared off-screen framebuffer and depth buffer the colour targets draw through, and the one
// owner of their size (the window's, in pixels): creates, resizes, binds, attaches, checks.
// One size at a time; the render state owns the one the frame uses.
#pragma once

#include <GL/glew.h>

class FBOManager {
 public:
  // Reports the completeness of the framebuffer bound now on standard output; an incomplete
  // attachment or a status it does not know stops the process through an assertion.
  static void checkStatus();
  // Makes (or replaces) the framebuffer and a depth buffer of width x height, leaves both bound
  // and prints "creating frame and renderbuffer"; a GL error on the way ends the process.
  void create(int newWidth, int newHeight);
  // Gives the depth buffer a new size (at least 1 x 1); the targets follow with
  // RenderTarget::resize. Leaves the render buffer binding at the depth buffer.
  void resize(int newWidth, int newHeight);
  // Binds the framebuffer and its depth buffer.
  void bind() const;
  // Attaches `texture` (0: nothing) at `attachment` of the bound framebuffer.
  static void attach(GLenum attachment, GLuint texture);
  // Ends the process (status 1) with " GL Error: ..." when GL reports an error.
  static void exitOnGlError();

  GLuint framebuffer = 0;
  GLuint depthBuffer = 0;
  int width = 0;
  int height = 0;
  bool created = false;
};
