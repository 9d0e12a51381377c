// libFuzzer harness for the program-file half of the shader layer: untrusted bytes in a file ->
// cgCreateProgramFromFile (the bounded, non-blocking read and the NUL check) -> the stage source
// handed to the GLSL compiler. No GL context: the compile itself is the driver's and is not run.
// Built only by tools/fuzz.sh (clang, -fsanitize=fuzzer,address,undefined).
#include <unistd.h>

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/cg/CgRuntime.h"

namespace {

CGcontext context = nullptr;
std::string path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  context = cgCreateContext();
  path = "/tmp/quillmarsh-program-fuzz-" + std::to_string(getpid()) + ".cg";
  std::atexit([] { unlink(path.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) return 0;
  const bool fragment = size > 0 && (data[0] & 1);
  const char* entry = fragment ? "fragment_main" : "vertex_main";
  CGprogram program = cgCreateProgramFromFile(
      context, CG_SOURCE, path.c_str(), fragment ? CG_PROFILE_GLSLF : CG_PROFILE_GLSLV, entry,
      nullptr);
  assert(program != nullptr);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const bool refused = bytes.find('\0') != std::string::npos || size > cgruntime::kMaxProgramFileBytes;
  assert(program->readOk == !refused);
  if (program->readOk) {
    assert(program->text == bytes);
    const std::string source = cgruntime::stageSource(program->text, fragment ? cgruntime::kFragment : cgruntime::kVertex, entry);
    assert(source.find(bytes) != std::string::npos && source.find(entry) != std::string::npos);
  } else {
    assert(cgGetError() == CG_FILE_READ_ERROR && cgGetLastListing(context) != nullptr);
  }
  // A context keeps every program until it is destroyed; the harness must not.
  context->livePrograms.erase(program);
  context->programs.clear();
  cgGetError();
  return 0;
}
