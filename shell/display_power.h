// The console display's state, as Windows reports it in a power-setting
// notification: off, on or dimmed. Nothing is drawn unless it is on.
#pragma once
#include <cstddef>

enum class DisplayPower { Off = 0, On = 1, Dimmed = 2 };

// Reads a power-setting notification laid out as the system sends it: the
// setting's GUID (16 bytes), the data's length (32 bits, little-endian), the
// data. True, with the state, when it is the console display's state with a
// value we know; false for any other setting or value.
bool decodeDisplayPower(const unsigned char* setting, DisplayPower& state);

// The bytes of the console display state's GUID, {6FE69556-704A-47A0-8F24-C28D936FDA47},
// as a GUID lies in memory.
extern const unsigned char ConsoleDisplayStateGuid[16];
constexpr size_t PowerSettingHeaderSize = 20; // GUID and data length
