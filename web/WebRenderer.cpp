// WebRenderer: each operation follows its desktop counterpart in what it draws into, copies,
// blends and in its order; quads become two triangles each through one index buffer, and
// fixed-function fog, texture copies, overlays and text small programs of their own.
#include "web/WebRenderer.h"

#include <GLES3/gl3.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/FileReader.h"
#include "platform/gl/TextureSetUp.h"
#include "platform/image/Image.h"
#include "web/ProgramSource.h"
#include "world/LightGrid.h"

namespace {

// As the desktop's texture loader (Utils/TextureLoader.h): a side within every driver's limit.
constexpr Image::Limits kTextureLimits{2048, 16u << 20, "texture"};
// Texture units of the samplers, as the desktop layer hands them out.
constexpr int kVolumeUnit = 0, kTileUnit = 1, kBackgroundUnit = 2;
// The vertex attributes sendBlockQuads feeds from a BlockVertex.
constexpr int kBlockAttributes[] = {ProgramSource::kPositionAttribute,
                                    ProgramSource::kNormalAttribute,
                                    ProgramSource::kTexCoord0Attribute,
                                    ProgramSource::kColorAttribute};

// The desktop's fixed-function emitter colour with linear fog to kFaintest over the fog
// coordinate (fog changes the colour, not alpha).
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
    "uniform vec3 fogColour;\n"
    "in vec4 flatColour;\n"
    "in float fogDistance;\n"
    "out vec4 fragColour;\n"
    "void main() {\n"
    "  float span = fogStartEnd.y - fogStartEnd.x;\n"
    "  float keep = clamp((fogStartEnd.y - fogDistance) / span, 0.0, 1.0);\n"
    "  fragColour = vec4(mix(fogColour, flatColour.rgb, keep), flatColour.a);\n"
    "}\n";
// The copy behind the glass on the whole canvas, texel for pixel (one triangle over the screen).
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

// Lines in one colour through the frame's matrices, after the frame is shown.
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

// The visibility map: a textured quad placed in window pixels, texel for column.
const char* const kOverlayVertex =
    "#version 300 es\n"
    "layout(location = 0) in vec2 position;\n"
    "layout(location = 1) in vec2 texCoord;\n"
    "uniform vec2 windowSize;\n"
    "out vec2 uv;\n"
    "void main() {\n"
    "  uv = texCoord;\n"
    "  gl_Position = vec4(position / windowSize * 2.0 - 1.0, 0.0, 1.0);\n"
    "}\n";
const char* const kOverlayFragment =
    "#version 300 es\n"
    "precision highp float;\n"
    "uniform sampler2D marks;\n"
    "in vec2 uv;\n"
    "out vec4 fragColour;\n"
    "void main() { fragColour = vec4(texture(marks, uv).rgb, 1.0); }\n";

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
  *texture = gltex::newTexture(GL_TEXTURE_2D, GL_LINEAR, GL_REPEAT);
  gltex::uploadPacked(GL_RGB8, picture.width, picture.height, GL_RGB, picture.pixels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return true;
}

void setSampler(unsigned program, const char* name, int unit) {
  glUniform1i(glGetUniformLocation(program, name), unit);
}

// `text` as a JSON string literal.
void appendJsonString(const std::string& text, std::string& out) {
  out += '"';
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

std::string itemsJson(const std::vector<ScreenItem>& items) {
  std::string json = "[";
  for (const ScreenItem& item : items) {
    if (json.size() > 1) json += ',';
    const int kind = item.kind == ScreenItem::Kind::Box    ? 0
                     : item.kind == ScreenItem::Kind::Line ? 1
                                                           : 2;
    char numbers[160];
    std::snprintf(numbers, sizeof numbers,
                  "{\"k\":%d,\"x0\":%d,\"y0\":%d,\"x1\":%d,\"y1\":%d,\"c\":[%d,%d,%d,%d]", kind,
                  item.x0, item.y0, item.x1, item.y1, item.rgba[0], item.rgba[1], item.rgba[2],
                  item.rgba[3]);
    json += numbers;
    if (item.kind == ScreenItem::Kind::Text) {
      const ScreenFont& font = kScreenFonts[static_cast<int>(item.font)];
      std::snprintf(numbers, sizeof numbers, ",\"w\":%d,\"h\":%d,\"t\":", font.charWidth,
                    font.lineHeight);
      json += numbers;
      appendJsonString(item.text, json);
    }
    json += '}';
  }
  return json + "]";
}

bool sameItems(const std::vector<ScreenItem>& a, const std::vector<ScreenItem>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const ScreenItem& p = a[i];
    const ScreenItem& q = b[i];
    if (p.kind != q.kind || p.x0 != q.x0 || p.y0 != q.y0 || p.x1 != q.x1 || p.y1 != q.y1 ||
        std::memcmp(p.rgba, q.rgba, sizeof p.rgba) != 0 || p.font != q.font || p.text != q.text)
      return false;
  }
  return true;
}

// The glyph atlas's rows: each font's characters ' ' to '~' drawn white on a transparent canvas
// in the page's monospace face, scaled across so that one character spans the font's width, its
// pen at the cell's left + pad and the baseline `baseline` rows below the cell's top; then the
// canvas's alpha, row 0 at the top, into `alpha`. `rows` holds per font: the character width,
// the line height, the cell's width, its baseline and its top row.
EM_JS(void, rasterizeGlyphs, (unsigned char* alpha, int width, int height, const int* rows,
                              int fonts, int pad), {
  var canvas = document.createElement('canvas');
  canvas.width = width;
  canvas.height = height;
  var context = canvas.getContext('2d');
  context.fillStyle = 'white';
  context.textBaseline = 'alphabetic';
  for (var f = 0; f < fonts; ++f) {
    var row = (rows >> 2) + 5 * f;
    var charWidth = HEAP32[row], size = HEAP32[row + 1], cell = HEAP32[row + 2];
    var baseline = HEAP32[row + 3], top = HEAP32[row + 4];
    context.setTransform(1, 0, 0, 1, 0, 0);
    context.font = size + 'px monospace';
    var advance = context.measureText('M').width;
    for (var c = 32; c < 127; ++c) {
      context.setTransform(advance > 0 ? charWidth / advance : 1, 0, 0, 1,
                           (c - 32) * cell + pad, top + baseline);
      context.fillText(String.fromCharCode(c), 0, 0);
    }
  }
  var pixels = context.getImageData(0, 0, width, height).data;
  for (var i = 0; i < width * height; ++i) HEAPU8[alpha + i] = pixels[4 * i + 3];
});

// Screen quads in window pixels, coloured, each texel's alpha from the glyph atlas.
const char* const kScreenVertex =
    "#version 300 es\n"
    "layout(location = 0) in vec2 position;\n"
    "layout(location = 1) in vec2 texCoord;\n"
    "layout(location = 2) in vec4 colour;\n"
    "uniform vec2 windowSize;\n"
    "out vec2 uv;\n"
    "out vec4 tint;\n"
    "void main() {\n"
    "  uv = texCoord;\n"
    "  tint = colour;\n"
    "  gl_Position = vec4(position / windowSize * 2.0 - 1.0, 0.0, 1.0);\n"
    "}\n";
const char* const kScreenFragment =
    "#version 300 es\n"
    "precision highp float;\n"
    "uniform sampler2D glyphs;\n"
    "in vec2 uv;\n"
    "in vec4 tint;\n"
    "out vec4 fragColour;\n"
    "void main() { fragColour = vec4(tint.rgb, tint.a * texture(glyphs, uv).r); }\n";

void multiply(const float a[16], const float b[16], float out[16]) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a[k * 4 + r] * b[c * 4 + k];
      out[c * 4 + r] = sum;
    }
}

}  // namespace

