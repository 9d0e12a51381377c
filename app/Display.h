// Window callbacks and fixed GL state of the frame loop: one frame per display (and idle) call.
#pragma once

// Fixed OpenGL state, set once after the window exists.
void initGL();
// One frame: time, update, draw, present. Ends the process when `running` is false.
void onDisplay();
// Shows the finished target (the other one in the debug view) on a full-window quad, the
// visibility overlay when it is on, and swaps the buffers. Leaves the matrices as it found them.
void presentFrame();
// Viewport and a 60 degree perspective for the new window size (a height of 0 counts as 1).
void onReshape(int width, int height);
// F11 switches between the window and full screen.
void onSpecialKey(int key, int x, int y);
// One textured quad over the unit square, drawn without depth testing.
void drawFullScreenQuad();
