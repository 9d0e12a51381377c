// The monotonic clock the frame timer and the random seed read.
// Counter ticks are nanoseconds of CLOCK_MONOTONIC; its origin is arbitrary.
#pragma once

#include <cstdint>

namespace platform {

// Current value of the high-resolution performance counter.
int64_t performanceCounter();

// Counter ticks per second.
int64_t performanceFrequency();

// Milliseconds on the same monotonic clock, truncated to 32 bits like a system tick count.
uint32_t tickCountMs();

}  // namespace platform
