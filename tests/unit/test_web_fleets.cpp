// What the web page decides natively: fleets from its address, the race list it
// shows, and races dropped onto it.
#include "data/catalogue.h"
#include "shell/web_fleets.h"
#include "tests/support/race_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
RaceCatalogue catalogueOf(const std::vector<std::string>& names) {
    RaceCatalogue catalogue;
    for (const std::string& name : names) {
        RaceCatalogueEntry entry = {};
        std::snprintf(entry.raceName, sizeof entry.raceName, "%s", name.c_str());
        std::snprintf(entry.description, sizeof entry.description, "%s", "Ships");
        std::snprintf(entry.fileName, sizeof entry.fileName, "%s.ast", name.c_str());
        catalogue.entries.push_back(entry);
    }
    catalogue.count = int32_t(catalogue.entries.size());
    return catalogue;
}
} // namespace

TEST(WebFleets, TheAddressHoldsTheLinuxSyntaxPercentDecoded) {
    AddressFleets fleets = parseFleetAddress("#alliance1=Vessari:5,Sky%20Kin:3&x=1&alliance2=");
    EXPECT_EQ(fleets.error, "");
    ASSERT_EQ(fleets.alliances[0].size(), 2u);
    EXPECT_EQ(fleets.alliances[0][1].race, "Sky Kin");
    EXPECT_EQ(fleets.alliances[0][1].ships, 3);
    EXPECT_TRUE(fleets.given[0] && fleets.given[1]);
    EXPECT_TRUE(fleets.alliances[1].empty()); // given empty: no ships on that side
    EXPECT_EQ(addressFleetsJson(fleets),
              "{\"alliance1\":[{\"race\":\"Vessari\",\"ships\":5},{\"race\":\"Sky "
              "Kin\",\"ships\":3}],\"alliance2\":[],\"error\":\"\"}");

    fleets = parseFleetAddress("alliance2=Thyl:8");
    EXPECT_FALSE(fleets.given[0]);
    EXPECT_TRUE(fleets.given[1]);
    EXPECT_FALSE(parseFleetAddress("").given[0] || parseFleetAddress("#top").given[1]);

    // The options' bounds, and the alliance named in the message.
    EXPECT_EQ(parseFleetAddress("alliance2=Thyl:501").error,
              "alliance 2: fleet size \"501\" of Thyl is not a number from 1 to 500");
    EXPECT_EQ(parseFleetAddress("alliance1=A:500,B:500,C:1").error,
              "alliance 1: the fleet has 1001 ships; at most 1000 fly on a side");
    EXPECT_EQ(parseFleetAddress("alliance1=Thyl").error,
              "alliance 1: fleet entry \"Thyl\" is not NAME:SIZE");
}

TEST(WebFleets, ASeedInTheAddressIsAWholeNumberWithin32Bits) {
    AddressFleets fleets = parseFleetAddress("#alliance1=Thyl:2&seed=4294967295");
    EXPECT_EQ(fleets.error, "");
    EXPECT_TRUE(fleets.seeded);
    EXPECT_EQ(fleets.seed, 4294967295u);
    EXPECT_EQ(fleets.alliances[0].size(), 1u);
    EXPECT_FALSE(parseFleetAddress("alliance1=Thyl:2").seeded);
    for (const char* bad : {"seed=", "seed", "seed=4294967296", "seed=-1", "seed=12a", "seed=1.5"})
        EXPECT_EQ(parseFleetAddress(bad).error.rfind("seed \"", 0), 0u) << bad;
}

TEST(WebFleets, EntriesComeFromTheCatalogueWithDefaultsForMissingSides) {
    const RaceCatalogue catalogue = catalogueOf({"Vessari", "Thyl"});
    std::vector<std::string> entries[2];
    std::string error;
    ASSERT_TRUE(
        addressFleetEntries(parseFleetAddress("alliance1=Thyl:2"), catalogue, entries, error));
    ASSERT_EQ(entries[0].size(), 1u);
    EXPECT_EQ(entries[0][0].rfind("Thyl (2)", 0), 0u);
    ASSERT_EQ(entries[1].size(), 1u); // the default: the second race, 5 ships
    EXPECT_EQ(entries[1][0].rfind("Thyl (5)", 0), 0u);

    EXPECT_FALSE(
        addressFleetEntries(parseFleetAddress("alliance2=Nobody:1"), catalogue, entries, error));
    EXPECT_EQ(error, "alliance 2: unknown race \"Nobody\"; known races: Vessari, Thyl");
}

TEST(WebFleets, TheRaceListIsJsonWithTheBounds) {
    RaceCatalogue catalogue = catalogueOf({"Quo\"te"});
    std::snprintf(catalogue.entries[0].description, 100, "%s", "Tab\there\\");
    EXPECT_EQ(catalogueJson(catalogue),
              "{\"races\":[{\"name\":\"Quo\\\"te\",\"description\":\"Tab\\u0009here\\\\\","
              "\"file\":\"Quo\\\"te.ast\"}],\"maxEntryShips\":500,\"maxFleetShips\":1000}");
}

