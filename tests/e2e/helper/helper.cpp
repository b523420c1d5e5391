// kestrion-e2e-helper: the end-to-end tests' hands inside Wine. It reads and
// writes the saver's registry values byte for byte, finds windows by caption,
// drives dialog controls by id, moves the cursor and runs a program with an
// exact command line. One command per call; see usage() for the list.
#include <windows.h>

#include <sddl.h>
#include <shlobj.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const SettingsKey = "Software\\Quorvane\\Kestrion";
// The settings commands work on the machine's key, or with --user on the user's.
HKEY SettingsRoot = HKEY_LOCAL_MACHINE;
const UINT MessageTimeoutMs = 10000;

int usage() {
    std::fputs(
        "usage: kestrion-e2e-helper [--user] COMMAND ...\n"
        "  reg-get NAME                 print TYPE SIZE HEX of a settings value, or 'missing'\n"
        "  reg-dump                     print NAME TYPE SIZE HEX of every settings value\n"
        "  reg-set NAME TEXT [zero]     write a REG_SZ value, with its terminator if 'zero'\n"
        "  reg-delete                   delete the settings keys, the machine's and the user's\n"
        "                               (with --user only the user's)\n"
        "  reg-lock                     let everyone only read the settings key, as a standard\n"
        "                               user may read the machine's\n"
        "  reg-unlock                   give everyone full access to it again\n"
        "  (the reg commands work on the machine's key, with --user on the user's)\n"
        "  wait-window CAPTIONS [MS]    wait until a window is up and answering; CAPTIONS\n"
        "                               may list alternatives as A|B; prints the one found\n"
        "  wait-gone CAPTION [MS]       wait until no window has that caption\n"
        "  window-rect CAPTION          print X Y WIDTH HEIGHT\n"
        "  set-text CAPTION ID TEXT     set a control's text\n"
        "  get-text CAPTION ID          print a control's text\n"
        "  click CAPTION ID             press a button (BM_CLICK)\n"
        "  command CAPTION ID           send the dialog WM_COMMAND for a control\n"
        "  post-command CAPTION ID      post it, not waiting for what it opens\n"
        "  checked CAPTION ID           print a button's check state (0, 1 or 2)\n"
        "  list-items CAPTION ID        print a list box's items, one a line\n"
        "  list-select CAPTION ID N     select list box item N\n"
        "  combo-items CAPTION ID       print a combo box's items, one a line\n"
        "  combo-select CAPTION ID N    select combo box item N\n"
        "  combo-selected CAPTION ID    print the selected combo box index\n"
        "  cursor X Y                   move the cursor (SetCursorPos)\n"
        "  close CAPTION                send the window WM_CLOSE\n"
        "  terminate PID                end a Windows process\n"
        "  run DIR COMMANDLINE [MS] [PROGRAM]\n"
        "                               run a program with exactly that command line and\n"
        "                               DIR as its current directory; print 'exit N'\n"
        "  file-version PATH            print a file's version resource as NAME=VALUE lines\n"
        "  host-preview CAPTION W H DIR PROGRAM\n"
        "                               open a window with a W x H client area, run\n"
        "                               'PROGRAM /p HWND' from DIR, print 'pid N'; once the\n"
        "                               window is closed wait for PROGRAM and print 'exit N'\n"
        "  child-window CAPTION         print W H, 'visible' or 'hidden' and the process id\n"
        "                               of the window's first child\n"
        "  post-input CAPTION           post a key, Escape, clicks and a mouse move to it\n"
        "  display-state CAPTION N      tell the window the display is off (0), on (1) or\n"
        "                               dimmed (2), as a power-setting notification\n"
        "  dir-lock PATH                let everyone only read and list a folder\n"
        "  dir-unlock PATH              give everyone full access to it again\n"
        "  known-folder pictures        print the user's Pictures folder\n",
        stderr);
    return 2;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "kestrion-e2e-helper: %s\n", message.c_str());
    return 1;
}

// Arguments arrive in the ANSI code page; what we print is UTF-8.
std::wstring widen(const std::string& text) {
    if (text.empty()) return {};
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), wide.data(), length);
    return wide;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) return {};
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0, nullptr,
                                     nullptr);
    std::string utf8(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), utf8.data(), length, nullptr,
                        nullptr);
    return utf8;
}

