// The visibility map drawn over the frame: one textured quad in the window's lower-left corner,
// placed and scaled by OverlayLayout, from a texture refilled only when the marks have changed.
#include <GL/glew.h>
#include <GL/glu.h>

#include <vector>

#include "Utils/MatrixScope.h"
#include "render/OverlayLayout.h"
#include "world/ColorMap.h"

// Relies on: the model-view matrix selected and holding the identity; the viewport the window.
// Leaves: depth testing on, 2-D texturing off, the unpack alignment 1; restores the 2-D texture
// binding, the current colour, the texture environment mode and the projection matrix.
void ColorMap::drawOverlay(int windowWidth, int windowHeight) const {
  if (!allocated || width == 0 || height == 0) return;
  GLint previousTexture = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
  if (overlayTexture == 0) {
    glGenTextures(1, &overlayTexture);
    glBindTexture(GL_TEXTURE_2D, overlayTexture);
    // Each column a sharp square, however large.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  glBindTexture(GL_TEXTURE_2D, overlayTexture);
  if (overlayVersion != marksVersion) {
    // Texel (x, y) is the mark of column (x, z = y).
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    for (long i = 0; i < static_cast<long>(width) * height; ++i) {
      rgb[3 * i] = static_cast<unsigned char>(marks[i].r);
      rgb[3 * i + 1] = static_cast<unsigned char>(marks[i].g);
      rgb[3 * i + 2] = static_cast<unsigned char>(marks[i].b);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    overlayVersion = marksVersion;
  }

  GLfloat previousColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  glGetFloatv(GL_CURRENT_COLOR, previousColour);
  GLint previousMode = GL_MODULATE;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &previousMode);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  {
    MatrixScope projection(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, windowWidth, 0, windowHeight);
    glMatrixMode(GL_MODELVIEW);
    // Row z = 0 of the texture goes to the top: the corners are those of the corner columns.
    const OverlayLayout layout(windowWidth, windowHeight, width, height);
    const float x0 = layout.columnX(0), x1 = layout.columnX(width - 1) + layout.cell;
    const float y0 = layout.columnY(height - 1), y1 = layout.columnY(0) + layout.cell;
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(x0, y0);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(x1, y0);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(x1, y1);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(x0, y1);
    glEnd();
  }
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, previousMode);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previousTexture));
  glDisable(GL_TEXTURE_2D);
  glColor4fv(previousColour);
  glEnable(GL_DEPTH_TEST);
}
