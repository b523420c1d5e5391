// libFuzzer entry point: the Windows command line and module path. Any text
// gives a run mode and a directory; the program's own path never picks the
// mode, quoted or not.
#include "shell/command_line.h"

#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::string_view arguments = argumentsAfterProgramPath(text);
    if (arguments.size() > text.size() || text.substr(text.size() - arguments.size()) != arguments)
        std::abort();
    const RunMode mode = parseRunMode(text);
    if (mode != runModeFromArguments(arguments)) std::abort();

    // The same arguments after any quoted program path choose the same mode.
    std::string path(text.substr(0, text.size() / 2));
    std::erase(path, '"');
    const std::string_view rest = text.substr(text.size() / 2);
    const std::string quoted = "\"" + path + "\"" + std::string(rest);
    if (parseRunMode(quoted) != runModeFromArguments(rest)) std::abort();

    const std::string directory = programDirectoryFromModulePath(text);
    if (directory.empty() || directory.back() != '\\' ||
        directory.find_first_of("abcdefghijklmnopqrstuvwxyz/") != std::string::npos)
        std::abort();
    return 0;
}
