// OpenGL side of our shader runtime layer: profiles, loading, binding and parameter setting.
// Vertex and fragment programs are enabled and bound independently; the layer makes current one
// linked GL program per (vertex, fragment) pair, linked on first use and cached in the context. A stage whose
// profile is disabled, or that has no program bound, runs fixed-function.
// Parameter values live in the layer and are applied whenever their program's pair becomes current
// (and at once when the program is part of the current pair). Matrices are column-major.
#pragma once

#include "platform/cg/Cg.h"

typedef enum {
  CG_GL_VERTEX = 8,
  CG_GL_FRAGMENT = 9,
} CGGLenum;

// The stage's profile when the current GL context runs GLSL 1.20 (GL 2.0), else unknown.
CGprofile cgGLGetLatestProfile(CGGLenum profileClass);
void cgGLEnableProfile(CGprofile profile);
void cgGLDisableProfile(CGprofile profile);

// Compiles the program if it is not yet compiled and marks it ready to bind.
void cgGLLoadProgram(CGprogram program);
// Makes `program` the current program of its profile's stage.
void cgGLBindProgram(CGprogram program);

// Set the first 1 to 4 components of a float, vec2, vec3 or vec4 parameter; components the
// parameter lacks are ignored, components not given keep their values.
void cgGLSetParameter1fv(CGparameter param, const float* values);
void cgGLSetParameter2fv(CGparameter param, const float* values);
void cgGLSetParameter3fv(CGparameter param, const float* values);
void cgGLSetParameter4fv(CGparameter param, const float* values);
// Sets a mat4 parameter from 16 floats, column by column.
void cgGLSetMatrixParameterfc(CGparameter param, const float* matrix);

// Remembers `texture` for a sampler parameter.
void cgGLSetTextureParameter(CGparameter param, unsigned int texture);
// Binds the remembered texture (2-D or 3-D by the sampler's type) on the sampler's unit and
// leaves texture unit 0 active.
void cgGLEnableTextureParameter(CGparameter param);
