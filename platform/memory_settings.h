// An in-memory settings key that behaves like the NT registry and remembers
// exactly what was stored, for tests and benches.
#pragma once
#include "platform/settings_key.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Value types, numbered as the registry numbers them.
constexpr uint32_t StringValueType = 1;
constexpr uint32_t ExpandStringValueType = 2;
constexpr uint32_t BinaryValueType = 3;
constexpr uint32_t DwordValueType = 4;

struct StoredValue {
    uint32_t type = StringValueType;
    std::string bytes; // exactly the stored bytes; its size is the stored size
};

// Value names compare without regard to case, as registry value names do.
struct ValueNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

// One key: the machine's or the user's.
struct MemorySettingsState {
    bool keyExists = false;  // false: only a Create open makes the key
    bool failOpen = false;   // every open fails
    bool readOnly = false;   // opens with full access are refused, as for a standard user
    bool failCreate = false; // a missing key cannot be created
    int refuseWrite = -1;    // the write after this many more is refused, once; -1: none
    bool failWrite = false;  // every write is refused
    std::map<std::string, StoredValue, ValueNameLess> values;
    std::vector<std::string> writes; // names in the order they were written
    int opens = 0;
    int closes = 0;
};

// The machine key, and the user's key beside it.
extern MemorySettingsState MemorySettings;
extern MemorySettingsState MemoryUserSettings;
extern const SettingsStore MemorySettingsStore;

// Empties both in-memory keys (no key at all) and makes them the active store.
void installMemorySettings();

// Stores bytes the way an NT registry's string write does: when the byte after
// `size` is zero and the last stored byte is not, that zero is stored too.
// `data` must hold size + 1 readable bytes.
void storeLikeRegistry(const char* name, const char* data, uint32_t size,
                       MemorySettingsState& key = MemorySettings);

// Puts a value in place directly (the key then exists), without recording a write.
void setMemoryValue(const std::string& name, const std::string& bytes,
                    uint32_t type = StringValueType, MemorySettingsState& key = MemorySettings);

// The stored value, or null.
const StoredValue* memoryValue(const std::string& name,
                               const MemorySettingsState& key = MemorySettings);
