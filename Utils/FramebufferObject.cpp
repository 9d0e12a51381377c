// Framebuffer object wrapper; warnings and reports go to standard error or the caller's stream.
#include "Utils/FramebufferObject.h"

#include <iostream>

FramebufferObject::FramebufferObject() : id(0), previousId(0) {
  glGenFramebuffersEXT(1, &id);
  // Binding once makes the driver create the object now; the caller's binding stays.
  RestoreBinding(SaveAndBind());
}

FramebufferObject::~FramebufferObject() { glDeleteFramebuffersEXT(1, &id); }

void FramebufferObject::Bind() { glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, id); }

void FramebufferObject::Unbind() { glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0); }

GLint FramebufferObject::SaveAndBind() {
  GLint current = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &current);
  if (static_cast<GLuint>(current) != id) {
    previousId = current;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, id);
  }
  return current;
}

void FramebufferObject::RestoreBinding(GLint previous) {
  if (static_cast<GLuint>(previous) != id) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previous));
  }
}

void FramebufferObject::AttachByTarget(GLenum attachment, GLenum target, GLuint texture,
                                       int level, int slice) {
  if (target == GL_TEXTURE_1D) {
    glFramebufferTexture1DEXT(GL_FRAMEBUFFER_EXT, attachment, GL_TEXTURE_1D, texture, level);
  } else if (target == GL_TEXTURE_3D) {
    glFramebufferTexture3DEXT(GL_FRAMEBUFFER_EXT, attachment, GL_TEXTURE_3D, texture, level,
                              slice);
  } else {
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, attachment, target, texture, level);
  }
}

void FramebufferObject::AttachTexture(GLenum target, GLuint texture, GLenum attachment,
                                      int level, int slice) {
  const GLint previous = SaveAndBind();
  AttachByTarget(attachment, target, texture, level, slice);
  RestoreBinding(previous);
}

void FramebufferObject::AttachTextures(int count, GLenum targets[], GLuint textures[],
                                       GLenum attachments[], int levels[], int slices[]) {
  for (int i = 0; i < count; ++i) {
    AttachTexture(targets[i], textures[i],
                  attachments ? attachments[i] : GL_COLOR_ATTACHMENT0_EXT + i,
                  levels ? levels[i] : 0, slices ? slices[i] : 0);
  }
}

void FramebufferObject::AttachRenderBuffer(GLuint renderBuffer, GLenum attachment) {
  const GLint previous = SaveAndBind();
  GLint type = GL_NONE;
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, attachment,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT, &type);
  // A texture whose name happens to equal the render buffer's is not the render buffer.
  if (type == GL_RENDERBUFFER_EXT && GetAttachedObjectName(attachment) == renderBuffer) {
    std::cerr << "FramebufferObject::AttachRenderBuffer PERFORMANCE WARNING:\n"
              << "\tRedundant bind of Renderbuffer (id = " << renderBuffer << ")\n"
              << "\tHINT : Compile with -DNDEBUG to remove this warning.\n";
  } else {
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, attachment, GL_RENDERBUFFER_EXT,
                                 renderBuffer);
  }
  RestoreBinding(previous);
}

void FramebufferObject::AttachRenderBuffers(int count, GLuint renderBuffers[],
                                            GLenum attachments[]) {
  for (int i = 0; i < count; ++i) {
    AttachRenderBuffer(renderBuffers[i],
                       attachments ? attachments[i] : GL_COLOR_ATTACHMENT0_EXT + i);
  }
}

bool FramebufferObject::CheckFramebufferStatus(std::ostream& out) {
  const GLint previous = SaveAndBind();
  const GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
  bool complete = false;
  const char* line = "Unknown ERROR\n";
  switch (status) {
    case GL_FRAMEBUFFER_COMPLETE_EXT: complete = true; break;
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT:
      line = "GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT\n";
      break;
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT:
      line = "GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT\n";
      break;
    case GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT:
      line = "GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT\n";
      break;
    case GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT:
      line = "GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT\n";
      break;
    case GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT:
      line = "GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT\n";
      break;
    case GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT:
      line = "GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT\n";
      break;
    case GL_FRAMEBUFFER_UNSUPPORTED_EXT: line = "GL_FRAMEBUFFER_UNSUPPORTED_EXT\n"; break;
    default: break;
  }
  if (!complete) out << "FramebufferObject::CheckFramebufferStatus() ERROR:\n\t" << line;
  RestoreBinding(previous);
  return complete;
}

GLuint FramebufferObject::GetAttachedObjectName(GLenum attachment) {
  const GLint previous = SaveAndBind();
  GLint name = 0;
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, attachment,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &name);
  RestoreBinding(previous);
  return static_cast<GLuint>(name);
}
