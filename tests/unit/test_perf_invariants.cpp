// The battle's bookkeeping shortcuts (cached rotations, per-enemy lookups,
// recycled list nodes) must not change a single result: a long crowded battle
// with a fixed seed is compared with figures recorded from the plain version.
#include "battle/engage.h"
#include "battle/motion.h"
#include "gl/null_gl.h"
#include "platform/random.h"
#include "tests/unit/test_battle_world.h"

#include <gtest/gtest.h>

using namespace battle_test;

namespace {
constexpr uint32_t FrameMs = 16;

struct Outcome {
    double positionSum = 0;
    long hits = 0;
    long beams = 0;
    long missiles = 0;
    long puffs = 0;
    long dyingFrames = 0;
    int nextDraw = 0;
};

// 2 x 30 ships packed close together so that beams, missiles, deaths and
// respawns all happen many times over.
Outcome crowdedBattle(int frames) {
    installNullGL();
    BattleWorld world(30, 30);
    seedRandom(4242);
    for (int a = 1; a <= 2; ++a)
        for (int i = 0; i < 30; ++i)
            place(world.ship(a, i), (i % 6) * 0.4 - 1.0 + a * 0.1, (i / 6) * 0.4 - 1.0, 0);
    Outcome out;
    for (int frame = 0; frame < frames; ++frame) {
        advanceFakeClock(FrameMs);
        for (int a = 1; a <= 2; ++a) {
            FleetState& fleet = fleetOf(a);
            for (int i = 0; i < fleet.shipCount; ++i) {
                Ship& ship = fleet.ships[i];
                chooseManoeuvre(ship);
                turnShip(ship);
                moveShip(ship);
                engage(ship);
                weaponsPass(ship);
            }
        }
        drawSmokePuffs();
        for (int a = 1; a <= 2; ++a) {
            const FleetState& fleet = fleetOf(a);
            for (int i = 0; i < fleet.shipCount; ++i) {
                const Ship& ship = fleet.ships[i];
                out.beams += countBeams(ship);
                out.missiles += countMissiles(ship);
                out.dyingFrames += ship.dying;
            }
        }
        out.puffs += countPuffs();
    }
    for (int a = 1; a <= 2; ++a) {
        const FleetState& fleet = fleetOf(a);
        for (int i = 0; i < fleet.shipCount; ++i) {
            const Ship& ship = fleet.ships[i];
            out.hits += ship.hitCount;
            out.positionSum += ship.position[0] * 3 + ship.position[1] * 5 + ship.position[2] * 7;
        }
    }
    out.nextDraw = drawRandom();
    return out;
}
} // namespace

TEST(PerfInvariants, LongCrowdedBattleMatchesRecordedOutcome) {
    const Outcome out = crowdedBattle(1500);
    EXPECT_DOUBLE_EQ(out.positionSum, -296.12776842309518);
    EXPECT_EQ(out.hits, 749);
    EXPECT_EQ(out.beams, 21348);
    EXPECT_EQ(out.missiles, 162565);
    EXPECT_EQ(out.puffs, 146888);
    EXPECT_EQ(out.dyingFrames, 17697);
    EXPECT_EQ(out.nextDraw, 8136) << "the same random draws in the same order";
}
