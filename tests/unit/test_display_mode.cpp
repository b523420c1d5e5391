#include "shell/display.h"
#include "shell/display_mode.h"
#include "shell/messages.h"
#include "shell/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
constexpr uint32_t Enumerated = 0x005C0000; // depth, size and refresh rate
constexpr uint32_t All = ModeBitsPerPixel | ModeWidth | ModeHeight;

struct Attempt {
    int32_t loadedFrom; // the index last loaded into the shared record
    DisplayModeFields mode;
};

std::vector<DisplayModeFields> Modes;
DisplayModeFields Current;
int32_t LoadedFrom = -99;
std::vector<Attempt> Attempts;
std::vector<std::string> Events;
bool (*Accepts)(const Attempt&) = nullptr;

bool loadMode(int32_t index, DisplayModeFields& mode) {
    if (index == CurrentDisplayMode) {
        mode = Current;
    } else if (index >= 0 && index < int32_t(Modes.size())) {
        mode = Modes[size_t(index)];
    } else {
        return false;
    }
    LoadedFrom = index;
    return true;
}

bool changeMode(const DisplayModeFields& mode) {
    Attempts.push_back({LoadedFrom, mode});
    Events.push_back("change");
    return Accepts(Attempts.back());
}

void restoreMode() {
    Events.push_back("restore");
}
void postQuit() {
    Events.push_back("quit");
}

int recordMessage(MessageOwner owner, const char* text, const char* caption, unsigned flags) {
    Events.push_back(std::string(owner == MessageOwner::None ? "" : "owned ") + text + " / " +
                     caption + (flags == MessageOk ? "" : " ?"));
    return 1;
}

const DisplayModeSystem FakeDisplay = {loadMode, changeMode, restoreMode, postQuit};

DisplayModeFields listed(uint32_t bits, uint32_t width, uint32_t height) {
    return {bits, width, height, Enumerated};
}

struct DisplayModeTest : ::testing::Test {
    void SetUp() override {
        Modes.clear();
        Current = listed(32, 1024, 768);
        LoadedFrom = -99;
        Attempts.clear();
        Events.clear();
        ShowMessage = recordMessage;
        ScreenWidth = 800;
        ScreenHeight = 600;
    }
    void TearDown() override { ShowMessage = showMessageOnStderr; }
    static int32_t switchTo800x600() { return switchDisplayModeWith(FakeDisplay, 800, 600, 16); }
};
} // namespace

TEST_F(DisplayModeTest, TheFirstListedMatchIsUsedAsEnumerated) {
    Modes = {listed(8, 640, 480), listed(32, 800, 600), listed(16, 800, 600), listed(16, 800, 600)};
    Accepts = [](const Attempt&) { return true; };
    EXPECT_EQ(switchTo800x600(), 1);
    ASSERT_EQ(Attempts.size(), 1u);
    EXPECT_EQ(Attempts[0].loadedFrom, 2);
    EXPECT_EQ(Attempts[0].mode.fields, Enumerated); // no mask of our own
    EXPECT_EQ(Events, (std::vector<std::string>{"change"}));
}

TEST_F(DisplayModeTest, SeveralMatchesAreTriedInEnumerationOrder) {
    Modes = {listed(16, 800, 600), listed(16, 1024, 768), listed(16, 800, 600),
             listed(16, 800, 600)};
    Accepts = [](const Attempt& a) { return a.loadedFrom == 3; };
    EXPECT_EQ(switchTo800x600(), 1);
    ASSERT_EQ(Attempts.size(), 3u);
    EXPECT_EQ(Attempts[0].loadedFrom, 0);
    EXPECT_EQ(Attempts[1].loadedFrom, 2);
    EXPECT_EQ(Attempts[2].loadedFrom, 3);
}

TEST_F(DisplayModeTest, WithoutAListedMatchTheRequestIsSpelledOut) {
    // A driver that lists the size only at 32 bits but can make it 16.
    Modes = {listed(32, 640, 480), listed(32, 800, 600)};
    Accepts = [](const Attempt& a) { return a.mode.bitsPerPixel == 16; };
    EXPECT_EQ(switchTo800x600(), 1);
    ASSERT_EQ(Attempts.size(), 1u);
    EXPECT_EQ(Attempts[0].loadedFrom, 0); // nothing matched: mode 0 is the base
    EXPECT_EQ(Attempts[0].mode.bitsPerPixel, 16u);
    EXPECT_EQ(Attempts[0].mode.width, 800u);
    EXPECT_EQ(Attempts[0].mode.height, 600u);
    EXPECT_EQ(Attempts[0].mode.fields, All);

    // Listed matches that failed: the first of them is the base, then depth
    // alone, then size alone.
    Attempts.clear();
    Events.clear();
    Modes = {listed(32, 640, 480), listed(16, 800, 600), listed(16, 800, 600)};
    Current = listed(16, 1024, 768);
    Accepts = [](const Attempt& a) {
        return a.mode.fields == ModeBitsPerPixel || a.mode.fields == (ModeWidth | ModeHeight);
    };
    EXPECT_EQ(switchTo800x600(), 1);
    ASSERT_EQ(Attempts.size(), 5u);
    EXPECT_EQ(Attempts[2].loadedFrom, 1);
    EXPECT_EQ(Attempts[2].mode.fields, All);
    EXPECT_EQ(Attempts[3].mode.fields, ModeBitsPerPixel);
    EXPECT_EQ(Attempts[4].mode.fields, ModeWidth | ModeHeight);
    EXPECT_EQ(std::count(Events.begin(), Events.end(), "restore"), 0);
}

