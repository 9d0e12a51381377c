// WebRenderer: each pass follows its desktop counterpart (render/SceneRenderFrame.cpp) in targets,
// attachments, draw buffers, blending and order; immediate-mode quads become two triangles each
// in a vertex buffer, and fixed-function fog and texture copies small programs of their own.
#include "web/WebRenderer.h"

#include <GLES3/gl3.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <utility>

#include "app/ViewCamera.h"
#include "platform/FileReader.h"
#include "platform/image/Image.h"
#include "render/BlockFaces.h"
#include "render/FramePlan.h"
#include "render/RenderState.h"
#include "world/CellPick.h"
#include "web/ProgramSource.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

namespace {

// As on the desktop: the room fades into the clear colour by the visibility rays' range.
const float kFogRange = static_cast<float>(ColorMap::kRayRange);
const double kFieldOfViewDegrees = 60.0;
const double kNear = 0.1, kFar = 1000.0;
// Floats per vertex of the block and glass passes: position, normal, texture coordinate.
constexpr int kBlockStride = 8;
// As the desktop's texture loader (Utils/TextureLoader.h): a side within every driver's limit.
constexpr Image::Limits kTextureLimits{2048, 16u << 20, "texture"};
// Texture units of the samplers, as the desktop layer hands them out.
constexpr int kVolumeUnit = 0, kTileUnit = 1, kBackgroundUnit = 2;

// The desktop's fixed-function emitter colour with linear fog to black over the fog coordinate
// (fog changes the colour, not alpha).
const char* const kEmitterVertex =
    "#version 300 es\n"
    "layout(location = 0) in vec3 position;\n"
    "layout(location = 1) in vec4 colour;\n"
    "layout(location = 2) in float fogCoord;\n"
    "uniform mat4 modelViewProjection;\n"
    "out vec4 flatColour;\n"
    "out float fogDistance;\n"
    "void main() {\n"
    "  flatColour = colour;\n"
    "  fogDistance = fogCoord;\n"
    "  gl_Position = modelViewProjection * vec4(position, 1.0);\n"
    "}\n";
const char* const kEmitterFragment =
    "#version 300 es\n"
    "precision highp float;\n"
    "uniform vec2 fogStartEnd;\n"
    "in vec4 flatColour;\n"
    "in float fogDistance;\n"
    "layout(location = 0) out vec4 fragColour0;\n"
    "layout(location = 1) out vec4 fragColour1;\n"
    "void main() {\n"
    "  float span = fogStartEnd.y - fogStartEnd.x;\n"
    "  float keep = clamp((fogStartEnd.y - fogDistance) / span, 0.0, 1.0);\n"
    "  fragColour0 = vec4(flatColour.rgb * keep, flatColour.a);\n"
    "  fragColour1 = fragColour0;\n"
    "}\n";
// The target on the whole canvas, texel for pixel (one triangle over the screen).
const char* const kPresentVertex =
    "#version 300 es\n"
    "out vec2 uv;\n"
    "void main() {\n"
    "  vec2 corner = vec2(float((gl_VertexID << 1) & 2), float(gl_VertexID & 2));\n"
    "  uv = corner;\n"
    "  gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);\n"
    "}\n";
const char* const kPresentFragment =
    "#version 300 es\n"
    "precision highp float;\n"
    "uniform sampler2D shown;\n"
    "in vec2 uv;\n"
    "out vec4 fragColour;\n"
    "void main() { fragColour = vec4(texture(shown, uv).rgb, 1.0); }\n";
// One point per cell at its texel's centre of a layer of the light volume.
const char* const kSliceVertex =
    "#version 300 es\n"
    "layout(location = 0) in vec2 texel;\n"
    "layout(location = 1) in vec3 colour;\n"
    "uniform vec2 layerSize;\n"
    "out vec3 light;\n"
    "void main() {\n"
    "  light = colour;\n"
    "  gl_PointSize = 1.0;\n"
    "  gl_Position = vec4(texel / layerSize * 2.0 - 1.0, 0.0, 1.0);\n"
    "}\n";
const char* const kSliceFragment =
    "#version 300 es\n"
    "precision highp float;\n"
    "in vec3 light;\n"
    "out vec4 fragColour;\n"
    "void main() { fragColour = vec4(light, 1.0); }\n";

// The picked cell's outline: lines in one colour, after the frame is shown.
const char* const kLineVertex =
    "#version 300 es\n"
    "layout(location = 0) in vec3 position;\n"
    "uniform mat4 modelViewProjection;\n"
    "void main() { gl_Position = modelViewProjection * vec4(position, 1.0); }\n";
const char* const kLineFragment =
    "#version 300 es\n"
    "precision highp float;\n"
    "uniform vec3 colour;\n"
    "out vec4 fragColour;\n"
    "void main() { fragColour = vec4(colour, 1.0); }\n";

unsigned compile(GLenum type, const std::string& text, const std::string& name,
                 std::string& error) {
  const GLuint shader = glCreateShader(type);
  const char* source = text.c_str();
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_TRUE) return shader;
  char log[2048] = "";
  glGetShaderInfoLog(shader, sizeof log, nullptr, log);
  error = "shader program \"" + name + "\" (" +
          (type == GL_VERTEX_SHADER ? "vertex_main" : "fragment_main") +
          ") did not compile: " + log;
  glDeleteShader(shader);
  return 0;
}