bool parseNumber(const char* text, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0';
}

std::string hexBytes(const std::vector<BYTE>& bytes, DWORD size) {
    std::string hex;
    char pair[3];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        hex += pair;
    }
    return hex;
}

const char* typeName(DWORD type) {
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    case REG_QWORD:
        return "REG_QWORD";
    default:
        return "REG_OTHER";
    }
}

// Opens the settings key without creating it; false when it does not exist.
bool openSettings(REGSAM access, HKEY& key) {
    return RegOpenKeyExA(SettingsRoot, SettingsKey, 0, access, &key) == ERROR_SUCCESS;
}

int regGet(const std::string& name) {
    HKEY key;
    if (!openSettings(KEY_READ, key)) {
        std::puts("missing");
        return 0;
    }
    DWORD type = 0, size = 0;
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> bytes(size + 1);
    if (status == ERROR_SUCCESS)
        status = RegQueryValueExA(key, name.c_str(), nullptr, &type, bytes.data(), &size);
    RegCloseKey(key);
    if (status == ERROR_FILE_NOT_FOUND) {
        std::puts("missing");
        return 0;
    }
    if (status != ERROR_SUCCESS) return fail("cannot read value " + name);
    std::printf("%s %lu %s\n", typeName(type), (unsigned long)size, hexBytes(bytes, size).c_str());
    return 0;
}

int regDump() {
    HKEY key;
    if (!openSettings(KEY_READ, key)) return 0; // no key: nothing to list
    std::vector<std::string> lines;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof name, type = 0, size = 0;
        LONG status = RegEnumValueA(key, index, name, &nameLength, nullptr, &type, nullptr, &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) {
            RegCloseKey(key);
            return fail("cannot enumerate the settings values");
        }
        std::vector<BYTE> bytes(size + 1);
        nameLength = sizeof name;
        RegEnumValueA(key, index, name, &nameLength, nullptr, &type, bytes.data(), &size);
        lines.push_back(std::string(name) + " " + typeName(type) + " " + std::to_string(size) +
                        " " + hexBytes(bytes, size));
    }
    RegCloseKey(key);
    std::sort(lines.begin(), lines.end());
    for (const std::string& line : lines)
        std::puts(line.c_str());
    return 0;
}

int regSet(const std::string& name, const std::string& text, bool withZero) {
    HKEY key;
    const LONG created =
        RegCreateKeyExA(SettingsRoot, SettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (created != ERROR_SUCCESS)
        return fail("cannot create the settings key with full access (error " +
                    std::to_string(created) + ")");
    // RegSetValueExA counts a terminator the caller left out when the byte after
    // the text is zero, so without "zero" that byte must not be.
    std::string bytes = text + (withZero ? '\0' : '?');
    DWORD size = (DWORD)text.size() + (withZero ? 1 : 0);
    LONG status = RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE*)bytes.data(), size);
    DWORD stored = 0;
    if (status == ERROR_SUCCESS)
        status = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &stored);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return fail("cannot write value " + name);
    if (stored != size)
        return fail("value " + name + " was stored with " + std::to_string(stored) +
                    " bytes instead of " + std::to_string(size));
    return 0;
}

int regDelete() {
    for (HKEY root : {SettingsRoot, HKEY_CURRENT_USER}) {
        LONG status = RegDeleteTreeA(root, SettingsKey);
        if (status == ERROR_SUCCESS) status = RegDeleteKeyA(root, SettingsKey);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            return fail("cannot delete the settings key");
    }
    return 0;
}

// Sets the key's access list: "KR" lets everyone read, "KA" gives full access.
int regAccess(const char* rights) {
    HKEY key;
    if (RegOpenKeyExA(SettingsRoot, SettingsKey, 0, READ_CONTROL | WRITE_DAC, &key) !=
        ERROR_SUCCESS)
        return fail("cannot open the settings key to change its access");
    const std::string sddl = std::string("D:P(A;CI;") + rights + ";;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    LONG status = ERROR_INVALID_PARAMETER;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                             &descriptor, nullptr)) {
        status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        LocalFree(descriptor);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : fail("cannot set the access list " + sddl);
}

