#include "shell/fleet_list.h"

#include "battle/fleet.h"
#include "shell/config_logic.h"

namespace {
std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

const RaceCatalogueEntry* catalogueRace(const RaceCatalogue& catalogue, const std::string& name) {
    for (const RaceCatalogueEntry& entry : catalogue.entries)
        if (name == entry.raceName) return &entry;
    return nullptr;
}

std::string knownRaces(const RaceCatalogue& catalogue) {
    if (catalogue.entries.empty()) return "none (the data folder has no race files)";
    std::string names;
    for (const RaceCatalogueEntry& entry : catalogue.entries)
        names += (names.empty() ? "" : ", ") + std::string(entry.raceName);
    return names;
}
} // namespace

bool parseDecimal(std::string_view text, unsigned long long limit, unsigned long long& value) {
    if (text.empty()) return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + unsigned(c - '0');
        if (value > limit) return false;
    }
    return true;
}

std::string quoted(std::string_view text) {
    std::string result(1, '"');
    result.append(text);
    result += '"';
    return result;
}

bool parseFleetList(std::string_view text, std::vector<FleetRequest>& fleet, std::string& error) {
    fleet.clear();
    if (trimmed(text).empty()) {
        error = "the fleet list is empty; give it as NAME:SIZE,NAME:SIZE";
        return false;
    }
    int64_t total = 0;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string_view item =
            trimmed(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        const size_t colon = item.rfind(':');
        if (item.empty() || colon == std::string_view::npos) {
            error = "fleet entry " + quoted(item) + " is not NAME:SIZE";
            return false;
        }
        FleetRequest request;
        request.race = std::string(trimmed(item.substr(0, colon)));
        const std::string_view size = trimmed(item.substr(colon + 1));
        unsigned long long ships = 0;
        if (request.race.empty()) {
            error = "fleet entry " + quoted(item) + " has no race name";
            return false;
        }
        if (!parseDecimal(size, MaxEntryShips, ships) || ships == 0) {
            error = "fleet size " + quoted(size) + " of " + request.race +
                    " is not a number from 1 to " + std::to_string(MaxEntryShips);
            return false;
        }
        request.ships = static_cast<int32_t>(ships);
        total += request.ships;
        fleet.push_back(request);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (total > MaxFleetShips) {
        error = "the fleet has " + std::to_string(total) + " ships; at most " +
                std::to_string(MaxFleetShips) + " fly on a side";
        return false;
    }
    return true;
}

bool fleetEntryTexts(const std::vector<FleetRequest>* requested, int alliance,
                     const RaceCatalogue& catalogue, std::vector<std::string>& entries,
                     std::string& error) {
    entries.clear();
    if (!requested) {
        if (catalogue.entries.empty()) return true;
        const size_t first = alliance == 2 && catalogue.entries.size() > 1 ? 1 : 0;
        const RaceCatalogueEntry& race = catalogue.entries[first];
        entries.push_back(formatFleetEntry(race.raceName, DefaultFleetSize, race.description));
        return true;
    }
    for (const FleetRequest& request : *requested) {
        const RaceCatalogueEntry* race = catalogueRace(catalogue, request.race);
        if (!race) {
            error = "--alliance" + std::to_string(alliance) + ": unknown race " +
                    quoted(request.race) + "; known races: " + knownRaces(catalogue);
            return false;
        }
        std::string entry = formatFleetEntry(race->raceName, request.ships, race->description);
        // The fleet assembly picks a race by its name within the entry text; a
        // name the entry cannot hold whole, or an earlier race whose name lies
        // within it, would fly another race or none.
        const RaceCatalogueEntry* listed = findListedRace(catalogue, entry);
        if (listed != race) {
            error = "--alliance" + std::to_string(alliance) + ": race " + quoted(request.race) +
                    (listed ? " cannot be told apart from " + quoted(listed->raceName) +
                                  ", whose name lies within it"
                            : " has a name longer than a fleet entry holds (" +
                                  std::to_string(RaceNameLimit) + " characters)");
            return false;
        }
        entries.push_back(std::move(entry));
    }
    return true;
}
