// F12 screenshots written with stdio.
#include "shell/display.h"
#include "shell/screenshot.h"
#include "shell/x11/x11_shell.h"

#include <cstdio>

namespace {
bool fileOpensForReading(const std::string& name) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}
} // namespace

void writeScreenshotFile() {
    const std::string name = firstFreeScreenshotName(fileOpensForReading);
    if (name.empty()) return;
    ScreenshotPixels pixels;
    if (!readScreenshotPixels(ScreenWidth, ScreenHeight, pixels)) return;
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file) return; // not reported; the battle goes on
    const auto header = bmpHeader(ScreenWidth, ScreenHeight);
    std::fwrite(header.data(), 1, header.size(), file);
    std::fwrite(pixels.bytes.get(), 1, pixels.size, file);
    std::fclose(file);
}
