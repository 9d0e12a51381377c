// One GL_EXT_framebuffer_object framebuffer: attach textures and render buffers, check
// completeness with a readable report, bind for drawing. Operations that change or inspect the
// framebuffer use a guarded bind and leave the caller's binding in force, also when nested.
#pragma once

#include <GL/glew.h>

#include <ostream>

class FramebufferObject {
 public:
  FramebufferObject();
  virtual ~FramebufferObject();

  // Binds this framebuffer without remembering the previous binding.
  void Bind();
  // Binds framebuffer 0, the window's own.
  static void Unbind();

  // Attaches level `level` of `texture`; `slice` is the depth slice of a 3-D texture.
  virtual void AttachTexture(GLenum target, GLuint texture, GLenum attachment, int level,
                             int slice);
  // Element i of each array; absent arrays give GL_COLOR_ATTACHMENT0_EXT + i, level 0, slice 0.
  virtual void AttachTextures(int count, GLenum targets[], GLuint textures[],
                              GLenum attachments[] = nullptr, int levels[] = nullptr,
                              int slices[] = nullptr);
  // Skips, with a warning on standard error, a render buffer already attached at `attachment`.
  virtual void AttachRenderBuffer(GLuint renderBuffer, GLenum attachment);
  // Absent attachments give GL_COLOR_ATTACHMENT0_EXT + i.
  virtual void AttachRenderBuffers(int count, GLuint renderBuffers[],
                                   GLenum attachments[] = nullptr);

  // True when complete; otherwise writes the report to `out` and returns false.
  bool CheckFramebufferStatus(std::ostream& out);
  // Name of the object attached at `attachment`, 0 when none.
  GLuint GetAttachedObjectName(GLenum attachment);

 protected:
  // The two halves of the guarded bind. Callers keep the binding SaveAndBind returns in a local
  // and hand it to RestoreBinding, so that a nested guarded operation cannot lose it.
  GLint SaveAndBind();
  void RestoreBinding(GLint previous);
  // The attachment call chosen by texture target; this framebuffer must be bound.
  void AttachByTarget(GLenum attachment, GLenum target, GLuint texture, int level, int slice);

  GLuint id;
  // Binding that was current when the outermost running guarded operation began.
  GLint previousId;
};
