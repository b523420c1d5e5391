// The program's OpenGL 1.1 calls over OpenGL ES 3.0 / WebGL 2: installing the
// layer and the calls that only set state. The parts: layer_state.h (the one
// state record), matrices, primitives (immediate mode and client arrays),
// wide_lines, batches (which draws share one), flush (drawing them), caches
// and instances (copies drawn again per instance), textures (with the
// restore after a lost context), shaders.
#include "gl/gles/fixed_function.h"

#include "gl/gles/caches.h"
#include "gl/gles/entry_points.h"
#include "gl/gles/flush.h"
#include "gl/gles/layer_state.h"
#include "gl/gles/matrices.h"
#include "gl/gles/shaders.h"

#include <cstring>

namespace gles_layer {

LayerState State;
FixedFunctionCounts Counts;
FixedFunctionFault Fault = FixedFunctionFault::None;

void KGL_APIENTRY ff_glBlendFunc(GLenum sfactor, GLenum dfactor) {
    State.blendSource = sfactor;
    State.blendDestination = dfactor;
}

void KGL_APIENTRY ff_glClear(GLbitfield mask) {
    flushPending();
    Applied& a = State.applied;
    if (mask & GL_DEPTH_BUFFER_BIT) applyDepthMask(State.depthMask);
    if ((mask & GL_COLOR_BUFFER_BIT) &&
        std::memcmp(a.clearColour, State.clearColour, sizeof a.clearColour) != 0) {
        State.es.ClearColor(State.clearColour[0], State.clearColour[1], State.clearColour[2],
                            State.clearColour[3]);
        std::memcpy(a.clearColour, State.clearColour, sizeof a.clearColour);
    }
    State.es.Clear(mask);
}

void KGL_APIENTRY ff_glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    const float colour[4] = {red, green, blue, alpha};
    for (int k = 0; k < 4; ++k)
        State.clearColour[k] = colour[k] < 0 ? 0 : colour[k] > 1 ? 1 : colour[k];
}

void KGL_APIENTRY ff_glDepthMask(GLboolean flag) {
    State.depthMask = flag != GL_FALSE;
}

void setCapability(GLenum cap, bool on) {
    switch (cap) {
    case GL_LIGHTING:
        State.lighting = on;
        break;
    case GL_LIGHT0:
        if (State.light0 != on) globalsChanging();
        State.light0 = on;
        break;
    case GL_NORMALIZE:
        State.normalize = on;
        break;
    case GL_TEXTURE_2D:
        State.texturing[State.activeUnit] = on;
        break;
    case GL_BLEND:
        State.blend = on && Fault != FixedFunctionFault::NoBlending;
        break;
    case GL_DEPTH_TEST:
        State.depthTest = on;
        break;
    case GL_CULL_FACE:
        State.cull = on;
        break;
    default:
        // Other lights, fog and the like: the program does not use them.
        if (cap < GL_LIGHT0 || cap > GL_LIGHT0 + 7) raise(gles::INVALID_ENUM);
        break;
    }
}

void KGL_APIENTRY ff_glEnable(GLenum cap) {
    setCapability(cap, true);
}

void KGL_APIENTRY ff_glDisable(GLenum cap) {
    setCapability(cap, false);
}

void KGL_APIENTRY ff_glFinish() {
    flushPending();
    State.es.Finish();
}

void KGL_APIENTRY ff_glFlush() {
    // The batches go to ES; the browser or the swap sends ES's work on.
    flushPending();
}

void KGL_APIENTRY ff_glFrontFace(GLenum mode) {
    State.frontFace = mode;
}

GLenum KGL_APIENTRY ff_glGetError() {
    const GLenum own = State.error;
    State.error = GL_NO_ERROR;
    return own != GL_NO_ERROR ? own : State.es.GetError();
}

const GLubyte* KGL_APIENTRY ff_glGetString(GLenum name) {
    const char* text = nullptr;
    switch (name) {
    case GL_VENDOR:
        text = State.vendor.c_str();
        break;
    case GL_RENDERER:
        text = State.renderer.c_str();
        break;
    case GL_VERSION:
        text = State.version.c_str();
        break;
    case GL_EXTENSIONS:
        text = "GL_ARB_multitexture";
        break;
    default:
        raise(gles::INVALID_ENUM);
        break;
    }
    return reinterpret_cast<const GLubyte*>(text);
}

void KGL_APIENTRY ff_glLightModeli(GLenum, GLint) {
    // Only the one-sided model is drawn, which is the one the scene asks for.
}

void KGL_APIENTRY ff_glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (light != GL_LIGHT0) return; // one light is all the scene has
    float* target = nullptr;
    switch (pname) {
    case GL_AMBIENT:
        target = State.lightAmbient;
        break;
    case GL_DIFFUSE:
        target = State.lightDiffuse;
        break;
    case GL_SPECULAR:
        target = State.lightSpecular;
        break;
    case GL_POSITION:
        target = State.lightPosition;
        break;
    default:
        return; // spot and attenuation keep their defaults
    }
    globalsChanging();
    if (pname != GL_POSITION) {
        std::memcpy(target, params, 4 * sizeof(float));
        return;
    }
    // Kept in eye space, through the modelview of the moment, as GL does.
    const Matrix& m = State.stacks[ModelviewStack].back();
    for (int row = 0; row < 4; ++row) {
        double sum = 0.0;
        for (int k = 0; k < 4; ++k)
            sum += m[k * 4 + row] * params[k];
        target[row] = float(sum);
    }
}

