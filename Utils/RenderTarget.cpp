// Render target creation: progress lines on standard output, each flushed.
#include "Utils/RenderTarget.h"

#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "Utils/FBOManager.h"

namespace {

void exitOnGlError() {
  const GLenum error = glGetError();
  if (error == GL_NO_ERROR) return;
  std::printf(" GL Error: %s\n", reinterpret_cast<const char*>(gluErrorString(error)));
  std::fflush(stdout);
  std::exit(1);
}

bool isFloatFormat(GLenum format) {
  return format == GL_RGBA16F_ARB || format == GL_RGBA32F_ARB || format == GL_RGB16F_ARB ||
         format == GL_RGB32F_ARB;
}

GLenum colourFormat(GLenum requested) {
  if (isFloatFormat(requested) && !(GLEW_ARB_texture_float || GLEW_VERSION_3_0)) return GL_RGBA;
  return requested;
}

}  // namespace

RenderTarget::RenderTarget(int width, int height, GLenum internalFormat, GLenum attachment)
    : attachment(attachment) {
  // An error left pending by earlier, unrelated calls must not be taken for one of ours.
  while (glGetError() != GL_NO_ERROR) {
  }
  FBOManager* manager = FBOManager::instance();
  if (width == manager->width && height == manager->height) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, manager->framebuffer);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, manager->depthBuffer);
  } else {
    if (manager->created) {
      glDeleteFramebuffersEXT(1, &manager->framebuffer);
      glDeleteRenderbuffersEXT(1, &manager->depthBuffer);
    }
    manager->width = width;
    manager->height = height;
    glGenFramebuffersEXT(1, &manager->framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, manager->framebuffer);
    glGenRenderbuffersEXT(1, &manager->depthBuffer);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, manager->depthBuffer);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT, width, height);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                 GL_RENDERBUFFER_EXT, manager->depthBuffer);
    manager->created = true;
    exitOnGlError();
    std::cout << "creating frame and renderbuffer" << std::endl;
  }

  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, colourFormat(internalFormat), width, height, 0, GL_RGBA,
               GL_FLOAT, nullptr);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, attachment, GL_TEXTURE_2D, texture, 0);
  exitOnGlError();
  std::cout << "creating FBO " << std::endl;
  FBOManager::checkStatus();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void RenderTarget::bind() {
  FBOManager* manager = FBOManager::instance();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, manager->framebuffer);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, manager->depthBuffer);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, attachment, GL_TEXTURE_2D, texture, 0);
  glDrawBuffer(attachment);
}

void RenderTarget::resize() {
  const FBOManager* manager = FBOManager::instance();
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint format = GL_RGBA;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  glTexImage2D(GL_TEXTURE_2D, 0, format, manager->width, manager->height, 0, GL_RGBA, GL_FLOAT,
               nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
}

void RenderTarget::unbind() { glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0); }
