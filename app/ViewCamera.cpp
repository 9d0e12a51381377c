// ViewCamera: view control from keys and mouse.
#include "app/ViewCamera.h"

#include <algorithm>
#include <cmath>

ViewCamera::ViewCamera(const Vec3& eye_, const Vec3& target_, const Vec3& up_) {
  const Matrix4 gl = viewMatrix.transposed();
  for (int i = 0; i < 16; ++i) glViewMatrix[i] = gl.m[i];
  setView(eye_, target_, up_);
}

namespace {
bool rightOf(const Vec3& view, const Vec3& up, Vec3& right);
}  // namespace

void ViewCamera::setView(const Vec3& newEye, const Vec3& newTarget, const Vec3& newUp) {
  eye = newEye;
  // Only the view's direction counts. One whose length (taken in double) is so short or so long
  // that squares of it leave float's range, or lose its digits beside the eye's, is brought to one
  // unit along the same direction; a view of no length, or none at all, looks along -z. Up alike.
  const auto unit = [](const Vec3& v, const Vec3& none) {
    const double length = std::sqrt(static_cast<double>(v.x) * v.x +
                                    static_cast<double>(v.y) * v.y +
                                    static_cast<double>(v.z) * v.z);
    if (!(length > 0.0) || !std::isfinite(length)) return none;
    if (length >= kShortestView && length <= kLongestView) return v;
    return Vec3(static_cast<float>(v.x / length), static_cast<float>(v.y / length),
                static_cast<float>(v.z / length));
  };
  const Vec3 towards(static_cast<float>(static_cast<double>(newTarget.x) - eye.x),
                     static_cast<float>(static_cast<double>(newTarget.y) - eye.y),
                     static_cast<float>(static_cast<double>(newTarget.z) - eye.z));
  const Vec3 view = unit(towards, Vec3(0.0f, 0.0f, -1.0f));
  target = view.x == towards.x && view.y == towards.y && view.z == towards.z ? newTarget
                                                                             : eye + view;
  up = unit(newUp, Vec3(0.0f, 1.0f, 0.0f));
  // Straight up or down the view gives no right vector: the last one stays, and a camera that has
  // none takes one across up, which serves until the view turns.
  if (!rightOf(target - eye, up, right) && !(right.dot(right) > 0.0f) &&
      !rightOf(Vec3(0.0f, 0.0f, -1.0f), up, right))
    rightOf(Vec3(1.0f, 0.0f, 0.0f), up, right);
}

void ViewCamera::setPosition(const Vec3& p) {
  target += p - eye;
  eye = p;
}

void ViewCamera::moveBy(const Vec3& d) {
  eye += d;
  target += d;
}

namespace {

// Writes the unit right vector view x up and returns true, unless the view is zero or so close
// to parallel with up that the cross product carries no direction.
bool rightOf(const Vec3& view, const Vec3& up, Vec3& right) {
  Vec3 r = cross(view, up);
  const float scale = view.dot(view) * up.dot(up);
  if (!(r.dot(r) > 1e-12f * scale)) return false;
  right = r.normalize();
  return true;
}

// The largest part of a requested pitch (radians, positive turns towards up) that keeps the view
// at least kMinAngleFromUp away from up and from its opposite. Never reverses the turn.
double limitPitch(const Vec3& view, const Vec3& up, double pitch) {
  const double lengths = std::sqrt(static_cast<double>(view.dot(view)) * up.dot(up));
  if (lengths == 0.0) return pitch;
  const double cosine = std::max(-1.0, std::min(1.0, view.dot(up) / lengths));
  const double fromUp = std::acos(cosine);
  const double pi = std::acos(-1.0);
  if (pitch > 0.0) return std::min(pitch, std::max(0.0, fromUp - ViewCamera::kMinAngleFromUp));
  if (pitch < 0.0)
    return std::max(pitch, std::min(0.0, fromUp - (pi - ViewCamera::kMinAngleFromUp)));
  return 0.0;
}

}  // namespace

void ViewCamera::update(float dt) {
  rightOf(target - eye, up, right);
  moveStep = moveSpeed * dt;
  applyMouseLook();
  applyMoveKeys();
  viewMatrix = Matrix4::lookAt(eye, target, up, right);
  const Matrix4 gl = viewMatrix.transposed();
  for (int i = 0; i < 16; ++i) glViewMatrix[i] = gl.m[i];
}

void ViewCamera::setKey(char key, bool down) {
  switch (key) {
    case 'w': forwardKey = down; break;
    case 's': backKey = down; break;
    case 'a': leftKey = down; break;
    case 'd': rightKey = down; break;
    case 'e': upKey = down; break;
    case 'q': downKey = down; break;
    default: break;
  }
}

void ViewCamera::setMousePosition(int x, int y) {
  mouse.x = x;
  mouse.y = y;
}

void ViewCamera::setMouseLook(bool on) {
  mouseLook = on;
  // The position of the click itself must not turn the view.
  if (on) lastMouse = mouse;
}

void ViewCamera::moveForward(float s) {
  moveBy(normalize(target - eye) * s);
}

void ViewCamera::strafe(float s) { moveBy(Vec3(right.x * s, 0.0f, right.z * s)); }

void ViewCamera::rotateView(float angle, float x, float y, float z) {
  const Vec3 d = target - eye;
  const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
  Vec3 turned;
  turned.x = (t * x * x + c) * d.x + (t * x * y - s * z) * d.y + (t * x * z + s * y) * d.z;
  turned.y = (t * x * y + s * z) * d.x + (t * y * y + c) * d.y + (t * y * z - s * x) * d.z;
  turned.z = (t * x * z - s * y) * d.x + (t * y * z + s * x) * d.y + (t * z * z + c) * d.z;
  target = eye + turned;
}

void ViewCamera::applyMouseLook() {
  if (mouse == lastMouse || !mouseLook) return;
  // Window y grows downwards: moving the mouse up gives a positive dy and turns the view up.
  const int dx = lastMouse.x - mouse.x;
  const int dy = lastMouse.y - mouse.y;
  const double yaw = dx * kOneDegree * mouseSensitivity;
  const double pitch = limitPitch(target - eye, up, dy * kOneDegree * mouseSensitivity);

  // Straight up or down the view gives no pitch axis; the last right vector still does.
  Vec3 axis = right;
  rightOf(target - eye, up, axis);
  if (pitch != 0.0 && axis.dot(axis) > 0.0f)
    rotateView(static_cast<float>(pitch), axis.x, axis.y, axis.z);
  rotateView(static_cast<float>(yaw), 0.0f, 1.0f, 0.0f);
  lastMouse = mouse;
}

void ViewCamera::applyMoveKeys() {
  const float s = moveStep;
  if (forwardKey) moveForward(s);
  if (backKey) moveForward(-s);
  if (leftKey) strafe(-s);
  if (rightKey) strafe(s);
  if (upKey) moveBy(Vec3(0.0f, s, 0.0f));
  if (downKey) moveBy(Vec3(0.0f, -s, 0.0f));
}

void ViewCamera::levelView() {
  const Vec3 view = target - eye;
  Vec3 heading(view.x, 0.0f, view.z);
  if (heading.dot(heading) <= 1e-12f * view.dot(view)) heading = cross(up, right);
  if (heading.dot(heading) == 0.0f) return;
  // A level view keeps the eye-to-target distance, so the turn speeds stay the same.
  target = eye + normalize(heading) * view.length();
}
