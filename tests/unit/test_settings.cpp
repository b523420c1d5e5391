#include "platform/memory_settings.h"
#include "shell/display.h"
#include "shell/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {
struct SettingsTest : ::testing::Test {
    void SetUp() override {
        installMemorySettings();
        resetDisplay();
    }
    void TearDown() override {
        // Every access closes the key it opened.
        EXPECT_EQ(MemorySettings.opens, MemorySettings.closes);
        ActiveSettings = nullptr;
        resetDisplay();
    }
    static void resetDisplay() {
        ScreenWidth = 800;
        ScreenHeight = 600;
        ResolutionIndex = 2;
    }
    static std::string stored(const char* name) {
        const StoredValue* value = memoryValue(name);
        return value ? value->bytes : "<missing>";
    }
    static void expectDefaultResolution() {
        EXPECT_EQ(ScreenWidth, 800);
        EXPECT_EQ(ScreenHeight, 600);
        EXPECT_EQ(ResolutionIndex, 2);
    }
};
} // namespace

TEST_F(SettingsTest, FirstRunWritesExactlyTheThreeDefaultsWithTheirSizes) {
    OpenSettings();
    EXPECT_EQ(MemorySettings.writes,
              (std::vector<std::string>{"NumList1Items", "NumList2Items", "Resolution"}));
    EXPECT_EQ(stored("NumList1Items"), "0"s); // 1 byte, no terminator
    EXPECT_EQ(stored("NumList2Items"), "0"s);
    EXPECT_EQ(stored("Resolution"), "800x600\0"s); // 8 bytes, terminator stored
    EXPECT_EQ(MemorySettings.values.size(), 3u);

    ReadResolution();
    expectDefaultResolution();
    EXPECT_TRUE(readAllianceList(1).empty());
    EXPECT_TRUE(readAllianceList(2).empty());

    // The key now exists: a second start writes nothing.
    OpenSettings();
    EXPECT_EQ(MemorySettings.writes.size(), 3u);
}

TEST_F(SettingsTest, ExistingKeyIsLeftAsItIsAndADeletedKeyGetsTheDefaultsAgain) {
    setMemoryValue("Resolution", "1024x768"s + '\0');
    OpenSettings();
    EXPECT_TRUE(MemorySettings.writes.empty());
    EXPECT_EQ(memoryValue("NumList1Items"), nullptr);
    EXPECT_EQ(memoryValue("NumList2Items"), nullptr);

    MemorySettings.keyExists = false; // the key was deleted between runs
    OpenSettings();
    EXPECT_EQ(stored("Resolution"), "800x600\0"s);
    EXPECT_EQ(stored("NumList1Items"), "0"s);
}

TEST_F(SettingsTest, KeyThatCannotBeOpenedFallsBackAndWritesNothing) {
    MemorySettings.failOpen = true;
    MemoryUserSettings.failOpen = true;
    ScreenWidth = 1024;
    ScreenHeight = 768;
    ResolutionIndex = 3;
    OpenSettings();
    ReadResolution();
    expectDefaultResolution();
    EXPECT_TRUE(readAllianceList(1).empty());
    EXPECT_FALSE(writeResolution(3));
    EXPECT_FALSE(writeAllianceList(1, {"Vorr (5)  \"Swarm raiders\""}));
    EXPECT_TRUE(MemorySettings.values.empty());

    ActiveSettings = nullptr; // no store installed at all behaves the same
    ReadResolution();
    expectDefaultResolution();
    EXPECT_TRUE(readAllianceList(2).empty());
}

