// Entry point of a GL test binary: one hidden-cursor 1024 x 800 GLUT window whose context every
// test uses. Run under an X display (tests/with-display.sh starts Xvfb when there is none).
#include <GL/glew.h>
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(1024, 800);
  glutCreateWindow("Quillmarsh GL test");
  const GLenum glewStatus = glewInit();
  if (glewStatus != GLEW_OK) {
    std::fprintf(stderr, "GL tests: glewInit failed: %s\n",
                 reinterpret_cast<const char*>(glewGetErrorString(glewStatus)));
    return 1;
  }
  return RUN_ALL_TESTS();
}