void WebRenderer::largestCanvas(int& width, int& height) const {
  gltex::largestPicture(width, height);
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
  lineProgram = link(kLineVertex, kLineFragment, "lines", error);
  overlayProgram = link(kOverlayVertex, kOverlayFragment, "overlay", error);
  screenProgram = link(kScreenVertex, kScreenFragment, "screen", error);
  if (emitterProgram == 0 || presentProgram == 0 || sliceProgram == 0 || lineProgram == 0 ||
      overlayProgram == 0 || screenProgram == 0)
    return false;
  if (!loadTile("media/textures/tile2.jpg", &tileTex, error) ||
      !loadTile("media/textures/tileglass1.jpg", &glassTileTex, error))
    return false;

  glUseProgram(blockProgram);
  setSampler(blockProgram, "light_volume", kVolumeUnit);
  setSampler(blockProgram, "tile_tex", kTileUnit);
  glUseProgram(glassProgram);
  setSampler(glassProgram, "light_volume", kVolumeUnit);
  setSampler(glassProgram, "tile_tex", kTileUnit);
  setSampler(glassProgram, "background", kBackgroundUnit);
  glUseProgram(presentProgram);
  setSampler(presentProgram, "shown", 0);
  glUseProgram(overlayProgram);
  setSampler(overlayProgram, "marks", 0);
  glUseProgram(screenProgram);
  setSampler(screenProgram, "glyphs", 0);
  glUseProgram(0);
  makeGlyphAtlas();

  glGenVertexArrays(1, &vertexArray);
  glBindVertexArray(vertexArray);
  glGenBuffers(1, &vertexBuffer);
  glGenBuffers(1, &indexBuffer);
  glGenBuffers(1, &screenBuffer);
  glGenFramebuffers(1, &volumeFramebuffer);
  behind = gltex::newTexture(GL_TEXTURE_2D, GL_LINEAR, GL_CLAMP_TO_EDGE);
  glBindTexture(GL_TEXTURE_2D, 0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  // Opaque black: the canvas is composited by its alpha (see main.cpp), which stays 1.
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  ready = true;
  return true;
}

void WebRenderer::largestLightVolume(int size[3]) const {
  GLint side = 0, layers = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
  glGetIntegerv(GL_MAX_ARRAY_TEXTURE_LAYERS, &layers);
  size[0] = size[2] = side;
  size[1] = layers;
}

void WebRenderer::createLightVolume(int sizeX, int sizeY, int sizeZ) {
  if (lightVolumeTex != 0) glDeleteTextures(1, &lightVolumeTex);
  // The light volume as the array of its y layers, each an x by z picture (see ProgramSource):
  // floors and ceilings then read one layer where a 3-D lookup would mix two.
  lightVolumeTex = gltex::newLightVolume(GL_TEXTURE_2D_ARRAY, sizeX, sizeZ, sizeY);
  glBindTexture(GL_TEXTURE_2D_ARRAY, 0);
}

void WebRenderer::uploadLight(const LightGrid& g, bool cpuPath,
                              const std::vector<TexelBox>& boxes) {
  if (cpuPath) {
    glBindTexture(GL_TEXTURE_2D_ARRAY, lightVolumeTex);
    for (const TexelBox& box : boxes) sendLightBox(g, box);
    glBindTexture(GL_TEXTURE_2D_ARRAY, 0);
    return;
  }
  // Slice path: each layer's points into the buffer in turn, drawn into its layer of the volume
  // (one layer at a time, so that a large room needs no copy of its whole light).
  glBindVertexArray(vertexArray);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 5 * sizeof(float), nullptr);
  glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 5 * sizeof(float),
                        reinterpret_cast<const void*>(2 * sizeof(float)));
  glUseProgram(sliceProgram);
  glUniform2f(glGetUniformLocation(sliceProgram, "layerSize"), static_cast<float>(g.sizeX),
              static_cast<float>(g.sizeZ));
  glBindFramebuffer(GL_FRAMEBUFFER, volumeFramebuffer);
  const GLenum attachment = GL_COLOR_ATTACHMENT0;
  glDrawBuffers(1, &attachment);
  glViewport(0, 0, g.sizeX, g.sizeZ);
  glDisable(GL_DEPTH_TEST);
  const int perLayer = g.sizeX * g.sizeZ;
  for (int y = 0; y < g.sizeY; ++y) {
    points.clear();
    for (int z = 0; z < g.sizeZ; ++z)
      for (int x = 0; x < g.sizeX; ++x) {
        const long i = g.index(x, y, z);
        points.insert(points.end(),
                      {static_cast<float>(x) + 0.5f, static_cast<float>(z) + 0.5f,
                       LightGrid::compressLight(g.lightAt(i, 0)),
                       LightGrid::compressLight(g.lightAt(i, 1)),
                       LightGrid::compressLight(g.lightAt(i, 2))});
      }
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(points.size() * sizeof(float)),
                 points.data(), GL_STREAM_DRAW);
    glFramebufferTextureLayer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, lightVolumeTex, 0, y);
    glClear(GL_COLOR_BUFFER_BIT);
    glDrawArrays(GL_POINTS, 0, perLayer);
  }
  glDisableVertexAttribArray(1);
  glDisableVertexAttribArray(0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glEnable(GL_DEPTH_TEST);
  glViewport(0, 0, width, height);
  glUseProgram(0);
}

