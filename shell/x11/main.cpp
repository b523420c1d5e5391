// kestrion: the battle as a native X11 program. Options and the data folder
// are decided first (shell/linux_options), then the target window, the GLX
// context and the scene, then frames until a key, the close button or a
// signal ends the run.
#include "battle/fleet.h"
#include "data/catalogue.h"
#include "data/scene.h"
#include "gl/binding.h"
#include "gl/glx/glx_context.h"
#include "gl/multisample.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "render/smoke.h"
#include "shell/bench_hooks.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/linux_options.h"
#include "shell/run_start.h"
#include "shell/x11/x11_shell.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
volatile std::sig_atomic_t StopRequested = 0;

void requestStop(int) {
    StopRequested = 1;
}

void catchStopSignals() {
    struct sigaction action = {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

int complain(const std::string& text, int exitCode) {
    std::fprintf(stderr, "kestrion: %s\n", text.c_str());
    return exitCode;
}

std::string executablePath() {
    std::vector<char> path(PATH_MAX + 1);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    return length > 0 ? std::string(path.data(), size_t(length)) : std::string();
}

bool isDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The fleet lists the scene set-up builds from, made from the options.
std::vector<std::string> FleetEntries[2];

bool buildFleetsFromOptions(const std::string& directory) {
    return assembleFleetFromEntries(FleetEntries[0], 1, directory) &&
           assembleFleetFromEntries(FleetEntries[1], 2, directory);
}

// X errors are recorded, never fatal: a window id that names no window, or a
// hack window the daemon destroyed while a frame was on its way to it.
bool XErrorSeen = false;
XID XErrorResource = 0;
int recordXError(Display*, XErrorEvent* error) {
    XErrorSeen = true;
    XErrorResource = error->resourceid;
    return 0;
}

struct Run {
    ProgramOptions options;
    Display* display = nullptr;
    GlxTarget target;
    Window ownWindow = 0; // the window we created, if any
    Colormap colormap = 0;
    Atom deleteWindow = 0;
    // --saver: the black windows over the other monitors, the hidden pointer,
    // and where the pointer was when the saver started.
    std::vector<Window> blackWindows;
    Cursor cursor = 0;
    PointerAnchor anchor;
    FrameCap cap;
};

bool saverMode(const Run& run) {
    return run.options.mode == RunMode::Saver;
}

// --saver: a black override-redirect window over every monitor but the
// battle's, whose place and size `battle` gets.
void coverOtherMonitors(Run& run, X11Monitor& battle) {
    Display* display = run.display;
    const int screen = DefaultScreen(display);
    const std::vector<X11Monitor> monitors = x11Monitors(display, screen);
    const int shown =
        saverBattleMonitor(monitors, run.options.outputs.empty() ? "" : run.options.outputs[0]);
    for (size_t i = 0; i < monitors.size(); ++i) {
        if (int(i) == shown) {
            battle = monitors[i];
            continue;
        }
        XSetWindowAttributes attributes = {};
        attributes.background_pixel = BlackPixel(display, screen);
        attributes.override_redirect = True;
        attributes.event_mask = KeyPressMask | ButtonPressMask | PointerMotionMask;
        run.blackWindows.push_back(
            XCreateWindow(display, RootWindow(display, screen), monitors[i].x, monitors[i].y,
                          unsigned(monitors[i].width), unsigned(monitors[i].height), 0,
                          CopyFromParent, InputOutput, CopyFromParent,
                          CWBackPixel | CWOverrideRedirect | CWEventMask, &attributes));
    }
}

// --saver, once the battle's window is ready: everything shown above every
// other window, the pointer hidden, input grabbed.
void showSaver(Run& run) {
    Display* display = run.display;
    run.cursor = blankCursor(display, run.ownWindow);
    XDefineCursor(display, run.ownWindow, run.cursor);
    XMapRaised(display, run.ownWindow);
    for (Window window : run.blackWindows) {
        XDefineCursor(display, window, run.cursor);
        XMapRaised(display, window);
    }
    XSync(display, False);
    grabSaverInput(display, run.ownWindow, run.cursor);
    Window root, child;
    int rootX, rootY, x, y;
    unsigned int buttons;
    if (XQueryPointer(display, run.ownWindow, &root, &child, &rootX, &rootY, &x, &y, &buttons))
        pointerMovedFar(run.anchor, rootX, rootY);
}

// The window the hack modes draw into: -window-id, or the root window unless
// xscreensaver names one in XSCREENSAVER_WINDOW.
bool findHackWindow(Run& run, Window& window, std::string& error) {
    unsigned long id = run.options.windowId;
    if (run.options.target == WindowTarget::Root) {
        const char* named = std::getenv("XSCREENSAVER_WINDOW");
        if (named && *named) {
            if (!parseWindowId(named, id)) {
                error = std::string("XSCREENSAVER_WINDOW=") + named + " is not a window id";
                return false;
            }
        } else {
            id = RootWindow(run.display, DefaultScreen(run.display));
        }
    }
    window = id;
    XWindowAttributes attributes;
    XErrorSeen = false;
    const Status found = XGetWindowAttributes(run.display, window, &attributes);
    XSync(run.display, False);
    if (!found || XErrorSeen) {
        char text[64];
        std::snprintf(text, sizeof text, "there is no window 0x%lx on the display", id);
        error = text;
        return false;
    }
    return true;
}

// Opens the target window and chooses its visual; sets the display size.
bool openTarget(Run& run, std::string& error) {
    Display* display = run.display;
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    run.target.display = display;

    Window hackWindow = 0;
    if (run.options.target != WindowTarget::NewWindow) {
        if (!findHackWindow(run, hackWindow, error)) return false;
        run.target.visual = glxVisualOfWindow(display, hackWindow);
        if (run.target.visual) {
            run.target.window = hackWindow;
            XSelectInput(display, hackWindow, StructureNotifyMask | ExposureMask);
            XWindowAttributes attributes;
            XGetWindowAttributes(display, hackWindow, &attributes);
            ScreenWidth = attributes.width;
            ScreenHeight = attributes.height;
            return true;
        }
    }

    // A window of our own: top-level, or a child that covers a hack window
    // whose own visual GL cannot draw into.
    const char* samples = std::getenv("KESTRION_BENCH_SAMPLES");
    const std::string renderer = samples && *samples ? "" : glxRendererName(display, screen);
    run.target.visual =
        chooseGlxVisual(display, screen, samplesToAskFor(samples, renderer.c_str()));
    if (!run.target.visual) {
        error = "the X server offers no double-buffered OpenGL visual";
        return false;
    }
    Window parent = root;
    int left = 0, top = 0, width = 800, height = 600;
    if (saverMode(run)) {
        X11Monitor battle;
        coverOtherMonitors(run, battle);
        left = battle.x;
        top = battle.y;
        width = battle.width;
        height = battle.height;
    } else if (hackWindow) {
        parent = hackWindow;
        XWindowAttributes attributes;
        XGetWindowAttributes(display, hackWindow, &attributes);
        width = attributes.width;
        height = attributes.height;
        XSelectInput(display, hackWindow, StructureNotifyMask);
    } else if (run.options.fullscreen) {
        width = DisplayWidth(display, screen);
        height = DisplayHeight(display, screen);
    }
    run.colormap = XCreateColormap(display, root, run.target.visual->visual, AllocNone);
    XSetWindowAttributes attributes = {};
    attributes.colormap = run.colormap;
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.border_pixel = 0;
    attributes.event_mask = StructureNotifyMask | ExposureMask | KeyPressMask;
    unsigned long mask = CWColormap | CWBackPixel | CWBorderPixel | CWEventMask;
    if (saverMode(run)) {
        attributes.override_redirect = True;
        attributes.event_mask |= ButtonPressMask | PointerMotionMask;
        mask |= CWOverrideRedirect;
    }
    run.ownWindow = XCreateWindow(display, parent, left, top, unsigned(width), unsigned(height), 0,
                                  run.target.visual->depth, InputOutput, run.target.visual->visual,
                                  mask, &attributes);
    run.target.window = run.ownWindow;
    ScreenWidth = width;
    ScreenHeight = height;

    if (!hackWindow) {
        XStoreName(display, run.ownWindow, "Kestrion");
        XClassHint hint = {const_cast<char*>("kestrion"), const_cast<char*>("Kestrion")};
        XSetClassHint(display, run.ownWindow, &hint);
        run.deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, run.ownWindow, &run.deleteWindow, 1);
        if (run.options.fullscreen) {
            Atom state = XInternAtom(display, "_NET_WM_STATE", False);
            Atom full = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
            XChangeProperty(display, run.ownWindow, state, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&full), 1);
        }
    }
    return true;
}

