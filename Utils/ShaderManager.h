// The shader manager of a GL context, owned by whoever draws with it (the desktop's GlBackend):
// starts GLEW, prints the driver capability report, and owns the shader runtime context every
// program it loads lives in, with the error handler installed there.
#pragma once

#include "platform/cg/Cg.h"

class ShaderManager {
 public:
  // Needs a current GL context. Prints the report, ends the process with one line (status 1)
  // when the driver lacks what the frame needs, and makes the runtime context (current, see
  // platform/cg/Cg.h) with onCgError as its handler.
  ShaderManager();
  // Destroys the runtime context with every program in it.
  ~ShaderManager();
  ShaderManager(const ShaderManager&) = delete;
  ShaderManager& operator=(const ShaderManager&) = delete;

  CGcontext getCgContext() const { return cgContext; }

  // Runtime error handler: prints the pending error's text and the current context's latest
  // listing.
  static void onCgError();

  // What a driver offers of what the frame needs, as the current context reports it.
  struct Driver {
    bool framebufferObjects = false;  // GL_EXT_framebuffer_object with every entry point
    int maxDrawBuffers = 0;           // 0 without glDrawBuffers
    bool textures3D = false;
    bool gl20 = false;
    const char* shadingLanguage = nullptr;  // GL_SHADING_LANGUAGE_VERSION, "1.20 ..."
  };
  static Driver currentDriver();
  // The first thing the frame needs that `driver` lacks, in words; null when it has everything:
  // framebuffer objects, two draw buffers, 3-D textures, OpenGL 2.0 with GLSL 1.20.
  static const char* missingCapability(const Driver& driver);

 private:
  static void checkExtensions();
  // Ends the process with one line and status 1 when missingCapability names something.
  static void requireCapabilities();

  CGcontext cgContext = nullptr;
};
