// The program's OpenGL 1.1 calls (and the ARB multitexture ones) carried out
// over OpenGL ES 3.0 / WebGL 2: matrix stacks, one light, two texture units
// with MODULATE, immediate mode and client arrays, drawn by one shader.
#pragma once
#include <string>

// Looks an OpenGL ES 3 function up by name ("glDrawArrays"): eglGetProcAddress
// natively, emscripten_webgl_get_proc_address in the browser.
using GLESLookup = void* (*)(const char* name);

// With an OpenGL ES 3 context current (and the framebuffer to draw into bound):
// binds the ES functions, compiles the shaders, makes the buffers and points the
// whole program table, core and extensions, at the layer. False with the reason
// in `error` (the missing entry point, a shader's info log) when it cannot.
bool installFixedFunctionLayer(GLESLookup lookup, std::string& error);

// The size of the framebuffer drawn into: the viewport until the program sets
// its own (an ES context without a window starts with an empty one).
void setFixedFunctionFramebufferSize(int width, int height);

// Draws what the layer holds back in its batches. glFlush, glFinish,
// glReadPixels and glClear do it too; a front-end calls it before presenting.
void flushFixedFunctionLayer();

// Forgets the client arrays the layer keeps a copy of: a front-end calls it
// when it frees arrays it drew from (new fleets), before drawing from others
// that may lie at the same addresses.
void forgetFixedFunctionArrays();

// After the context was lost and given back (the browser's
// webglcontextrestored): makes the layer's shaders and buffers again and backs
// every texture name with a new, empty ES texture. The program then uploads
// its textures again (glAreTexturesResident answers false until it does).
bool restoreFixedFunctionLayer(std::string& error);

// Draws the program asked for (each glEnd and glDrawArrays) and the draw calls
// the layer made of them, since it was installed.
struct FixedFunctionCounts {
    long draws = 0, esDraws = 0;
};
FixedFunctionCounts fixedFunctionCounts();

// Deletes the layer's shaders, buffers and state and clears the program table.
// The context must still be current.
void releaseFixedFunctionLayer();

// For the tests that hold the layer against a desktop driver: each plants one
// broken feature, so that a comparison can be shown to notice it.
enum class FixedFunctionFault {
    None,
    NoLighting,       // lit surfaces drawn in their plain colour
    WrongTextureUnit, // binds meant for unit 0 land on unit 1 and the other way round
    NoBlending        // glEnable(GL_BLEND) ignored
};
void plantFixedFunctionFault(FixedFunctionFault fault);
