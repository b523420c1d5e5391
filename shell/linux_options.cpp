#include "shell/linux_options.h"

#include "shell/fleet_list.h"

#include <climits>

namespace {
// The option's name without its one or two dashes, and its "=" value if any.
struct OptionWord {
    std::string name;
    bool hasValue = false;
    std::string value;
};

bool splitOption(const std::string& argument, OptionWord& word) {
    if (argument.size() < 2 || argument[0] != '-') return false;
    const size_t start = argument[1] == '-' ? 2 : 1;
    const size_t equals = argument.find('=', start);
    word.name =
        argument.substr(start, equals == std::string::npos ? std::string::npos : equals - start);
    word.hasValue = equals != std::string::npos;
    if (word.hasValue) word.value = argument.substr(equals + 1);
    return !word.name.empty();
}

bool folderHoldsEffects(const std::string& folder, const FolderProbe& probe) {
    return probe.isDirectory(folder) && probe.isFile(folder + "Explosion.as");
}

std::string asFolder(std::string path) {
    if (path.empty()) return "./";
    if (path.back() != '/') path += '/';
    return path;
}
} // namespace

bool parseWindowId(std::string_view text, unsigned long& id) {
    unsigned long long value = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        value = 0;
        for (const char c : text.substr(2)) {
            int digit = -1;
            if (c >= '0' && c <= '9') digit = c - '0';
            if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            if (digit < 0) return false;
            value = value * 16 + unsigned(digit);
            if (value > ULONG_MAX || value > 0xFFFFFFFFull) return false;
        }
    } else if (!parseDecimal(text, 0xFFFFFFFFull, value)) {
        return false;
    }
    if (value == 0) return false;
    id = static_cast<unsigned long>(value);
    return true;
}

ParsedOptions parseProgramOptions(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    ProgramOptions& options = parsed.options;
    bool rootGiven = false, idGiven = false, windowGiven = false;
    bool saverGiven = false, wallpaperGiven = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        OptionWord word;
        if (!splitOption(arguments[i], word)) {
            parsed.error = "unexpected argument " + quoted(arguments[i]) + "; see --help";
            return parsed;
        }
        const bool takesValue = word.name == "alliance1" || word.name == "alliance2" ||
                                word.name == "data" || word.name == "window-id" ||
                                word.name == "output" || word.name == "fps";
        if (!takesValue && word.hasValue) {
            parsed.error = "option -" + word.name + " takes no value; see --help";
            return parsed;
        }
        std::string value = word.value;
        if (takesValue && !word.hasValue) {
            if (i + 1 >= arguments.size()) {
                parsed.error = "option -" + word.name + " needs a value; see --help";
                return parsed;
            }
            value = arguments[++i];
        }

        if (word.name == "help" || word.name == "h") {
            options.help = true;
        } else if (word.name == "version") {
            options.version = true;
        } else if (word.name == "root") {
            rootGiven = true;
        } else if (word.name == "window") {
            windowGiven = true;
        } else if (word.name == "fullscreen") {
            options.fullscreen = true;
        } else if (word.name == "x11") {
            options.forceX11 = true;
        } else if (word.name == "saver") {
            saverGiven = true;
        } else if (word.name == "wallpaper") {
            wallpaperGiven = true;
        } else if (word.name == "output") {
            if (value.empty()) {
                parsed.error = "option --output needs the name of a monitor (as DP-1)";
                return parsed;
            }
            options.outputs.push_back(value);
        } else if (word.name == "fps") {
            unsigned long long fps = 0;
            if (!parseDecimal(value, MaxFpsCap, fps) || fps == 0) {
                parsed.error = "--fps " + quoted(value) + " is not a number from 1 to " +
                               std::to_string(MaxFpsCap);
                return parsed;
            }
            options.fpsCap = int(fps);
        } else if (word.name == "window-id") {
            if (!parseWindowId(value, options.windowId)) {
                parsed.error = "window id " + quoted(value) +
                               " is not a number (decimal, or hex after 0x) other than 0";
                return parsed;
            }
            idGiven = true;
        } else if (word.name == "data") {
            if (value.empty()) {
                parsed.error = "option --data needs a folder";
                return parsed;
            }
            options.dataFolder = value;
        } else if (word.name == "alliance1" || word.name == "alliance2") {
            const int side = word.name == "alliance1" ? 0 : 1;
            std::string problem;
            if (!parseFleetList(value, options.alliances[side], problem)) {
                parsed.error = "--" + word.name + ": " + problem;
                return parsed;
            }
            options.allianceGiven[side] = true;
        } else {
            parsed.error = "unknown option " + quoted(arguments[i]) + "; see --help";
            return parsed;
        }
    }
    if (int(rootGiven) + int(idGiven) + int(windowGiven) > 1) {
        parsed.error = "-root, -window-id and -window exclude each other";
        return parsed;
    }
    if (saverGiven && wallpaperGiven) {
        parsed.error = "--saver and --wallpaper exclude each other";
        return parsed;
    }
    if ((saverGiven || wallpaperGiven) && (rootGiven || idGiven || windowGiven)) {
        parsed.error = std::string(saverGiven ? "--saver" : "--wallpaper") +
                       " makes its own surfaces; leave out -root, -window-id and -window (those "
                       "are for xscreensaver)";
        return parsed;
    }
    if ((saverGiven || wallpaperGiven) && options.fullscreen) {
        parsed.error = std::string(saverGiven ? "--saver" : "--wallpaper") +
                       " always covers whole monitors; leave out --fullscreen";
        return parsed;
    }
    if (!options.outputs.empty() && !saverGiven && !wallpaperGiven) {
        parsed.error = "--output is for --saver and --wallpaper";
        return parsed;
    }
    if (saverGiven && options.outputs.size() > 1) {
        parsed.error = "--saver shows the battle on one monitor; give --output once";
        return parsed;
    }
    if (rootGiven) options.target = WindowTarget::Root;
    if (idGiven) options.target = WindowTarget::WindowId;
    if (saverGiven) options.mode = RunMode::Saver;
    if (wallpaperGiven) options.mode = RunMode::Wallpaper;
    return parsed;
}

