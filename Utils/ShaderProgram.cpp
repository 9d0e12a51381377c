// Shader program loading and parameter setting through the shader runtime layer.
#include "Utils/ShaderProgram.h"

#include <cassert>
#include <cstdlib>
#include <iostream>
#include <utility>
#include <vector>

#include "Utils/ShaderManager.h"
#include "platform/FileWriter.h"

namespace {

// The first line of a listing after its "file (entry):" heading, so that the one line on
// standard error says why; the rest stays in shaderdebug.txt.
std::string firstComplaint(const std::string& listing) {
  size_t start = listing.find('\n');
  start = start == std::string::npos ? 0 : start + 1;
  while (start < listing.size() && (listing[start] == '\n' || listing[start] == ' ')) ++start;
  const size_t end = listing.find('\n', start);
  std::string line = listing.substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line.empty() ? "the compiler gave no reason" : line;
}

// Writes the whole listing to shaderdebug.txt (a link or a FIFO in its place is replaced, never
// followed or waited on) and says where it is, or why it is not there.
std::string keepListing(const std::string& listing) {
  const std::string text = listing + "\n";
  std::string error;
  if (FileWriter::replace("shaderdebug.txt", std::vector<unsigned char>(text.begin(), text.end()),
                          error))
    return "the listing is in shaderdebug.txt";
  return "the listing could not be kept: " + error;
}

}  // namespace

ShaderProgram::ShaderProgram(const ShaderManager& shaders, std::string fileName,
                             CGGLenum profileClass)
    : context(shaders.getCgContext()), profileClass(profileClass) {
  profile = cgGLGetLatestProfile(profileClass);
  this->fileName = std::move(fileName);
  program = nullptr;
  if (!load()) {
    std::cerr << "Shader program \"" << this->fileName << "\" ("
              << (profileClass == CG_GL_FRAGMENT ? "fragment_main" : "vertex_main")
              << ") did not load: " << firstComplaint(failedListing) << "; "
              << keepListing(failedListing) << std::endl;
    std::exit(1);
  }
}

bool ShaderProgram::load() {
  assert(cgIsContext(context));
  const char* entry = profileClass == CG_GL_FRAGMENT ? "fragment_main" : "vertex_main";
  CGprogram created =
      cgCreateProgramFromFile(context, CG_SOURCE, fileName.c_str(), profile, entry, nullptr);
  if (!cgIsProgramCompiled(created)) cgCompileProgram(created);
  if (!cgIsProgram(created)) {
    const char* listing = cgGetLastListing(context);
    failedListing = listing != nullptr ? listing : "";
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

CGparameter ShaderProgram::parameter(const char* name) {
  const auto found = parameters.find(name);
  if (found != parameters.end()) return found->second;
  const CGparameter handle = cgGetNamedParameter(program, name);
  if (handle == nullptr) {
    std::cout << "Shader program \"" << fileName << "\" has no parameter \"" << name << "\""
              << std::endl;
  }
  parameters.emplace(name, handle);
  return handle;
}

void ShaderProgram::setTextureParameter(const char* name, GLuint texture) {
  const CGparameter handle = parameter(name);
  if (handle == nullptr) return;
  cgGLSetTextureParameter(handle, texture);
  cgGLEnableTextureParameter(handle);
}

void ShaderProgram::setParameter(const char* name, const float* values, int count) {
  const CGparameter handle = parameter(name);
  if (handle == nullptr) return;
  switch (count) {
    case 1: cgGLSetParameter1fv(handle, values); break;
    case 2: cgGLSetParameter2fv(handle, values); break;
    case 3: cgGLSetParameter3fv(handle, values); break;
    case 4: cgGLSetParameter4fv(handle, values); break;
    case 16: cgGLSetMatrixParameterfc(handle, values); break;
    default: break;
  }
}

void ShaderProgram::linkPairOrExit(ShaderProgram& vertex, ShaderProgram& fragment) {
  vertex.bind();
  fragment.bind();
  // A pair that does not link leaves no program current.
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  vertex.unbind();
  fragment.unbind();
  if (current != 0) return;
  const char* listing = cgGetLastListing(vertex.context);
  const std::string text = listing != nullptr ? listing : "";
  std::cerr << "Shader programs \"" << vertex.fileName << "\" (vertex_main) and \""
            << fragment.fileName << "\" (fragment_main) do not link together: "
            << firstComplaint(text) << "; " << keepListing(text) << std::endl;
  std::exit(1);
}
