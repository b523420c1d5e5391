#include "data/catalogue.h"
#include "platform/directory.h"
#include "tests/unit/data_samples.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

std::vector<uint8_t> raceBytes(const std::string& name, const std::string& description) {
    RaceFileRecord race = sampleRace();
    race.raceName = name;
    race.description = description;
    return writeRaceFile(race);
}

} // namespace

TEST(RaceCatalogue, ListsReadableRaceFilesInEnumerationOrder) {
    TempDirectory dir;
    auto put = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(writeFileBytes(dir.path + name, bytes)) << name;
    };
    put("vesk.ast", raceBytes("Vesk", "Swift raiders"));
    put("ORLAN.AST", raceBytes("Orlan", "Heavy cruisers"));
    put("blank.Ast", raceBytes("", ""));
    std::vector<uint8_t> headOnly = raceBytes("Torn", "Damaged after the head");
    headOnly.resize(16 + 4 + 22 + 2);
    put("torn.ast", headOnly); // the catalogue does not look past the description
    put("Explosion.as", raceBytes("Not", "a race"));
    put("notes.txt", raceBytes("Not", "a race"));
    put("vesk.ast.bak", raceBytes("Not", "a race"));
    put("short.ast", {1, 2, 3});
    std::vector<uint8_t> cut = raceBytes("Cut", "Description cut short");
    cut.resize(20);
    put("cut.ast", cut);
    RaceFileRecord longName = sampleRace();
    longName.raceName.assign(100, 'L');
    put("long.ast", writeRaceFile(longName));
    put(std::string(96, 'n') + ".ast", raceBytes("Far", "File name of 100 bytes"));
    ASSERT_EQ(mkdir((dir.path + "folder.ast").c_str(), 0755), 0);

    std::vector<std::string> expected;
    for (const std::string& name : listDirectory(dir.path))
        if (name == "vesk.ast" || name == "ORLAN.AST" || name == "blank.Ast" || name == "torn.ast")
            expected.push_back(name);
    ASSERT_EQ(expected.size(), 4u);

    RaceCatalogue catalogue = scanRaceCatalogue(dir.path);
    ASSERT_EQ(catalogue.count, 4);
    ASSERT_EQ(catalogue.entries.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const RaceCatalogueEntry& entry = catalogue.entries[i];
        EXPECT_EQ(std::string(entry.fileName), expected[i]);
        if (expected[i] == "ORLAN.AST") {
            EXPECT_STREQ(entry.raceName, "Orlan");
            EXPECT_STREQ(entry.description, "Heavy cruisers");
        }
        if (expected[i] == "blank.Ast") {
            EXPECT_STREQ(entry.raceName, "");
            EXPECT_STREQ(entry.description, "");
        }
        if (expected[i] == "torn.ast") {
            EXPECT_STREQ(entry.description, "Damaged after the head");
        }
    }
}

TEST(RaceCatalogue, KeepsTextsOfTheFullLengthTerminated) {
    TempDirectory dir;
    std::string name(99, 'N'), description(99, 'D');
    ASSERT_TRUE(writeFileBytes(dir.path + "full.ast", raceBytes(name, description)));
    RaceCatalogue catalogue = scanRaceCatalogue(dir.path);
    ASSERT_EQ(catalogue.count, 1);
    EXPECT_EQ(std::string(catalogue.entries[0].raceName), name);
    EXPECT_EQ(std::string(catalogue.entries[0].description), description);
    EXPECT_EQ(catalogue.entries[0].raceName[99], '\0');
}

TEST(RaceCatalogue, EmptyOrMissingDirectoryHasNoEntries) {
    TempDirectory dir;
    EXPECT_EQ(scanRaceCatalogue(dir.path).count, 0);
    RaceCatalogue missing = scanRaceCatalogue(dir.path + "nowhere/");
    EXPECT_EQ(missing.count, 0);
    EXPECT_TRUE(missing.entries.empty());
}
