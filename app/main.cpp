// Quillmarsh entry point: reads the command line (an optional map), opens the window, builds the
// world and runs the frame loop.
#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cstring>
#include <iostream>
#include <string>

#include "app/Controls.h"
#include "app/Display.h"
#include "app/Input.h"
#include "app/Scene.h"
#include "platform/KeyRepeat.h"
#include "world/WorldBuilder.h"

namespace {

void printUsage(std::ostream& out) {
  out << "Usage: quillmarsh [MAP]\n"
         "  MAP  a PNG or JPEG room map, one pixel per column (default: " << kShippedMapFile << ")\n"
         "The window toolkit's own options (-display, -geometry ...) are accepted as well.\n"
         "Keys and mouse:\n";
  for (const std::string& line : controls::keyLines()) out << "  " << line << "\n";
  out << "The map colours are listed in README.md, \"The room map\"." << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      printUsage(std::cout);
      return 0;
    }
  }
  glutInit(&argc, argv);  // takes out the toolkit's own options
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::cerr << "quillmarsh: unexpected argument \"" << argv[argc > 2 ? 2 : 1]
              << "\"; see quillmarsh --help" << std::endl;
    return 1;
  }
  const char* mapFile = argc == 2 ? argv[1] : kShippedMapFile;

  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(Scene::kWindowWidth, Scene::kWindowHeight);
  glutCreateWindow("Quillmarsh");
  initGL();
  scene.buildWorld(mapFile, kRoomHeight);

  glutDisplayFunc(onDisplay);
  glutReshapeFunc(onReshape);
  // Each key acts once per press: held keys repeat as presses only, which onKeyDown drops. The
  // toolkit's own repeat filter reads the keyboard when it handles a release, so it mistakes a
  // quick next press for a repeat: only a server without detectable repeat needs it.
  if (!useDetectableKeyRepeat()) glutIgnoreKeyRepeat(1);
  glutKeyboardUpFunc(onKeyUp);
  glutKeyboardFunc(onKeyDown);
  glutSpecialFunc(onSpecialKey);
  glutIdleFunc(onDisplay);
  glutMouseFunc(onMouse);
  glutMotionFunc(onMotion);
  glutPassiveMotionFunc(onPassiveMotion);
  glutSetCursor(GLUT_CURSOR_NONE);
  glutMainLoop();
  return 0;
}
