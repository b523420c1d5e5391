#include "gl/egl/egl_context.h"

#include "gl/binding.h"
#include "gl/egl/egl_names.h"
#include "platform/library.h"

#include <cstdint>
#include <cstdio>

namespace {
struct EglFunctions {
    EglDisplay (*getPlatformDisplay)(unsigned, void*, const intptr_t*);
    EglDisplay (*getDisplay)(void*);
    EglBoolean (*initialize)(EglDisplay, int*, int*);
    EglBoolean (*terminate)(EglDisplay);
    EglBoolean (*bindApi)(unsigned);
    EglBoolean (*chooseConfig)(EglDisplay, const int*, EglConfig*, int, int*);
    EglContext (*createContext)(EglDisplay, EglConfig, EglContext, const int*);
    EglBoolean (*destroyContext)(EglDisplay, EglContext);
    EglSurface (*createWindowSurface)(EglDisplay, EglConfig, void*, const int*);
    EglBoolean (*destroySurface)(EglDisplay, EglSurface);
    EglBoolean (*makeCurrent)(EglDisplay, EglSurface, EglSurface, EglContext);
    EglBoolean (*swapBuffers)(EglDisplay, EglSurface);
    EglBoolean (*swapInterval)(EglDisplay, int);
    int (*getError)();
};
EglFunctions Egl = {};
LibraryHandle EglLibrary = nullptr;

template <typename F> bool find(F& slot, const char* name, const char*& missing) {
    slot = reinterpret_cast<F>(librarySymbol(EglLibrary, name));
    if (!slot && !missing) missing = name;
    return slot != nullptr;
}

EglTarget& targetOf(DeviceContext dc) {
    return *static_cast<EglTarget*>(dc);
}

DeviceContext targetAsDC(void* target) {
    return target;
}

int32_t configIsChosen(DeviceContext dc, int, int) {
    return targetOf(dc).config ? 1 : 0;
}

RenderingContext createContext(DeviceContext dc) {
    EglTarget& target = targetOf(dc);
    const int attributes[] = {EglNone};
    return Egl.createContext(target.display, target.config, nullptr, attributes);
}

int makeCurrent(DeviceContext dc, RenderingContext rc) {
    EglTarget& target = targetOf(dc);
    if (!makeEglCurrent(target, target.surface)) return 0;
    if (rc != LastBoundContext) {
        LastBoundContext = rc;
        BindExtensions();
    }
    return 1;
}

int swapBuffers(DeviceContext dc) {
    swapEglSurface(targetOf(dc));
    return 1;
}

SymbolAddress findSwap() {
    return reinterpret_cast<SymbolAddress>(swapBuffers);
}

EglTarget* Current = nullptr; // the target whose set-up is running
void noDisplayMode() {}
void postQuit() {
    if (Current) Current->quitPosted = true;
}
void endProcess(int) {
    if (Current) Current->processEnded = true;
}

std::string withCode(const std::string& text) {
    char code[32] = "";
    if (Egl.getError) std::snprintf(code, sizeof code, " (EGL error 0x%x)", Egl.getError());
    return text + code;
}
} // namespace

bool loadEgl(std::string& error) {
    if (!EglLibrary) EglLibrary = openLibrary("libEGL.so.1");
    if (!EglLibrary) {
        error = "cannot open libEGL.so.1 (install libegl1 and libegl-mesa0)";
        return false;
    }
    const char* missing = nullptr;
    find(Egl.getDisplay, "eglGetDisplay", missing);
    find(Egl.initialize, "eglInitialize", missing);
    find(Egl.terminate, "eglTerminate", missing);
    find(Egl.bindApi, "eglBindAPI", missing);
    find(Egl.chooseConfig, "eglChooseConfig", missing);
    find(Egl.createContext, "eglCreateContext", missing);
    find(Egl.destroyContext, "eglDestroyContext", missing);
    find(Egl.createWindowSurface, "eglCreateWindowSurface", missing);
    find(Egl.destroySurface, "eglDestroySurface", missing);
    find(Egl.makeCurrent, "eglMakeCurrent", missing);
    find(Egl.swapBuffers, "eglSwapBuffers", missing);
    find(Egl.swapInterval, "eglSwapInterval", missing);
    find(Egl.getError, "eglGetError", missing);
    // EGL 1.5's; older libraries have only eglGetDisplay, which guesses the platform.
    Egl.getPlatformDisplay = reinterpret_cast<decltype(Egl.getPlatformDisplay)>(
        librarySymbol(EglLibrary, "eglGetPlatformDisplay"));
    if (missing) {
        error = std::string("libEGL.so.1 has no ") + missing;
        return false;
    }
    return true;
}

