// Core of the shader runtime layer: contexts, error state, reading and compiling program files,
// parameter lookup. The stage source is assembled as documented in Cg.h.
#include "platform/cg/CgRuntime.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/FileReader.h"

namespace {

// Which context the calls that name none act on, as GL has a current context. Not an owner: each
// context belongs to whoever created it, and the ones made before it hang from its `previous`.
CgContextRecord* currentContext = nullptr;

}  // namespace

namespace cgruntime {

CgContextRecord* current() { return currentContext; }

void raise(CGerror error) {
  CgContextRecord* context = current();
  if (context == nullptr) return;
  context->pending = error;
  if (context->callback) context->callback();
}

bool isLive(const CgProgramRecord* program) {
  return program != nullptr && current() != nullptr && current()->livePrograms.count(program) != 0;
}

bool isLive(const CgParameterRecord* parameter) {
  return parameter != nullptr && current() != nullptr &&
         current()->liveParameters.count(parameter) != 0;
}

long expandedNames(const std::string& text, long limit) {
  struct Macro {
    std::vector<std::string> body;  // its tokens: names, and each other character on its own
    bool function = false;
  };
  std::map<std::string, Macro> macros;
  const auto isName = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  const auto tokens = [&](const std::string& line, size_t from) {
    std::vector<std::string> out;
    for (size_t i = from; i < line.size();) {
      if (std::isspace(static_cast<unsigned char>(line[i]))) {
        ++i;
      } else if (isName(line[i])) {
        size_t end = i;
        while (end < line.size() && isName(line[end])) ++end;
        out.push_back(line.substr(i, end - i));
        i = end;
      } else {
        out.push_back(line.substr(i++, 1));
      }
    }
    return out;
  };
  std::vector<std::vector<std::string>> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const std::vector<std::string> words = tokens(line, 0);
    if (words.size() >= 3 && words[0] == "#" && words[1] == "define") {
      // The name, then for a function-like macro "(" right after it: its parameters to ")".
      const size_t name = line.find(words[2], line.find("define") + 6);
      const size_t after = name + words[2].size();
      Macro m;
      size_t bodyFrom = after;
      if (after < line.size() && line[after] == '(') {
        m.function = true;
        const size_t close = line.find(')', after);
        bodyFrom = close == std::string::npos ? line.size() : close + 1;
      }
      m.body = tokens(line, bodyFrom);
      macros[words[2]] = m;
    } else if (words.empty() || words[0] != "#") {
      lines.push_back(words);
    }
  }
  std::map<std::string, long> known;
  std::set<std::string> open;
  // The count of `seq`, saturating past `limit`.
  std::function<long(const std::vector<std::string>&)> count;
  const auto capped = [limit](double v) { return static_cast<long>(std::min(v, double(limit) + 1)); };
  const auto macroCount = [&](const std::string& name) -> long {
    const auto found = known.find(name);
    if (found != known.end()) return found->second;
    if (open.count(name) != 0) return 1;
    open.insert(name);
    const long n = count(macros[name].body);
    open.erase(name);
    known[name] = n;
    return n;
  };
  // Nesting deeper than any program needs counts as too much: it would only cost stack.
  int depth = 0;
  constexpr int kMaxDepth = 256;
  count = [&](const std::vector<std::string>& seq) -> long {
    if (depth >= kMaxDepth) return limit + 1;
    ++depth;
    double total = 0;
    for (size_t i = 0; i < seq.size() && total <= limit; ++i) {
      const auto m = macros.find(seq[i]);
      if (m == macros.end()) {
        total += isName(seq[i][0]) ? 1 : 0;
        continue;
      }
      const double body = static_cast<double>(std::max(1L, macroCount(seq[i])));
      if (!m->second.function || i + 1 >= seq.size() || seq[i + 1] != "(") {
        total += body;
        continue;
      }
      // The arguments, to the matching ")".
      size_t end = i + 2;
      for (int depth = 1; end < seq.size(); ++end) {
        if (seq[end] == "(") ++depth;
        if (seq[end] == ")" && --depth == 0) break;
      }
      const std::vector<std::string> args(seq.begin() + static_cast<long>(i) + 2,
                                          seq.begin() + static_cast<long>(std::min(end, seq.size())));
      total += body * (1.0 + static_cast<double>(count(args)));
      i = end;
    }
    --depth;
    return capped(total);
  };
  double all = 0;
  for (const auto& words : lines) {
    all += static_cast<double>(count(words));
    if (all > limit) break;
  }
  return capped(all);
}

