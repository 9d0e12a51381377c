// A soak of the light simulation: many steps of a built room at a fixed strength, each one
// checked for light that is not a finite number, negative, or above the bound the step's
// decay allows. Pure core: no GL. Light values are the grid's unbounded linear floats.
#pragma once

#include <vector>

class ColorMap;
class FlyCamera;
class LightGrid;

class LightSoak {
 public:
  // The grid is built and its strength set; the map and camera give the per-step visibility
  // pass the program runs after each step.
  LightSoak(LightGrid& grid, ColorMap& map, FlyCamera& camera);

  // The largest light any cell can reach: the step is L' = decay * (keep * mean + strength * E)
  // with keep <= 1, so L <= B holds for every step once it holds, with
  // B = decay * strength * Emax / (1 - decay), where Emax is the largest emission component.
  double bound() const;

  // Runs `steps` steps (light step, then a visibility pass), checking every cell after each.
  // Records the largest light per window of `window` steps and stops at the first bad step.
  void run(long steps, long window);

  // Sets the strength to 0 and runs `steps` more checked steps, recording the largest light
  // before them and after each in `releaseMax`. With no emission every cell's next light is at
  // most `decay` times the largest light; only the two cells a moving wandering light rewrites
  // keep theirs for that step, so the largest light never rises and falls about geometrically.
  void release(long steps);

  long stepsRun = 0;
  long firstBadStep = -1;  // 1-based; -1 while every step was sound
  long nonFinite = 0, negative = 0, aboveBound = 0;  // bad components in the first bad step
  float maxLight = 0.0f;        // over the whole run
  long maxLightStep = 0;        // the step that reached it
  std::vector<float> windowMax;  // the largest light in each window of steps
  std::vector<float> riseMax;    // the largest light after each of the first kRiseSteps steps
  std::vector<float> releaseMax;

  static constexpr long kRiseSteps = 1000;

 private:
  // Largest light of the current generation; counts bad components into the members.
  float check();

  LightGrid& grid_;
  ColorMap& map_;
  FlyCamera& camera_;
  double bound_;
};
