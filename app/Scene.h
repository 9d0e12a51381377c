// The one global application object: the light grid, the camera, the top-down map, and the GPU
// resources and per-frame lists the passes use. It is defined in the GL library (its update
// refreshes the light volume) but its header includes no GL header; GL names are unsigned ints.
#pragma once

#include <vector>

#include "app/FlyCamera.h"
#include "render/Frustum.h"
#include "render/GlassCell.h"
#include "render/GridPos.h"

class ColorMap;
class FramebufferObject;
class LightGrid;
class RenderTarget;
class ShaderManager;
class ShaderProgram;

class Scene {
 public:
  // Simulation steps need strictly more than this much gathered frame time (seconds).
  static constexpr double kStepInterval = 0.02;
  // Frame times are capped to this (seconds) so a stalled frame cannot jump the camera.
  static constexpr double kMaxFrameTime = 0.1;
  // Rays per fan of the visibility pass after each simulation step.
  static constexpr int kVisibilityRays = 200;

  Scene();
  ~Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // Advances the camera by the last frame's time and, once more than 0.02 s has gathered,
  // runs one simulation step with its light upload and visibility pass.
  void update();
  // Builds the room from the map picture (one pixel per column) with `roomHeight` layers,
  // places the camera and the wandering light, and prints the start-up lines. A map that
  // cannot be used ends the process with one line on standard error and status 1.
  void buildWorld(const char* mapFile, int roomHeight);
  // Clears `hidden` in every cell of each column the visibility marks call seen.
  void revealVisibleColumns();
  // Draws cell (x, y, z) as a textured cube of half edge blockHalfSize (one GL_QUADS primitive).
  void drawBlock(float x, float y, float z);
  // Face bits of drawBlockFaces, one per face in drawBlock's order.
  static constexpr unsigned kFacePlusZ = 1, kFaceMinusZ = 2, kFaceMinusX = 4, kFacePlusX = 8,
                            kFacePlusY = 16, kFaceMinusY = 32, kAllFaces = 63;
  // drawBlock limited to the faces whose bits are set (still one primitive, possibly empty).
  void drawBlockFaces(float x, float y, float z, unsigned faces);
  // The faces of opaque cell (x, y, z) that can show in this frame: those turned towards the eye
  // whose neighbour is not an opaque cell drawn too (a face between two drawn opaque cubes is
  // always covered, and so is every face turned away from the eye).
  unsigned visibleOpaqueFaces(int x, int y, int z, const float eye[3]) const;

  // Render set-up, before the grid exists: seed, image library, textures, shader programs,
  // colour targets, the empty top-down map and the camera reset.
  void initRenderResources();
  // The 3-D light volume (one black texel per cell) and the framebuffer that draws into it.
  void createLightVolume();
  // Copies the grid's light, compressed to c / (c + 1), into the light volume.
  void uploadLightVolume();
  // Draws one frame into the colour targets: opaque blocks, emitters, then glass far to near.
  void renderFrame();
  // The three passes of renderFrame, in its order (separate so a benchmark can time each).
  // `eye` is the camera position, `dimension` the grid extents, both as three floats.
  // Opaque pass: clears both targets, walks the grid, draws the opaque cubes and gathers the
  // emitter and glass lists.
  void drawOpaquePass(const float eye[3], const float dimension[3]);
  // Emitter pass: flat cubes into both targets, then framebuffer 0.
  void drawEmitterPass();
  // Glass pass: far to near onto the back target, then the targets exchange roles.
  void drawGlassPass(const float eye[3], const float dimension[3]);

  LightGrid* grid = nullptr;
  ShaderProgram* blockFragment = nullptr;
  ShaderProgram* blockVertex = nullptr;
  ShaderProgram* glassFragment = nullptr;
  ShaderProgram* glassVertex = nullptr;
  ShaderProgram* combineFragment = nullptr;
  ShaderProgram* combineVertex = nullptr;
  ShaderProgram* setDepthFragment = nullptr;
  bool cpuLightUpload = false;
  Frustum frustum;
  RenderTarget* colorTargets[2] = {nullptr, nullptr};
  int frontTarget = 0;
  int backTarget = 1;
  float blockHalfSize = 0.0f;
  int mapWidth = 0, roomHeight = 0, mapHeight = 0;
  ColorMap* occlusionMap = nullptr;
  FlyCamera camera;
  FramebufferObject* lightVolumeFbo = nullptr;
  // GL texture names (GLuint is unsigned int; the core library includes no GL header).
  unsigned int lightVolumeTex = 0;
  unsigned int tileTex = 0, glassTileTex = 0, lightTex = 0;
  ShaderManager* shaderManager = nullptr;
  std::vector<GridPos> emitterCells;
  std::vector<GlassCell> glassCells;
  double stepAccumulator = 0.0;
};

// The application's scene, constructed before main runs.
extern Scene scene;

// When false, the next display call ends the process with status 0.
extern bool running;
// Draw the visibility-map overlay over the frame.
extern bool overlayVisible;
// 0: the display shows the finished target; 1: the other one (the frame without glass).
extern int debugView;
