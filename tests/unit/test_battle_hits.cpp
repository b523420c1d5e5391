#include "battle/engage.h"
#include "battle/hits.h"
#include "gl/null_gl.h"
#include "platform/random.h"
#include "tests/support/recording_gl.h"
#include "tests/unit/test_battle_world.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace battle_test;

namespace {
struct Hits : ::testing::Test {
    void SetUp() override { installNullGL(); }
};

int damagedParts(const Ship& ship) {
    int n = 0;
    for (int i = 0; i < ship.partCount; ++i)
        n += ship.partDamaged[i];
    return n;
}
} // namespace

TEST_F(Hits, ShieldFailsAtTheTwentyFirstAndTheShipBlowsUpAtTheThirtyFirst) {
    BattleWorld world(0, 1, 4);
    Ship& s = world.ship(2, 0);
    setFakeClock(ClockStart + 700);
    for (int i = 0; i < 20; ++i)
        registerHit(s, i % 26, BeamImpactKind);
    EXPECT_EQ(s.hitCount, 20);
    EXPECT_EQ(s.shieldsUp, 1);
    EXPECT_EQ(damagedParts(s), 0);
    EXPECT_EQ(s.impactGlow[19], 1.0f);
    EXPECT_EQ(s.impactStart[19], ClockStart + 700);
    EXPECT_EQ(s.impactKind[19], BeamImpactKind);

    const uint32_t seed = 11;
    seedRandom(seed);
    registerHit(s, 5, MissileImpactKind);
    EXPECT_EQ(s.shieldsUp, 0);
    EXPECT_EQ(damagedParts(s), 1);
    int expected = drawAfter(seed, 0) / (32768 / 5); // five slices for four parts
    if (expected > 3) expected = 3;
    EXPECT_EQ(s.partDamaged[expected], 1);
    EXPECT_EQ(s.impactKind[5], MissileImpactKind);

    for (int i = 21; i < 30; ++i)
        registerHit(s, 0, MissileImpactKind);
    EXPECT_EQ(s.dying, 0);
    setFakeClock(ClockStart + 900);
    registerHit(s, 0, MissileImpactKind);
    EXPECT_EQ(s.hitCount, 31);
    EXPECT_EQ(s.dying, 1);
    EXPECT_EQ(s.deathTime, ClockStart + 900);
    EXPECT_EQ(s.phaseStart, ClockStart + 900);

    // Hits on a dying ship count and mark parts but do not restart the explosion.
    setFakeClock(ClockStart + 1500);
    registerHit(s, 1, BeamImpactKind);
    EXPECT_EQ(s.hitCount, 32);
    EXPECT_EQ(s.dying, 1);
    EXPECT_EQ(s.deathTime, ClockStart + 900);
    EXPECT_EQ(s.phaseStart, ClockStart + 900);
    EXPECT_EQ(s.impactStart[1], ClockStart + 1500);
}

TEST_F(Hits, PartMarksStayWithinTheShipsParts) {
    {
        BattleWorld world(1, 0, 1);
        Ship& s = world.ship(1, 0);
        s.hitCount = 20;
        seedRandom(3);
        for (int i = 0; i < 200; ++i) {
            registerHit(s, 0, MissileImpactKind);
            ASSERT_EQ(s.partDamaged[0], 1);
        }
    }
    {
        BattleWorld world(1, 0, 3);
        Ship& s = world.ship(1, 0);
        s.hitCount = 20;
        seedRandom(8);
        for (int i = 0; i < 300; ++i)
            registerHit(s, 0, MissileImpactKind);
        EXPECT_EQ(damagedParts(s), 3); // every part reachable, nothing beyond (ASan)
    }
    {
        // A model without parts: the draw is still made, nothing is marked.
        BattleWorld world(1, 0, 0);
        Ship& s = world.ship(1, 0);
        s.hitCount = 20;
        seedRandom(8);
        registerHit(s, 0, MissileImpactKind);
        EXPECT_EQ(s.shieldsUp, 0);
        EXPECT_EQ(drawRandom(), drawAfter(8, 1));
    }
}

