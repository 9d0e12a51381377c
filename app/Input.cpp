// Input callbacks: translate keys and mouse events into camera input, program flags and edits
// of the light grid's current buffer. They run between frames on the toolkit's thread.
#include "app/Input.h"

#include <cassert>
#include <iostream>

#include "app/Scene.h"
#include "world/LightGrid.h"

namespace {

constexpr unsigned char kSpace = 32;
constexpr unsigned char kEscape = 27;
constexpr double kJumpSpeed = 6.0;
constexpr double kStrengthStep = 0.05;
constexpr float kStrengthFloor = 0.001f;
constexpr float kLightColourIntensity = 1500.0f;

void printStrength() { std::cout << "fade value:" << scene.grid->strength << std::endl; }

// Gives the cell that holds the wandering light a new colour; every other field is kept.
void recolourWanderingLight(float r, float g, float b) {
  LightGrid& grid = *scene.grid;
  GridCell cell = grid.getCell(grid.lightX, grid.lightY, grid.lightZ);
  cell.emission[0] = r;
  cell.emission[1] = g;
  cell.emission[2] = b;
  grid.setCell(grid.lightX, grid.lightY, grid.lightZ, cell);
}

}  // namespace

void onKeyDown(unsigned char key, int, int) {
  scene.camera.setKey(static_cast<char>(key), true);
  if (key == kSpace) scene.camera.jump(kJumpSpeed);
}

void onKeyUp(unsigned char key, int, int) {
  scene.camera.setKey(static_cast<char>(key), false);
  assert(scene.grid != nullptr);
  switch (key) {
    case kEscape:
      running = false;
      break;
    case '0':
      scene.grid->strength = static_cast<float>(scene.grid->strength + kStrengthStep);
      printStrength();
      break;
    case '9':
      scene.grid->strength = kStrengthFloor;
      printStrength();
      break;
    case 'b':
      debugView = debugView + 1 < 2 ? debugView + 1 : 0;
      break;
    case 'i':
      recolourWanderingLight(kLightColourIntensity, 0.0f, 0.0f);
      break;
    case 'j':
      recolourWanderingLight(0.0f, kLightColourIntensity, 0.0f);
      break;
    case 'n':
      recolourWanderingLight(0.0f, 0.0f, kLightColourIntensity);
      break;
    case 'm':
      scene.render.cpuLightUpload = !scene.render.cpuLightUpload;
      break;
    case 'o':
      overlayVisible = !overlayVisible;
      break;
    case 'h':
      statusVisible = !statusVisible;
      break;
    case 'p':
      screenshotRequested = true;
      break;
    default:
      break;
  }
}

void onMouse(int button, int, int x, int y) {
  scene.camera.setMousePosition(x, y);
  // Any left-button event, press or release, switches mouse look on for the rest of the run.
  if (button == 0) scene.camera.setMouseLook(true);
}

void onMotion(int x, int y) { scene.camera.setMousePosition(x, y); }

void onPassiveMotion(int, int) {}