unsigned link(const std::string& vertexText, const std::string& fragmentText,
              const std::string& name, std::string& error) {
  const GLuint vertex = compile(GL_VERTEX_SHADER, vertexText, name, error);
  if (vertex == 0) return 0;
  const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentText, name, error);
  if (fragment == 0) return 0;
  const GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  GLint ok = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok == GL_TRUE) return program;
  char log[2048] = "";
  glGetProgramInfoLog(program, sizeof log, nullptr, log);
  error = "shader programs of \"" + name + "\" do not link together: " + log;
  return 0;
}

// A desktop program file, both stages, in GLSL ES 3.00.
unsigned linkFile(const char* fileName, std::string& error) {
  std::string text;
  if (!FileReader::read(fileName, 1u << 20, "a program file", text, error)) {
    error = "cannot read \"" + std::string(fileName) + "\": " + error;
    return 0;
  }
  return link(ProgramSource::translate(text, ProgramSource::Stage::Vertex),
              ProgramSource::translate(text, ProgramSource::Stage::Fragment), fileName, error);
}

bool loadTile(const char* fileName, unsigned* texture, std::string& error) {
  Image picture;
  if (!picture.load(fileName, error, kTextureLimits)) {
    error = "cannot use texture \"" + std::string(fileName) + "\": " + error;
    return false;
  }
  glGenTextures(1, texture);
  glBindTexture(GL_TEXTURE_2D, *texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, picture.width, picture.height, 0, GL_RGB,
               GL_UNSIGNED_BYTE, picture.pixels.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glBindTexture(GL_TEXTURE_2D, 0);
  return true;
}

void setSampler(unsigned program, const char* name, int unit) {
  glUniform1i(glGetUniformLocation(program, name), unit);
}

void multiply(const float a[16], const float b[16], float out[16]) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a[k * 4 + r] * b[c * 4 + k];
      out[c * 4 + r] = sum;
    }
}

}  // namespace

WebRenderer& WebRenderer::instance() {
  static WebRenderer renderer;
  return renderer;
}

