// One shader program: a stage of a program file, compiled for the newest profile of its class,
// loaded into the driver, bound and unbound, with its parameters set by name on every call.
#pragma once

#include <GL/glew.h>

#include <map>
#include <string>

#include "platform/cg/CgGL.h"

class ShaderManager;

class ShaderProgram {
 public:
  // Loads the program into the manager's runtime context, which must be current and outlive
  // it; one that does not load writes "shaderdebug.txt" and ends the process (1).
  ShaderProgram(const ShaderManager& shaders, std::string fileName, CGGLenum profileClass);

  // False, with the listing kept for the line that ends the process, when it does not load.
  bool load();
  void bind();
  // Disables the profile only; the program stays bound to its stage.
  void unbind();
  void setTextureParameter(const char* name, GLuint texture);
  // count 1-4 sets that many components, 16 a column-major 4x4 matrix; any other count does nothing.
  void setParameter(const char* name, const float* values, int count);

  // Binds the two stages together, as a pass draws with them. A pair whose stages do not link
  // writes its listing to "shaderdebug.txt" and ends the process with one line naming both (1).
  static void linkPairOrExit(ShaderProgram& vertex, ShaderProgram& fragment);

  CGcontext context;
  CGprogram program;
  std::string fileName;
  CGprofile profile;
  CGGLenum profileClass;

 private:
  // The listing of the last load that failed.
  std::string failedListing;
  // The handle of a parameter, looked up once per name; null for a name the program lacks, which
  // is reported once, naming the program and the parameter.
  CGparameter parameter(const char* name);
  std::map<std::string, CGparameter> parameters;
};
