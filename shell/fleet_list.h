// The fleet-list syntax that the Linux options and the page's address share:
// "NAME:SIZE,NAME:SIZE", and the fleet entry texts made from it for fleet
// assembly.
#pragma once
#include "data/catalogue.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One "NAME:SIZE" of an alliance option.
struct FleetRequest {
    std::string race;
    int32_t ships = 0;
};

// "Vessari:5,Korrhan:3": names as the catalogue has them, sizes 1 to
// MaxEntryShips, at most MaxFleetShips ships in all. False with `error` set.
bool parseFleetList(std::string_view text, std::vector<FleetRequest>& fleet, std::string& error);

// The fleet list texts of one alliance, as the configuration dialog would have
// stored them, for fleet assembly. Without a request the alliance flies the
// catalogue's first race (alliance 1) or second race (alliance 2, or the first
// when there is only one), 5 ships; with an empty catalogue it has no ships.
// False with `error` set when a requested race is not in the catalogue.
bool fleetEntryTexts(const std::vector<FleetRequest>* requested, int alliance,
                     const RaceCatalogue& catalogue, std::vector<std::string>& entries,
                     std::string& error);

// Ships an alliance flies when no fleet is asked for.
constexpr int32_t DefaultFleetSize = 5;

// Plain decimal digits only, at most `limit`: no sign, no blanks, no suffix.
bool parseDecimal(std::string_view text, unsigned long long limit, unsigned long long& value);

// The text in double quotes, for messages.
std::string quoted(std::string_view text);
