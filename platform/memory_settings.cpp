#include "platform/memory_settings.h"

#include <algorithm>
#include <cctype>
#include <cstring>

MemorySettingsState MemorySettings;
MemorySettingsState MemoryUserSettings;

bool ValueNameLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
    });
}

namespace {
// An open key: which one, and whether it may be written.
struct MemoryHandle {
    MemorySettingsState* key;
    bool writable;
};
MemoryHandle Handles[2][2] = {{{&MemorySettings, false}, {&MemorySettings, true}},
                              {{&MemoryUserSettings, false}, {&MemoryUserSettings, true}}};

MemoryHandle* handleOf(SettingsKey key) {
    for (auto& pair : Handles)
        for (MemoryHandle& handle : pair)
            if (key == reinterpret_cast<SettingsKey>(&handle)) return &handle;
    return nullptr;
}

SettingsKey memoryOpen(SettingsRoot root, KeyAccess access, bool* created) {
    if (created) *created = false;
    const int which = root == SettingsRoot::User ? 1 : 0;
    MemorySettingsState& key = *Handles[which][0].key;
    const bool full = access != KeyAccess::Read;
    if (key.failOpen || (full && key.readOnly)) return nullptr;
    if (!key.keyExists) {
        if (access != KeyAccess::Create || key.failCreate) return nullptr;
        key.keyExists = true;
        key.values.clear();
        if (created) *created = true;
    }
    ++key.opens;
    return reinterpret_cast<SettingsKey>(&Handles[which][full ? 1 : 0]);
}

ValueRead memoryRead(SettingsKey key, const char* name, char* buffer, uint32_t capacity,
                     uint32_t* size) {
    const MemoryHandle* handle = handleOf(key);
    if (!handle) return ValueRead::Missing;
    const StoredValue* value = memoryValue(name, *handle->key);
    if (!value || (value->type != StringValueType && value->type != ExpandStringValueType))
        return ValueRead::Missing;
    const auto stored = static_cast<uint32_t>(value->bytes.size());
    *size = stored;
    if (stored > capacity) return ValueRead::MoreData;
    std::memcpy(buffer, value->bytes.data(), stored);
    // No terminator is added: readers must end the text at the returned size.
    std::memset(buffer + stored, '#', capacity - stored);
    return ValueRead::Done;
}

bool memoryWrite(SettingsKey key, const char* name, const char* text, bool withTerminator) {
    const MemoryHandle* handle = handleOf(key);
    if (!handle || !handle->writable || handle->key->failWrite) return false;
    MemorySettingsState& state = *handle->key;
    if (state.refuseWrite >= 0 && state.refuseWrite-- == 0) return false;
    const StringValueBytes bytes = stringValueBytes(text, withTerminator);
    storeLikeRegistry(name, bytes.buffer.data(), bytes.size, state);
    return true;
}

void memoryClose(SettingsKey key) {
    if (const MemoryHandle* handle = handleOf(key)) ++handle->key->closes;
}
} // namespace

const SettingsStore MemorySettingsStore = {memoryOpen, memoryRead, memoryWrite, memoryClose};

void installMemorySettings() {
    MemorySettings = MemorySettingsState();
    MemoryUserSettings = MemorySettingsState();
    ActiveSettings = &MemorySettingsStore;
}

void storeLikeRegistry(const char* name, const char* data, uint32_t size,
                       MemorySettingsState& key) {
    if (size > 0 && data[size - 1] != 0 && data[size] == 0) ++size;
    key.values[name] = StoredValue{StringValueType, std::string(data, size)};
    key.writes.push_back(name);
}

void setMemoryValue(const std::string& name, const std::string& bytes, uint32_t type,
                    MemorySettingsState& key) {
    key.keyExists = true;
    key.values[name] = StoredValue{type, bytes};
}

const StoredValue* memoryValue(const std::string& name, const MemorySettingsState& key) {
    auto found = key.values.find(name);
    return found == key.values.end() ? nullptr : &found->second;
}
