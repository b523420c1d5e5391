// One display refresh per swap, asked of the driver where its swap-control
// extension is offered, so that the swap waits for the display. The driver may
// still not wait (no vertical sync, a user's setting): the frame loop measures.
#pragma once
#include "gl/wgl.h"

enum class SwapInterval {
    Set,       // asked for and accepted
    Refused,   // offered, but the driver said no
    NotOffered // no swap-control extension, or no entry point for it
};

// True when the blank-separated list names `name` as a whole word.
bool extensionListed(const char* list, const char* name);

// WGL_EXT_swap_control, listed in the GL extension string or the WGL one
// (wglGetExtensionsStringEXT or wglGetExtensionsStringARB): wglSwapIntervalEXT(1).
// Needs the context current on `dc`.
SwapInterval askWglSwapInterval(DeviceContext dc);

// GLX_EXT_swap_control for the drawable, else GLX_MESA_swap_control, else
// GLX_SGI_swap_control, as glXQueryExtensionsString lists them for the screen.
// `display` is the X display, `drawable` the window; needs the context current.
SwapInterval askGlxSwapInterval(void* display, int screen, unsigned long drawable);
