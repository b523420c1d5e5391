// Switching the display to the saver's resolution before its window opens.
// Which mode to try next is decided here; the Windows glue enumerates and
// changes the modes of the primary display through one shared mode record.
#pragma once
#include <cstdint>

// Which fields of the mode record a change applies (DM_BITSPERPEL, DM_PELSWIDTH,
// DM_PELSHEIGHT).
constexpr uint32_t ModeBitsPerPixel = 0x00040000;
constexpr uint32_t ModeWidth = 0x00080000;
constexpr uint32_t ModeHeight = 0x00100000;

// The parts of the shared mode record the decision reads and writes.
struct DisplayModeFields {
    uint32_t bitsPerPixel = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t fields = 0; // as enumerated until a step sets its own mask
};

// Index that loads the display's current mode (ENUM_CURRENT_SETTINGS).
constexpr int32_t CurrentDisplayMode = -1;

struct DisplayModeSystem {
    // Loads mode `index` of the primary display into the shared record and
    // reports its fields; false past the last mode.
    bool (*load)(int32_t index, DisplayModeFields& mode);
    // Writes `mode` into the shared record and asks for it as a temporary
    // full-screen mode; true when the display now runs in it.
    bool (*change)(const DisplayModeFields& mode);
    void (*restore)();  // back to the registry's mode
    void (*postQuit)(); // the quit message, exit value 0
};

// 1 when the display now runs at width x height (at `bitsPerPixel`, or at the
// display's current depth when no mode of that depth can be set); otherwise the
// user has been told, the quit message is posted and the result is 0.
int32_t switchDisplayModeWith(const DisplayModeSystem& system, int32_t width, int32_t height,
                              int32_t bitsPerPixel);

// The saver's display for ResolutionIndex `index`: "Desktop" keeps the mode the
// display runs in and changes nothing; any other switches as above.
int32_t enterSaverDisplayMode(const DisplayModeSystem& system, int32_t index, int32_t width,
                              int32_t height, int32_t bitsPerPixel);
// The registry's mode again, unless the saver kept the desktop's own.
void leaveSaverDisplayMode(const DisplayModeSystem& system, int32_t index);

// Windows only: the two above for ResolutionIndex, over EnumDisplaySettingsA and
// ChangeDisplaySettingsA.
int32_t SwitchDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel);
void RestoreDisplayMode();
