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