void WebRenderer::sendLightBox(const LightGrid& g, const TexelBox& box) {
  const int w = box.hi[0] - box.lo[0], h = box.hi[1] - box.lo[1], d = box.hi[2] - box.lo[2];
  const std::uint32_t* texels = g.lightTexels();
  // The step's texels run x, then y, then z; the layers run x, then z. A run of bricks along x
  // (the parts a settled room sends) is gathered into layer order and sent in one call: each call
  // costs the browser far more than the copy.
  if (h <= LightGrid::kBrickY && d <= LightGrid::kBrickZ) {
    boxTexels.resize(static_cast<size_t>(box.cells()));
    std::uint32_t* out = boxTexels.data();
    for (int y = box.lo[1]; y < box.hi[1]; ++y)
      for (int z = box.lo[2]; z < box.hi[2]; ++z, out += w)
        std::copy_n(texels + g.index(box.lo[0], y, z), w, out);
    glTexSubImage3D(GL_TEXTURE_2D_ARRAY, 0, box.lo[0], box.lo[2], box.lo[1], w, d, h, GL_RGBA,
                    GL_UNSIGNED_BYTE, boxTexels.data());
    return;
  }
  // The whole volume straight from the step's texels, a call per layer: a layer's
  // row of one z is a run of x beginning y rows into the z's plane, and its next row one plane
  // on. (The image height is one layer's rows: the browser refuses skipped rows past it.)
  glPixelStorei(GL_UNPACK_ROW_LENGTH, g.sizeX * g.sizeY);
  glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, g.sizeZ);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, box.lo[2]);
  for (int y = box.lo[1]; y < box.hi[1]; ++y) {
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, y * g.sizeX + box.lo[0]);
    glTexSubImage3D(GL_TEXTURE_2D_ARRAY, 0, box.lo[0], box.lo[2], y, w, d, 1, GL_RGBA,
                    GL_UNSIGNED_BYTE, texels);
  }
  for (const GLenum unpack : {GL_UNPACK_ROW_LENGTH, GL_UNPACK_IMAGE_HEIGHT, GL_UNPACK_SKIP_PIXELS,
                              GL_UNPACK_SKIP_ROWS})
    glPixelStorei(unpack, 0);
}