TEST(WebFleets, ADroppedRaceJoinsOnlyWhenReadableNewAndDistinct) {
    const RaceCatalogue catalogue = catalogueOf({"Vessari", "Thyl"});
    std::string name;
    const std::vector<uint8_t> good = writeRaceFile(smallRace("Korrhan", "Heavy hulls"));
    EXPECT_EQ(checkDroppedRace("k.ast", good.data(), good.size(), catalogue, name), "");
    EXPECT_EQ(name, "Korrhan");

    // Cut short: the reader's own message, naming the file.
    const std::string cut =
        checkDroppedRace("k.ast", good.data(), good.size() / 2, catalogue, name);
    EXPECT_EQ(cut.rfind("k.ast is not a race file we can read: ", 0), 0u) << cut;
    EXPECT_GT(cut.size(), std::string("k.ast is not a race file we can read: ").size());

    const std::vector<uint8_t> same = writeRaceFile(smallRace("Thyl", "Again"));
    EXPECT_EQ(checkDroppedRace("t.ast", same.data(), same.size(), catalogue, name),
              "t.ast: a race named \"Thyl\" is already in the lists");
    // "Vessari Prime" would fly as the Vessari, whose name lies within it.
    const std::vector<uint8_t> inside = writeRaceFile(smallRace("Vessari Prime", "Later"));
    EXPECT_EQ(checkDroppedRace("v.ast", inside.data(), inside.size(), catalogue, name),
              "v.ast: race \"Vessari Prime\" cannot be told apart from \"Vessari\", whose name "
              "lies within it");
}

TEST(WebFleets, DroppedFileNamesAreSafeAndNew) {
    const RaceCatalogue catalogue = catalogueOf({"Vessari", "Thyl"});
    EXPECT_EQ(droppedRaceFileName("My race (v2).AST", catalogue), "My_race__v2_.ast");
    EXPECT_EQ(droppedRaceFileName("../x/thyl.ast", catalogue), "thyl-2.ast");
    EXPECT_EQ(droppedRaceFileName(".ast", catalogue), "race.ast");
}

TEST(WebFleets, TheAddressCarriesTheFrameCapAndSmoothEdges) {
    PageSettings settings = parsePageSettings("#alliance1=Thyl:2&fps=30&smooth=0");
    EXPECT_EQ(settings.frameCap, 30);
    EXPECT_FALSE(settings.smooth);
    EXPECT_EQ(pageSettingsJson(settings), "{\"fps\":30,\"smooth\":false,\"error\":\"\"}");
    // Without them every frame the display shows, with smooth edges; above the
    // cap's range, every frame again (the sliders' top step).
    EXPECT_EQ(parsePageSettings("").frameCap, 0);
    EXPECT_TRUE(parsePageSettings("seed=4").smooth);
    EXPECT_EQ(parsePageSettings("fps=61").frameCap, 0);
    EXPECT_EQ(parsePageSettings("fps=15").frameCap, 15);
    for (const char* bad : {"fps=14", "fps=30.5", "fps=", "fps=-30", "smooth=maybe"})
        EXPECT_NE(parsePageSettings(bad).error, "") << bad;
}

TEST(WebFleets, AHostSettingChangesOneSettingOrKeepsAllWithTheReason) {
    const RaceCatalogue catalogue = catalogueOf({"Vessari", "Thyl"});
    const std::string start = "alliance1=Vessari:5&seed=7&alliance2=Thyl:5";

    SettingChange change =
        applyHostSetting(start, "alliance2", "string", "Thyl:3, Vessari:2", catalogue);
    EXPECT_EQ(change.error, "");
    EXPECT_EQ(change.changed, "fleets");
    // In place, readable, other keys kept; the address parser reads it back.
    EXPECT_EQ(change.fragment, "alliance1=Vessari:5&seed=7&alliance2=Thyl:3,%20Vessari:2");
    const AddressFleets fleets = parseFleetAddress(change.fragment);
    ASSERT_EQ(fleets.alliances[1].size(), 2u);
    EXPECT_EQ(fleets.alliances[1][1].race, "Vessari");

    // Bad values: the fragment stays, the reason says which side and why.
    const struct {
        const char *name, *type, *value, *reason;
    } bad[] = {{"alliance1", "string", "Nobody:5", "unknown race \"Nobody\""},
               {"alliance1", "string", "Thyl:5000", "not a number from 1 to 500"},
               {"alliance2", "string", "Thyl:500,Vessari:500,Thyl:1", "at most 1000"},
               {"alliance1", "string", "  ", "the text is empty"},
               {"alliance2", "number", "5", "not a number"},
               {"fps", "number", "5", "too few"},
               {"fps", "string", "fast", "not a whole number"},
               {"smooth", "object", "[object Object]", "not a object"},
               {"colour", "string", "red", "no setting named"}};
    for (const auto& setting : bad) {
        change = applyHostSetting(start, setting.name, setting.type, setting.value, catalogue);
        EXPECT_EQ(change.fragment, start) << setting.value;
        EXPECT_EQ(change.changed, "") << setting.value;
        EXPECT_NE(change.error.find(setting.reason), std::string::npos) << change.error;
    }
    EXPECT_NE(applyHostSetting(start, "alliance1", "string", "Nobody:5", catalogue)
                  .error.find("alliance 1: "),
              std::string::npos);

    // The cap and the switch join the fragment; the same value again changes nothing.
    change = applyHostSetting(start, "fps", "number", "30", catalogue);
    EXPECT_EQ(change.changed, "fps");
    EXPECT_EQ(parsePageSettings(change.fragment).frameCap, 30);
    change = applyHostSetting(change.fragment, "smooth", "boolean", "false", catalogue);
    EXPECT_EQ(change.changed, "smooth");
    EXPECT_FALSE(parsePageSettings(change.fragment).smooth);
    EXPECT_EQ(applyHostSetting(change.fragment, "fps", "number", "30", catalogue).changed, "");
    EXPECT_EQ(settingChangeJson(change),
              "{\"fragment\":\"" + change.fragment + "\",\"changed\":\"smooth\",\"error\":\"\"}");
}
