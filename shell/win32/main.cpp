// The program's entry: window class, run mode, settings, then a dialog or the
// saver run with its main loop and shutdown.
#include "battle/fleet.h"
#include "data/scene.h"
#include "gl/binding.h"
#include "gl/gl_table.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "shell/bench_hooks.h"
#include "shell/command_line.h"
#include "shell/display.h"
#include "shell/display_mode.h"
#include "shell/frame.h"
#include "shell/monitors.h"
#include "shell/settings.h"
#include "shell/win32/saver_win32.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

HINSTANCE ProgramInstance = nullptr;
SaverLayout Layout;

namespace {
uint64_t fileTimeMs(const FILETIME& time) {
    return ((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) / 10000;
}

// Milliseconds since the process was created, for the benchmark hooks.
long long msSinceProcessStart() {
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    GetSystemTimeAsFileTime(&now);
    return static_cast<long long>(fileTimeMs(now) - fileTimeMs(created));
}

bool registerWindowClass(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = SaverWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "Kestrion");
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = "Kestrion";
    windowClass.lpszClassName = "Kestrion";
    return RegisterClassA(&windowClass) != 0;
}

bool registerPreviewClass(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = PreviewWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = "KestrionPreview";
    return RegisterClassA(&windowClass) != 0;
}

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info)) {
        const RECT& r = info.rcMonitor;
        reinterpret_cast<std::vector<Monitor>*>(list)->push_back(
            {{r.left, r.top, r.right - r.left, r.bottom - r.top},
             (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    }
    return TRUE;
}

// Every monitor as the display now runs, after any mode change of the primary.
std::vector<Monitor> listMonitors() {
    std::vector<Monitor> monitors;
    EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

// The program file's own path, however long.
std::string modulePath() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        // A full buffer means the path may have been cut; try again with more room.
        if (length < path.size() || path.size() >= 1u << 17)
            return std::string(path.data(), length);
        path.resize(path.size() * 2);
    }
}

// Drains the queue, runs a frame whenever it is empty and the pace allows,
// and shuts down on quit.
void runMainLoop(HWND window) {
    startSaverPace(window);
    MSG message;
    for (;;) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
                endSaverPace();
                RestoreDisplayMode();
                DestroyWindow(window);
                UnloadGLBindings();
                return;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (waitBeforeFrame()) continue;
        // The other monitors' part of the window stays black under the swaps.
        if (Layout.blackBorder) glClear(GL_COLOR_BUFFER_BIT);
        benchFrameStarting();
        RunFrame();
        saverFrameDone();
        if (!benchFrameDone()) PostQuitMessage(0);
        if (benchScreenshotDue()) writeScreenshot();
    }
}

// The preview: the battle in a child of `parent` at its client size, about 30
// frames a second, until the parent goes away. The display, the cursor and
// the settings stay as they are; every way out ends with exit code 0.
int runPreview(HWND parent) {
    RECT client = {};
    if (!parent || !IsWindow(parent) || !GetClientRect(parent, &client)) return 0;
    if (!registerPreviewClass(ProgramInstance)) return 0;
    ScreenWidth = client.right > 0 ? client.right : 1;
    ScreenHeight = client.bottom > 0 ? client.bottom : 1;
    ResolutionIndex = DesktopResolutionIndex; // nothing to switch, nothing to restore
    Layout = layOutSaver({}, ScreenWidth, ScreenHeight);

    char libraryName[GLLibraryNameSize] = {};
    ChooseGLLibrary(libraryName);
    if (LoadGLBindings(libraryName) != 0) return 0;
    HWND window =
        CreateWindowExA(0, "KestrionPreview", "Kestrion", WS_CHILD | WS_VISIBLE, 0, 0, ScreenWidth,
                        ScreenHeight, parent, nullptr, ProgramInstance, nullptr);
    if (!window) {
        UnloadGLBindings();
        return 0;
    }

    MSG message;
    uint32_t lastFrame = clockNow() - PreviewFrameMs;
    bool running = true;
    while (running) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) running = false;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        // A parent of another process may go without our child hearing of it first.
        if (!running || !IsWindow(parent) || !IsWindow(window)) break;
        const uint32_t wait = previewWaitMs(lastFrame, clockNow());
        if (wait > 0) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
            continue;
        }
        lastFrame = clockNow();
        benchFrameStarting();
        RunFrame();
        if (!benchFrameDone()) break;
        if (benchScreenshotDue()) writeScreenshot();
    }
    if (IsWindow(window)) DestroyWindow(window);
    UnloadGLBindings();
    writeBenchLog();
    return 0;
}

int runSaver(int showCommand) {
    if (!SwitchDisplayMode(ScreenWidth, ScreenHeight, 16)) return 0;

    char libraryName[GLLibraryNameSize] = {};
    ChooseGLLibrary(libraryName);
    if (LoadGLBindings(libraryName) != 0) {
        MessageBoxA(nullptr, "Unable to load opengl dll", "OpenGLInit Error", MB_ICONERROR);
        return 0;
    }

    // One window over every monitor; the battle on the primary, the rest black.
    Layout = layOutSaver(listMonitors(), ScreenWidth, ScreenHeight);
    HWND window = CreateWindowExA(0, "Kestrion", "Kestrion", WS_POPUP | WS_CLIPSIBLINGS,
                                  Layout.window.x, Layout.window.y, Layout.window.width,
                                  Layout.window.height, nullptr, nullptr, ProgramInstance, nullptr);
    if (!window) {
        MessageBoxA(nullptr, "Unable to create window", "CreateWindow Error", MB_ICONERROR);
        return 0;
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    runMainLoop(window);
    writeBenchLog();
    return 1;
}
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    if (!registerWindowClass(instance)) return 0;
    seedRandom(static_cast<uint32_t>(std::time(nullptr)));
    ProgramInstance = instance;
    const RunMode mode = parseRunMode(GetCommandLineA());
    ProgramDirectory = programDirectoryFromModulePath(modulePath());
    ActiveSettings = &RegistrySettings;
    BuildFleets = buildFleetsFromSettings;
    DesktopWidth = GetSystemMetrics(SM_CXSCREEN);
    DesktopHeight = GetSystemMetrics(SM_CYSCREEN);
    OpenSettings();
    ReadResolution();
    readBenchHooks(msSinceProcessStart);

    switch (mode) {
    case RunMode::Config:
        DialogBoxParamA(instance, "CONFIGDIALOG", nullptr, ConfigDialogProc, 0);
        return 0;
    case RunMode::Password:
        DialogBoxParamA(instance, "PASSWORDDIALOG", nullptr, PasswordDialogProc, 0);
        return 0;
    case RunMode::Preview:
        return runPreview(reinterpret_cast<HWND>(static_cast<uintptr_t>(
            previewParentFromArguments(argumentsAfterProgramPath(GetCommandLineA())))));
    case RunMode::Saver:
        break;
    }
    return runSaver(showCommand);
}
