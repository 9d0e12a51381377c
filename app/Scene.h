// The program's one Scene, made in main (desktop and page alike) and handed down: the light grid,
// the top-down map, the walking camera, the editor, the switches a user flips, the frame timer
// and the frame recipe. Pure logic: pictures go through the RenderBackend it is given.
//
// The frame flow, one way down, stage by stage (function, file):
//   map -> grid   Scene::loadRoom (app/SceneWorld.cpp): loadRoomFromMap (world/WorldBuilder.cpp:
//                 the picture checked and decoded by platform/image, buildWorldFromPixels), all
//                 before any window opens; Scene::enterRoom then makes the light volume and
//                 places the camera
//   frame         Scene::advanceFrame (app/Scene.cpp): the frame timer, Scene::update (camera,
//                 pick, and every 0.02 s Scene::stepSimulation: LightGrid::step in
//                 sim/LightGridStep.cpp, the backend's light upload, the visibility pass of
//                 sim/ColorMapVisibility.cpp, the reveal), the status line's rates
//   edits         app/Input.cpp turns keys and clicks into Scene commands (app/SceneEdit.cpp:
//                 the pick of world/CellPick.cpp, world/RoomEditor.cpp, messages)
//   recipe        Scene::drawFrame: frameInputs (the matrices as values) and the screen items
//                 (app/ScreenView.cpp) into FrameRecipe::render (render/FrameRecipe.cpp), which
//                 plans (render/FramePlan.cpp) and drives the RenderBackend (render/RenderBackend.h)
//   backends      desktop/GlBackend.cpp (GL 2 and the shader layer) and web/WebRenderer.cpp
//                 (WebGL 2) draw what the recipe hands them; each entry point (desktop/main.cpp,
//                 web/main.cpp) owns its Scene and backend
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/FlyCamera.h"
#include "app/FrameStats.h"
#include "app/FrameTimer.h"
#include "app/MouseDrag.h"
#include "app/ScreenView.h"
#include "platform/WorkerPool.h"
#include "render/FrameRecipe.h"
#include "world/CellPick.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/RoomEditor.h"
#include "world/WorldBuilder.h"

class RenderBackend;
struct RoomLoad;
struct StartView;

// The switches keys flip; the frame and the screen read them.
struct SceneFlags {
  // When false, the entry point ends the program with status 0 before the next frame.
  bool running = true;
  bool overlayVisible = false;
  bool statusVisible = false;
  // The entry point prints the status line on standard output once a second (--stats).
  bool statusOnOutput = false;
  // The entry point saves the next finished frame as a picture (the desktop only).
  bool screenshotRequested = false;
  // 0: the finished frame is shown; 1: the frame without the glass.
  int debugView = 0;
  // The key card's page on screen, -1 while it is hidden.
  int keyCardPage = -1;
  // Set by the first key press; until then, and while the strength is 0, the hint shows.
  bool anyKeyPressed = false;
  // The light volume is filled from the step's texels (true) or slice by slice.
  bool cpuLightUpload = true;
};

// A line the program said to the user, and when (on the scene's clock).
struct SceneMessage {
  std::string text;
  double time = 0.0;
  // Shown since the clock read `time`, or still to be counted from the next frame's clock: a
  // line said during a long load (a dropped room) is not spent before it is first drawn.
  bool counted = false;
};

class Scene {
 public:
  // Simulation steps need strictly more than this much gathered frame time (seconds).
  static constexpr double kStepInterval = 0.02;
  // The window's size at start-up, in pixels.
  static constexpr int kWindowWidth = 1024;
  static constexpr int kWindowHeight = 800;
  // Rays per fan of the visibility pass after each simulation step.
  static constexpr int kVisibilityRays = 200;
  // How long a message stays on screen, seconds.
  static constexpr double kMessageSeconds = 4.0;

  Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // The backend that holds the light volume and draws; null draws nothing and uploads nothing
  // (tests, tools). Not owned. A room already built gets its light volume at once.
  void attachBackend(RenderBackend* renderBackend);

  // Reads the map (one pixel per column) into a room of `height` layers and prints the start-up
  // lines; the camera is placed by enterRoom. False with `error` the whole line to show when
  // the map cannot be used (unreadable, damaged, too large, no open column, larger than the
  // attached backend's light volume).
  bool loadRoom(const char* mapFile, int height, std::string& error);
  // The same from a map file's bytes (a picture dropped on the page), named `name` in lines.
  bool loadRoom(const std::string& name, const unsigned char* bytes, size_t size, int height,
                std::string& error);
  // After the grid and the map hold a new room: a new light volume, the camera at `start`.
  void enterRoom(const StartView& start);

