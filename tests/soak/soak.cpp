// Hours of headless battle: the default races, the null GL and the fake clock
// at 16 ms a frame (--frame-ms: another interval), built with the sanitizers.
// Every simulated minute it records the live beams, missiles and smoke puffs,
// the spare nodes kept for reuse, the heap in use and the resident memory, and
// fails when a count passes its bound or the heap in use grows by 1% or more
// after the settling minutes. The resident memory is reported, not judged: the
// sanitizers' own bookkeeping makes it creep by a few kB a simulated minute
// whatever the fleet size, while the same battle built without them stays flat
// to the kB.
// It also gives the battle's pace each minute: hits, deaths, the beams' mean
// life, the puffs alive on average and the looping flash's pictures a second.
// --pace 4,7,16,33 flies the same fleets once at each frame interval and fails
// when a figure, over the whole run, is more than 10% off the 16 ms one.
// Usage: kestrion_soak [--ships N] [--minutes M] [--settle S] [--clock-start MS]
//                      [--seed N] [--frame-ms MS | --pace MS,MS,...]
#include "battle/engage.h"
#include "battle/fleet.h"
#include "battle/hits.h"
#include "battle/missile.h"
#include "battle/tick.h"
#include "data/scene.h"
#include "platform/clock.h"
#include "render/smoke.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "tests/support/headless_battle.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

// The sanitizer holds freed blocks back (256 MB by default) to catch late
// uses; a small hold keeps the resident memory about the program's own.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16:detect_leaks=1";
}
// The bytes the program has allocated and not freed, as the sanitizer's allocator counts them.
// Absent when the soak is built without the sanitizers (for the pace runs):
// the heap is then not watched.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {
constexpr uint32_t MinuteMs = 60 * 1000;
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
    if (__sanitizer_get_current_allocated_bytes)
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
                         "[--clock-start MS] [--seed N] [--frame-ms MS | --pace MS,MS,...]\n");
    return 2;
}

// The battle's pace over some simulated time: what each frame added.
struct Pace {
    double ms = 0;
    long hits = 0, deaths = 0;
    long beamsEnded = 0;
    double beamLifeMs = 0;
    double puffMs = 0;    // puffs alive after each frame times its length
    double smokingMs = 0; // ships trailing smoke after each frame times its length
    long flashPictures = 0;
    double flashMs = 0; // from each looping flash's hit to its last picture seen

    void add(const Pace& p) {
        ms += p.ms, hits += p.hits, deaths += p.deaths, beamsEnded += p.beamsEnded;
        beamLifeMs += p.beamLifeMs, puffMs += p.puffMs, smokingMs += p.smokingMs;
        flashPictures += p.flashPictures, flashMs += p.flashMs;
    }
    double hitsPerMinute() const { return hits * MinuteMs / ms; }
    double deathsPerMinute() const { return deaths * MinuteMs / ms; }
    double meanBeamLifeMs() const { return beamsEnded ? beamLifeMs / beamsEnded : 0; }
    double puffsAlive() const { return ms > 0 ? puffMs / ms : 0; }
    double puffsPerSmokingShip() const { return smokingMs > 0 ? puffMs / smokingMs : 0; }
    double flashPicturesPerSecond() const {
        return flashMs > 0 ? flashPictures * 1000 / flashMs : 0;
    }
};

// What one ship showed after the last frame, to tell what the next one changed.
struct ShipSeen {
    int32_t hitCount = 0;
    int32_t dying = 0;
    std::vector<uint8_t> beamTo, spentTo; // per enemy: a beam was live, or spent
    std::vector<uint32_t> beamStart, spentStart;
    uint8_t kind[HitPointCount] = {};
    int32_t frame[HitPointCount] = {};
    uint32_t impactStart[HitPointCount] = {};
    double flashMs[HitPointCount] = {}; // since the flash's last picture change
};

