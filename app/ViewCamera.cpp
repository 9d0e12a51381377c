// ViewCamera: view control from keys and mouse.
#include "app/ViewCamera.h"

ViewCamera::ViewCamera(const Vec3& eye_, const Vec3& target_, const Vec3& up_) {
  const Matrix4 gl = viewMatrix.transposed();
  for (int i = 0; i < 16; ++i) glViewMatrix[i] = gl.m[i];
  setView(eye_, target_, up_);
}

void ViewCamera::setView(const Vec3& newEye, const Vec3& newTarget, const Vec3& newUp) {
  eye = newEye;
  target = newTarget;
  up = newUp;
}

void ViewCamera::setPosition(const Vec3& p) { eye = p; }