TEST_F(Hits, ExplosionDrawsFireballAndBlastThenRespawnsAfter2940Ms) {
    BattleWorld world(1, 0);
    Ship& s = world.ship(1, 0);
    place(s, 1, -2, 0.5);
    s.angles[0] = 10;
    s.angles[2] = 30;
    for (int i = 0; i < 31; ++i)
        registerHit(s, 2, MissileImpactKind);
    const uint32_t death = s.deathTime;
    ASSERT_EQ(s.dying, 1);

    installRecordingGL();
    setFakeClock(death + 900);
    engage(s);
    EXPECT_EQ(s.dying, 1);
    // Frame 15 of the animation, on the first two sprite triangles.
    const int bind = findCall("glBindTexture");
    ASSERT_GE(bind, 0);
    EXPECT_EQ(RecordingGL.calls[bind].args[1], 500 + 15);
    auto scales = callsNamed("glScalef");
    ASSERT_EQ(scales.size(), 2u);
    EXPECT_FLOAT_EQ(scales[0].args[0], 1.95f);
    EXPECT_FLOAT_EQ(scales[1].args[0], std::sqrt(900.0) / 25 + 0.15); // blast
    auto colours = callsNamed("glColor4f");
    ASSERT_EQ(colours.size(), 1u);
    EXPECT_FLOAT_EQ(colours[0].args[3], 2100.0f / 3100.0f);
    EXPECT_FLOAT_EQ(colours[0].args[0], 1.0f);
    EXPECT_EQ(callsNamed("glVertex3f").size(), 2u * 3 + 4u * 3);
    auto rotations = callsNamed("glRotated");
    ASSERT_GE(rotations.size(), 4u);
    EXPECT_EQ(rotations[0].args, (std::vector<double>{30, 0, 0, 1}))
        << "fireball turns about z only";
    EXPECT_EQ(callsNamed("glPushMatrix").size(), callsNamed("glPopMatrix").size());
    auto masks = callsNamed("glDepthMask");
    ASSERT_EQ(masks.size(), 4u);
    EXPECT_EQ(masks.back().args[0], GL_TRUE);
    EXPECT_EQ(callNames().back(), "glPopMatrix");

    setFakeClock(death + 2939);
    engage(s);
    EXPECT_EQ(s.dying, 1);
    setFakeClock(death + 2940);
    engage(s);
    EXPECT_EQ(s.dying, 0) << "respawned in the step at which 2940 ms have passed";
    EXPECT_EQ(s.spawnTime, death + 2940);
}

TEST_F(Hits, RespawnResetsTheShipAwayFromTheCentre) {
    BattleWorld world(1, 1, 3);
    Ship& s = world.ship(1, 0);
    Ship& enemy = world.ship(2, 0);
    place(enemy, 0.5, 0, 0);
    setFakeClock(ClockStart + 2000);
    engage(s); // a beam and a missile at the enemy
    ASSERT_EQ(countMissiles(s), 1);
    for (int i = 0; i < 35; ++i)
        registerHit(s, i % 26, BeamImpactKind);
    s.angles[1] = 45;
    s.goalAngles[2] = 12;
    s.stepSeconds = 0.5;
    s.blastScale = 2;
    s.blastColour[3] = 0.1f;

    const uint32_t seed = 77;
    seedRandom(seed);
    setFakeClock(ClockStart + 6000);
    respawnShip(s);
    EXPECT_EQ(s.dying, 0);
    EXPECT_EQ(s.shieldsUp, 1);
    EXPECT_EQ(s.hitCount, 0);
    EXPECT_EQ(damagedParts(s), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.angles[i], 0);
        EXPECT_EQ(s.goalAngles[i], 0);
        EXPECT_EQ(s.startAngles[i], 0);
    }
    EXPECT_EQ(s.stepSeconds, 0);
    EXPECT_EQ(s.blastScale, 0);
    EXPECT_EQ(s.blastColour[3], 1.0f);
    for (int i = 0; i < 26; ++i)
        EXPECT_EQ(s.impactGlow[i] + s.impactKind[i], 0);
    EXPECT_EQ(s.phaseStart, ClockStart + 3000u);
    EXPECT_EQ(s.spawnTime, ClockStart + 6000u);
    EXPECT_EQ(countBeams(s), 0);
    EXPECT_EQ(countMissiles(s), 1) << "missiles stay in flight";

    // x and y from the first two draws, signs from the next two.
    auto axis = [](int draw) {
        double v = draw / 350.0;
        if (v > 50) v /= 7;
        return v < 8 ? 8.2 : v;
    };
    const double x = axis(drawAfter(seed, 0)) * (drawAfter(seed, 2) > 16384 ? -1 : 1);
    const double y = axis(drawAfter(seed, 1)) * (drawAfter(seed, 3) < 16384 ? -1 : 1);
    EXPECT_EQ(s.position[0], x);
    EXPECT_EQ(s.position[1], y);
    EXPECT_EQ(s.position[2], 0);

    bool quadrant[2][2] = {};
    for (uint32_t k = 0; k < 2000; ++k) {
        seedRandom(k);
        respawnShip(s);
        const double ax = std::fabs(s.position[0]), ay = std::fabs(s.position[1]);
        ASSERT_GE(ax, 8);
        ASSERT_LE(ax, 50);
        ASSERT_GE(ay, 8);
        ASSERT_LE(ay, 50);
        quadrant[s.position[0] < 0][s.position[1] < 0] = true;
    }
    EXPECT_TRUE(quadrant[0][0] && quadrant[0][1] && quadrant[1][0] && quadrant[1][1]);
}
