// kestrion-forge: writes the default data set (the races and "Explosion.as"),
// the resource pictures, and inspects data files.
#pragma once
#include "data/formats.h"

#include <cstdint>
#include <string>
#include <vector>

// Runs the tool with its arguments (without the program name); returns the exit status.
int runForge(const std::vector<std::string>& args);

struct NamedRace {
    std::string fileName; // "Name.ast"
    RaceFileRecord record;
};

// The default races, in a fixed order.
std::vector<NamedRace> buildDefaultRaces();
// The content of "Explosion.as".
EffectsFileRecord buildDefaultEffects();

// Writes every race file and "Explosion.as" into `outDir` (created when missing).
// On failure returns false with the reason in `error`.
bool writeDefaultDataSet(const std::string& outDir, std::string* error);

// The configuration dialog's picture (a 24-bit BMP file, 107 x 80, the size of
// its 71 x 49 dialog-unit control) and the program icon (an ICO file with 48,
// 32 and 16 pixel images), both showing the ships of `races`.
std::vector<uint8_t> buildConfigBitmap(const std::vector<NamedRace>& races);
std::vector<uint8_t> buildIcon(const std::vector<NamedRace>& races);
// The same icon as a PNG file of `size` x `size` pixels with alpha, for desktops.
std::vector<uint8_t> buildIconPng(const std::vector<NamedRace>& races, int size);
// The sizes of the PNG icons, each in the hicolor theme's folder of its size.
inline constexpr int IconPngSizes[] = {16, 32, 48, 64, 128, 256};
// Writes "config.bmp", "Kestrion.ico" and hicolor/SIZExSIZE/apps/kestrion.png
// for every IconPngSizes into `outDir` (created when missing).
bool writeResources(const std::string& outDir, std::string* error);

// What a check of a parsed file found beyond the format itself: faults make
// the file unusable (e.g. an image side that is not a power of two, which
// OpenGL 1.1 cannot load), warnings are worth knowing.
struct Findings {
    std::vector<std::string> faults;
    std::vector<std::string> warnings;
};
Findings checkRace(const RaceFileRecord& race);
Findings checkEffects(const EffectsFileRecord& effects);

// The configuration dialog's fleet entry text, "Name (count)  \"Description\"".
std::string fleetEntryText(const std::string& raceName, int count, const std::string& description);
// The dialog and the settings keep fleet entries in 50-byte fields with a terminator.
constexpr size_t FleetEntryCapacity = 50;

// A readable summary of a race or effects file; false (with the reason in
// `error`) when the file is not valid.
bool inspectFile(const std::string& path, std::string& summary, std::string* error);
