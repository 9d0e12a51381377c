// The frame timer: seconds between the last two frames, read from the monotonic counter.
#pragma once

#include <cstdint>

class FrameTimer {
 public:
  // Reads the counter and returns the new `elapsed`: the time since the previous update,
  // never below 0.001 s. The first update measures from the counter's origin.
  double update();
  // `elapsed` capped at kMaxFrameTime: what the camera and the simulation advance by, so a
  // stalled frame cannot jump the camera.
  double step() const { return elapsed < kMaxFrameTime ? elapsed : kMaxFrameTime; }

  // Seconds: the shortest frame `update` reports, and the longest one a frame advances by.
  static constexpr double kMinFrameTime = 0.001;
  static constexpr double kMaxFrameTime = 0.1;

  double elapsed = 0.0;
  int64_t counter = 0;
  int64_t previousCounter = 0;
};
