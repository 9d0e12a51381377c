// The projection the frame is drawn with, formed from the window's size.
#include "render/FrameInputs.h"

#include <algorithm>
#include <cmath>

void FrameInputs::perspective(int width, int height, float out[16]) {
  const double aspect = static_cast<double>(std::max(width, 1)) / std::max(height, 1);
  const double f = 1.0 / std::tan(kFieldOfViewDegrees * M_PI / 360.0);
  std::fill(out, out + 16, 0.0f);
  out[0] = static_cast<float>(f / aspect);
  out[5] = static_cast<float>(f);
  out[10] = static_cast<float>((kFar + kNear) / (kNear - kFar));
  out[11] = -1.0f;
  out[14] = static_cast<float>(2.0 * kFar * kNear / (kNear - kFar));
}

FrameInputs FrameInputs::make(const float eye[3], const float view[16], int width, int height) {
  FrameInputs inputs;
  std::copy(eye, eye + 3, inputs.eye);
  std::copy(view, view + 16, inputs.view);
  inputs.width = std::max(width, 1);
  inputs.height = std::max(height, 1);
  perspective(inputs.width, inputs.height, inputs.projection);
  return inputs;
}
