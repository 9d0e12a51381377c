// Frustum::extract reads the context's current projection and model-view matrices.
#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include "render/Frustum.h"

TEST(FrustumExtract, UsesTheCurrentProjectionAndModelViewMatrices) {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluPerspective(60.0, 1024.0 / 800.0, 0.1, 1000.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  gluLookAt(10.0, 2.0, 5.0, 20.0, 3.0, 12.0, 0.0, 1.0, 0.0);

  Frustum fromGl;
  fromGl.extract();
  float proj[16], modl[16];
  glGetFloatv(GL_PROJECTION_MATRIX, proj);
  glGetFloatv(GL_MODELVIEW_MATRIX, modl);

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();

  Frustum expected;
  expected.extractFrom(proj, modl);
  for (int p = 0; p < 6; ++p) {
    for (int i = 0; i < 4; ++i) EXPECT_EQ(fromGl.planes[p][i], expected.planes[p][i]) << p << i;
  }
  // The view the matrices describe: ahead of the eye is in, behind it is out.
  EXPECT_TRUE(fromGl.cubeVisible(20.0f, 3.0f, 12.0f, 0.5f));
  EXPECT_FALSE(fromGl.cubeVisible(0.0f, 1.0f, -2.0f, 0.5f));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