TEST_F(DisplayModeTest, WithNoSixteenBitModesTheSizeRunsAtTheCurrentDepth) {
    Modes = {listed(32, 640, 480), listed(32, 800, 600), listed(32, 1024, 768)};
    Accepts = [](const Attempt& a) { return a.mode.bitsPerPixel == 32; };
    EXPECT_EQ(switchTo800x600(), 1);
    ASSERT_EQ(Attempts.size(), 3u);
    EXPECT_EQ(Attempts[0].mode.fields, All);              // 16 bits spelled out
    EXPECT_EQ(Attempts[1].mode.fields, ModeBitsPerPixel); // 16 bits alone
    EXPECT_EQ(Attempts[2].loadedFrom, 1);                 // the listed 800x600x32
    EXPECT_EQ(Attempts[2].mode.fields, Enumerated);
    EXPECT_EQ(Events, (std::vector<std::string>{"change", "change", "change"}));

    // Not listed either: the current mode with the size changed.
    Attempts.clear();
    Modes = {listed(32, 1024, 768)};
    Accepts = [](const Attempt& a) { return a.mode.bitsPerPixel == 32; };
    EXPECT_EQ(switchTo800x600(), 1);
    ASSERT_EQ(Attempts.size(), 3u);
    EXPECT_EQ(Attempts[2].loadedFrom, CurrentDisplayMode);
    EXPECT_EQ(Attempts[2].mode.width, 800u);
    EXPECT_EQ(Attempts[2].mode.height, 600u);
    EXPECT_EQ(Attempts[2].mode.fields, ModeWidth | ModeHeight);
}

TEST_F(DisplayModeTest, TotalFailureNamesTheScreenSizeAndPostsQuit) {
    Modes = {listed(32, 800, 600)};
    Accepts = [](const Attempt&) { return false; };
    EXPECT_EQ(switchTo800x600(), 0);
    // Two attempts at 16 bits, the listed mode and the current one at 32 bits.
    EXPECT_EQ(Attempts.size(), 4u);
    EXPECT_EQ(Events.back(), "quit");
    EXPECT_EQ(Events[Events.size() - 2], "Your 3d Card does not support 800x600 / Error");
    EXPECT_EQ(std::count(Events.begin(), Events.end(), "restore"), 0);

    // A depth change that worked while the size did not is undone before the message.
    Events.clear();
    Attempts.clear();
    ScreenWidth = 1280;
    ScreenHeight = 1024;
    Current = listed(16, 1024, 768);
    Modes = {listed(16, 1024, 768)};
    Accepts = [](const Attempt& a) { return a.mode.fields == ModeBitsPerPixel; };
    EXPECT_EQ(switchDisplayModeWith(FakeDisplay, 1280, 1024, 16), 0);
    EXPECT_EQ(Events, (std::vector<std::string>{"change", "change", "change", "restore",
                                                "Your 3d Card does not support 1280x1024 / Error",
                                                "quit"}));
}

// "Desktop" keeps the display as it is: no mode is looked at, changed or
// restored; every other resolution switches and restores as before.
TEST_F(DisplayModeTest, DesktopMakesNoModeChangeAndNoRestore) {
    Modes = {listed(16, 800, 600)};
    Accepts = [](const Attempt&) { return true; };
    EXPECT_EQ(enterSaverDisplayMode(FakeDisplay, DesktopResolutionIndex, 1920, 1080, 16), 1);
    leaveSaverDisplayMode(FakeDisplay, DesktopResolutionIndex);
    EXPECT_EQ(LoadedFrom, -99);
    EXPECT_TRUE(Events.empty());

    EXPECT_EQ(enterSaverDisplayMode(FakeDisplay, 2, 800, 600, 16), 1);
    leaveSaverDisplayMode(FakeDisplay, 2);
    EXPECT_EQ(Events, (std::vector<std::string>{"change", "restore"}));
}
