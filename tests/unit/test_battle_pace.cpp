// The rules that act by chance or by picture take one tick per 16 ms of the
// clock, whatever the frames are: the battle keeps its pace at any frame rate.
#include "battle/engage.h"
#include "battle/hits.h"
#include "battle/tick.h"
#include "gl/gl_state.h"
#include "gl/null_gl.h"
#include "platform/random.h"
#include "render/shield.h"
#include "tests/unit/test_battle_world.h"

#include <gtest/gtest.h>

using namespace battle_test;

namespace {
struct Pace : ::testing::Test {
    void SetUp() override {
        installNullGL();
        MultitextureAvailable = 1;
        ShieldSpin = 0;
    }
    void TearDown() override { ShieldSpin = 0; }
};

// How many draws the generator has made since it was seeded with `seed`.
int drawsSince(uint32_t seed) {
    const int next = drawRandom();
    for (int n = 0; n < 10000; ++n)
        if (drawAfter(seed, n) == next) return n;
    return -1;
}

// A seed whose first `count` draws all keep a beam of up to `age` ms alive.
uint32_t seedKeepingBeamsTo(int count, double age) {
    for (uint32_t seed = 1;; ++seed) {
        bool keeps = true;
        for (int n = 0; n < count; ++n)
            keeps = keeps && drawAfter(seed, n) / 21.845 >= age;
        if (keeps) return seed;
    }
}
} // namespace

// Smoke draws, flash pictures and spin steps over frames of any length: as
// many as whole ticks have passed, carried from frame to frame.
TEST_F(Pace, RulesTakeOneTickPerSixteenMillisecondsWhateverTheFrames) {
    BattleWorld world(2, 0);
    Ship& smoking = world.ship(1, 0);
    Ship& shielded = world.ship(1, 1);
    smoking.shieldsUp = 0;
    registerHit(shielded, 9, BeamImpactKind); // a looping flash, frame 0
    const uint32_t seed = 11;
    seedRandom(seed);

    const uint32_t frames[] = {4, 4, 4, 4, 7, 7, 7, 33, 1, 0, 16, 15, 17, 33, 33, 2, 250, 16};
    uint32_t elapsed = 0;
    float spin = 0;
    for (uint32_t ms : frames) {
        advanceFakeClock(ms);
        elapsed += ms;
        const int ticks = static_cast<int>(elapsed / 16);
        const int picturesBefore = shielded.impactFrame[9];
        drawShield(shielded);
        drawImpacts(shielded);
        engage(smoking);
        for (int t = picturesBefore; t < ticks; ++t)
            spin += 1.55f;
        EXPECT_EQ(shielded.impactFrame[9], ticks) << "after " << elapsed << " ms";
        EXPECT_FLOAT_EQ(ShieldSpin, spin) << "after " << elapsed << " ms";
        const uint32_t carry = clockNow() - smoking.smokeTick;
        EXPECT_EQ(carry, elapsed % 16);
        const int draws = drawsSince(seed);
        EXPECT_EQ(draws, ticks) << "one smoke draw per tick, after " << elapsed << " ms";
        // Keep the generator where it was, for the next count.
        seedRandom(seed);
        for (int n = 0; n < draws; ++n)
            drawRandom();
    }
}

// A stalled frame, or a clock set back, counts as one tick: no burst of smoke
// or pictures after the display slept. A respawned ship starts its ticks anew.
TEST_F(Pace, AStallIsOneTickAndARespawnStartsTheTicksAgain) {
    BattleWorld world(2, 0);
    Ship& smoking = world.ship(1, 0);
    Ship& shielded = world.ship(1, 1);
    smoking.shieldsUp = 0;
    registerHit(shielded, 3, BeamImpactKind);
    for (uint32_t stall : {5000u, 1000u, 0u - 100u}) {
        const uint32_t seed = 5;
        seedRandom(seed);
        const int pictures = shielded.impactFrame[3];
        const float spin = ShieldSpin;
        advanceFakeClock(stall);
        drawShield(shielded);
        drawImpacts(shielded);
        engage(smoking);
        EXPECT_EQ(drawsSince(seed), 1) << stall;
        EXPECT_EQ(shielded.impactFrame[3], pictures + 1) << stall;
        EXPECT_FLOAT_EQ(ShieldSpin, spin + 1.55f) << stall;
        EXPECT_EQ(smoking.smokeTick, clockNow()) << "the count starts again from the stall";
    }

    // Respawned long after its last tick, a ship's next frame is one tick.
    advanceFakeClock(700);
    respawnShip(shielded);
    advanceFakeClock(16);
    const float spin = ShieldSpin;
    drawShield(shielded);
    EXPECT_FLOAT_EQ(ShieldSpin, spin + 1.55f);
    for (int i = 0; i < 21; ++i)
        registerHit(shielded, 0, MissileImpactKind);
    ASSERT_EQ(shielded.shieldsUp, 0);
    const uint32_t seed = 8;
    seedRandom(seed);
    engage(shielded);
    EXPECT_EQ(drawsSince(seed), 1) << "its first smoke draw";
}