bool WebRenderer::init(std::string& error) {
  if (ready) return true;
  blockProgram = linkFile("media/TessaryShader.cg", error);
  if (blockProgram == 0) return false;
  glassProgram = linkFile("media/TessaryShaderRefraktion.cg", error);
  if (glassProgram == 0) return false;
  emitterProgram = link(kEmitterVertex, kEmitterFragment, "emitter colour", error);
  presentProgram = link(kPresentVertex, kPresentFragment, "presentation", error);
  sliceProgram = link(kSliceVertex, kSliceFragment, "light slices", error);
  lineProgram = link(kLineVertex, kLineFragment, "outline", error);
  if (emitterProgram == 0 || presentProgram == 0 || sliceProgram == 0 || lineProgram == 0)
    return false;
  if (!loadTile("media/textures/tile2.jpg", &tileTex, error) ||
      !loadTile("media/textures/tileglass1.jpg", &glassTileTex, error))
    return false;

  glUseProgram(blockProgram);
  setSampler(blockProgram, "light_volume", kVolumeUnit);
  setSampler(blockProgram, "tile_tex", kTileUnit);
  glUniform1f(glGetUniformLocation(blockProgram, "fog_range"), kFogRange);
  glUseProgram(glassProgram);
  setSampler(glassProgram, "light_volume", kVolumeUnit);
  setSampler(glassProgram, "tile_tex", kTileUnit);
  setSampler(glassProgram, "background", kBackgroundUnit);
  glUniform1f(glGetUniformLocation(glassProgram, "fog_range"), kFogRange);
  glUseProgram(emitterProgram);
  glUniform2f(glGetUniformLocation(emitterProgram, "fogStartEnd"), 0.5f * kFogRange, kFogRange);
  glUseProgram(presentProgram);
  setSampler(presentProgram, "shown", 0);
  glUseProgram(0);

  glGenVertexArrays(1, &vertexArray);
  glBindVertexArray(vertexArray);
  glGenBuffers(1, &vertexBuffer);
  glGenBuffers(1, &indexBuffer);
  glGenFramebuffers(1, &framebuffer);
  glGenFramebuffers(1, &copyFramebuffer);
  glGenFramebuffers(1, &volumeFramebuffer);
  glGenRenderbuffers(1, &depthBuffer);
  glGenTextures(2, targets);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  ready = true;
  return true;
}

void WebRenderer::createLightVolume(int sizeX, int sizeY, int sizeZ) {
  if (lightVolumeTex != 0) glDeleteTextures(1, &lightVolumeTex);
  volumeSize[0] = sizeX, volumeSize[1] = sizeY, volumeSize[2] = sizeZ;
  // RGBA8, as the desktop's.
  std::vector<unsigned char> black(static_cast<size_t>(sizeX) * sizeY * sizeZ * 4, 0);
  glGenTextures(1, &lightVolumeTex);
  glBindTexture(GL_TEXTURE_3D, lightVolumeTex);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA8, sizeX, sizeY, sizeZ, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               black.data());
  glBindTexture(GL_TEXTURE_3D, 0);
}

void WebRenderer::uploadLight(LightGrid& g, bool cpuPath) {
  if (cpuPath) {
    // The texels the step made, as the desktop uploads them.
    glBindTexture(GL_TEXTURE_3D, lightVolumeTex);
    glTexSubImage3D(GL_TEXTURE_3D, 0, 0, 0, 0, g.sizeX, g.sizeY, g.sizeZ, GL_RGBA,
                    GL_UNSIGNED_BYTE, g.lightTexels());
    glBindTexture(GL_TEXTURE_3D, 0);
    return;
  }
  // Slice path: every layer's points in one buffer, drawn layer by layer into the volume.
  vertices.clear();
  for (int z = 0; z < g.sizeZ; ++z)
    for (int y = 0; y < g.sizeY; ++y)
      for (int x = 0; x < g.sizeX; ++x) {
        const GridCell cell = g.getCell(x, y, z);
        vertices.insert(vertices.end(),
                        {static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f,
                         LightGrid::compressLight(cell.light[0]),
                         LightGrid::compressLight(cell.light[1]),
                         LightGrid::compressLight(cell.light[2])});
      }
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)),
               vertices.data(), GL_STREAM_DRAW);
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 5 * sizeof(float), nullptr);
  glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 5 * sizeof(float),
                        reinterpret_cast<const void*>(2 * sizeof(float)));
  glUseProgram(sliceProgram);
  glUniform2f(glGetUniformLocation(sliceProgram, "layerSize"), static_cast<float>(g.sizeX),
              static_cast<float>(g.sizeY));
  glBindFramebuffer(GL_FRAMEBUFFER, volumeFramebuffer);
  const GLenum attachment = GL_COLOR_ATTACHMENT0;
  glDrawBuffers(1, &attachment);
  glViewport(0, 0, g.sizeX, g.sizeY);
  glDisable(GL_DEPTH_TEST);
  const int perLayer = g.sizeX * g.sizeY;
  for (int z = 0; z < g.sizeZ; ++z) {
    glFramebufferTextureLayer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, lightVolumeTex, 0, z);
    glClear(GL_COLOR_BUFFER_BIT);
    glDrawArrays(GL_POINTS, z * perLayer, perLayer);
  }
  glDisableVertexAttribArray(1);
  glDisableVertexAttribArray(0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glEnable(GL_DEPTH_TEST);
  glViewport(0, 0, width, height);
  glUseProgram(0);
}

