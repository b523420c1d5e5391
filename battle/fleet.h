// The two fleets the battle runs on, built from the settings.
#pragma once
#include "battle/ship.h"
#include "data/catalogue.h"
#include "data/race_data.h"
#include "platform/settings_key.h"

#include <cstdint>
#include <string>
#include <vector>

struct FleetState {
    RaceData* races = nullptr; // one per entry that names a race, in list order
    int32_t raceCount = 0;
    Ship* ships = nullptr; // shipCount records, laid out entry by entry
    int32_t shipCount = 0;
};

// Fleets[0] is alliance 1, Fleets[1] alliance 2.
extern FleetState Fleets[2];

inline FleetState& fleetOf(int alliance) {
    return Fleets[alliance == 2 ? 1 : 0];
}
inline FleetState& enemyFleetOf(int alliance) {
    return Fleets[alliance == 2 ? 0 : 1];
}
inline const RaceData& raceOf(const Ship& ship) {
    return fleetOf(ship.alliance).races[ship.raceIndex];
}

// Releases a fleet's ships, races and everything they own, leaving it empty.
void releaseFleet(FleetState& fleet);

// Bounds on what a fleet list can ask for. The dialog offers 1 to 20 ships per
// entry; these stay far above that yet keep a damaged or hand-edited count from
// allocating gigabytes. Every ship checks every enemy each frame and draws its
// hull and a 48-triangle shield bubble vertex by vertex, so a thousand ships a
// side is about what the saver can still draw as a moving picture.
constexpr int32_t MaxEntryShips = 500;
constexpr int32_t MaxFleetShips = 1000;

// Builds the fleet of alliance 1 or 2 from its list in the open settings key and
// the race files in `directory` (ending in a path separator), replacing the
// fleet that was there. Each entry loads the first catalogue race whose name
// occurs in its text; an entry naming no race is left out with its ships. Ship
// counts below 0 count as 0 and are bounded by MaxEntryShips and, over the whole
// fleet, MaxFleetShips. Returns 1, or 0 when a listed race's file cannot be read
// (nothing is stored then). Needs a current GL context.
int assembleFleet(SettingsKey key, int alliance, const std::string& directory);

// The same from a fleet list already in hand, one entry text per element, as
// the dialog stores them (the Linux program builds them from its options).
int assembleFleetFromEntries(const std::vector<std::string>& entries, int alliance,
                             const std::string& directory);

// The race an entry loads: the first catalogue race, in catalogue order, whose
// name occurs in the entry text; an empty name occurs in every entry.
const RaceCatalogueEntry* findListedRace(const RaceCatalogue& catalogue, const std::string& entry);

// The ship count of a fleet list entry: the number right after its first "(",
// 0 when there is none, bounded to 0 to MaxEntryShips.
int32_t entryShipCount(const std::string& entry);

// Both fleets inside one opening of the settings key, as the dialog saved them:
// what the saver's scene set-up builds its fleets with (BuildFleets).
bool buildFleetsFromSettings(const std::string& directory);
