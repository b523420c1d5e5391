// The layer's own OpenGL 1.1 entry points, one per row of the program table,
// each defined in the part of the layer whose concern it is; installing the
// layer points the table at them.
#pragma once
#include "gl/gl_table.h"

namespace gles_layer {
#define KGL_CORE(ret, name, params, args) ret KGL_APIENTRY ff_##name params;
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT
} // namespace gles_layer
