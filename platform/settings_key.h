// The settings key seam: the registry on Windows, an in-memory key in tests.
#pragma once
#include <cstdint>
#include <string>

struct SettingsKeyTag;
// An open settings key; null when it could not be opened.
using SettingsKey = SettingsKeyTag*;

enum class ValueRead {
    Done,     // the bytes are in the buffer and `size` is the stored size
    MoreData, // the buffer is too small; `size` is the stored size
    Missing,  // no such value, or a value that is not a string
};

// The settings live in one key under the machine's root and, for a user who
// saved settings of their own, under that user's root as well.
enum class SettingsRoot { Machine, User };

enum class KeyAccess {
    Read,   // an existing key, for reading only
    Write,  // an existing key, with full access
    Create, // full access, creating the key when absent
};

struct SettingsStore {
    // Opens the key under `root`. Only Create makes a missing key, and
    // `created` tells whether it did. Null when the key is missing (Read,
    // Write) or access is refused.
    SettingsKey (*open)(SettingsRoot root, KeyAccess access, bool* created);
    // Reads a string value through `capacity` bytes of `buffer`.
    ValueRead (*readString)(SettingsKey key, const char* name, char* buffer, uint32_t capacity,
                            uint32_t* size);
    // Stores `text`, with its terminating zero or without it; false when refused.
    bool (*writeString)(SettingsKey key, const char* name, const char* text, bool withTerminator);
    void (*close)(SettingsKey key);
};

// The store the program uses: the Windows entry point installs the registry,
// tests the in-memory key. Null means no settings at all (every open fails).
extern const SettingsStore* ActiveSettings;

// Defined in the Windows program only.
extern const SettingsStore RegistrySettings;

// The bytes to hand to a registry for a string value, and the size to store.
// NT-family registries (and Wine) store one more zero byte when the byte right
// after the data is zero, so a text stored without its terminator is passed
// from a buffer whose next byte is not zero.
struct StringValueBytes {
    std::string buffer; // holds at least size + 1 bytes
    uint32_t size = 0;
};
StringValueBytes stringValueBytes(const char* text, bool withTerminator);
