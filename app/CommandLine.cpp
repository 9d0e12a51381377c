// Reading `[--height N] [--stats] [MAP]`: each argument in turn, the first refusal ends the reading.
#include "app/CommandLine.h"

#include <cstring>

namespace {

// The digits of `text` as a number, or -1 when it is not all digits (or is empty). Values past
// the largest height stay past it, however many digits follow.
long plainDecimal(const char* text) {
  if (*text == '\0') return -1;
  long n = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return -1;
    n = n > CommandLine::kMaxHeight ? n : n * 10 + (*c - '0');
  }
  return n;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  bool mapGiven = false, heightGiven = false;
  for (int i = 1; i < argc && line.refusal.empty(); ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--height") == 0) {
      if (i + 1 >= argc) {
        line.refusal = "--height needs a number";
        break;
      }
      const char* text = argv[++i];
      const long n = plainDecimal(text);
      if (n < CommandLine::kMinHeight || n > CommandLine::kMaxHeight) {
        line.refusal = "--height takes a whole number from " +
                       std::to_string(CommandLine::kMinHeight) + " to " +
                       std::to_string(CommandLine::kMaxHeight) + ", not \"" + text + "\"";
      } else if (heightGiven) {
        line.refusal = "--height given twice";
      } else {
        line.roomHeight = static_cast<int>(n);
        heightGiven = true;
      }
    } else if (std::strcmp(arg, "--stats") == 0) {
      if (line.printStats) line.refusal = "--stats given twice";
      line.printStats = true;
    } else if (arg[0] == '-' || arg[0] == '\0' || mapGiven) {
      line.refusal = std::string("unexpected argument \"") + arg + "\"";
    } else {
      line.mapFile = arg;
      mapGiven = true;
    }
  }
  return line;
}
