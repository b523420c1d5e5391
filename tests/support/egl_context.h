// An OpenGL context on Mesa's surfaceless EGL drawing into a framebuffer
// object: real pixels with no display, for the layer's tests and the still
// pictures of the battle the build makes.
#pragma once
#include <string>

// OpenGL ES 3 (es) or compatibility OpenGL, current, drawing into a width x
// height framebuffer object with a 24-bit depth buffer. Empty when all went
// well, else what is missing.
std::string makeSurfacelessContext(bool es, int width, int height);

// The context's functions by name, for binding the GL table or the layer.
void* eglFunction(const char* name);
void* eglFunctionFor(const char* name, void*);
