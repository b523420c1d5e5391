// The saver window's rendering context, set up once when the window is created:
// the system's calls for it, and the driver's swap. The order of the steps, with
// the scene between them, is the shell's (shell/run_start.h).
#pragma once
#include "gl/wgl.h"
#include "platform/library.h"

#include <cstdint>

extern DeviceContext WindowDC;         // kept for the whole run
extern RenderingContext RenderContext; // current for the whole run
using SwapBuffersFunction = int(KGL_APIENTRY*)(DeviceContext dc);
extern SwapBuffersFunction SwapBuffersEntry; // the driver's "wglSwapBuffers"

// What the set-up needs from the system. driverContextCalls() fills the ones
// the wrapper family and the library loader answer; the platform adds the rest.
struct ContextSetUpCalls {
    DeviceContext (*getDC)(void* window);
    int32_t (*setUpPixelFormat)(DeviceContext dc, int colourBits, int depthBits);
    RenderingContext (*createContext)(DeviceContext dc);
    int (*makeCurrent)(DeviceContext dc, RenderingContext rc);
    void (*restoreDisplayMode)(); // back to the registry's mode
    void (*postQuit)();           // the quit message, exit value 0
    void (*endProcess)(int exitCode);
    SymbolAddress (*findSwapBuffers)();
};

// SetupPixelFormat, the wgl wrappers, GetProcAddress(GLLibrary, "wglSwapBuffers")
// and exit(); getDC, restoreDisplayMode and postQuit are left null.
ContextSetUpCalls driverContextCalls();

// What a run's start ended with.
enum class ContextSetUp {
    Ready,       // every step done
    QuitPosted,  // a step failed; the quit message is posted
    ProcessEnded // the scene could not be loaded; endProcess(0) was called
};

// The frame driver's swap: SwapBuffersEntry(WindowDC), result not examined.
void swapThroughDriver();

// Windows only: the calls a window's run starts with (the front-end hands them
// to its start of the run on WM_CREATE): the driver's calls, the window's
// device context, `restoreDisplayMode` and the quit message, with the GDI
// pixel-format functions installed. The pixel format has several samples a
// pixel where the driver offers them (see gl/multisample.h for how many;
// `samplesSetting` is the frame-rate scripts' KESTRION_BENCH_SAMPLES or null).
ContextSetUpCalls windowContextCalls(void (*restoreDisplayMode)(), const char* samplesSetting);
