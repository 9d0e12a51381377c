// The process-wide shader manager: starts GLEW, prints the driver capability report once, installs
// the shader runtime error handler and owns the one runtime context every program lives in.
#pragma once

#include "platform/cg/Cg.h"

class ShaderManager {
 public:
  // Creates the manager on the first call (report, handler, context); later calls only return it.
  static ShaderManager* instance();

  CGcontext getCgContext() const { return cgContext; }

  // Runtime error handler: prints the pending error's text and the context's latest listing.
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
  ShaderManager() = default;
  static void checkExtensions();
  // Ends the process with one line and status 1 when missingCapability names something.
  static void requireCapabilities();

  CGcontext cgContext = nullptr;
};
