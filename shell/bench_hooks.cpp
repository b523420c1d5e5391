#include "shell/bench_hooks.h"

#include "platform/clock.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
struct BenchHooks {
    long frameLimit = 0;
    long screenshotFrame = 0;
    bool unpaced = false;
    const char* logFile = nullptr;
    long long (*processAge)() = nullptr;
    long frames = 0;
    uint32_t firstFrameAt = 0;
    uint32_t lastFrameStartAt = 0;
    uint32_t lastFrameDoneAt = 0;
    uint32_t longestStep = 0;
    long long processStartToFirstFrameMs = 0;
    long long cpuAtFirstFrame = 0;
    long long cpuAtLastFrame = 0;
} Bench;

bool logging() {
    return Bench.logFile && *Bench.logFile;
}
} // namespace

void readBenchHooks(long long (*msSinceProcessStart)()) {
    Bench = BenchHooks{};
    if (const char* frames = std::getenv("KESTRION_BENCH_FRAMES"))
        Bench.frameLimit = std::strtol(frames, nullptr, 10);
    if (const char* frame = std::getenv("KESTRION_BENCH_SCREENSHOT"))
        Bench.screenshotFrame = std::strtol(frame, nullptr, 10);
    if (const char* unpaced = std::getenv("KESTRION_BENCH_UNPACED"))
        Bench.unpaced = std::strtol(unpaced, nullptr, 10) != 0;
    Bench.logFile = std::getenv("KESTRION_BENCH_LOG");
    Bench.processAge = msSinceProcessStart;
}

void benchFrameStarting() {
    const uint32_t now = clockNow();
    if (Bench.frames == 0) {
        Bench.firstFrameAt = now;
        if (Bench.processAge) Bench.processStartToFirstFrameMs = Bench.processAge();
        if (logging()) Bench.cpuAtFirstFrame = processCpuMs();
    } else if (now - Bench.lastFrameStartAt > Bench.longestStep) {
        Bench.longestStep = now - Bench.lastFrameStartAt;
    }
    Bench.lastFrameStartAt = now;
}

bool benchFrameDone() {
    ++Bench.frames;
    Bench.lastFrameDoneAt = clockNow();
    if (logging()) Bench.cpuAtLastFrame = processCpuMs();
    return !(Bench.frameLimit > 0 && Bench.frames >= Bench.frameLimit);
}

bool benchScreenshotDue() {
    return Bench.screenshotFrame > 0 && Bench.frames % Bench.screenshotFrame == 0;
}

bool benchUnpaced() {
    return Bench.unpaced;
}

void writeBenchLog() {
    if (!logging()) return;
    std::FILE* log = std::fopen(Bench.logFile, "w");
    if (!log) return;
    const uint32_t elapsed = Bench.lastFrameDoneAt - Bench.firstFrameAt;
    std::fprintf(log,
                 "frames=%ld\nelapsed_ms=%lu\nfirst_frame_ms=%lld\ncpu_ms=%lld\n"
                 "longest_step_ms=%lu\n",
                 Bench.frames, static_cast<unsigned long>(elapsed),
                 Bench.processStartToFirstFrameMs, Bench.cpuAtLastFrame - Bench.cpuAtFirstFrame,
                 static_cast<unsigned long>(Bench.longestStep));
    std::fclose(log);
}
