// Frame statistics over half-second windows and the status line's wording.
#include "app/FrameStats.h"

#include <cstdio>

#include "app/Controls.h"

void FrameStats::addFrame(double seconds, bool stepped, double pending) {
  gathered += seconds;
  ++frames;
  if (stepped) ++steps;
  if (gathered < kWindow) return;
  framesPerSecond = frames / gathered;
  msPerFrame = 1000.0 * gathered / frames;
  stepsPerSecond = (steps + pending - pendingAtStart) / gathered;
  pendingAtStart = pending;
  gathered = 0.0;
  frames = 0;
  steps = 0;
}

std::string statusText(const FrameStats& stats, float strength, bool cpuUpload, long cellsDrawn,
                       const int eyeCell[3]) {
  char text[200];
  std::snprintf(text, sizeof text,
                "%.1f fps  %.1f ms  %.0f steps/s  strength %.3f%s  upload %s  cells %ld  "
                "eye (%d, %d, %d)",
                stats.framesPerSecond, stats.msPerFrame, stats.stepsPerSecond, strength,
                strength >= controls::kStrengthCeiling ? " (ceiling)" : "",
                cpuUpload ? "cpu" : "slices", cellsDrawn, eyeCell[0], eyeCell[1], eyeCell[2]);
  return text;
}
