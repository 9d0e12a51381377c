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

  // The first thing the frame needs that the current context lacks, in words; null when it has
  // everything: framebuffer objects, two draw buffers, 3-D textures, GLSL 1.20.
  static const char* missingCapability();

 private:
  ShaderManager() = default;
  static void checkExtensions();
  // Ends the process with one line and status 1 when missingCapability names something.
  static void requireCapabilities();

  CGcontext cgContext = nullptr;
};
