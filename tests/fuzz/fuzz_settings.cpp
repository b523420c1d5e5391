// libFuzzer entry point: the settings as arbitrary bytes of arbitrary stored
// size, read through the in-memory settings store into the resolution and
// fleet assembly. Whatever is stored, reading must neither fault nor leak, and
// the fleets must stay within their bounds.
//
// Input: values separated by the two bytes FF 0A. Each value's first byte
// says what is stored: '-' nothing, 'b' a binary value, 'e' an expandable
// string, anything else a string; the rest are the stored bytes. The values
// are, in order, "Resolution", "NumList1Items", "NumList2Items", then
// "List1Item0", "List2Item0", "List1Item1", "List2Item1" and so on.
#include "battle/fleet.h"
#include "gl/null_gl.h"
#include "platform/memory_settings.h"
#include "shell/display.h"
#include "shell/settings.h"
#include "tools/forge/seeds.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {
// Two small races, "Aster" and "Brine", in a folder of their own.
const std::string& raceFolder() {
    // Kept until exit, for the clean-up that runs then.
    static const std::string* folder = [] {
        namespace fs = std::filesystem;
        const fs::path path =
            fs::temp_directory_path() / ("kestrion-fuzz-settings-" + std::to_string(::getpid()));
        fs::create_directories(path);
        for (const char* name : {"Aster", "Brine"})
            writeFileBytes((path / (std::string(name) + ".ast")).string(),
                           writeRaceFile(minimalRace(name)));
        std::atexit([] { fs::remove_all(raceFolder()); });
        return new std::string(path.string() + "/");
    }();
    return *folder;
}

void storeValue(const std::string& name, std::string_view value) {
    if (value.empty() || value[0] == '-') return;
    const uint32_t type = value[0] == 'b'   ? BinaryValueType
                          : value[0] == 'e' ? ExpandStringValueType
                                            : StringValueType;
    setMemoryValue(name, std::string(value.substr(1)), type);
}

std::string valueName(size_t index) {
    if (index == 0) return "Resolution";
    if (index <= 2) return "NumList" + std::to_string(index) + "Items";
    const size_t entry = index - 3;
    return "List" + std::to_string(entry % 2 + 1) + "Item" + std::to_string(entry / 2);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool glReady = (installNullGL(), true);
    (void)glReady;
    const std::string& folder = raceFolder();

    installMemorySettings();
    SettingsKey key = openSettingsKey(); // creates the key, so it exists even when empty
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (size_t index = 0; start <= input.size(); ++index) {
        size_t end = input.find("\xff\n", start);
        if (end == std::string_view::npos) end = input.size();
        storeValue(valueName(index), input.substr(start, end - start));
        start = end + 2;
    }

    ScreenWidth = 1;
    ReadResolution();
    if (ScreenWidth != 1 && !resolutionRow(ResolutionIndex)) std::abort();

    for (int alliance = 1; alliance <= 2; ++alliance) {
        if (!assembleFleet(key, alliance, folder)) std::abort(); // both files are readable
        const FleetState& fleet = fleetOf(alliance);
        if (fleet.shipCount < 0 || fleet.shipCount > MaxFleetShips ||
            fleet.raceCount > MaxListEntries)
            std::abort();
        for (int32_t i = 0; i < fleet.shipCount; ++i)
            if (fleet.ships[i].raceIndex < 0 || fleet.ships[i].raceIndex >= fleet.raceCount ||
                fleet.ships[i].alliance != alliance)
                std::abort();
    }
    closeSettingsKey(key);
    releaseFleet(Fleets[0]);
    releaseFleet(Fleets[1]);
    return 0;
}
