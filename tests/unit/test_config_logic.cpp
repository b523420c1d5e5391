#include "data/text.h"
#include "shell/config_logic.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

TEST(FleetEntry, FormattedWithNameSizeAndQuotedDescription) {
    EXPECT_EQ(formatFleetEntry("Vorr", 5, "Swarm raiders"), "Vorr (5)  \"Swarm raiders\"");
    EXPECT_EQ(formatFleetEntry("Vorr", 0, "Swarm raiders"), "Vorr (0)  \"Swarm raiders\"");
    EXPECT_EQ(formatFleetEntry("Vorr", 99, ""), "Vorr (99)  \"\"");
    EXPECT_EQ(formatFleetEntry("", 1, "x"), " (1)  \"x\"");
}

TEST(FleetEntry, TextsStayWithinTheDialogBuffers) {
    const std::string longName(80, 'N');
    EXPECT_EQ(fitRaceName(longName), std::string(55, 'N'));
    EXPECT_EQ(fitRaceName("Vorr"), "Vorr");

    // A long description is cut, but the entry keeps its closing quote.
    const std::string entry = formatFleetEntry("Vorr", 5, std::string(200, 'd'));
    EXPECT_EQ(entry.size(), FleetEntryLimit);
    EXPECT_EQ(entry.rfind("Vorr (5)  \"", 0), 0u);
    EXPECT_EQ(entry.back(), '"');

    // The longest name with the widest size still leaves room for a description.
    const std::string widest = formatFleetEntry(longName, INT_MIN, std::string(200, 'd'));
    EXPECT_EQ(widest.size(), FleetEntryLimit);
    EXPECT_EQ(widest.rfind(std::string(55, 'N') + " (-2147483648)  \"d", 0), 0u);
    EXPECT_EQ(widest.back(), '"');

    // Texts that fit are not touched.
    const std::string exact = formatFleetEntry("Vorr", 5, std::string(107 - 12, 'd'));
    EXPECT_EQ(exact.size(), FleetEntryLimit);
    EXPECT_EQ(exact.substr(11, 95), std::string(95, 'd'));
}

TEST(FleetEntry, FleetSizeIsTheLeadingDecimalNumberWithoutRangeCheck) {
    EXPECT_EQ(fleetSizeFromText(""), 0);
    EXPECT_EQ(fleetSizeFromText("1"), 1);
    EXPECT_EQ(fleetSizeFromText("0"), 0);
    EXPECT_EQ(fleetSizeFromText("99"), 99);
    EXPECT_EQ(fleetSizeFromText("007"), 7);
    EXPECT_EQ(fleetSizeFromText("12ab"), 12);
    EXPECT_EQ(fleetSizeFromText("ab"), 0);
    EXPECT_EQ(fleetSizeFromText(" -3"), -3);
    EXPECT_EQ(fleetSizeFromText("99999999999999999999"), INT_MAX);
    EXPECT_EQ(fleetSizeFromText("-99999999999999999999"), INT_MIN);
}

TEST(FleetEntry, AddReplacesTheFirstEntryContainingTheRaceName) {
    const std::vector<std::string> entries = {
        "Kell (2)  \"Stone hulls\"",
        "Vorr (5)  \"Swarm raiders\"",
        "Vorrim (1)  \"Deep hunters\"",
    };
    EXPECT_EQ(entryReplacedByAdd(entries, "Vorr"), 1);
    EXPECT_EQ(entryReplacedByAdd(entries, "Vorrim"), 2);
    // A shorter name contained in another race's entry takes the first from the top.
    EXPECT_EQ(entryReplacedByAdd(entries, "Vor"), 1);
    // The test looks at the whole text, the description included, and is case-sensitive.
    EXPECT_EQ(entryReplacedByAdd(entries, "Stone"), 0);
    EXPECT_EQ(entryReplacedByAdd(entries, "vorr"), -1);
    EXPECT_EQ(entryReplacedByAdd(entries, "Zeth"), -1);
    // An empty name matches every entry, so the first goes.
    EXPECT_EQ(entryReplacedByAdd(entries, ""), 0);
    EXPECT_EQ(entryReplacedByAdd({}, "Vorr"), -1);
}

TEST(ResolutionButtons, FirstCheckedButtonIsSaved) {
    const bool none[6] = {};
    EXPECT_EQ(resolutionIndexToSave(none), 0);
    const bool fourth[6] = {false, false, false, true, false, false};
    EXPECT_EQ(resolutionIndexToSave(fourth), 4);
    const bool two[6] = {false, true, false, false, false, true};
    EXPECT_EQ(resolutionIndexToSave(two), 2);
}

TEST(ConfigLogic, RaceTextsBecomeUtf8AndAreCutOnlyBetweenCharacters) {
    EXPECT_EQ(raceText("Vorr"), "Vorr");
    EXPECT_EQ(raceText("\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B"), "\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B");
    // Not UTF-8: each byte is its Windows-1252 character.
    EXPECT_EQ(raceText("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(raceText("\x80\x81 \x9F"), "\xE2\x82\xAC\xC2\x81 \xC5\xB8");
    EXPECT_EQ(raceText("\xC0\xAF"), "\xC3\x80\xC2\xAF");                 // overlong
    EXPECT_EQ(raceText("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC"); // a surrogate
    EXPECT_EQ(raceText("\xE2\x82"), "\xC3\xA2\xE2\x80\x9A");             // cut short

    const std::string cyrillic = "\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B"; // 4 letters, 8 bytes
    EXPECT_EQ(utf8Cut(cyrillic, 3), 2u);
    EXPECT_EQ(utf8Cut(cyrillic, 4), 4u);
    EXPECT_EQ(utf8Cut(cyrillic, 99), 8u);

    std::string longName;
    for (int i = 0; i < 30; ++i)
        longName += "\xE6\xB8\xB8"; // 3 bytes a character: 55 falls inside one
    EXPECT_EQ(fitRaceName(longName).size(), 54u);
    const std::string entry = formatFleetEntry("Vorr", 5, longName + longName);
    EXPECT_LE(entry.size(), FleetEntryLimit);
    EXPECT_EQ(raceText(entry), entry); // still valid UTF-8, closing quote kept
    EXPECT_EQ(entry.back(), '"');
}
