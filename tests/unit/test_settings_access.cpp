// Which settings key is read and which is saved to, for an administrator, a
// standard user and a user with settings of their own.
#include "platform/memory_settings.h"
#include "shell/config_logic.h"
#include "shell/display.h"
#include "shell/settings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {
const std::string Vorr = "Vorr (5)  \"Swarm raiders\"";
const std::string Kell = "Kell (2)  \"Old guard\"";
const std::string Thyl = "Thyl (8)  \"Reef dwellers\"";

struct SettingsAccessTest : ::testing::Test {
    void SetUp() override {
        installMemorySettings();
        ScreenWidth = 800;
        ScreenHeight = 600;
        ResolutionIndex = 2;
        DesktopWidth = 1920;
        DesktopHeight = 1080;
    }
    void TearDown() override {
        EXPECT_EQ(MemorySettings.opens, MemorySettings.closes);
        EXPECT_EQ(MemoryUserSettings.opens, MemoryUserSettings.closes);
        ActiveSettings = nullptr;
        ScreenWidth = 800;
        ScreenHeight = 600;
        ResolutionIndex = 2;
        DesktopWidth = DesktopHeight = 0;
    }
    // Fleets saved machine-wide by an administrator, then locked for this user.
    static void lockedMachineFleets() {
        setMemoryValue("Resolution", "1024x768"s + '\0');
        setMemoryValue("NumList1Items", "1");
        setMemoryValue("List1Item0", Vorr);
        setMemoryValue("NumList2Items", "1");
        setMemoryValue("List2Item0", Kell);
        MemorySettings.readOnly = true;
    }
    static std::map<std::string, std::string> contents(const MemorySettingsState& key) {
        std::map<std::string, std::string> bytes;
        for (const auto& [name, value] : key.values)
            bytes[name] = value.bytes;
        return bytes;
    }
};
} // namespace

TEST_F(SettingsAccessTest, StandardUserReadsTheMachineFleetsAndSavesIntoAKeyOfTheirOwn) {
    lockedMachineFleets();
    const auto machineBefore = contents(MemorySettings);

    OpenSettings(); // no defaults into a key this user may not write
    ReadResolution();
    EXPECT_EQ(ResolutionIndex, 3);
    EXPECT_EQ(ScreenWidth, 1024);
    EXPECT_EQ(readAllianceList(1), std::vector<std::string>{Vorr});
    EXPECT_EQ(readAllianceList(2), std::vector<std::string>{Kell});

    ASSERT_EQ(saveSettings(4, {Thyl, Vorr}, {}), SaveOutcome::Saved);
    EXPECT_EQ(contents(MemorySettings), machineBefore);
    EXPECT_EQ(MemorySettings.writes.size(), 0u);
    // The user's key holds the whole save, with the sizes the machine key would have.
    EXPECT_EQ(contents(MemoryUserSettings),
              (std::map<std::string, std::string>{{"List1Item0", Thyl},
                                                  {"List1Item1", Vorr},
                                                  {"NumList1Items", "2"},
                                                  {"NumList2Items", "0"},
                                                  {"Resolution", "1152x864\0"s}}));

    // From now on this user's own choice is what the dialog and the saver read.
    ReadResolution();
    EXPECT_EQ(ResolutionIndex, 4);
    EXPECT_EQ(readAllianceList(1), (std::vector<std::string>{Thyl, Vorr}));
    EXPECT_TRUE(readAllianceList(2).empty());
}

TEST_F(SettingsAccessTest, AUserKeyWinsOverAWritableMachineKeyForReadingAndSaving) {
    setMemoryValue("NumList1Items", "1");
    setMemoryValue("List1Item0", Vorr);
    setMemoryValue("NumList1Items", "1", StringValueType, MemoryUserSettings);
    setMemoryValue("List1Item0", Kell, StringValueType, MemoryUserSettings);
    const auto machineBefore = contents(MemorySettings);

    EXPECT_EQ(readAllianceList(1), std::vector<std::string>{Kell});
    ASSERT_EQ(saveSettings(2, {Thyl}, {Vorr}), SaveOutcome::Saved);
    EXPECT_EQ(contents(MemorySettings), machineBefore);
    EXPECT_EQ(readAllianceList(1), std::vector<std::string>{Thyl});
    EXPECT_EQ(readAllianceList(2), std::vector<std::string>{Vorr});
}

TEST_F(SettingsAccessTest, AnAdministratorStillSavesMachineWide) {
    ASSERT_EQ(saveSettings(7, {Vorr}, {Kell}), SaveOutcome::Saved);
    EXPECT_FALSE(MemoryUserSettings.keyExists);
    EXPECT_EQ(memoryValue("Resolution")->bytes, "Desktop\0"s); // 8 bytes
    EXPECT_EQ(MemorySettings.writes,
              (std::vector<std::string>{"Resolution", "NumList1Items", "List1Item0",
                                        "NumList2Items", "List2Item0"}));
}

