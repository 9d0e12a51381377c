// Sanitizer builds only (QUILLMARSH_SANITIZE links every glutInit call here via -Wl,--wrap).
// Runs LeakSanitizer's check at exit while Mesa's GL driver is still loaded.
//
// glutInit registers an exit handler that closes the X display; closing it unloads the DRI
// driver, whose globals are the only references to the context it built. LeakSanitizer's own
// check comes after that and would report the whole context as leaked, with stacks in an
// unmapped library that no suppression can name. A handler registered after glutInit runs
// before freeglut's, while that memory is still reachable; our own leaks are reported as usual.
#include <sanitizer/lsan_interface.h>

#include <cstdlib>

extern "C" void __real_glutInit(int* argc, char** argv);

extern "C" void __wrap_glutInit(int* argc, char** argv) {
  __real_glutInit(argc, argv);
  // The check runs once; LeakSanitizer then skips its own check at the end of the process.
  std::atexit([] { __lsan_do_leak_check(); });
}