int stageOf(CGprofile profile) {
  if (profile == CG_PROFILE_GLSLV) return kVertex;
  if (profile == CG_PROFILE_GLSLF) return kFragment;
  return -1;
}

namespace {

bool isIdentifier(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

std::string shaderLog(GLuint shader) {
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  std::string log(length > 0 ? length : 0, '\0');
  if (length > 0) glGetShaderInfoLog(shader, length, nullptr, &log[0]);
  if (!log.empty() && log.back() == '\0') log.pop_back();
  return log;
}

std::string programLog(GLuint program) {
  GLint length = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
  std::string log(length > 0 ? length : 0, '\0');
  if (length > 0) glGetProgramInfoLog(program, length, nullptr, &log[0]);
  if (!log.empty() && log.back() == '\0') log.pop_back();
  return log;
}

// The listing names the program so that a listing read alone (shaderdebug.txt) says which file.
void setListing(CgProgramRecord& program, const std::string& log) {
  if (log.empty()) {
    program.context->listing.clear();
  } else {
    program.context->listing = program.fileName + " (" + program.entry + "):\n" + log;
  }
}

void failCompile(CgProgramRecord& program, const std::string& log) {
  setListing(program, log);
  raise(CG_COMPILER_ERROR);
}

int componentsOf(GLenum type) {
  switch (type) {
    case GL_FLOAT: return 1;
    case GL_FLOAT_VEC2: return 2;
    case GL_FLOAT_VEC3: return 3;
    case GL_FLOAT_VEC4: return 4;
    case GL_FLOAT_MAT4: return 16;
    default: return 0;
  }
}

bool isSampler(GLenum type) {
  return type == GL_SAMPLER_1D || type == GL_SAMPLER_2D || type == GL_SAMPLER_3D ||
         type == GL_SAMPLER_CUBE;
}

void collectParameters(CgProgramRecord& program, int stage) {
  GLint count = 0;
  glGetProgramiv(program.soloProgram, GL_ACTIVE_UNIFORMS, &count);
  GLint maxLength = 0;
  glGetProgramiv(program.soloProgram, GL_ACTIVE_UNIFORM_MAX_LENGTH, &maxLength);
  std::vector<char> buffer(maxLength > 0 ? maxLength + 1 : 1);
  GLint nextUnit = stage == kFragment ? 0 : 8;
  for (GLint i = 0; i < count; ++i) {
    GLint size = 0;
    GLenum type = 0;
    GLsizei length = 0;
    glGetActiveUniform(program.soloProgram, i, static_cast<GLsizei>(buffer.size()), &length,
                       &size, &type, buffer.data());
    std::string name(buffer.data(), length);
    if (name.compare(0, 3, "gl_") == 0) continue;
    const std::string::size_type bracket = name.find('[');
    if (bracket != std::string::npos) name.erase(bracket);
    auto parameter = std::make_unique<CgParameterRecord>();
    parameter->program = &program;
    parameter->name = name;
    parameter->type = type;
    parameter->components = componentsOf(type);
    if (isSampler(type)) parameter->unit = nextUnit++;
    program.context->liveParameters.insert(parameter.get());
    program.parameters.push_back(std::move(parameter));
  }
}

}  // namespace

std::string stageSource(const std::string& text, int stage, const std::string& entry) {
  // In GLSL 1.20 "#line N" numbers the next line N + 1, so "#line 0" gives the file's own lines.
  return std::string("#version 120\n#define ") +
         (stage == kVertex ? "VERTEX_PROGRAM" : "FRAGMENT_PROGRAM") + " 1\n#line 0\n" + text +
         "\nvoid main() { " + entry + "(); }\n";
}

bool compile(CgProgramRecord& program) {
  if (program.compiled) return true;
  if (!program.readOk) return false;  // the read error was raised when the program was created
  const int stage = stageOf(program.profile);
  if (stage < 0 || !GLEW_VERSION_2_0) {
    failCompile(program, "profile not supported by this OpenGL context");
    return false;
  }
  if (!isIdentifier(program.entry)) {
    failCompile(program, "entry point \"" + program.entry + "\" is not a GLSL identifier");
    return false;
  }
  const std::string source = stageSource(program.text, stage, program.entry);

  if (program.shader == 0) {
    program.shader = glCreateShader(stage == kVertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
  }
  const char* text = source.c_str();
  glShaderSource(program.shader, 1, &text, nullptr);
  glCompileShader(program.shader);
  GLint status = GL_FALSE;
  glGetShaderiv(program.shader, GL_COMPILE_STATUS, &status);
  const std::string compileLog = shaderLog(program.shader);
  if (status != GL_TRUE) {
    failCompile(program, compileLog);
    return false;
  }

  if (program.soloProgram == 0) {
    program.soloProgram = glCreateProgram();
    glAttachShader(program.soloProgram, program.shader);
  }
  glLinkProgram(program.soloProgram);
  glGetProgramiv(program.soloProgram, GL_LINK_STATUS, &status);
  const std::string linkLog = programLog(program.soloProgram);
  if (status != GL_TRUE) {
    failCompile(program, linkLog);
    return false;
  }
  setListing(program, compileLog.empty() ? linkLog : compileLog);
  collectParameters(program, stage);
  program.compiled = true;
  return true;
}

}  // namespace cgruntime

using cgruntime::isLive;
using cgruntime::raise;

CGcontext cgCreateContext(void) {
  CGcontext context = new CgContextRecord();
  context->previous = currentContext;
  currentContext = context;
  return context;
}

void cgDestroyContext(CGcontext context) {
  if (!cgIsContext(context)) {
    raise(CG_INVALID_CONTEXT_HANDLE_ERROR);
    return;
  }
  if (context == currentContext) {
    if (context->current != nullptr) glUseProgram(0);
    currentContext = context->previous;
  } else {
    CgContextRecord* later = currentContext;
    while (later->previous != context) later = later->previous;
    later->previous = context->previous;
  }
  // A pair's program may be a stage's own (a lone stage), so each name is deleted once.
  for (const auto& entry : context->pairs) {
    const CgLinkedPair& pair = entry.second;
    const bool solo = entry.first.first == nullptr || entry.first.second == nullptr;
    if (pair.program != 0 && !solo) glDeleteProgram(pair.program);
  }
  for (const auto& program : context->programs) {
    if (program->soloProgram != 0) glDeleteProgram(program->soloProgram);
    if (program->shader != 0) glDeleteShader(program->shader);
  }
  delete context;
}

CGbool cgIsContext(CGcontext context) {
  for (const CgContextRecord* live = currentContext; live != nullptr; live = live->previous) {
    if (live == context) return CG_TRUE;
  }
  return CG_FALSE;
}

CGcontext cgGetCurrentContext(void) { return currentContext; }

void cgSetErrorCallback(CGerrorCallbackFunc callback) {
  if (currentContext != nullptr) currentContext->callback = callback;
}

CGerror cgGetError(void) {
  if (currentContext == nullptr) return CG_INVALID_CONTEXT_HANDLE_ERROR;
  const CGerror error = currentContext->pending;
  currentContext->pending = CG_NO_ERROR;
  return error;
}

const char* cgGetErrorString(CGerror error) {
  switch (error) {
    case CG_NO_ERROR: return "shader layer: no error";
    case CG_COMPILER_ERROR: return "shader layer: the program did not compile or link";
    case CG_INVALID_PARAMETER_ERROR:
      return "shader layer: the parameter name is not an active uniform of the program";
    case CG_INVALID_PROFILE_ERROR:
      return "shader layer: the profile is unknown or not supported by the driver";
    case CG_FILE_READ_ERROR: return "shader layer: the program file could not be read";
    case CG_INVALID_PROGRAM_HANDLE_ERROR: return "shader layer: invalid program handle";
    case CG_INVALID_PARAM_HANDLE_ERROR: return "shader layer: invalid parameter handle";
    case CG_INVALID_CONTEXT_HANDLE_ERROR: return "shader layer: invalid context handle";
    case CG_PROGRAM_NOT_LOADED_ERROR:
      return "shader layer: the program was bound before it was loaded";
    case CG_PARAMETER_TYPE_ERROR:
      return "shader layer: the setter does not fit the parameter's type";
    case CG_INVALID_ENUMERANT_ERROR: return "shader layer: invalid enumerant";
  }
  return "shader layer: unknown error";
}

const char* cgGetLastListing(CGcontext context) {
  if (!cgIsContext(context)) {
    raise(CG_INVALID_CONTEXT_HANDLE_ERROR);
    return nullptr;
  }
  return context->listing.empty() ? nullptr : context->listing.c_str();
}

CGprogram cgCreateProgramFromFile(CGcontext context, CGenum programType, const char* fileName,
                                  CGprofile profile, const char* entry, const char** args) {
  if (!cgIsContext(context)) {
    raise(CG_INVALID_CONTEXT_HANDLE_ERROR);
    return nullptr;
  }
  if (programType != CG_SOURCE || fileName == nullptr || entry == nullptr ||
      (args != nullptr && args[0] != nullptr)) {
    raise(CG_INVALID_ENUMERANT_ERROR);
    return nullptr;
  }
  if (cgruntime::stageOf(profile) < 0) {
    raise(CG_INVALID_PROFILE_ERROR);
    return nullptr;
  }
  auto program = std::make_unique<CgProgramRecord>();
  program->context = context;
  program->profile = profile;
  program->fileName = fileName;
  program->entry = entry;
  CGprogram handle = program.get();
  context->livePrograms.insert(handle);
  context->programs.push_back(std::move(program));

  std::string text, error;
  if (!FileReader::read(fileName, cgruntime::kMaxProgramFileBytes, "a program file", text, error)) {
    error = "cannot read the file: " + error;
  } else if (text.find('\0') != std::string::npos) {
    error = "the file holds a NUL byte at offset " + std::to_string(text.find('\0')) +
            "; a program file is GLSL text";
  } else if (cgruntime::expandedNames(text, cgruntime::kMaxExpandedNames) >
             cgruntime::kMaxExpandedNames) {
    error = "its macros expand to more than " + std::to_string(cgruntime::kMaxExpandedNames) +
            " names";
  }
  if (!error.empty()) {
    context->listing = std::string(fileName) + " (" + entry + "):\n" + error;
    raise(CG_FILE_READ_ERROR);
    return handle;
  }
  handle->text = std::move(text);
  handle->readOk = true;
  return handle;
}

CGbool cgIsProgramCompiled(CGprogram program) {
  if (!isLive(program)) {
    raise(CG_INVALID_PROGRAM_HANDLE_ERROR);
    return CG_FALSE;
  }
  return program->compiled ? CG_TRUE : CG_FALSE;
}

void cgCompileProgram(CGprogram program) {
  if (!isLive(program)) {
    raise(CG_INVALID_PROGRAM_HANDLE_ERROR);
    return;
  }
  cgruntime::compile(*program);
}

CGbool cgIsProgram(CGprogram program) {
  return isLive(program) && program->compiled ? CG_TRUE : CG_FALSE;
}

CGparameter cgGetNamedParameter(CGprogram program, const char* name) {
  if (!isLive(program)) {
    raise(CG_INVALID_PROGRAM_HANDLE_ERROR);
    return nullptr;
  }
  if (name != nullptr) {
    for (const auto& parameter : program->parameters) {
      if (parameter->name == name) return parameter.get();
    }
  }
  raise(CG_INVALID_PARAMETER_ERROR);
  return nullptr;
}
