// What the OBJ and glTF importers share: reading the model's files, the
// texture table, and the ending that turns, sizes and completes the race.
#pragma once
#include "tools/forge/authoring.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

bool failWith(ForgeReport& report, const std::string& error);

// Reads a file, telling a missing one from one that cannot be read.
FileState readInput(const std::filesystem::path& path, std::vector<uint8_t>& bytes);

// The texture table: one entry per picture key (a texture file, a plain
// colour), in the order the parts first use them.
struct TextureTable {
    std::map<std::string, int> byKey;
    std::vector<ImageRecord> images;

    int add(const std::string& key, const Picture& picture);
    // A small picture of one colour, channels 0..1.
    int addPlain(const float* colour);
};

// Parts without a material take this colour.
extern const float NoMaterialColour[3];

// Completes a race whose parts hold the model's own positions: turns, centres
// and scales them, takes the names, colours, missile and shield from `options`
// and checks the result. `model` holds the parts and the textures.
bool finishImport(const ImportOptions& options, RaceFileRecord& model, RaceFileRecord& race,
                  ForgeReport& report);
