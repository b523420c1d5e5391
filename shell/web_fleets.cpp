#include "shell/web_fleets.h"

#include "battle/fleet.h"
#include "data/formats.h"
#include "data/text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {
int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "%41" and "+" as a browser writes them; a "%" without two hex digits stays.
std::string percentDecoded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
            hexDigit(text[i + 2]) >= 0) {
            out += char(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

// Decimal digits only, within 32 bits.
bool parseSeed(const std::string& text, uint32_t& seed) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint64_t(c - '0');
    }
    if (value > UINT32_MAX) return false;
    seed = uint32_t(value);
    return true;
}

// The Linux options' messages name the option; the page names the alliance.
std::string forThePage(std::string message) {
    for (const char* option : {"--alliance1: ", "--alliance2: "})
        if (message.rfind(option, 0) == 0)
            return std::string("alliance ") + option[10] + ": " + message.substr(13);
    return message;
}

// The fragment's "key=value" parts as they stand, "#" and empty parts left out.
std::vector<std::string_view> addressParts(std::string_view fragment) {
    if (!fragment.empty() && fragment[0] == '#') fragment.remove_prefix(1);
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= fragment.size()) {
        const size_t end = std::min(fragment.find('&', start), fragment.size());
        if (end > start) parts.push_back(fragment.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string partKey(std::string_view part) {
    return percentDecoded(part.substr(0, part.find('=')));
}

// The last value given for `key`, percent-decoded; false when there is none.
bool addressValue(std::string_view fragment, std::string_view key, std::string& value) {
    bool given = false;
    for (const std::string_view part : addressParts(fragment)) {
        if (partKey(part) != key) continue;
        const size_t equals = part.find('=');
        value = equals == std::string_view::npos ? std::string()
                                                 : percentDecoded(part.substr(equals + 1));
        given = true;
    }
    return given;
}

// Text for an address value: what a fleet list needs stays readable.
std::string percentEncoded(std::string_view text) {
    static const char* const digits = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || std::strchr("-_.~:,", c)) {
            out += c;
        } else {
            out += '%';
            out += digits[u >> 4];
            out += digits[u & 15];
        }
    }
    return out;
}

// The fragment with `key` set to `value` in place of any it had.
std::string withAddressValue(std::string_view fragment, const std::string& key,
                             std::string_view value) {
    std::string out;
    bool placed = false;
    const std::string part = key + "=" + percentEncoded(value);
    for (const std::string_view old : addressParts(fragment)) {
        const bool same = partKey(old) == key;
        if (same && placed) continue;
        out += (out.empty() ? "" : "&") + (same ? part : std::string(old));
        placed = placed || same;
    }
    return placed ? out : out + (out.empty() ? "" : "&") + part;
}

bool readFrameCap(const std::string& text, int& cap, std::string& error) {
    unsigned long long frames = 0;
    if (!parseDecimal(text, 1000000, frames)) {
        error = "fps: " + quoted(text) + " is not a whole number of frames a second";
        return false;
    }
    if (frames < unsigned(MinFrameCap)) {
        error = "fps: " + text + " frames a second is too few; give " +
                std::to_string(MinFrameCap) + " to " + std::to_string(MaxFrameCap) +
                ", or more for every frame the display shows";
        return false;
    }
    cap = frames > unsigned(MaxFrameCap) ? 0 : int(frames);
    return true;
}

bool readSwitch(const std::string& text, bool& on, std::string& error) {
    if (text == "1" || text == "true")
        on = true;
    else if (text == "0" || text == "false")
        on = false;
    else
        error = "smooth: " + quoted(text) + " is not 1 or 0 (true or false)";
    return error.empty();
}
} // namespace

