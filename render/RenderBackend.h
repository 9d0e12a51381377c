// The operations a frame asks of a graphics API, each taking plain data. FrameRecipe calls them
// in its order; the desktop (GL 2 with the shader layer) and the page (WebGL 2) implement them
// and nothing more: no choice of pass, target, face or text is made behind this interface.
// World units for geometry (cell (x, y, z) is the unit cube around that point); window pixels
// for what is drawn over the frame (origin at the lower-left corner, y up).
#pragma once

#include <cassert>
#include <string>
#include <vector>

#include "render/FrameInputs.h"
#include "render/FramePlan.h"

class LightGrid;
struct TexelBox;

// A corner of a textured face of the opaque or the glass pass; four make a quad, in the face
// table's corner order. `colour` (8-bit sRGB) multiplies an opaque face's tile: 255 on every
// channel shows the tile as it is. The glass pass sends it too and does not read it.
struct BlockVertex {
  float position[3];
  float normal[3];
  float texCoord[2];
  unsigned char colour[3];
};

// One glass cube: quads [firstQuad, firstQuad + quadCount) of the glass pass's vertices; the
// refraction bends the pane's normal away from `centre`. The pane is blended over the window by
// `alpha`, and what the window held keeps (1 - alpha) x `tint` of each channel; the picture the
// pane bends is seen through `tint` too: the share of red, green and blue the glass lets
// through, 1 on every channel for neutral glass.
struct GlassCube {
  unsigned firstQuad = 0, quadCount = 0;
  float centre[3] = {0.0f, 0.0f, 0.0f};
  float alpha = 0.0f;
  float tint[3] = {1.0f, 1.0f, 1.0f};
};

// Black in the picture means nothing was drawn there: no pass leaves a colour darker than
// kFaintest (one level of blue in 8 bits), and the glass program tells the room behind a pane
// from the clear colour by it.
inline constexpr float kFaintest[3] = {0.0f, 0.0f, 1.0f / 255.0f};

// Window pixels x0 <= x < x1, y0 <= y < y1, row 0 at the bottom as GL counts them.
struct PixelRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// What the block and glass programs read besides their vertices: the eye, the grid's extents
// (the light volume spans them) and the distance over which the room fades to black.
struct PassParameters {
  float eye[3] = {0.0f, 0.0f, 0.0f};
  float dimension[3] = {1.0f, 1.0f, 1.0f};
  float fogRange = 1.0f;
};

// The visibility map's picture over the frame: RGB bytes, `width` x `height`, row 0 shown along
// the top edge; `version` changes whenever the bytes may have. `changed` holds the pixels that
// differ from the picture of version - 1 (x0, row0, x1, row1, half-open): a backend that holds
// that one may send just those rows; one that holds an older picture sends it whole.
struct OverlayImage {
  // What a backend holding the picture of `heldVersion` at `heldWidth` x `heldHeight` sends of
  // this one: nothing when it holds this version, the changed pixels when it holds the one
  // before (a visibility pass changes what lies within its rays' reach, however large the map),
  // else the whole picture.
  enum class Send { Nothing, Changed, Whole };
  Send sendTo(long heldVersion, int heldWidth, int heldHeight) const {
    if (heldWidth != width || heldHeight != height) return Send::Whole;
    if (heldVersion == version) return Send::Nothing;
    return heldVersion == version - 1 ? Send::Changed : Send::Whole;
  }
  // Whether the changed box holds a pixel; when it does, it lies within the picture.
  bool anyChanged() const {
    if (changed[2] <= changed[0] || changed[3] <= changed[1]) return false;
    assert(changed[0] >= 0 && changed[1] >= 0 && changed[2] <= width && changed[3] <= height);
    return true;
  }

  const unsigned char* rgb = nullptr;
  int width = 0, height = 0;
  long version = 0;
  int changed[4] = {0, 0, 0, 0};
  float left = 0.0f, bottom = 0.0f, right = 0.0f, top = 0.0f;
};