// One queued event; false when it asks the run to end.
bool handleEvent(Run& run, XEvent& event) {
    if (saverMode(run) && saverEndsOn(event, run.anchor)) return false;
    const bool windowMode = run.options.target == WindowTarget::NewWindow;
    switch (event.type) {
    case ConfigureNotify: {
        const XConfigureEvent& configure = event.xconfigure;
        if (configure.window != run.target.window && run.ownWindow &&
            configure.window != run.ownWindow) {
            // The hack window we cover changed size: follow it.
            XResizeWindow(run.display, run.ownWindow, unsigned(configure.width),
                          unsigned(configure.height));
        } else if (configure.width != ScreenWidth || configure.height != ScreenHeight) {
            reshapeScene(configure.width, configure.height);
        }
        return true;
    }
    case DestroyNotify:
        // The daemon took its window away: nothing is left to draw into.
        return event.xdestroywindow.window != run.target.window;
    case ClientMessage:
        return !(windowMode && Atom(event.xclient.data.l[0]) == run.deleteWindow);
    case KeyPress: {
        if (!windowMode) return true;
        const KeySym key = XLookupKeysym(&event.xkey, 0);
        if (key == XK_Escape || key == XK_q) return false;
        if (key == XK_F12) writeScreenshotFile();
        return true;
    }
    default:
        return true;
    }
}

