// Headless frame cost: the whole RunFrame (and the battle passes alone) with
// the null GL, a fake clock at 16 ms a frame, a fixed seed and the default races.
#include "battle/engage.h"
#include "battle/fleet.h"
#include "data/scene.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"
#include "gl/gles/fixed_function.h"
#include "gl/null_gl.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "render/smoke.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "tests/support/headless_battle.h"
#include "tests/support/null_es.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
constexpr uint32_t FrameMs = 16;
constexpr int WarmUpFrames = 5 * 1000 / FrameMs; // five simulated seconds
// The opening salvo: every ship in range of every enemy, missiles by the
// ten thousand. A page on a software renderer, at a few seconds a frame,
// stays in it for minutes.
constexpr int OpeningWarmUpFrames = 5;
constexpr int OpeningFrames = 10;

// Both fleets of `perSide` ships each, a fresh null GL, clock, seed and smoke
// list; nothing loaded yet.
void configureBattle(int perSide) {
    std::string error;
    if (!configureHeadlessBattle(perSide, 1000000, 12345, &error)) {
        std::fprintf(stderr, "bench: cannot write the data set: %s\n", error.c_str());
        std::exit(1);
    }
}

void setUpSceneOrExit() {
    if (!setUpScene(ScreenWidth, ScreenHeight, ProgramDirectory)) {
        std::fprintf(stderr, "bench: scene set-up failed\n");
        std::exit(1);
    }
}

// A battle of `perSide` ships a side after five simulated seconds; with
// `layered`, drawn through the fixed-function layer over the null ES, as the
// page draws it (without the browser's share).
void setUpBattle(int perSide, bool layered = false, int warmUpFrames = WarmUpFrames) {
    configureBattle(perSide);
    if (layered) {
        releaseFixedFunctionLayer();
        std::string error;
        if (!installFixedFunctionLayer(nullESLookup, error)) {
            std::fprintf(stderr, "bench: the layer does not start: %s\n", error.c_str());
            std::exit(1);
        }
        setFixedFunctionFramebufferSize(ScreenWidth, ScreenHeight);
    }
    setUpSceneOrExit();
    for (int i = 0; i < warmUpFrames; ++i) {
        advanceFakeClock(FrameMs);
        RunFrame();
    }
}

// GL calls a frame makes, counted by wrappers around the installed table.
long long GLCalls = 0;
#define KGL_CORE(ret, name, params, args)                                                          \
    ret(KGL_APIENTRY* counted_##name) params = nullptr;                                            \
    ret KGL_APIENTRY count_##name params {                                                         \
        ++GLCalls;                                                                                 \
        return counted_##name args;                                                                \
    }
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT

double glCallsPerFrame(int frames) {
#define KGL_CORE(ret, name, params, args)                                                          \
    counted_##name = name;                                                                         \
    name = count_##name;
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT
    GLCalls = 0;
    for (int i = 0; i < frames; ++i) {
        advanceFakeClock(FrameMs);
        RunFrame();
    }
#define KGL_CORE(ret, name, params, args) name = counted_##name;
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT
    return static_cast<double>(GLCalls) / frames;
}

// How busy the battle is: beams and missiles in flight after the run.
void reportWeapons(benchmark::State& state) {
    long long beams = 0, missiles = 0;
    for (int alliance = 1; alliance <= 2; ++alliance) {
        const FleetState& fleet = fleetOf(alliance);
        for (int i = 0; i < fleet.shipCount; ++i) {
            for (const BeamShot* b = fleet.ships[i].shots->next; b; b = b->next)
                ++beams;
            for (const Missile* m = fleet.ships[i].missiles->next; m; m = m->next)
                ++missiles;
        }
    }
    state.counters["beams"] = static_cast<double>(beams);
    state.counters["missiles"] = static_cast<double>(missiles);
}

