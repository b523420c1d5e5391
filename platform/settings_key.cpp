#include "platform/settings_key.h"

const SettingsStore* ActiveSettings = nullptr;

StringValueBytes stringValueBytes(const char* text, bool withTerminator) {
    StringValueBytes bytes;
    bytes.buffer = text;
    bytes.size = static_cast<uint32_t>(bytes.buffer.size());
    if (withTerminator) {
        ++bytes.size; // std::string keeps a zero after its text
    } else {
        bytes.buffer.push_back('\x01'); // not zero: nothing more gets stored
    }
    return bytes;
}
