// The page's RenderBackend on WebGL 2: the light volume, the tile textures, the frame drawn into
// the canvas with a copy of it behind the glass, programs from the desktop's files, and what lies over the frame
// (the overlay as a texture, lines, and the screen items as quads, text from a glyph atlas).
// Window pixels with the origin at the lower-left corner; world units for geometry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/RenderBackend.h"

class WebRenderer : public RenderBackend {
 public:
  // What the backend has done, for the page's checks.
  struct Counts {
    long frames = 0;
    // Frames that drew the visibility overlay, and the overlay's texture uploads: whole, and of
    // the pixels that changed.
    long overlayFrames = 0, overlayUploads = 0, overlayParts = 0;
    // Times the screen items' quads were made afresh.
    long screenBuilds = 0;
  };

  // Compiles the programs, loads the tile textures and draws the glyph atlas on the current
  // WebGL 2 context (once). False with `error` naming the file and the cause when something
  // cannot be made.
  bool init(std::string& error);
  // The widest and tallest canvas the context draws whole: its largest texture (the copy behind
  // the glass), renderbuffer and viewport.
  void largestCanvas(int& width, int& height) const;

  // Each operation binds what it uses; between them the depth test is on (GL_LESS), blending
  // off, no vertex attribute array enabled. resize sizes the canvas too; WebGL draws world lines
  // one pixel wide whatever width is asked for; the screen items' quads are made again only when
  // the items differ from the last ones drawn.
  RENDER_BACKEND_OPERATIONS(override)

  // The items last drawn as a JSON list: per item "k" (0 box, 1 line, 2 text), "x0" "y0" "x1"
  // "y1", "c" (RGBA), and for text "t", "w" (the font's character width) and "h" (its line
  // height).
  const std::string& screenJson() const { return shownJson; }
  const Counts& counts() const { return done; }
  // For the page's checks: how many texels of the light volume, read back, differ from the
  // texels `grid`'s step made by more than `levels` (of 255) on a channel.
  long volumeDifference(const LightGrid& grid, int levels);

 private:
  // Sends the step's texels of `box` into the bound light volume (the array of its y layers).
  void sendLightBox(const LightGrid& grid, const TexelBox& box);
  // Sends `quads` (four corners each) to the vertex buffer with the attributes of its fields
  // enabled (kBlockAttributes), and binds the quad indices.
  void sendBlockQuads(const std::vector<BlockVertex>& quads);
  // Binds the quad indices for `quads` quads of four vertices each, growing them as needed.
  void bindQuadIndices(size_t quads);
  // Sets the matrices of a program translated from a desktop file, and its eye, grid extents
  // and fog range.
  void setPassUniforms(unsigned program, const PassParameters& pass);
  // The glyph atlas: each font's printable ASCII characters in a row of cells, and one white
  // texel that boxes and lines sample.
  void makeGlyphAtlas();
  // The screen items as quads of ScreenVertex into `screenVertices`.
  void buildScreen(const std::vector<ScreenItem>& items);

  // Where a font's characters lie in the atlas: cell c (from ' ') at x = c * cellWidth, rows
  // from `top`; the glyph's baseline `baseline` rows below the cell's top, its pen position
  // kGlyphPad columns in from the cell's left.
  struct GlyphRow {
    int cellWidth = 0, cellHeight = 0, baseline = 0, top = 0;
  };
  static constexpr int kGlyphPad = 1;
  // A corner of a screen quad: window pixels, atlas coordinates, colour.
  struct ScreenVertex {
    float position[2];
    float texCoord[2];
    unsigned char rgba[4];
  };

  bool ready = false;
  unsigned blockProgram = 0, glassProgram = 0, emitterProgram = 0, presentProgram = 0,
           sliceProgram = 0, lineProgram = 0, overlayProgram = 0, screenProgram = 0;
  unsigned tileTex = 0, glassTileTex = 0, lightVolumeTex = 0, overlayTex = 0, glyphTex = 0;
  GlyphRow glyphRows[2];
  int atlasSize[2] = {0, 0};
  // The copy of the picture behind the glass, and the framebuffer that draws the light volume's
  // slices.
  unsigned behind = 0, volumeFramebuffer = 0;
  unsigned vertexArray = 0, vertexBuffer = 0, indexBuffer = 0, screenBuffer = 0;
  size_t indexQuads = 0;
  int width = 0, height = 0;
  long overlayVersion = -1;
  int overlaySize[2] = {0, 0};
  float modelView[16] = {};
  float projection[16] = {};
  float modelViewProjection[16] = {};
  std::vector<float> points;
  // The texels of one light box in the volume's layer order, on their way to the GL.
  std::vector<std::uint32_t> boxTexels;
  std::vector<ScreenItem> shownItems;
  std::string shownJson = "[]";
  // The quads of shownItems, in screenBuffer too.
  std::vector<ScreenVertex> screenVertices;
  bool screenBuilt = false;
  Counts done;
};
