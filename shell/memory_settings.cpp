#include "shell/memory_settings.h"

#include <algorithm>
#include <cctype>
#include <cstring>

MemorySettingsState MemorySettings;

bool ValueNameLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
    });
}

namespace {
SettingsKey handle() {
    return reinterpret_cast<SettingsKey>(&MemorySettings);
}

SettingsKey memoryOpen(bool* created) {
    if (created) *created = false;
    if (MemorySettings.failOpen) return nullptr;
    if (!MemorySettings.keyExists) {
        MemorySettings.keyExists = true;
        MemorySettings.values.clear();
        if (created) *created = true;
    }
    ++MemorySettings.opens;
    return handle();
}

ValueRead memoryRead(SettingsKey key, const char* name, char* buffer, uint32_t capacity,
                     uint32_t* size) {
    if (key != handle()) return ValueRead::Missing;
    const StoredValue* value = memoryValue(name);
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
    if (key != handle() || MemorySettings.failWrite) return false;
    const StringValueBytes bytes = stringValueBytes(text, withTerminator);
    storeLikeRegistry(name, bytes.buffer.data(), bytes.size);
    return true;
}

void memoryClose(SettingsKey key) {
    if (key == handle()) ++MemorySettings.closes;
}
} // namespace

const SettingsStore MemorySettingsStore = {memoryOpen, memoryRead, memoryWrite, memoryClose};

void installMemorySettings() {
    MemorySettings = MemorySettingsState();
    ActiveSettings = &MemorySettingsStore;
}

void storeLikeRegistry(const char* name, const char* data, uint32_t size) {
    if (size > 0 && data[size - 1] != 0 && data[size] == 0) ++size;
    MemorySettings.values[name] = StoredValue{StringValueType, std::string(data, size)};
    MemorySettings.writes.push_back(name);
}

void setMemoryValue(const std::string& name, const std::string& bytes, uint32_t type) {
    MemorySettings.keyExists = true;
    MemorySettings.values[name] = StoredValue{type, bytes};
}

const StoredValue* memoryValue(const std::string& name) {
    auto found = MemorySettings.values.find(name);
    return found == MemorySettings.values.end() ? nullptr : &found->second;
}
