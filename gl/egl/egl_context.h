// EGL glue for the Wayland program: desktop OpenGL (eglBindAPI(EGL_OPENGL_API))
// on window surfaces, each EGL function looked up by name in libEGL.so.1, as
// GLX's are in the GL library. One context serves every surface of the run:
// the front-end makes it current on each surface in turn, so that textures
// and lists are loaded once for all monitors.
#pragma once
#include "gl/context.h"

#include <string>

struct EglTarget {
    void* display = nullptr;   // the EGLDisplay
    void* config = nullptr;    // the EGLConfig of every surface
    void* surface = nullptr;   // the EGLSurface the context is current on
    bool quitPosted = false;   // a set-up step failed
    bool processEnded = false; // the scene could not be loaded
};

// Opens libEGL.so.1 and finds its functions; false with the reason in `error`.
bool loadEgl(std::string& error);

// The EGL display of a native display (a wl_display, platform `platform`: an
// EGL_PLATFORM_*_KHR value), initialised, with desktop OpenGL bound and an
// opaque RGB config with a depth buffer chosen; false with the reason.
bool openEglDisplay(EglTarget& target, unsigned platform, void* nativeDisplay, std::string& error);

// The EGL_PLATFORM_WAYLAND_KHR value for openEglDisplay.
constexpr unsigned EglPlatformWayland = 0x31D8;

// A window surface on a native window (a wl_egl_window), or null.
void* createEglWindowSurface(EglTarget& target, void* nativeWindow);
void destroyEglSurface(EglTarget& target, void* surface);

// Makes the run's context current on `surface` and sets its swap interval to
// 0, so that a swap never waits: the front-end paces frames itself. False when
// EGL refuses.
bool makeEglCurrent(EglTarget& target, void* surface);

// Swaps the surface the context is current on.
void swapEglSurface(EglTarget& target);

// The calls a run's start makes for `target`, whose surface is the first
// one to draw on; a failed step sets the target's quitPosted or processEnded.
ContextSetUpCalls eglContextCalls(EglTarget& target);

// Releases the context and terminates the display.
void releaseEglContext(EglTarget& target);
