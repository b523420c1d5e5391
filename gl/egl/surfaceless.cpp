#include "gl/egl/surfaceless.h"

#include "gl/egl/egl_names.h"
#include "platform/library.h"

#include <cstdint>
#include <type_traits>

namespace {
struct EGLCalls {
    void* (*getProcAddress)(const char*);
    EglDisplay (*getPlatformDisplay)(unsigned, void*, const EglInt*);
    unsigned (*initialize)(EglDisplay, EglInt*, EglInt*);
    unsigned (*bindAPI)(unsigned);
    unsigned (*chooseConfig)(EglDisplay, const EglInt*, EglConfig*, EglInt, EglInt*);
    EglContext (*createContext)(EglDisplay, EglConfig, EglContext, const EglInt*);
    unsigned (*makeCurrent)(EglDisplay, void*, void*, EglContext);
    EglInt (*getError)();
};
EGLCalls E;
} // namespace

void* surfacelessLookup(const char* name) {
    return E.getProcAddress ? E.getProcAddress(name) : nullptr;
}

std::string makeSurfacelessContext(SurfacelessApi api, int width, int height) {
    LibraryHandle library = openLibrary("libEGL.so.1");
    if (!library) return "cannot open libEGL.so.1 (install libegl1 and libegl-mesa0)";
    E.getProcAddress =
        reinterpret_cast<void* (*)(const char*)>(librarySymbol(library, "eglGetProcAddress"));
    if (!E.getProcAddress) return "libEGL.so.1 has no eglGetProcAddress";
    auto find = [](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(E.getProcAddress(name));
        return slot != nullptr;
    };
    if (!find(E.getPlatformDisplay, "eglGetPlatformDisplayEXT") ||
        !find(E.initialize, "eglInitialize") || !find(E.bindAPI, "eglBindAPI") ||
        !find(E.chooseConfig, "eglChooseConfig") || !find(E.createContext, "eglCreateContext") ||
        !find(E.makeCurrent, "eglMakeCurrent") || !find(E.getError, "eglGetError"))
        return "libEGL.so.1 lacks a function of EGL 1.5 (install libegl1 and libegl-mesa0)";
    EglDisplay display = E.getPlatformDisplay(EglPlatformSurfacelessMesa, nullptr, nullptr);
    EglInt major = 0, minor = 0;
    if (!display || !E.initialize(display, &major, &minor))
        return "no surfaceless EGL display (install libegl-mesa0 and libgl1-mesa-dri)";
    const bool es = api == SurfacelessApi::OpenGLES3;
    if (!E.bindAPI(es ? EglOpenGLESApi : EglOpenGLApi)) return "EGL cannot bind the API";
    // No surface of any kind: the default asks for window surfaces, which this platform lacks.
    const EglInt attributes[] = {EglSurfaceType, 0, EglRenderableType,
                                 es ? EglOpenGLES3Bit : EglOpenGLBit, EglNone};
    EglConfig config = nullptr;
    EglInt count = 0;
    if (!E.chooseConfig(display, attributes, &config, 1, &count) || count < 1)
        return "no EGL configuration for the context";
    const EglInt esVersion[] = {EglContextMajorVersion, 3, EglNone};
    EglContext context = E.createContext(display, config, nullptr, es ? esVersion : nullptr);
    if (!context || !E.makeCurrent(display, nullptr, nullptr, context))
        return "cannot make a surfaceless context current, EGL error " +
               std::to_string(E.getError());

    // The framebuffer object: colour and a 24-bit depth buffer.
    void (*genFramebuffers)(int, unsigned*), (*bindFramebuffer)(unsigned, unsigned);
    void (*genRenderbuffers)(int, unsigned*), (*bindRenderbuffer)(unsigned, unsigned);
    void (*renderbufferStorage)(unsigned, unsigned, int, int);
    void (*framebufferRenderbuffer)(unsigned, unsigned, unsigned, unsigned);
    unsigned (*checkFramebufferStatus)(unsigned);
    if (!find(genFramebuffers, "glGenFramebuffers") ||
        !find(bindFramebuffer, "glBindFramebuffer") ||
        !find(genRenderbuffers, "glGenRenderbuffers") ||
        !find(bindRenderbuffer, "glBindRenderbuffer") ||
        !find(renderbufferStorage, "glRenderbufferStorage") ||
        !find(framebufferRenderbuffer, "glFramebufferRenderbuffer") ||
        !find(checkFramebufferStatus, "glCheckFramebufferStatus"))
        return "the context has no framebuffer objects";
    constexpr unsigned Framebuffer = 0x8D40, Renderbuffer = 0x8D41, Rgba8 = 0x8058,
                       Depth24 = 0x81A6, ColourAttachment = 0x8CE0, DepthAttachment = 0x8D00,
                       Complete = 0x8CD5;
    unsigned framebuffer = 0, buffers[2] = {};
    genFramebuffers(1, &framebuffer);
    bindFramebuffer(Framebuffer, framebuffer);
    genRenderbuffers(2, buffers);
    const unsigned formats[2] = {Rgba8, Depth24}, points[2] = {ColourAttachment, DepthAttachment};
    for (int k = 0; k < 2; ++k) {
        bindRenderbuffer(Renderbuffer, buffers[k]);
        renderbufferStorage(Renderbuffer, formats[k], width, height);
        framebufferRenderbuffer(Framebuffer, points[k], Renderbuffer, buffers[k]);
    }
    if (checkFramebufferStatus(Framebuffer) != Complete)
        return "the framebuffer is incomplete (is " + std::to_string(width) + "x" +
               std::to_string(height) + " too large for the driver?)";
    return "";
}
