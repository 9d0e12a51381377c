// Translation of a desktop program file to GLSL ES 3.00: whole identifiers only, so gl_TexCoord
// never touches gl_TexCoordX and comments keep their words.
#include "web/ProgramSource.h"

#include <cctype>
#include <cstring>

namespace {

struct Rename {
  const char* from;
  const char* to;
};

const Rename kRenames[] = {
    {"gl_Vertex", "qm_Vertex"},
    {"gl_Normal", "qm_Normal"},
    {"gl_MultiTexCoord0", "qm_MultiTexCoord0"},
    {"gl_MultiTexCoord1", "qm_MultiTexCoord1"},
    {"gl_TexCoord", "qm_TexCoord"},
    {"gl_ModelViewMatrix", "qm_ModelViewMatrix"},
    {"gl_NormalMatrix", "qm_NormalMatrix"},
    {"gl_FrontColor", "qm_FrontColor"},
    {"gl_FragColor", "qm_FragColor"},
    {"texture2D", "texture"},
    {"texture3D", "qm_texture3D"},
    {"sampler3D", "sampler2DArray"},
};

bool identifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

const char* const kVertexPrelude =
    "#version 300 es\n"
    "precision highp float;\n"
    "#define VERTEX_PROGRAM 1\n"
    "layout(location = 0) in vec4 qm_Vertex;\n"
    "layout(location = 1) in vec3 qm_Normal;\n"
    "layout(location = 2) in vec4 qm_MultiTexCoord0;\n"
    "layout(location = 3) in vec4 qm_MultiTexCoord1;\n"
    "layout(location = 4) in vec4 qm_Color;\n"
    "uniform mat4 qm_ModelViewMatrix;\n"
    "uniform mat4 qm_ProjectionMatrix;\n"
    "uniform mat3 qm_NormalMatrix;\n"
    "out vec4 qm_TexCoord[4];\n"
    "out vec4 qm_FrontColor;\n"
    "vec4 ftransform() { return qm_ProjectionMatrix * (qm_ModelViewMatrix * qm_Vertex); }\n";

const char* const kFragmentPrelude =
    "#version 300 es\n"
    "precision highp float;\n"
    "precision highp sampler2D;\n"
    "precision highp sampler2DArray;\n"
    "#define FRAGMENT_PROGRAM 1\n"
    // A 3-D texture held as the array of its y layers (each an x by z picture), sampled as a
    // linear lookup clamped to the edge samples the 3-D one: bilinear within the layers either
    // side, mixed between them. Within a 1024th of a layer's centre plane (a floor's or a
    // ceiling's lookup) one layer stands for both.
    "const float qm_kOnLayer = 1.0 / 1024.0;\n"
    "vec4 qm_texture3D(sampler2DArray volume, vec3 p) {\n"
    "  float layers = float(textureSize(volume, 0).z);\n"
    "  float y = clamp(p.y * layers - 0.5, 0.0, layers - 1.0);\n"
    "  float below = floor(y);\n"
    "  float above = y - below;\n"
    "  if (above > 1.0 - qm_kOnLayer) {\n"
    "    below += 1.0;\n"
    "    above = 0.0;\n"
    "  }\n"
    "  vec4 texel = texture(volume, vec3(p.xz, below));\n"
    "  if (above > qm_kOnLayer)\n"
    "    texel = mix(texel, texture(volume, vec3(p.xz, below + 1.0)), above);\n"
    "  return texel;\n"
    "}\n"
    "in vec4 qm_TexCoord[4];\n"
    "in vec4 qm_FrontColor;\n"
    "vec4 qm_FragColor;\n"
    "layout(location = 0) out vec4 qm_FragData0;\n";

}  // namespace

std::string ProgramSource::translate(const std::string& file, Stage stage) {
  const bool vertex = stage == Stage::Vertex;
  std::string out = vertex ? kVertexPrelude : kFragmentPrelude;
  // Listings then number the file's own lines, as the desktop layer's do.
  out += "#line 1\n";
  for (size_t i = 0; i < file.size();) {
    if (!identifierChar(file[i])) {
      out += file[i++];
      continue;
    }
    size_t end = i;
    while (end < file.size() && identifierChar(file[end])) ++end;
    const std::string word = file.substr(i, end - i);
    const char* replacement = nullptr;
    for (const Rename& r : kRenames)
      if (word == r.from) replacement = r.to;
    // gl_Color is the vertex's colour in the vertex stage and the interpolated primary colour
    // (what the vertex stage wrote to gl_FrontColor) in the fragment stage.
    if (word == "gl_Color") replacement = vertex ? "qm_Color" : "qm_FrontColor";
    out += replacement != nullptr ? replacement : word;
    i = end;
  }
  out += vertex ? "\nvoid main() { vertex_main(); }\n"
                : "\nvoid main() {\n  fragment_main();\n  qm_FragData0 = qm_FragColor;\n}\n";
  return out;
}