long WebRenderer::volumeDifference(const LightGrid& g, int levels) {
  glBindFramebuffer(GL_FRAMEBUFFER, volumeFramebuffer);
  std::vector<unsigned char> layer(static_cast<size_t>(g.sizeX) * g.sizeZ * 4);
  const auto* texels = reinterpret_cast<const unsigned char*>(g.lightTexels());
  long differing = 0;
  for (int y = 0; y < g.sizeY; ++y) {
    glFramebufferTextureLayer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, lightVolumeTex, 0, y);
    glReadPixels(0, 0, g.sizeX, g.sizeZ, GL_RGBA, GL_UNSIGNED_BYTE, layer.data());
    for (int z = 0; z < g.sizeZ; ++z)
      for (int x = 0; x < g.sizeX; ++x) {
        const unsigned char* read = &layer[(static_cast<size_t>(z) * g.sizeX + x) * 4];
        const unsigned char* made = &texels[static_cast<size_t>(g.index(x, y, z)) * 4];
        for (int c = 0; c < 3; ++c)
          if (std::abs(read[c] - made[c]) > levels) {
            ++differing;
            break;
          }
      }
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return differing;
}

void WebRenderer::resize(int newWidth, int newHeight) {
  if (newWidth == width && newHeight == height) return;
  width = newWidth;
  height = newHeight;
  emscripten_set_canvas_element_size("#canvas", width, height);
  glBindTexture(GL_TEXTURE_2D, behind);
  // 8 bits a channel, as the desktop's target and the canvas it is copied from.
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  glViewport(0, 0, width, height);
}

void WebRenderer::beginFrame(const FrameInputs& inputs) {
  ++done.frames;
  std::memcpy(modelView, inputs.view, sizeof modelView);
  std::memcpy(projection, inputs.projection, sizeof projection);
  multiply(projection, modelView, modelViewProjection);
  glBindVertexArray(vertexArray);
}

void WebRenderer::beginPicture() {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width, height);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
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