HWND findTopLevel(const std::string& caption) {
    return FindWindowW(nullptr, widen(caption).c_str());
}

// A window is ready once it is visible and its thread has come back to its
// message loop: a dialog is found by caption while WM_INITDIALOG still runs.
bool answering(HWND window) {
    DWORD_PTR result = 0;
    return IsWindowVisible(window) &&
           SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

int waitWindow(const std::string& captions, DWORD timeoutMs) {
    std::vector<std::string> alternatives;
    for (size_t start = 0;;) {
        size_t bar = captions.find('|', start);
        alternatives.push_back(captions.substr(start, bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    DWORD start = GetTickCount();
    for (;;) {
        for (const std::string& caption : alternatives) {
            HWND window = findTopLevel(caption);
            if (window && answering(window)) {
                DWORD pid = 0;
                GetWindowThreadProcessId(window, &pid);
                std::printf("%s\n%lu\n", caption.c_str(), (unsigned long)pid);
                return 0;
            }
        }
        if (GetTickCount() - start > timeoutMs)
            return fail("no answering window \"" + captions + "\" after " +
                        std::to_string(timeoutMs) + " ms");
        Sleep(50);
    }
}

int waitGone(const std::string& caption, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (findTopLevel(caption)) {
        if (GetTickCount() - start > timeoutMs)
            return fail("window \"" + caption + "\" still there after " +
                        std::to_string(timeoutMs) + " ms");
        Sleep(50);
    }
    return 0;
}

int windowRect(const std::string& caption) {
    HWND window = findTopLevel(caption);
    if (!window) return fail("no window \"" + caption + "\"");
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    return 0;
}

// The control `id` of the dialog with that caption, or null after a message.
HWND findControl(const std::string& caption, const char* idText, HWND* dialogOut = nullptr) {
    long id = 0;
    if (!parseNumber(idText, id)) {
        fail(std::string("control id is not a number: ") + idText);
        return nullptr;
    }
    HWND dialog = findTopLevel(caption);
    if (!dialog) {
        fail("no window \"" + caption + "\"");
        return nullptr;
    }
    HWND control = GetDlgItem(dialog, (int)id);
    if (!control) fail("window \"" + caption + "\" has no control " + idText);
    if (dialogOut) *dialogOut = dialog;
    return control;
}

bool send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DWORD_PTR value = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, MessageTimeoutMs,
                             &value))
        return false;
    result = (LRESULT)value;
    return true;
}

int setText(HWND control, const std::string& text) {
    std::wstring wide = widen(text);
    LRESULT result = 0;
    if (!send(control, WM_SETTEXT, 0, (LPARAM)wide.c_str(), result) || !result)
        return fail("WM_SETTEXT was not accepted");
    return 0;
}

int getText(HWND control) {
    LRESULT length = 0;
    if (!send(control, WM_GETTEXTLENGTH, 0, 0, length)) return fail("WM_GETTEXTLENGTH failed");
    std::wstring text(length + 1, L'\0');
    LRESULT copied = 0;
    if (!send(control, WM_GETTEXT, length + 1, (LPARAM)text.data(), copied))
        return fail("WM_GETTEXT failed");
    text.resize(copied);
    std::puts(narrow(text).c_str());
    return 0;
}

// List and combo boxes answer the same three questions with different messages.
struct ItemMessages {
    UINT count, textLength, text;
};
const ItemMessages ListMessages = {LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT};
const ItemMessages ComboMessages = {CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT};

// The W messages: sent as A across processes, Wine returned one character only.
int printItems(HWND control, const ItemMessages& messages) {
    LRESULT count = 0;
    if (!send(control, messages.count, 0, 0, count) || count < 0)
        return fail("cannot count the items");
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = 0;
        if (!send(control, messages.textLength, i, 0, length) || length < 0)
            return fail("cannot read item " + std::to_string(i));
        std::wstring text(length + 1, L'\0');
        LRESULT copied = 0;
        if (!send(control, messages.text, i, (LPARAM)text.data(), copied) || copied < 0)
            return fail("cannot read item " + std::to_string(i));
        text.resize(copied);
        std::puts(narrow(text).c_str());
    }
    return 0;
}

