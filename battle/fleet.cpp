#include "battle/fleet.h"

#include "data/catalogue.h"
#include "data/race_reader.h"
#include "data/settings.h"

#include <algorithm>
#include <cstring>
#include <vector>

FleetState Fleets[2];

const RaceCatalogueEntry* findListedRace(const RaceCatalogue& catalogue, const std::string& entry) {
    for (const RaceCatalogueEntry& race : catalogue.entries)
        if (entry.find(race.raceName) != std::string::npos) return &race;
    return nullptr;
}

int32_t entryShipCount(const std::string& entry) {
    const size_t open = entry.find('(');
    if (open == std::string::npos) return 0;
    return std::clamp(leadingNumber(entry.c_str() + open + 1), 0, MaxEntryShips);
}

int assembleFleet(SettingsKey key, int alliance, const std::string& directory) {
    if (alliance != 1 && alliance != 2) return 0;
    return assembleFleetFromEntries(readAllianceList(key, alliance), alliance, directory);
}

int assembleFleetFromEntries(const std::vector<std::string>& entries, int alliance,
                             const std::string& directory) {
    if (alliance != 1 && alliance != 2) return 0;
    const RaceCatalogue catalogue = scanRaceCatalogue(directory);

    std::vector<RaceData> races;
    std::vector<int32_t> counts;
    for (const std::string& entry : entries) {
        const RaceCatalogueEntry* listed = findListedRace(catalogue, entry);
        // A race file removed since the list was saved: the rest of the fleet still flies.
        if (!listed) continue;
        RaceData race;
        if (!readRaceFile(directory + listed->fileName, race)) {
            for (RaceData& loaded : races)
                releaseRaceData(loaded);
            return 0;
        }
        races.push_back(race);
        counts.push_back(entryShipCount(entry));
    }

    int32_t shipCount = 0;
    for (int32_t& count : counts) {
        count = std::min(count, MaxFleetShips - shipCount);
        shipCount += count;
    }

    FleetState fleet;
    fleet.raceCount = static_cast<int32_t>(races.size());
    if (!races.empty()) {
        fleet.races = new RaceData[races.size()];
        std::copy(races.begin(), races.end(), fleet.races);
    }
    fleet.shipCount = shipCount;
    if (shipCount > 0) fleet.ships = new Ship[size_t(shipCount)];
    int32_t s = 0;
    for (int32_t i = 0; i < fleet.raceCount; ++i)
        for (int32_t c = 0; c < counts[size_t(i)]; ++c)
            initShipForRace(fleet.ships[s++], alliance, i, fleet.races[i].meshCount);

    releaseFleet(fleetOf(alliance));
    fleetOf(alliance) = fleet;
    return 1;
}

void releaseFleet(FleetState& fleet) {
    delete[] fleet.ships; // each Ship releases its own lists and damage array
    for (int32_t i = 0; i < fleet.raceCount; ++i)
        releaseRaceData(fleet.races[i]);
    delete[] fleet.races;
    fleet = FleetState{};
}

bool buildFleetsFromSettings(const std::string& directory) {
    SettingsKey key = openSettingsKey();
    bool built = assembleFleet(key, 1, directory) && assembleFleet(key, 2, directory);
    closeSettingsKey(key);
    return built;
}
