#include "gl/gl_table.h"

#define KGL_CORE(ret, name, params, args) ret(KGL_APIENTRY* name) params = nullptr;
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT

#define KGL_CORE(ret, name, params, args) {#name, reinterpret_cast<void**>(&name)},
#define KGL_EXT(ret, name, params, args)
const GLEntryPoint GLCoreEntryPoints[] = {
#include "gl/gl_functions.inc"
};
#undef KGL_CORE
#undef KGL_EXT
const int GLCoreEntryPointCount = sizeof(GLCoreEntryPoints) / sizeof(GLCoreEntryPoints[0]);

#define KGL_CORE(ret, name, params, args)
#define KGL_EXT(ret, name, params, args) {#name, reinterpret_cast<void**>(&name)},
const GLEntryPoint GLExtensionEntryPoints[] = {
#include "gl/gl_functions.inc"
};
#undef KGL_CORE
#undef KGL_EXT
const int GLExtensionEntryPointCount =
    sizeof(GLExtensionEntryPoints) / sizeof(GLExtensionEntryPoints[0]);

int bindGLCore(GLSymbolLookup lookup, void* context) {
    int missing = 0;
    for (int i = 0; i < GLCoreEntryPointCount; ++i) {
        *GLCoreEntryPoints[i].slot = lookup(GLCoreEntryPoints[i].name, context);
        if (!*GLCoreEntryPoints[i].slot) ++missing;
    }
    return missing;
}

void bindGLExtensions(GLSymbolLookup lookup, void* context) {
    for (int i = 0; i < GLExtensionEntryPointCount; ++i)
        *GLExtensionEntryPoints[i].slot = lookup(GLExtensionEntryPoints[i].name, context);
}

void clearGLTable() {
    for (int i = 0; i < GLCoreEntryPointCount; ++i) *GLCoreEntryPoints[i].slot = nullptr;
    for (int i = 0; i < GLExtensionEntryPointCount; ++i) *GLExtensionEntryPoints[i].slot = nullptr;
}
