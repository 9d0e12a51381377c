// Shader program loading and parameter setting through the shader runtime layer.
#include "Utils/ShaderProgram.h"

#include <cassert>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <utility>

#include "Utils/ShaderManager.h"

ShaderProgram::ShaderProgram(std::string fileName, CGGLenum profileClass)
    : profileClass(profileClass) {
  profile = cgGLGetLatestProfile(profileClass);
  this->fileName = std::move(fileName);
  program = nullptr;
  if (!load()) {
    std::cerr << "Shader program \"" << this->fileName << "\" ("
              << (profileClass == CG_GL_FRAGMENT ? "fragment_main" : "vertex_main")
              << ") did not load; its listing is in shaderdebug.txt" << std::endl;
    std::exit(1);
  }
}

bool ShaderProgram::load() {
  assert(cgIsContext(ShaderManager::instance()->getCgContext()));
  const CGcontext context = ShaderManager::instance()->getCgContext();
  const char* entry = profileClass == CG_GL_FRAGMENT ? "fragment_main" : "vertex_main";
  CGprogram created =
      cgCreateProgramFromFile(context, CG_SOURCE, fileName.c_str(), profile, entry, nullptr);
  if (!cgIsProgramCompiled(created)) cgCompileProgram(created);
  if (!cgIsProgram(created)) {
    std::ofstream debug("shaderdebug.txt", std::ios::out | std::ios::trunc);
    const char* listing = cgGetLastListing(context);
    if (listing != nullptr) debug << listing;
    debug << std::endl;
    return false;
  }
  program = created;
  cgGLEnableProfile(profile);
  cgGLLoadProgram(program);
  cgGLDisableProfile(profile);
  return true;
}

void ShaderProgram::bind() {
  cgGLEnableProfile(profile);
  cgGLBindProgram(program);
}

void ShaderProgram::unbind() { cgGLDisableProfile(profile); }

void ShaderProgram::setTextureParameter(const char* name, GLuint texture) {
  CGparameter parameter = cgGetNamedParameter(program, name);
  cgGLSetTextureParameter(parameter, texture);
  cgGLEnableTextureParameter(parameter);
}

void ShaderProgram::setParameter(const char* name, const float* values, int count) {
  switch (count) {
    case 1: cgGLSetParameter1fv(cgGetNamedParameter(program, name), values); break;
    case 2: cgGLSetParameter2fv(cgGetNamedParameter(program, name), values); break;
    case 3: cgGLSetParameter3fv(cgGetNamedParameter(program, name), values); break;
    case 4: cgGLSetParameter4fv(cgGetNamedParameter(program, name), values); break;
    case 16: cgGLSetMatrixParameterfc(cgGetNamedParameter(program, name), values); break;
    default: break;
  }
}
