#include "shell/config_logic.h"

#include "data/text.h"

#include <climits>
#include <cstdio>

std::string fitRaceName(std::string_view raceName) {
    return std::string(raceName.substr(0, utf8Cut(raceName, RaceNameLimit)));
}

std::string formatFleetEntry(std::string_view raceName, int fleetSize,
                             std::string_view description) {
    const std::string name = fitRaceName(raceName);
    char size[16];
    std::snprintf(size, sizeof size, "%d", fleetSize);
    std::string entry = name + " (" + size + ")  \"";
    // Room for the description and the closing quote; a cut name plus any int always leaves some.
    const size_t room = FleetEntryLimit - 1 - entry.size();
    entry.append(description.substr(0, utf8Cut(description, room)));
    entry += '"';
    return entry;
}

int fleetSizeFromText(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) {
            value = INT_MAX + 1LL; // saturate; stays within long long for any length
            if (!negative) return INT_MAX;
        }
    }
    if (negative) return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
    return static_cast<int>(value);
}

int entryReplacedByAdd(const std::vector<std::string>& entries, std::string_view raceName) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].find(raceName) != std::string::npos) return static_cast<int>(i);
    }
    return -1;
}

int resolutionIndexToSave(std::span<const bool> checked) {
    for (size_t i = 0; i < checked.size(); ++i) {
        if (checked[i]) return static_cast<int>(i) + 1;
    }
    return 0;
}

const char* saveFailureText(SaveOutcome outcome) {
    switch (outcome) {
    case SaveOutcome::Saved:
        return nullptr;
    case SaveOutcome::NoKey:
        return "Your settings could not be saved: Windows did not let Kestrion write to the "
               "registry, neither to your own settings nor to the computer's.\n\n"
               "Nothing was changed. Ask your administrator to allow you to change your own "
               "registry settings, then open these settings again and press OK.";
    case SaveOutcome::WriteFailed:
        return "Your settings were only partly saved: Windows refused to store some of them "
               "in the registry.\n\n"
               "The fleets may be incomplete. Open these settings again, check both fleets and "
               "press OK; if this message comes back, ask your administrator.";
    }
    return nullptr;
}
