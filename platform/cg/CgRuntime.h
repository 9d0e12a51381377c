// Inside of the shader runtime layer: the records behind the handles, the context holding all
// of the layer's state, shared by Cg.cpp (core) and CgGL.cpp (GL binding). Not for use outside
// platform/cg/.
#pragma once

#include <GL/glew.h>

#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/cg/CgGL.h"

struct CgParameterRecord {
  CgProgramRecord* program = nullptr;
  std::string name;
  GLenum type = 0;       // GL uniform type as the linker reports it
  int components = 0;    // 1 to 4 for float vectors, 16 for mat4, 0 for samplers
  float values[16] = {};
  bool hasValue = false;
  GLint unit = -1;       // texture unit of a sampler
  GLuint texture = 0;    // texture remembered by cgGLSetTextureParameter
};

struct CgProgramRecord {
  CgContextRecord* context = nullptr;
  CGprofile profile = CG_PROFILE_UNKNOWN;
  std::string fileName;
  std::string entry;
  std::string text;         // the file as read
  bool readOk = false;
  bool compiled = false;    // compiled and linked on its own
  bool loaded = false;
  GLuint shader = 0;        // the stage's shader object, attached to every pair it joins
  GLuint soloProgram = 0;   // the stage linked alone; its uniforms are the parameters
  std::vector<std::unique_ptr<CgParameterRecord>> parameters;
};

// One linked GL program for a (vertex, fragment) pair; either side may be null.
struct CgLinkedPair {
  GLuint program = 0;
  bool ok = false;
  bool reported = false;  // a failed link is reported once, when a bind asks for the pair
  std::string log;        // listing of a failed link
  std::vector<std::pair<CgParameterRecord*, GLint>> locations;
};

namespace cgruntime {
enum Stage { kVertex = 0, kFragment = 1, kStages = 2 };
}  // namespace cgruntime

// Everything the layer keeps: made by cgCreateContext, owned by its caller, released with
// cgDestroyContext.
struct CgContextRecord {
  // The context that was current when this one was made; current again once this one goes.
  CgContextRecord* previous = nullptr;
  std::string listing;
  std::vector<std::unique_ptr<CgProgramRecord>> programs;
  std::unordered_set<const CgProgramRecord*> livePrograms;
  std::unordered_set<const CgParameterRecord*> liveParameters;
  CGerror pending = CG_NO_ERROR;
  CGerrorCallbackFunc callback = nullptr;

  bool enabled[cgruntime::kStages] = {false, false};
  CgProgramRecord* bound[cgruntime::kStages] = {nullptr, nullptr};
  std::map<std::pair<CgProgramRecord*, CgProgramRecord*>, CgLinkedPair> pairs;
  CgLinkedPair* current = nullptr;
  CgProgramRecord* currentStage[cgruntime::kStages] = {nullptr, nullptr};
};

namespace cgruntime {

// The current context, or null.
CgContextRecord* current();
// Sets the current context's pending error and calls its callback; nothing without a context.
void raise(CGerror error);
// True for a handle of the current context.
bool isLive(const CgProgramRecord* program);
bool isLive(const CgParameterRecord* parameter);
// Returns the stage of a GLSL profile, or -1 for any other value.
int stageOf(CGprofile profile);
// Largest program file, in bytes: the shipped ones are under 4 KiB; a megabyte of GLSL is no
// program this system runs, and the driver's compiler would take long over it.
constexpr size_t kMaxProgramFileBytes = 1u << 20;
// Most names a program file's text may come to once its macros are expanded: a few lines of
// macros that each use the one before twice would otherwise expand to gigabytes in the driver.
constexpr long kMaxExpandedNames = 1L << 22;
// An upper bound on the names `text` comes to after its #define macros are expanded, counted up
// to `limit` + 1: a macro counts as its body's count, a call of one with arguments as the body's
// count times one more than its arguments' (each parameter may repeat them), a macro that uses
// itself as one name, and macros or calls nested over 256 deep as over the limit.
long expandedNames(const std::string& text, long limit);
// The GLSL source of one stage of a program file: the stage macro, the file's own text with its
// own line numbers, and a main() that calls `entry`.
std::string stageSource(const std::string& text, int stage, const std::string& entry);
// Compiles and links a program on its own and collects its parameters. Sets the listing and
// raises CG_COMPILER_ERROR on failure.
bool compile(CgProgramRecord& program);
// Writes a parameter's stored value into the current GL program at `location`.
void applyParameter(const CgParameterRecord& parameter, GLint location);

}  // namespace cgruntime
