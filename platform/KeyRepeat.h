// The keyboard's auto-repeat as the window system delivers it: held keys repeat as presses only,
// never as release-and-press pairs, so a late-handled repeat cannot pass for a real release.
#pragma once

// Asks the X server for detectable auto-repeat on the display of the current GL context.
// Returns false where the server (or the context) cannot give it; the toolkit's own repeat
// filter then stays the only one.
bool useDetectableKeyRepeat();
