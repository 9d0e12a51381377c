// Render target creation: progress lines on standard output, each flushed.
#include "Utils/RenderTarget.h"

#include <iostream>

#include "Utils/FBOManager.h"
#include "platform/gl/TextureSetUp.h"

namespace {

bool isFloatFormat(GLenum format) {
  return format == GL_RGBA16F_ARB || format == GL_RGBA32F_ARB || format == GL_RGB16F_ARB ||
         format == GL_RGB32F_ARB;
}

// A float request gets 8 bits a channel: the passes write colour already encoded for display,
// which the window keeps in 8 bits anyway, and every pass, the glass pass's copy and the
// presentation then move half the bytes (or less) of half floats.
GLenum colourFormat(GLenum requested) { return isFloatFormat(requested) ? GL_RGBA8 : requested; }

}  // namespace

RenderTarget::RenderTarget(FBOManager& shared, int width, int height, GLenum internalFormat,
                           GLenum attachment)
    : shared(&shared), attachment(attachment) {
  // An error left pending by earlier, unrelated calls must not be taken for one of ours.
  while (glGetError() != GL_NO_ERROR) {
  }
  if (shared.created && width == shared.width && height == shared.height) {
    shared.bind();
  } else {
    shared.create(width, height);
  }

  texture = gltex::newTexture(GL_TEXTURE_2D, GL_LINEAR, GL_CLAMP_TO_EDGE);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glTexImage2D(GL_TEXTURE_2D, 0, colourFormat(internalFormat), width, height, 0, GL_RGBA,
               GL_FLOAT, nullptr);
  FBOManager::attach(attachment, texture);
  FBOManager::exitOnGlError();
  std::cout << "creating FBO " << std::endl;
  FBOManager::checkStatus();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void RenderTarget::bind() {
  shared->bind();
  FBOManager::attach(attachment, texture);
  glDrawBuffer(attachment);
}

void RenderTarget::resize() {
  const FBOManager* manager = shared;
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint format = GL_RGBA;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  glTexImage2D(GL_TEXTURE_2D, 0, format, manager->width, manager->height, 0, GL_RGBA, GL_FLOAT,
               nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
}

void RenderTarget::unbind() { glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0); }
