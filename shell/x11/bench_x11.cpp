// The Linux measure of the process's age, for the benchmark hooks.
#include "shell/x11/x11_shell.h"

#include <cstdio>
#include <ctime>
#include <unistd.h>

// Milliseconds since the process started, from its start time in /proc.
long long msSinceProcessStart() {
    std::FILE* stat = std::fopen("/proc/self/stat", "r");
    if (!stat) return 0;
    char text[1024] = {};
    const size_t length = std::fread(text, 1, sizeof text - 1, stat);
    std::fclose(stat);
    text[length] = 0;
    // Field 22, counted after the command name, which may hold blanks.
    const char* field = nullptr;
    for (const char* p = text; *p; ++p)
        if (*p == ')') field = p;
    if (!field) return 0;
    unsigned long long startTicks = 0;
    if (std::sscanf(field + 1,
                    " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d "
                    "%*d %*d %*d %llu",
                    &startTicks) != 1)
        return 0;
    timespec now = {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const long ticks = sysconf(_SC_CLK_TCK);
    if (ticks <= 0) return 0;
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000 -
           static_cast<long long>(startTicks * 1000 / static_cast<unsigned long long>(ticks));
}
