// What the keys and the mouse do, as one list: the key card (F1), `--help` and the README's key
// table are made from it. Also the light strength's steps and its ceiling.
#pragma once

#include <string>
#include <vector>

namespace controls {

// Each "0" adds and each "8" takes away this much strength (never below 0).
constexpr double kStrengthStep = 0.05;
// Strength where the picture saturates: in the shipped room's steady light, a tenth of the
// faces (those beside the lamps) are then exposed to 95 % of white (1 - exp(-2 c) in the block
// program); more strength only washes the lit halls out.
constexpr float kStrengthCeiling = 1.15f;
// What "9" drops the strength to.
constexpr float kStrengthLow = 0.001f;

// The strength after one "0" (stops at the ceiling) and after one "8" (stops at 0).
float raisedStrength(float strength);
float loweredStrength(float strength);

struct Entry {
  std::string input;   // the key or mouse action, plain text
  std::string effect;  // what it does, one short line
  // False for a key the page leaves to the browser (quit, screenshot, full screen).
  bool onPage = true;
};
// The whole list: the desktop program's keys; README.md shows it.
const std::vector<Entry>& keyList();

// Which program's keys a list shows: the desktop program's (all) or the page's.
enum class KeySet { Desktop, Page };

// The entries of `keys` as aligned lines "input  effect", for --help and the key card.
std::vector<std::string> keyLines(KeySet keys = KeySet::Desktop);
// The list as the rows of a Markdown table (header included), as README.md holds it.
std::string keyTable();

}  // namespace controls
