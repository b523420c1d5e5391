// The display modes of the primary display, through one shared DEVMODEA record.
#include "shell/display_mode.h"

#include "shell/display.h"

#include <windows.h>

namespace {
DEVMODEA Mode;

bool loadMode(int32_t index, DisplayModeFields& fields) {
    Mode.dmSize = sizeof(Mode);
    Mode.dmDriverExtra = 0;
    const DWORD which =
        index == CurrentDisplayMode ? ENUM_CURRENT_SETTINGS : static_cast<DWORD>(index);
    if (!EnumDisplaySettingsA(nullptr, which, &Mode)) return false;
    fields.bitsPerPixel = Mode.dmBitsPerPel;
    fields.width = Mode.dmPelsWidth;
    fields.height = Mode.dmPelsHeight;
    fields.fields = Mode.dmFields;
    return true;
}

bool changeMode(const DisplayModeFields& fields) {
    Mode.dmBitsPerPel = fields.bitsPerPixel;
    Mode.dmPelsWidth = fields.width;
    Mode.dmPelsHeight = fields.height;
    Mode.dmFields = fields.fields;
    return ChangeDisplaySettingsA(&Mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

void restoreMode() {
    ChangeDisplaySettingsA(nullptr, 0);
}

void postQuit() {
    PostQuitMessage(0);
}

static_assert(ModeBitsPerPixel == DM_BITSPERPEL && ModeWidth == DM_PELSWIDTH &&
              ModeHeight == DM_PELSHEIGHT);

const DisplayModeSystem Win32DisplayModes = {loadMode, changeMode, restoreMode, postQuit};
} // namespace

int32_t SwitchDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel) {
    return enterSaverDisplayMode(Win32DisplayModes, ResolutionIndex, width, height, bitsPerPixel);
}

void RestoreDisplayMode() {
    leaveSaverDisplayMode(Win32DisplayModes, ResolutionIndex);
}
