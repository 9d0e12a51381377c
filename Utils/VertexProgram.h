// A vertex program: the "vertex_main" entry point of a program file, vertex profile class.
#pragma once

#include <string>

#include "Utils/ShaderProgram.h"

class VertexProgram : public ShaderProgram {
 public:
  VertexProgram(const ShaderManager& shaders, std::string fileName);
};