TEST_F(SettingsTest, EveryResolutionRoundTripsWithItsStoredSize) {
    const int buttons[6] = {1031, 1032, 1033, 1034, 1035, 1036};
    const size_t sizes[6] = {8, 8, 9, 9, 10, 10};
    for (int index = 1; index <= 6; ++index) {
        SCOPED_TRACE(index);
        const ResolutionRow& row = Resolutions[index - 1];
        EXPECT_EQ(row.index, index);
        EXPECT_EQ(row.buttonId, buttons[index - 1]);
        EXPECT_EQ(resolutionRow(index), &row);
        ASSERT_TRUE(writeResolution(index));
        EXPECT_EQ(stored("Resolution").size(), sizes[index - 1]);
        resetDisplay();
        ReadResolution();
        EXPECT_EQ(ScreenWidth, row.width);
        EXPECT_EQ(ScreenHeight, row.height);
        EXPECT_EQ(ResolutionIndex, index);
    }
    EXPECT_EQ(Resolutions[4].width, 1280);
    EXPECT_EQ(Resolutions[4].height, 1024);

    // No valid button: nothing is written.
    MemorySettings.writes.clear();
    EXPECT_FALSE(writeResolution(0));
    EXPECT_FALSE(writeResolution(8));
    EXPECT_TRUE(MemorySettings.writes.empty());
    EXPECT_EQ(resolutionRow(0), nullptr);
}

TEST_F(SettingsTest, ResolutionMatchesOnlyTheExactText) {
    const std::string misses[] = {
        "1024X768"s + '\0',
        "1024x768 "s + '\0',
        " 1024x768"s,
        "1024x76"s,
        ""s,
        "1024x768"s + std::string(60, ' '), // longer than any buffer a reader starts with
    };
    for (const std::string& text : misses) {
        SCOPED_TRACE(text);
        setMemoryValue("Resolution", text);
        ReadResolution();
        expectDefaultResolution();
    }
    MemorySettings.values.erase("Resolution");
    ReadResolution();
    expectDefaultResolution();

    setMemoryValue("Resolution", "1024x768"s + '\0', DwordValueType);
    ReadResolution();
    expectDefaultResolution();

    // Without its terminator, or with bytes after a zero, the text still reads whole.
    setMemoryValue("Resolution", "1152x864");
    ReadResolution();
    EXPECT_EQ(ResolutionIndex, 4);
    setMemoryValue("Resolution", "640x480\0"
                                 "800"s);
    ReadResolution();
    EXPECT_EQ(ResolutionIndex, 1);
    EXPECT_EQ(ScreenWidth, 640);

    // A later miss leaves what was set before.
    setMemoryValue("Resolution", "640X480");
    ReadResolution();
    EXPECT_EQ(ResolutionIndex, 1);
}