  // One frame's work before drawing: the frame timer read, update, the status line's rates.
  void advanceFrame();
  // Advances the camera by the frame timer's step (capped) and, once more than 0.02 s has
  // gathered, runs stepSimulation, keeping what was gathered past 0.02 s up to another 0.02 s
  // (at most one step a frame).
  void update();
  // One simulation step: the light step, the upload of the light that changed, the visibility
  // pass from the camera and the reveal of the columns it saw.
  void stepSimulation();
  // Clears `hidden` in every cell of each column the visibility marks call seen.
  void revealVisibleColumns();
  // The horizontal distance from the eye within which the visibility pass marks every column:
  // where a corner of the view lies outside the fans either side of the heading (a view turned
  // down or up far enough, or a wide window), the farthest that any corner, or any point of the
  // window's sides outside the fans, meets the floor's top or the ceiling's underside; the rays'
  // whole range where the horizon leaves the window at a side outside the fans (a window over
  // about twice as wide as high); else 0.
  double visibleAround() const;

  // The window's new size (a side below 1 counts as 1): the frame's inputs and the backend's
  // targets follow it.
  void resize(int width, int height);
  // This frame's inputs: the camera's eye and view, the window's size and projection.
  FrameInputs frameInputs() const;
  // The status line's text now, whether or not it is shown.
  std::string statusLine() const;
  // True once in each whole second of the scene's clock from its first second on, when the
  // rates cover a full window: when a status line is due on standard output (--stats).
  bool statusSecondPassed();
  // What the screen shows now, as values (app/ScreenView.h).
  ScreenState screenState() const;
  // Everything over the frame: the overlay when on, the outline, and the screen items.
  FrameOverlay frameOverlay() const;
  // The recipe on the attached backend (nothing without one). `hook` runs after each stage.
  void drawFrame(FrameStageHook hook = nullptr, void* context = nullptr);

  // Editing (app/SceneEdit.cpp). The cell the eye looks at, from the current camera.
  void refreshPick();
  // A click at the picked cell: removes it, or with `place` puts selectedMaterial in the cell
  // in front of the picked face; with `wholeColumn` clears the picked cell's column, or fills
  // the column the pick aims at. The visibility is cast again at once; a refusal says why.
  void editAtPick(bool place, bool wholeColumn);
  void undoEdit();
  // The selection: palette material `index` when it is one other than air; the palette's next
  // (`step` 1) or previous (-1) material other than air, wrapping; the picked cell's material
  // (air picks nothing).
  void selectMaterial(int index);
  void selectNextMaterial(int step);
  void selectPickedMaterial();
  // Saves the room as a map picture under maps/ with the start marker where the eye stands.
  void saveRoomAsMap();
  // Prints `line` on standard output and shows it on screen for kMessageSeconds.
  void say(const std::string& line);
  // The most messages on screen at once: a new one takes the place of the oldest.
  static constexpr size_t kShownMessages = 4;
  // The messages still on screen, oldest first.
  std::vector<std::string> currentMessages() const;

  // The threads the light step runs on (QUILLMARSH_THREADS, else the machine's cores).
  std::unique_ptr<WorkerPool> pool;
  std::unique_ptr<LightGrid> grid;
  std::unique_ptr<ColorMap> occlusionMap;
  RoomEditor editor;
  // The palette index edits place; what the crosshair's swatch shows.
  int selectedMaterial = Palette::kWall;
  // The height the last room loaded would build a map at: the save key writes a room of another
  // height as a scene, as a map of it would come back at this height.
  int mapHeight = kRoomHeight;
  // When the selection last changed (the scene's clock): its name shows by the crosshair for
  // kMessageSeconds.
  double selectedAt = -kMessageSeconds;
  CellPick pick;
  FlyCamera camera;
  SceneFlags flags;
  // The keys the entry point has; the key card lists these.
  controls::KeySet keys = controls::KeySet::Desktop;
  FrameTimer timer;
  FrameStats stats;
  FrameRecipe recipe;
  // Input state: which keys are down (by slot, see app/Input.cpp) and the mouse drag.
  bool keysDown[256] = {};
  MouseDrag mouseDrag;
  int width = kWindowWidth, height = kWindowHeight;
  double stepAccumulator = 0.0;
  // Seconds of frame time since start-up (uncapped): the messages' clock.
  double clock = 0.0;
  // The clock's whole second statusSecondPassed last answered true in.
  long statusSecond = 0;
  long framesAdvanced = 0;
  // Simulation steps run since start-up.
  long simulationSteps = 0;

 private:
  // Shows `line` on screen for kMessageSeconds (the caller prints it where it belongs).
  void show(const std::string& line);
  // Takes the room a load of the file `name` built into `built` and `builtMap`, or keeps the
  // one in use: when the load failed, or the room is larger than the backend's light volume.
  bool useRoom(const std::string& name, const RoomLoad& load, std::unique_ptr<LightGrid>& built,
               std::unique_ptr<ColorMap>& builtMap, std::string& error);

  // Hands the backend the texels that changed since the last upload, or all of them (`whole`,
  // for a new light volume).
  void uploadLight(bool whole);

  RenderBackend* backend = nullptr;
  std::vector<TexelBox> uploadBoxes;
  std::vector<SceneMessage> messages;
};