void WebRenderer::sendBlockQuads(const std::vector<BlockVertex>& quads) {
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(quads.size() * sizeof(BlockVertex)),
               quads.data(), GL_STREAM_DRAW);
  for (const int a : kBlockAttributes) glEnableVertexAttribArray(a);
  const GLsizei stride = sizeof(BlockVertex);
  glVertexAttribPointer(ProgramSource::kPositionAttribute, 3, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(offsetof(BlockVertex, position)));
  glVertexAttribPointer(ProgramSource::kNormalAttribute, 3, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(offsetof(BlockVertex, normal)));
  glVertexAttribPointer(ProgramSource::kTexCoord0Attribute, 2, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(offsetof(BlockVertex, texCoord)));
  glVertexAttribPointer(ProgramSource::kColorAttribute, 3, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                        reinterpret_cast<const void*>(offsetof(BlockVertex, colour)));
  bindQuadIndices(quads.size() / 4);
}

void WebRenderer::setPassUniforms(unsigned program, const PassParameters& pass) {
  glUniformMatrix4fv(glGetUniformLocation(program, ProgramSource::kModelView), 1, GL_FALSE,
                     modelView);
  glUniformMatrix4fv(glGetUniformLocation(program, ProgramSource::kProjection), 1, GL_FALSE,
                     projection);
  // The view is a rigid motion: its rotation is its own inverse transpose.
  const float normal[9] = {modelView[0], modelView[1], modelView[2], modelView[4], modelView[5],
                           modelView[6], modelView[8], modelView[9], modelView[10]};
  glUniformMatrix3fv(glGetUniformLocation(program, ProgramSource::kNormalMatrix), 1, GL_FALSE,
                     normal);
  glUniform3fv(glGetUniformLocation(program, "dimension"), 1, pass.dimension);
  glUniform3fv(glGetUniformLocation(program, "eye_pos"), 1, pass.eye);
  glUniform1f(glGetUniformLocation(program, "fog_range"), pass.fogRange);
}

void WebRenderer::drawOpaque(const std::vector<BlockVertex>& quads, const PassParameters& pass) {
  if (quads.empty()) return;
  glUseProgram(blockProgram);
  setPassUniforms(blockProgram, pass);
  glActiveTexture(GL_TEXTURE0 + kVolumeUnit);
  glBindTexture(GL_TEXTURE_2D_ARRAY, lightVolumeTex);
  glActiveTexture(GL_TEXTURE0 + kTileUnit);
  glBindTexture(GL_TEXTURE_2D, tileTex);
  glActiveTexture(GL_TEXTURE0);
  sendBlockQuads(quads);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(quads.size() / 4 * 6), GL_UNSIGNED_INT,
                 nullptr);
  for (const int a : kBlockAttributes) glDisableVertexAttribArray(a);
  glUseProgram(0);
}

void WebRenderer::drawEmitters(const std::vector<EmitterVertex>& quads, float fogStart,
                               float fogEnd) {
  if (quads.empty()) return;
  glUseProgram(emitterProgram);
  glUniformMatrix4fv(glGetUniformLocation(emitterProgram, "modelViewProjection"), 1, GL_FALSE,
                     modelViewProjection);
  glUniform2f(glGetUniformLocation(emitterProgram, "fogStartEnd"), fogStart, fogEnd);
  glUniform3fv(glGetUniformLocation(emitterProgram, "fogColour"), 1, kFaintest);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(quads.size() * sizeof(EmitterVertex)),
               quads.data(), GL_STREAM_DRAW);
  for (int a = 0; a < 3; ++a) glEnableVertexAttribArray(a);
  const GLsizei stride = sizeof(EmitterVertex);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(offsetof(EmitterVertex, position)));
  glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(offsetof(EmitterVertex, colour)));
  glVertexAttribPointer(2, 1, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(offsetof(EmitterVertex, fog)));
  bindQuadIndices(quads.size() / 4);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(quads.size() / 4 * 6), GL_UNSIGNED_INT,
                 nullptr);
  for (int a = 0; a < 3; ++a) glDisableVertexAttribArray(a);
  glUseProgram(0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void WebRenderer::copyBehind(const PixelRect& area) {
  if (area.x1 <= area.x0 || area.y1 <= area.y0) return;
  glBindTexture(GL_TEXTURE_2D, behind);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, area.x0, area.y0, area.x0, area.y0, area.x1 - area.x0,
                      area.y1 - area.y0);
  glBindTexture(GL_TEXTURE_2D, 0);
}

