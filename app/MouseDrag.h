// Which mouse events turn the view and which are clicks: a drag belongs to the button that
// started it; other buttons pressed meanwhile and the wheel (buttons 3 and up) never count.
// Window pixels.
#pragma once

class MouseDrag {
 public:
  // A press and release further apart than this (in x plus y, pixels) is a drag, not a click.
  static constexpr int kClickSlop = 4;

  // A button went down at (x, y). True when it starts a drag: the view turns from here on.
  bool press(int button, int x, int y);
  // The mouse moved with a button held. True when a drag is under way (the view may turn).
  bool motion(int x, int y);
  // A button went up. True when it is the drag's own button (the drag ends); `click` is then
  // set when the mouse stayed within kClickSlop of the press the whole time.
  bool release(int button, int x, int y, bool& click);

  // The drag's button, -1 while none is held.
  int button = -1;

 private:
  int startX = 0, startY = 0;
  bool moved = false;
};