// How long the pace and the --fps cap hold the next frame back.
uint32_t nextFrameWaitMs(const Run& run, const FramePacer& pacer) {
    const uint32_t now = clockNow();
    return std::max(pacerWaitMs(pacer, now), frameCapWaitMs(run.cap, now));
}

// A frame, then every queued event, so that F12 always finds a frame to save;
// events that come while the pace holds the next frame back are handled as
// they come.
void runFrames(Run& run) {
    FramePacer pacer = startX11Pace(run.display, run.target.window);
    run.cap = makeFrameCap(run.options.fpsCap);
    while (!StopRequested) {
        frameCapDrawn(run.cap, clockNow());
        benchFrameStarting();
        RunFrame();
        if (!benchFrameDone()) break;
        pacerFrameDone(pacer, clockNow());
        bool goOn = true;
        do {
            while (goOn && XPending(run.display)) {
                XEvent event;
                XNextEvent(run.display, &event);
                goOn = handleEvent(run, event);
            }
        } while (goOn && !StopRequested && waitForEvents(run.display, nextFrameWaitMs(run, pacer)));
        if (!goOn || (XErrorSeen && XErrorResource == run.target.window)) break;
    }
}

void closeRun(Run& run) {
    releaseScene();
    releaseGlxContext(run.target);
    if (run.display) {
        for (Window window : run.blackWindows)
            XDestroyWindow(run.display, window);
        if (run.cursor) XFreeCursor(run.display, run.cursor);
        if (run.ownWindow) XDestroyWindow(run.display, run.ownWindow);
        if (run.colormap) XFreeColormap(run.display, run.colormap);
        // Closed before the GL library goes: closing runs GLX's hooks inside it.
        XCloseDisplay(run.display);
    }
    UnloadGLBindings();
}

