// libFuzzer entry point: the effects file parser must reject or accept any
// bytes without reading out of bounds, and what it accepts must survive a rewrite.
#include "data/formats.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EffectsFileRecord effects;
    std::string error;
    if (!parseEffectsFile(data, size, effects, &error)) return 0;
    std::vector<uint8_t> again = writeEffectsFile(effects);
    if (again.size() > size || !std::equal(again.begin(), again.end(), data)) std::abort();
    return 0;
}
