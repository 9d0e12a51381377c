// Quillmarsh on the desktop: reads the command line (an optional map and room height), builds the
// room before any window opens, then opens the window, makes the GL backend and runs the frame
// loop through GLUT's callbacks. Window coordinates from GLUT are pixels, y down.
#include <GL/glew.h>
#include <GL/freeglut.h>
#include <IL/il.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/CommandLine.h"
#include "app/Controls.h"
#include "app/Input.h"
#include "app/Scene.h"
#include "desktop/GlBackend.h"
#include "desktop/Screenshot.h"
#include "platform/Clock.h"
#include "platform/KeyRepeat.h"
#include "world/WorldBuilder.h"

namespace {

constexpr int kMinHeight = CommandLine::kMinHeight;
constexpr int kMaxHeight = CommandLine::kMaxHeight;

// The scene the callbacks act on: GLUT's callbacks take no argument to carry it. Set once in
// main, which owns the scene.
Scene* theScene = nullptr;

// --max-fps, else the frame timer's limit: counter ticks between frames and the tick the next
// frame waits for. Set once in main, read by the frame callback alone.
struct FramePace {
  int64_t interval = 0;
  int64_t nextAt = 0;
} pace;

// Sleeps until the next frame's turn when the frame rate is limited. A frame later than a whole
// interval starts the count again, so missed frames are not made up in a burst.
void waitForFrameTurn() {
  if (pace.interval == 0) return;
  int64_t now = platform::performanceCounter();
  if (now < pace.nextAt) {
    std::this_thread::sleep_for(std::chrono::nanoseconds(
        (pace.nextAt - now) * 1000000000 / platform::performanceFrequency()));
    now = pace.nextAt;
  }
  pace.nextAt = std::max(pace.nextAt, now - pace.interval) + pace.interval;
}

void printUsage(std::ostream& out) {
  out << "Usage: quillmarsh [--height N] [--max-fps N] [--stats] [MAP]\n"
         "  MAP          a PNG or JPEG room map, one pixel per column, or a .vox scene\n"
         "               (default: " << kShippedMapFile << ")\n"
         "  --height N   the room's height in cells, floor and ceiling included, " << kMinHeight
      << " to " << kMaxHeight << " (default " << kRoomHeight << ")\n"
         "  --max-fps N  draw at most N frames a second, 1 to " << CommandLine::kMaxFrameRate
      << " (default: as many as the driver allows, up to " << CommandLine::kMaxFrameRate << ")\n"
         "  --stats      print the status line on standard output once a second\n"
         "The window toolkit's own options (-display, -geometry ...) are accepted as well.\n"
         "Keys and mouse:\n";
  for (const std::string& line : controls::keyLines()) out << "  " << line << "\n";
  out << "The map colours are listed in README.md, \"The room map\"." << std::endl;
}

int refuse(const std::string& message) {
  std::cerr << "quillmarsh: " << message << "; see quillmarsh --help" << std::endl;
  return 1;
}

// The command line without the window toolkit's own options, which glutInit takes out later:
// the map is read before the toolkit starts, so that a map it refuses needs no display. The index
// in argv of the last -geometry value goes to `geometryAt` (0: none).
std::vector<char*> programArguments(int argc, char** argv, int& geometryAt) {
  std::vector<char*> kept{argv[0]};
  geometryAt = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "-display" || option == "-geometry") {
      if (option == "-geometry" && i + 1 < argc) geometryAt = i + 1;
      ++i;  // and its value
    } else if (option != "-direct" && option != "-indirect" && option != "-iconic" &&
               option != "-gldebug" && option != "-sync") {
      kept.push_back(argv[i]);
    }
  }
  return kept;
}

// A window geometry as X writes it, [=][WIDTHxHEIGHT][{+-}X[{+-}Y]], each side 1 to 32767 (X
// keeps sizes in 16 bits); as the toolkit should take it: given no size, the program's own before
// the place, which the toolkit would otherwise count from a size of nothing (a window X refuses,
// or one placed off the screen). Empty when it is no geometry.
std::string windowGeometry(const std::string& text) {
  static const std::regex form(
      "=?(([0-9]{1,5})[xX]([0-9]{1,5}))?([+-][0-9]{1,5}([+-][0-9]{1,5})?)?");
  std::smatch parts;
  if (text.empty() || text == "=" || !std::regex_match(text, parts, form)) return "";
  if (!parts[1].matched)
    return std::to_string(Scene::kWindowWidth) + "x" + std::to_string(Scene::kWindowHeight) +
           parts[4].str();
  for (const int side : {std::stoi(parts[2]), std::stoi(parts[3])})
    if (side < 1 || side > 32767) return "";
  return text;
}

// One frame: its turn when the rate is limited, the update, the recipe, the screenshot when asked
// for, the swap.
void onDisplay() {
  waitForFrameTurn();
  Scene& scene = *theScene;
  scene.advanceFrame();
  if (!scene.flags.running) std::exit(0);
  if (scene.flags.statusOnOutput && scene.statusSecondPassed())
    std::cout << scene.statusLine() << std::endl;
  scene.drawFrame();
  if (scene.flags.screenshotRequested) {
    scene.flags.screenshotRequested = false;
    // The frame lies in the back buffer until the swap.
    saveScreenshot(scene.width, scene.height);
  }
  glutSwapBuffers();
}

