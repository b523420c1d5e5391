#include "shell/config_logic.h"

#include <climits>
#include <cstdio>

std::string fitRaceName(std::string_view raceName) {
    return std::string(raceName.substr(0, RaceNameLimit));
}

std::string formatFleetEntry(std::string_view raceName, int fleetSize,
                             std::string_view description) {
    const std::string name = fitRaceName(raceName);
    char size[16];
    std::snprintf(size, sizeof size, "%d", fleetSize);
    std::string entry = name + " (" + size + ")  \"";
    // Room for the description and the closing quote; a cut name plus any int always leaves some.
    const size_t room = FleetEntryLimit - 1 - entry.size();
    entry.append(description.substr(0, room));
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

int resolutionIndexToSave(const bool checked[6]) {
    for (int i = 0; i < 6; ++i) {
        if (checked[i]) return i + 1;
    }
    return 0;
}
