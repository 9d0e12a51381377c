// What one frame is drawn from, as values: the eye, the view and projection matrices, the
// window's size and which picture is shown. Made once a frame by the Scene and read
// by the recipe and both backends; nothing here is read back from a graphics API.
// Matrices are 16 floats in GL's column-major order; the eye in world units; sizes in pixels.
#pragma once

#include "world/ColumnBox.h"

struct FrameInputs {
  // The view's vertical field of view (degrees) and its depth range (world units).
  static constexpr double kFieldOfViewDegrees = 60.0;
  static constexpr double kNear = 0.1;
  static constexpr double kFar = 1000.0;

  float eye[3] = {0.0f, 0.0f, 0.0f};
  float view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  int width = 1, height = 1;
  // 0: the finished frame is shown; 1: the frame as it was before the glass was blended on.
  int debugView = 0;
  // The grid columns that may hold shown cells (ColorMap::shownColumns); the plan walks only
  // these, since hidden cells take part in nothing.
  ColumnBox columns = ColumnBox::everything();

  // The perspective of kFieldOfViewDegrees and the depth range for a window of width x height
  // (a height below 1 counts as 1), as gluPerspective forms it.
  static void perspective(int width, int height, float out[16]);
  // Inputs for a window of width x height seen through `view` from `eye`; the other fields keep
  // their defaults.
  static FrameInputs make(const float eye[3], const float view[16], int width, int height);
};
