#include "battle/fleet.h"
#include "data/catalogue.h"
#include "platform/memory_settings.h"
#include "shell/config_logic.h"
#include "shell/settings.h"
#include "tests/support/race_files.h"
#include "tests/support/recording_gl.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {
struct FleetTest : ::testing::Test {
    TempDirectory dir;

    void SetUp() override {
        installRecordingGL();
        installMemorySettings();
    }
    void TearDown() override {
        releaseFleet(Fleets[0]);
        releaseFleet(Fleets[1]);
        EXPECT_EQ(MemorySettings.opens, MemorySettings.closes);
        ActiveSettings = nullptr;
    }

    void list(int alliance, const std::vector<std::string>& entries) {
        ASSERT_TRUE(writeAllianceList(alliance, entries));
    }
    int assemble(int alliance) {
        SettingsKey key = openSettingsKey();
        const int result = assembleFleet(key, alliance, dir.path);
        closeSettingsKey(key);
        return result;
    }
    // The part count of each race loaded for the alliance: the tests give every
    // race its own part count, so this tells which file was loaded.
    static std::vector<int> loadedPartCounts(int alliance) {
        std::vector<int> counts;
        const FleetState& fleet = fleetOf(alliance);
        for (int i = 0; i < fleet.raceCount; ++i)
            counts.push_back(fleet.races[i].meshCount);
        return counts;
    }
    static std::vector<int> raceIndices(int alliance) {
        std::vector<int> indices;
        const FleetState& fleet = fleetOf(alliance);
        for (int i = 0; i < fleet.shipCount; ++i)
            indices.push_back(fleet.ships[i].raceIndex);
        return indices;
    }
};
} // namespace

TEST_F(FleetTest, WorkedExampleLaysShipsOutEntryByEntry) {
    writeRacesInCatalogueOrder(
        dir.path, {smallRace("Vorr", "Swarm raiders", 3), smallRace("Kell", "Old guard", 1)});
    list(2, {"Vorr (3)  \"Swarm raiders\"", "Kell (1)  \"Old guard\""});
    ASSERT_EQ(assemble(2), 1);

    const FleetState& fleet = Fleets[1];
    EXPECT_EQ(fleet.raceCount, 2);
    EXPECT_EQ(loadedPartCounts(2), (std::vector<int>{3, 1}));
    ASSERT_EQ(fleet.shipCount, 4);
    EXPECT_EQ(raceIndices(2), (std::vector<int>{0, 0, 0, 1}));
    for (int i = 0; i < 4; ++i) {
        const Ship& ship = fleet.ships[i];
        EXPECT_EQ(ship.alliance, 2);
        ASSERT_EQ(ship.partCount, fleet.races[ship.raceIndex].meshCount);
        for (int p = 0; p < ship.partCount; ++p)
            EXPECT_EQ(ship.partDamaged[p], 0);
        EXPECT_EQ(ship.shieldsUp, 1); // built by the constructor
        EXPECT_NE(ship.shots, nullptr);
        EXPECT_EQ(&raceOf(ship), &fleet.races[ship.raceIndex]);
    }
    EXPECT_EQ(Fleets[0].shipCount, 0); // the other alliance is not touched
    EXPECT_EQ(Fleets[0].races, nullptr);
}

TEST_F(FleetTest, FirstCatalogueRaceWhoseNameOccursInTheEntryWins) {
    // Vor stands before Vorr: it takes Vorr's entry too.
    writeRacesInCatalogueOrder(
        dir.path, {smallRace("Vor", "Scouts", 1), smallRace("Vorr", "Swarm raiders", 2)});
    list(1, {"Vorr (2)  \"Swarm raiders\"", "Vor (1)  \"Scouts\""});
    ASSERT_EQ(assemble(1), 1);
    EXPECT_EQ(loadedPartCounts(1), (std::vector<int>{1, 1}));
    releaseFleet(Fleets[0]);

    // The other way round each entry finds its own race.
    TempDirectory other;
    writeRacesInCatalogueOrder(
        other.path, {smallRace("Vorr", "Swarm raiders", 2), smallRace("Vor", "Scouts", 1)});
    SettingsKey key = openSettingsKey();
    ASSERT_EQ(assembleFleet(key, 1, other.path), 1);
    closeSettingsKey(key);
    EXPECT_EQ(loadedPartCounts(1), (std::vector<int>{2, 1}));
}

