// The saver window's procedure: rendering set-up on creation, and the rules
// that end the run (key, click, mouse movement, close request).
#include "data/scene.h"
#include "gl/context.h"
#include "shell/display.h"
#include "shell/display_mode.h"
#include "shell/input.h"
#include "shell/run_start.h"
#include "shell/settings.h"
#include "shell/win32/saver_win32.h"

#include <cstdlib>

namespace {
MovementCheck Movement;

CursorPoint cursorPosition() {
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
}

void checkMovement() {
    if (cursorMovedTooFar(Movement, cursorPosition())) PostQuitMessage(0);
}

// Moves the cursor one pixel so the system sees the press as activity, then quits.
void nudgeCursorAndQuit() {
    const CursorPoint before = cursorPosition();
    const CursorPoint target = nudgeTarget(before);
    SetCursorPos(target.x, target.y);
    if (nudgeNeedsFallback(before, cursorPosition())) {
        const CursorPoint back = nudgeFallback(before);
        SetCursorPos(back.x, back.y);
    }
    PostQuitMessage(0);
}

// The battle into its part of the window: the primary monitor's. "Desktop"
// (and the preview) keep the window's aspect; the fixed resolutions the 4:3 view.
void placeBattle() {
    if (!RenderContext) return; // the set-up failed and has posted the quit message
    placeScene(Layout.viewport.x, Layout.viewport.y, ScreenWidth, ScreenHeight,
               ResolutionIndex == DesktopResolutionIndex ? SceneShape::WindowAspect
                                                         : SceneShape::FourByThree);
}
} // namespace

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        ShowCursor(FALSE);
        startRun(window,
                 windowContextCalls(RestoreDisplayMode, std::getenv("KESTRION_BENCH_SAMPLES")));
        placeBattle();
        return 1;
    case WM_DESTROY:
    case WM_CLOSE:
        PostQuitMessage(0);
        return 1;
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
        if (wParam == 0) checkMovement();
        return 1;
    case WM_NCACTIVATE:
        return wParam == 0 ? 0 : 1;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return 1;
    case WM_SYSCOMMAND: {
        // Never passed on: no other saver starts, and the window cannot be closed,
        // moved or minimised this way. The low four bits belong to the system.
        const WPARAM command = wParam & 0xFFF0;
        return command == SC_SCREENSAVE || command == SC_CLOSE ? 0 : 1;
    }
    case WM_KEYDOWN:
        if (wParam == VK_F12)
            writeScreenshot();
        else
            PostQuitMessage(0);
        return 0;
    case WM_MOUSEMOVE:
        checkMovement();
        return 1;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        nudgeCursorAndQuit();
        return 1;
    case WM_POWERBROADCAST:
        noteDisplayPower(wParam, lParam); // every power request is granted
        return 1;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK PreviewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        startRun(window,
                 windowContextCalls(RestoreDisplayMode, std::getenv("KESTRION_BENCH_SAMPLES")));
        placeBattle();
        return 0;
    case WM_DESTROY:
        // The parent went away and took its child along: the preview is over.
        PostQuitMessage(0);
        return 0;
    case WM_ERASEBKGND:
        return 1; // every frame covers the whole window
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
