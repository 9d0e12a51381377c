// GlBackend: the frame's GL resources and the replay of each operation the recipe sends, from the
// GL baseline back to it. Vertex data arrives as arrays and is drawn from them (client-side
// vertex arrays, GL 1.1); the matrices are the frame inputs', loaded, never read back.
#include "desktop/GlBackend.h"

#include <GL/glu.h>
#include <GL/freeglut.h>

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "Utils/FragmentProgram.h"
#include "Utils/FramebufferObject.h"
#include "Utils/MatrixScope.h"
#include "Utils/RenderTarget.h"
#include "Utils/TextureLoader.h"
#include "Utils/VertexProgram.h"
#include "desktop/GlBaseline.h"
#include "platform/gl/TextureSetUp.h"
#include "world/LightGrid.h"

namespace {

// The rendering hints; they are not part of the baseline, nothing else sets them.
void setHints() {
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  // Only a driver with the NV hint knows its enum; elsewhere it would leave GL_INVALID_ENUM behind.
  const GLubyte* extensions = glGetString(GL_EXTENSIONS);
  if (extensions != nullptr &&
      gluCheckExtension(reinterpret_cast<const GLubyte*>("GL_NV_multisample_filter_hint"),
                        extensions)) {
    glHint(GL_MULTISAMPLE_FILTER_HINT_NV, GL_FASTEST);
  }
}

// Window pixels on the projection, the identity on the model-view matrix, for as long as the
// scope lasts; both matrices as they were afterwards.
class WindowPixels {
 public:
  WindowPixels(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }

 private:
  MatrixScope projection{GL_PROJECTION};
  MatrixScope modelView{GL_MODELVIEW};
};

void* bitmapFont(FontId font) {
  return font == FontId::Status ? GLUT_BITMAP_9_BY_15 : GLUT_BITMAP_8_BY_13;
}

}  // namespace

GlBackend::GlBackend(int width, int height) {
  setHints();
  loadTexture("media/textures/tile2.jpg", &tileTex);
  loadTexture("media/textures/tileglass1.jpg", &glassTileTex);
  // No pass samples the light texture; it clamps like a light spot would.
  loadTexture("media/textures/lighttex.jpg", &lightTex, GL_CLAMP_TO_EDGE, GL_MODULATE);

  blockFragment = std::make_unique<FragmentProgram>(shaders, "media/TessaryShader.cg");
  blockVertex = std::make_unique<VertexProgram>(shaders, "media/TessaryShader.cg");
  glassFragment = std::make_unique<FragmentProgram>(shaders, "media/TessaryShaderRefraktion.cg");
  glassVertex = std::make_unique<VertexProgram>(shaders, "media/TessaryShaderRefraktion.cg");
  combineFragment = std::make_unique<FragmentProgram>(shaders, "media/TessaryShaderCombine.cg");
  combineVertex = std::make_unique<VertexProgram>(shaders, "media/TessaryShaderCombine.cg");
  setDepthFragment = std::make_unique<FragmentProgram>(shaders, "media/setDepthShader.cg");
  // The pairs the passes draw with must link now, not fail silently at the first frame.
  ShaderProgram::linkPairOrExit(*blockVertex, *blockFragment);
  ShaderProgram::linkPairOrExit(*glassVertex, *glassFragment);

  // Both targets, as the program has always made them at start-up (its lines name each). The
  // frame is drawn into the window and needs only the first: the copy the glass reads.
  for (int i = 0; i < 2; ++i) {
    colorTargets[i] = std::make_unique<RenderTarget>(framebuffer, width, height, GL_RGBA16F_ARB,
                                                     GL_COLOR_ATTACHMENT0_EXT + i);
  }
  // The loads and the targets leave the texture environment in force; the frame starts clean.
  GlBaseline::apply(framebuffer.width, framebuffer.height);
}

GlBackend::~GlBackend() {
  const GLuint textures[] = {tileTex,          glassTileTex,     lightTex, lightVolumeTex,
                             overlayTex,       colorTargets[0]->texture, colorTargets[1]->texture};
  glDeleteTextures(sizeof textures / sizeof textures[0], textures);
  glDeleteFramebuffersEXT(1, &framebuffer.framebuffer);
  glDeleteRenderbuffersEXT(1, &framebuffer.depthBuffer);
}