TEST_F(FleetTest, MatchIsCaseSensitiveAndReachesIntoTheDescription) {
    writeRacesInCatalogueOrder(dir.path,
                               {smallRace("VORR", "Loud", 4), smallRace("raid", "Pirates", 1),
                                smallRace("Vorr", "Swarm raiders", 2)});
    list(1, {"Vorr (1)  \"Swarm raiders\"", "Vorr (1)  \"Swarm\""});
    ASSERT_EQ(assemble(1), 1);
    EXPECT_EQ(loadedPartCounts(1), (std::vector<int>{1, 2}));
}

TEST_F(FleetTest, EmptyRaceNameFirstInTheCatalogueMatchesEveryEntry) {
    writeRacesInCatalogueOrder(
        dir.path, {smallRace("", "Nameless", 1), smallRace("Vorr", "Swarm raiders", 2)});
    list(1, {"Vorr (2)  \"Swarm raiders\"", "Kell (1)  \"Old guard\"", ""});
    ASSERT_EQ(assemble(1), 1);
    EXPECT_EQ(loadedPartCounts(1), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(raceIndices(1), (std::vector<int>{0, 0, 1}));
}

TEST_F(FleetTest, ShipCountIsTheNumberAfterTheFirstParenthesis) {
    writeRacesInCatalogueOrder(dir.path, {smallRace("Vorr", "Swarm raiders", 2)});
    const std::pair<std::string, int> cases[] = {
        {"Vorr (lots)  \"Swarm raiders\"", 0}, // not a number: no ships, race still loaded
        {"Vorr ()  \"Swarm raiders\"", 0},
        {"Vorr (-4)  \"Swarm raiders\"", 0},
        {"Vorr  \"Swarm raiders\"", 0}, // no parenthesis at all
        {"Vorr (7) (9)", 7},
        {"Vorr ( 3)", 3},
        {"Vorr (12", 12},
        {"Vorr (2147483648)", MaxEntryShips},
        {"Vorr (600)", MaxEntryShips},
    };
    for (const auto& [entry, ships] : cases) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(entryShipCount(entry), ships);
        list(1, {entry});
        const size_t textures = RecordingGL.calls.size();
        ASSERT_EQ(assemble(1), 1);
        EXPECT_EQ(Fleets[0].raceCount, 1);
        EXPECT_GT(RecordingGL.calls.size(), textures);
        EXPECT_EQ(Fleets[0].shipCount, ships);
        EXPECT_EQ(Fleets[0].ships == nullptr, ships == 0);
    }
    // A "(" in the race name starts the count inside the name.
    EXPECT_EQ(entryShipCount("Vo(rr (3)  \"Odd\""), 0);
    EXPECT_EQ(entryShipCount("Vo(4)rr (3)  \"Odd\""), 4);
}

