// The settings key in the registry: HKEY_LOCAL_MACHINE "Software\Quorvane\Kestrion".
#include "shell/settings_key.h"

#include <windows.h>

namespace {
HKEY toHkey(SettingsKey key) {
    return reinterpret_cast<HKEY>(key);
}

SettingsKey registryOpen(bool* created) {
    if (created) *created = false;
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvane\\Kestrion", 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return nullptr;
    if (created) *created = disposition == REG_CREATED_NEW_KEY;
    return reinterpret_cast<SettingsKey>(key);
}

ValueRead registryRead(SettingsKey key, const char* name, char* buffer, uint32_t capacity,
                       uint32_t* size) {
    DWORD type = 0;
    DWORD bytes = capacity;
    const LONG result = RegQueryValueExA(toHkey(key), name, nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer), &bytes);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return ValueRead::Missing;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ValueRead::Missing;
    *size = bytes;
    return result == ERROR_MORE_DATA ? ValueRead::MoreData : ValueRead::Done;
}

bool registryWrite(SettingsKey key, const char* name, const char* text, bool withTerminator) {
    // The buffer's byte after the size is zero only when the terminator is meant to be stored.
    const StringValueBytes bytes = stringValueBytes(text, withTerminator);
    return RegSetValueExA(toHkey(key), name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(bytes.buffer.data()),
                          bytes.size) == ERROR_SUCCESS;
}

void registryClose(SettingsKey key) {
    RegCloseKey(toHkey(key));
}
} // namespace

const SettingsStore RegistrySettings = {registryOpen, registryRead, registryWrite, registryClose};