struct PaceWatch {
    std::vector<ShipSeen> seen[2];
};

void startWatch(PaceWatch& watch) {
    for (int a = 1; a <= 2; ++a) {
        watch.seen[a - 1].assign(size_t(fleetOf(a).shipCount), ShipSeen());
        const size_t enemies = size_t(enemyFleetOf(a).shipCount);
        for (ShipSeen& s : watch.seen[a - 1]) {
            s.beamTo.assign(enemies, 0);
            s.spentTo.assign(enemies, 0);
            s.beamStart.assign(enemies, 0);
            s.spentStart.assign(enemies, 0);
        }
    }
}

// A beam's life runs from its start to the tick its life roll ended it (a
// spent beam not seen after the last frame), or else to the frame that
// dropped it (out of range, or its ship's death).
void watchBeams(const Ship& ship, ShipSeen& seen, uint32_t now, Pace& pace) {
    const size_t enemies = seen.beamTo.size();
    std::vector<uint8_t> live(enemies, 0), spent(enemies, 0);
    std::vector<uint32_t> start(enemies, 0), spentStart(enemies, 0);
    for (const BeamShot* b = ship.shots->next; b; b = b->next) {
        live[size_t(b->enemyIndex)] = 1;
        start[size_t(b->enemyIndex)] = b->startTime;
    }
    for (const BeamShot* b = ship.spentShots; b; b = b->next) {
        const size_t e = size_t(b->enemyIndex);
        spent[e] = 1;
        spentStart[e] = b->startTime;
        if (seen.spentTo[e] && seen.spentStart[e] == b->startTime) continue;
        ++pace.beamsEnded;
        pace.beamLifeMs += b->lastTime - b->startTime;
    }
    for (size_t e = 0; e < enemies; ++e) {
        const bool gone = seen.beamTo[e] && (!live[e] || start[e] != seen.beamStart[e]);
        const bool endedOnItsRoll = spent[e] && spentStart[e] == seen.beamStart[e];
        if (gone && !endedOnItsRoll) {
            ++pace.beamsEnded;
            pace.beamLifeMs += now - seen.beamStart[e];
        }
    }
    seen.beamTo = live;
    seen.beamStart = start;
    seen.spentTo = spent;
    seen.spentStart = spentStart;
}

// Called after every frame of frameMs.
void watchFrame(PaceWatch& watch, uint32_t frameMs, Pace& pace) {
    const uint32_t now = clockNow();
    pace.ms += frameMs;
    for (int a = 1; a <= 2; ++a) {
        const FleetState& fleet = fleetOf(a);
        for (int i = 0; i < fleet.shipCount; ++i) {
            const Ship& ship = fleet.ships[i];
            ShipSeen& seen = watch.seen[a - 1][size_t(i)];
            // A respawn sets the count back to 0 and counts on from there.
            pace.hits +=
                ship.hitCount >= seen.hitCount ? ship.hitCount - seen.hitCount : ship.hitCount;
            pace.deaths += ship.dying && !seen.dying;
            if (!ship.dying && !ship.shieldsUp) pace.smokingMs += frameMs;
            seen.hitCount = ship.hitCount;
            seen.dying = ship.dying;
            watchBeams(ship, seen, now, pace);
            // The same looping flash as after the last frame: the pictures it
            // went on by, through the loop of 21 pictures (10 to 30). Its time
            // counts up to the last picture change seen, as the beam's end,
            // which clears the slot, comes at any moment of a picture.
            for (int v = 0; v < HitPointCount; ++v) {
                if (ship.impactKind[v] == BeamImpactKind && seen.kind[v] == BeamImpactKind &&
                    ship.impactStart[v] == seen.impactStart[v]) {
                    int step = ship.impactFrame[v] - seen.frame[v];
                    if (step < 0) step += 21;
                    seen.flashMs[v] += frameMs;
                    if (step > 0) {
                        pace.flashPictures += step;
                        pace.flashMs += seen.flashMs[v];
                        seen.flashMs[v] = 0;
                    }
                } else {
                    seen.flashMs[v] = 0;
                }
                seen.kind[v] = ship.impactKind[v];
                seen.frame[v] = ship.impactFrame[v];
                seen.impactStart[v] = ship.impactStart[v];
            }
        }
    }
    long puffs = 0;
    for (const SmokePuff* p = PuffListHead->next; p; p = p->next)
        ++puffs;
    pace.puffMs += double(puffs) * frameMs;
}

