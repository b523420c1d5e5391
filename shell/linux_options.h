// The Linux program's command line and the choice of its data folder: what it
// decides without the X server, so that it can be tested natively.
#pragma once
#include "data/catalogue.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One "NAME:SIZE" of an alliance option.
struct FleetRequest {
    std::string race;
    int32_t ships = 0;
};

enum class WindowTarget {
    NewWindow, // a top-level window of our own
    Root,      // the root window, or XSCREENSAVER_WINDOW when that is set
    WindowId   // the window named by -window-id
};

struct ProgramOptions {
    WindowTarget target = WindowTarget::NewWindow;
    unsigned long windowId = 0; // with WindowTarget::WindowId
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

// "Vessari:5,Korrhan:3": names as the catalogue has them, sizes 1 to
// MaxEntryShips, at most MaxFleetShips ships in all. False with `error` set.
bool parseFleetList(std::string_view text, std::vector<FleetRequest>& fleet, std::string& error);

// A window id in decimal or with "0x" in hex; false for anything else or 0.
bool parseWindowId(std::string_view text, unsigned long& id);

// The fleet list texts of one alliance, as the configuration dialog would have
// stored them, for fleet assembly. Without a request the alliance flies the
// catalogue's first race (alliance 1) or second race (alliance 2, or the first
// when there is only one), 5 ships; with an empty catalogue it has no ships.
// False with `error` set when a requested race is not in the catalogue.
bool fleetEntryTexts(const std::vector<FleetRequest>* requested, int alliance,
                     const RaceCatalogue& catalogue, std::vector<std::string>& entries,
                     std::string& error);

constexpr int32_t DefaultFleetSize = 5;

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
