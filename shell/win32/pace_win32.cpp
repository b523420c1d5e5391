// The saver's pace on Windows: a swap interval of 1 where the driver offers
// it, frames held back to the display's refresh rate where the swap does not
// wait, and nothing drawn while the display is off or dimmed.
#include "gl/context.h"
#include "gl/swap_interval.h"
#include "platform/clock.h"
#include "shell/bench_hooks.h"
#include "shell/display_power.h"
#include "shell/pacer.h"
#include "shell/win32/saver_win32.h"

#include <cstring>

namespace {
FramePacer Pacer;
DisplayPower Display = DisplayPower::On;
HPOWERNOTIFY PowerNotification = nullptr;
bool FineTimer = false; // waits to the millisecond (timeBeginPeriod) while pacing

// The current mode's rate; 0 and 1 stand for the hardware's default.
int currentRefreshHz() {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 0;
    return static_cast<int>(mode.dmDisplayFrequency);
}
} // namespace

void startSaverPace(HWND window) {
    Display = DisplayPower::On;
    const bool paced = !benchUnpaced();
    if (paced) askWglSwapInterval(WindowDC);
    Pacer = makeFramePacer(currentRefreshHz(), paced);
    GUID displayState;
    std::memcpy(&displayState, ConsoleDisplayStateGuid, sizeof displayState);
    // Windows answers at once with the display's present state.
    PowerNotification =
        RegisterPowerSettingNotification(window, &displayState, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void endSaverPace() {
    if (PowerNotification) UnregisterPowerSettingNotification(PowerNotification);
    PowerNotification = nullptr;
    if (FineTimer) timeEndPeriod(1);
    FineTimer = false;
    releaseClock();
}

bool waitBeforeFrame() {
    if (Display != DisplayPower::On) {
        // Nobody sees a frame: none is drawn, and the battle's clock stands still
        // so that the ships go on from where they were when the display is back.
        holdClock();
        WaitMessage();
        return true;
    }
    releaseClock();
    const uint32_t wait = pacerWaitMs(Pacer, clockNow());
    if (wait == 0) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    return true;
}

void saverFrameDone() {
    pacerFrameDone(Pacer, clockNow());
    if (Pacer.waiting && !FineTimer) FineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
}

void noteDisplayPower(WPARAM wParam, LPARAM lParam) {
    if (wParam != PBT_POWERSETTINGCHANGE || !lParam) return;
    DisplayPower state;
    if (decodeDisplayPower(reinterpret_cast<const unsigned char*>(lParam), state)) Display = state;
}