// Options, data folder and fleets: everything the user can get wrong, checked
// before anything is drawn. Returns -1 to go on, or the exit code.
int prepare(int argc, char** argv, Run& run) {
    const ParsedOptions parsed =
        parseProgramOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) return complain(parsed.error, 2);
    run.options = parsed.options;
    if (run.options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (run.options.version) {
        std::printf("kestrion %s\n", KESTRION_VERSION);
        return 0;
    }

    const DataFolderChoice data =
        chooseDataFolder(run.options.dataFolder, std::getenv("KESTRION_DATA"), executablePath(),
                         {isDirectory, isFile});
    if (!data.error.empty()) return complain(data.error, 2);
    ProgramDirectory = data.folder;

    const RaceCatalogue catalogue = scanRaceCatalogue(ProgramDirectory);
    for (int side = 0; side < 2; ++side) {
        std::string error;
        const std::vector<FleetRequest>* requested =
            run.options.allianceGiven[side] ? &run.options.alliances[side] : nullptr;
        if (!fleetEntryTexts(requested, side + 1, catalogue, FleetEntries[side], error))
            return complain(error, 2);
    }
    if (catalogue.entries.empty())
        complain("no race files in " + ProgramDirectory + "; the battle has no ships", 0);
    BuildFleets = buildFleetsFromOptions;
    return -1;
}
} // namespace

int main(int argc, char** argv) {
    Run run;
    const int prepared = prepare(argc, argv, run);
    if (prepared >= 0) return prepared;

    seedRandom(static_cast<uint32_t>(std::time(nullptr)));
    readBenchHooks(msSinceProcessStart);
    catchStopSignals();

    if (run.options.mode == RunMode::Wallpaper)
        return complain("--wallpaper needs a Wayland compositor with layer-shell; on X11, "
                        "-root draws the battle on the desktop's root window",
                        2);
    run.display = XOpenDisplay(nullptr);
    if (!run.display) return complain("cannot open the X display; is DISPLAY set?", 1);
    XSetErrorHandler(recordXError);
    if (LoadGLBindings("libGL.so.1") != 0) {
        closeRun(run);
        return complain("cannot bind OpenGL from libGL.so.1 and libGLU.so.1 (install libgl1 "
                        "and libglu1-mesa)",
                        1);
    }
    const char* missing = nullptr;
    if (!findGlxFunctions(missing) || !displayHasGlx(run.display)) {
        closeRun(run);
        return complain(missing ? std::string("libGL.so.1 has no ") + missing
                                : "the X server has no GLX extension",
                        1);
    }
    std::string error;
    if (!openTarget(run, error)) {
        closeRun(run);
        return complain(error, run.options.target == WindowTarget::NewWindow ? 1 : 2);
    }

    const ContextSetUp setUp = startRun(&run.target, glxContextCalls(run.target));
    if (setUp == ContextSetUp::ProcessEnded) {
        // As on Windows, a fleet or the effects file that cannot be loaded ends
        // the run quietly with exit code 0; the line says where to look.
        closeRun(run);
        return complain("cannot load the race files or Explosion.as in " + ProgramDirectory, 0);
    }
    if (setUp != ContextSetUp::Ready) {
        closeRun(run);
        return complain("cannot set up OpenGL on the window", 1);
    }
    reshapeScene(ScreenWidth, ScreenHeight);
    // Shown only now: once the window is up, frames follow at once.
    if (saverMode(run))
        showSaver(run);
    else if (run.ownWindow)
        XMapWindow(run.display, run.ownWindow);

    runFrames(run);
    writeBenchLog();
    closeRun(run);
    return 0;
}
