// Frustum::extract, the GL half of the frustum: reads the current matrices and hands them to
// the pure plane builder.
#include <GL/glew.h>

#include "render/Frustum.h"

void Frustum::extract() {
  float proj[16];
  float modl[16];
  glGetFloatv(GL_PROJECTION_MATRIX, proj);
  glGetFloatv(GL_MODELVIEW_MATRIX, modl);
  extractFrom(proj, modl);
}
