// LightSoak: the step loop and the per-cell checks. The bound gets a relative slack of 1e-5 for
// single-precision rounding of the mean and the products.
#include "tools/LightSoak.h"

#include <algorithm>
#include <cmath>

#include "app/FlyCamera.h"
#include "app/Scene.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

LightSoak::LightSoak(LightGrid& grid, ColorMap& map, FlyCamera& camera)
    : grid_(grid), map_(map), camera_(camera) {
  // The emitters the run can have: the built ones and the wandering light's colour keys (1500).
  float emax = 1500.0f;
  const long cells = static_cast<long>(grid.sizeX) * grid.sizeY * grid.sizeZ;
  for (long i = 0; i < cells; ++i) {
    if (!grid.current[i].emitter) continue;
    for (float e : grid.current[i].emission) emax = std::max(emax, e);
  }
  bound_ = grid.decay * static_cast<double>(grid.strength) * emax / (1.0 - grid.decay);
}

double LightSoak::bound() const { return bound_; }

float LightSoak::check() {
  const long cells = static_cast<long>(grid_.sizeX) * grid_.sizeY * grid_.sizeZ;
  const double limit = bound_ * (1.0 + 1e-5);
  float largest = 0.0f;
  for (long i = 0; i < cells; ++i) {
    for (float l : grid_.current[i].light) {
      if (!std::isfinite(l)) {
        ++nonFinite;
      } else if (l < 0.0f) {
        ++negative;
      } else {
        if (l > limit) ++aboveBound;
        largest = std::max(largest, l);
      }
    }
  }
  return largest;
}

void LightSoak::run(long steps, long window) {
  float currentWindow = 0.0f;
  for (long s = 1; s <= steps; ++s) {
    grid_.step();
    map_.updateVisibility(Scene::kVisibilityRays, camera_.position(), camera_.target);
    stepsRun = s;
    const float largest = check();
    if (nonFinite + negative + aboveBound > 0) {
      firstBadStep = s;
      return;
    }
    if (largest > maxLight) {
      maxLight = largest;
      maxLightStep = s;
    }
    if (s <= kRiseSteps) riseMax.push_back(largest);
    currentWindow = std::max(currentWindow, largest);
    if (s % window == 0 || s == steps) {
      windowMax.push_back(currentWindow);
      currentWindow = 0.0f;
    }
  }
}

void LightSoak::release(long steps) {
  grid_.strength = 0.0f;
  releaseMax.assign(1, check());
  for (long s = 1; s <= steps; ++s) {
    grid_.step();
    ++stepsRun;
    releaseMax.push_back(check());
    if (nonFinite + negative + aboveBound > 0) {
      firstBadStep = stepsRun;
      return;
    }
  }
}
