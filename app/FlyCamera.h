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
  // Collision push-out, gravity over dt seconds and the floor (which stops a downward velocity);
  // moves the eye, not the target.
  void moveBody(int steps, double dt);
  // The lowest eye height: kFloorHeight, or in a room of three layers the middle of its one open
  // layer (kFloorHeight is the underside of that room's ceiling).
  float floorHeight() const;

  // Samples per probe direction taken by the frame update.
  static constexpr int kProbeSamples = 12;
  // Distance from the eye of the first sample on each probe direction.
  static constexpr float kProbeRadius = 0.175f;
  // Distance between samples, and the push one sample inside an obstacle contributes.
  static constexpr float kProbeSpacing = 0.015625f;
  // A sample whose interpolated opacity is above this lies inside an obstacle.
  static constexpr float kSolidThreshold = 0.05f;
  // Applied to the summed pushes before the eye moves.
  static constexpr float kPushScale = 2.0f * 0.015625f;
  static constexpr float kGravity = -9.98f;   // units per second squared along y
  static constexpr float kDamping = 0.99f;    // velocity factor per frame
  static constexpr float kFloorHeight = 1.5f;  // lowest eye height
  static constexpr double kJumpCooldown = 1.0;  // seconds between jumps

  LightGrid* grid = nullptr;
  std::vector<Vec3> probeDirections;
  double jumpCooldown = 0.0;
  Vec3 velocity;
};
