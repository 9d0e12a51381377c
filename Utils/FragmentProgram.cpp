// Fragment program: fixes the profile class; loading happens in ShaderProgram.
#include "Utils/FragmentProgram.h"

#include <utility>

FragmentProgram::FragmentProgram(const ShaderManager& shaders, std::string fileName)
    : ShaderProgram(shaders, std::move(fileName), CG_GL_FRAGMENT) {}
