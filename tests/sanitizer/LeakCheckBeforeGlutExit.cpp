// Sanitizer builds only (-Wl,--wrap=glutInit): LeakSanitizer's one check runs before freeglut's
// exit handler unloads Mesa's driver, whose globals alone reach the GL context (else "leaked").
#include <sanitizer/lsan_interface.h>

#include <cstdlib>

extern "C" void __real_glutInit(int* argc, char** argv);

extern "C" void __wrap_glutInit(int* argc, char** argv) {
  __real_glutInit(argc, argv);
  std::atexit([] { __lsan_do_leak_check(); });  // registered later, so it runs first
}
