// Quillmarsh entry point: opens the window, builds the world and runs the frame loop.
#include <GL/glew.h>
#include <GL/freeglut.h>

#include "app/Display.h"
#include "app/Input.h"
#include "app/Scene.h"

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(Scene::kWindowWidth, Scene::kWindowHeight);
  glutCreateWindow("Quillmarsh");
  initGL();
  scene.buildWorld("media/textures/maps/testmap.png", 6);

  glutDisplayFunc(onDisplay);
  glutReshapeFunc(onReshape);
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
