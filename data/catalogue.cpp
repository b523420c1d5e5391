#include "data/catalogue.h"

#include "data/formats.h"
#include "data/text.h"
#include "platform/directory.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

bool hasRaceExtension(const std::string& name) {
    static const char extension[] = ".ast";
    if (name.size() < 4) return false;
    for (size_t i = 0; i < 4; ++i) {
        unsigned char c = static_cast<unsigned char>(name[name.size() - 4 + i]);
        if (std::tolower(c) != extension[i]) return false;
    }
    return true;
}

// Only the head is read: at most the head value and two texts of 99 bytes.
bool readHead(const std::string& path, std::string& raceName, std::string& description) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    uint8_t head[RaceHeadMaxBytes];
    size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return parseRaceHead(head, got, raceName, description, nullptr);
}

void copyText(char (&field)[100], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), utf8Cut(text, sizeof field - 1));
}

} // namespace

RaceCatalogue scanRaceCatalogue(const std::string& directory) {
    RaceCatalogue catalogue;
    for (const std::string& name : listDirectory(directory)) {
        if (!hasRaceExtension(name) || name.size() > 99) continue;
        std::string raceName, description;
        if (!readHead(directory + name, raceName, description)) continue;
        RaceCatalogueEntry entry;
        copyText(entry.fileName, name);
        copyText(entry.raceName, raceText(raceName));
        copyText(entry.description, raceText(description));
        catalogue.entries.push_back(entry);
    }
    catalogue.count = static_cast<int32_t>(catalogue.entries.size());
    return catalogue;
}
