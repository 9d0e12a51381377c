// GridCell operations.
#include "world/GridCell.h"

void GridCell::clear() { *this = GridCell(); }

void GridCell::setTranslucent(float newOpacity) {
  clear();
  opacity = newOpacity;
}

void GridCell::setSolid() {
  clear();
  opacity = 1.0f;
}

void GridCell::setGreenMarker() {
  clear();
  greenMarker = true;
}

void GridCell::setRedMarker() {
  clear();
  redMarker = true;
}

void GridCell::setEmitter(float r, float g, float b) {
  clear();
  emitter = true;
  emission[0] = r;
  emission[1] = g;
  emission[2] = b;
}

GridCell GridCell::scaled(float s) const {
  GridCell result;
  result.opacity = opacity * s;
  for (int i = 0; i < 3; ++i) result.light[i] = light[i] * s;
  return result;
}

GridCell GridCell::plus(const GridCell& other) const {
  GridCell result;
  result.opacity = opacity + other.opacity;
  for (int i = 0; i < 3; ++i) result.light[i] = light[i] + other.light[i];
  return result;
}