int selectItem(HWND control, UINT message, const char* indexText) {
    long index = 0;
    if (!parseNumber(indexText, index)) return fail(std::string("not an index: ") + indexText);
    LRESULT result = 0;
    if (!send(control, message, (WPARAM)index, 0, result) || (result == -1 && index != -1))
        return fail(std::string("cannot select item ") + indexText);
    return 0;
}

int closeWindow(const std::string& caption) {
    HWND window = findTopLevel(caption);
    if (!window) return fail("no window \"" + caption + "\"");
    LRESULT result = 0;
    return send(window, WM_CLOSE, 0, 0, result) ? 0 : fail("WM_CLOSE was not answered");
}

int terminate(const char* pidText) {
    long pid = 0;
    if (!parseNumber(pidText, pid)) return fail(std::string("not a process id: ") + pidText);
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, (DWORD)pid);
    if (!process) return 0; // already gone
    BOOL ended = TerminateProcess(process, 255);
    CloseHandle(process);
    return ended ? 0 : fail(std::string("cannot end process ") + pidText);
}

// Without PROGRAM the command line's first word names it and is searched for
// in DIR; with PROGRAM the command line is passed as it is, whatever it says.
int run(const std::string& directory, const std::string& commandLine, DWORD timeoutMs,
        const std::string& program) {
    if (!SetCurrentDirectoryW(widen(directory).c_str()))
        return fail("cannot change to directory " + directory);
    std::wstring line = widen(commandLine), application = widen(program);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.empty() ? nullptr : application.c_str(), line.data(), nullptr,
                        nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return fail("cannot start \"" + commandLine + "\" (error " +
                    std::to_string(GetLastError()) + ")");
    CloseHandle(process.hThread);
    std::printf("pid %lu\n", (unsigned long)process.dwProcessId);
    std::fflush(stdout);
    DWORD waited = WaitForSingleObject(process.hProcess, timeoutMs);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 255);
        CloseHandle(process.hProcess);
        return fail("\"" + commandLine + "\" still running after " + std::to_string(timeoutMs) +
                    " ms; terminated it");
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    std::printf("exit %lu\n", (unsigned long)code);
    return 0;
}

// What Windows shows in a file's properties: the fixed version numbers, then
// the texts of the first language the file lists.
int fileVersion(const std::string& path) {
    std::wstring file = widen(path);
    DWORD ignored = 0, size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<BYTE> data(size);
    if (!size || !GetFileVersionInfoW(file.c_str(), 0, size, data.data()))
        return fail("no version resource in " + path);
    VS_FIXEDFILEINFO* fixed = nullptr;
    WORD* language = nullptr;
    UINT length = 0, languageLength = 0;
    if (!VerQueryValueW(data.data(), L"\\", (void**)&fixed, &length) || !fixed ||
        !VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", (void**)&language,
                        &languageLength) ||
        languageLength < 2 * sizeof(WORD))
        return fail("the version resource of " + path + " has no numbers or no language");
    std::printf("Fixed=%u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS),
                LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                LOWORD(fixed->dwFileVersionLS));
    wchar_t block[40];
    swprintf(block, 40, L"\\StringFileInfo\\%04x%04x\\", language[0], language[1]);
    for (const wchar_t* name : {L"ProductName", L"ProductVersion", L"FileVersion",
                                L"FileDescription", L"CompanyName", L"LegalCopyright"}) {
        wchar_t* value = nullptr;
        if (VerQueryValueW(data.data(), (std::wstring(block) + name).c_str(), (void**)&value,
                           &length) &&
            value && length > 0)
            std::printf("%s=%s\n", narrow(name).c_str(), narrow(value).c_str());
    }
    return 0;
}

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

