// Detectable auto-repeat through the X keyboard extension.
#include "platform/KeyRepeat.h"

#include <GL/glx.h>
#include <X11/XKBlib.h>

bool useDetectableKeyRepeat() {
  Display* display = glXGetCurrentDisplay();
  if (display == nullptr) return false;
  Bool supported = False;
  return XkbSetDetectableAutoRepeat(display, True, &supported) == True && supported == True;
}
