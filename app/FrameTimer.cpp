// Frame timer over the platform's performance counter.
#include "app/FrameTimer.h"

#include <algorithm>

#include "platform/Clock.h"

double FrameTimer::update() {
  counter = platform::performanceCounter();
  const int64_t frequency = platform::performanceFrequency();
  elapsed = static_cast<double>(counter - previousCounter) / static_cast<double>(frequency);
  previousCounter = counter;
  elapsed = std::max(elapsed, kMinFrameTime);
  return elapsed;
}
