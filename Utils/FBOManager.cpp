// Shared framebuffer singleton and its completeness report.
#include "Utils/FBOManager.h"

#include <cassert>
#include <iostream>

FBOManager* FBOManager::instance() {
  static FBOManager* manager = new FBOManager();  // never destroyed
  return manager;
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
