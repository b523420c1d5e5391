#include "tests/support/race_files.h"

#include "data/catalogue.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {
ImageRecord solidImage(int bytesPerPixel, uint8_t value) {
    ImageRecord image;
    image.width = 2;
    image.height = 2;
    image.pixels.assign(size_t(4 * bytesPerPixel), value);
    return image;
}
} // namespace

RaceFileRecord smallRace(const std::string& name, const std::string& description, int partCount) {
    RaceFileRecord race;
    race.raceName = name;
    race.description = description;
    race.textures.push_back(solidImage(3, 0x80));
    for (int i = 0; i < partCount; ++i) {
        PartRecord part;
        const float x = float(i);
        part.mesh.positions = {{{x, 0, 0}}, {{x + 1, 0, 0}}, {{x, 1, 0}}};
        part.mesh.triangles = {{0, 1, 2}};
        part.mesh.texCoords = {{{0, 0}}, {{1, 0}}, {{0, 1}}};
        race.parts.push_back(part);
    }
    race.projectile = solidImage(4, 0xff);
    // A ring of 26 points; 48 triangles fanned over it.
    for (int i = 0; i < 26; ++i) {
        const float angle = float(i) * 0.2416f;
        race.shield.positions.push_back({{std::cos(angle), std::sin(angle), 0}});
        race.shield.texCoords.push_back({{0, 0}});
    }
    for (int f = 0; f < 48; ++f)
        race.shield.triangles.push_back({0, 1 + f % 24, 2 + f % 24});
    return race;
}

TempDirectory::TempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrion-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary directory");
    path = pattern + "/";
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void writeRace(const std::string& directory, const std::string& fileName,
               const RaceFileRecord& race) {
    if (!writeFileBytes(directory + fileName, writeRaceFile(race)))
        throw std::runtime_error("cannot write " + directory + fileName);
}

std::vector<std::string> writeRacesInCatalogueOrder(const std::string& directory,
                                                    const std::vector<RaceFileRecord>& races) {
    for (size_t i = 0; i < races.size(); ++i)
        writeRace(directory, "race" + std::to_string(i) + ".ast", races[i]);
    std::vector<std::string> order;
    for (const RaceCatalogueEntry& entry : scanRaceCatalogue(directory).entries)
        order.push_back(entry.fileName);
    if (order.size() != races.size())
        throw std::runtime_error("the catalogue of " + directory + " lost a race file");
    for (size_t i = 0; i < races.size(); ++i)
        writeRace(directory, order[i], races[i]);
    return order;
}
