// Input: keys and mouse events turned into camera input, the Scene's switches and edits.
#include "app/Input.h"

#include <cctype>
#include <iostream>

#include "app/Controls.h"
#include "app/Scene.h"
#include "app/ScreenView.h"

namespace {

constexpr unsigned char kSpace = 32;
constexpr unsigned char kEscape = 27;
constexpr double kJumpSpeed = 6.0;
// Control held with "z" and "s" arrives as these ASCII control codes.
constexpr unsigned char kCtrlZ = 26;
constexpr unsigned char kCtrlS = 19;
constexpr float kLightColourIntensity = 1500.0f;
// The wheel turned a notch away from the user (up) or toward them, as buttons are numbered.
constexpr int kWheelUp = 3, kWheelDown = 4;

void printStrength(const LightGrid& grid) {
  std::cout << "fade value:" << grid.strength
            << (grid.strength >= controls::kStrengthCeiling ? " (the ceiling)" : "") << std::endl;
}

// Keys held down are kept by slot: a letter, its capital and its control code share one slot, and
// so do the space bar and its control code (NUL).
unsigned char keySlot(unsigned char key) {
  if (key == 0) return kSpace;
  if (key >= 1 && key <= 26 && key != 8 && key != 9 && key != 13)
    return static_cast<unsigned char>(key + 'a' - 1);
  return static_cast<unsigned char>(std::tolower(key));
}

// Gives the cell that holds the wandering light a new colour; every other field is kept.
void recolourWanderingLight(LightGrid& grid, float r, float g, float b) {
  GridCell cell = grid.getCell(grid.lightX, grid.lightY, grid.lightZ);
  cell.emission[0] = r;
  cell.emission[1] = g;
  cell.emission[2] = b;
  grid.setCell(grid.lightX, grid.lightY, grid.lightZ, cell);
}

}  // namespace

namespace input {

void keyDown(Scene& scene, unsigned char key) {
  scene.flags.anyKeyPressed = true;
  // A press of a key that is down already is the keyboard's auto-repeat.
  if (scene.keysDown[keySlot(key)]) return;
  scene.keysDown[keySlot(key)] = true;
  scene.camera.setKey(static_cast<char>(key), true);
  if (key == kSpace) scene.camera.jump(kJumpSpeed);
  // These two act when pressed: the release of a letter pressed with Control may come as the
  // plain letter.
  if (key == kCtrlZ) scene.undoEdit();
  if (key == kCtrlS) scene.saveRoomAsMap();
}

void keyLetGo(Scene& scene, unsigned char key) {
  scene.keysDown[keySlot(key)] = false;
  // By its slot: a walking key let go with Shift or Control held comes as a capital or a control
  // code, and must stop the walk all the same.
  scene.camera.setKey(static_cast<char>(keySlot(key)), false);
}

void keyUp(Scene& scene, unsigned char key) {
  keyLetGo(scene, key);
  LightGrid& grid = *scene.grid;
  SceneFlags& flags = scene.flags;
  switch (key) {
    case kEscape: flags.running = false; break;
    case '0':
      grid.strength = controls::raisedStrength(grid.strength);
      printStrength(grid);
      break;
    case '8':
      grid.strength = controls::loweredStrength(grid.strength);
      printStrength(grid);
      break;
    case '9':
      grid.strength = controls::kStrengthLow;
      printStrength(grid);
      break;
    case '1': case '2': case '3': case '4': case '5': case '6': case '7':
      scene.selectMaterial(key - '0');
      break;
    case '[': scene.selectNextMaterial(-1); break;
    case ']': scene.selectNextMaterial(1); break;
    case 'r': scene.camera.levelView(); break;
    case 'b': flags.debugView = flags.debugView + 1 < 2 ? flags.debugView + 1 : 0; break;
    case 'i': recolourWanderingLight(grid, kLightColourIntensity, 0.0f, 0.0f); break;
    case 'j': recolourWanderingLight(grid, 0.0f, kLightColourIntensity, 0.0f); break;
    case 'n': recolourWanderingLight(grid, 0.0f, 0.0f, kLightColourIntensity); break;
    case 'm': flags.cpuLightUpload = !flags.cpuLightUpload; break;
    case 'o': flags.overlayVisible = !flags.overlayVisible; break;
    case 'h': flags.statusVisible = !flags.statusVisible; break;
    case 'p': flags.screenshotRequested = true; break;
    default: break;
  }
}

void keyCard(Scene& scene) {
  scene.flags.anyKeyPressed = true;
  const int pages = ScreenView::keyCardPages(scene.screenState());
  int& page = scene.flags.keyCardPage;
  page = page + 1 < pages ? page + 1 : -1;
}

void mouse(Scene& scene, int button, bool down, int x, int y, bool shift) {
  if (button == kWheelUp || button == kWheelDown) {
    if (down) scene.selectNextMaterial(button == kWheelUp ? -1 : 1);
    return;
  }
  if (down) {
    // Only the button that starts a drag turns the view, from where it went down.
    if (!scene.mouseDrag.press(button, x, y)) return;
    scene.camera.setMousePosition(x, y);
    scene.camera.setMouseLook(true);
    return;
  }
  bool click = false;
  if (!scene.mouseDrag.release(button, x, y, click)) return;
  // Motion no frame has applied yet is dropped: the view stays as last drawn.
  scene.camera.setMousePosition(x, y);
  scene.camera.setMouseLook(true);
  if (click && button == 0) scene.editAtPick(false, shift);
  if (click && button == 1) scene.selectPickedMaterial();
  if (click && button == 2) scene.editAtPick(true, shift);
}

void motion(Scene& scene, int x, int y) {
  if (scene.mouseDrag.motion(x, y)) scene.camera.setMousePosition(x, y);
}

}  // namespace input
