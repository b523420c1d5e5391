// An off-screen OpenGL context on Mesa's surfaceless EGL platform, drawing
// into a framebuffer object: no window, no display server. Bound by name from
// libEGL.so.1 through the library loader, like every other GL entry point.
#pragma once
#include <string>

enum class SurfacelessApi { OpenGL, OpenGLES3 };

// Makes the context current with a width x height framebuffer object (colour
// and a 24-bit depth buffer) bound. Empty when all went well, otherwise what
// is missing and what to install.
std::string makeSurfacelessContext(SurfacelessApi api, int width, int height);

// eglGetProcAddress of the loaded EGL, for binding the GL table; null before
// makeSurfacelessContext succeeded.
void* surfacelessLookup(const char* name);
