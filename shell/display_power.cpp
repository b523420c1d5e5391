#include "shell/display_power.h"

#include <cstdint>
#include <cstring>

// Data1 (32 bits), Data2 and Data3 (16 bits each) little-endian, then Data4.
const unsigned char ConsoleDisplayStateGuid[16] = {0x56, 0x95, 0xE6, 0x6F, 0x4A, 0x70, 0xA0, 0x47,
                                                   0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47};

bool decodeDisplayPower(const unsigned char* setting, DisplayPower& state) {
    if (!setting || std::memcmp(setting, ConsoleDisplayStateGuid, 16) != 0) return false;
    const unsigned char* length = setting + 16;
    const uint32_t dataLength =
        length[0] | length[1] << 8 | length[2] << 16 | uint32_t{length[3]} << 24;
    if (dataLength < 4) return false;
    const unsigned char* data = setting + PowerSettingHeaderSize;
    const uint32_t value = data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24;
    if (value > 2) return false;
    state = static_cast<DisplayPower>(value);
    return true;
}
