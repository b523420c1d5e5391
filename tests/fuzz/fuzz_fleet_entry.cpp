// libFuzzer entry point: the fleet entry text, as the dialog writes it and as
// fleet assembly reads it back. Any text gives a ship count within bounds; a
// written entry gives back its own count; the fleet-size edit and the settings
// count read the same number from the same text.
//
// Input: race name, fleet-size text and description, separated by zero bytes.
#include "battle/fleet.h"
#include "shell/config_logic.h"
#include "shell/settings.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string whole(reinterpret_cast<const char*>(data), size);
    const int32_t count = entryShipCount(whole);
    if (count < 0 || count > MaxEntryShips) std::abort();

    const size_t firstZero = std::min(whole.find('\0'), whole.size());
    const size_t secondZero = std::min(whole.find('\0', firstZero + 1), whole.size());
    const std::string name = fitRaceName(whole.substr(0, firstZero));
    const std::string sizeText =
        firstZero < whole.size() ? whole.substr(firstZero + 1, secondZero - firstZero - 1) : "";
    const std::string description =
        secondZero < whole.size() ? whole.substr(secondZero + 1) : std::string();

    const int fleetSize = fleetSizeFromText(sizeText);
    // The edit skips blanks and tabs only; the settings count skips any white space.
    if (sizeText.find_first_of("\n\v\f\r") == std::string::npos &&
        fleetSize != leadingNumber(sizeText.c_str()))
        std::abort();

    const std::string entry = formatFleetEntry(name, fleetSize, description);
    if (entry.size() > FleetEntryLimit || entry.empty() || entry.back() != '"') std::abort();
    // The name comes first, so only a name holding "(" can change the count read back.
    if (name.find('(') == std::string::npos &&
        entryShipCount(entry) != std::clamp(fleetSize, 0, MaxEntryShips))
        std::abort();
    const std::vector<std::string> entries = {entry};
    if (entryReplacedByAdd(entries, name) != 0) std::abort();
    return 0;
}
