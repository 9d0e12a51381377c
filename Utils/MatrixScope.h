// A GL matrix stack pushed for the length of a C++ scope: the constructor selects the stack and
// pushes it, the destructor pops that same stack and selects the model-view matrix again.
#pragma once

#include <GL/glew.h>

class MatrixScope {
 public:
  explicit MatrixScope(GLenum matrixMode) : mode(matrixMode) {
    glMatrixMode(mode);
    glPushMatrix();
  }
  ~MatrixScope() {
    glMatrixMode(mode);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
  }
  MatrixScope(const MatrixScope&) = delete;
  MatrixScope& operator=(const MatrixScope&) = delete;

 private:
  GLenum mode;
};
