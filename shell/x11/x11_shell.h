// What the Linux program's files share: F12 screenshots, the process's age
// and the pace of its frames.
#pragma once
#include "shell/pacer.h"
#include "shell/saver_rules.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

// F12: the current read buffer into the first free "KestrionScreen%0.2d.bmp"
// of the current directory. Skipped quietly when it cannot be written.
void writeScreenshotFile();

// Milliseconds since the process started, from its start time in /proc.
long long msSinceProcessStart();

// With the context current on `window`: asks for a swap interval of 1 and
// gives the pacer of the display's refresh rate (unpaced for the bench).
FramePacer startX11Pace(Display* display, Window window);

// Waits up to `ms` for the display's connection to have something to read (or
// a signal). False at once when `ms` is 0.
bool waitForEvents(Display* display, uint32_t ms);

// A monitor of the X screen, in root-window coordinates.
struct X11Monitor {
    std::string name; // RandR's name of it (as DP-1); empty for the whole screen
    int x = 0, y = 0, width = 0, height = 0;
    bool primary = false;
};

// The screen's monitors as RandR lists them; the whole screen as one where it
// lists none (no RandR, or no libXrandr).
std::vector<X11Monitor> x11Monitors(Display* display, int screen);

// The monitor that shows the saver's battle: --output's (`wanted`), else the
// primary, else the first.
int saverBattleMonitor(const std::vector<X11Monitor>& monitors, const std::string& wanted);

// An invisible pointer for the saver's windows.
Cursor blankCursor(Display* display, Window window);

// Keyboard and pointer to the saver's `window`, wherever they are; false when
// another client keeps either (the windows' own events still end the saver).
bool grabSaverInput(Display* display, Window window, Cursor cursor);

// Whether the saver ends on `event`: any key or button, or the pointer moved
// beyond the slack from where it was first seen.
bool saverEndsOn(const XEvent& event, PointerAnchor& anchor);
