// The program's own arguments, read after the window toolkit has taken out its options:
// `[--height N] [--max-fps N] [--stats] [MAP]`. Pure: a parsed result or the one-line reason it
// is refused.
#pragma once

#include <string>

#include "world/WorldBuilder.h"

struct CommandLine {
  // The room height's limits in cells (floor and ceiling layers included).
  static constexpr int kMinHeight = 3;
  static constexpr int kMaxHeight = 64;
  // The highest frame rate --max-fps takes.
  static constexpr int kMaxFrameRate = 1000;

  std::string mapFile = kShippedMapFile;
  int roomHeight = kRoomHeight;
  // --height was given (a .vox scene keeps its own height whatever it says).
  bool heightGiven = false;
  // --max-fps: frames a second at most; 0 when not given (the program then draws as fast as the
  // driver allows, up to kMaxFrameRate).
  int maxFrameRate = 0;
  // --stats: the status line goes to standard output once a second.
  bool printStats = false;
  // Empty when the arguments are usable; otherwise why not, without the program's name.
  std::string refusal;
};

// Reads argv[1 .. argc - 1]. The height and the frame rate are plain decimal digits only (no sign,
// no spaces, no other characters) within their limits; each option and the map at most once; any
// other argument that starts with '-', and an empty one, is refused.
CommandLine parseCommandLine(int argc, const char* const* argv);
