// The settings: the resolution and the two alliance lists, kept as text values
// in the settings key.
#pragma once
#include "platform/settings_key.h"

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

// "Desktop" keeps the display as it is: its size is the desktop's own and the
// saver switches no mode (its row's width and height are 0).
constexpr int DesktopResolutionIndex = 7;
constexpr int ResolutionCount = 7;
extern const ResolutionRow Resolutions[ResolutionCount];

// The row of a ResolutionIndex (1 to 7), or null.
const ResolutionRow* resolutionRow(int index);

// Most entries one alliance list is read with: far more than there are races to
// list, and few enough that a damaged count cannot stall start-up reading values.
constexpr int MaxListEntries = 1000;

// Writes the first-run defaults when the machine key is new.
void OpenSettings();
// The row whose text "Resolution" holds exactly, through a key opened and
// closed for this read. Null when it holds none; `keyOpened` tells whether a
// key opened at all.
const ResolutionRow* readResolutionRow(bool* keyOpened);

// The key settings are read from, through ActiveSettings: the user's own key
// when there is one, else the machine key with full access (created when
// absent; `created` tells), else the machine key for reading. Null when none
// opens.
SettingsKey openSettingsKey(bool* created = nullptr);
// The key the dialog saves to: the user's own key when there is one, else the
// machine key when it opens with full access, else a new key of the user's.
// Null when none opens for writing, or when the user's key exists but cannot
// be written (saving elsewhere would not be what this user reads).
SettingsKey openSettingsKeyForSaving();
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
// Writes nothing for an index outside 1 to 7. False when nothing was stored.
bool writeResolution(int index);
// "NumList<n>Items" = the entry count, then "List<n>Item<i>" = entry i, all
// stored without a terminating zero. False when the key could not be opened
// or a write was refused. Nothing is written when the count is refused; when
// an entry is refused the count is stored again as the entries written before
// it, so it never promises an entry this save did not write.
bool writeAllianceList(int alliance, const std::vector<std::string>& entries);

enum class SaveOutcome {
    Saved,
    NoKey,       // no settings key opens for writing: nothing was stored
    WriteFailed, // a value was refused: what was stored is incomplete
};

// The dialog's OK: the resolution (when `resolutionIndex` names a row) and both
// lists, into the key chosen for saving.
SaveOutcome saveSettings(int resolutionIndex, const std::vector<std::string>& alliance1,
                         const std::vector<std::string>& alliance2);
