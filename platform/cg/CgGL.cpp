// OpenGL binding of the shader runtime layer: per-stage profile and program state, the cache of
// linked (vertex, fragment) programs, and parameter values pushed into whichever pair is current.
#include "platform/cg/CgRuntime.h"

#include <algorithm>

using cgruntime::isLive;
using cgruntime::kFragment;
using cgruntime::kVertex;
using cgruntime::raise;

namespace {

void collectLocations(CgLinkedPair& pair, CgProgramRecord* stageProgram) {
  if (stageProgram == nullptr) return;
  for (const auto& parameter : stageProgram->parameters) {
    const GLint location = glGetUniformLocation(pair.program, parameter->name.c_str());
    if (location >= 0) pair.locations.emplace_back(parameter.get(), location);
  }
}

CgLinkedPair link(CgProgramRecord* vertex, CgProgramRecord* fragment) {
  CgLinkedPair pair;
  if (vertex == nullptr || fragment == nullptr) {
    // A lone stage was already linked on its own when it compiled.
    pair.program = (vertex != nullptr ? vertex : fragment)->soloProgram;
  } else {
    pair.program = glCreateProgram();
    glAttachShader(pair.program, vertex->shader);
    glAttachShader(pair.program, fragment->shader);
    glLinkProgram(pair.program);
    GLint status = GL_FALSE;
    glGetProgramiv(pair.program, GL_LINK_STATUS, &status);
    if (status != GL_TRUE) {
      GLint length = 0;
      glGetProgramiv(pair.program, GL_INFO_LOG_LENGTH, &length);
      std::string log(length > 0 ? length : 0, '\0');
      if (length > 0) glGetProgramInfoLog(pair.program, length, nullptr, &log[0]);
      if (!log.empty() && log.back() == '\0') log.pop_back();
      pair.log = vertex->fileName + " (" + vertex->entry + ") with " + fragment->fileName +
                 " (" + fragment->entry + "):\n" + log;
      return pair;
    }
  }
  pair.ok = true;
  collectLocations(pair, vertex);
  collectLocations(pair, fragment);
  return pair;
}

// Makes current the GL program of the enabled stages' bound programs and writes every stored
// parameter value into it. Only a bind (`requested`) links a pair it has not met: enabling a
// profile can pair a new program with one still bound from an earlier pass for a moment, and
// such passing pairs, which nothing draws with, are neither linked nor reported.
void refresh(CgContextRecord& s, bool requested) {
  if (!GLEW_VERSION_2_0) return;
  CgProgramRecord* vertex = s.enabled[kVertex] ? s.bound[kVertex] : nullptr;
  CgProgramRecord* fragment = s.enabled[kFragment] ? s.bound[kFragment] : nullptr;
  s.currentStage[kVertex] = vertex;
  s.currentStage[kFragment] = fragment;
  s.current = nullptr;
  if (vertex == nullptr && fragment == nullptr) {
    glUseProgram(0);
    return;
  }
  const auto key = std::make_pair(vertex, fragment);
  auto found = s.pairs.find(key);
  if (found == s.pairs.end()) {
    if (!requested) {
      glUseProgram(0);
      return;
    }
    found = s.pairs.emplace(key, link(vertex, fragment)).first;
  }
  CgLinkedPair& pair = found->second;
  if (!pair.ok) {
    glUseProgram(0);
    if (requested && !pair.reported) {
      pair.reported = true;
      fragment->context->listing = pair.log;
      raise(CG_COMPILER_ERROR);
    }
    return;
  }
  s.current = &pair;
  glUseProgram(pair.program);
  for (const auto& entry : pair.locations) cgruntime::applyParameter(*entry.first, entry.second);
}

void pushIfCurrent(const CgParameterRecord& parameter) {
  const CgContextRecord& s = *parameter.program->context;
  if (s.current == nullptr) return;
  if (s.currentStage[kVertex] != parameter.program &&
      s.currentStage[kFragment] != parameter.program) {
    return;
  }
  for (const auto& entry : s.current->locations) {
    if (entry.first == &parameter) {
      glUseProgram(s.current->program);
      cgruntime::applyParameter(parameter, entry.second);
    }
  }
}

// A null handle is what a failed lookup returns; that failure has been reported already.
bool usable(CGparameter param) {
  if (param == nullptr) return false;
  if (!isLive(param)) {
    raise(CG_INVALID_PARAM_HANDLE_ERROR);
    return false;
  }
  return true;
}

void setVector(CGparameter param, const float* values, int count) {
  if (!usable(param)) return;
  if (param->components < 1 || param->components > 4) {
    raise(CG_PARAMETER_TYPE_ERROR);
    return;
  }
  std::copy(values, values + std::min(count, param->components), param->values);
  param->hasValue = true;
  pushIfCurrent(*param);
}

void setProfileEnabled(CGprofile profile, bool enabled) {
  const int stage = cgruntime::stageOf(profile);
  if (stage < 0) {
    raise(CG_INVALID_PROFILE_ERROR);
    return;
  }
  CgContextRecord* context = cgruntime::current();
  if (context == nullptr) return;
  context->enabled[stage] = enabled;
  refresh(*context, false);
}

}  // namespace

