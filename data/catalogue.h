// The race catalogue: one entry per readable race file in the program directory.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct RaceCatalogueEntry {
    char fileName[100];    // as found, with its ".ast" extension, no directory
    char raceName[100];    // terminated, UTF-8 (see raceText)
    char description[100]; // terminated, UTF-8
};

// Entries in directory enumeration order; that order is the catalogue index.
struct RaceCatalogue {
    std::vector<RaceCatalogueEntry> entries;
    int32_t count = 0;
};

// Lists every "*.ast" file (extension in any case) of `directory`, which ends in
// a path separator, reading only each file's head. A file that cannot be
// opened, whose head is cut short or holds a text over 99 bytes, or whose name
// does not fit in 99 bytes is left out and not counted.
RaceCatalogue scanRaceCatalogue(const std::string& directory);
