#include "tools/forge/forge.h"

int main(int argc, char** argv) {
    return runForge(std::vector<std::string>(argv + 1, argv + argc));
}
