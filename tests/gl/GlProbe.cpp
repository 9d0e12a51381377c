// Helper process for GL tests whose subject ends the process or must run first in a fresh one.
// Opens its own 1024 x 800 GLUT window, then works through its arguments in order:
//   texture FILE    short-form loadTexture (after ilInit)
//   vertex FILE     constructs a VertexProgram; fragment FILE a FragmentProgram
//   report          ShaderManager::instance() twice, a marker line after each call
//   volume-max      Scene::createLightVolume for a grid GL_MAX_3D_TEXTURE_SIZE cells long,
//   volume-over     or one cell longer; "volume made" when it returns
// and exits 0 when all of them returned.
#include <GL/glew.h>
#include <GL/freeglut.h>
#include <IL/il.h>

#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

#include "Utils/FragmentProgram.h"
#include "Utils/FramebufferObject.h"
#include "Utils/ShaderManager.h"
#include "Utils/TextureLoader.h"
#include "Utils/VertexProgram.h"
#include "app/Scene.h"
#include "world/LightGrid.h"

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(1024, 800);
  glutCreateWindow("Quillmarsh GL probe");
  ilInit();
  // Programs live until the probe ends, like the program's own.
  std::vector<std::unique_ptr<ShaderProgram>> kept;
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
      kept.push_back(std::make_unique<VertexProgram>(argv[++i]));
    } else if (std::strcmp(argv[i], "fragment") == 0 && hasFile) {
      if (glewInit() != GLEW_OK) return 2;
      kept.push_back(std::make_unique<FragmentProgram>(argv[++i]));
    } else if (std::strcmp(argv[i], "volume-max") == 0 ||
               std::strcmp(argv[i], "volume-over") == 0) {
      if (glewInit() != GLEW_OK) return 2;
      GLint maxSize = 0;
      glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &maxSize);
      const int length = std::strcmp(argv[i], "volume-over") == 0 ? maxSize + 1 : maxSize;
      Scene local;
      local.grid = new LightGrid();
      local.grid->resize(length, 1, 1);
      local.createLightVolume();
      delete local.lightVolumeFbo;
      std::cout << "volume made" << std::endl;
    } else {
      std::cerr << "gl_probe: unknown argument " << argv[i] << std::endl;
      return 2;
    }
  }
  return 0;
}