void WebRenderer::drawGlass(const std::vector<BlockVertex>& quads,
                            const std::vector<GlassCube>& cubes, const PassParameters& pass) {
  if (quads.empty()) return;
  glUseProgram(glassProgram);
  setPassUniforms(glassProgram, pass);
  glUniform2f(glGetUniformLocation(glassProgram, "target_texel"), 1.0f / static_cast<float>(width),
              1.0f / static_cast<float>(height));
  const GLint alpha = glGetUniformLocation(glassProgram, "pane_alpha");
  const GLint tint = glGetUniformLocation(glassProgram, "pane_tint");
  glActiveTexture(GL_TEXTURE0 + kVolumeUnit);
  glBindTexture(GL_TEXTURE_2D_ARRAY, lightVolumeTex);
  glActiveTexture(GL_TEXTURE0 + kTileUnit);
  glBindTexture(GL_TEXTURE_2D, glassTileTex);
  glActiveTexture(GL_TEXTURE0 + kBackgroundUnit);
  glBindTexture(GL_TEXTURE_2D, behind);
  glActiveTexture(GL_TEXTURE0);
  sendBlockQuads(quads);
  glEnable(GL_BLEND);
  // The canvas's alpha stays 1.
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_CONSTANT_COLOR, GL_ZERO, GL_ONE);
  const GlassCube* set = nullptr;  // the cube whose alpha and tint are in force
  for (const GlassCube& cube : cubes) {
    // A room holds few kinds of glass: the uniforms change only from one kind to another.
    if (set == nullptr || set->alpha != cube.alpha ||
        !std::equal(cube.tint, cube.tint + 3, set->tint)) {
      glUniform1f(alpha, cube.alpha);
      glUniform3fv(tint, 1, cube.tint);
      const float kept = 1.0f - cube.alpha;
      glBlendColor(kept * cube.tint[0], kept * cube.tint[1], kept * cube.tint[2], kept);
      set = &cube;
    }
    // The program bends the pane's normal away from the cube's centre.
    glVertexAttrib4f(ProgramSource::kTexCoord1Attribute, cube.centre[0], cube.centre[1],
                     cube.centre[2], 1.0f);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(cube.quadCount * 6), GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(static_cast<size_t>(cube.firstQuad) * 6 *
                                                 sizeof(unsigned)));
  }
  glBlendColor(0.0f, 0.0f, 0.0f, 0.0f);
  glDisable(GL_BLEND);
  for (const int a : kBlockAttributes) glDisableVertexAttribArray(a);
  glActiveTexture(GL_TEXTURE0 + kBackgroundUnit);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  glUseProgram(0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void WebRenderer::showBehind() {
  glDisable(GL_DEPTH_TEST);
  glUseProgram(presentProgram);
  glBindTexture(GL_TEXTURE_2D, behind);
  // Texel for pixel: nearest; the glass pass reads the copy with linear filtering.
  gltex::setFilter(GL_TEXTURE_2D, GL_NEAREST);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  gltex::setFilter(GL_TEXTURE_2D, GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  glUseProgram(0);
  glEnable(GL_DEPTH_TEST);
}

void WebRenderer::drawOverlay(const OverlayImage& image) {
  if (image.rgb == nullptr || image.width <= 0 || image.height <= 0) return;
  ++done.overlayFrames;
  // Each column a sharp square however large, or one column's mark a pixel on a large map.
  if (overlayTex == 0)
    overlayTex = gltex::newTexture(GL_TEXTURE_2D, GL_NEAREST, GL_CLAMP_TO_EDGE);
  else
    glBindTexture(GL_TEXTURE_2D, overlayTex);
  switch (image.sendTo(overlayVersion, overlaySize[0], overlaySize[1])) {
    case OverlayImage::Send::Nothing: break;
    case OverlayImage::Send::Changed:
      if (image.anyChanged()) {
        gltex::replacePackedPart(image.width, image.changed, GL_RGB, image.rgb);
        ++done.overlayParts;
      }
      break;
    case OverlayImage::Send::Whole:
      gltex::uploadPacked(GL_RGB8, image.width, image.height, GL_RGB, image.rgb);
      ++done.overlayUploads;
      break;
  }
  overlayVersion = image.version;
  overlaySize[0] = image.width;
  overlaySize[1] = image.height;
  // Texture row 0 (the map's first row) along the top edge.
  const float corners[4][4] = {{image.left, image.bottom, 0.0f, 1.0f},
                               {image.right, image.bottom, 1.0f, 1.0f},
                               {image.right, image.top, 1.0f, 0.0f},
                               {image.left, image.top, 0.0f, 0.0f}};
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width, height);
  glDisable(GL_DEPTH_TEST);
  glUseProgram(overlayProgram);
  glUniform2f(glGetUniformLocation(overlayProgram, "windowSize"), static_cast<float>(width),
              static_cast<float>(height));
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STREAM_DRAW);
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof corners[0], nullptr);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof corners[0],
                        reinterpret_cast<const void*>(2 * sizeof(float)));
  glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
  glDisableVertexAttribArray(1);
  glDisableVertexAttribArray(0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glUseProgram(0);
  glEnable(GL_DEPTH_TEST);
}

