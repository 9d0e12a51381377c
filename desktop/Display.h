// Window callbacks and fixed GL state of the frame loop: one frame per display (and idle) call.
#pragma once

#include "render/FrameStage.h"

// The rendering hints, set once after the window exists; the rest of the frame's fixed state is
// the GL baseline that the render set-up applies (render/GlBaseline.h).
void initGL();
// One frame: time, update, drawFrame. Ends the process when `running` is false.
void onDisplay();
// The frame recipe after the update, the one the program, the frame benchmark and the GL tests
// all draw: the camera's view in the model-view matrix, Scene::renderFrame, presentFrame. `hook`,
// when given, runs after each FrameStage.
void drawFrame(FrameStageHook hook = nullptr, void* context = nullptr);
// Shows the finished target (the other one in the debug view) on a full-window quad, the
// visibility overlay when it is on, and swaps the buffers. Leaves the matrices as it found them.
void presentFrame();
// Viewport and a 60 degree perspective for the new window size (a height of 0 counts as 1).
void onReshape(int width, int height);
// F11 switches between the window and full screen.
void onSpecialKey(int key, int x, int y);
// One textured quad over the unit square, drawn without depth testing.
void drawFullScreenQuad();
