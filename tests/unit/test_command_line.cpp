#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

TEST(RunModeSwitches, EitherCaseEitherPrefixFirstModeLetterWins) {
    const std::vector<std::pair<const char*, RunMode>> cases = {
        {" /s", RunMode::Saver},         {" -s", RunMode::Saver},    {" /S", RunMode::Saver},
        {" /c:1234", RunMode::Config},   {" -C", RunMode::Config},   {" /p 1234", RunMode::Preview},
        {" /l", RunMode::Preview},       {" -L", RunMode::Preview},  {" /a", RunMode::Password},
        {" -A 5678", RunMode::Password}, {" /x /s", RunMode::Saver}, {" /s /c", RunMode::Saver},
        {" --s", RunMode::Saver},        {" s", RunMode::Config},    {" /", RunMode::Config},
        {"", RunMode::Config},           {" /x", RunMode::Config},   {" x/a", RunMode::Password},
    };
    for (const auto& [arguments, mode] : cases) {
        EXPECT_EQ(runModeFromArguments(arguments), mode) << '"' << arguments << '"';
    }
}

// A switch character inside the program's own path must not decide the mode.
TEST(RunModeSwitches, ProgramPathIsSkippedQuotedOrNot) {
    const std::vector<std::pair<const char*, RunMode>> cases = {
        {R"(C:\Users\jean-claude\Kestrion.scr /s)", RunMode::Saver},
        {R"(D:\MY-CONFIG\X.SCR /s)", RunMode::Saver},
        {R"(D:\MY-CONFIG\X.SCR)", RunMode::Config},
        {R"(C:\x/a\Kestrion.scr)", RunMode::Config},
        {R"(C:\x-p\Kestrion.scr /c:99)", RunMode::Config},
        {R"("C:\Program Files\a -s b\Kestrion.scr" /a)", RunMode::Password},
        {R"("C:\Program Files\a -s b\Kestrion.scr")", RunMode::Config},
        {R"("C:\a-s\Kestrion.scr"/p)", RunMode::Preview},
        {"Kestrion.scr\t-s", RunMode::Saver},
        {"Kestrion.scr /S", RunMode::Saver},
        {R"("C:\unclosed -s quote)", RunMode::Config},
        {"", RunMode::Config},
    };
    for (const auto& [line, mode] : cases)
        EXPECT_EQ(parseRunMode(line), mode) << line;
}

TEST(RunModeSwitches, ArgumentsStartRightAfterThePath) {
    EXPECT_EQ(argumentsAfterProgramPath(R"("C:\A B\x.scr" /s)"), " /s");
    EXPECT_EQ(argumentsAfterProgramPath(R"(C:\AB\x.scr /c:5)"), " /c:5");
    EXPECT_EQ(argumentsAfterProgramPath(R"(C:\AB\x.scr)"), "");
}

TEST(ProgramDirectory, DirectoryOfTheModulePathUpperCasedWithBackslash) {
    EXPECT_EQ(programDirectoryFromModulePath(R"(D:\Savers\Kestrion.scr)"), R"(D:\SAVERS\)");
    // UNC paths keep their leading backslashes.
    EXPECT_EQ(programDirectoryFromModulePath(R"(\\host\share\x.scr)"), R"(\\HOST\SHARE\)");
    EXPECT_EQ(programDirectoryFromModulePath(R"(C:\x.scr)"), R"(C:\)");
    EXPECT_EQ(programDirectoryFromModulePath("x.scr"), ".\\");
    EXPECT_EQ(programDirectoryFromModulePath("C:/mixed\\dir/x.scr"), "C:\\MIXED\\DIR\\");
    // Bytes outside ASCII are left alone (0xE9 is a code-page accented letter).
    EXPECT_EQ(programDirectoryFromModulePath("C:\\caf\xE9\\x.scr"), "C:\\CAF\xE9\\");
}

TEST(ProgramDirectory, LongPathsAreKeptWhole) {
    std::string directory = "C:\\";
    for (int i = 0; i < 30; ++i)
        directory += "folder" + std::to_string(i) + "\\";
    ASSERT_GT(directory.size(), 250u);
    std::string upper = directory;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(programDirectoryFromModulePath(directory + "Kestrion.scr"), upper);
}

TEST(PreviewParent, TheDecimalHandleAfterTheDecidingP) {
    EXPECT_EQ(previewParentFromArguments(" /p 1234"), 1234u);
    EXPECT_EQ(previewParentFromArguments(" /P:65810"), 65810u);
    EXPECT_EQ(previewParentFromArguments(" -p\t4294967295"), 4294967295u);
    EXPECT_EQ(previewParentFromArguments(" /p 12x"), 12u);
    // No handle, a handle with another switch, or one too long for any window.
    for (const char* arguments : {" /p", " /p x", " /l 1234", " /c 1234", " /s", "", " /a /p 5",
                                  " /p 99999999999999999999999"})
        EXPECT_EQ(previewParentFromArguments(arguments), 0u) << arguments;
    // The first switch decides, as for the run mode.
    EXPECT_EQ(previewParentFromArguments(" /x /p 77 /p 88"), 77u);
}
