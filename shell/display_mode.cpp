#include "shell/display_mode.h"

#include "shell/display.h"
#include "shell/messages.h"
#include "shell/settings.h"

#include <cstdio>

namespace {
bool sameMode(const DisplayModeFields& mode, uint32_t bitsPerPixel, uint32_t width,
              uint32_t height) {
    return mode.bitsPerPixel == bitsPerPixel && mode.width == width && mode.height == height;
}

// Tries every listed mode of exactly this depth and size, in enumeration order.
// `firstMatch` gets the index of the first one that was tried (0 when none).
bool tryListedModes(const DisplayModeSystem& system, uint32_t bitsPerPixel, uint32_t width,
                    uint32_t height, int32_t& firstMatch) {
    DisplayModeFields mode;
    for (int32_t i = 0; system.load(i, mode); ++i) {
        if (!sameMode(mode, bitsPerPixel, width, height)) continue;
        if (system.change(mode)) return true;
        if (firstMatch == 0) firstMatch = i;
    }
    return false;
}

// Displays of today list no 16-bit modes at all: the size at the depth the
// display runs at now is the saver's last chance.
bool tryCurrentDepth(const DisplayModeSystem& system, uint32_t requestedBits, uint32_t width,
                     uint32_t height) {
    DisplayModeFields mode;
    if (!system.load(CurrentDisplayMode, mode)) return false;
    const uint32_t depth = mode.bitsPerPixel;
    if (depth == requestedBits) return false; // the steps before tried exactly this
    int32_t unused = 0;
    if (tryListedModes(system, depth, width, height, unused)) return true;
    if (!system.load(CurrentDisplayMode, mode)) return false;
    mode.width = width;
    mode.height = height;
    mode.fields = ModeWidth | ModeHeight;
    return system.change(mode);
}
} // namespace

int32_t switchDisplayModeWith(const DisplayModeSystem& system, int32_t width, int32_t height,
                              int32_t bitsPerPixel) {
    const auto w = static_cast<uint32_t>(width);
    const auto h = static_cast<uint32_t>(height);
    const auto bits = static_cast<uint32_t>(bitsPerPixel);

    int32_t firstMatch = 0; // 0 also stands for "none yet"
    if (tryListedModes(system, bits, w, h, firstMatch)) return 1;

    DisplayModeFields mode;
    system.load(firstMatch, mode);
    mode.bitsPerPixel = bits;
    mode.width = w;
    mode.height = h;

    mode.fields = ModeBitsPerPixel | ModeWidth | ModeHeight;
    if (system.change(mode)) return 1;

    mode.fields = ModeBitsPerPixel;
    if (system.change(mode)) {
        mode.fields = ModeWidth | ModeHeight;
        if (system.change(mode)) return 1;
        // Do not leave the desktop at a changed depth.
        system.restore();
    }

    if (tryCurrentDepth(system, bits, w, h)) return 1;

    char text[64];
    std::snprintf(text, sizeof text, "Your 3d Card does not support %dx%d", ScreenWidth,
                  ScreenHeight);
    ShowMessage(MessageOwner::None, text, "Error", MessageOk);
    system.postQuit();
    return 0;
}

int32_t enterSaverDisplayMode(const DisplayModeSystem& system, int32_t index, int32_t width,
                              int32_t height, int32_t bitsPerPixel) {
    if (index == DesktopResolutionIndex) return 1;
    return switchDisplayModeWith(system, width, height, bitsPerPixel);
}

void leaveSaverDisplayMode(const DisplayModeSystem& system, int32_t index) {
    if (index != DesktopResolutionIndex) system.restore();
}
