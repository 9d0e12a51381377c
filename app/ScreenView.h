// What the program shows over the frame, laid out once for every backend: the crosshair with the
// selected material's swatch and name, the first-minute hint, the key card (in pages where the
// window is too low), the status line and the messages of the last few seconds. Window pixels,
// origin at the lower-left corner, y up; text in the fixed-cell fonts of render/RenderBackend.h.
#pragma once

#include <string>
#include <vector>

#include "app/Controls.h"
#include "render/RenderBackend.h"

// Everything the screen shows, as plain values.
struct ScreenState {
  int width = 1, height = 1;
  // The selected material's colour, shown in the crosshair's centre, and its name, shown under
  // the crosshair while not empty (where no other box is in the way).
  unsigned char swatch[3] = {255, 255, 255};
  std::string swatchName;
  bool hintVisible = false;
  // -1: the key card is hidden; else the page shown (see keyCardPages).
  int keyCardPage = -1;
  // The keys the card lists.
  controls::KeySet keys = controls::KeySet::Desktop;
  // Empty: no status line.
  std::string status;
  // Oldest first; the newest is shown nearest the bottom.
  std::vector<std::string> messages;
};

class ScreenView {
 public:
  // The smallest window every item fits in.
  static constexpr int kMinWidth = 320;
  static constexpr int kMinHeight = 240;
  static constexpr unsigned char kMarkGrey = 230;
  // The first-minute hint.
  static const char* const kHint;

  // The items in drawing order: crosshair, the selection's name, hint, key card, status line,
  // messages.
  static std::vector<ScreenItem> layout(const ScreenState& state);
  // How many pages the key card takes beside the rest of `state` (at least 1); F1 steps
  // through them and then hides the card.
  static int keyCardPages(const ScreenState& state);
  // The status band's height for `status` in a window `width` wide (0 for no status).
  static int statusBandHeight(const std::string& status, int width);
};