// A beam rolls its life at its own ticks, age 0 in the frame it fires, then
// 16, 32, ...; the next beam at that enemy follows one tick after the roll
// that ended it, whatever the frame length.
TEST_F(Pace, BeamLifeRollsAtItsTicksAndTheNextBeamFollowsATickLater) {
    BattleWorld world(1, 1);
    Ship& a = world.ship(1, 0);
    Ship& b = world.ship(2, 0);
    place(b, 1, 0, 0);
    setFakeClock(ClockStart + 2000);
    const uint32_t fired = clockNow();
    engage(a);
    ASSERT_EQ(countBeams(a), 1);
    BeamShot* beam = a.shots->next;
    EXPECT_EQ(beam->startTime, fired);

    const uint32_t seed = seedKeepingBeamsTo(3, 48);
    seedRandom(seed);
    weaponsPass(a);
    EXPECT_EQ(drawsSince(seed), 1) << "the roll at age 0, in the frame it fired";
    seedRandom(seed);
    for (int f = 0; f < 3; ++f) {
        advanceFakeClock(4);
        weaponsPass(a);
    }
    EXPECT_EQ(drawsSince(seed), 0) << "no roll before the next tick";
    seedRandom(seed);
    advanceFakeClock(4);
    weaponsPass(a);
    advanceFakeClock(33);
    weaponsPass(a);
    EXPECT_EQ(drawsSince(seed), 3) << "age 16, then 32 and 48 in one long frame";
    ASSERT_EQ(a.shots->next, beam);
    EXPECT_EQ(beam->lastTime, fired + 48);

    // Past 1500 ms every roll ends the beam (a stalled frame: one roll).
    const int vertex = beam->vertex;
    advanceFakeClock(1500);
    const uint32_t ended = clockNow();
    weaponsPass(a);
    EXPECT_EQ(countBeams(a), 0);
    EXPECT_EQ(b.impactGlow[vertex], 0.0f) << "its slot clears when it ends";
    ASSERT_NE(a.spentShots, nullptr);
    EXPECT_EQ(a.spentShots->lastTime, ended);

    // Short frames: the next beam waits for its tick.
    for (int f = 0; f < 3; ++f) {
        advanceFakeClock(5);
        engage(a);
        EXPECT_EQ(countBeams(a), 0) << "before the next tick";
    }
    const int hits = b.hitCount;
    advanceFakeClock(1);
    engage(a);
    ASSERT_EQ(countBeams(a), 1);
    EXPECT_EQ(a.shots->next->startTime, ended + 16);
    EXPECT_EQ(b.hitCount, hits + 1) << "each beam hits once, when it fires";
    EXPECT_EQ(a.spentShots, nullptr);

    // A long frame: the next beam starts at its tick, in the past, and rolls
    // the ticks since then.
    advanceFakeClock(1500);
    const uint32_t endedAgain = clockNow();
    weaponsPass(a);
    ASSERT_EQ(countBeams(a), 0);
    advanceFakeClock(33);
    engage(a);
    ASSERT_EQ(countBeams(a), 1);
    EXPECT_EQ(a.shots->next->startTime, endedAgain + 16);
    seedRandom(seedKeepingBeamsTo(2, 16));
    weaponsPass(a);
    ASSERT_EQ(countBeams(a), 1);
    EXPECT_EQ(a.shots->next->lastTime, endedAgain + 32);

    // An enemy that leaves range while the next beam waits gets none; back in
    // range it is fired at at once, as any enemy coming into range.
    advanceFakeClock(1500);
    weaponsPass(a);
    place(b, 5, 0, 0);
    advanceFakeClock(4);
    engage(a);
    EXPECT_EQ(a.spentShots, nullptr);
    place(b, 1, 0, 0);
    advanceFakeClock(4);
    engage(a);
    ASSERT_EQ(countBeams(a), 1);
    EXPECT_EQ(a.shots->next->startTime, clockNow());

    // Death forgets the beams that wait for their tick.
    advanceFakeClock(1500);
    weaponsPass(a);
    ASSERT_NE(a.spentShots, nullptr);
    for (int i = 0; i < 31; ++i)
        registerHit(a, 0, MissileImpactKind);
    EXPECT_EQ(a.spentShots, nullptr);
}