void WebRenderer::resize(int newWidth, int newHeight) {
  if (newWidth == width && newHeight == height) return;
  width = newWidth;
  height = newHeight;
  for (unsigned target : targets) {
    glBindTexture(GL_TEXTURE_2D, target);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16F, width, height, 0, GL_RGBA, GL_HALF_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width, height);
  const double aspect = static_cast<double>(width) / static_cast<double>(height);
  const double f = 1.0 / std::tan(kFieldOfViewDegrees * M_PI / 360.0);
  for (float& v : projection) v = 0.0f;
  projection[0] = static_cast<float>(f / aspect);
  projection[5] = static_cast<float>(f);
  projection[10] = static_cast<float>((kFar + kNear) / (kNear - kFar));
  projection[11] = -1.0f;
  projection[14] = static_cast<float>(2.0 * kFar * kNear / (kNear - kFar));
}

void WebRenderer::bindQuadIndices(size_t quads) {
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  if (quads <= indexQuads) return;
  indexQuads = quads * 2;
  std::vector<unsigned> indices;
  indices.reserve(indexQuads * 6);
  for (unsigned q = 0; q < indexQuads; ++q)
    indices.insert(indices.end(), {4 * q, 4 * q + 1, 4 * q + 2, 4 * q, 4 * q + 2, 4 * q + 3});
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(unsigned)),
               indices.data(), GL_STATIC_DRAW);
}

size_t WebRenderer::sendBlockVertices() {
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)),
               vertices.data(), GL_STREAM_DRAW);
  for (int a = 0; a < 3; ++a) glEnableVertexAttribArray(a);
  const GLsizei stride = kBlockStride * sizeof(float);
  glVertexAttribPointer(ProgramSource::kPositionAttribute, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
  glVertexAttribPointer(ProgramSource::kNormalAttribute, 3, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(3 * sizeof(float)));
  glVertexAttribPointer(ProgramSource::kTexCoord0Attribute, 2, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(6 * sizeof(float)));
  const size_t quads = vertices.size() / (4 * kBlockStride);
  bindQuadIndices(quads);
  return quads;
}

void WebRenderer::setMatrices(unsigned program) {
  glUniformMatrix4fv(glGetUniformLocation(program, ProgramSource::kModelView), 1, GL_FALSE,
                     modelView);
  glUniformMatrix4fv(glGetUniformLocation(program, ProgramSource::kProjection), 1, GL_FALSE,
                     projection);
  // The view is a rigid motion: its rotation is its own inverse transpose.
  const float normal[9] = {modelView[0], modelView[1], modelView[2], modelView[4], modelView[5],
                           modelView[6], modelView[8], modelView[9], modelView[10]};
  glUniformMatrix3fv(glGetUniformLocation(program, ProgramSource::kNormalMatrix), 1, GL_FALSE,
                     normal);
}

