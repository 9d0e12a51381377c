// Fragment program: fixes the profile class; loading happens in ShaderProgram.
#include "Utils/FragmentProgram.h"

#include <utility>

FragmentProgram::FragmentProgram(std::string fileName)
    : ShaderProgram(std::move(fileName), CG_GL_FRAGMENT) {}
