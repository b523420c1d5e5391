// Headless frame cost: the whole RunFrame (and the battle passes alone) with
// the null GL, a fake clock at 16 ms a frame, a fixed seed and the default races.
#include "battle/engage.h"
#include "data/fleet.h"
#include "data/scene.h"
#include "gl/gl_state.h"
#include "gl/null_gl.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "render/smoke.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/memory_settings.h"
#include "shell/settings.h"
#include "tools/forge/forge.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {
constexpr uint32_t FrameMs = 16;
constexpr int WarmUpFrames = 5 * 1000 / FrameMs; // five simulated seconds

std::string dataSetDirectory() {
    static std::string directory;
    if (!directory.empty()) return directory;
    directory = (std::filesystem::temp_directory_path() / "kestrion-bench-data").string();
    std::string error;
    if (!writeDefaultDataSet(directory, &error)) {
        std::fprintf(stderr, "bench: cannot write the data set: %s\n", error.c_str());
        std::exit(1);
    }
    directory += "/";
    return directory;
}

// Both fleets of `perSide` ships each, spread over the default races.
void setUpBattle(int perSide) {
    releaseFleet(Fleets[0]);
    releaseFleet(Fleets[1]);
    ProgramDirectory = dataSetDirectory();
    installMemorySettings();
    const auto races = buildDefaultRaces();
    const int raceCount = static_cast<int>(races.size());
    for (int alliance = 1; alliance <= 2; ++alliance) {
        std::vector<std::string> entries;
        for (int r = 0; r < raceCount; ++r) {
            int ships = perSide / raceCount + (r < perSide % raceCount ? 1 : 0);
            if (ships == 0) continue;
            entries.push_back(
                fleetEntryText(races[r].record.raceName, ships, races[r].record.description));
        }
        writeAllianceList(alliance, entries);
    }
    installNullGL();
    MultitextureAvailable = 1;
    useFakeClock(1000000);
    seedRandom(12345);
    createPuffList();
    if (!setUpScene()) {
        std::fprintf(stderr, "bench: scene set-up failed\n");
        std::exit(1);
    }
    for (int i = 0; i < WarmUpFrames; ++i) {
        advanceFakeClock(FrameMs);
        RunFrame();
    }
}

void reportPerShip(benchmark::State& state, int perSide) {
    state.counters["ships"] = 2 * perSide;
    state.counters["per_ship"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 2 * perSide,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void WholeFrame(benchmark::State& state) {
    const int perSide = static_cast<int>(state.range(0));
    setUpBattle(perSide);
    for (auto _ : state) {
        advanceFakeClock(FrameMs);
        RunFrame();
    }
    reportPerShip(state, perSide);
}

void BattlePasses(benchmark::State& state) {
    const int perSide = static_cast<int>(state.range(0));
    setUpBattle(perSide);
    for (auto _ : state) {
        advanceFakeClock(FrameMs);
        for (int alliance = 1; alliance <= 2; ++alliance) {
            FleetState& fleet = fleetOf(alliance);
            for (int i = 0; i < fleet.shipCount; ++i) {
                engage(fleet.ships[i]);
                weaponsPass(fleet.ships[i]);
            }
        }
        // Smoke is part of the battle's own bookkeeping: keep the list bounded.
        drawSmokePuffs();
    }
    reportPerShip(state, perSide);
}
} // namespace

BENCHMARK(WholeFrame)->Arg(10)->Arg(50)->Arg(200)->Arg(500)->Unit(benchmark::kMicrosecond);
BENCHMARK(BattlePasses)->Arg(10)->Arg(50)->Arg(200)->Arg(500)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
