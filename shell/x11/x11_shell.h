// What the Linux program's files share: F12 screenshots, the process's age
// and the pace of its frames.
#pragma once
#include "shell/pacer.h"

#include <X11/Xlib.h>

#include <cstdint>

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