bool openEglDisplay(EglTarget& target, unsigned platform, void* nativeDisplay, std::string& error) {
    target.display = Egl.getPlatformDisplay
                         ? Egl.getPlatformDisplay(platform, nativeDisplay, nullptr)
                         : Egl.getDisplay(nativeDisplay);
    int major = 0, minor = 0;
    if (!target.display || !Egl.initialize(target.display, &major, &minor)) {
        error = withCode("EGL cannot be initialised on the compositor's connection");
        target.display = nullptr;
        return false;
    }
    if (!Egl.bindApi(EglOpenGLApi)) {
        error = withCode("EGL offers no desktop OpenGL here");
        return false;
    }
    // Alpha 0: an opaque picture, whatever blending leaves in the alpha channel.
    const int attributes[] = {EglSurfaceType,
                              EglWindowBit,
                              EglRenderableType,
                              EglOpenGLBit,
                              EglRedSize,
                              8,
                              EglGreenSize,
                              8,
                              EglBlueSize,
                              8,
                              EglAlphaSize,
                              0,
                              EglDepthSize,
                              16,
                              EglNone};
    int count = 0;
    if (!Egl.chooseConfig(target.display, attributes, &target.config, 1, &count) || count < 1) {
        target.config = nullptr;
        error = withCode("EGL has no OpenGL window config with 8-bit colour and a depth buffer");
        return false;
    }
    return true;
}

void* createEglWindowSurface(EglTarget& target, void* nativeWindow) {
    return Egl.createWindowSurface(target.display, target.config, nativeWindow, nullptr);
}

void destroyEglSurface(EglTarget& target, void* surface) {
    if (!surface) return;
    if (target.surface == surface) {
        Egl.makeCurrent(target.display, nullptr, nullptr, nullptr);
        target.surface = nullptr;
    }
    Egl.destroySurface(target.display, surface);
}

bool makeEglCurrent(EglTarget& target, void* surface) {
    if (!Egl.makeCurrent(target.display, surface, surface, RenderContext)) return false;
    // Per surface, and cheap: set on every change of surface.
    Egl.swapInterval(target.display, 0);
    target.surface = surface;
    return true;
}

void swapEglSurface(EglTarget& target) {
    Egl.swapBuffers(target.display, target.surface);
}

ContextSetUpCalls eglContextCalls(EglTarget& target) {
    ContextSetUpCalls calls = {};
    calls.getDC = targetAsDC;
    calls.setUpPixelFormat = configIsChosen;
    calls.createContext = createContext;
    calls.makeCurrent = makeCurrent;
    calls.restoreDisplayMode = noDisplayMode;
    calls.postQuit = postQuit;
    calls.endProcess = endProcess;
    calls.findSwapBuffers = findSwap;
    Current = &target;
    return calls;
}

void releaseEglContext(EglTarget& target) {
    if (target.display) {
        Egl.makeCurrent(target.display, nullptr, nullptr, nullptr);
        if (RenderContext) Egl.destroyContext(target.display, RenderContext);
        Egl.terminate(target.display);
    }
    RenderContext = nullptr;
    LastBoundContext = nullptr;
    WindowDC = nullptr;
    target = EglTarget{};
    if (Current == &target) Current = nullptr;
}