AddressFleets parseFleetAddress(std::string_view fragment) {
    AddressFleets fleets;
    if (!fragment.empty() && fragment[0] == '#') fragment.remove_prefix(1);
    size_t start = 0;
    while (start <= fragment.size()) {
        const size_t end = std::min(fragment.find('&', start), fragment.size());
        const std::string_view part = fragment.substr(start, end - start);
        start = end + 1;
        const size_t equals = part.find('=');
        const std::string key = percentDecoded(part.substr(0, equals));
        if (key == "seed") {
            const std::string value = equals == std::string_view::npos
                                          ? std::string()
                                          : percentDecoded(part.substr(equals + 1));
            if (!parseSeed(value, fleets.seed)) {
                fleets.error = "seed \"" + value + "\" is not a number from 0 to 4294967295";
                return fleets;
            }
            fleets.seeded = true;
            continue;
        }
        if (key != "alliance1" && key != "alliance2") continue;
        const int side = key == "alliance1" ? 0 : 1;
        const std::string value = equals == std::string_view::npos
                                      ? std::string()
                                      : percentDecoded(part.substr(equals + 1));
        fleets.given[side] = true;
        fleets.alliances[side].clear();
        std::string problem;
        if (value.find_first_not_of(" \t") != std::string::npos &&
            !parseFleetList(value, fleets.alliances[side], problem)) {
            fleets.error = key.substr(0, 8) + " " + key.substr(8) + ": " + problem;
            return fleets;
        }
    }
    return fleets;
}