void WebRenderer::drawFrame(RenderState& state, const LightGrid& grid, const ViewCamera& camera,
                            int debugView) {
  for (int i = 0; i < 16; ++i) modelView[i] = camera.glViewMatrix[i];
  const Vec3 eyeVec = camera.position();
  const float eye[3] = {eyeVec.x, eyeVec.y, eyeVec.z};
  const float dimension[3] = {static_cast<float>(grid.sizeX), static_cast<float>(grid.sizeY),
                              static_cast<float>(grid.sizeZ)};
  glBindVertexArray(vertexArray);
  planFrame(state, grid, eye);
  drawOpaquePass(state, eye, dimension);
  drawEmitterPass(state, grid, eye);
  drawGlassPass(state, grid, eye, dimension);
  present(state, debugView);
}

void WebRenderer::planFrame(RenderState& state, const LightGrid& grid, const float eye[3]) {
  state.frustum.extractFrom(projection, modelView);
  FramePlan::build(grid, state.frustum, eye, state.opaqueBlocks, state.emitterCells,
                   state.glassCells);
  FramePlan::joinFaces(state.opaqueBlocks, state.opaqueRuns);
}

void WebRenderer::drawOpaquePass(RenderState& state, const float eye[3],
                                 const float dimension[3]) {
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, targets[0], 0);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT1, GL_TEXTURE_2D, targets[1], 0);
  // Only the back target is drawn, as on the desktop.
  GLenum buffers[2] = {GL_NONE, GL_NONE};
  buffers[state.backTarget] = GL_COLOR_ATTACHMENT0 + state.backTarget;
  glDrawBuffers(2, buffers);
  glViewport(0, 0, width, height);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  vertices.clear();
  float corners[4][3];
  float texCoords[4][2];
  for (const FaceRun& run : state.opaqueRuns) {
    FramePlan::runQuad(run, corners, texCoords);
    const int* n = kBlockFaces[run.face].normal;
    for (int v = 0; v < 4; ++v)
      vertices.insert(vertices.end(),
                      {corners[v][0], corners[v][1], corners[v][2], static_cast<float>(n[0]),
                       static_cast<float>(n[1]), static_cast<float>(n[2]), texCoords[v][0],
                       texCoords[v][1]});
  }
  if (vertices.empty()) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return;
  }
  glUseProgram(blockProgram);
  setMatrices(blockProgram);
  glUniform3fv(glGetUniformLocation(blockProgram, "dimension"), 1, dimension);
  glUniform3fv(glGetUniformLocation(blockProgram, "eye_pos"), 1, eye);
  glActiveTexture(GL_TEXTURE0 + kVolumeUnit);
  glBindTexture(GL_TEXTURE_3D, lightVolumeTex);
  glActiveTexture(GL_TEXTURE0 + kTileUnit);
  glBindTexture(GL_TEXTURE_2D, tileTex);
  glActiveTexture(GL_TEXTURE0);

  const size_t quads = sendBlockVertices();
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(quads * 6), GL_UNSIGNED_INT, nullptr);
  for (int a = 0; a < 3; ++a) glDisableVertexAttribArray(a);
  glUseProgram(0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void WebRenderer::drawEmitterPass(RenderState& state, const LightGrid& grid,
                                  const float eye[3]) {
  FramePlan::emitterVertices(state.emitterCells, grid, eye, state.emitterVertices);
  const std::vector<EmitterVertex>& corners = state.emitterVertices;
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  if (!corners.empty()) {
    float mvp[16];
    multiply(projection, modelView, mvp);
    glUseProgram(emitterProgram);
    glUniformMatrix4fv(glGetUniformLocation(emitterProgram, "modelViewProjection"), 1, GL_FALSE,
                       mvp);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(corners.size() * sizeof corners[0]),
                 corners.data(), GL_STREAM_DRAW);
    for (int a = 0; a < 3; ++a) glEnableVertexAttribArray(a);
    const GLsizei stride = sizeof(EmitterVertex);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(EmitterVertex, position)));
    glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(EmitterVertex, colour)));
    glVertexAttribPointer(2, 1, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(EmitterVertex, fog)));
    const size_t quads = corners.size() / 4;
    bindQuadIndices(quads);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(quads * 6), GL_UNSIGNED_INT, nullptr);
    for (int a = 0; a < 3; ++a) glDisableVertexAttribArray(a);
    glUseProgram(0);
  }
  // The glass pass reads the front target as the image behind the panes.
  if (!state.glassCells.empty()) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0 + state.backTarget);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, copyFramebuffer);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                           targets[state.frontTarget], 0);
    const GLenum attachment = GL_COLOR_ATTACHMENT0;
    glDrawBuffers(1, &attachment);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void WebRenderer::drawGlassPass(RenderState& state, const LightGrid& grid, const float eye[3],
                                const float dimension[3]) {
  // Each glass cube as drawBlockFaces draws it: half edge 0.45, 0.5 on the sides it reaches.
  const unsigned sideBit[3][2] = {{4u, 8u}, {32u, 16u}, {2u, 1u}};
  vertices.clear();
  glassFirst.clear();
  glassCount.clear();
  for (const GlassCell& glass : state.glassCells) {
    const float centre[3] = {static_cast<float>(glass.x), static_cast<float>(glass.y),
                             static_cast<float>(glass.z)};
    float extent[3][2];
    for (int axis = 0; axis < 3; ++axis)
      for (int plus = 0; plus < 2; ++plus)
        extent[axis][plus] = (glass.reach & sideBit[axis][plus]) != 0 ? FramePlan::kBlockHalfSize
                                                                      : FramePlan::kGlassHalfSize;
    glassFirst.push_back(static_cast<unsigned>(vertices.size() / (4 * kBlockStride)));
    unsigned count = 0;
    for (const BlockFace& face : kBlockFaces) {
      if ((glass.faces & face.bit) == 0) continue;
      ++count;
      for (int v = 0; v < 4; ++v) {
        float corner[3];
        for (int axis = 0; axis < 3; ++axis)
          corner[axis] = centre[axis] + (face.corners[v][axis] > 0 ? extent[axis][1]
                                                                   : -extent[axis][0]);
        vertices.insert(vertices.end(),
                        {corner[0], corner[1], corner[2], static_cast<float>(face.normal[0]),
                         static_cast<float>(face.normal[1]), static_cast<float>(face.normal[2]),
                         face.texCoords[v][0], face.texCoords[v][1]});
      }
    }
    glassCount.push_back(count);
  }

  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  // The front target is sampled: it must not stay attached to the framebuffer drawn into.
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + state.frontTarget, GL_TEXTURE_2D,
                         0, 0);
  GLenum buffers[2] = {GL_NONE, GL_NONE};
  buffers[state.backTarget] = GL_COLOR_ATTACHMENT0 + state.backTarget;
  glDrawBuffers(2, buffers);
  if (!vertices.empty()) {
    glUseProgram(glassProgram);
    setMatrices(glassProgram);
    glUniform3fv(glGetUniformLocation(glassProgram, "dimension"), 1, dimension);
    glUniform3fv(glGetUniformLocation(glassProgram, "eye_pos"), 1, eye);
    glUniform2f(glGetUniformLocation(glassProgram, "target_texel"),
                1.0f / static_cast<float>(width), 1.0f / static_cast<float>(height));
    const GLint opacity = glGetUniformLocation(glassProgram, "opacity");
    glActiveTexture(GL_TEXTURE0 + kVolumeUnit);
    glBindTexture(GL_TEXTURE_3D, lightVolumeTex);
    glActiveTexture(GL_TEXTURE0 + kTileUnit);
    glBindTexture(GL_TEXTURE_2D, glassTileTex);
    glActiveTexture(GL_TEXTURE0 + kBackgroundUnit);
    glBindTexture(GL_TEXTURE_2D, targets[state.frontTarget]);
    glActiveTexture(GL_TEXTURE0);

    sendBlockVertices();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (size_t i = 0; i < state.glassCells.size(); ++i) {
      const GlassCell& glass = state.glassCells[i];
      const float cellOpacity = grid.getCell(glass.x, glass.y, glass.z).opacity;
      glUniform1f(opacity, cellOpacity);
      // The program bends the pane's normal away from the cell's centre.
      glVertexAttrib4f(ProgramSource::kTexCoord1Attribute, static_cast<float>(glass.x),
                       static_cast<float>(glass.y), static_cast<float>(glass.z), 1.0f);
      glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(glassCount[i] * 6), GL_UNSIGNED_INT,
                     reinterpret_cast<const void*>(static_cast<size_t>(glassFirst[i]) * 6 *
                                                   sizeof(unsigned)));
    }
    glDisable(GL_BLEND);
    for (int a = 0; a < 3; ++a) glDisableVertexAttribArray(a);
    glUseProgram(0);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  std::swap(state.frontTarget, state.backTarget);
}

