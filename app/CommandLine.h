// The program's own arguments, read after the window toolkit has taken out its options:
// `[--height N] [--stats] [MAP]`. Pure: a parsed result or the one-line reason it is refused.
#pragma once

#include <string>

#include "world/WorldBuilder.h"

struct CommandLine {
  // The room height's limits in cells (floor and ceiling layers included).
  static constexpr int kMinHeight = 3;
  static constexpr int kMaxHeight = 64;

  std::string mapFile = kShippedMapFile;
  int roomHeight = kRoomHeight;
  // --stats: the status line goes to standard output once a second.
  bool printStats = false;
  // Empty when the arguments are usable; otherwise why not, without the program's name.
  std::string refusal;
};

// Reads argv[1 .. argc - 1]. The height is plain decimal digits only (no sign, no spaces, no
// other characters) within the limits; at most one height, one --stats and one map; any other argument that
// starts with '-', and an empty one, is refused.
CommandLine parseCommandLine(int argc, const char* const* argv);
