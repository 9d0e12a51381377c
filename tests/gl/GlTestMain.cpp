// A GL test binary's entry: one 1024 x 800 window (Xvfb via tests/with-display.sh) for all its tests.
// "BINARY --probe ACTION..." is gltest::runProbe's helper process instead: "texture FILE" loads a
// texture.
#include <GL/glew.h>
#include <GL/freeglut.h>
#include <IL/il.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Utils/TextureLoader.h"

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
    if (action == "texture" && i + 1 < argc) loadTexture(argv[++i], &texture);
  }
}