std::vector<const ShaderProgram*> GlBackend::programs() const {
  return {blockFragment.get(),   blockVertex.get(),   glassFragment.get(),   glassVertex.get(),
          combineFragment.get(), combineVertex.get(), setDepthFragment.get()};
}

void GlBackend::enableBlockArrays(const std::vector<BlockVertex>& quads, bool colours) {
  const BlockVertex* v = quads.data();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof *v, v->position);
  glNormalPointer(GL_FLOAT, sizeof *v, v->normal);
  glTexCoordPointer(2, GL_FLOAT, sizeof *v, v->texCoord);
  if (colours) {
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_UNSIGNED_BYTE, sizeof *v, v->colour);
  }
}

void GlBackend::disableBlockArrays() {
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}

void GlBackend::largestLightVolume(int size[3]) const {
  GLint side = 0;
  glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &side);
  std::fill(size, size + 3, static_cast<int>(side));
}

// Sets: a new 3-D texture bound on unit 0 (bindings are outside the baseline). A room beyond the
// driver's largest 3-D texture (the room the program starts with, made before the window) ends
// the process with one line, status 1.
void GlBackend::createLightVolume(int sizeX, int sizeY, int sizeZ) {
  assert(sizeX >= 1 && sizeY >= 1 && sizeZ >= 1);
  // The map limits keep rooms within what any GL2 driver offers, but a driver may offer less.
  int largest[3];
  largestLightVolume(largest);
  const int maxSize = largest[0];
  if (sizeX > maxSize || sizeY > maxSize || sizeZ > maxSize) {
    std::fprintf(stderr, "quillmarsh: the room (%d x %d x %d cells) exceeds this driver's largest "
                         "3-D texture (%d texels a side)\n",
                 sizeX, sizeY, sizeZ, maxSize);
    std::exit(1);
  }
  // The volume of the room before goes with its framebuffer.
  lightVolumeFbo.reset();
  if (lightVolumeTex != 0) glDeleteTextures(1, &lightVolumeTex);

  lightVolumeFbo = std::make_unique<FramebufferObject>();
  lightVolumeTex = gltex::newLightVolume(GL_TEXTURE_3D, sizeX, sizeY, sizeZ);

  lightVolumeFbo->Bind();
  lightVolumeFbo->AttachTexture(GL_TEXTURE_3D, lightVolumeTex, GL_COLOR_ATTACHMENT0_EXT, 0, 0);
  lightVolumeFbo->CheckFramebufferStatus(std::cerr);
  FramebufferObject::Unbind();
}

