// The settings: the resolution and the two alliance lists, kept as text values
// in the settings key.
#pragma once
#include "shell/settings_key.h"

#include <cstdint>
#include <string>
#include <vector>

struct ResolutionRow {
    int32_t index; // ResolutionIndex
    const char* text;
    int32_t width;
    int32_t height;
    int32_t buttonId; // the configuration dialog's radio button
};

constexpr int ResolutionCount = 6;
extern const ResolutionRow Resolutions[ResolutionCount];

// The row of a ResolutionIndex (1 to 6), or null.
const ResolutionRow* resolutionRow(int index);

// Most entries one alliance list is read with: far more than there are races to
// list, and few enough that a damaged count cannot stall start-up reading values.
constexpr int MaxListEntries = 1000;

// Writes the first-run defaults when the key is new.
void OpenSettings();
// Sets ScreenWidth, ScreenHeight and ResolutionIndex from "Resolution" when it
// holds one of the table's texts exactly; otherwise leaves them.
void ReadResolution();

// The settings key through ActiveSettings; null when it cannot be opened.
SettingsKey openSettingsKey(bool* created = nullptr);
void closeSettingsKey(SettingsKey key);

// The whole text of a string value, however long, ending at the stored size or
// at a zero byte within it. False when the value is missing or not a string.
bool readSettingsText(SettingsKey key, const char* name, std::string& text);

// The decimal number at the start of a text, as atoi reads it (blanks, a sign,
// digits; nothing gives 0), saturated to the int32 range.
int32_t leadingNumber(const char* text);

// The entries of alliance 1 or 2, in list order. Entries that are missing are
// left out; a missing or negative count gives none.
std::vector<std::string> readAllianceList(SettingsKey key, int alliance);
// The same through a key opened and closed for this read.
std::vector<std::string> readAllianceList(int alliance);

// "Resolution" = the text of row `index`, stored with its terminating zero.
// Writes nothing for an index outside 1 to 6. False when nothing was stored.
bool writeResolution(int index);
// "NumList<n>Items" = the entry count, then "List<n>Item<i>" = entry i, all
// stored without a terminating zero. False when the key could not be opened
// or a write was refused.
bool writeAllianceList(int alliance, const std::vector<std::string>& entries);
