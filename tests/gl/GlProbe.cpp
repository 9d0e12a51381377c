// Helper process for GL tests whose subject ends the process or must run first in a fresh one.
// Opens its own 1024 x 800 GLUT window, then works through its arguments in order:
//   texture FILE    short-form loadTexture (after ilInit)
//   vertex FILE     constructs a VertexProgram; fragment FILE a FragmentProgram
//   report          ShaderManager::instance() twice, a marker line after each call
// and exits 0 when all of them returned.
#include <GL/glew.h>
#include <GL/freeglut.h>
#include <IL/il.h>

#include <cstring>
#include <iostream>

#include "Utils/FragmentProgram.h"
#include "Utils/ShaderManager.h"
#include "Utils/TextureLoader.h"
#include "Utils/VertexProgram.h"

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(1024, 800);
  glutCreateWindow("Quillmarsh GL probe");
  ilInit();
  for (int i = 1; i < argc; ++i) {
    const bool hasFile = i + 1 < argc;
    if (std::strcmp(argv[i], "report") == 0) {
      ShaderManager::instance();
      std::cout << "-- after first instance" << std::endl;
      ShaderManager::instance();
      std::cout << "-- after second instance" << std::endl;
    } else if (std::strcmp(argv[i], "texture") == 0 && hasFile) {
      GLuint texture = 0;
      loadTexture(argv[++i], &texture);
    } else if (std::strcmp(argv[i], "vertex") == 0 && hasFile) {
      if (glewInit() != GLEW_OK) return 2;
      new VertexProgram(argv[++i]);
    } else if (std::strcmp(argv[i], "fragment") == 0 && hasFile) {
      if (glewInit() != GLEW_OK) return 2;
      new FragmentProgram(argv[++i]);
    } else {
      std::cerr << "gl_probe: unknown argument " << argv[i] << std::endl;
      return 2;
    }
  }
  return 0;
}
