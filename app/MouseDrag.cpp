// Mouse drags and clicks.
#include "app/MouseDrag.h"

#include <cstdlib>

namespace {

constexpr int kLastPointerButton = 2;  // left 0, middle 1, right 2; higher numbers are the wheel

}  // namespace

bool MouseDrag::press(int pressed, int x, int y) {
  if (button >= 0 || pressed < 0 || pressed > kLastPointerButton) return false;
  button = pressed;
  startX = x;
  startY = y;
  moved = false;
  return true;
}

bool MouseDrag::motion(int x, int y) {
  if (button < 0) return false;
  if (std::abs(x - startX) + std::abs(y - startY) > kClickSlop) moved = true;
  return true;
}

bool MouseDrag::release(int released, int x, int y, bool& click) {
  click = false;
  if (button < 0 || released != button) return false;
  motion(x, y);
  click = !moved;
  button = -1;
  return true;
}
