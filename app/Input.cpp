// Input callbacks: translate keys and mouse events into camera input, program flags and edits
// of the light grid's current buffer. They run between frames on the toolkit's thread.
#include "app/Input.h"

#include <cassert>
#include <cctype>
#include <iostream>

#include "app/Controls.h"
#include "app/EditView.h"
#include "app/MouseDrag.h"
#include "app/Scene.h"
#include "world/LightGrid.h"

namespace {

constexpr unsigned char kSpace = 32;
constexpr unsigned char kEscape = 27;
constexpr double kJumpSpeed = 6.0;
// Control held with "z" and "s" arrives as these ASCII control codes.
constexpr unsigned char kCtrlZ = 26;
constexpr unsigned char kCtrlS = 19;
constexpr float kLightColourIntensity = 1500.0f;

void printStrength() {
  std::cout << "fade value:" << scene.grid->strength
            << (scene.grid->strength >= controls::kStrengthCeiling ? " (the ceiling)" : "")
            << std::endl;
}

MouseDrag mouseDrag;

// Keys held down, by slot: a letter and its capital, and Control with it (a control code on the
// press, the letter on the release), share one slot.
bool keysDown[256] = {};
unsigned char keySlot(unsigned char key) {
  if (key >= 1 && key <= 26 && key != 8 && key != 9 && key != 13) return static_cast<unsigned char>(key + 'a' - 1);
  return static_cast<unsigned char>(std::tolower(key));
}

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
  anyKeyPressed = true;
  // A press of a key that is down already is the keyboard's auto-repeat.
  if (keysDown[keySlot(key)]) return;
  keysDown[keySlot(key)] = true;
  scene.camera.setKey(static_cast<char>(key), true);
  if (key == kSpace) scene.camera.jump(kJumpSpeed);
  // The toolkit reports Control with a letter as a control code only on the press; the release
  // comes as the plain letter, so these two act when pressed.
  if (key == kCtrlZ) scene.undoEdit();
  if (key == kCtrlS) scene.saveRoomAsMap();
}

void onKeyUp(unsigned char key, int, int) {
  keysDown[keySlot(key)] = false;
  scene.camera.setKey(static_cast<char>(key), false);
  assert(scene.grid != nullptr);
  switch (key) {
    case kEscape:
      running = false;
      break;
    case '0':
      scene.grid->strength = controls::raisedStrength(scene.grid->strength);
      printStrength();
      break;
    case '8':
      scene.grid->strength = controls::loweredStrength(scene.grid->strength);
      printStrength();
      break;
    case '9':
      scene.grid->strength = controls::kStrengthLow;
      printStrength();
      break;
    case '1': scene.selectedKind = ColumnKind::Wall; break;
    case '2': scene.selectedKind = ColumnKind::Glass; break;
    case '3': scene.selectedKind = ColumnKind::WhiteLight; break;
    case '4': scene.selectedKind = ColumnKind::YellowLight; break;
    case '5': scene.selectedKind = ColumnKind::BlueLight; break;
    case 'r':
      scene.camera.levelView();
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

void onMouse(int button, int state, int x, int y) {
  if (state == 0) {
    // Only the button that starts a drag turns the view, from where it went down.
    if (!mouseDrag.press(button, x, y)) return;
    scene.camera.setMousePosition(x, y);
    scene.camera.setMouseLook(true);
    return;
  }
  bool click = false;
  if (!mouseDrag.release(button, x, y, click)) return;
  // Motion no frame has applied yet is dropped: the view stays as last drawn.
  scene.camera.setMousePosition(x, y);
  scene.camera.setMouseLook(true);
  if (click && button == 0) scene.editAtPick(false);
  if (click && button == 2) scene.editAtPick(true);
}

void onMotion(int x, int y) {
  if (mouseDrag.motion(x, y)) scene.camera.setMousePosition(x, y);
}

void onPassiveMotion(int, int) {}
