// Core of our shader runtime layer: contexts, programs compiled from files, parameters, errors.
// It stands in for the Cg runtime the renderer was written against; programs are GLSL 1.20.
// Handles are opaque pointers. A context holds all the layer's state: its programs and their
// parameters, the stages' profiles and bound programs, the linked pairs, the pending error and
// the error callback; whoever creates it owns it and releases it all with cgDestroyContext.
// The calls that name no context (errors, profiles, binding) act on the current context, the
// one created last of those not yet destroyed; the program and parameter handles they take are
// that context's own.
//
// Program file convention (media/*.cg):
//   One file holds both stages. The layer compiles it once per stage, as the text
//     "#version 120\n#define VERTEX_PROGRAM 1\n#line 0\n"   (FRAGMENT_PROGRAM for the fragment
//     stage), then the file, then "\nvoid main() { vertex_main(); }\n" (the requested entry point).
//   ("#line 0" because GLSL 1.20 numbers the line after "#line N" as N + 1.)
//   So a file has no #version and no main(); it wraps each stage's code in #ifdef VERTEX_PROGRAM /
//   #ifdef FRAGMENT_PROGRAM, and its entry points are `void vertex_main()` / `void fragment_main()`.
//   A missing entry point is a compile error. Line numbers in listings are the file's own.
//   Parameters are the program's active uniforms, by name (GLSL compilers drop unused uniforms,
//   so a name the program never reads is not a parameter). Samplers get texture units from the
//   layer: fragment-stage samplers 0, 1, 2 ... in the order the linker reports them, vertex-stage
//   samplers from 8 up.
//
// Errors set the current context's pending error (read and cleared by cgGetError) and call the
// callback registered with it; with no context current they are dropped.
// cgGetLastListing holds the latest compile or link log of the context, prefixed with the file
// and entry point; it is null when there is none or it is empty.
#pragma once

typedef struct CgContextRecord* CGcontext;
typedef struct CgProgramRecord* CGprogram;
typedef struct CgParameterRecord* CGparameter;

typedef int CGbool;
#define CG_FALSE 0
#define CG_TRUE 1

typedef enum {
  CG_PROFILE_UNKNOWN = 6145,
  CG_PROFILE_GLSLV = 7001,  // GLSL 1.20 vertex stage
  CG_PROFILE_GLSLF = 7002,  // GLSL 1.20 fragment stage
} CGprofile;

typedef enum {
  CG_SOURCE = 4112,  // the program file holds source text (the only kind offered)
} CGenum;

typedef enum {
  CG_NO_ERROR = 0,
  CG_COMPILER_ERROR = 1,              // compile or link failed; the listing says why
  CG_INVALID_PARAMETER_ERROR = 2,     // name is not an active parameter of the program
  CG_INVALID_PROFILE_ERROR = 3,       // profile unknown or not offered by the driver
  CG_FILE_READ_ERROR = 4,             // program file could not be read
  CG_INVALID_PROGRAM_HANDLE_ERROR = 5,
  CG_INVALID_PARAM_HANDLE_ERROR = 6,
  CG_INVALID_CONTEXT_HANDLE_ERROR = 7,
  CG_PROGRAM_NOT_LOADED_ERROR = 8,    // bound before a successful cgGLLoadProgram
  CG_PARAMETER_TYPE_ERROR = 9,        // setter does not fit the parameter's type
  CG_INVALID_ENUMERANT_ERROR = 10,
} CGerror;

typedef void (*CGerrorCallbackFunc)(void);

// A new context, made current until it is destroyed.
CGcontext cgCreateContext(void);
// Releases the context, its programs (with their GL objects: a GL context must be current) and
// parameters. When it is current, no GL program is in use afterwards and the context that was
// current before it is current again (none if there is none).
void cgDestroyContext(CGcontext context);
// True for a context created and not yet destroyed.
CGbool cgIsContext(CGcontext context);
// The current context, or null.
CGcontext cgGetCurrentContext(void);

// Registers `callback` with the current context.
void cgSetErrorCallback(CGerrorCallbackFunc callback);
// Returns the current context's pending error and clears it; CG_INVALID_CONTEXT_HANDLE_ERROR
// when no context is current.
CGerror cgGetError(void);
const char* cgGetErrorString(CGerror error);
const char* cgGetLastListing(CGcontext context);

// Reads the file now; compiling waits for cgCompileProgram (or cgGLLoadProgram). `args` must be
// null or empty: the layer takes no compiler arguments. An unreadable file raises
// CG_FILE_READ_ERROR here and leaves a handle that never compiles.
CGprogram cgCreateProgramFromFile(CGcontext context, CGenum programType, const char* fileName,
                                  CGprofile profile, const char* entry, const char** args);
CGbool cgIsProgramCompiled(CGprogram program);
void cgCompileProgram(CGprogram program);
// True only for a program that compiled and linked.
CGbool cgIsProgram(CGprogram program);

// An unknown name raises CG_INVALID_PARAMETER_ERROR and returns null. The setters ignore a
// null handle without a second error; any other handle the layer did not give out is an error.
CGparameter cgGetNamedParameter(CGprogram program, const char* name);
