#include "tools/forge/forge.h"

#include <cstdio>

int runForge(const std::vector<std::string>& args) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::printf("usage: kestrion-forge defaults OUTDIR | inspect FILE...\n");
        return args.empty() ? 2 : 0;
    }
    std::fprintf(stderr, "kestrion-forge: unknown command '%s' (try --help)\n", args[0].c_str());
    return 2;
}
