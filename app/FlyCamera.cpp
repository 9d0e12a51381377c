// FlyCamera: the body camera's reset, jump and per-frame update.
#include "app/FlyCamera.h"

#include <cmath>

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
