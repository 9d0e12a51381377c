// Frame and simulation rates averaged over windows of about half a second, for the status line.
// Times in seconds; rates per second.
#pragma once

#include <string>

class FrameStats {
 public:
  // Length of one averaging window.
  static constexpr double kWindow = 0.5;

  // One frame of `seconds`; `stepped` when it ran a simulation step; `pending` the share of the
  // next step already gathered after it (0 to 1). A window that has gathered kWindow seconds or
  // more becomes the shown averages and a new window starts. The step rate counts the pending
  // share's change over the window with the whole steps, so a steady fifty a second reads 50,
  // not 48 or 52 by where a step falls against the window's edges.
  void addFrame(double seconds, bool stepped, double pending = 0.0);

  // Averages of the last complete window (0 before the first one completes).
  double framesPerSecond = 0.0;
  double msPerFrame = 0.0;
  double stepsPerSecond = 0.0;

 private:
  double gathered = 0.0;
  int frames = 0;
  int steps = 0;
  double pendingAtStart = 0.0;
};

// The status line's text: rates, light strength, upload path, cells drawn, the eye's cell.
std::string statusText(const FrameStats& stats, float strength, bool cpuUpload, long cellsDrawn,
                       const int eyeCell[3]);