// What the Screen Saver Settings dialog does for its little monitor.
int hostPreview(const std::string& caption, long width, long height, const std::string& directory,
                const std::string& program) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = hostProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(GRAY_BRUSH);
    windowClass.lpszClassName = L"KestrionPreviewHost";
    if (!RegisterClassW(&windowClass)) return fail("cannot register the host window class");
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT frame = {0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    HWND host = CreateWindowW(L"KestrionPreviewHost", widen(caption).c_str(), style | WS_VISIBLE,
                              40, 40, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                              nullptr, windowClass.hInstance, nullptr);
    if (!host) return fail("cannot create the host window");
    std::wstring line =
        L"\"" + widen(program) + L"\" /p " + std::to_wstring((unsigned long long)(uintptr_t)host);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        widen(directory).c_str(), &startup, &process))
        return fail("cannot start " + program);
    CloseHandle(process.hThread);
    std::printf("pid %lu\n", (unsigned long)process.dwProcessId);
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DWORD code = 255;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 255);
    CloseHandle(process.hProcess);
    std::printf("exit %lu\n", (unsigned long)code);
    return 0;
}

int childWindow(const std::string& caption) {
    HWND window = findTopLevel(caption);
    if (!window) return fail("no window \"" + caption + "\"");
    HWND child = GetWindow(window, GW_CHILD);
    if (!child) return fail("window \"" + caption + "\" has no child");
    RECT rect;
    GetClientRect(child, &rect);
    DWORD pid = 0;
    GetWindowThreadProcessId(child, &pid);
    std::printf("%ld %ld %s %lu\n", rect.right, rect.bottom,
                IsWindowVisible(child) ? "visible" : "hidden", (unsigned long)pid);
    return 0;
}

int postInput(const std::string& caption) {
    HWND window = findTopLevel(caption);
    HWND child = window ? GetWindow(window, GW_CHILD) : nullptr;
    if (!child) return fail("window \"" + caption + "\" has no child");
    const LPARAM point = MAKELPARAM(20, 20), away = MAKELPARAM(90, 70);
    PostMessageW(child, WM_KEYDOWN, 'A', 1);
    PostMessageW(child, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(child, WM_LBUTTONUP, 0, point);
    PostMessageW(child, WM_RBUTTONDOWN, MK_RBUTTON, point);
    PostMessageW(child, WM_MOUSEMOVE, 0, point);
    PostMessageW(child, WM_MOUSEMOVE, 0, away);
    return 0;
}

// Tells the window the console display's state as Windows does: a
// POWERBROADCAST_SETTING for GUID_CONSOLE_DISPLAY_STATE, laid into the
// window's own process (the message carries a pointer), sent, and freed.
int displayState(const std::string& caption, const char* stateText) {
    long state = 0;
    if (!parseNumber(stateText, state) || state < 0) return usage();
    HWND window = findTopLevel(caption);
    if (!window) return fail("no window \"" + caption + "\"");
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return fail("cannot open the window's process");
    struct {
        GUID setting;
        DWORD dataLength;
        DWORD data;
    } notification = {
        {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}},
        sizeof(DWORD),
        (DWORD)state};
    void* remote = VirtualAllocEx(process, nullptr, sizeof notification, MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
    LRESULT result = 0;
    const bool sent =
        remote &&
        WriteProcessMemory(process, remote, &notification, sizeof notification, nullptr) &&
        send(window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, (LPARAM)remote, result);
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return sent ? 0 : fail("the display state did not reach the window");
}

// "FRFX": read and list only; "FA": everything. Inherited by what the folder holds.
int dirAccess(const std::string& path, const char* rights) {
    const std::string sddl = std::string("D:P(A;OICI;") + rights + ";;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return fail("cannot make the access list " + sddl);
    const BOOL set = SetFileSecurityW(widen(path).c_str(), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    return set ? 0 : fail("cannot set the access list of " + path);
}

int knownFolder(const std::string& which) {
    if (which != "pictures") return usage();
    PWSTR path = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Pictures, 0, nullptr, &path)))
        return fail("Windows knows no Pictures folder");
    std::puts(narrow(path).c_str());
    CoTaskMemFree(path);
    return 0;
}

DWORD timeoutArgument(int argc, char** argv, int index, DWORD fallback) {
    long value = 0;
    if (index < argc && parseNumber(argv[index], value) && value > 0) return (DWORD)value;
    return fallback;
}

