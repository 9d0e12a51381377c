// The desktop's program files (media/*.cg, GLSL 1.20, both stages in one file) turned into GLSL
// ES 3.00 for WebGL 2, so that both backends shade from the same text; the GL 2 built-ins a file
// reads become the inputs and uniforms named below, which the browser backend feeds. A sampler3D
// becomes a 2-D array texture of the volume's y layers (each an x by z picture), which texture3D
// reads as a linear 3-D lookup clamped to the edge would: SwiftShader filters two layers far
// faster than one 3-D texture, and a floor's lookup needs one.
#pragma once

#include <string>

class ProgramSource {
 public:
  enum class Stage { Vertex, Fragment };

  // Vertex inputs (attribute locations) and uniforms standing in for GL 2's built-ins.
  static constexpr int kPositionAttribute = 0;   // gl_Vertex
  static constexpr int kNormalAttribute = 1;     // gl_Normal
  static constexpr int kTexCoord0Attribute = 2;  // gl_MultiTexCoord0
  static constexpr int kTexCoord1Attribute = 3;  // gl_MultiTexCoord1
  static constexpr int kColorAttribute = 4;      // gl_Color of the vertex stage
  static constexpr const char* kModelView = "qm_ModelViewMatrix";
  static constexpr const char* kProjection = "qm_ProjectionMatrix";
  static constexpr const char* kNormalMatrix = "qm_NormalMatrix";

  // The GLSL ES 3.00 text of `stage` of the program file text `file`: a prelude declaring the
  // stand-ins, the file with every built-in GL 2 name it uses replaced, and main() calling the
  // stage's entry point. A name outside the table is left as it is, so the compiler reports it.
  static std::string translate(const std::string& file, Stage stage);
};
