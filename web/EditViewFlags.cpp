// The edit view's flags (app/EditView.h) for the browser build, where the page draws the view
// itself (web/main.cpp): set by the key callbacks as on the desktop.
#include "app/EditView.h"

bool keyCardVisible = false;
bool anyKeyPressed = false;
