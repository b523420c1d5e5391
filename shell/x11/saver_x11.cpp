// kestrion --saver on X11, for idle tools such as xss-lock, xidlehook and
// xautolock: an override-redirect window on every RandR monitor, the battle in
// the one on the primary (or --output's), the others black, the pointer
// hidden, keyboard and pointer grabbed so that input anywhere reaches us.
#include "shell/saver_rules.h"
#include "shell/x11/x11_shell.h"

#include "platform/library.h"

#include <X11/extensions/Xrandr.h>

#include <unistd.h>

namespace {
using GetMonitors = XRRMonitorInfo* (*)(Display*, Window, Bool, int*);
using FreeMonitors = void (*)(XRRMonitorInfo*);

// RandR 1.5's monitors (xrandr --setmonitor's among them), from libXrandr
// loaded at run time as for the refresh rate. Empty when it cannot tell.
std::vector<X11Monitor> randrMonitors(Display* display, Window root) {
    std::vector<X11Monitor> monitors;
    // Never closed: once used, the library has hooks on the display.
    static LibraryHandle randr = openLibrary("libXrandr.so.2");
    if (!randr) return monitors;
    auto get = reinterpret_cast<GetMonitors>(librarySymbol(randr, "XRRGetMonitors"));
    auto release = reinterpret_cast<FreeMonitors>(librarySymbol(randr, "XRRFreeMonitors"));
    int count = 0;
    XRRMonitorInfo* listed = get && release ? get(display, root, True, &count) : nullptr;
    for (int i = 0; listed && i < count; ++i) {
        const XRRMonitorInfo& info = listed[i];
        if (info.width <= 0 || info.height <= 0) continue;
        X11Monitor monitor;
        if (char* name = info.name ? XGetAtomName(display, info.name) : nullptr) {
            monitor.name = name;
            XFree(name);
        }
        monitor.x = info.x;
        monitor.y = info.y;
        monitor.width = info.width;
        monitor.height = info.height;
        monitor.primary = info.primary;
        monitors.push_back(monitor);
    }
    if (listed) release(listed);
    return monitors;
}
} // namespace

std::vector<X11Monitor> x11Monitors(Display* display, int screen) {
    std::vector<X11Monitor> monitors = randrMonitors(display, RootWindow(display, screen));
    if (monitors.empty()) {
        X11Monitor whole;
        whole.width = DisplayWidth(display, screen);
        whole.height = DisplayHeight(display, screen);
        whole.primary = true;
        monitors.push_back(whole);
    }
    return monitors;
}

int saverBattleMonitor(const std::vector<X11Monitor>& monitors, const std::string& wanted) {
    std::vector<std::string> names;
    int primary = 0;
    for (const X11Monitor& monitor : monitors) {
        if (monitor.primary && !monitors[size_t(primary)].primary) primary = int(names.size());
        names.push_back(monitor.name);
    }
    return battleOutputIndex(names, wanted, primary);
}

Cursor blankCursor(Display* display, Window window) {
    static const char nothing[1] = {0};
    const Pixmap pixmap = XCreateBitmapFromData(display, window, nothing, 1, 1);
    XColor black = {};
    const Cursor cursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
    XFreePixmap(display, pixmap);
    return cursor;
}

bool grabSaverInput(Display* display, Window window, Cursor cursor) {
    // The key or click that woke the idle tool may still hold a grab for a
    // moment: try for a second, then go on with the windows' own events.
    bool keyboard = false, pointer = false;
    for (int attempt = 0; attempt < 20 && !(keyboard && pointer); ++attempt) {
        if (attempt) usleep(50000);
        if (!keyboard)
            keyboard = XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync,
                                     CurrentTime) == GrabSuccess;
        if (!pointer)
            pointer =
                XGrabPointer(display, window, False,
                             PointerMotionMask | ButtonPressMask | ButtonReleaseMask, GrabModeAsync,
                             GrabModeAsync, None, cursor, CurrentTime) == GrabSuccess;
    }
    if (!keyboard) XSetInputFocus(display, window, RevertToParent, CurrentTime);
    return keyboard && pointer;
}

bool saverEndsOn(const XEvent& event, PointerAnchor& anchor) {
    switch (event.type) {
    case KeyPress:
    case ButtonPress:
        return true;
    case MotionNotify:
        return pointerMovedFar(anchor, event.xmotion.x_root, event.xmotion.y_root);
    default:
        return false;
    }
}
