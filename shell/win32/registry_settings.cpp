// The settings keys in the registry: "Software\Quorvane\Kestrion" under
// HKEY_LOCAL_MACHINE and under HKEY_CURRENT_USER.
#include "platform/settings_key.h"

#include <windows.h>

namespace {
HKEY toHkey(SettingsKey key) {
    return reinterpret_cast<HKEY>(key);
}

const char* const SettingsPath = "Software\\Quorvane\\Kestrion";

SettingsKey registryOpen(SettingsRoot root, KeyAccess access, bool* created) {
    if (created) *created = false;
    HKEY const parent = root == SettingsRoot::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    HKEY key = nullptr;
    if (access == KeyAccess::Create) {
        DWORD disposition = 0;
        if (RegCreateKeyExA(parent, SettingsPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
            return nullptr;
        if (created) *created = disposition == REG_CREATED_NEW_KEY;
    } else {
        const REGSAM rights = access == KeyAccess::Write ? KEY_ALL_ACCESS : KEY_READ;
        if (RegOpenKeyExA(parent, SettingsPath, 0, rights, &key) != ERROR_SUCCESS) return nullptr;
    }
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