void reportPerShip(benchmark::State& state, int perSide) {
    state.counters["ships"] = 2 * perSide;
    state.counters["per_ship"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 2 * perSide,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void wholeFrame(benchmark::State& state, int warmUpFrames) {
    const int perSide = static_cast<int>(state.range(0));
    setUpBattle(perSide, false, warmUpFrames);
    for (auto _ : state) {
        advanceFakeClock(FrameMs);
        RunFrame();
    }
    reportPerShip(state, perSide);
    reportWeapons(state);
    // The least a frame can cost: the program must make every one of these calls.
    state.counters["gl_calls"] = glCallsPerFrame(20);
}

// The page's own work a frame: the whole frame through the fixed-function
// layer, which turns the program's calls into batches for ES.
void layeredFrame(benchmark::State& state, int warmUpFrames) {
    const int perSide = static_cast<int>(state.range(0));
    setUpBattle(perSide, true, warmUpFrames);
    const long long calls = nullESCalls(), bytes = nullESBytes();
    for (auto _ : state) {
        advanceFakeClock(FrameMs);
        RunFrame();
    }
    state.counters["es_calls"] = benchmark::Counter(static_cast<double>(nullESCalls() - calls),
                                                    benchmark::Counter::kAvgIterations);
    state.counters["es_kb"] = benchmark::Counter(static_cast<double>(nullESBytes() - bytes) / 1024,
                                                 benchmark::Counter::kAvgIterations);
    reportPerShip(state, perSide);
    releaseFixedFunctionLayer();
}

void WholeFrame(benchmark::State& state) {
    wholeFrame(state, WarmUpFrames);
}
void LayeredFrame(benchmark::State& state) {
    layeredFrame(state, WarmUpFrames);
}
void WholeFrameOpening(benchmark::State& state) {
    wholeFrame(state, OpeningWarmUpFrames);
}
void LayeredFrameOpening(benchmark::State& state) {
    layeredFrame(state, OpeningWarmUpFrames);
}

void BattlePasses(benchmark::State& state) {
    const int perSide = static_cast<int>(state.range(0));
    setUpBattle(perSide);
    for (auto _ : state) {
        advanceFakeClock(FrameMs);
        runBattlePass();
        // Smoke is part of the battle's own bookkeeping: keep the list bounded.
        drawSmokePuffs();
    }
    reportPerShip(state, perSide);
}

// What the program does between its window appearing and its first frame
// shown: the fleets and the effects file read from disk and uploaded, and the
// first frame drawn (null GL, so without the driver's own share).
void StartUp(benchmark::State& state) {
    const int perSide = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        configureBattle(perSide);
        state.ResumeTiming();
        setUpSceneOrExit();
        advanceFakeClock(FrameMs);
        RunFrame();
    }
}

// One call through the GL table into the null GL: with gl_calls, the floor under WholeFrame.
void NullGLCall(benchmark::State& state) {
    installNullGL();
    for (auto _ : state)
        glVertex3f(1.0f, 2.0f, 3.0f);
}
} // namespace

BENCHMARK(NullGLCall);
BENCHMARK(StartUp)->Arg(0)->Arg(20)->Arg(500)->Unit(benchmark::kMillisecond);
// A battle changes as it goes, so every run times the same ten simulated
// seconds after the warm-up: the same work each time, whatever the machine.
// 2 x 20 is the battle of the Wine frame-rate script. On a shared machine the
// fastest of five runs ("_min") is the figure least disturbed by other work.
constexpr int MeasuredFrames = 10 * 1000 / FrameMs;
double fastest(const std::vector<double>& runs) {
    return *std::min_element(runs.begin(), runs.end());
}
void byFleetSize(benchmark::internal::Benchmark* b) {
    b->Arg(10)
        ->Arg(20)
        ->Arg(50)
        ->Arg(100)
        ->Arg(200)
        ->Arg(500)
        ->Iterations(MeasuredFrames)
        ->Repetitions(5);
    b->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);
}
BENCHMARK(WholeFrame)->Apply(byFleetSize);
BENCHMARK(LayeredFrame)->Apply(byFleetSize);
void opening(benchmark::internal::Benchmark* b) {
    b->Arg(20)->Arg(200)->Iterations(OpeningFrames)->Repetitions(5);
    b->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);
}
BENCHMARK(WholeFrameOpening)->Apply(opening);
BENCHMARK(LayeredFrameOpening)->Apply(opening);
BENCHMARK(BattlePasses)->Apply(byFleetSize);

BENCHMARK_MAIN();
