// One off-screen colour target: an RGBA texture drawn through a colour attachment point of the
// shared framebuffer (FBOManager), depth-tested against the shared depth buffer.
#pragma once

#include <GL/glew.h>

class RenderTarget {
 public:
  // Makes the texture, and the shared framebuffer and depth buffer when none of this size exists.
  // Float formats are used when the driver has float textures, else GL_RGBA. Returns with
  // framebuffer 0 bound. A GL error on the way ends the process (status 1).
  RenderTarget(int width, int height, GLenum internalFormat, GLenum attachment);

  // Binds the shared framebuffer and depth buffer, attaches the texture and makes its attachment
  // point the only draw buffer; other attachment points keep what they hold.
  void bind();
  // Binds the window's framebuffer.
  void unbind();
  // New storage of the manager's current size in the texture's format; its content is undefined
  // until the next frame draws it. Leaves 2-D texture 0 bound.
  void resize();

  GLuint texture = 0;
  GLenum attachment;
};
