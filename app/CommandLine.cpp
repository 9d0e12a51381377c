// Reading `[--height N] [--max-fps N] [--stats] [MAP]`: each argument in turn, the first refusal
// ends the reading.
#include "app/CommandLine.h"

#include <cstring>

namespace {

// The digits of `text` as a number, or -1 when it is not all digits (or is empty). Values past
// `high` stay past it, however many digits follow.
long plainDecimal(const char* text, long high) {
  if (*text == '\0') return -1;
  long n = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return -1;
    n = n > high ? n : n * 10 + (*c - '0');
  }
  return n;
}

// A numeric option: `name` at argv[i] and its value after it, from `low` to `high`, given once.
// Moves i past the value; the refusal is set when anything is wrong.
void readNumber(int argc, const char* const* argv, int& i, const char* name, long low, long high,
                bool& given, int& value, std::string& refusal) {
  if (i + 1 >= argc) {
    refusal = std::string(name) + " needs a number";
    return;
  }
  const char* text = argv[++i];
  const long n = plainDecimal(text, high);
  if (n < low || n > high) {
    refusal = std::string(name) + " takes a whole number from " + std::to_string(low) + " to " +
              std::to_string(high) + ", not \"" + text + "\"";
  } else if (given) {
    refusal = std::string(name) + " given twice";
  } else {
    value = static_cast<int>(n);
    given = true;
  }
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  bool mapGiven = false, rateGiven = false;
  for (int i = 1; i < argc && line.refusal.empty(); ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--height") == 0) {
      readNumber(argc, argv, i, arg, CommandLine::kMinHeight, CommandLine::kMaxHeight,
                 line.heightGiven, line.roomHeight, line.refusal);
    } else if (std::strcmp(arg, "--max-fps") == 0) {
      readNumber(argc, argv, i, arg, 1, CommandLine::kMaxFrameRate, rateGiven, line.maxFrameRate,
                 line.refusal);
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
