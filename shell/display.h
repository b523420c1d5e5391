// The display globals and the program's directory, fixed at start-up.
#pragma once
#include <cstdint>
#include <string>

extern int32_t ScreenWidth;
extern int32_t ScreenHeight;
extern int32_t ResolutionIndex;

// The primary display's current size, which the "Desktop" resolution uses as
// it is; set by the platform before the settings are read, 0 when unknown.
extern int32_t DesktopWidth;
extern int32_t DesktopHeight;

// The program file's directory, upper-cased, ending in a backslash.
extern std::string ProgramDirectory;

// A new window size: ScreenWidth and ScreenHeight, the viewport and the
// perspective, which keeps the 4:3 view's height and widens or narrows with
// the window. The background's flat projection follows on the next frame.
// Sizes below 1 count as 1.
void reshapeScene(int32_t width, int32_t height);
