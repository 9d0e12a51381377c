// The one global application object: the light grid, the camera, the top-down map, and the
// render state (Scene::render, render/RenderState.h) the passes draw with. It is defined in the
// GL library (its update refreshes the light volume) but its header includes no GL header.
// The render operations below forward to the render layer (app/SceneRender.cpp), which knows
// nothing of the Scene: RenderResources makes the state, FramePasses draws from it.
//
// The frame flow, stage by stage (function, file):
//   map -> grid      Scene::buildWorld (app/SceneWorld.cpp): Scene::initRenderResources
//                    (RenderResources::create, render/RenderResources.cpp), buildRoomFromMap
//                    (world/WorldBuilder.cpp: MapImage::loadOrExit, the picture decoded by
//                    platform/image/Image.cpp and ImageDevIL.cpp, then
//                    buildWorldFromPixels), then
//                    Scene::enterRoom (light volume, camera)
//   pick             Scene::update -> Scene::refreshPick (app/SceneEdit.cpp): pickCell along
//                    the view ray (world/CellPick.cpp); a click edits a column through
//                    RoomEditor (world/RoomEditor.cpp) and casts the visibility again
//   step             Scene::update -> Scene::stepSimulation (app/Scene.cpp): LightGrid::step
//                    (sim/LightGridStep.cpp), the light volume's texels made as it goes
//   upload           Scene::uploadLightVolume (sim/SceneLightUpload.cpp)
//   visibility       ColorMap::updateVisibility (sim/ColorMapVisibility.cpp), then
//                    Scene::revealVisibleColumns (app/Scene.cpp)
//   frame recipe     drawFrame (app/Display.cpp), called by onDisplay after the update, by the
//                    frame benchmark and by the GL tests: the view, Scene::renderFrame ->
//                    FramePasses::render (render/FramePasses.cpp), presentFrame; every stage
//                    starts from and restores the GL baseline (render/GlBaseline.cpp)
//   plan             FramePasses::plan: FramePlan::build, then FramePlan::joinFaces
//                    (render/FramePlan.cpp), into the state's lists
//   passes           FramePasses::drawOpaque, drawEmitters, drawGlass (render/FramePasses.cpp):
//                    opaque faces in runs (drawFaceRuns), emitters' corners
//                    (FramePlan::emitterVertices) in one vertex-array draw, glass cubes by
//                    drawBlockFaces; the page's backend (web/) replays the same plan
//   display          presentFrame (app/Display.cpp): the target on a window quad,
//                    the overlay by ColorMap::drawOverlay (render/ColorMapOverlay.cpp), the
//                    status line (app/FrameStats.cpp), the crosshair, the picked cell's
//                    outline, the hint and the key card (drawEditView, app/EditView.cpp), a
//                    screenshot (app/Screenshot.cpp)
#pragma once

#include <vector>

#include "app/FlyCamera.h"
#include "render/FrameStage.h"
#include "render/RenderState.h"
#include "world/CellPick.h"
#include "world/RoomEditor.h"

class ColorMap;
class LightGrid;
struct StartView;

class Scene {
 public:
  // Simulation steps need strictly more than this much gathered frame time (seconds).
  static constexpr double kStepInterval = 0.02;
  // The window's size at start-up, in pixels; afterwards the render state's shared framebuffer
  // holds the window's size.
  static constexpr int kWindowWidth = 1024;
  static constexpr int kWindowHeight = 800;
  // Rays per fan of the visibility pass after each simulation step.
  static constexpr int kVisibilityRays = 200;

