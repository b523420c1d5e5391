#include "shell/display.h"

int32_t ScreenWidth = 800;
int32_t ScreenHeight = 600;
int32_t ResolutionIndex = 2;
std::string ProgramDirectory;
