// Hours of headless battle: the default races, the null GL and the fake clock
// at 16 ms a frame, built with the sanitizers. Every simulated minute it
// records the live beams, missiles and smoke puffs, the spare nodes kept for
// reuse, the heap in use and the resident memory, and fails when a count
// passes its bound or the heap in use grows by 1% or more after the settling
// minutes. The resident memory is reported, not judged: the sanitizers' own
// bookkeeping makes it creep by a few kB a simulated minute whatever the fleet
// size, while the same battle built without them stays flat to the kB.
// Usage: kestrion_soak [--ships N] [--minutes M] [--settle S] [--clock-start MS]
#include "battle/engage.h"
#include "battle/fleet.h"
#include "battle/missile.h"
#include "data/scene.h"
#include "platform/clock.h"
#include "render/smoke.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "tests/support/headless_battle.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

// The sanitizer holds freed blocks back (256 MB by default) to catch late
// uses; a small hold keeps the resident memory about the program's own.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16:detect_leaks=1";
}
// The bytes the program has allocated and not freed, as the sanitizer's allocator counts them.
extern "C" size_t __sanitizer_get_current_allocated_bytes();

namespace {
constexpr uint32_t FrameMs = 16;
constexpr int FramesPerMinute = 60 * 1000 / FrameMs;
// Ten simulated seconds before the 32-bit millisecond count wraps, as
// timeGetTime does after 49.7 days: every run crosses the wrap once.
constexpr uint32_t WrapClockStart = 0u - 10000u;

struct Counts {
    long beams = 0, missiles = 0, puffs = 0, spareNodes = 0;
    long heapKb = 0, residentKb = 0;
};

long residentKb() {
    long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

Counts count() {
    Counts c;
    for (int alliance = 1; alliance <= 2; ++alliance) {
        const FleetState& fleet = fleetOf(alliance);
        for (int i = 0; i < fleet.shipCount; ++i) {
            for (const BeamShot* b = fleet.ships[i].shots->next; b; b = b->next)
                ++c.beams;
            for (const Missile* m = fleet.ships[i].missiles->next; m; m = m->next)
                ++c.missiles;
        }
    }
    for (const SmokePuff* p = PuffListHead->next; p; p = p->next)
        ++c.puffs;
    c.spareNodes = BeamPool.spareCount() + MissilePool.spareCount() + sparePuffCount();
    c.heapKb = long(__sanitizer_get_current_allocated_bytes() / 1024);
    c.residentKb = residentKb();
    return c;
}

bool parseNumber(const char* text, long long low, long long high, long long& out) {
    char* end = nullptr;
    out = std::strtoll(text, &end, 10);
    return text[0] && *end == 0 && out >= low && out <= high;
}

int usage() {
    std::fprintf(stderr, "usage: kestrion_soak [--ships N] [--minutes M] [--settle S] "
                         "[--clock-start MS]\n");
    return 2;
}
} // namespace

int main(int argc, char** argv) {
    long long ships = 100, minutes = 480, settle = 10, clockStart = WrapClockStart;
    for (int i = 1; i < argc; ++i) {
        long long* target = nullptr;
        long long high = 0;
        if (!std::strcmp(argv[i], "--ships"))
            target = &ships, high = MaxFleetShips;
        else if (!std::strcmp(argv[i], "--minutes"))
            target = &minutes, high = 100000;
        else if (!std::strcmp(argv[i], "--settle"))
            target = &settle, high = 100000;
        else if (!std::strcmp(argv[i], "--clock-start"))
            target = &clockStart, high = UINT32_MAX;
        if (!target || i + 1 >= argc || !parseNumber(argv[++i], 0, high, *target)) return usage();
    }
    if (settle >= minutes) settle = minutes / 2;

    std::string error;
    if (!configureHeadlessBattle(int(ships), uint32_t(clockStart), 12345, &error)) {
        std::fprintf(stderr, "soak: cannot write the data set: %s\n", error.c_str());
        return 1;
    }
    if (!setUpScene(ScreenWidth, ScreenHeight, ProgramDirectory)) {
        std::fprintf(stderr, "soak: scene set-up failed (see the data set in the temp folder)\n");
        return 1;
    }

    // Structural bounds: one beam and one missile per ship and enemy, one puff
    // per ship and frame living 800 ms; spare nodes are ones that were live.
    const long pairs = 2 * ships * ships;
    const long puffBound = 2 * ships * (800 / FrameMs + 1);
    const long spareBound = 2 * pairs + puffBound;
    std::printf("soak: 2 x %lld ships, %lld simulated minutes, clock from %llu, memory "
                "settled after minute %lld\n",
                ships, minutes, clockStart, settle);
    std::printf("minute  beams  missiles  puffs  spare-nodes  heap-kb  resident-kb  s/minute\n");
    std::fflush(stdout);

    bool ok = true;
    long mostHeapKb = 0, mostResidentKb = 0;
    Counts most, settled;
    auto last = std::chrono::steady_clock::now();
    for (long long minute = 1; minute <= minutes; ++minute) {
        for (int f = 0; f < FramesPerMinute; ++f) {
            advanceFakeClock(FrameMs);
            RunFrame();
        }
        const Counts c = count();
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - last).count();
        last = now;
        std::printf("%6lld %6ld %9ld %6ld %12ld %8ld %12ld %9.1f\n", minute, c.beams, c.missiles,
                    c.puffs, c.spareNodes, c.heapKb, c.residentKb, seconds);
        std::fflush(stdout);
        most.beams = std::max(most.beams, c.beams);
        most.missiles = std::max(most.missiles, c.missiles);
        most.puffs = std::max(most.puffs, c.puffs);
        most.spareNodes = std::max(most.spareNodes, c.spareNodes);
        if (c.beams > pairs || c.missiles > pairs || c.puffs > puffBound ||
            c.spareNodes > spareBound) {
            std::printf("soak: a count passed its bound (beams and missiles %ld, puffs %ld, "
                        "spare nodes %ld)\n",
                        pairs, puffBound, spareBound);
            ok = false;
            break;
        }
        if (minute == settle) settled = c;
        if (minute > settle) {
            mostHeapKb = std::max(mostHeapKb, c.heapKb);
            mostResidentKb = std::max(mostResidentKb, c.residentKb);
        }
    }
    auto growth = [](long from, long to) { return 100.0 * double(to - from) / double(from); };
    if (ok && settled.heapKb > 0 && mostHeapKb > 0) {
        std::printf("soak: after minute %lld: heap in use %ld kB, at most %ld kB later (%+.2f%%); "
                    "resident %ld kB, at most %ld kB later (%+.2f%%)\n",
                    settle, settled.heapKb, mostHeapKb, growth(settled.heapKb, mostHeapKb),
                    settled.residentKb, mostResidentKb, growth(settled.residentKb, mostResidentKb));
        if (growth(settled.heapKb, mostHeapKb) >= 1.0) {
            std::printf("soak: the heap in use grew by 1%% or more\n");
            ok = false;
        }
    }
    std::printf("soak: most at once: %ld beams, %ld missiles, %ld puffs, %ld spare nodes\n",
                most.beams, most.missiles, most.puffs, most.spareNodes);
    releaseFleet(Fleets[0]);
    releaseFleet(Fleets[1]);
    releasePuffList();
    BeamPool.clear();
    MissilePool.clear();
    std::printf("soak: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