TEST_F(SettingsAccessTest, AMissingKeyThatCannotBeCreatedReadsAsEmptyAndTheSaveGoesToTheUser) {
    MemorySettings.failCreate = true;
    ScreenWidth = 1024; // set before: the failure falls back to 800 x 600
    OpenSettings();
    ReadResolution();
    EXPECT_EQ(ScreenWidth, 800);
    EXPECT_EQ(ResolutionIndex, 2);
    EXPECT_TRUE(readAllianceList(1).empty());
    EXPECT_FALSE(MemorySettings.keyExists);

    ASSERT_EQ(saveSettings(1, {Vorr}, {}), SaveOutcome::Saved);
    EXPECT_FALSE(MemorySettings.keyExists);
    EXPECT_EQ(memoryValue("NumList1Items", MemoryUserSettings)->bytes, "1");
    // No first-run defaults go into the user's key.
    EXPECT_EQ(MemoryUserSettings.writes.front(), "Resolution");
}

TEST_F(SettingsAccessTest, NothingWritableIsReportedAndChangesNothing) {
    lockedMachineFleets();
    MemoryUserSettings.failCreate = true;
    const auto machineBefore = contents(MemorySettings);
    EXPECT_EQ(saveSettings(4, {Thyl}, {Thyl}), SaveOutcome::NoKey);
    EXPECT_EQ(contents(MemorySettings), machineBefore);
    EXPECT_FALSE(MemoryUserSettings.keyExists);
    EXPECT_NE(saveFailureText(SaveOutcome::NoKey), nullptr);
    EXPECT_EQ(saveFailureText(SaveOutcome::Saved), nullptr);

    // A user key that exists but may not be written is not bypassed: a save
    // into the machine key would never be read by this user.
    installMemorySettings();
    setMemoryValue("NumList1Items", "1", StringValueType, MemoryUserSettings);
    setMemoryValue("List1Item0", Kell, StringValueType, MemoryUserSettings);
    MemoryUserSettings.readOnly = true;
    EXPECT_EQ(saveSettings(2, {Thyl}, {}), SaveOutcome::NoKey);
    EXPECT_TRUE(MemorySettings.values.empty());
    EXPECT_EQ(readAllianceList(1), std::vector<std::string>{Kell});
}

TEST_F(SettingsAccessTest, AWriteRefusedHalfwayNeverLeavesACountThatPromisesMore) {
    setMemoryValue("NumList1Items", "3");
    setMemoryValue("List1Item0", Kell);
    setMemoryValue("List1Item1", Kell);
    setMemoryValue("List1Item2", Kell);
    setMemoryValue("NumList2Items", "1");
    setMemoryValue("List2Item0", Kell);
    // Resolution, the count and one entry go through; the second entry is refused.
    MemorySettings.refuseWrite = 3;
    EXPECT_EQ(saveSettings(3, {Thyl, Vorr, Thyl}, {Vorr}), SaveOutcome::WriteFailed);
    EXPECT_EQ(readAllianceList(1), std::vector<std::string>{Thyl});
    EXPECT_EQ(readAllianceList(2), std::vector<std::string>{Kell}); // never reached
    EXPECT_NE(saveFailureText(SaveOutcome::WriteFailed), nullptr);

    // A refused count writes none of its entries.
    MemorySettings.refuseWrite = 0;
    EXPECT_FALSE(writeAllianceList(2, {Thyl, Vorr}));
    EXPECT_EQ(readAllianceList(2), std::vector<std::string>{Kell});
}

TEST_F(SettingsAccessTest, DesktopTakesTheDisplaysOwnSize) {
    setMemoryValue("Resolution", "Desktop"s + '\0');
    ReadResolution();
    EXPECT_EQ(ResolutionIndex, DesktopResolutionIndex);
    EXPECT_EQ(ScreenWidth, 1920);
    EXPECT_EQ(ScreenHeight, 1080);

    // Without a known desktop size the text reads like any unknown one.
    ResolutionIndex = 2;
    ScreenWidth = 800;
    ScreenHeight = 600;
    DesktopWidth = DesktopHeight = 0;
    ReadResolution();
    EXPECT_EQ(ResolutionIndex, 2);
    EXPECT_EQ(ScreenWidth, 800);

    const bool desktopChecked[ResolutionCount] = {false, false, false, false, false, false, true};
    EXPECT_EQ(resolutionIndexToSave(desktopChecked), DesktopResolutionIndex);
    EXPECT_EQ(resolutionRow(DesktopResolutionIndex)->buttonId, 1037);
}
