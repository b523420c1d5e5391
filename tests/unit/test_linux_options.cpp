// The Linux program's command line, its data-folder search, fleets built from
// its options, and what a window of any size changes.
#include "battle/fleet.h"
#include "data/scene.h"
#include "shell/display.h"
#include "shell/linux_options.h"
#include "shell/screenshot.h"
#include "tests/support/race_files.h"
#include "tests/support/recording_gl.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {
ParsedOptions parse(const std::vector<std::string>& arguments) {
    return parseProgramOptions(arguments);
}

// The error for these arguments; empty when they parse.
std::string errorOf(const std::vector<std::string>& arguments) {
    return parse(arguments).error;
}
} // namespace

TEST(LinuxOptions, FleetListsTargetsAndFolderParse) {
    const ParsedOptions parsed = parse({"--alliance1", "Vessari:5, Korrhan:3", "-alliance2=Thyl:8",
                                        "--data", "/opt/k", "-window-id", "0x2A"});
    ASSERT_EQ(parsed.error, "");
    const ProgramOptions& options = parsed.options;
    ASSERT_EQ(options.alliances[0].size(), 2u);
    EXPECT_EQ(options.alliances[0][0].race, "Vessari");
    EXPECT_EQ(options.alliances[0][0].ships, 5);
    EXPECT_EQ(options.alliances[0][1].race, "Korrhan");
    EXPECT_EQ(options.alliances[0][1].ships, 3);
    ASSERT_EQ(options.alliances[1].size(), 1u);
    EXPECT_EQ(options.alliances[1][0].ships, 8);
    EXPECT_TRUE(options.allianceGiven[0] && options.allianceGiven[1]);
    EXPECT_EQ(options.dataFolder, "/opt/k");
    EXPECT_EQ(options.target, WindowTarget::WindowId);
    EXPECT_EQ(options.windowId, 42u);

    EXPECT_EQ(parse({}).options.target, WindowTarget::NewWindow);
    EXPECT_FALSE(parse({}).options.allianceGiven[0]);
    // xscreensaver writes its hacks' options with two dashes.
    EXPECT_EQ(parse({"--root"}).options.target, WindowTarget::Root);
    EXPECT_EQ(parse({"-window-id", "4194312"}).options.windowId, 4194312u);
    EXPECT_TRUE(parse({"--fullscreen"}).options.fullscreen);
    EXPECT_TRUE(parse({"--help"}).options.help);
    EXPECT_TRUE(parse({"--version"}).options.version);
    // A race name may hold blanks; the size follows the last colon.
    EXPECT_EQ(parse({"--alliance1", "Iron Tide:7"}).options.alliances[0][0].race, "Iron Tide");
}

TEST(LinuxOptions, ModesOutputsAndFpsCap) {
    EXPECT_EQ(parse({}).options.mode, RunMode::Window);
    EXPECT_EQ(parse({}).options.fpsCap, 0);
    const ProgramOptions saver = parse({"--saver", "--output", "HDMI-A-1", "--fps=15"}).options;
    EXPECT_EQ(saver.mode, RunMode::Saver);
    EXPECT_EQ(saver.outputs, std::vector<std::string>{"HDMI-A-1"});
    EXPECT_EQ(saver.fpsCap, 15);
    EXPECT_EQ(saver.target, WindowTarget::NewWindow);
    const ProgramOptions wallpaper =
        parse({"-wallpaper", "--output=DP-1", "--output", "DP-2", "--x11"}).options;
    EXPECT_EQ(wallpaper.mode, RunMode::Wallpaper);
    EXPECT_EQ(wallpaper.outputs, (std::vector<std::string>{"DP-1", "DP-2"}));
    EXPECT_TRUE(wallpaper.forceX11);
    EXPECT_EQ(parse({"--fps", "1000", "--fullscreen"}).options.fpsCap, 1000);

    // Wayland is tried only for our own surfaces, with a compositor named, and
    // without --x11.
    EXPECT_TRUE(waylandFirst(parse({"--saver"}).options, "wayland-1"));
    EXPECT_TRUE(waylandFirst(parse({}).options, "/run/user/1000/wayland-0"));
    EXPECT_FALSE(waylandFirst(parse({}).options, nullptr));
    EXPECT_FALSE(waylandFirst(parse({}).options, ""));
    EXPECT_FALSE(waylandFirst(parse({"--x11", "--wallpaper"}).options, "wayland-1"));
    EXPECT_FALSE(waylandFirst(parse({"-root"}).options, "wayland-1"));
    EXPECT_FALSE(waylandFirst(parse({"-window-id", "0x400001"}).options, "wayland-1"));
}

