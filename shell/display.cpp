#include "shell/display.h"

int32_t ScreenWidth = 800;
int32_t ScreenHeight = 600;
int32_t ResolutionIndex = 2;
int32_t DesktopWidth = 0;
int32_t DesktopHeight = 0;
std::string ProgramDirectory;
