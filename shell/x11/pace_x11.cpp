// The Linux program's pace: a swap interval of 1 where GLX offers it, and
// frames held back to the display's refresh rate (RandR's, from libXrandr
// loaded at run time like GL) where the swap does not wait.
#include "gl/binding.h"
#include "gl/swap_interval.h"
#include "platform/clock.h"
#include "platform/library.h"
#include "shell/bench_hooks.h"
#include "shell/x11/x11_shell.h"

#include <poll.h>

namespace {
using ScreenConfiguration = void*;
using GetScreenInfo = ScreenConfiguration (*)(Display*, Window);
using ConfigCurrentRate = short (*)(ScreenConfiguration);
using FreeScreenConfigInfo = void (*)(ScreenConfiguration);

// The screen's rate as RandR reports it; 0 when it cannot tell (no libXrandr,
// no RandR on the server, or a mode without timings, as Xvfb's own).
int randrRefreshHz(Display* display, int screen) {
    // Never closed: once used, the library has hooks on the display that run
    // when the display closes.
    static LibraryHandle randr = openLibrary("libXrandr.so.2");
    if (!randr) return 0;
    auto getInfo = reinterpret_cast<GetScreenInfo>(librarySymbol(randr, "XRRGetScreenInfo"));
    auto rate = reinterpret_cast<ConfigCurrentRate>(librarySymbol(randr, "XRRConfigCurrentRate"));
    auto release =
        reinterpret_cast<FreeScreenConfigInfo>(librarySymbol(randr, "XRRFreeScreenConfigInfo"));
    int hz = 0;
    if (getInfo && rate && release) {
        if (ScreenConfiguration configuration = getInfo(display, RootWindow(display, screen))) {
            hz = rate(configuration);
            release(configuration);
        }
    }
    return hz;
}
} // namespace

FramePacer startX11Pace(Display* display, Window window) {
    const int screen = DefaultScreen(display);
    const bool paced = !benchUnpaced();
    if (paced) askGlxSwapInterval(display, screen, window);
    return makeFramePacer(randrRefreshHz(display, screen), paced);
}

bool waitForEvents(Display* display, uint32_t ms) {
    if (ms == 0) return false;
    XFlush(display);
    pollfd connection = {ConnectionNumber(display), POLLIN, 0};
    poll(&connection, 1, static_cast<int>(ms)); // a signal ends it early, as it should
    return true;
}
