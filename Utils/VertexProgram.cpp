// Vertex program: fixes the profile class; loading happens in ShaderProgram.
#include "Utils/VertexProgram.h"

#include <utility>

VertexProgram::VertexProgram(const ShaderManager& shaders, std::string fileName)
    : ShaderProgram(shaders, std::move(fileName), CG_GL_VERTEX) {}
