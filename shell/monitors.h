// Where the saver's window and its battle go when the desktop spans several
// monitors: one window over them all, the battle on the primary monitor.
#pragma once
#include <cstdint>
#include <vector>

// A rectangle in virtual-screen coordinates (the primary's top-left is 0, 0).
struct ScreenRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct Monitor {
    ScreenRect area;
    bool primary = false;
};

struct SaverLayout {
    ScreenRect window;        // covers every monitor
    ScreenRect viewport;      // the battle, in the window's GL coordinates (from its bottom-left)
    bool blackBorder = false; // the window reaches beyond the battle, which must be kept black
};

// The monitors as the system lists them once the display mode is set, and the
// battle's size (ScreenWidth x ScreenHeight). The battle sits at the primary
// monitor's top-left; without a listed primary, at 0, 0. Empty or zero-sized
// monitors are skipped, so with none the window is just the battle.
SaverLayout layOutSaver(const std::vector<Monitor>& monitors, int32_t battleWidth,
                        int32_t battleHeight);