bool addressFleetEntries(const AddressFleets& fleets, const RaceCatalogue& catalogue,
                         std::vector<std::string> (&entries)[2], std::string& error) {
    for (int side = 0; side < 2; ++side) {
        const std::vector<FleetRequest>* requested =
            fleets.given[side] ? &fleets.alliances[side] : nullptr;
        if (!fleetEntryTexts(requested, side + 1, catalogue, entries[side], error)) {
            error = forThePage(error);
            return false;
        }
    }
    return true;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string addressFleetsJson(const AddressFleets& fleets) {
    std::string json = "{";
    for (int side = 0; side < 2; ++side) {
        json += side ? ",\"alliance2\":" : "\"alliance1\":";
        if (!fleets.given[side]) {
            json += "null";
            continue;
        }
        json += "[";
        for (size_t i = 0; i < fleets.alliances[side].size(); ++i)
            json += (i ? ",{\"race\":" : "{\"race\":") +
                    jsonString(fleets.alliances[side][i].race) +
                    ",\"ships\":" + std::to_string(fleets.alliances[side][i].ships) + "}";
        json += "]";
    }
    return json + ",\"error\":" + jsonString(fleets.error) + "}";
}

std::string catalogueJson(const RaceCatalogue& catalogue) {
    std::string json = "{\"races\":[";
    for (size_t i = 0; i < catalogue.entries.size(); ++i) {
        const RaceCatalogueEntry& entry = catalogue.entries[i];
        json += (i ? ",{\"name\":" : "{\"name\":") + jsonString(entry.raceName) +
                ",\"description\":" + jsonString(entry.description) +
                ",\"file\":" + jsonString(entry.fileName) + "}";
    }
    return json + "],\"maxEntryShips\":" + std::to_string(MaxEntryShips) +
           ",\"maxFleetShips\":" + std::to_string(MaxFleetShips) + "}";
}

std::string checkDroppedRace(const std::string& fileName, const uint8_t* bytes, size_t size,
                             const RaceCatalogue& catalogue, std::string& raceName) {
    RaceFileRecord record;
    std::string problem;
    raceName.clear();
    if (!parseRaceFile(bytes, size, record, &problem))
        return fileName + " is not a race file we can read: " + problem;
    std::string description;
    if (!parseRaceHead(bytes, size, raceName, description, &problem))
        return fileName + " is not a race file we can read: " + problem;
    raceName = raceText(raceName);
    for (const RaceCatalogueEntry& entry : catalogue.entries)
        if (raceName == entry.raceName)
            return fileName + ": a race named \"" + raceName + "\" is already in the lists";

    // As it would join: last in the catalogue, and it must fly as itself.
    RaceCatalogue joined = catalogue;
    RaceCatalogueEntry entry = {};
    const std::string shownDescription = raceText(description);
    std::snprintf(entry.raceName, sizeof entry.raceName, "%s", raceName.c_str());
    std::snprintf(entry.description, sizeof entry.description, "%s", shownDescription.c_str());
    std::snprintf(entry.fileName, sizeof entry.fileName, "%s", "dropped.ast");
    joined.entries.push_back(entry);
    joined.count = static_cast<int32_t>(joined.entries.size());
    const std::vector<FleetRequest> request = {{entry.raceName, 1}};
    std::vector<std::string> entries;
    if (!fleetEntryTexts(&request, 1, joined, entries, problem))
        return fileName + ": " + forThePage(problem).substr(12);
    return {};
}

std::string droppedRaceFileName(const std::string& fileName, const RaceCatalogue& catalogue) {
    std::string stem = fileName;
    const size_t slash = stem.find_last_of("/\\");
    if (slash != std::string::npos) stem = stem.substr(slash + 1);
    if (stem.size() >= 4) {
        std::string tail = stem.substr(stem.size() - 4);
        for (char& c : tail)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (tail == ".ast") stem.resize(stem.size() - 4);
    }
    for (char& c : stem)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.')
            c = '_';
    if (stem.size() > 80) stem.resize(80);
    if (stem.empty()) stem = "race";
    auto taken = [&](const std::string& name) {
        for (const RaceCatalogueEntry& entry : catalogue.entries) {
            const std::string other = entry.fileName;
            if (other.size() != name.size()) continue;
            bool same = true;
            for (size_t i = 0; i < name.size() && same; ++i)
                same = std::tolower(static_cast<unsigned char>(name[i])) ==
                       std::tolower(static_cast<unsigned char>(other[i]));
            if (same) return true;
        }
        return false;
    };
    std::string name = stem + ".ast";
    for (int number = 2; taken(name); ++number)
        name = stem + "-" + std::to_string(number) + ".ast";
    return name;
}

PageSettings parsePageSettings(std::string_view fragment) {
    PageSettings settings;
    std::string value;
    if (addressValue(fragment, "fps", value) &&
        !readFrameCap(value, settings.frameCap, settings.error))
        return settings;
    if (addressValue(fragment, "smooth", value)) readSwitch(value, settings.smooth, settings.error);
    return settings;
}

std::string pageSettingsJson(const PageSettings& settings) {
    return "{\"fps\":" + std::to_string(settings.frameCap) +
           ",\"smooth\":" + (settings.smooth ? "true" : "false") +
           ",\"error\":" + jsonString(settings.error) + "}";
}

SettingChange applyHostSetting(std::string_view fragment, std::string_view name,
                               std::string_view type, std::string_view value,
                               const RaceCatalogue& catalogue) {
    SettingChange change;
    change.fragment = fragment;
    const std::string key(name), text(value);
    std::string old;
    if (addressValue(fragment, key, old) && old == text) return change;
    if (key == "alliance1" || key == "alliance2") {
        const std::string side = "alliance " + key.substr(8);
        const char* const keep = "; the fleets stay as they were";
        if (type != "string") {
            change.error = side + " takes fleets as text such as \"Vessari:10,Thyl:5\", not a " +
                           std::string(type) + keep;
            return change;
        }
        if (text.find_first_not_of(" \t") == std::string::npos) {
            change.error = side + ": the text is empty; give fleets such as \"Vessari:10,Thyl:5\"" +
                           std::string(keep);
            return change;
        }
        const std::string next = withAddressValue(fragment, key, text);
        const AddressFleets fleets = parseFleetAddress(next);
        std::vector<std::string> entries[2];
        std::string error = fleets.error;
        if (error.empty()) addressFleetEntries(fleets, catalogue, entries, error);
        if (!error.empty()) {
            change.error = error + keep;
            return change;
        }
        change.fragment = next;
        change.changed = "fleets";
        return change;
    }
    if (key == "fps" || key == "smooth") {
        if (type != "number" && type != "string" && type != "boolean") {
            change.error = key + " takes a " + (key == "fps" ? "number" : "switch") + ", not a " +
                           std::string(type);
        } else {
            int cap = 0;
            bool on = false;
            if (key == "fps" ? readFrameCap(text, cap, change.error)
                             : readSwitch(text, on, change.error)) {
                change.fragment = withAddressValue(fragment, key, text);
                change.changed = key;
                return change;
            }
        }
        change.error +=
            key == "fps" ? "; the frame rate stays as it was" : "; smooth edges stay as they were";
        return change;
    }
    change.error = "there is no setting named " + quoted(key) + "; it is left alone";
    return change;
}

std::string settingChangeJson(const SettingChange& change) {
    return "{\"fragment\":" + jsonString(change.fragment) +
           ",\"changed\":" + jsonString(change.changed) + ",\"error\":" + jsonString(change.error) +
           "}";
}
