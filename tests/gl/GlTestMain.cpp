// A GL test binary's entry: one 1024 x 800 window (Xvfb via tests/with-display.sh) for all its tests.
// "BINARY --probe ACTION..." is gltest::runProbe's helper process instead: "texture FILE" loads a
// texture; "volume-max"/"volume-over" make the light volume of the largest 3-D texture (or one more).
#include <GL/glew.h>
#include <GL/freeglut.h>
#include <IL/il.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Utils/FramebufferObject.h"
#include "Utils/TextureLoader.h"
#include "app/Scene.h"
#include "world/LightGrid.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(1024, 800);
  glutCreateWindow("Quillmarsh GL test");
  ilInit();
  if (glewInit() != GLEW_OK) return std::fputs("GL tests: glewInit failed\n", stderr), 2;
  if (argc < 2 || std::string(argv[1]) != "--probe") return RUN_ALL_TESTS();
  for (int i = 2; i < argc; ++i) {
    const std::string action = argv[i];
    GLuint texture = 0;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &maxSize);
    if (action == "texture" && i + 1 < argc) loadTexture(argv[++i], &texture);
    if (action != "volume-max" && action != "volume-over") continue;
    Scene local;
    local.grid = new LightGrid();
    local.grid->resize(action == "volume-over" ? maxSize + 1 : maxSize, 1, 1);
    local.createLightVolume();
    delete local.render.lightVolumeFbo;
    std::puts("volume made");
  }
}
