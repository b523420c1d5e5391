// The OpenGL entry-point table: one typed pointer per function the program
// calls, named after the function, bound by name at run time.
#pragma once
#include "gl/gl_constants.h"
#include "gl/gl_types.h"

#define KGL_CORE(ret, name, params, args) extern ret(KGL_APIENTRY* name) params;
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT

// One row of the table: the function's name and the slot that holds its pointer.
struct GLEntryPoint {
    const char* name;
    void** slot;
};

// The typed slots of the table, core functions and extension functions.
extern const GLEntryPoint GLCoreEntryPoints[];
extern const int GLCoreEntryPointCount;
extern const GLEntryPoint GLExtensionEntryPoints[];
extern const int GLExtensionEntryPointCount;

using GLSymbolLookup = void* (*)(const char* name, void* context);

// Fills every typed core slot from the lookup; returns the number left null.
int bindGLCore(GLSymbolLookup lookup, void* context);
// Fills every typed extension slot from the lookup (null allowed).
void bindGLExtensions(GLSymbolLookup lookup, void* context);
// Sets every slot to null.
void clearGLTable();
