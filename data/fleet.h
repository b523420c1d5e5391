// The two fleets the battle runs on, built from the settings.
#pragma once
#include "battle/ship.h"
#include "data/race_data.h"

#include <cstdint>

struct FleetState {
    RaceData* races = nullptr; // one per fleet entry, in list order
    int32_t raceCount = 0;
    Ship* ships = nullptr;     // shipCount records, laid out entry by entry
    int32_t shipCount = 0;
};

// Fleets[0] is alliance 1, Fleets[1] alliance 2.
extern FleetState Fleets[2];

inline FleetState& fleetOf(int alliance) { return Fleets[alliance == 2 ? 1 : 0]; }
inline FleetState& enemyFleetOf(int alliance) { return Fleets[alliance == 2 ? 0 : 1]; }
inline const RaceData& raceOf(const Ship& ship) {
    return fleetOf(ship.alliance).races[ship.raceIndex];
}

// Releases a fleet's ships, races and everything they own, leaving it empty.
void releaseFleet(FleetState& fleet);
