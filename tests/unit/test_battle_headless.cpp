// Whole battles through the frame driver with the null GL and the fake clock.
#include "data/race_reader.h"
#include "gl/null_gl.h"
#include "platform/random.h"
#include "shell/frame.h"
#include "tests/unit/test_battle_world.h"
#include "tools/forge/forge.h"

#include <gtest/gtest.h>

#include <vector>

using namespace battle_test;

namespace {
constexpr uint32_t FrameMs = 16;

struct LifeCycle {
    int hits = 0;        // hit counts seen rising
    int shieldsLost = 0; // ships seen shield-less and alive
    int deaths = 0;
    int respawns = 0;
    int hitAfterRespawn = 0;
    int beamsSeen = 0;
    int missilesSeen = 0;
    size_t mostPuffs = 0;
};

// The rules every ship keeps in every frame.
void checkShip(const Ship& ship, const FleetState& enemies) {
    std::vector<int> beams(enemies.shipCount), missiles(enemies.shipCount);
    for (const BeamShot* b = ship.shots->next; b; b = b->next) {
        ASSERT_GE(b->enemyIndex, 0);
        ASSERT_LT(b->enemyIndex, enemies.shipCount);
        ASSERT_EQ(b->target, &enemies.ships[b->enemyIndex]);
        ASSERT_LE(++beams[b->enemyIndex], 1) << "one beam per enemy";
    }
    for (const Missile* m = ship.missiles->next; m; m = m->next) {
        ASSERT_EQ(m->target, &enemies.ships[m->enemyIndex]);
        ASSERT_EQ(m->done, 0);
        ASSERT_LE(++missiles[m->enemyIndex], 1) << "one missile per enemy";
    }
    if (ship.dying) {
        ASSERT_EQ(ship.shots->next, nullptr) << "a dying ship has no beams";
    }
    ASSERT_EQ(ship.shieldsUp == 0, ship.hitCount > 20);
}

void runBattle(int frames, LifeCycle& seen) {
    std::vector<int> lastHits(20, 0), lastDying(20, 0), respawned(20, 0);
    for (int frame = 0; frame < frames; ++frame) {
        advanceFakeClock(FrameMs);
        RunFrame();
        const uint32_t now = clockNow();
        for (int a = 1; a <= 2; ++a) {
            const FleetState& fleet = fleetOf(a);
            for (int i = 0; i < fleet.shipCount; ++i) {
                const Ship& ship = fleet.ships[i];
                const int k = (a - 1) * 10 + i;
                checkShip(ship, enemyFleetOf(a));
                if (::testing::Test::HasFatalFailure()) return;
                if (ship.hitCount > lastHits[k]) {
                    ++seen.hits;
                    if (respawned[k]) ++seen.hitAfterRespawn;
                }
                if (!ship.dying && !ship.shieldsUp) ++seen.shieldsLost;
                if (ship.dying && !lastDying[k]) ++seen.deaths;
                if (!ship.dying && lastDying[k]) {
                    ++seen.respawns;
                    respawned[k] = 1;
                }
                lastHits[k] = ship.hitCount;
                lastDying[k] = ship.dying;
                seen.beamsSeen += ship.shots->next != nullptr;
                seen.missilesSeen += ship.missiles->next != nullptr;
            }
        }
        size_t puffs = 0;
        for (const SmokePuff* p = PuffListHead->next; p; p = p->next) {
            ++puffs;
            ASSERT_LT(now - p->startTime, 800u) << "expired puffs are gone after the frame";
        }
        if (puffs > seen.mostPuffs) seen.mostPuffs = puffs;
    }
}

// Replaces both fleets with ten ships each of the default races: two races per
// alliance, five ships of each, laid out entry by entry.
void flyDefaultRaces() {
    const std::vector<NamedRace> races = buildDefaultRaces();
    ASSERT_GE(races.size(), 2u);
    for (int a = 1; a <= 2; ++a) {
        FleetState& fleet = fleetOf(a);
        releaseFleet(fleet);
        fleet.raceCount = 2;
        fleet.races = new RaceData[2];
        for (int r = 0; r < 2; ++r) {
            const RaceFileRecord& record = races[(2 * (a - 1) + r) % races.size()].record;
            ASSERT_NE(loadRaceRecord(record, fleet.races[r]), nullptr);
        }
        fleet.shipCount = 10;
        fleet.ships = new Ship[10];
        for (int i = 0; i < 10; ++i)
            initShipForRace(fleet.ships[i], a, i / 5, fleet.races[i / 5].meshCount);
    }
}
} // namespace

TEST(HeadlessBattle, FleetsFightDieAndComeBackWithinTheirBounds) {
    installNullGL();
    seedRandom(20240611);
    BattleWorld world(0, 0);
    flyDefaultRaces();
    if (HasFatalFailure()) return;
    LifeCycle seen;
    runBattle(4 * 60 * 1000 / FrameMs, seen); // four simulated minutes
    if (HasFatalFailure()) return;

    EXPECT_GT(seen.hits, 100);
    EXPECT_GT(seen.shieldsLost, 0);
    EXPECT_GT(seen.deaths, 10);
    EXPECT_GT(seen.respawns, 10);
    EXPECT_GT(seen.hitAfterRespawn, 0) << "respawned ships fight again";
    EXPECT_GT(seen.beamsSeen, 0);
    EXPECT_GT(seen.missilesSeen, 0);
    // At most one puff per ship per frame, each gone within 800 ms.
    EXPECT_GT(seen.mostPuffs, 0u);
    EXPECT_LE(seen.mostPuffs, 20u * (800 / FrameMs));
    // The world's teardown frees the fleets, missiles still in flight and the
    // puffs; the sanitizer build checks that nothing is left behind.
}

