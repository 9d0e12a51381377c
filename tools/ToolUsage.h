// The tools' arguments before each reads its own: "--help" (or "-h") prints the usage on standard
// output, and an argument that starts with '-' but is none of the tool's options is refused with
// the usage on standard error, before it could be taken for a file or folder name.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

// True, with the usage printed, when an argument asks for it.
inline bool usageAsked(int argc, char** argv, const char* usage) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf("usage: %s\n", usage);
      return true;
    }
  }
  return false;
}

// -1 when the tool goes on; otherwise the status to end with: 0 after the usage was asked for, 2
// for an unknown option. `usage` begins with the tool's name; `valued` are the tool's options
// that take the argument after them.
inline int checkToolArguments(int argc, char** argv, const char* usage,
                              std::initializer_list<const char*> valued = {}) {
  if (usageAsked(argc, argv, usage)) return 0;
  for (int i = 1; i < argc; ++i) {
    bool known = false;
    for (const char* option : valued) known = known || std::strcmp(argv[i], option) == 0;
    if (known) {
      ++i;
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "%.*s: unknown option \"%s\"\nusage: %s\n",
                   static_cast<int>(std::strcspn(usage, " ")), usage, argv[i], usage);
      return 2;
    }
  }
  return -1;
}

// The whole of `text` as a number from lo to hi, a whole one where `whole`, into `out`; else one
// line on standard error naming the tool and its `option`, and false.
inline bool numberArgument(const char* tool, const char* option, const char* text, double lo,
                           double hi, bool whole, double& out) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end != text && *end == '\0' && std::isfinite(value) && value >= lo && value <= hi &&
      (!whole || value == std::floor(value))) {
    out = value;
    return true;
  }
  std::fprintf(stderr, "%s: %s takes %s from %.10g to %.10g, not \"%s\"\n", tool, option,
               whole ? "a whole number" : "a number", lo, hi, text);
  return false;
}
