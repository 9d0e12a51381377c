// The frame's passes as functions of the render state and the grid: the plan fills the state's
// lists from the current matrices, the passes replay them into the colour targets. `eye` is the
// camera position, `dimension` the grid's extents, both as three floats.
#pragma once

#include <vector>

#include "render/FramePlan.h"
#include "render/FrameStage.h"
#include "render/RenderState.h"

class LightGrid;

// Every pass starts from the GL baseline (render/GlBaseline.h) and restores it.
class FramePasses {
 public:
  // One frame into the colour targets: plan, opaque, emitters, glass; `hook`, when given, runs
  // after the plan and after each pass.
  static void render(RenderState& state, const LightGrid& grid, const float eye[3],
                     FrameStageHook hook, void* context);
  // Extracts the frustum from the current matrices and fills the plan's lists.
  static void plan(RenderState& state, const LightGrid& grid, const float eye[3]);
  static void drawOpaque(RenderState& state, const float eye[3], const float dimension[3]);
  static void drawEmitters(RenderState& state, const LightGrid& grid, const float eye[3]);
  static void drawGlass(RenderState& state, const LightGrid& grid, const float eye[3],
                        const float dimension[3]);

  // The runs of opaque faces, a quad each (FramePlan::runQuad), in one GL_QUADS primitive.
  static void drawFaceRuns(const std::vector<FaceRun>& runs);
  // The cube of cell (x, y, z) limited to the kBlockFaces entries whose bits are set, in one
  // primitive, half edge `halfSize`; the sides named by `reach` bits lie at 0.5 whatever it is.
  static void drawBlockFaces(float x, float y, float z, unsigned faces, float halfSize,
                             unsigned reach = 0u);
};