TEST_F(SettingsTest, TextsEndAtTheStoredSizeOrAZeroAndLongOnesReadWhole) {
    const std::string longEntry =
        "Aldebaran Reach Sovereignty (12)  \"Slow dreadnoughts of the rim\"";
    ASSERT_GT(longEntry.size(), 50u);
    setMemoryValue("Long", longEntry);
    setMemoryValue("Bare", "Vorr (5)");
    setMemoryValue("Terminated", "Vorr (5)"s + '\0');
    setMemoryValue("Embedded", "Vorr\0 (5)"s);
    setMemoryValue("Empty", "");
    setMemoryValue("Number", "\x05\0\0\0"s, DwordValueType);
    setMemoryValue("Blob", "Vorr (5)", BinaryValueType);
    setMemoryValue("Expand", "Vorr (5)", ExpandStringValueType);

    SettingsKey key = openSettingsKey();
    ASSERT_NE(key, nullptr);
    std::string text = "stale";
    EXPECT_TRUE(readSettingsText(key, "Long", text));
    EXPECT_EQ(text, longEntry);
    EXPECT_TRUE(readSettingsText(key, "Bare", text));
    EXPECT_EQ(text, "Vorr (5)");
    EXPECT_TRUE(readSettingsText(key, "Terminated", text));
    EXPECT_EQ(text, "Vorr (5)");
    EXPECT_TRUE(readSettingsText(key, "Embedded", text));
    EXPECT_EQ(text, "Vorr");
    EXPECT_TRUE(readSettingsText(key, "Empty", text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(readSettingsText(key, "Expand", text));
    EXPECT_EQ(text, "Vorr (5)");
    // Missing and non-string values read as missing, leaving no stale text.
    text = "stale";
    EXPECT_FALSE(readSettingsText(key, "Number", text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(readSettingsText(key, "Blob", text));
    EXPECT_FALSE(readSettingsText(key, "Absent", text));
    // Value names ignore case, as the registry's do.
    EXPECT_TRUE(readSettingsText(key, "BARE", text));
    closeSettingsKey(key);
    EXPECT_FALSE(readSettingsText(nullptr, "Bare", text));
}

TEST_F(SettingsTest, LeadingNumberReadsLikeAtoiAndSaturates) {
    const std::pair<const char*, int32_t> cases[] = {
        {"", 0},
        {"abc", 0},
        {"12)", 12},
        {"  7 ships", 7},
        {"-3", -3},
        {"+4", 4},
        {"0x10", 0},
        {"2147483647", INT32_MAX},
        {"99999999999999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
        {"- 3", 0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(leadingNumber(text), value) << text;
}

TEST_F(SettingsTest, AllianceListReadsCountedEntriesAndSkipsMissingOnes) {
    setMemoryValue("NumList1Items", "3");
    setMemoryValue("List1Item0", "Vorr (5)  \"Swarm raiders\"");
    setMemoryValue("List1Item2", "Kell (2)  \"Old guard\""s + '\0');
    setMemoryValue("List1Item3", "Beyond the count (1)");
    EXPECT_EQ(readAllianceList(1),
              (std::vector<std::string>{"Vorr (5)  \"Swarm raiders\"", "Kell (2)  \"Old guard\""}));
    EXPECT_TRUE(readAllianceList(2).empty()); // no count at all

    const std::pair<std::string, size_t> counts[] = {
        {"3 entries", 2},
        {"abc", 0},
        {"-2", 0},
        {"", 0},
        {"99999999999", 3},
        {"1\0"
         "9"s,
         1},
    };
    for (const auto& [count, expected] : counts) {
        SCOPED_TRACE(count);
        setMemoryValue("NumList1Items", count);
        EXPECT_EQ(readAllianceList(1).size(), expected);
    }
    setMemoryValue("NumList1Items", "2", DwordValueType);
    EXPECT_TRUE(readAllianceList(1).empty());
}

TEST_F(SettingsTest, AbsurdCountReadsAtMostTheEntryLimit) {
    setMemoryValue("NumList2Items", "4000000000");
    for (int i = 0; i < MaxListEntries + 5; ++i)
        setMemoryValue("List2Item" + std::to_string(i), "Vorr (1)");
    EXPECT_EQ(readAllianceList(2).size(), static_cast<size_t>(MaxListEntries));
}

TEST_F(SettingsTest, SavedListsAreStoredWithoutTerminatorsAndReadBack) {
    // The NT registry stores the zero that follows the data; the writer must not let it.
    storeLikeRegistry("Probe", "0", 1);
    EXPECT_EQ(stored("Probe"), "0\0"s);
    MemorySettings.writes.clear();

    setMemoryValue("List1Item2", "Kell (2)  \"Old guard\"");
    const std::vector<std::string> entries = {
        "Aldebaran Reach Sovereignty (12)  \"Slow dreadnoughts of the rim\"",
        "Vorr (5)  \"Swarm raiders\"",
    };
    ASSERT_TRUE(writeAllianceList(1, entries));
    EXPECT_EQ(MemorySettings.writes,
              (std::vector<std::string>{"NumList1Items", "List1Item0", "List1Item1"}));
    EXPECT_EQ(stored("NumList1Items"), "2"s);
    EXPECT_EQ(stored("List1Item0"), entries[0]);
    EXPECT_EQ(stored("List1Item1"), entries[1]);
    EXPECT_EQ(readAllianceList(1), entries);
    // A longer earlier list leaves its tail in place, unread.
    EXPECT_EQ(stored("List1Item2"), "Kell (2)  \"Old guard\"");

    ASSERT_TRUE(writeAllianceList(2, {}));
    EXPECT_EQ(stored("NumList2Items"), "0"s);
    EXPECT_TRUE(readAllianceList(2).empty());

    ASSERT_TRUE(writeAllianceList(2, std::vector<std::string>(12, "Vorr (1)")));
    EXPECT_EQ(stored("NumList2Items"), "12"s);

    MemorySettings.failWrite = true;
    EXPECT_FALSE(writeAllianceList(1, entries));
}
