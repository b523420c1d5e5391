// Run mode and program directory, decided once at start-up.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

enum class RunMode { Saver = 0, Config = 1, Preview = 2, Password = 3 };

// The arguments that follow the program's own path on a command line: a quoted
// path ends at its closing quote, an unquoted one at the first blank or tab.
std::string_view argumentsAfterProgramPath(std::string_view commandLine);

// The switch grammar: the first "/" or "-" followed by a mode letter (either
// case) decides; other letters are skipped; no switch means Config.
RunMode runModeFromArguments(std::string_view arguments);

// The preview's parent window: the decimal number after a deciding "/p" (a
// blank, a tab or a colon may stand between, as in "/p 1234" or "/p:1234").
// 0 when the switch is another one, has no number, or the number is too long.
uint64_t previewParentFromArguments(std::string_view arguments);

// The run mode of a whole command line. The program's path never takes part,
// so a folder named like "jean-claude" cannot pick the mode.
RunMode parseRunMode(std::string_view commandLine);

// The directory part of the program's module path, ASCII upper-cased, ending
// in a backslash. A path without any separator gives ".\".
std::string programDirectoryFromModulePath(std::string_view modulePath);