// The CPU path hands over the step's texels in the boxes, one call each. The slice path draws each slice's texels
// as points into the volume through its framebuffer. Relies on: the light volume made for the
// grid's size. Sets, and restores: the framebuffer, the viewport (the window's, as resize gave
// it), both matrices, depth test, colour.
void GlBackend::uploadLight(const LightGrid& grid, bool cpuPath,
                            const std::vector<TexelBox>& boxes) {
  assert(lightVolumeTex != 0 && lightVolumeFbo != nullptr);
  if (cpuPath) {
    for (const TexelBox& box : boxes)
      gltex::replaceLightVolumePart(lightVolumeTex, grid.sizeX, grid.sizeY, box.lo, box.hi,
                                    grid.lightTexels());
    return;
  }
  {
    MatrixScope modelView(GL_MODELVIEW);
    glLoadIdentity();
    MatrixScope projection(GL_PROJECTION);
    glLoadIdentity();
    // Texel column x, row y of a slice is the unit square from (x, y); its point is drawn at the
    // square's centre so rounding in the transform can never move it onto a neighbouring texel.
    glOrtho(0.0, grid.sizeX, 0.0, grid.sizeY, -1.0, 1.0);
    glPointSize(1.0f);
    glPushAttrib(GL_CURRENT_BIT);
    lightVolumeFbo->Bind();
    glViewport(0, 0, grid.sizeX, grid.sizeY);
    glDisable(GL_DEPTH_TEST);
    for (int z = 0; z < grid.sizeZ; ++z) {
      lightVolumeFbo->AttachTexture(GL_TEXTURE_3D, lightVolumeTex, GL_COLOR_ATTACHMENT0_EXT, 0, z);
      glClear(GL_COLOR_BUFFER_BIT);
      glBegin(GL_POINTS);
      for (int y = 0; y < grid.sizeY; ++y)
        for (int x = 0; x < grid.sizeX; ++x) {
          const long i = grid.index(x, y, z);
          glColor3f(LightGrid::compressLight(grid.lightAt(i, 0)),
                    LightGrid::compressLight(grid.lightAt(i, 1)),
                    LightGrid::compressLight(grid.lightAt(i, 2)));
          glVertex2f(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
        }
      glEnd();
    }
    glPopAttrib();
    FramebufferObject::Unbind();
  }
  glEnable(GL_DEPTH_TEST);
  glViewport(0, 0, framebuffer.width, framebuffer.height);
}

void GlBackend::largestPicture(int& width, int& height) const {
  gltex::largestPicture(width, height);
}

// Sets: the viewport to the new window (the baseline's); nothing happens to the targets at the
// same size. Leaves the render buffer binding at the depth buffer and 2-D texture 0 bound.
void GlBackend::resize(int width, int height) {
  if (width != framebuffer.width || height != framebuffer.height) {
    framebuffer.resize(width, height);
    for (const auto& target : colorTargets) target->resize();
  }
  glViewport(0, 0, framebuffer.width, framebuffer.height);
}

// Sets: the viewport to the inputs' window, the projection and model-view matrices to the
// inputs' (the model-view matrix selected, as the baseline has it). The matrices are no part of
// the baseline: the operations that draw with others push and pop them.
void GlBackend::beginFrame(const FrameInputs& inputs) {
  frame = inputs;
  glViewport(0, 0, frame.width, frame.height);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(frame.projection);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(frame.view);
}

// The passes draw straight into the window: showing a finished target would cost a textured
// quad over every pixel, several times the copy the glass needs. Relies on: the window's
// framebuffer, the baseline's clear colour (black: nothing drawn).
void GlBackend::beginPicture() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

// Relies on: the frame's matrices, the window's framebuffer, the light volume. Sets and
// restores: the block programs, the client arrays, the current colour (the
// colour array leaves it undefined). Leaves the current normal and texture coordinate of unit 0
// undefined (no part of the baseline), textures bound on the programs' units.
void GlBackend::drawOpaque(const std::vector<BlockVertex>& quads, const PassParameters& pass) {
  blockVertex->bind();
  blockFragment->bind();
  blockFragment->setTextureParameter("light_volume", lightVolumeTex);
  blockFragment->setTextureParameter("tile_tex", tileTex);
  blockVertex->setParameter("dimension", pass.dimension, 3);
  blockVertex->setParameter("eye_pos", pass.eye, 3);
  blockFragment->setParameter("fog_range", &pass.fogRange, 1);
  if (!quads.empty()) {
    glPushAttrib(GL_CURRENT_BIT);
    enableBlockArrays(quads, true);
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(quads.size()));
    disableBlockArrays();
    glPopAttrib();
  }
  blockVertex->unbind();
  blockFragment->unbind();
}

// Fixed function: each corner's colour from the array, linear fog to kFaintest over its fog
// coordinate. Relies on: the frame's matrices, the window's framebuffer, depth test on. Sets
// and restores: fog (mode, colour, range, coordinate source), the current
// colour (the colour array leaves it undefined), the client arrays.
void GlBackend::drawEmitters(const std::vector<EmitterVertex>& quads, float fogStart,
                             float fogEnd) {
  if (quads.empty()) return;
  const GLfloat faintest[4] = {kFaintest[0], kFaintest[1], kFaintest[2], 0.0f};
  glPushAttrib(GL_FOG_BIT | GL_CURRENT_BIT);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogfv(GL_FOG_COLOR, faintest);
  glFogf(GL_FOG_START, fogStart);
  glFogf(GL_FOG_END, fogEnd);
  glFogi(GL_FOG_COORD_SRC, GL_FOG_COORD);
  glEnable(GL_FOG);
  const EmitterVertex* v = quads.data();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_FOG_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof *v, v->position);
  glColorPointer(4, GL_FLOAT, sizeof *v, v->colour);
  glFogCoordPointer(GL_FLOAT, sizeof *v, &v->fog);
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(quads.size()));
  glDisableClientState(GL_FOG_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopAttrib();
  // Not every driver keeps the coordinate source with the fog's attributes.
  glFogi(GL_FOG_COORD_SRC, GL_FRAGMENT_DEPTH);
}

