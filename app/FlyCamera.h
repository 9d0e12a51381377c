// The walking body camera: a ViewCamera with gravity, a jump with a cooldown, and collision
// against the solid cells of the light grid. Seconds and grid units.
#pragma once

#include <vector>

#include "app/ViewCamera.h"

class LightGrid;

class FlyCamera : public ViewCamera {
 public:
  FlyCamera();

  // Fills the 64 probe directions, sets the default view and zeroes the body state.
  void reset();
  // View update, then the body step, then the jump cooldown; dt <= 0.1 s.
  void update(double dt);
  // Starts a jump of the given upward speed when the cooldown has run out.
  void jump(double speed);
  // Collision push-out, gravity and the floor; moves the eye, not the target.
  void moveBody(int steps);

  LightGrid* grid = nullptr;
  std::vector<Vec3> probeDirections;
  double jumpCooldown = 0.0;
  Vec3 velocity;
};
