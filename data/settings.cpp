#include "data/settings.h"

#include <algorithm>
#include <cctype>
#include <cstring>

const ResolutionRow Resolutions[ResolutionCount] = {
    {1, "640x480", 640, 480, 1031},     {2, "800x600", 800, 600, 1032},
    {3, "1024x768", 1024, 768, 1033},   {4, "1152x864", 1152, 864, 1034},
    {5, "1280x1024", 1280, 1024, 1035}, {6, "1600x1200", 1600, 1200, 1036},
    {7, "Desktop", 0, 0, 1037},
};

const ResolutionRow* resolutionRow(int index) {
    for (const ResolutionRow& row : Resolutions)
        if (row.index == index) return &row;
    return nullptr;
}

namespace {
SettingsKey openKey(SettingsRoot root, KeyAccess access, bool* created = nullptr) {
    return ActiveSettings->open(root, access, created);
}
} // namespace

SettingsKey openSettingsKey(bool* created) {
    if (created) *created = false;
    if (!ActiveSettings) return nullptr;
    if (SettingsKey key = openKey(SettingsRoot::User, KeyAccess::Read)) return key;
    if (SettingsKey key = openKey(SettingsRoot::Machine, KeyAccess::Create, created)) return key;
    // A standard user may read the machine's settings but not change them.
    return openKey(SettingsRoot::Machine, KeyAccess::Read);
}

SettingsKey openSettingsKeyForSaving() {
    if (!ActiveSettings) return nullptr;
    if (SettingsKey key = openKey(SettingsRoot::User, KeyAccess::Write)) return key;
    if (SettingsKey key = openKey(SettingsRoot::User, KeyAccess::Read)) {
        closeSettingsKey(key);
        return nullptr;
    }
    if (SettingsKey key = openKey(SettingsRoot::Machine, KeyAccess::Create)) return key;
    return openKey(SettingsRoot::User, KeyAccess::Create);
}

void closeSettingsKey(SettingsKey key) {
    if (key && ActiveSettings) ActiveSettings->close(key);
}

namespace {
// The capacity a value is first read through; longer values are read again whole.
constexpr uint32_t ValueCapacity = 50;

bool writeText(SettingsKey key, const char* name, const char* text, bool withTerminator) {
    return ActiveSettings->writeString(key, name, text, withTerminator);
}

std::string countName(int alliance) {
    return "NumList" + std::to_string(alliance) + "Items";
}

std::string entryName(int alliance, int item) {
    return "List" + std::to_string(alliance) + "Item" + std::to_string(item);
}
} // namespace

bool readSettingsText(SettingsKey key, const char* name, std::string& text) {
    text.clear();
    if (!key || !ActiveSettings) return false;
    std::string buffer(ValueCapacity, '\0');
    uint32_t size = 0;
    // The value may change between the size query and the read; a few rounds settle it.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const auto capacity = static_cast<uint32_t>(buffer.size());
        const ValueRead result =
            ActiveSettings->readString(key, name, buffer.data(), capacity, &size);
        if (result == ValueRead::Missing) return false;
        if (result == ValueRead::Done) {
            if (size > capacity) size = capacity;
            // Stored with or without a terminator: the text ends at either.
            const void* zero = std::memchr(buffer.data(), 0, size);
            text.assign(buffer.data(),
                        zero ? static_cast<const char*>(zero) - buffer.data() : size);
            return true;
        }
        buffer.assign(size + 1, '\0');
    }
    return false;
}

int32_t leadingNumber(const char* text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (std::isspace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t value = 0;
    for (; std::isdigit(*p); ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT32_MAX) value = int64_t(INT32_MAX) + 1; // saturated; stays above any int32
    }
    if (negative) return static_cast<int32_t>(std::max<int64_t>(-value, INT32_MIN));
    return static_cast<int32_t>(std::min<int64_t>(value, INT32_MAX));
}

void OpenSettings() {
    if (!ActiveSettings) return;
    bool created = false;
    SettingsKey key = openKey(SettingsRoot::Machine, KeyAccess::Create, &created);
    if (!key) return;
    if (created) {
        writeText(key, "NumList1Items", "0", false);
        writeText(key, "NumList2Items", "0", false);
        writeText(key, "Resolution", "800x600", true);
    }
    closeSettingsKey(key);
}

const ResolutionRow* readResolutionRow(bool* keyOpened) {
    SettingsKey key = openSettingsKey();
    if (keyOpened) *keyOpened = key != nullptr;
    if (!key) return nullptr;
    const ResolutionRow* found = nullptr;
    std::string text;
    if (readSettingsText(key, "Resolution", text)) {
        for (const ResolutionRow& row : Resolutions)
            if (text == row.text) {
                found = &row;
                break;
            }
    }
    closeSettingsKey(key);
    return found;
}

std::vector<std::string> readAllianceList(SettingsKey key, int alliance) {
    std::vector<std::string> entries;
    std::string text;
    if (!readSettingsText(key, countName(alliance).c_str(), text)) return entries;
    int32_t count = leadingNumber(text.c_str());
    if (count > MaxListEntries) count = MaxListEntries;
    for (int32_t i = 0; i < count; ++i) {
        if (readSettingsText(key, entryName(alliance, i).c_str(), text)) entries.push_back(text);
    }
    return entries;
}

std::vector<std::string> readAllianceList(int alliance) {
    SettingsKey key = openSettingsKey();
    std::vector<std::string> entries = readAllianceList(key, alliance);
    closeSettingsKey(key);
    return entries;
}

namespace {
bool writeResolution(SettingsKey key, int index) {
    const ResolutionRow* row = resolutionRow(index);
    return key && row && writeText(key, "Resolution", row->text, true);
}

bool writeAllianceList(SettingsKey key, int alliance, const std::vector<std::string>& entries) {
    if (!key) return false;
    const std::string count = countName(alliance);
    if (!writeText(key, count.c_str(), std::to_string(entries.size()).c_str(), false)) return false;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string name = entryName(alliance, static_cast<int>(i));
        if (!writeText(key, name.c_str(), entries[i].c_str(), false)) {
            writeText(key, count.c_str(), std::to_string(i).c_str(), false);
            return false;
        }
    }
    return true;
}
} // namespace

bool writeResolution(int index) {
    SettingsKey key = openSettingsKeyForSaving();
    const bool stored = writeResolution(key, index);
    closeSettingsKey(key);
    return stored;
}

bool writeAllianceList(int alliance, const std::vector<std::string>& entries) {
    SettingsKey key = openSettingsKeyForSaving();
    const bool stored = writeAllianceList(key, alliance, entries);
    closeSettingsKey(key);
    return stored;
}

SaveOutcome saveSettings(int resolutionIndex, const std::vector<std::string>& alliance1,
                         const std::vector<std::string>& alliance2) {
    SettingsKey key = openSettingsKeyForSaving();
    if (!key) return SaveOutcome::NoKey;
    bool stored = !resolutionRow(resolutionIndex) || writeResolution(key, resolutionIndex);
    // A list is written only while its key is open, and the second only after the first.
    stored = stored && writeAllianceList(key, 1, alliance1);
    stored = stored && writeAllianceList(key, 2, alliance2);
    closeSettingsKey(key);
    return stored ? SaveOutcome::Saved : SaveOutcome::WriteFailed;
}
