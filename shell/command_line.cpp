#include "shell/command_line.h"

#include <cstdint>

std::string_view argumentsAfterProgramPath(std::string_view commandLine) {
    size_t end;
    if (!commandLine.empty() && commandLine[0] == '"') {
        end = commandLine.find('"', 1);
        end = end == std::string_view::npos ? commandLine.size() : end + 1;
    } else {
        end = commandLine.find_first_of(" \t");
        if (end == std::string_view::npos) end = commandLine.size();
    }
    return commandLine.substr(end);
}

namespace {
// Where the deciding switch's letter stands, or npos when no switch decides.
size_t modeLetterAt(std::string_view arguments) {
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] != '/' && arguments[i] != '-') continue;
        switch (arguments[i + 1]) {
        case 'c':
        case 'C':
        case 's':
        case 'S':
        case 'p':
        case 'P':
        case 'l':
        case 'L':
        case 'a':
        case 'A':
            return i + 1;
        default:
            break;
        }
    }
    return std::string_view::npos;
}
} // namespace

RunMode runModeFromArguments(std::string_view arguments) {
    const size_t at = modeLetterAt(arguments);
    if (at == std::string_view::npos) return RunMode::Config;
    switch (arguments[at]) {
    case 's':
    case 'S':
        return RunMode::Saver;
    case 'p':
    case 'P':
    case 'l':
    case 'L':
        return RunMode::Preview;
    case 'a':
    case 'A':
        return RunMode::Password;
    default:
        return RunMode::Config;
    }
}

uint64_t previewParentFromArguments(std::string_view arguments) {
    const size_t at = modeLetterAt(arguments);
    if (at == std::string_view::npos || (arguments[at] != 'p' && arguments[at] != 'P')) return 0;
    size_t i = at + 1;
    while (i < arguments.size() &&
           (arguments[i] == ' ' || arguments[i] == '\t' || arguments[i] == ':'))
        ++i;
    uint64_t handle = 0;
    for (; i < arguments.size() && arguments[i] >= '0' && arguments[i] <= '9'; ++i) {
        const uint64_t digit = static_cast<uint64_t>(arguments[i] - '0');
        if (handle > (UINT64_MAX - digit) / 10) return 0; // too long to be a handle
        handle = handle * 10 + digit;
    }
    return handle;
}

RunMode parseRunMode(std::string_view commandLine) {
    return runModeFromArguments(argumentsAfterProgramPath(commandLine));
}

std::string programDirectoryFromModulePath(std::string_view modulePath) {
    const size_t last = modulePath.find_last_of("\\/");
    if (last == std::string_view::npos) return ".\\";
    std::string directory(modulePath.substr(0, last));
    // Plain ASCII upper-casing: bytes of other code-page characters stay as they are.
    for (char& c : directory) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c == '/') c = '\\';
    }
    directory += '\\';
    return directory;
}