void WebRenderer::drawWorldLines(const std::vector<float>& linePoints, const unsigned char rgb[3],
                                 float) {
  if (linePoints.empty()) return;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width, height);
  glDisable(GL_DEPTH_TEST);
  glUseProgram(lineProgram);
  glUniformMatrix4fv(glGetUniformLocation(lineProgram, "modelViewProjection"), 1, GL_FALSE,
                     modelViewProjection);
  glUniform3f(glGetUniformLocation(lineProgram, "colour"), rgb[0] / 255.0f, rgb[1] / 255.0f,
              rgb[2] / 255.0f);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(linePoints.size() * sizeof(float)),
               linePoints.data(), GL_STREAM_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 3 * sizeof(float), nullptr);
  glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(linePoints.size() / 3));
  glDisableVertexAttribArray(0);
  glUseProgram(0);
  glEnable(GL_DEPTH_TEST);
}

void WebRenderer::makeGlyphAtlas() {
  // Room above the baseline for the tallest mark and below it for descenders, in the face's
  // proportions (a descent under 2/5 of the size).
  int rows[2][5];
  atlasSize[0] = 0;
  atlasSize[1] = 0;
  for (int f = 0; f < 2; ++f) {
    const ScreenFont& font = kScreenFonts[f];
    GlyphRow& row = glyphRows[f];
    row.cellWidth = font.charWidth + 2 * kGlyphPad;
    row.baseline = font.lineHeight;
    row.cellHeight = row.baseline + (2 * font.lineHeight + 4) / 5;
    row.top = atlasSize[1];
    atlasSize[0] = std::max(atlasSize[0], 95 * row.cellWidth);
    atlasSize[1] += row.cellHeight;
    const int values[5] = {font.charWidth, font.lineHeight, row.cellWidth, row.baseline, row.top};
    std::copy(values, values + 5, rows[f]);
  }
  // The last row's first texel is white: boxes and lines sample it.
  atlasSize[1] += 1;
  std::vector<unsigned char> alpha(static_cast<size_t>(atlasSize[0]) * atlasSize[1], 0);
  rasterizeGlyphs(alpha.data(), atlasSize[0], atlasSize[1], &rows[0][0], 2, kGlyphPad);
  alpha[static_cast<size_t>(atlasSize[1] - 1) * atlasSize[0]] = 255;
  // Texel for pixel.
  glyphTex = gltex::newTexture(GL_TEXTURE_2D, GL_NEAREST, GL_CLAMP_TO_EDGE);
  gltex::uploadPacked(GL_R8, atlasSize[0], atlasSize[1], GL_RED, alpha.data());
  glBindTexture(GL_TEXTURE_2D, 0);
}

