// The fuzzing seeds: small, valid, and at the readers' limits where they say so.
#include "tools/forge/forge.h"
#include "tools/forge/seeds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <unistd.h>

namespace {
void expectAllParse(const std::vector<SeedFile>& seeds, bool race, size_t largest) {
    for (const SeedFile& seed : seeds) {
        SCOPED_TRACE(seed.name);
        std::string error;
        RaceFileRecord raceRecord;
        EffectsFileRecord effectsRecord;
        EXPECT_TRUE(
            race ? parseRaceFile(seed.bytes.data(), seed.bytes.size(), raceRecord, &error)
                 : parseEffectsFile(seed.bytes.data(), seed.bytes.size(), effectsRecord, &error))
            << error;
        EXPECT_LE(seed.bytes.size(), largest);
    }
}
} // namespace

TEST(Seeds, FuzzingSeedsAreSmallAndValidAndPassTheForgeChecks) {
    expectAllParse(raceSeeds(), true, 2048);
    expectAllParse(effectsSeeds(), false, 2048);
    expectAllParse(raceEdgeSeeds(), true, 20000);
    expectAllParse(effectsEdgeSeeds(), false, 20000);

    const RaceFileRecord race = minimalRace("Seed");
    ASSERT_EQ(race.parts.size(), 1u);
    EXPECT_EQ(race.parts[0].mesh.triangles.size(), 2u);
    EXPECT_EQ(race.textures.size(), 1u);
    EXPECT_EQ(race.shield.positions.size(), 26u);
    EXPECT_EQ(race.shield.triangles.size(), 48u);
    EXPECT_TRUE(checkRace(race).faults.empty());
    EXPECT_TRUE(checkEffects(minimalEffects()).faults.empty());
}

TEST(Seeds, EdgeFilesSitExactlyAtTheLimits) {
    std::map<std::string, RaceFileRecord> byName;
    RaceFileRecord record;
    for (const SeedFile& seed : raceEdgeSeeds()) {
        ASSERT_TRUE(parseRaceFile(seed.bytes.data(), seed.bytes.size(), record, nullptr));
        byName[seed.name] = record;
    }
    EXPECT_EQ(byName["most-textures.ast"].textures.size(), size_t(MaxTextureCount));
    EXPECT_EQ(byName["most-parts.ast"].parts.size(), size_t(MaxPartCount));
    EXPECT_EQ(byName["widest-texture.ast"].textures[0].width, MaxImageSide);
}

TEST(Seeds, CommandWritesTheFiveFolders) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kestrion-seeds-" + std::to_string(getpid()));
    EXPECT_EQ(runForge({"seeds", dir.string()}), 0);
    for (const char* folder : {"race", "race-edges", "effects", "effects-edges", "gltf"})
        EXPECT_FALSE(fs::is_empty(dir / folder)) << folder;
    EXPECT_EQ(runForge({"seeds"}), 2);
    fs::remove_all(dir);
}