void KGL_APIENTRY ff_glLineWidth(GLfloat width) {
    if (!(width > 0)) return raise(gles::INVALID_VALUE);
    State.lineWidth = width;
}

void KGL_APIENTRY ff_glPointSize(GLfloat size) {
    if (size <= 0) return raise(gles::INVALID_VALUE);
    State.pointSize = size;
}

void KGL_APIENTRY ff_glShadeModel(GLenum mode) {
    // Smooth shading is what the scene asks for; flat is accepted and drawn smooth.
    if (mode != GL_SMOOTH && mode != Flat) raise(gles::INVALID_ENUM);
}

void KGL_APIENTRY ff_glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (width < 0 || height < 0) return raise(gles::INVALID_VALUE);
    const GLint viewport[4] = {x, y, width, height};
    if (std::memcmp(viewport, State.viewport, sizeof viewport) == 0) return;
    globalsChanging();
    std::memcpy(State.viewport, viewport, sizeof viewport);
}

void KGL_APIENTRY ff_glActiveTextureARB(GLenum texture) {
    const int unit = unitOf(texture);
    if (unit >= 0) State.activeUnit = unit;
}

void KGL_APIENTRY ff_glClientActiveTextureARB(GLenum texture) {
    const int unit = unitOf(texture);
    if (unit >= 0) State.clientUnit = unit;
}

bool bindES(GLESLookup lookup, std::string& error) {
    std::string missing;
#define KGLES_BIND(ret, name, params)                                                              \
    State.es.name = reinterpret_cast<ret(KGL_APIENTRY*) params>(lookup("gl" #name));               \
    if (!State.es.name) missing += std::string(missing.empty() ? "" : ", ") + "gl" #name;
    KGLES_FUNCTIONS(KGLES_BIND)
#undef KGLES_BIND
    if (missing.empty()) return true;
    error = "the OpenGL ES 3 context lacks " + missing;
    return false;
}

std::string esString(GLenum name) {
    const GLubyte* text = State.es.GetString(name);
    return text ? reinterpret_cast<const char*>(text) : "an unnamed OpenGL ES 3 driver";
}
} // namespace gles_layer

using namespace gles_layer;

void forgetFixedFunctionArrays() {
    flushPending();
    forgetCachedGeometry();
}

void flushFixedFunctionLayer() {
    flushPending();
}

bool installFixedFunctionLayer(GLESLookup lookup, std::string& error) {
    releaseFixedFunctionLayer();
    if (!lookup || !bindES(lookup, error)) {
        if (!lookup) error = "no way to look OpenGL ES 3 functions up";
        State.es = GLESCalls();
        return false;
    }
    if (!makeESObjects(error)) {
        releaseFixedFunctionLayer();
        return false;
    }
    for (std::vector<Matrix>& stack : State.stacks)
        stack.assign(1, identity());
    State.transformDirty = State.textureDirty = State.inverseDirty = true;
    State.vendor = "Kestrion";
    State.renderer = "Kestrion fixed-function layer over " + esString(GL_RENDERER);
    State.version = "1.1 Kestrion fixed-function layer over " + esString(GL_VERSION);
    if (State.width > 0 && State.height > 0) {
        const GLint viewport[4] = {0, 0, State.width, State.height};
        std::memcpy(State.viewport, viewport, sizeof viewport);
    }

#define KGL_CORE(ret, name, params, args) name = ff_##name;
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT
    return true;
}

FixedFunctionCounts fixedFunctionCounts() {
    return Counts;
}

void setFixedFunctionFramebufferSize(int width, int height) {
    State.width = width;
    State.height = height;
    if (State.program[0]) ff_glViewport(0, 0, width, height);
}

void releaseFixedFunctionLayer() {
    const GLESCalls& es = State.es;
    for (int which : {SingleProgram, SlotsProgram}) {
        if (State.program[which]) es.DeleteProgram(State.program[which]);
        if (State.fragmentShader[which]) es.DeleteShader(State.fragmentShader[which]);
    }
    if (State.vertexShader) es.DeleteShader(State.vertexShader);
    const GLuint buffers[3] = {State.streamBuffer, State.instanceBuffer, State.staticBuffer};
    if (State.streamBuffer) es.DeleteBuffers(3, buffers);
    const GLuint arrays[2] = {State.streamArray, State.staticArray};
    if (State.streamArray) es.DeleteVertexArrays(2, arrays);
    const int width = State.width, height = State.height;
    State = LayerState();
    State.width = width, State.height = height;
    clearGLTable();
}

void plantFixedFunctionFault(FixedFunctionFault fault) {
    Fault = fault;
}
