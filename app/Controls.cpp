// The key list and the strength steps.
#include "app/Controls.h"

#include <algorithm>
#include <cstdio>

namespace controls {

float raisedStrength(float strength) {
  return std::min(kStrengthCeiling, static_cast<float>(strength + kStrengthStep));
}

float loweredStrength(float strength) {
  // 0.05 as a float is a little more than 0.05: what is left of it is rounding, not light.
  const double lowered = strength - kStrengthStep;
  return lowered < 1e-6 ? 0.0f : static_cast<float>(lowered);
}

const std::vector<Entry>& keyList() {
  static const std::vector<Entry> list = [] {
    char strength[96];
    std::snprintf(strength, sizeof strength, "light strength up / down by 0.05 (0 to %.2f)",
                  static_cast<double>(kStrengthCeiling));
    return std::vector<Entry>{
        {"w / s (held)", "walk forward / back (4 cells a second)"},
        {"a / d (held)", "step left / right"},
        {"e / q (held)", "rise / sink"},
        {"space", "jump (at most once a second)"},
        {"drag (any button)", "turn the view, 0.25 degrees per pixel"},
        {"left click", "remove the outlined cell, floor and ceiling too"},
        {"right click", "place the selected material against the outlined face"},
        {"Shift+left click", "clear the outlined cell's column to open floor"},
        {"Shift+right click", "fill the column in front of the outlined face"},
        {"middle click", "select the outlined cell's material"},
        {"1 ... 7", "select palette material 1 to 7 (wall, glass, three lights, red, green glass)"},
        {"wheel up / down, [ / ]", "previous / next material of the palette"},
        {"Ctrl+Z", "undo the last edit (cells and columns)"},
        {"Ctrl+S", "save as maps/room-NNN.png (or rooms/room-NNN.vox), starting where you stand"},
        {"0 / 8", strength},
        {"9", "light strength 0.001"},
        {"r", "level the view"},
        {"b", "show the frame with / without the glass"},
        {"i / j / n", "wandering light red / green / blue"},
        {"m", "light upload: CPU array / framebuffer slices"},
        {"o", "visibility overlay on / off"},
        {"h", "status line on / off"},
        {"p", "screenshot to screenshots/quillmarsh-NNN.png", false},
        {"F1", "this key card on / off"},
        {"F11", "full screen on / off", false},
        {"Escape", "quit", false},
    };
  }();
  return list;
}

std::vector<std::string> keyLines(KeySet keys) {
  std::vector<const Entry*> shown;
  for (const Entry& e : keyList())
    if (keys == KeySet::Desktop || e.onPage) shown.push_back(&e);
  size_t width = 0;
  for (const Entry* e : shown) width = std::max(width, e->input.size());
  std::vector<std::string> lines;
  for (const Entry* e : shown)
    lines.push_back(e->input + std::string(width + 2 - e->input.size(), ' ') + e->effect);
  return lines;
}

std::string keyTable() {
  std::string table = "| input | effect |\n|---|---|\n";
  for (const Entry& e : keyList()) table += "| " + e.input + " | " + e.effect + " |\n";
  return table;
}

}  // namespace controls