struct Options {
    long long ships = 100, minutes = 480, settle = 10, clockStart = WrapClockStart;
    long long seed = 12345, frameMs = TickMs;
};

// One soak run; false when it failed. `total` gets the pace over the whole run.
bool soak(const Options& options, Pace& total) {
    const long long ships = options.ships, minutes = options.minutes, settle = options.settle;
    const uint32_t frameMs = uint32_t(options.frameMs);
    std::string error;
    if (!configureHeadlessBattle(int(ships), uint32_t(options.clockStart), uint32_t(options.seed),
                                 &error)) {
        std::fprintf(stderr, "soak: cannot write the data set: %s\n", error.c_str());
        return false;
    }
    if (!setUpScene(ScreenWidth, ScreenHeight, ProgramDirectory)) {
        std::fprintf(stderr, "soak: scene set-up failed (see the data set in the temp folder)\n");
        return false;
    }

    // Structural bounds: one beam and one missile per ship and enemy, one puff
    // per ship and tick, living 800 ms and until the frame after; spare nodes
    // are ones that were live.
    const long pairs = 2 * ships * ships;
    const long puffBound = 2 * ships * ((800 + frameMs) / TickMs + 2);
    const long spareBound = 2 * pairs + puffBound;
    std::printf("soak: 2 x %lld ships, %lld simulated minutes at %u ms a frame, clock from %llu, "
                "memory settled after minute %lld\n",
                ships, minutes, frameMs, options.clockStart, settle);
    std::printf("minute  beams  missiles  puffs  spare-nodes  heap-kb  resident-kb  s/minute"
                "  hits  deaths  beam-life-ms  puffs-alive  flash-pictures/s\n");
    std::fflush(stdout);

    bool ok = true;
    long mostHeapKb = 0, mostResidentKb = 0;
    Counts most, settled;
    PaceWatch watch;
    startWatch(watch);
    double simulatedMs = 0;
    auto last = std::chrono::steady_clock::now();
    for (long long minute = 1; minute <= minutes; ++minute) {
        Pace pace;
        while (simulatedMs < double(minute * MinuteMs)) {
            advanceFakeClock(frameMs);
            RunFrame();
            watchFrame(watch, frameMs, pace);
            simulatedMs += frameMs;
        }
        total.add(pace);
        const Counts c = count();
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - last).count();
        last = now;
        std::printf(
            "%6lld %6ld %9ld %6ld %12ld %8ld %12ld %9.1f %5.0f %7.1f %13.1f %12.1f %17.1f\n",
            minute, c.beams, c.missiles, c.puffs, c.spareNodes, c.heapKb, c.residentKb, seconds,
            pace.hitsPerMinute(), pace.deathsPerMinute(), pace.meanBeamLifeMs(), pace.puffsAlive(),
            pace.flashPicturesPerSecond());
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
    return ok;
}

// Comma-separated frame intervals, 1 to 1000 ms; 16 must be among them.
bool parseIntervals(const char* text, std::vector<long long>& out) {
    std::string list = text;
    size_t from = 0;
    while (from <= list.size()) {
        const size_t comma = std::min(list.find(',', from), list.size());
        long long ms = 0;
        if (!parseNumber(list.substr(from, comma - from).c_str(), 1, 1000, ms)) return false;
        out.push_back(ms);
        from = comma + 1;
    }
    for (long long ms : out)
        if (ms == TickMs) return true;
    return false;
}