// Relies on: the window's framebuffer, its read buffer the back buffer drawn into (the
// default of a double-buffered window), the target of the window's size. Sets: 2-D texture
// binding of unit 0 left at 0.
void GlBackend::copyBehind(const PixelRect& area) {
  if (area.x1 <= area.x0 || area.y1 <= area.y0) return;
  glBindTexture(GL_TEXTURE_2D, colorTargets[kBehind]->texture);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, area.x0, area.y0, area.x0, area.y0, area.x1 - area.x0,
                      area.y1 - area.y0);
  glBindTexture(GL_TEXTURE_2D, 0);
}

// Relies on: the frame's matrices, the window's framebuffer and the depth of what it holds, the
// light volume, the copy behind the panes. The refraction program reads the copy while the
// panes are blended over the window: the pane by its alpha, the window by the blend colour
// ((1 - alpha) x tint, 1 - alpha). Sets and restores: the glass programs, blending and the
// blend colour (0), texture coordinate set 1 (each cube's centre) and the current colour, the
// client arrays.
void GlBackend::drawGlass(const std::vector<BlockVertex>& quads,
                          const std::vector<GlassCube>& cubes, const PassParameters& pass) {
  glassVertex->bind();
  glassFragment->bind();
  glassFragment->setTextureParameter("light_volume", lightVolumeTex);
  glassFragment->setTextureParameter("tile_tex", glassTileTex);
  glassFragment->setTextureParameter("background", colorTargets[kBehind]->texture);
  glassVertex->setParameter("dimension", pass.dimension, 3);
  glassVertex->setParameter("eye_pos", pass.eye, 3);
  glassVertex->setParameter("fog_range", &pass.fogRange, 1);
  const float texel[2] = {1.0f / static_cast<float>(framebuffer.width),
                          1.0f / static_cast<float>(framebuffer.height)};
  glassFragment->setParameter("target_texel", texel, 2);
  glPushAttrib(GL_CURRENT_BIT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_CONSTANT_COLOR);
  if (!quads.empty()) enableBlockArrays(quads, false);
  const GlassCube* set = nullptr;  // the cube whose alpha and tint are in force
  for (const GlassCube& cube : cubes) {
    // A room holds few kinds of glass: the parameters change only from one kind to another.
    if (set == nullptr || set->alpha != cube.alpha ||
        !std::equal(cube.tint, cube.tint + 3, set->tint)) {
      glassFragment->setParameter("pane_alpha", &cube.alpha, 1);
      glassFragment->setParameter("pane_tint", cube.tint, 3);
      const float kept = 1.0f - cube.alpha;
      glBlendColor(kept * cube.tint[0], kept * cube.tint[1], kept * cube.tint[2], kept);
      set = &cube;
    }
    glMultiTexCoord3fv(GL_TEXTURE1, cube.centre);
    glDrawArrays(GL_QUADS, static_cast<GLint>(4 * cube.firstQuad),
                 static_cast<GLsizei>(4 * cube.quadCount));
  }
  if (!quads.empty()) disableBlockArrays();
  glBlendColor(0.0f, 0.0f, 0.0f, 0.0f);
  glBlendFunc(GL_ONE, GL_ZERO);
  glDisable(GL_BLEND);
  glPopAttrib();
  glassVertex->unbind();
  glassFragment->unbind();
}

