// The display globals and the program's directory, fixed at start-up.
#pragma once
#include <cstdint>
#include <string>

extern int32_t ScreenWidth;
extern int32_t ScreenHeight;
extern int32_t ResolutionIndex;

// The program file's directory, upper-cased, ending in a backslash.
extern std::string ProgramDirectory;
