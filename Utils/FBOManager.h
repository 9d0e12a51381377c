// The shared off-screen framebuffer and depth buffer that every RenderTarget draws through.
// One size at a time: a target of another size replaces both shared objects.
#pragma once

#include <GL/glew.h>

class FBOManager {
 public:
  static FBOManager* instance();
  // Reports the completeness of the framebuffer bound now on standard output; an incomplete
  // attachment or a status it does not know stops the process through an assertion.
  static void checkStatus();
  // Gives the shared depth buffer a new size (at least 1 x 1); the targets follow with
  // RenderTarget::resize. Leaves the render buffer binding at the depth buffer.
  void resize(int newWidth, int newHeight);

  GLuint framebuffer = 0;
  GLuint depthBuffer = 0;
  int width = 0;
  int height = 0;
  bool created = false;

 private:
  FBOManager() = default;
};
