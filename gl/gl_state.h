// Program-wide rendering facts decided when the context is set up.
#pragma once
#include <cstdint>

// 1 until the context's extension string turns out to lack GL_ARB_multitexture.
extern int32_t MultitextureAvailable;

// 1 when the driver clamps textures to their edge texels (GL_CLAMP_TO_EDGE),
// decided from its version string when the scene is set up; 0 for OpenGL 1.1.
extern int32_t EdgeClampAvailable;

// Whether a driver of this GL_VERSION string offers GL_CLAMP_TO_EDGE: OpenGL
// 1.2 and later, and every OpenGL ES and WebGL (our layer over them reports
// "1.1 ... over OpenGL ES 3.0"). False for null, 1.1 and what cannot be read.
bool offersEdgeClamp(const char* version);