// The same battle at each interval: every figure within 10% of the 16 ms one.
// The puffs alive follow how many ships are between their 21st and 31st hit,
// which swings by more than 10% from one battle to another at any interval
// over a few simulated minutes; the smoke's own pace is judged by the puffs
// alive per ship trailing smoke.
bool comparePace(const std::vector<long long>& intervals, const std::vector<Pace>& paces) {
    const Pace* reference = nullptr;
    for (size_t k = 0; k < intervals.size(); ++k)
        if (intervals[k] == TickMs) reference = &paces[k];
    struct Figure {
        const char* name;
        double (Pace::*value)() const;
        bool judged;
    };
    const Figure figures[] = {{"hits/minute", &Pace::hitsPerMinute, true},
                              {"deaths/minute", &Pace::deathsPerMinute, true},
                              {"beam life ms", &Pace::meanBeamLifeMs, true},
                              {"puffs alive", &Pace::puffsAlive, false},
                              {"puffs/smoking ship", &Pace::puffsPerSmokingShip, true},
                              {"flash pictures/s", &Pace::flashPicturesPerSecond, true}};
    bool ok = true;
    std::printf("pace: figure             ");
    for (long long ms : intervals)
        std::printf("  %8lld ms", ms);
    std::printf("\n");
    for (const Figure& figure : figures) {
        const double expected = (reference->*figure.value)();
        std::printf("pace: %-20s", figure.name);
        for (const Pace& pace : paces) {
            const double value = (pace.*figure.value)();
            const double off = expected != 0 ? 100.0 * (value - expected) / expected : 0;
            const bool within = expected > 0 && std::fabs(off) <= 10.0;
            ok = ok && (within || !figure.judged);
            std::printf("  %8.1f%s", value, within ? "  " : " !");
            if (&pace != reference) std::printf("(%+.0f%%)", off);
        }
        std::printf("%s\n", figure.judged ? "" : "  (not judged)");
    }
    std::printf("pace: %s\n", ok ? "every figure within 10% of the 16 ms one"
                                 : "a figure is more than 10% off the 16 ms one (!)");
    return ok;
}
} // namespace

int main(int argc, char** argv) {
    Options options;
    std::vector<long long> intervals;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--pace")) {
            if (i + 1 >= argc || !parseIntervals(argv[++i], intervals)) return usage();
            continue;
        }
        long long* target = nullptr;
        long long low = 0, high = 0;
        if (!std::strcmp(argv[i], "--ships"))
            target = &options.ships, high = MaxFleetShips;
        else if (!std::strcmp(argv[i], "--minutes"))
            target = &options.minutes, high = 100000;
        else if (!std::strcmp(argv[i], "--settle"))
            target = &options.settle, high = 100000;
        else if (!std::strcmp(argv[i], "--clock-start"))
            target = &options.clockStart, high = UINT32_MAX;
        else if (!std::strcmp(argv[i], "--seed"))
            target = &options.seed, high = UINT32_MAX;
        else if (!std::strcmp(argv[i], "--frame-ms"))
            target = &options.frameMs, low = 1, high = 1000;
        if (!target || i + 1 >= argc || !parseNumber(argv[++i], low, high, *target)) return usage();
    }
    if (options.settle >= options.minutes) options.settle = options.minutes / 2;

    if (intervals.empty()) {
        Pace pace;
        const bool ok = soak(options, pace);
        std::printf("soak: %s\n", ok ? "passed" : "FAILED");
        return ok ? 0 : 1;
    }
    bool ok = true;
    std::vector<Pace> paces(intervals.size());
    for (size_t k = 0; k < intervals.size(); ++k) {
        options.frameMs = intervals[k];
        ok = soak(options, paces[k]) && ok;
    }
    ok = comparePace(intervals, paces) && ok;
    std::printf("soak: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
