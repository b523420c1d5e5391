// What the web page decides about fleets and races, kept out of the browser so
// that it can be tested natively: the fleets in the page's address, the race
// list the page shows, and whether a race dropped onto the page may join it.
#pragma once
#include "data/catalogue.h"
#include "shell/fleet_list.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// "#alliance1=Vessari:5,Korrhan:3&alliance2=Thyl:8": each value in the Linux
// options' syntax after percent-decoding; an empty value is an empty fleet.
// "seed=N" (0 to 4294967295) seeds the battle instead of the clock, so that
// the same address flies the same opening. Other keys are left alone.
// `error` says what is wrong, naming the alliance or the seed.
struct AddressFleets {
    bool given[2] = {false, false};
    std::vector<FleetRequest> alliances[2];
    bool seeded = false;
    uint32_t seed = 0;
    std::string error;
};
AddressFleets parseFleetAddress(std::string_view fragment);

// {"alliance1":[{"race":..,"ships":N},..] or null when not given, "alliance2":..,
// "error":".."}: what the page's fleet builder shows of an address.
std::string addressFleetsJson(const AddressFleets& fleets);

// The fleet list texts of both alliances for fleet assembly, checked against
// the catalogue; an alliance not given flies its default. False with `error`.
bool addressFleetEntries(const AddressFleets& fleets, const RaceCatalogue& catalogue,
                         std::vector<std::string> (&entries)[2], std::string& error);

// [{"name":..,"description":..,"file":..},...] in catalogue order, with the
// fleet bounds: {"races":[...],"maxEntryShips":N,"maxFleetShips":N}.
std::string catalogueJson(const RaceCatalogue& catalogue);

// A JSON string literal for UTF-8 text (control characters escaped).
std::string jsonString(std::string_view text);

// Whether a race file dropped onto the page may join `catalogue`: its bytes must
// pass the race reader, and its name must be new and tell apart from the other
// races in a fleet entry. Empty when it may, else the message for the page.
// `raceName` receives the race's name when the file could be read.
std::string checkDroppedRace(const std::string& fileName, const uint8_t* bytes, size_t size,
                             const RaceCatalogue& catalogue, std::string& raceName);

// A file name for the data folder: the dropped file's name with anything but
// letters, digits, "-", "_" and "." replaced, ending in ".ast", and not the
// file of a catalogue race (compared without case); a number is added when it is.
std::string droppedRaceFileName(const std::string& fileName, const RaceCatalogue& catalogue);

// The page's settings beside the fleets, in its address and from a wallpaper
// host's panel: "fps=30" caps the frame rate (15 to 60; more means every frame
// the display shows), "smooth=0" turns smooth edges off.
constexpr int MinFrameCap = 15, MaxFrameCap = 60;
struct PageSettings {
    int frameCap = 0;   // frames a second at most; 0: every frame the display shows
    bool smooth = true; // smooth edges where the renderer affords them
    std::string error;  // the first bad setting; the others keep their defaults
};
PageSettings parsePageSettings(std::string_view fragment);
// {"fps":N,"smooth":true|false,"error":".."}
std::string pageSettingsJson(const PageSettings& settings);

// A setting from a wallpaper host's panel: its name (alliance1, alliance2, fps,
// smooth), the JavaScript type of its value ("string", "number", "boolean", ...)
// and the value as text, applied to the address fragment that holds the
// settings so far. Fleets must be text that can fly with `catalogue`; an empty
// text is refused, since the host's panel has no other way to say "no change".
struct SettingChange {
    std::string fragment; // with the setting in it; the old one when refused
    std::string changed;  // "fleets", "fps", "smooth", or empty when nothing changed
    std::string error;    // why the setting is refused, for the console
};
SettingChange applyHostSetting(std::string_view fragment, std::string_view name,
                               std::string_view type, std::string_view value,
                               const RaceCatalogue& catalogue);
// {"fragment":"..","changed":"..","error":".."}
std::string settingChangeJson(const SettingChange& change);
