// The desktop's RenderBackend: GL 2.0 with the shader layer. It owns every GL resource the frame
// uses and replays what the frame recipe hands it, making no choice of its own. Every operation
// starts from the GL baseline (desktop/GlBaseline.h) and leaves it; each notes what it relies on.
// World units for geometry; window pixels, origin at the lower-left corner, for what lies over it.
#pragma once

#include <GL/glew.h>

#include <memory>
#include <vector>

#include "Utils/FBOManager.h"
#include "Utils/ShaderManager.h"
#include "render/RenderBackend.h"

class FragmentProgram;
class FramebufferObject;
class RenderTarget;
class ShaderProgram;
class VertexProgram;

class GlBackend : public RenderBackend {
 public:
  // Needs a current GL context; reads media/ under the working directory. Sets the rendering
  // hints, makes the shader manager (its capability report and check), loads the textures and
  // the programs (the pairs the passes draw with linked now) and makes the shared framebuffer
  // with both colour targets at width x height. Whatever cannot be made ends the process with
  // one line, status 1. Ends with the GL baseline applied.
  GlBackend(int width, int height);
  // The widest and tallest picture the driver draws whole: its largest texture (the copy behind
  // the glass), render buffer and viewport.
  void largestPicture(int& width, int& height) const;
  ~GlBackend() override;
  GlBackend(const GlBackend&) = delete;
  GlBackend& operator=(const GlBackend&) = delete;

  RENDER_BACKEND_OPERATIONS(override)

  // What the tests and tools read back: the window's size as resize gave it, the light volume
  // (a 3-D texture, 0 before the first room), the target holding the copy behind the glass and
  // the programs loaded at start-up (the block and glass pairs, the combine pair and the depth
  // program).
  int width() const { return framebuffer.width; }
  int height() const { return framebuffer.height; }
  GLuint lightVolumeTexture() const { return lightVolumeTex; }
  const RenderTarget& behindTarget() const { return *colorTargets[kBehind]; }
  std::vector<const ShaderProgram*> programs() const;

 private:
  // Vertex, normal, texture coordinate and (with `colours`) colour arrays over `quads` on; all
  // off again.
  static void enableBlockArrays(const std::vector<BlockVertex>& quads, bool colours);
  static void disableBlockArrays();

  // First member: the runtime context the programs live in outlives them.
  ShaderManager shaders;
  GLuint tileTex = 0, glassTileTex = 0, lightTex = 0;
  std::unique_ptr<FragmentProgram> blockFragment, glassFragment, combineFragment,
      setDepthFragment;
  std::unique_ptr<VertexProgram> blockVertex, glassVertex, combineVertex;

  // The shared framebuffer and depth buffer, of the window's size, and the two colour targets;
  // kBehind holds the copy of the picture behind the panes that the glass pass reads.
  static constexpr int kBehind = 0;
  FBOManager framebuffer;
  std::unique_ptr<RenderTarget> colorTargets[2];

  // The light volume, one texel per cell, and the framebuffer that draws its slices.
  std::unique_ptr<FramebufferObject> lightVolumeFbo;
  GLuint lightVolumeTex = 0;

  // The visibility overlay's copy of the picture and the version it was made from.
  GLuint overlayTex = 0;
  long overlayVersion = 0;
  int overlayWidth = 0, overlayHeight = 0;

  // The frame's inputs as beginFrame took them.
  FrameInputs frame;
};