int dispatch(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--user") {
        SettingsRoot = HKEY_CURRENT_USER;
        ++argv;
        --argc;
    }
    if (argc < 2) return usage();
    const std::string command = argv[1];
    auto needs = [&](int count) { return argc >= 2 + count; };

    if (command == "reg-get" && needs(1)) return regGet(argv[2]);
    if (command == "reg-dump") return regDump();
    if (command == "reg-set" && needs(2))
        return regSet(argv[2], argv[3], argc > 4 && std::string(argv[4]) == "zero");
    if (command == "reg-delete") return regDelete();
    if (command == "reg-lock") return regAccess("KR");
    if (command == "reg-unlock") return regAccess("KA");
    if (command == "wait-window" && needs(1))
        return waitWindow(argv[2], timeoutArgument(argc, argv, 3, 30000));
    if (command == "wait-gone" && needs(1))
        return waitGone(argv[2], timeoutArgument(argc, argv, 3, 30000));
    if (command == "window-rect" && needs(1)) return windowRect(argv[2]);
    if (command == "cursor" && needs(2)) {
        long x = 0, y = 0;
        if (!parseNumber(argv[2], x) || !parseNumber(argv[3], y)) return usage();
        return SetCursorPos((int)x, (int)y) ? 0 : fail("SetCursorPos failed");
    }
    if (command == "close" && needs(1)) return closeWindow(argv[2]);
    if (command == "terminate" && needs(1)) return terminate(argv[2]);
    if (command == "file-version" && needs(1)) return fileVersion(argv[2]);
    if (command == "host-preview" && needs(5)) {
        long width = 0, height = 0;
        if (!parseNumber(argv[3], width) || !parseNumber(argv[4], height)) return usage();
        return hostPreview(argv[2], width, height, argv[5], argv[6]);
    }
    if (command == "child-window" && needs(1)) return childWindow(argv[2]);
    if (command == "post-input" && needs(1)) return postInput(argv[2]);
    if (command == "display-state" && needs(2)) return displayState(argv[2], argv[3]);
    if (command == "dir-lock" && needs(1)) return dirAccess(argv[2], "FRFX");
    if (command == "dir-unlock" && needs(1)) return dirAccess(argv[2], "FA");
    if (command == "known-folder" && needs(1)) return knownFolder(argv[2]);
    if (command == "run" && needs(2))
        return run(argv[2], argv[3], timeoutArgument(argc, argv, 4, 60000),
                   argc > 5 ? argv[5] : "");

    // The rest work on one control of a window found by caption.
    if (!needs(2)) return usage();
    HWND dialog = nullptr;
    HWND control = findControl(argv[2], argv[3], &dialog);
    if (!control) return 1;
    LRESULT result = 0;
    if (command == "set-text" && needs(3)) return setText(control, argv[4]);
    if (command == "get-text") return getText(control);
    if (command == "click")
        return send(control, BM_CLICK, 0, 0, result) ? 0 : fail("BM_CLICK was not answered");
    if (command == "command") {
        WPARAM wParam = MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED);
        return send(dialog, WM_COMMAND, wParam, (LPARAM)control, result)
                   ? 0
                   : fail("WM_COMMAND was not answered");
    }
    if (command == "post-command") {
        WPARAM wParam = MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED);
        return PostMessageA(dialog, WM_COMMAND, wParam, (LPARAM)control)
                   ? 0
                   : fail("WM_COMMAND could not be posted");
    }
    if (command == "checked") {
        if (!send(control, BM_GETCHECK, 0, 0, result)) return fail("BM_GETCHECK failed");
        std::printf("%ld\n", (long)result);
        return 0;
    }
    if (command == "list-items") return printItems(control, ListMessages);
    if (command == "combo-items") return printItems(control, ComboMessages);
    if (command == "list-select" && needs(3)) return selectItem(control, LB_SETCURSEL, argv[4]);
    if (command == "combo-select" && needs(3)) return selectItem(control, CB_SETCURSEL, argv[4]);
    if (command == "combo-selected") {
        if (!send(control, CB_GETCURSEL, 0, 0, result)) return fail("CB_GETCURSEL failed");
        std::printf("%ld\n", (long)result);
        return 0;
    }
    return usage();
}

} // namespace

int main(int argc, char** argv) {
    // Plain "\n" line ends for the shell that reads us.
    _setmode(_fileno(stdout), _O_BINARY);
    int code = dispatch(argc, argv);
    std::fflush(stdout);
    return code;
}
