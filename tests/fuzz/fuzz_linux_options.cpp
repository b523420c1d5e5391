// libFuzzer entry point: the Linux program's command line, one argument a line.
// Any arguments give options or one line of error, and accepted fleets stay
// within the bounds fleet assembly relies on.
#include "battle/fleet.h"
#include "shell/linux_options.h"

#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> arguments;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        arguments.push_back(text.substr(start, end - start));
    arguments.push_back(text.substr(start));

    const ParsedOptions parsed = parseProgramOptions(arguments);
    if (!parsed.error.empty()) {
        if (parsed.error.find('\n') != std::string::npos) std::abort();
        return 0;
    }
    const ProgramOptions& options = parsed.options;
    if ((options.target == WindowTarget::WindowId) != (options.windowId != 0)) std::abort();
    for (int alliance = 0; alliance < 2; ++alliance) {
        int64_t ships = 0;
        for (const FleetRequest& request : options.alliances[alliance]) {
            if (request.ships < 1 || request.ships > MaxEntryShips) std::abort();
            ships += request.ships;
        }
        if (ships > MaxFleetShips) std::abort();
        if (!options.allianceGiven[alliance] && !options.alliances[alliance].empty()) std::abort();
    }
    return 0;
}