void WebRenderer::buildScreen(const std::vector<ScreenItem>& items) {
  screenVertices.clear();
  const float atlasWidth = static_cast<float>(atlasSize[0]);
  const float atlasHeight = static_cast<float>(atlasSize[1]);
  const auto quad = [this](float x0, float y0, float x1, float y1, float u0, float v0, float u1,
                           float v1, const unsigned char rgba[4]) {
    const float corners[4][4] = {
        {x0, y0, u0, v0}, {x1, y0, u1, v0}, {x1, y1, u1, v1}, {x0, y1, u0, v1}};
    for (const auto& c : corners) {
      ScreenVertex vertex{{c[0], c[1]}, {c[2], c[3]}, {rgba[0], rgba[1], rgba[2], rgba[3]}};
      screenVertices.push_back(vertex);
    }
  };
  // The white texel's centre.
  const float whiteU = 0.5f / atlasWidth, whiteV = (atlasHeight - 0.5f) / atlasHeight;
  const auto pixel = [&](int x, int y, const unsigned char rgba[4]) {
    quad(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + 1),
         static_cast<float>(y + 1), whiteU, whiteV, whiteU, whiteV, rgba);
  };
  for (const ScreenItem& item : items) {
    switch (item.kind) {
      case ScreenItem::Kind::Box:
        quad(static_cast<float>(std::min(item.x0, item.x1)),
             static_cast<float>(std::min(item.y0, item.y1)),
             static_cast<float>(std::max(item.x0, item.x1)),
             static_cast<float>(std::max(item.y0, item.y1)), whiteU, whiteV, whiteU, whiteV,
             item.rgba);
        break;
      case ScreenItem::Kind::Line: {
        // For each pixel centre between the ends along the longer extent, the pixel across
        // whose centre is nearest the line, the lower or left one on a tie: the pixels the
        // desktop's GL lights for a line between integer window coordinates.
        const int dx = item.x1 - item.x0, dy = item.y1 - item.y0;
        const bool steep = std::abs(dy) > std::abs(dx);
        const int from = steep ? std::min(item.y0, item.y1) : std::min(item.x0, item.x1);
        const int to = steep ? std::max(item.y0, item.y1) : std::max(item.x0, item.x1);
        for (int p = from; p < to; ++p) {
          const double along = p + 0.5;
          const double across = steep ? item.x0 + dx * (along - item.y0) / dy
                                      : item.y0 + dy * (along - item.x0) / dx;
          const int q = static_cast<int>(std::ceil(across)) - 1;
          if (steep)
            pixel(q, p, item.rgba);
          else
            pixel(p, q, item.rgba);
        }
        break;
      }
      case ScreenItem::Kind::Text: {
        const ScreenFont& font = kScreenFonts[static_cast<int>(item.font)];
        const GlyphRow& row = glyphRows[static_cast<int>(item.font)];
        const float bottom = static_cast<float>(item.y0 - (row.cellHeight - row.baseline));
        const float top = static_cast<float>(item.y0 + row.baseline);
        const float v0 = static_cast<float>(row.top + row.cellHeight) / atlasHeight;
        const float v1 = static_cast<float>(row.top) / atlasHeight;
        for (size_t i = 0; i < item.text.size(); ++i) {
          const unsigned char c = static_cast<unsigned char>(item.text[i]);
          if (c == ' ') continue;
          // Each byte takes one cell, as the layout counts them; what the atlas lacks shows '?'.
          const int cell = (c > ' ' && c < 127 ? c : '?') - ' ';
          const float left =
              static_cast<float>(item.x0 + static_cast<int>(i) * font.charWidth - kGlyphPad);
          const float u0 = static_cast<float>(cell * row.cellWidth) / atlasWidth;
          const float u1 = static_cast<float>((cell + 1) * row.cellWidth) / atlasWidth;
          quad(left, bottom, left + static_cast<float>(row.cellWidth), top, u0, v0, u1, v1,
               item.rgba);
        }
        break;
      }
    }
  }
}

void WebRenderer::drawScreen(const std::vector<ScreenItem>& items) {
  if (!screenBuilt || !sameItems(items, shownItems)) {
    shownItems = items;
    shownJson = itemsJson(items);
    buildScreen(items);
    glBindBuffer(GL_ARRAY_BUFFER, screenBuffer);
    glBufferData(GL_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(screenVertices.size() * sizeof(ScreenVertex)),
                 screenVertices.data(), GL_STATIC_DRAW);
    screenBuilt = true;
    ++done.screenBuilds;
  }
  if (screenVertices.empty()) return;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width, height);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
  glUseProgram(screenProgram);
  glUniform2f(glGetUniformLocation(screenProgram, "windowSize"), static_cast<float>(width),
              static_cast<float>(height));
  glBindTexture(GL_TEXTURE_2D, glyphTex);
  glBindBuffer(GL_ARRAY_BUFFER, screenBuffer);
  for (int a = 0; a < 3; ++a) glEnableVertexAttribArray(a);
  const GLsizei stride = sizeof(ScreenVertex);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(offsetof(ScreenVertex, position)));
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(offsetof(ScreenVertex, texCoord)));
  glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                        reinterpret_cast<const void*>(offsetof(ScreenVertex, rgba)));
  // One draw, the quads in the items' order: later items blend over earlier ones.
  const size_t quads = screenVertices.size() / 4;
  bindQuadIndices(quads);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(quads * 6), GL_UNSIGNED_INT, nullptr);
  for (int a = 0; a < 3; ++a) glDisableVertexAttribArray(a);
  glBindTexture(GL_TEXTURE_2D, 0);
  glUseProgram(0);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}
