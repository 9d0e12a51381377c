// The visibility map drawn over the frame: one 8-pixel dot per map column in the lower-left
// third of the window.
#include <GL/glew.h>
#include <GL/glu.h>

#include "Utils/MatrixScope.h"
#include "world/ColorMap.h"

// Relies on: the model-view matrix selected and holding the identity.
// Leaves: depth testing on, 2-D texturing off; restores the point size, the current colour and
// the projection matrix.
void ColorMap::drawOverlay() const {
  if (!allocated) return;
  GLfloat previousPointSize = 1.0f;
  glGetFloatv(GL_POINT_SIZE, &previousPointSize);
  GLfloat previousColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  glGetFloatv(GL_CURRENT_COLOR, previousColour);

  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  {
    MatrixScope projection(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(-10.0, 3.0 * width, -10.0, 3.0 * height);
    glMatrixMode(GL_MODELVIEW);
    glPointSize(8.0f);
    glBegin(GL_POINTS);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const Pixel& p = markPixel(x, y);
        glColor3f(p.r / 255.0f, p.g / 255.0f, p.b / 255.0f);
        glVertex2i(x, y);
      }
    }
    glEnd();
  }
  glPointSize(previousPointSize);
  glColor4fv(previousColour);
  glEnable(GL_DEPTH_TEST);
}
