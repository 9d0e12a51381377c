// One cell of the light grid: material (opacity and palette index), emission, held light and
// per-step flags.
// Light and emission are unbounded linear RGB in single precision; opacity 0 = air, 1 = solid.
#pragma once

class GridCell {
 public:
  // All fields zero: empty air, no light, no flags.
  GridCell() = default;

  void clear();
  // Each setter first clears the whole cell.
  void setTranslucent(float newOpacity);
  void setSolid();
  void setGreenMarker();
  void setRedMarker();
  // A light source of the given colour (opacity 0).
  void setEmitter(float r, float g, float b);

  // Material classes: opaque from kOpaqueOpacity up, glass above kGlassMinOpacity (the float
  // widened to double) and below kOpaqueOpacity, air at or below kGlassMinOpacity.
  static constexpr float kOpaqueOpacity = 0.9f;
  static constexpr double kGlassMinOpacity = 0.001;
  bool isOpaque() const { return opacity >= kOpaqueOpacity; }
  bool isGlass() const {
    return static_cast<double>(opacity) > kGlassMinOpacity && opacity < kOpaqueOpacity;
  }

  bool emitter = false;
  bool greenMarker = false;
  bool redMarker = false;
  float emission[3] = {0.0f, 0.0f, 0.0f};
  float opacity = 0.0f;
  float light[3] = {0.0f, 0.0f, 0.0f};
  bool hidden = false;
  // The room palette's index of what the cell is made of (world/Palette.h); 0, air, for cells
  // made by the setters above, which act as neutral glass, plain wall or plain light.
  unsigned char material = 0;
};
