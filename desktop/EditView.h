// What the program draws over the frame for the user (GL library): the crosshair with the
// selected kind, the outline of the picked cell, the first-minute hint line and the key card.
#pragma once

// F1 shows and hides the key card.
extern bool keyCardVisible;
// Set by the first key press; until then, and while the strength is 0, the hint line shows.
extern bool anyKeyPressed;

// Draws the outline of the scene's picked cell in the camera's view, the crosshair at the
// window's centre, the hint line and the key card when they are on. Relies on: the window's
// viewport (width x height), the model-view matrix selected, the perspective projection of the
// frame current, texturing off. Leaves the matrices and the GL state as found.
void drawEditView(int width, int height);
