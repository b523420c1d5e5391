#include "tests/support/headless_battle.h"

#include "battle/fleet.h"
#include "data/scene.h"
#include "gl/gl_state.h"
#include "gl/null_gl.h"
#include "platform/clock.h"
#include "platform/memory_settings.h"
#include "platform/random.h"
#include "render/smoke.h"
#include "shell/display.h"
#include "shell/settings.h"
#include "tools/forge/forge.h"

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
// A data set of this process's own: the soaks, the layer's comparison and the
// bench run side by side, and one writing the set while another reads it made
// the reader's scene fail. It goes when the process ends.
struct OwnDataSet {
    std::string path;
    ~OwnDataSet() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
};

bool writeDataSetOnce(std::string* error) {
    static OwnDataSet dataSet;
    static std::string folder;
    if (folder.empty()) {
        const std::string path = headlessDataFolder(getpid());
        dataSet.path = path;
        if (!writeDefaultDataSet(path, error)) return false;
        folder = path + "/";
    }
    ProgramDirectory = folder;
    BuildFleets = buildFleetsFromSettings;
    return true;
}
} // namespace

std::string headlessDataFolder(long pid) {
    return (std::filesystem::temp_directory_path() / ("kestrion-bench-data-" + std::to_string(pid)))
        .string();
}

bool configureHeadlessBattle(int perSide, uint32_t clockStart, uint32_t seed, std::string* error) {
    releaseFleet(Fleets[0]);
    releaseFleet(Fleets[1]);
    if (!writeDataSetOnce(error)) return false;
    installMemorySettings();
    const auto races = buildDefaultRaces();
    const int raceCount = static_cast<int>(races.size());
    for (int alliance = 1; alliance <= 2; ++alliance) {
        std::vector<std::string> entries;
        for (int r = 0; r < raceCount; ++r) {
            int ships = perSide / raceCount + (r < perSide % raceCount ? 1 : 0);
            if (ships == 0) continue;
            entries.push_back(
                fleetEntryText(races[r].record.raceName, ships, races[r].record.description));
        }
        writeAllianceList(alliance, entries);
    }
    installNullGL();
    MultitextureAvailable = 1;
    useFakeClock(clockStart);
    seedRandom(seed);
    createPuffList();
    return true;
}
