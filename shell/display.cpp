#include "shell/display.h"

#include "data/scene.h"

int32_t ScreenWidth = 800;
int32_t ScreenHeight = 600;
int32_t ResolutionIndex = 2;
int32_t DesktopWidth = 0;
int32_t DesktopHeight = 0;
std::string ProgramDirectory;

void reshapeScene(int32_t width, int32_t height) {
    ScreenWidth = width > 0 ? width : 1;
    ScreenHeight = height > 0 ? height : 1;
    placeScene(0, 0, ScreenWidth, ScreenHeight, SceneShape::WindowAspect);
}