// One textured quad over the window, texel for pixel. Relies on: the window's framebuffer and
// viewport. Sets and restores: 2-D texturing with the texture environment, depth test, both
// matrices; the target's filtering goes to nearest and back to linear (the glass reads the
// copy bent, with linear filtering).
void GlBackend::showBehind() {
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, colorTargets[kBehind]->texture);
  // The target's colour as it is, whatever the current colour.
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  // Each pixel takes exactly one texel: nearest gives the picture linear filtering would, at a
  // fraction of the rasteriser's cost.
  gltex::setFilter(GL_TEXTURE_2D, GL_NEAREST);
  glDisable(GL_DEPTH_TEST);
  {
    WindowPixels pixels(1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(1.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(1.0f, 1.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, 1.0f);
    glEnd();
  }
  glEnable(GL_DEPTH_TEST);
  gltex::setFilter(GL_TEXTURE_2D, GL_LINEAR);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glDisable(GL_TEXTURE_2D);
}

// The picture's texture is sent again where it changed (OverlayImage::sendTo); nearest texels: a
// map cell a sharp square, or on a map of more columns than pixels one column's mark a pixel.
// Relies on: the window's framebuffer and viewport. Sets and restores: 2-D texturing with
// the texture environment, depth test, both matrices, the pixel unpack state.
void GlBackend::drawOverlay(const OverlayImage& image) {
  if (image.rgb == nullptr || image.width < 1 || image.height < 1) return;
  if (overlayTex == 0)
    overlayTex = gltex::newTexture(GL_TEXTURE_2D, GL_NEAREST, GL_CLAMP_TO_EDGE);
  else
    glBindTexture(GL_TEXTURE_2D, overlayTex);
  // Texel (x, y) is picture row y's pixel x.
  switch (image.sendTo(overlayVersion, overlayWidth, overlayHeight)) {
    case OverlayImage::Send::Nothing: break;
    case OverlayImage::Send::Changed:
      if (image.anyChanged()) gltex::replacePackedPart(image.width, image.changed, GL_RGB, image.rgb);
      break;
    case OverlayImage::Send::Whole:
      gltex::uploadPacked(GL_RGB8, image.width, image.height, GL_RGB, image.rgb);
      break;
  }
  overlayVersion = image.version;
  overlayWidth = image.width;
  overlayHeight = image.height;
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glDisable(GL_DEPTH_TEST);
  {
    WindowPixels pixels(frame.width, frame.height);
    // Row 0 along the top edge.
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(image.left, image.bottom);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(image.right, image.bottom);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(image.right, image.top);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(image.left, image.top);
    glEnd();
  }
  glEnable(GL_DEPTH_TEST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glDisable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, 0);
}

// Relies on: the window's framebuffer and viewport. Sets: the frame's matrices (loaded again,
// whatever is current). Sets and restores: depth test, line width, the current colour, the
// vertex array.
void GlBackend::drawWorldLines(const std::vector<float>& points, const unsigned char rgb[3],
                               float lineWidth) {
  if (points.size() < 6) return;
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(frame.projection);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(frame.view);
  glDisable(GL_DEPTH_TEST);
  glLineWidth(lineWidth);
  glColor3ub(rgb[0], rgb[1], rgb[2]);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, points.data());
  glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(points.size() / 3));
  glDisableClientState(GL_VERTEX_ARRAY);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glLineWidth(1.0f);
  glEnable(GL_DEPTH_TEST);
}

// Every item blended by its alpha (an opaque one is drawn as it is). Text is GLUT's bitmap
// fonts at the raster position of its baseline, which takes the current colour. Relies on: the
// window's framebuffer and viewport. Sets and restores: blending, depth test, both matrices, the
// current colour.
void GlBackend::drawScreen(const std::vector<ScreenItem>& items) {
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  {
    WindowPixels pixels(frame.width, frame.height);
    for (const ScreenItem& item : items) {
      glColor4ubv(item.rgba);
      switch (item.kind) {
        case ScreenItem::Kind::Box:
          glRecti(item.x0, item.y0, item.x1, item.y1);
          break;
        case ScreenItem::Kind::Line:
          glBegin(GL_LINES);
          glVertex2i(item.x0, item.y0);
          glVertex2i(item.x1, item.y1);
          glEnd();
          break;
        case ScreenItem::Kind::Text: {
          glRasterPos2i(item.x0, item.y0);
          void* font = bitmapFont(item.font);
          for (const char c : item.text) glutBitmapCharacter(font, static_cast<unsigned char>(c));
          break;
        }
      }
    }
  }
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBlendFunc(GL_ONE, GL_ZERO);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}