void WebRenderer::present(const RenderState& state, int debugView) {
  // The debug view shows the image the glass was blended over; with no glass in view that is
  // the frame itself, and the back target was not refreshed.
  const int shown =
      debugView == 0 || state.glassCells.empty() ? state.frontTarget : state.backTarget;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width, height);
  glDisable(GL_DEPTH_TEST);
  glUseProgram(presentProgram);
  glBindTexture(GL_TEXTURE_2D, targets[shown]);
  // Texel for pixel: nearest; the glass pass reads the target with linear filtering.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  glUseProgram(0);
  glEnable(GL_DEPTH_TEST);
}

void WebRenderer::drawOutline(const CellPick& pick, const ViewCamera& camera) {
  if (!pick.hit) return;
  // As the desktop's edit view: the faces turned to the eye, a little outside the cube; a floor
  // or ceiling cell only the face the ray met. Light grey, over the frame.
  const float h = 0.51f, grey = 230.0f / 255.0f;
  const float centre[3] = {static_cast<float>(pick.cell[0]), static_cast<float>(pick.cell[1]),
                           static_cast<float>(pick.cell[2])};
  const bool faceOnly = pick.normal[1] != 0;
  const Vec3 eye = camera.position();
  const float eyeAt[3] = {eye.x, eye.y, eye.z};
  vertices.clear();
  for (const BlockFace& face : kBlockFaces) {
    if (faceOnly && face.normal[1] != pick.normal[1]) continue;
    float facing = 0.0f;
    for (int axis = 0; axis < 3; ++axis)
      facing += (eyeAt[axis] - (centre[axis] + h * face.normal[axis])) * face.normal[axis];
    if (facing <= 0.0f) continue;
    for (int v = 0; v < 4; ++v)
      for (const int corner : {v, (v + 1) % 4})
        for (int axis = 0; axis < 3; ++axis)
          vertices.push_back(centre[axis] + h * static_cast<float>(face.corners[corner][axis]));
  }
  if (vertices.empty()) return;
  float mvp[16];
  multiply(projection, modelView, mvp);
  glDisable(GL_DEPTH_TEST);
  glUseProgram(lineProgram);
  glUniformMatrix4fv(glGetUniformLocation(lineProgram, "modelViewProjection"), 1, GL_FALSE, mvp);
  glUniform3f(glGetUniformLocation(lineProgram, "colour"), grey, grey, grey);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)),
               vertices.data(), GL_STREAM_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 3 * sizeof(float), nullptr);
  glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(vertices.size() / 3));
  glDisableVertexAttribArray(0);
  glUseProgram(0);
  glEnable(GL_DEPTH_TEST);
}