void cgruntime::applyParameter(const CgParameterRecord& parameter, GLint location) {
  if (parameter.unit >= 0) {
    glUniform1i(location, parameter.unit);
    return;
  }
  if (!parameter.hasValue) return;
  switch (parameter.components) {
    case 1: glUniform1fv(location, 1, parameter.values); break;
    case 2: glUniform2fv(location, 1, parameter.values); break;
    case 3: glUniform3fv(location, 1, parameter.values); break;
    case 4: glUniform4fv(location, 1, parameter.values); break;
    case 16: glUniformMatrix4fv(location, 1, GL_FALSE, parameter.values); break;
    default: break;
  }
}

CGprofile cgGLGetLatestProfile(CGGLenum profileClass) {
  if (profileClass != CG_GL_VERTEX && profileClass != CG_GL_FRAGMENT) {
    raise(CG_INVALID_ENUMERANT_ERROR);
    return CG_PROFILE_UNKNOWN;
  }
  if (!GLEW_VERSION_2_0) return CG_PROFILE_UNKNOWN;
  return profileClass == CG_GL_VERTEX ? CG_PROFILE_GLSLV : CG_PROFILE_GLSLF;
}

void cgGLEnableProfile(CGprofile profile) { setProfileEnabled(profile, true); }

void cgGLDisableProfile(CGprofile profile) { setProfileEnabled(profile, false); }

void cgGLLoadProgram(CGprogram program) {
  if (!isLive(program)) {
    raise(CG_INVALID_PROGRAM_HANDLE_ERROR);
    return;
  }
  if (cgruntime::compile(*program)) program->loaded = true;
}

void cgGLBindProgram(CGprogram program) {
  if (!isLive(program)) {
    raise(CG_INVALID_PROGRAM_HANDLE_ERROR);
    return;
  }
  if (!program->loaded) {
    raise(CG_PROGRAM_NOT_LOADED_ERROR);
    return;
  }
  program->context->bound[cgruntime::stageOf(program->profile)] = program;
  refresh(*program->context, true);
}

void cgGLSetParameter1fv(CGparameter param, const float* values) { setVector(param, values, 1); }
void cgGLSetParameter2fv(CGparameter param, const float* values) { setVector(param, values, 2); }
void cgGLSetParameter3fv(CGparameter param, const float* values) { setVector(param, values, 3); }
void cgGLSetParameter4fv(CGparameter param, const float* values) { setVector(param, values, 4); }

void cgGLSetMatrixParameterfc(CGparameter param, const float* matrix) {
  if (!usable(param)) return;
  if (param->components != 16) {
    raise(CG_PARAMETER_TYPE_ERROR);
    return;
  }
  std::copy(matrix, matrix + 16, param->values);
  param->hasValue = true;
  pushIfCurrent(*param);
}

void cgGLSetTextureParameter(CGparameter param, unsigned int texture) {
  if (!usable(param)) return;
  if (param->unit < 0) {
    raise(CG_PARAMETER_TYPE_ERROR);
    return;
  }
  param->texture = texture;
}

void cgGLEnableTextureParameter(CGparameter param) {
  if (!usable(param)) return;
  if (param->unit < 0) {
    raise(CG_PARAMETER_TYPE_ERROR);
    return;
  }
  GLenum target = GL_TEXTURE_2D;
  if (param->type == GL_SAMPLER_3D) target = GL_TEXTURE_3D;
  if (param->type == GL_SAMPLER_1D) target = GL_TEXTURE_1D;
  if (param->type == GL_SAMPLER_CUBE) target = GL_TEXTURE_CUBE_MAP;
  glActiveTexture(GL_TEXTURE0 + param->unit);
  glBindTexture(target, param->texture);
  glActiveTexture(GL_TEXTURE0);
}
