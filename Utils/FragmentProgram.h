// A fragment program: the "fragment_main" entry point of a program file, fragment profile class.
#pragma once

#include <string>

#include "Utils/ShaderProgram.h"

class FragmentProgram : public ShaderProgram {
 public:
  FragmentProgram(const ShaderManager& shaders, std::string fileName);
};
