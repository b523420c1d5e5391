#include "shell/settings.h"

#include "shell/display.h"

void ReadResolution() {
    bool keyOpened = false;
    const ResolutionRow* row = readResolutionRow(&keyOpened);
    if (!keyOpened) {
        ScreenWidth = 800;
        ScreenHeight = 600;
        ResolutionIndex = 2;
        return;
    }
    if (!row) return;
    if (row->index != DesktopResolutionIndex) {
        ScreenWidth = row->width;
        ScreenHeight = row->height;
        ResolutionIndex = row->index;
    } else if (DesktopWidth > 0 && DesktopHeight > 0) {
        ScreenWidth = DesktopWidth;
        ScreenHeight = DesktopHeight;
        ResolutionIndex = row->index;
    }
}
