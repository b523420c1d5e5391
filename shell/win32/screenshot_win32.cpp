// F12 screenshots written with CreateFileA/WriteFile.
#include "shell/display.h"
#include "shell/screenshot.h"
#include "shell/win32/saver_win32.h"

namespace {
bool fileOpensForReading(const std::string& name) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

void writeAll(HANDLE file, const void* bytes, size_t size) {
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr);
}
} // namespace

void writeScreenshot() {
    const std::string name = firstFreeScreenshotName(fileOpensForReading);
    if (name.empty()) return;
    ScreenshotPixels pixels;
    if (!readScreenshotPixels(ScreenWidth, ScreenHeight, pixels)) return;
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    // A file that cannot be created is not reported; the saver goes on.
    if (file == INVALID_HANDLE_VALUE) return;
    const auto header = bmpHeader(ScreenWidth, ScreenHeight);
    writeAll(file, header.data(), 14);
    writeAll(file, header.data() + 14, 40);
    writeAll(file, pixels.bytes.get(), pixels.size);
    CloseHandle(file);
}
