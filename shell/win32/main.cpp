// The program's entry: window class, run mode, settings, then a dialog or the
// saver run with its main loop and shutdown.
#include "gl/binding.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "shell/command_line.h"
#include "shell/display.h"
#include "shell/display_mode.h"
#include "shell/frame.h"
#include "shell/settings.h"
#include "shell/win32/saver_win32.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

HINSTANCE ProgramInstance = nullptr;

namespace {
// Benchmark hooks, set only by the benchmark scripts: KESTRION_BENCH_FRAMES=N
// ends the run after N frames as a key press would; KESTRION_BENCH_LOG=FILE
// receives the frame count, the elapsed time and the time to the first frame.
struct BenchHooks {
    long frameLimit = 0;
    const char* logFile = nullptr;
    long frames = 0;
    uint32_t firstFrameAt = 0;
    uint32_t lastFrameDoneAt = 0;
    uint64_t processStartToFirstFrameMs = 0;
} Bench;

uint64_t fileTimeMs(const FILETIME& time) {
    return ((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) / 10000;
}

// Milliseconds since the process was created.
uint64_t msSinceProcessStart() {
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    GetSystemTimeAsFileTime(&now);
    return fileTimeMs(now) - fileTimeMs(created);
}

void readBenchHooks() {
    if (const char* frames = std::getenv("KESTRION_BENCH_FRAMES")) {
        Bench.frameLimit = std::strtol(frames, nullptr, 10);
    }
    Bench.logFile = std::getenv("KESTRION_BENCH_LOG");
}

void frameStarting() {
    if (Bench.frames == 0) {
        Bench.firstFrameAt = clockNow();
        Bench.processStartToFirstFrameMs = msSinceProcessStart();
    }
}

void frameDone() {
    ++Bench.frames;
    Bench.lastFrameDoneAt = clockNow();
    if (Bench.frameLimit > 0 && Bench.frames == Bench.frameLimit) PostQuitMessage(0);
}

void writeBenchLog() {
    if (!Bench.logFile || !*Bench.logFile) return;
    std::FILE* log = std::fopen(Bench.logFile, "w");
    if (!log) return;
    const uint32_t elapsed = Bench.lastFrameDoneAt - Bench.firstFrameAt;
    std::fprintf(log, "frames=%ld\nelapsed_ms=%lu\nfirst_frame_ms=%llu\n", Bench.frames,
                 static_cast<unsigned long>(elapsed),
                 static_cast<unsigned long long>(Bench.processStartToFirstFrameMs));
    std::fclose(log);
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

// Drains the queue, runs a frame whenever it is empty, and shuts down on quit.
void runMainLoop(HWND window) {
    MSG message;
    for (;;) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
                RestoreDisplayMode();
                DestroyWindow(window);
                UnloadGLBindings();
                return;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        frameStarting();
        RunFrame();
        frameDone();
    }
}

int runSaver(int showCommand) {
    if (!SwitchDisplayMode(ScreenWidth, ScreenHeight, 16)) return 0;

    char libraryName[GLLibraryNameSize] = {};
    ChooseGLLibrary(libraryName);
    if (LoadGLBindings(libraryName) != 0) {
        MessageBoxA(nullptr, "Unable to load opengl dll", "OpenGLInit Error", MB_ICONERROR);
        return 0;
    }

    HWND window =
        CreateWindowExA(0, "Kestrion", "Kestrion", WS_POPUP | WS_CLIPSIBLINGS, 0, 0, ScreenWidth,
                        ScreenHeight, nullptr, nullptr, ProgramInstance, nullptr);
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
    DesktopWidth = GetSystemMetrics(SM_CXSCREEN);
    DesktopHeight = GetSystemMetrics(SM_CYSCREEN);
    OpenSettings();
    ReadResolution();
    readBenchHooks();

    switch (mode) {
    case RunMode::Config:
        DialogBoxParamA(instance, "CONFIGDIALOG", nullptr, ConfigDialogProc, 0);
        return 0;
    case RunMode::Password:
        DialogBoxParamA(instance, "PASSWORDDIALOG", nullptr, PasswordDialogProc, 0);
        return 0;
    case RunMode::Preview:
        return 0;
    case RunMode::Saver:
        break;
    }
    return runSaver(showCommand);
}
