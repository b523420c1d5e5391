// Race files for tests: small valid records written into a private directory.
#pragma once
#include "data/formats.h"

#include <string>
#include <vector>

// A valid race: `partCount` one-triangle parts on one 2x2 texture, a 2x2
// missile sprite and a shield of 26 vertices and 48 triangles.
RaceFileRecord smallRace(const std::string& name, const std::string& description,
                         int partCount = 2);

// A fresh directory under the system's temporary folder, removed with its
// files when the object goes. `path` ends in a path separator.
struct TempDirectory {
    std::string path;
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
};

void writeRace(const std::string& directory, const std::string& fileName,
               const RaceFileRecord& race);

// Writes the races so that the directory's catalogue lists them in the given
// order (the enumeration order is the file system's, so the records are placed
// into files once that order is known). Returns the file names in that order.
std::vector<std::string> writeRacesInCatalogueOrder(const std::string& directory,
                                                    const std::vector<RaceFileRecord>& races);
