// F12 screenshots written with CreateFileW/WriteFile: into the current folder,
// or into the user's Pictures\Kestrion when the current folder takes no new
// file (Windows starts a screen saver in its system folder, closed to a
// standard user).
#include "shell/display.h"
#include "shell/screenshot.h"
#include "shell/win32/saver_win32.h"

#include <shlobj.h>

namespace {
// FOLDERID_Pictures.
const GUID PicturesFolderId = {
    0x33E28130, 0x4E1E, 0x4676, {0x83, 0x5A, 0x98, 0x39, 0x5C, 0x3B, 0xC3, 0xBB}};

std::wstring wide(const std::string& utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring text(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), text.data(), length);
    return text;
}

std::string utf8(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), length, nullptr,
                        nullptr);
    return bytes;
}

bool fileOpensForReading(const std::string& path) {
    HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// "...\Pictures\Kestrion\", made when missing; empty when there is no such folder.
std::string picturesFolder() {
    PWSTR pictures = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(PicturesFolderId, KF_FLAG_CREATE, nullptr, &pictures)))
        folder = std::wstring(pictures) + L"\\Kestrion";
    CoTaskMemFree(pictures);
    if (folder.empty()) return std::string();
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return std::string();
    return utf8(folder) + "\\";
}

bool writeAll(HANDLE file, const void* bytes, size_t size) {
    DWORD written = 0;
    return WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr) && written == size;
}
} // namespace

void writeScreenshot() {
    ScreenshotPixels pixels;
    if (!readScreenshotPixelsAt(Layout.viewport.x, Layout.viewport.y, ScreenWidth, ScreenHeight,
                                pixels))
        return;
    HANDLE file = INVALID_HANDLE_VALUE;
    const auto create = [&](const std::string& path) {
        file = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        return file != INVALID_HANDLE_VALUE;
    };
    // Neither folder takes the file: nothing is written and the battle goes on.
    const std::string path = createScreenshotFile({fileOpensForReading, create, picturesFolder});
    if (path.empty()) return;
    const auto header = bmpHeader(ScreenWidth, ScreenHeight);
    const bool written = writeAll(file, header.data(), 14) &&
                         writeAll(file, header.data() + 14, 40) &&
                         writeAll(file, pixels.bytes.get(), pixels.size);
    CloseHandle(file);
    // A full disk leaves no cut-off picture behind.
    if (!written) DeleteFileW(wide(path).c_str());
}
