// The benchmark hooks of the Linux program.
#include "platform/clock.h"
#include "shell/x11/x11_shell.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {
struct BenchHooks {
    long frameLimit = 0;
    const char* logFile = nullptr;
    long frames = 0;
    uint32_t firstFrameAt = 0;
    uint32_t lastFrameDoneAt = 0;
    long long processStartToFirstFrameMs = 0;
} Bench;

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
} // namespace

void readBenchHooks() {
    if (const char* frames = std::getenv("KESTRION_BENCH_FRAMES"))
        Bench.frameLimit = std::strtol(frames, nullptr, 10);
    Bench.logFile = std::getenv("KESTRION_BENCH_LOG");
}

void benchStarting() {
    Bench.frames = 0;
}

void benchFrameStarting() {
    if (Bench.frames == 0) {
        Bench.firstFrameAt = clockNow();
        Bench.processStartToFirstFrameMs = msSinceProcessStart();
    }
}

bool benchFrameDone() {
    ++Bench.frames;
    Bench.lastFrameDoneAt = clockNow();
    return !(Bench.frameLimit > 0 && Bench.frames >= Bench.frameLimit);
}

void writeBenchLog() {
    if (!Bench.logFile || !*Bench.logFile) return;
    std::FILE* log = std::fopen(Bench.logFile, "w");
    if (!log) return;
    const uint32_t elapsed = Bench.lastFrameDoneAt - Bench.firstFrameAt;
    std::fprintf(log, "frames=%ld\nelapsed_ms=%lu\nfirst_frame_ms=%lld\n", Bench.frames,
                 static_cast<unsigned long>(elapsed), Bench.processStartToFirstFrameMs);
    std::fclose(log);
}
