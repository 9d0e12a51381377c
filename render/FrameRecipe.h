// The frame recipe, written once for every backend: the plan cut from the grid by the view,
// then the passes into the window and what lies over the picture, each handed to a RenderBackend
// as plain data. It owns the frame's lists.
// World units for geometry; window pixels for the overlay and the screen items.
#pragma once

#include <vector>

#include "render/FrameInputs.h"
#include "render/FramePlan.h"
#include "render/FrameStage.h"
#include "render/OverlayLayout.h"
#include "render/Frustum.h"
#include "render/RenderBackend.h"

class ColorMap;
struct CellPick;

// What the application lays over the shown frame.
struct FrameOverlay {
  // The visibility map to show in the window's corner; null while the overlay is off.
  const ColorMap* visibility = nullptr;
  // The cell to outline; null, or a pick that hit nothing, outlines none.
  const CellPick* pick = nullptr;
  // Drawn last, in order: the crosshair, the hint, the key card, the status line, messages.
  std::vector<ScreenItem> screen;
};

class FrameRecipe {
 public:
  // The room fades into the clear colour (black) over the visibility rays' range, so the end of
  // the drawn columns reads as distance, not as a hole; emitters fade from half of it.
  static const float kFogRange;
  // The outline's grey and its distance out from the picked cell's centre (just outside the
  // cube, so the cube's own edges do not hide it).
  static constexpr unsigned char kOutlineGrey = 230;
  static constexpr float kOutlineHalfSize = 0.51f;
  // How fast a pane hides the picture it lies over as its cell's opacity grows: the map's glass
  // (0.5) shows mostly the bent picture of what lies behind, its own look.
  static constexpr float kGlassAlphaPerOpacity = 1.6f;

  // One frame, drawn into the window: beginFrame, the plan, the picture begun and the opaque
  // pass, the emitters, a copy of what the panes may bend into view when glass is in view, the
  // glass far to near (with debugView 1 the copy is then shown: the picture before the glass),
  // the visibility overlay, the picked cell's outline and the screen items. `hook`, when given,
  // runs after each stage.
  void render(const FrameInputs& inputs, const LightGrid& grid, const FrameOverlay& overlay,
              RenderBackend& backend, FrameStageHook hook = nullptr, void* context = nullptr);
  // The plan alone: the frustum from the inputs' matrices, the cells of each pass, the opaque
  // faces joined into runs and every pass's vertices.
  void plan(const FrameInputs& inputs, const LightGrid& grid);

  // A new room: the overlay's copy of the old map gone.
  void newRoom();

  // Cubes the last plan sends (opaque, emitter and glass), as the status line counts them.
  long cellsDrawn() const;

  // Orders `runs` by the distance from `eye` to the nearest point of each run's quad, nearest
  // first (ties by their place before): drawn so, what lies behind a nearer face fails the depth
  // test before it is shaded.
  static void nearToFar(std::vector<FaceRun>& runs, const float eye[3]);
  // The quads of the plan's runs (FramePlan::runQuad) in their runs' colours, into `out`
  // (emptied first).
  static void runQuads(const std::vector<FaceRun>& runs, std::vector<BlockVertex>& out);
  // The glass cubes' quads, each cube of half edge FramePlan::kGlassHalfSize reaching 0.5 on the
  // sides its `reach` bits name, only its `faces`, its alpha kGlassAlphaPerOpacity times the
  // cell's opacity (at most 1) and its tint what the cell's material lets through
  // (Material::transmits); into `quads` and `cubes` (emptied first), in the order of `cells`.
  static void glassQuads(const std::vector<GlassCell>& cells, const LightGrid& grid,
                         std::vector<BlockVertex>& quads, std::vector<GlassCube>& cubes);
  // The window pixels the glass pass may read from the copy behind the panes: every pixel
  // the quads cover, widened by the farthest the refraction moves a lookup
  // (kRefractionReach of the window's width and height, and a pixel for filtering), within the
  // window; the whole window when a corner lies near or behind the eye's plane.
  static PixelRect glassArea(const std::vector<BlockVertex>& quads, const FrameInputs& inputs);
  // The refraction program bends a ray by at most 48 degrees (air to glass, 1 / 1.5), a
  // sideways change of at most 0.82, and moves its lookup 0.10 of the window per unit of it.
  static constexpr float kRefractionReach = 0.085f;
  // The outline of a pick that hit: the edges of the faces turned to `eye` of the cube of half
  // edge kOutlineHalfSize around the cell (a floor or ceiling cell only the face the ray met),
  // as pairs of points into `out` (emptied first).
  static void outlineLines(const CellPick& pick, const float eye[3], std::vector<float>& out);

  // The last plan.
  Frustum frustum;
  std::vector<OpaqueBlock> opaqueBlocks;
  std::vector<FaceRun> opaqueRuns;
  std::vector<GridPos> emitterCells;
  std::vector<GlassCell> glassCells;
  std::vector<BlockVertex> opaqueQuads;
  std::vector<EmitterVertex> emitterVertices;
  std::vector<BlockVertex> glassVertices;
  std::vector<GlassCube> glassCubes;
  std::vector<float> outline;

 private:
  // The overlay's bytes, remade where the marks changed when the map or its marks' version
  // moves; `overlayGeneration` counts the remakes, the version a backend keeps its copy by, and
  // `overlayChanged` holds what the last one changed.
  std::vector<unsigned char> overlayRgb;
  const ColorMap* overlaySource = nullptr;
  long overlaySourceVersion = -1;
  long overlayGeneration = 0;
  ColumnBox overlayChanged;
};
