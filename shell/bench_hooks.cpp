#include "shell/bench_hooks.h"

#include "platform/clock.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
struct BenchHooks {
    long frameLimit = 0;
    long screenshotFrame = 0;
    const char* logFile = nullptr;
    long long (*processAge)() = nullptr;
    long frames = 0;
    uint32_t firstFrameAt = 0;
    uint32_t lastFrameDoneAt = 0;
    long long processStartToFirstFrameMs = 0;
} Bench;
} // namespace

void readBenchHooks(long long (*msSinceProcessStart)()) {
    Bench = BenchHooks{};
    if (const char* frames = std::getenv("KESTRION_BENCH_FRAMES"))
        Bench.frameLimit = std::strtol(frames, nullptr, 10);
    if (const char* frame = std::getenv("KESTRION_BENCH_SCREENSHOT"))
        Bench.screenshotFrame = std::strtol(frame, nullptr, 10);
    Bench.logFile = std::getenv("KESTRION_BENCH_LOG");
    Bench.processAge = msSinceProcessStart;
}

void benchFrameStarting() {
    if (Bench.frames == 0) {
        Bench.firstFrameAt = clockNow();
        if (Bench.processAge) Bench.processStartToFirstFrameMs = Bench.processAge();
    }
}

bool benchFrameDone() {
    ++Bench.frames;
    Bench.lastFrameDoneAt = clockNow();
    return !(Bench.frameLimit > 0 && Bench.frames >= Bench.frameLimit);
}

bool benchScreenshotDue() {
    return Bench.screenshotFrame > 0 && Bench.frames % Bench.screenshotFrame == 0;
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