TEST_F(FleetTest, FleetSizeIsBoundedAcrossEntries) {
    writeRacesInCatalogueOrder(dir.path, {smallRace("Vorr", "Swarm raiders", 2),
                                          smallRace("Kell", "Old guard", 1),
                                          smallRace("Oss", "Drifters", 3)});
    list(1, {"Vorr (400)", "Kell (400)", "Oss (400)"});
    ASSERT_EQ(assemble(1), 1);
    EXPECT_EQ(Fleets[0].shipCount, MaxFleetShips);
    EXPECT_EQ(Fleets[0].raceCount, 3);
    EXPECT_EQ(Fleets[0].ships[MaxFleetShips - 1].raceIndex, 2);
    EXPECT_EQ(Fleets[0].ships[MaxFleetShips - 1].partCount, 3);
    EXPECT_EQ(Fleets[0].ships[799].raceIndex, 1);
    EXPECT_EQ(Fleets[0].ships[800].raceIndex, 2);

    list(1, {"Vorr (700)", "Kell (700)", "Oss (7)"}); // the last entry keeps its race, no ships
    ASSERT_EQ(assemble(1), 1);
    EXPECT_EQ(Fleets[0].shipCount, MaxFleetShips);
    EXPECT_EQ(raceIndices(1).back(), 1);
    EXPECT_EQ(Fleets[0].raceCount, 3);
}

TEST_F(FleetTest, EntriesNamingNoRaceAreLeftOutWithTheirShips) {
    writeRacesInCatalogueOrder(
        dir.path, {smallRace("Vorr", "Swarm raiders", 2), smallRace("Oss", "Drifters", 3)});
    setMemoryValue("NumList1Items", "5");
    setMemoryValue("List1Item0", "Kell (3)  \"Old guard\""); // its file was removed
    setMemoryValue("List1Item1", "Vorr (2)  \"Swarm raiders\"");
    // List1Item2 is missing
    setMemoryValue("List1Item3", "Oss (1)  \"Drifters\"", DwordValueType);
    setMemoryValue("List1Item4", "Oss (1)  \"Drifters\"");
    ASSERT_EQ(assemble(1), 1);
    EXPECT_EQ(loadedPartCounts(1), (std::vector<int>{2, 3}));
    EXPECT_EQ(raceIndices(1), (std::vector<int>{0, 0, 1}));

    // No race files at all: every entry is left out and the side stays empty.
    TempDirectory empty;
    SettingsKey key = openSettingsKey();
    ASSERT_EQ(assembleFleet(key, 1, empty.path), 1);
    closeSettingsKey(key);
    EXPECT_EQ(Fleets[0].raceCount, 0);
    EXPECT_EQ(Fleets[0].shipCount, 0);
    EXPECT_EQ(Fleets[0].ships, nullptr);
}

TEST_F(FleetTest, MissingOrZeroCountGivesAnEmptyFleet) {
    writeRacesInCatalogueOrder(dir.path, {smallRace("Vorr", "Swarm raiders", 2)});
    setMemoryValue("List1Item0", "Vorr (2)");
    ASSERT_EQ(assemble(1), 1); // no count value at all
    EXPECT_EQ(Fleets[0].shipCount, 0);
    EXPECT_EQ(Fleets[0].raceCount, 0);
    EXPECT_TRUE(RecordingGL.calls.empty());

    installMemorySettings();
    OpenSettings(); // first-run defaults: "0"
    ASSERT_EQ(assemble(2), 1);
    EXPECT_EQ(Fleets[1].shipCount, 0);
}

