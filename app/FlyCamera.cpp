// FlyCamera: the body camera's reset, jump, per-frame update and the body step (collision
// push-out against the grid's opacity, gravity, floor). Seconds and grid units.
#include "app/FlyCamera.h"

#include <algorithm>
#include <cmath>

#include "world/LightGrid.h"

FlyCamera::FlyCamera() : ViewCamera(Vec3(0, 0, 0), Vec3(0, 0, 0), Vec3(0, 1, 0)) {}

void FlyCamera::reset() {
  // 64 horizontal directions, 2 pi / 64 apart; the angle is accumulated by repeated addition.
  const double angleStep = 0.0981747703125;
  double angle = 0.0;
  for (int k = 0; k < 64; ++k) {
    probeDirections.push_back(
        Vec3(static_cast<float>(std::cos(angle)), 0.0f, static_cast<float>(std::sin(angle))));
    angle += angleStep;
  }
  setView(Vec3(10, 5, 10), Vec3(0, 0, 1), Vec3(0, 1, 0));
  velocity = Vec3(0, 0, 0);
  jumpCooldown = 0.0;
}

void FlyCamera::update(double dt) {
  ViewCamera::update(static_cast<float>(dt));
  // The view matrix is already built, so this frame's body movement shows next frame.
  moveBody(kProbeSamples, dt);
  jumpCooldown -= dt;
}

void FlyCamera::jump(double speed) {
  // No ground test: a jump is allowed once per cooldown, in mid-air as well.
  if (jumpCooldown < 0.0) {
    velocity = Vec3(0.0f, static_cast<float>(speed), 0.0f);
    jumpCooldown = kJumpCooldown;
  }
}

void FlyCamera::moveBody(int steps, double seconds) {
  const float dt = static_cast<float>(seconds);

  Vec3 push(0.0f, 0.0f, 0.0f);
  Vec3 p = eye;
  // Until the world builder hands over the grid there is nothing to collide with.
  if (grid != nullptr) {
    // Sample each direction from the rim of the probe ring towards the eye; every sample inside
    // an obstacle adds one spacing of push away from it.
    for (const Vec3& d : probeDirections) {
      Vec3 q = p + d * kProbeRadius;
      const Vec3 v = -d * kProbeSpacing;
      for (int j = 0; j < steps; ++j) {
        if (grid->sampleAt(q.x, q.y, q.z).opacity > kSolidThreshold) push += v;
        q += v;
      }
    }
  }
  p = p + push * kPushScale;

  velocity = velocity * kDamping + Vec3(0.0f, kGravity, 0.0f) * dt;
  // Held "e" carries the body up against gravity; let go, it falls as any body does.
  if (upKey && velocity.y < 0.0f) velocity.y = 0.0f;
  p = p + velocity * dt;
  const float floor = floorHeight();
  if (p.y < floor) {
    p.y = floor;
    // Resting on the floor gathers no downward speed, so a rise key lifts the body at once.
    if (velocity.y < 0.0f) velocity.y = 0.0f;
  }
  // The target stays put, so a fall or a push also tilts the view towards it.
  setPosition(p);
}

float FlyCamera::floorHeight() const {
  return grid != nullptr && grid->sizeY >= 3 ? std::min(kFloorHeight, grid->sizeY - 2.0f)
                                             : kFloorHeight;
}