  Scene();
  ~Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // Advances the camera by the last frame's time (capped by FrameTimer::step) and, once more
  // than 0.02 s has gathered, runs stepSimulation, keeping what was gathered past 0.02 s up to
  // another 0.02 s (at most one step a frame).
  void update();
  // One simulation step: the light step, the light upload, the visibility pass from the camera
  // and the reveal of the columns it saw.
  void stepSimulation();
  // Builds the room from the map picture (one pixel per column) with `roomHeight` layers,
  // places the camera and the wandering light, and prints the start-up lines. A map that
  // cannot be used ends the process with one line on standard error and status 1.
  void buildWorld(const char* mapFile, int roomHeight);
  // After the grid and the top-down map hold a new room (buildRoom): the sizes, a new light
  // volume and the camera at the start view.
  void enterRoom(const StartView& start);
  // Gives the camera the grid to collide with and, when the map has a start marker, its view.
  void placeCamera(const StartView& start);
  // Clears `hidden` in every cell of each column the visibility marks call seen.
  void revealVisibleColumns();
  // Draws cell (x, y, z) as a textured cube of half edge `halfSize` (one GL_QUADS primitive).
  void drawBlock(float x, float y, float z, float halfSize);
  // drawBlock limited to the kBlockFaces entries whose bits are set (still one primitive); the
  // sides named by `reach` bits lie at 0.5 from the centre whatever `halfSize` is.
  void drawBlockFaces(float x, float y, float z, unsigned faces, float halfSize,
                      unsigned reach = 0u);
  // The plan's runs of opaque faces, a quad each (FramePlan::runQuad), in one primitive.
  void drawFaceRuns();

  // Render set-up, before the grid exists: seed, image library, the empty top-down map, the
  // render state (RenderResources::create at the start-up window size) and the camera reset.
  void initRenderResources();
  // The 3-D light volume (one black texel per cell) and the framebuffer that draws into it.
  void createLightVolume();
  // Gives the shared framebuffer (the owner of the window's size) and the colour targets the
  // window's size, so the frame is drawn at the window's resolution; nothing happens before the
  // targets exist or at the same size.
  void resizeTargets(int width, int height);
  // Copies the grid's light, compressed to c / (c + 1), into the light volume.
  void uploadLightVolume();
  // Draws one frame into the colour targets: the frame plan from the current matrices, then
  // opaque blocks, emitters, and glass far to near. `hook`, when given, runs after the plan and
  // after each pass.
  void renderFrame(FrameStageHook hook = nullptr, void* context = nullptr);
  // Extracts the frustum from the current matrices and fills the three lists of FramePlan.
  void planFrame(const float eye[3]);
  // The three passes of renderFrame, in its order (separate so a benchmark can time each);
  // each replays its list of the plan. `eye` is the camera position, `dimension` the grid
  // extents, both as three floats.
  void drawOpaquePass(const float eye[3], const float dimension[3]);
  void drawEmitterPass();
  void drawGlassPass(const float eye[3], const float dimension[3]);

  // Editing the room (app/SceneEdit.cpp). The cell the eye looks at, from the current camera.
  void refreshPick();
  // A click at the picked cell: clears its column, or with `fill` fills the column the pick
  // aims at with selectedKind; the visibility is cast again at once. Refusals print one line.
  void editAtPick(bool fill);
  void undoEdit();
  // Saves the room as a map picture under maps/ with the start marker where the eye stands,
  // and prints its path.
  void saveRoomAsMap();

  LightGrid* grid = nullptr;
  RoomEditor editor;
  ColumnKind selectedKind = ColumnKind::Wall;
  CellPick pick;
  int mapWidth = 0, roomHeight = 0, mapHeight = 0;
  ColorMap* occlusionMap = nullptr;
  FlyCamera camera;
  // The programs, textures, targets, light volume and per-frame lists the passes draw with.
  RenderState render;
  double stepAccumulator = 0.0;
  // Simulation steps run since start-up.
  long simulationSteps = 0;
};

// The application's scene, constructed before main runs.
extern Scene scene;

// When false, the next display call ends the process with status 0.
extern bool running;
// Draw the visibility-map overlay over the frame.
extern bool overlayVisible;
// Draw the status line (rates, strength, upload path, cells drawn, eye cell) over the frame.
extern bool statusVisible;
// Save the next finished frame as a PNG under "screenshots/".
extern bool screenshotRequested;
// 0: the display shows the finished target; 1: the other one (the frame without glass).
extern int debugView;
