// The Linux program's command line and the choice of its data folder: what it
// decides without the X server, so that it can be tested natively.
#pragma once
#include "shell/fleet_list.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class WindowTarget {
    NewWindow, // a top-level window of our own
    Root,      // the root window, or XSCREENSAVER_WINDOW when that is set
    WindowId   // the window named by -window-id
};

// What the program is run as.
enum class RunMode {
    Window,   // a window of our own (or the hack window of -root / -window-id)
    Saver,    // --saver: every monitor covered until any input
    Wallpaper // --wallpaper: behind the desktop, on every monitor or those named
};

// The most frames a second --fps takes.
constexpr int MaxFpsCap = 1000;

struct ProgramOptions {
    WindowTarget target = WindowTarget::NewWindow;
    RunMode mode = RunMode::Window;
    bool forceX11 = false;            // --x11: never Wayland
    std::vector<std::string> outputs; // --output NAME, in the order given
    int fpsCap = 0;                   // --fps N; 0: no cap
    unsigned long windowId = 0;       // with WindowTarget::WindowId
    bool fullscreen = false;
    bool help = false;
    bool version = false;
    bool allianceGiven[2] = {false, false};
    std::vector<FleetRequest> alliances[2];
    std::string dataFolder; // empty: search for it
};

// Either the options or, when `error` is not empty, the one line that says
// what is wrong with them.
struct ParsedOptions {
    ProgramOptions options;
    std::string error;
};

// The arguments after the program's name. Every option may start with one dash
// or two, and a value may follow "=" or come as the next argument.
ParsedOptions parseProgramOptions(const std::vector<std::string>& arguments);

// Whether to try Wayland before X11: WAYLAND_DISPLAY (null: not set) names a
// compositor, --x11 is not given, and the target is not an X11 hack window.
// The caller still falls back to X11 when the compositor cannot be reached.
bool waylandFirst(const ProgramOptions& options, const char* waylandDisplay);

// A window id in decimal or with "0x" in hex; false for anything else or 0.
bool parseWindowId(std::string_view text, unsigned long& id);

// What the data-folder search may ask of the file system.
struct FolderProbe {
    std::function<bool(const std::string&)> isDirectory;
    std::function<bool(const std::string&)> isFile;
};

// The data folder (ending in "/") or, when `error` is set, why there is none.
struct DataFolderChoice {
    std::string folder;
    std::string error;
};

// --data DIR when given (it must hold "Explosion.as"); otherwise the first of
// $KESTRION_DATA (null or empty: not set), ../share/kestrion beside the
// executable, and the executable's own folder, that holds "Explosion.as".
DataFolderChoice chooseDataFolder(const std::string& dataOption, const char* environment,
                                  const std::string& executablePath, const FolderProbe& probe);

// The --help text.
std::string usageText();