// The largest picture the driver draws whole; a larger window shows one of this size from its
// lower-left corner.
int largestWidth = 1, largestHeight = 1;

void onReshape(int width, int height) {
  theScene->resize(std::min(width, largestWidth), std::min(height, largestHeight));
}

void onKeyDown(unsigned char key, int, int) { input::keyDown(*theScene, key); }

void onKeyUp(unsigned char key, int, int) { input::keyUp(*theScene, key); }

// F1 and F11 while held: as with every key, a press of one that is down is the auto-repeat.
bool f1Held = false, f11Held = false;

// F1 steps through the key card; F11 switches between the window and full screen.
void onSpecialKey(int key, int, int) {
  theScene->flags.anyKeyPressed = true;
  bool* held = key == GLUT_KEY_F1 ? &f1Held : key == GLUT_KEY_F11 ? &f11Held : nullptr;
  if (held == nullptr || *held) return;
  *held = true;
  if (key == GLUT_KEY_F1) input::keyCard(*theScene);
  if (key == GLUT_KEY_F11) glutFullScreenToggle();
}

void onSpecialKeyUp(int key, int, int) {
  if (key == GLUT_KEY_F1) f1Held = false;
  if (key == GLUT_KEY_F11) f11Held = false;
}

// The wheel comes as buttons 3 (up) and 4 (down), a press and a release a notch.
void onMouse(int button, int state, int x, int y) {
  const bool shift = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
  input::mouse(*theScene, button, state == GLUT_DOWN, x, y, shift);
}

void onMotion(int x, int y) { input::motion(*theScene, x, y); }

}  // namespace

int main(int argc, char** argv) {
  // Output redirected to a file past the file size limit fails as on a full disk instead of
  // ending the program (the saves hold the signal back themselves).
  std::signal(SIGXFSZ, SIG_IGN);
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      printUsage(std::cout);
      return 0;
    }
  }
  int geometryAt = 0;
  const std::vector<char*> own = programArguments(argc, argv, geometryAt);
  const CommandLine line = parseCommandLine(static_cast<int>(own.size()), own.data());
  if (!line.refusal.empty()) return refuse(line.refusal);
  // Kept for the toolkit, which reads it from argv, for the process's life.
  static std::string geometry;
  if (geometryAt > 0) {
    geometry = windowGeometry(argv[geometryAt]);
    if (geometry.empty())
      return refuse(std::string("-geometry takes WIDTHxHEIGHT, +X+Y or both, each side 1 to "
                                "32767, not \"") + argv[geometryAt] + "\"");
    argv[geometryAt] = &geometry[0];
  }

  // The wandering light moves at random.
  std::srand(platform::tickCountMs());
  ilInit();
  // The scene and the backend live as long as the process: the frame loop ends it with exit().
  Scene scene;
  std::string error;
  if (!scene.loadRoom(line.mapFile.c_str(), line.roomHeight, error)) {
    std::cerr << error << std::endl;
    return 1;
  }
  // A map room is always as high as asked: a room of another height was built from a scene.
  if (line.heightGiven && scene.grid->sizeY != line.roomHeight)
    std::cerr << "quillmarsh: --height " << line.roomHeight << " is for maps; the scene \""
              << line.mapFile << "\" keeps its own height of " << scene.grid->sizeY << " cells"
              << std::endl;
  scene.flags.statusOnOutput = line.printStats;
  // The frame timer counts every frame as at least a millisecond: frames drawn faster would run
  // the clock, the light and the walk ahead of real time.
  pace.interval = platform::performanceFrequency() /
                  (line.maxFrameRate > 0 ? line.maxFrameRate : CommandLine::kMaxFrameRate);
  theScene = &scene;

  // The size first, so that the toolkit's own -geometry, which glutInit reads, can replace it.
  glutInitWindowSize(Scene::kWindowWidth, Scene::kWindowHeight);
  glutInit(&argc, argv);  // takes out the toolkit's own options
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutCreateWindow("Quillmarsh");
  GlBackend backend(Scene::kWindowWidth, Scene::kWindowHeight);
  backend.largestPicture(largestWidth, largestHeight);
  scene.attachBackend(&backend);

  glutDisplayFunc(onDisplay);
  glutReshapeFunc(onReshape);
  // Each key acts once per press: held keys repeat as presses only, which input::keyDown drops.
  // The toolkit's own repeat filter reads the keyboard when it handles a release, so it mistakes
  // a quick next press for a repeat: only a server without detectable repeat needs it.
  if (!useDetectableKeyRepeat()) glutIgnoreKeyRepeat(1);
  glutKeyboardUpFunc(onKeyUp);
  glutKeyboardFunc(onKeyDown);
  glutSpecialFunc(onSpecialKey);
  glutSpecialUpFunc(onSpecialKeyUp);
  glutIdleFunc(onDisplay);
  glutMouseFunc(onMouse);
  glutMotionFunc(onMotion);
  glutSetCursor(GLUT_CURSOR_NONE);
  glutMainLoop();
  return 0;
}