bool waylandFirst(const ProgramOptions& options, const char* waylandDisplay) {
    return !options.forceX11 && options.target == WindowTarget::NewWindow && waylandDisplay &&
           *waylandDisplay;
}

DataFolderChoice chooseDataFolder(const std::string& dataOption, const char* environment,
                                  const std::string& executablePath, const FolderProbe& probe) {
    DataFolderChoice choice;
    if (!dataOption.empty()) {
        const std::string folder = asFolder(dataOption);
        if (!probe.isDirectory(folder))
            choice.error = "data folder " + dataOption + " does not exist";
        else if (!probe.isFile(folder + "Explosion.as"))
            choice.error = "data folder " + dataOption +
                           " has no Explosion.as; give the folder with the race files and "
                           "Explosion.as";
        else
            choice.folder = folder;
        return choice;
    }

    std::vector<std::string> candidates;
    if (environment && *environment) candidates.push_back(asFolder(environment));
    const size_t slash = executablePath.rfind('/');
    const std::string programFolder =
        slash == std::string::npos ? "./" : executablePath.substr(0, slash + 1);
    candidates.push_back(programFolder + "../share/kestrion/");
    candidates.push_back(programFolder);
    for (const std::string& candidate : candidates)
        if (folderHoldsEffects(candidate, probe)) {
            choice.folder = candidate;
            return choice;
        }
    std::string places;
    for (const std::string& candidate : candidates)
        places += (places.empty() ? "" : ", ") + candidate;
    choice.error = "no data folder with Explosion.as found (looked in " + places +
                   "); give one with --data DIR or KESTRION_DATA";
    return choice;
}

std::string usageText() {
    return "usage: kestrion [options]\n"
           "Two alliances of space-ship fleets fight an endless battle.\n"
           "\n"
           "  --alliance1 LIST    fleets of alliance 1, as NAME:SIZE,NAME:SIZE (sizes 1 to 500)\n"
           "  --alliance2 LIST    fleets of alliance 2; without either, the first two races\n"
           "                      of the data folder fly 5 ships each\n"
           "  --data DIR          folder with the race files (*.ast) and Explosion.as; default:\n"
           "                      $KESTRION_DATA, ../share/kestrion beside the program, or the\n"
           "                      program's own folder\n"
           "  --fullscreen        a window over the whole screen instead of 800 x 600\n"
           "  --saver             screen saver for idle tools (swayidle, xss-lock): covers\n"
           "                      every monitor, the battle on one, others black; any key,\n"
           "                      button, touch or mouse motion ends it with exit code 0\n"
           "  --wallpaper         live wallpaper behind the windows of every monitor\n"
           "  --output NAME       --saver: the monitor that shows the battle (default: the\n"
           "                      first); --wallpaper: a monitor to draw on (repeatable;\n"
           "                      default: all)\n"
           "  --fps N             at most N frames a second (1 to 1000), to save power\n"
           "  --x11               use X11 even when WAYLAND_DISPLAY is set\n"
           "  -root               draw on the root window, or on $XSCREENSAVER_WINDOW (X11)\n"
           "  -window-id ID       draw into an existing X11 window (decimal, or hex after 0x)\n"
           "  --help, --version\n"
           "\n"
           "kestrion uses Wayland when $WAYLAND_DISPLAY names a compositor it can reach, and\n"
           "X11 otherwise.\n"
           "In a window: Escape or q ends, F12 saves KestrionScreenNN.bmp in the current folder.\n"
           "With -root, -window-id or --wallpaper the program runs until SIGTERM or SIGINT.\n";
}
