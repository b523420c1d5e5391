// What the configuration dialog decides, apart from the controls themselves.
#pragma once
#include "shell/settings.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

// The dialog's text buffers: a race name and a fleet entry text at most this long.
constexpr size_t RaceNameLimit = 55;
constexpr size_t FleetEntryLimit = 107;
// The fleet-size edit is read through a buffer of this many characters.
constexpr size_t FleetSizeTextLimit = 20;

// A race name as the combo boxes hold it: cut to RaceNameLimit bytes, never
// inside a character.
std::string fitRaceName(std::string_view raceName);

// "%s (%d)  \"%s\"": race name, fleet size, description. A text that would pass
// FleetEntryLimit loses the end of its description (whole characters), never
// its closing quote.
std::string formatFleetEntry(std::string_view raceName, int fleetSize,
                             std::string_view description);

// The decimal value at the start of the fleet-size text (blanks and a sign
// allowed, empty text 0), held within the int range. No fleet-size range check.
int fleetSizeFromText(std::string_view text);

// Index of the first entry, from the top, whose text contains the race name
// anywhere (an empty name matches every entry); -1 when none does.
int entryReplacedByAdd(const std::vector<std::string>& entries, std::string_view raceName);

// The resolution index to save: the first checked of the buttons in table
// order (1 for the first), or 0 when none is checked and nothing is written.
int resolutionIndexToSave(std::span<const bool> checked);

// What the dialog tells the user when OK could not save; null when it could.
const char* saveFailureText(SaveOutcome outcome);
