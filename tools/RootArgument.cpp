// The tools' "--root DIR" argument.
#include "tools/RootArgument.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

bool enterRoot(int& argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--root") != 0) continue;
    if (i + 1 == argc || chdir(argv[i + 1]) != 0) {
      std::fprintf(stderr, "%s: --root needs a folder that holds media/\n", argv[0]);
      return false;
    }
    for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
    argc -= 2;
    return true;
  }
  return true;
}