// The two fixed-cell fonts text is laid out in.
struct ScreenFont {
  int charWidth;
  int lineHeight;
};
enum class FontId { Status = 0, Card = 1 };
inline constexpr ScreenFont kScreenFonts[2] = {{9, 15}, {8, 13}};

// One flat item over the frame. Box: filled from (x0, y0) to (x1, y1), blended by its alpha.
// Line: from (x0, y0) to (x1, y1), one pixel wide. Text: `text` in `font`, its baseline starting
// at (x0, y0).
struct ScreenItem {
  enum class Kind { Box, Line, Text };
  Kind kind = Kind::Box;
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  unsigned char rgba[4] = {255, 255, 255, 255};
  FontId font = FontId::Card;
  std::string text;
};

// The operations, declared once for the interface (`= 0`) and for each backend's class body
// (RENDER_BACKEND_OPERATIONS(override)), in the recipe's order. The resources that follow the
// room and the window come first:
// - largestLightVolume: the most cells along x, y and z a light volume may have here.
// - createLightVolume: one texel per cell, black when made.
// - uploadLight: the grid's light compressed to c / (c + 1): on the CPU path (`cpuPath`) the
//   texels the step made in `boxes`, each box in one transfer, the rest of the volume kept; else
//   every texel, slice by slice through a framebuffer.
// - resize: the window and the target the glass reads take the window's size.
// Then the frame, drawn into the window:
// - beginFrame: takes the matrices and the window's size.
// - beginPicture: the window's colour cleared to black and its depth cleared.
// - drawOpaque: textured quads in their vertices' colours, lit from the light volume by the
//   block programs, depth tested.
// - drawEmitters: flat-coloured quads, fading linearly to kFaintest between fogStart and fogEnd
//   of each corner's fog distance.
// - copyBehind: the window's colour in `area` copied into the target the glass reads, pixel for
//   pixel; the rest of the target is left as it was.
// - drawGlass: the glass cubes, in the order given, blended over the window as GlassCube says,
//   depth tested against what it holds; the target copyBehind filled is sampled as the picture
//   behind the panes.
// - showBehind: that target over the whole window, texel for pixel, no depth test.
// The rest is drawn over the window without depth test, each in the order called:
// - drawOverlay: the visibility map's picture.
// - drawWorldLines: pairs of points, each pair a line `lineWidth` pixels wide, seen through the
//   frame's matrices.
// - drawScreen: the flat items, in order.
#define RENDER_BACKEND_OPERATIONS(declared)                                                    \
  virtual void largestLightVolume(int size[3]) const declared;                               \
  virtual void createLightVolume(int sizeX, int sizeY, int sizeZ) declared;                  \
  virtual void uploadLight(const LightGrid& grid, bool cpuPath,                              \
                           const std::vector<TexelBox>& boxes) declared;                     \
  virtual void resize(int width, int height) declared;                                        \
  virtual void beginFrame(const FrameInputs& inputs) declared;                                \
  virtual void beginPicture() declared;                                                        \
  virtual void drawOpaque(const std::vector<BlockVertex>& quads, const PassParameters& pass)   \
      declared;                                                                               \
  virtual void drawEmitters(const std::vector<EmitterVertex>& quads, float fogStart,          \
                            float fogEnd) declared;                                           \
  virtual void copyBehind(const PixelRect& area) declared;                                     \
  virtual void drawGlass(const std::vector<BlockVertex>& quads,                               \
                         const std::vector<GlassCube>& cubes, const PassParameters& pass)     \
      declared;                                                                               \
  virtual void showBehind() declared;                                                         \
  virtual void drawOverlay(const OverlayImage& image) declared;                               \
  virtual void drawWorldLines(const std::vector<float>& points, const unsigned char rgb[3],    \
                              float lineWidth) declared;                                      \
  virtual void drawScreen(const std::vector<ScreenItem>& items) declared;

class RenderBackend {
 public:
  virtual ~RenderBackend() = default;
  RENDER_BACKEND_OPERATIONS(= 0)
};
