// Vertex program: fixes the profile class; loading happens in ShaderProgram.
#include "Utils/VertexProgram.h"

#include <utility>

VertexProgram::VertexProgram(std::string fileName)
    : ShaderProgram(std::move(fileName), CG_GL_VERTEX) {}