TEST(LinuxOptions, EveryBadInputIsOneClearLine) {
    struct Case {
        std::vector<std::string> arguments;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{"--alliance1", "Vessari:0"},
         "--alliance1: fleet size \"0\" of Vessari is not a number from 1 to 500"},
        {{"--alliance1", "Vessari:-3"}, "fleet size \"-3\""},
        {{"--alliance1", "Vessari:five"}, "fleet size \"five\""},
        {{"--alliance1", "Vessari:5x"}, "fleet size \"5x\""},
        {{"--alliance1", "Vessari:"}, "fleet size \"\""},
        {{"--alliance2", "Vessari:501"}, "--alliance2: fleet size \"501\""},
        {{"--alliance1", "Vessari:99999999999999999999"}, "is not a number from 1 to 500"},
        {{"--alliance1", "A:500,B:500,C:1"}, "the fleet has 1001 ships; at most 1000"},
        {{"--alliance1", ""}, "--alliance1: the fleet list is empty"},
        {{"--alliance1", " , "}, "fleet entry \"\" is not NAME:SIZE"},
        {{"--alliance1", "Vessari:2,,Thyl:1"}, "fleet entry \"\" is not NAME:SIZE"},
        {{"--alliance1", "Vessari"}, "fleet entry \"Vessari\" is not NAME:SIZE"},
        {{"--alliance1", ":4"}, "has no race name"},
        {{"--alliance1"}, "option -alliance1 needs a value"},
        {{"--data", ""}, "option --data needs a folder"},
        {{"--speed", "3"}, "unknown option \"--speed\""},
        {{"kestrion"}, "unexpected argument \"kestrion\""},
        {{"--root=yes"}, "option -root takes no value"},
        {{"-window-id", "0"}, "window id \"0\" is not a number"},
        {{"-window-id", "0x"}, "window id \"0x\""},
        {{"-window-id", "12ab"}, "window id \"12ab\""},
        {{"-window-id", "0x1FFFFFFFF"}, "window id \"0x1FFFFFFFF\""},
        {{"-root", "-window-id", "5"}, "exclude each other"},
        {{"--saver", "--wallpaper"}, "--saver and --wallpaper exclude each other"},
        {{"--saver", "-root"}, "--saver makes its own surfaces"},
        {{"-window-id", "7", "--wallpaper"}, "--wallpaper makes its own surfaces"},
        {{"--saver", "--fullscreen"}, "leave out --fullscreen"},
        {{"--output", "DP-1"}, "--output is for --saver and --wallpaper"},
        {{"--saver", "--output", "DP-1", "--output=DP-2"}, "give --output once"},
        {{"--wallpaper", "--output="}, "--output needs the name of a monitor"},
        {{"--fps", "0"}, "--fps \"0\" is not a number from 1 to 1000"},
        {{"--fps", "1001"}, "--fps \"1001\""},
        {{"--fps", "30.5"}, "--fps \"30.5\""},
        {{"--fps"}, "option -fps needs a value"},
        {{"--x11=1"}, "option -x11 takes no value"},
    };
    for (const Case& c : cases) {
        const std::string error = errorOf(c.arguments);
        EXPECT_NE(error.find(c.expected), std::string::npos)
            << "arguments starting " << (c.arguments.empty() ? "" : c.arguments[0]) << ": ["
            << error << "]";
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

TEST(LinuxOptions, DataFolderSearchOrder) {
    std::set<std::string> folders, files;
    const FolderProbe probe = {[&](const std::string& p) { return folders.count(p) > 0; },
                               [&](const std::string& p) { return files.count(p) > 0; }};
    auto place = [&](const std::string& folder) {
        folders.insert(folder);
        files.insert(folder + "Explosion.as");
    };
    const std::string exe = "/opt/kestrion/bin/kestrion";

    // Nothing anywhere: the message names every place looked at.
    DataFolderChoice choice = chooseDataFolder("", "/env/data", exe, probe);
    EXPECT_EQ(choice.folder, "");
    EXPECT_NE(choice.error.find("/env/data/, /opt/kestrion/bin/../share/kestrion/, "
                                "/opt/kestrion/bin/"),
              std::string::npos)
        << choice.error;

    place("/opt/kestrion/bin/");
    EXPECT_EQ(chooseDataFolder("", nullptr, exe, probe).folder, "/opt/kestrion/bin/");
    place("/opt/kestrion/bin/../share/kestrion/");
    EXPECT_EQ(chooseDataFolder("", "", exe, probe).folder, "/opt/kestrion/bin/../share/kestrion/");
    // A KESTRION_DATA without Explosion.as is passed over.
    folders.insert("/env/data/");
    EXPECT_EQ(chooseDataFolder("", "/env/data", exe, probe).folder,
              "/opt/kestrion/bin/../share/kestrion/");
    place("/env/data/");
    EXPECT_EQ(chooseDataFolder("", "/env/data", exe, probe).folder, "/env/data/");

    // --data is taken as given, never searched past.
    EXPECT_NE(chooseDataFolder("/nowhere", "/env/data", exe, probe)
                  .error.find("data folder /nowhere does not exist"),
              std::string::npos);
    folders.insert("/empty/");
    EXPECT_NE(chooseDataFolder("/empty", "/env/data", exe, probe).error.find("has no Explosion.as"),
              std::string::npos);
    place("/given/");
    EXPECT_EQ(chooseDataFolder("/given", "/env/data", exe, probe).folder, "/given/");
}

namespace {
struct OptionFleetTest : ::testing::Test {
    TempDirectory dir;
    RaceCatalogue catalogue;

    void SetUp() override {
        installRecordingGL();
        writeRacesInCatalogueOrder(dir.path,
                                   {smallRace("Vessari", "Swift", 3),
                                    smallRace("Korrhan", "Heavy", 1), smallRace("Thyl", "Old", 2)});
        catalogue = scanRaceCatalogue(dir.path);
    }
    void TearDown() override {
        releaseFleet(Fleets[0]);
        releaseFleet(Fleets[1]);
    }
    std::vector<std::string> entries(const std::vector<FleetRequest>* requested, int alliance) {
        std::vector<std::string> texts;
        std::string error;
        EXPECT_TRUE(fleetEntryTexts(requested, alliance, catalogue, texts, error)) << error;
        return texts;
    }
};
} // namespace

TEST_F(OptionFleetTest, OptionsBuildFleetsThroughTheFleetAssembly) {
    const std::vector<FleetRequest> one = {{"Thyl", 4}, {"Vessari", 2}};
    const std::vector<std::string> texts = entries(&one, 1);
    EXPECT_EQ(texts, (std::vector<std::string>{"Thyl (4)  \"Old\"", "Vessari (2)  \"Swift\""}));
    ASSERT_EQ(assembleFleetFromEntries(texts, 1, dir.path), 1);
    ASSERT_EQ(Fleets[0].raceCount, 2);
    EXPECT_EQ(Fleets[0].races[0].meshCount, 2); // Thyl's part count
    EXPECT_EQ(Fleets[0].races[1].meshCount, 3);
    ASSERT_EQ(Fleets[0].shipCount, 6);
    EXPECT_EQ(Fleets[0].ships[3].raceIndex, 0);
    EXPECT_EQ(Fleets[0].ships[4].raceIndex, 1);
    EXPECT_EQ(Fleets[0].ships[5].alliance, 1);
}

TEST_F(OptionFleetTest, WithoutOptionsTheFirstTwoRacesFlyFiveShipsEach) {
    const std::string first = catalogue.entries[0].raceName;
    const std::string second = catalogue.entries[1].raceName;
    ASSERT_EQ(assembleFleetFromEntries(entries(nullptr, 1), 1, dir.path), 1);
    ASSERT_EQ(assembleFleetFromEntries(entries(nullptr, 2), 2, dir.path), 1);
    EXPECT_EQ(Fleets[0].shipCount, 5);
    EXPECT_EQ(Fleets[1].shipCount, 5);
    EXPECT_EQ(entries(nullptr, 1)[0].rfind(first + " (5)", 0), 0u);
    EXPECT_EQ(entries(nullptr, 2)[0].rfind(second + " (5)", 0), 0u);

    // One race: both sides fly it. None: both sides are empty.
    RaceCatalogue single;
    single.entries = {catalogue.entries[2]};
    single.count = 1;
    std::vector<std::string> texts;
    std::string error;
    ASSERT_TRUE(fleetEntryTexts(nullptr, 2, single, texts, error));
    EXPECT_EQ(texts[0].rfind(std::string(single.entries[0].raceName) + " (5)", 0), 0u);
    ASSERT_TRUE(fleetEntryTexts(nullptr, 1, RaceCatalogue{}, texts, error));
    EXPECT_TRUE(texts.empty());
}

TEST_F(OptionFleetTest, AnUnknownRaceNamesTheKnownOnes) {
    const std::vector<FleetRequest> wrong = {{"Vessari", 1}, {"vessari", 2}};
    std::vector<std::string> texts;
    std::string error;
    EXPECT_FALSE(fleetEntryTexts(&wrong, 2, catalogue, texts, error));
    EXPECT_NE(error.find("--alliance2: unknown race \"vessari\"; known races: "), std::string::npos)
        << error;
    for (const char* name : {"Vessari", "Korrhan", "Thyl"})
        EXPECT_NE(error.find(name), std::string::npos);
}

TEST_F(OptionFleetTest, ARaceTheAssemblyWouldNotLoadIsRefused) {
    // "Thy" stands before "Thyl" in the catalogue and lies within every Thyl entry.
    TempDirectory shadowed;
    writeRacesInCatalogueOrder(shadowed.path,
                               {smallRace("Thy", "Short", 1), smallRace("Thyl", "Old", 2),
                                smallRace(std::string(60, 'L'), "Long", 1)});
    catalogue = scanRaceCatalogue(shadowed.path);
    std::vector<std::string> texts;
    std::string error;
    const std::vector<FleetRequest> thyl = {{"Thyl", 1}};
    EXPECT_FALSE(fleetEntryTexts(&thyl, 1, catalogue, texts, error));
    EXPECT_NE(error.find("race \"Thyl\" cannot be told apart from \"Thy\""), std::string::npos)
        << error;
    const std::vector<FleetRequest> longName = {{std::string(60, 'L'), 1}};
    EXPECT_FALSE(fleetEntryTexts(&longName, 2, catalogue, texts, error));
    EXPECT_NE(error.find("longer than a fleet entry holds (55 characters)"), std::string::npos)
        << error;
    const std::vector<FleetRequest> thy = {{"Thy", 3}};
    EXPECT_TRUE(fleetEntryTexts(&thy, 1, catalogue, texts, error)) << error;
}

TEST(LinuxWindow, ASizeChangeMovesViewportAndPerspective) {
    installRecordingGL();
    reshapeScene(1000, 500);
    EXPECT_EQ(ScreenWidth, 1000);
    EXPECT_EQ(ScreenHeight, 500);
    const std::vector<GLCall> viewport = callsNamed("glViewport");
    ASSERT_EQ(viewport.size(), 1u);
    EXPECT_EQ(viewport[0].args, (std::vector<double>{0, 0, 1000, 500}));
    const std::vector<GLCall> frustum = callsNamed("glFrustum");
    ASSERT_EQ(frustum.size(), 1u);
    // Twice as wide as high; the height is the 4:3 view's.
    EXPECT_DOUBLE_EQ(frustum[0].args[1], 2 * 0.03333);
    EXPECT_DOUBLE_EQ(frustum[0].args[3], 0.03333);
    // The perspective goes to the projection matrix; the camera is left alone.
    EXPECT_LT(findCall("glMatrixMode"), findCall("glFrustum"));
    EXPECT_EQ(callsNamed("glMatrixMode").back().args[0], GL_MODELVIEW);
    EXPECT_EQ(findCall("glLoadIdentity"), findCall("glFrustum") - 1);

    reshapeScene(0, -4); // a window squeezed to nothing
    EXPECT_EQ(ScreenWidth, 1);
    EXPECT_EQ(ScreenHeight, 1);
    ScreenWidth = 800;
    ScreenHeight = 600;
}

TEST(LinuxWindow, ScreenshotRowsArePaddedForAnyWidth) {
    EXPECT_EQ(bmpRowBytes(800), 2400u);
    EXPECT_EQ(bmpRowBytes(641), 1924u);
    EXPECT_EQ(bmpRowBytes(1), 4u);
    const auto header = bmpHeader(641, 3);
    const uint32_t fileSize = header[2] | header[3] << 8 | header[4] << 16;
    const uint32_t imageSize = header[34] | header[35] << 8 | header[36] << 16;
    EXPECT_EQ(imageSize, 1924u * 3);
    EXPECT_EQ(fileSize, 1924u * 3 + 54);
}