TEST(HeadlessBattle, SameSeedSameBattle) {
    installNullGL();
    std::vector<double> first;
    for (int run = 0; run < 2; ++run) {
        seedRandom(99);
        BattleWorld world(10, 10);
        LifeCycle seen;
        runBattle(3000, seen);
        std::vector<double> state;
        for (int a = 1; a <= 2; ++a)
            for (int i = 0; i < 10; ++i) {
                const Ship& ship = world.ship(a, i);
                state.insert(state.end(), {ship.position[0], ship.position[1], ship.position[2],
                                           static_cast<double>(ship.hitCount)});
            }
        if (run == 0)
            first = state;
        else
            EXPECT_EQ(state, first);
    }
}

namespace {
// What can be compared between two runs of the same battle: every ship's
// place, hits and weapons, its impact flashes, and the puffs.
std::vector<double> battleState() {
    std::vector<double> state;
    for (int a = 1; a <= 2; ++a) {
        const FleetState& fleet = fleetOf(a);
        for (int i = 0; i < fleet.shipCount; ++i) {
            const Ship& ship = fleet.ships[i];
            state.insert(state.end(), {ship.position[0], ship.position[1], ship.position[2],
                                       double(ship.hitCount), double(ship.dying),
                                       double(countBeams(ship)), double(countMissiles(ship))});
            for (float glow : ship.impactGlow)
                state.push_back(glow);
        }
    }
    state.push_back(countPuffs());
    return state;
}
} // namespace

// timeGetTime wraps after 49.7 days. Started ten seconds before the wrap, the
// battle runs exactly as it does from any other start: every duration is a
// difference of two readings, never a comparison of readings.
TEST(HeadlessBattle, GoesOnThroughTheClockWrap) {
    installNullGL();
    constexpr uint32_t BeforeWrap = 0u - 10000u;
    std::vector<double> atWrap[2], atEnd[2];
    for (int run = 0; run < 2; ++run) {
        seedRandom(4242);
        BattleWorld world(0, 0, 3, run == 0 ? ClockStart : BeforeWrap);
        flyDefaultRaces();
        if (HasFatalFailure()) return;
        // runBattle checks every frame: one beam and missile per enemy, puffs gone in 800 ms.
        LifeCycle before, after;
        runBattle(10000 / FrameMs, before);
        atWrap[run] = battleState();
        runBattle(50000 / FrameMs, after);
        if (HasFatalFailure()) return;
        atEnd[run] = battleState();
        if (run == 1) {
            EXPECT_LT(clockNow(), BeforeWrap) << "the clock wrapped";
            EXPECT_GT(after.hits, 100);
            EXPECT_GT(after.deaths, 0);
            EXPECT_GT(after.respawns, 0);
            EXPECT_GT(after.beamsSeen, 0);
            EXPECT_GT(after.missilesSeen, 0);
            EXPECT_GT(after.mostPuffs, 0u);
            const uint32_t now = clockNow();
            for (int a = 1; a <= 2; ++a)
                for (int i = 0; i < fleetOf(a).shipCount; ++i)
                    for (const BeamShot* b = world.ship(a, i).shots->next; b; b = b->next)
                        EXPECT_LE(now - b->startTime, 1500u + FrameMs) << "beams end";
        }
    }
    EXPECT_EQ(atWrap[1], atWrap[0]);
    EXPECT_EQ(atEnd[1], atEnd[0]);
    EXPECT_NE(atEnd[1], atWrap[1]) << "ships keep cruising";
}

// While the display is off the clock is held: a minute held changes nothing,
// the battle goes on as if the minute had not been.
TEST(HeadlessBattle, AHeldMinuteLeavesNoMark) {
    installNullGL();
    std::vector<double> end[2];
    for (int run = 0; run < 2; ++run) {
        seedRandom(777);
        BattleWorld world(0, 0);
        flyDefaultRaces();
        if (HasFatalFailure()) return;
        LifeCycle seen;
        runBattle(20000 / FrameMs, seen);
        if (run == 1) {
            holdClock();
            advanceFakeClock(60000);
            releaseClock();
        }
        runBattle(20000 / FrameMs, seen);
        if (HasFatalFailure()) return;
        end[run] = battleState();
    }
    EXPECT_EQ(end[1], end[0]);
}

namespace {
// The battle's own state after `frames` frames, with a view of it drawn
// between each two steps or not.
std::vector<double> battleAfter(int frames, bool viewBetween) {
    seedRandom(77);
    BattleWorld world(0, 0);
    flyDefaultRaces();
    std::vector<double> state;
    for (int frame = 0; frame < frames; ++frame) {
        advanceFakeClock(FrameMs / 2);
        if (viewBetween) DrawFrameView();
        advanceFakeClock(FrameMs - FrameMs / 2);
        RunFrame();
    }
    for (int a = 1; a <= 2; ++a)
        for (int i = 0; i < fleetOf(a).shipCount; ++i) {
            const Ship& ship = fleetOf(a).ships[i];
            state.insert(state.end(), ship.position, ship.position + 3);
            state.insert(state.end(), ship.angles, ship.angles + 3);
            state.push_back(ship.hitCount);
            state.push_back(ship.dying);
            state.push_back(countBeams(ship));
            state.push_back(countMissiles(ship));
        }
    state.push_back(drawRandom());
    return state;
}
} // namespace

// Another monitor's view of the battle steps nothing: a minute of frames with a
// view drawn between each two leaves every ship, weapon and the random draws
// just as they are without.
TEST(HeadlessBattle, AViewBetweenFramesChangesNothing) {
    installNullGL();
    const std::vector<double> plain = battleAfter(60 * 1000 / FrameMs, false);
    if (HasFatalFailure()) return;
    EXPECT_EQ(battleAfter(60 * 1000 / FrameMs, true), plain);
}
