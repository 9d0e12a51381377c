// The shared framebuffer: creation, size, attachments and its completeness report.
#include "Utils/FBOManager.h"

#include <GL/glu.h>

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <iostream>

void FBOManager::create(int newWidth, int newHeight) {
  if (created) {
    glDeleteFramebuffersEXT(1, &framebuffer);
    glDeleteRenderbuffersEXT(1, &depthBuffer);
  }
  width = newWidth;
  height = newHeight;
  glGenFramebuffersEXT(1, &framebuffer);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  glGenRenderbuffersEXT(1, &depthBuffer);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depthBuffer);
  glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT, width, height);
  glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                               depthBuffer);
  created = true;
  exitOnGlError();
  std::cout << "creating frame and renderbuffer" << std::endl;
}

void FBOManager::exitOnGlError() {
  const GLenum error = glGetError();
  if (error == GL_NO_ERROR) return;
  std::printf(" GL Error: %s\n", reinterpret_cast<const char*>(gluErrorString(error)));
  std::fflush(stdout);
  std::exit(1);
}

void FBOManager::bind() const {
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depthBuffer);
}

void FBOManager::attach(GLenum attachment, GLuint texture) {
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, attachment, GL_TEXTURE_2D, texture, 0);
}

void FBOManager::resize(int newWidth, int newHeight) {
  width = newWidth > 1 ? newWidth : 1;
  height = newHeight > 1 ? newHeight : 1;
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depthBuffer);
  glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT, width, height);
}

void FBOManager::checkStatus() {
  const GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
  switch (status) {
    case GL_FRAMEBUFFER_COMPLETE_EXT:
      return;
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT:
      std::cout << "GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT:" << std::endl;
      assert(0);
      return;
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT:
      std::cout << "Frame buffer incomplete, missing attachment\n" << std::flush;
      return;
    case GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT:
      std::cout << "Frame buffer incomplete, attached images must have same dimensions\n"
                << std::flush;
      return;
    case GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT:
      std::cout << "Frame buffer incomplete, attached images must have same format\n"
                << std::flush;
      return;
    case GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT:
      std::cout << "Frame buffer incomplete, missing draw buffer\n" << std::flush;
      return;
    case GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT:
      std::cout << "Frame buffer incomplete, missing read buffer\n" << std::flush;
      return;
    case GL_FRAMEBUFFER_UNSUPPORTED_EXT:
      std::cout << "Unsupported framebuffer format\n" << std::flush;
      return;
    default:
      assert(0);
      return;
  }
}