TEST_F(FleetTest, SameRaceListedTwiceLoadsTwiceWithItsOwnTextures) {
    writeRacesInCatalogueOrder(dir.path, {smallRace("Vorr", "Swarm raiders", 2)});
    list(1, {"Vorr (1)  \"Swarm raiders\""});
    list(2, {"Vorr (2)  \"Swarm raiders\"", "Vorr (1)  \"Swarm raiders\""});
    ASSERT_EQ(assemble(1), 1);
    ASSERT_EQ(assemble(2), 1);
    // Two parts and the missile sprite per load.
    EXPECT_EQ(callsNamed("glGenTextures").size(), 9u);

    const RaceData* loads[3] = {&Fleets[0].races[0], &Fleets[1].races[0], &Fleets[1].races[1]};
    std::set<uint32_t> textures;
    std::set<const void*> owned;
    for (const RaceData* race : loads) {
        textures.insert(race->projectileTexture);
        textures.insert(race->meshes[0].texture);
        textures.insert(race->meshes[1].texture);
        owned.insert(race->meshes);
        owned.insert(race->projectileImage);
        owned.insert(race->textureTable);
    }
    EXPECT_EQ(textures.size(), 9u);
    EXPECT_EQ(owned.size(), 9u);
    EXPECT_EQ(raceIndices(2), (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(Fleets[0].ships[0].alliance, 1);
}

TEST_F(FleetTest, MalformedRaceFileFailsAndStoresNothing) {
    const std::vector<std::string> files = writeRacesInCatalogueOrder(
        dir.path, {smallRace("Vorr", "Swarm raiders", 2), smallRace("Kell", "Old guard", 1)});
    // Kell's head still reads, so the catalogue lists it; the rest is cut short.
    std::vector<uint8_t> bytes = writeRaceFile(smallRace("Kell", "Old guard", 1));
    bytes.resize(bytes.size() - 40);
    ASSERT_TRUE(writeFileBytes(dir.path + files[1], bytes));

    list(1, {"Vorr (2)"});
    ASSERT_EQ(assemble(1), 1);
    Ship* const before = Fleets[0].ships;

    list(1, {"Vorr (3)", "Kell (1)"}); // Vorr loads first, then Kell fails
    EXPECT_EQ(assemble(1), 0);
    EXPECT_EQ(Fleets[0].ships, before); // the earlier fleet stays as it was
    EXPECT_EQ(Fleets[0].shipCount, 2);

    list(2, {"Kell (1)"});
    EXPECT_EQ(assemble(2), 0);
    EXPECT_EQ(Fleets[1].races, nullptr);
    EXPECT_EQ(Fleets[1].shipCount, 0);
}

TEST_F(FleetTest, ReleaseLeavesAnEmptyFleetAndOnlyAlliancesOneAndTwoExist) {
    writeRacesInCatalogueOrder(dir.path, {smallRace("Vorr", "Swarm raiders", 2)});
    list(1, {"Vorr (3)"});
    list(3, {"Vorr (3)"});
    EXPECT_EQ(assemble(3), 0);
    EXPECT_EQ(assemble(0), 0);
    EXPECT_EQ(Fleets[0].shipCount, 0);

    ASSERT_EQ(assemble(1), 1);
    ASSERT_EQ(assemble(1), 1); // assembling again replaces the fleet
    EXPECT_EQ(Fleets[0].shipCount, 3);
    releaseFleet(Fleets[0]);
    EXPECT_EQ(Fleets[0].ships, nullptr);
    EXPECT_EQ(Fleets[0].races, nullptr);
    EXPECT_EQ(Fleets[0].shipCount, 0);
    EXPECT_EQ(Fleets[0].raceCount, 0);
    releaseFleet(Fleets[0]); // twice is harmless
}

// A race file whose name is in an old 8-bit code page: the dialog shows and
// stores it as UTF-8, and the saver still finds the race from that entry.
TEST_F(FleetTest, RaceNamedInWindows1252IsFoundFromTheEntryTheDialogStores) {
    writeRacesInCatalogueOrder(dir.path, {smallRace("Ch\xE2teau", "Caf\xE9 fleet", 2),
                                          smallRace("Vorr", "Swarm raiders", 1)});
    const RaceCatalogue catalogue = scanRaceCatalogue(dir.path);
    ASSERT_EQ(catalogue.count, 2);
    const RaceCatalogueEntry& chateau =
        catalogue.entries[0].raceName[0] == 'C' ? catalogue.entries[0] : catalogue.entries[1];
    EXPECT_STREQ(chateau.raceName, "Ch\xC3\xA2teau");
    EXPECT_STREQ(chateau.description, "Caf\xC3\xA9 fleet");

    list(1, {formatFleetEntry(chateau.raceName, 4, chateau.description)});
    ASSERT_EQ(assemble(1), 1);
    EXPECT_EQ(loadedPartCounts(1), std::vector<int>{2});
    EXPECT_EQ(Fleets[0].shipCount, 4);
}
