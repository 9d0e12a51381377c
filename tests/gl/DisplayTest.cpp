// initGL's fixed state, and onReshape: the viewport and the 60 degree perspective for a window
// size, including the zero height a window toolkit may report for a collapsed window.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>

#include "app/Display.h"

namespace {

struct Reshaped {
  GLint viewport[4];
  GLfloat projection[16];
  GLfloat modelView[16];
  // Width over height as the projection holds it: [1][1] is f, [0][0] is f / aspect.
  double aspect() const { return static_cast<double>(projection[5]) / projection[0]; }
};

Reshaped reshape(int width, int height) {
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(3.0f, 4.0f, 5.0f);  // reshaping starts the model-view afresh
  onReshape(width, height);
  Reshaped r;
  glGetIntegerv(GL_VIEWPORT, r.viewport);
  glGetFloatv(GL_PROJECTION_MATRIX, r.projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, r.modelView);
  return r;
}

}  // namespace

TEST(Display, ReshapeSetsTheViewportAndASixtyDegreePerspective) {
  const Reshaped r = reshape(1024, 800);
  EXPECT_EQ(r.viewport[2], 1024);
  EXPECT_EQ(r.viewport[3], 800);
  EXPECT_NEAR(r.aspect(), 1.28, 1e-5);
  EXPECT_NEAR(r.projection[5], 1.0 / std::tan(M_PI / 6.0), 1e-5);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r.modelView[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Display, ZeroHeightCountsAsOnePixelAndKeepsTheProjectionFinite) {
  const Reshaped r = reshape(800, 0);
  EXPECT_EQ(r.viewport[0], 0);
  EXPECT_EQ(r.viewport[1], 0);
  EXPECT_EQ(r.viewport[2], 800);
  EXPECT_EQ(r.viewport[3], 1);
  EXPECT_NEAR(r.aspect(), 800.0, 800.0 * 1e-5);
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(std::isfinite(r.projection[i])) << i;
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // And back: nothing of the collapsed size is left.
  const Reshaped back = reshape(1024, 800);
  EXPECT_EQ(back.viewport[3], 800);
  EXPECT_NEAR(back.aspect(), 1.28, 1e-5);
}

TEST(Display, InitGLSetsTheFixedStateAndLeavesNoError) {
  while (glGetError() != GL_NO_ERROR) {
  }
  glDisable(GL_DEPTH_TEST);
  glDepthFunc(GL_ALWAYS);
  initGL();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_FLOAT_EQ(clear[0], 0.4f);
  EXPECT_FLOAT_EQ(clear[1], 0.4f);
  EXPECT_FLOAT_EQ(clear[2], 0.99f);
  EXPECT_FLOAT_EQ(clear[3], 0.5f);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  GLint depthFunc = 0, shading = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
  glGetIntegerv(GL_SHADE_MODEL, &shading);
  EXPECT_EQ(depthFunc, GL_LESS);
  EXPECT_EQ(shading, GL_SMOOTH);
}
