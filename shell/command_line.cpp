#include "shell/command_line.h"

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

RunMode runModeFromArguments(std::string_view arguments) {
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] != '/' && arguments[i] != '-') continue;
        switch (arguments[i + 1]) {
        case 'c':
        case 'C':
            return RunMode::Config;
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
            break;
        }
    }
    return RunMode::Config;
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
