// Look-at camera steered by held movement keys and mouse drags; builds the view matrix each frame.
// Positions are in grid units (one cell = one unit), y up; angles in radians unless stated.
#pragma once

#include "world/Matrix4.h"
#include "world/Vec3.h"

class ViewCamera {
 public:
  // Mouse positions in window pixels; the third component stays 0.
  struct MousePoint {
    int x = 0, y = 0, z = 0;
    bool operator==(const MousePoint& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const MousePoint& o) const { return !(*this == o); }
  };

  ViewCamera(const Vec3& eye, const Vec3& target, const Vec3& up);
  virtual ~ViewCamera() = default;

  // A view of no length looks along -z instead; one shorter than kShortestView or longer than
  // kLongestView (or an up vector so) is taken at unit length. A view along `up` keeps the last
  // right vector, or where there is none takes one across up (x for up = y), so that it can be
  // turned away, walked and levelled.
  void setView(const Vec3& newEye, const Vec3& newTarget, const Vec3& newUp);
  // One frame of view control: right vector, mouse look, movement keys, view matrix.
  // While the view points along `up` (or at the eye itself) the previous `right` is kept.
  void update(float dt);
  // "w" "s" "a" "d" "e" "q" set the matching movement flag; every other key is ignored.
  void setKey(char key, bool down);
  void setMousePosition(int x, int y);
  void setMouseLook(bool on);
  // Puts the eye at p and moves the target with it, so the view keeps its direction.
  void setPosition(const Vec3& p);
  Vec3 position() const { return eye; }

  // Moves eye and target together by d; every movement key goes through here, so a body that
  // collides with the room overrides it.
  virtual void moveBy(const Vec3& d);
  // Moves eye and target by s along the full 3-D view direction.
  void moveForward(float s);
  // Moves eye and target by s along the horizontal part of `right`.
  void strafe(float s);
  // Turns the target about the eye by angle (radians) around the unit axis (ax, ay, az).
  void rotateView(float angle, float ax, float ay, float az);
  // Turns the view by the mouse movement since the last step: pitch about the right axis, then
  // yaw about world y. The pitch stops kMinAngleFromUp short of straight up or down.
  void applyMouseLook();
  void applyMoveKeys();
  // Levels the view along its heading: the target moves to the eye's height, its horizontal
  // distance kept. Straight up or down, the heading is the one `right` was last taken from.
  void levelView();

  // One degree in radians, the unit of mouseSensitivity.
  static constexpr double kOneDegree = 0.01745319925248623;
  // The view lengths taken as they are (grid units); the view's float arithmetic stays exact
  // enough and far from overflow within them.
  static constexpr double kShortestView = 1e-2, kLongestView = 1e4;
  // The closest the view direction may be turned towards `up` or its opposite (radians).
  static constexpr double kMinAngleFromUp = kOneDegree;

  MousePoint lastMouse;
  MousePoint mouse;
  float mouseSensitivity = 0.25f;
  float moveSpeed = 4.0f;
  float moveStep = 0.0f;
  Matrix4 viewMatrix;
  float glViewMatrix[16];
  Vec3 eye;
  Vec3 right;
  Vec3 target;
  Vec3 up;
  bool forwardKey = false, backKey = false, leftKey = false, rightKey = false, upKey = false,
       downKey = false;
  bool mouseLook = false;
};
