// Shader manager: capability report lines go to standard output, one flushed line each.
#include "Utils/ShaderManager.h"

#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

void reportIf(bool condition, const char* line) {
  if (condition) std::cout << line << std::endl;
}

}  // namespace

ShaderManager::ShaderManager() {
  checkExtensions();
  requireCapabilities();
  cgContext = cgCreateContext();
  cgSetErrorCallback(&ShaderManager::onCgError);
}

ShaderManager::~ShaderManager() { cgDestroyContext(cgContext); }

void ShaderManager::checkExtensions() {
  const GLenum glewStatus = glewInit();
  if (glewStatus != GLEW_OK) {
    std::cout << reinterpret_cast<const char*>(glewGetErrorString(glewStatus)) << std::endl;
  }
  reportIf(glewGetExtension("GL_NV_framebuffer_multisample_coverage"),
           "GL_NV_framebuffer_multisample_coverage support");
  reportIf(glewGetExtension("GL_EXT_framebuffer_multisample"),
           "GL_EXT_framebuffer_multisample support");
  reportIf(glewIsSupported("GL_NV_framebuffer_multisample_coverage"),
           "GL_NV_framebuffer_multisample_coverage support!");
  reportIf(glewGetExtension("GL_NV_texture_rectangle"), "GL_NV_texture_rectangle support");
  reportIf(glewGetExtension("GL_EXT_framebuffer_object"), "GL_EXT_framebuffer_object support");
  reportIf(glewGetExtension("GL_EXT_renderbuffer_object"), "GL_EXT_renderbuffer_object support");
  reportIf(glewGetExtension("GL_ARB_vertex_buffer_object"),
           "GL_ARB_vertex_buffer_object support");
  reportIf(!glewGetExtension("GL_EXT_pixel_buffer_object"),
           "No GL_EXT_pixel_buffer_object support");
  reportIf(!glewGetExtension("GL_ARB_pixel_buffer_object"),
           "No GL_ARB_pixel_buffer_object support");
  const bool shadingLanguage = glewGetExtension("GL_ARB_fragment_shader") &&
                               glewGetExtension("GL_ARB_vertex_shader") &&
                               glewGetExtension("GL_ARB_shader_objects") &&
                               glewGetExtension("GL_ARB_shading_language_100");
  reportIf(!shadingLanguage, "Driver does not support OpenGL Shading Language");
  if (!glewIsSupported("GL_VERSION_2_0 GL_EXT_framebuffer_object GL_EXT_framebuffer_multisample ")) {
    std::printf("Unable to load extensions GL_EXT_framebuffer_object or "
                "GL_EXT_frambuffer_multisample \n");
    std::fflush(stdout);
  }
}

void ShaderManager::requireCapabilities() {
  const char* missing = missingCapability(currentDriver());
  if (missing == nullptr) return;
  std::cerr << "This OpenGL driver lacks what Quillmarsh needs: " << missing << std::endl;
  std::exit(1);
}

ShaderManager::Driver ShaderManager::currentDriver() {
  Driver driver;
  driver.framebufferObjects =
      GLEW_EXT_framebuffer_object && glGenFramebuffersEXT != nullptr &&
      glBindFramebufferEXT != nullptr && glFramebufferTexture2DEXT != nullptr &&
      glFramebufferTexture3DEXT != nullptr && glCheckFramebufferStatusEXT != nullptr &&
      glGenRenderbuffersEXT != nullptr && glBindRenderbufferEXT != nullptr &&
      glRenderbufferStorageEXT != nullptr && glFramebufferRenderbufferEXT != nullptr &&
      glGetFramebufferAttachmentParameterivEXT != nullptr;
  if (glDrawBuffers != nullptr) glGetIntegerv(GL_MAX_DRAW_BUFFERS, &driver.maxDrawBuffers);
  driver.textures3D = glTexImage3D != nullptr && glTexSubImage3D != nullptr;
  driver.gl20 = GLEW_VERSION_2_0;
  driver.shadingLanguage =
      reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
  return driver;
}

const char* ShaderManager::missingCapability(const Driver& driver) {
  if (!driver.framebufferObjects) return "framebuffer objects (GL_EXT_framebuffer_object)";
  if (driver.maxDrawBuffers < 2)
    return "two draw buffers (glDrawBuffers with GL_MAX_DRAW_BUFFERS >= 2)";
  if (!driver.textures3D) return "3-D textures (OpenGL 1.2)";
  // The program files are GLSL 1.20, which OpenGL 2.0's shader entry points compile.
  int major = 0, minor = 0;
  if (!driver.gl20 || driver.shadingLanguage == nullptr ||
      std::sscanf(driver.shadingLanguage, "%d.%d", &major, &minor) != 2 ||
      major * 100 + minor < 120) {
    return "the OpenGL Shading Language 1.20 (OpenGL 2.0)";
  }
  return nullptr;
}

void ShaderManager::onCgError() {
  const CGerror error = cgGetError();
  if (error == CG_NO_ERROR) return;
  std::cout << cgGetErrorString(error) << std::endl;
  const char* listing = cgGetLastListing(cgGetCurrentContext());
  if (listing != nullptr) std::cout << listing << std::endl;
}
