// One off-screen colour target: an RGBA texture drawn through a colour attachment point of the
// shared framebuffer (FBOManager), depth-tested against the shared depth buffer, and always of
// the shared framebuffer's size.
#pragma once

#include <GL/glew.h>

class FBOManager;

class RenderTarget {
 public:
  // Makes the texture, and has `shared` create its framebuffer and depth buffer when they are not
  // of this size. A float format is given as GL_RGBA8 (see the source).
  // Returns with framebuffer 0 bound. A GL error on the way ends the process (status 1).
  RenderTarget(FBOManager& shared, int width, int height, GLenum internalFormat,
               GLenum attachment);

  // Binds the shared framebuffer and depth buffer, attaches the texture and makes its attachment
  // point the only draw buffer; other attachment points keep what they hold.
  void bind();
  // Binds the window's framebuffer.
  void unbind();
  // New storage of the shared framebuffer's current size in the texture's format; its content is
  // undefined until the next frame draws it. Leaves 2-D texture 0 bound.
  void resize();

  FBOManager* shared;
  GLuint texture = 0;
  GLenum attachment;
};
