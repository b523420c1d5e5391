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
struct Engage : ::testing::Test {
    void SetUp() override { installNullGL(); }
};

int referenceRoll(int r) {
    if (r >= 25) r /= 50;
    if (r >= 25) r /= 26;
    return r;
}

int beamVertexTo(const Ship& ship, int enemyIndex) {
    for (const BeamShot* b = ship.shots->next; b; b = b->next)
        if (b->enemyIndex == enemyIndex) return b->vertex;
    return -1;
}
} // namespace

TEST_F(Engage, BeamsWaitOutTheFireDelayMissilesDoNot) {
    BattleWorld world(1, 1);
    Ship& a = world.ship(1, 0);
    Ship& b = world.ship(2, 0);
    place(b, 1, 0, 0);

    setFakeClock(ClockStart + 1500);
    engage(a);
    EXPECT_EQ(a.fireCheckTime, ClockStart + 1500);
    EXPECT_EQ(countBeams(a), 0);
    EXPECT_EQ(countMissiles(a), 1);
    EXPECT_EQ(b.hitCount, 0);

    advanceFakeClock(1);
    engage(a);
    ASSERT_EQ(countBeams(a), 1);
    const int v = beamVertexTo(a, 0);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 25);
    EXPECT_EQ(b.hitCount, 1);
    EXPECT_EQ(b.impactKind[v], BeamImpactKind);
    EXPECT_EQ(b.impactGlow[v], 1.0f);
    EXPECT_EQ(countMissiles(a), 1) << "one missile per enemy";

    // The same again after a respawn: the delay counts from the respawn.
    advanceFakeClock(5000);
    const uint32_t respawned = clockNow();
    respawnShip(a);
    EXPECT_EQ(countBeams(a), 0);
    EXPECT_EQ(b.impactGlow[v], 0.0f) << "ending a beam clears its slot";
    place(a, 0, 0, 0);
    setFakeClock(respawned + 1500);
    engage(a);
    EXPECT_EQ(countBeams(a), 0);
    setFakeClock(respawned + 1501);
    engage(a);
    EXPECT_EQ(countBeams(a), 1);
}

TEST_F(Engage, RangeIsStrictlyBelowSixAndNeverTheSamePoint) {
    BattleWorld world(1, 3);
    Ship& a = world.ship(1, 0);
    place(world.ship(2, 0), 1, 1, 2);     // d² exactly 6
    place(world.ship(2, 1), 0, 0, 0);     // same point
    place(world.ship(2, 2), 1, 1, 1.999); // just inside
    setFakeClock(ClockStart + 2000);
    engage(a);
    EXPECT_EQ(countBeams(a), 1);
    EXPECT_EQ(countMissiles(a), 1);
    EXPECT_EQ(beamVertexTo(a, 2) >= 0, true);
    EXPECT_EQ(a.missiles->next->enemyIndex, 2);
    EXPECT_EQ(world.ship(2, 0).hitCount, 0);
    EXPECT_EQ(world.ship(2, 1).hitCount, 0);
}

TEST_F(Engage, DrawsRollsForEveryEnemyInRangeInOrderEvenWhenArmed) {
    BattleWorld world(1, 3);
    Ship& a = world.ship(1, 0);
    place(world.ship(2, 0), 1, 0, 0);
    place(world.ship(2, 1), 10, 0, 0); // out of range: no draw
    place(world.ship(2, 2), 0, 1, 0);
    setFakeClock(ClockStart + 2000);
    const uint32_t seed = 4242;
    seedRandom(seed);
    engage(a); // beam rolls for 0 and 2, then missile rolls for 0 and 2
    EXPECT_EQ(beamVertexTo(a, 0), referenceRoll(drawAfter(seed, 0)));
    EXPECT_EQ(beamVertexTo(a, 2), referenceRoll(drawAfter(seed, 1)));
    ASSERT_EQ(countMissiles(a), 2);
    EXPECT_EQ(a.missiles->next->vertex, referenceRoll(drawAfter(seed, 2)));
    EXPECT_EQ(a.missiles->next->next->vertex, referenceRoll(drawAfter(seed, 3)));

    engage(a); // armed at both: the four rolls are still drawn and discarded
    EXPECT_EQ(countBeams(a), 2);
    EXPECT_EQ(countMissiles(a), 2);
    EXPECT_EQ(drawRandom(), drawAfter(seed, 8));

    seedRandom(7);
    for (int i = 0; i < 100000; ++i) {
        const int v = rollVertex();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 25);
    }
}

TEST_F(Engage, LeavingRangeDropsTheBeamAndClearsItsSlot) {
    BattleWorld world(1, 1);
    Ship& a = world.ship(1, 0);
    Ship& b = world.ship(2, 0);
    place(b, 1, 0, 0);
    setFakeClock(ClockStart + 2000);
    engage(a);
    const int v = beamVertexTo(a, 0);
    ASSERT_GE(v, 0);
    ASSERT_EQ(b.impactGlow[v], 1.0f);

    place(b, 2.5, 0, 0);
    engage(a);
    EXPECT_EQ(countBeams(a), 0);
    EXPECT_EQ(b.impactGlow[v], 0.0f);
    EXPECT_EQ(b.impactKind[v], 0);
    EXPECT_EQ(countMissiles(a), 1) << "missiles in flight are not recalled";
}

TEST_F(Engage, BeamLifeIsDrawnPerBeamPerTick) {
    BattleWorld world(1, 2);
    Ship& a = world.ship(1, 0);
    place(world.ship(2, 0), 1, 0, 0);
    place(world.ship(2, 1), -1, 0, 0);
    setFakeClock(ClockStart + 2000);

    // In the frame they fire, beams roll at age 0, where no threshold is below
    // the age: both survive whatever is drawn.
    for (uint32_t seed : {1u, 99u, 31337u}) {
        releaseAllBeams(a);
        advanceFakeClock(16);
        engage(a);
        ASSERT_EQ(countBeams(a), 2);
        seedRandom(seed);
        weaponsPass(a);
        EXPECT_EQ(countBeams(a), 2);
        EXPECT_EQ(drawRandom(), drawAfter(seed, 2)) << "one draw per beam";
    }
    // Past 1500 ms every threshold is below the age: both end, and their slots clear.
    const int v0 = beamVertexTo(a, 0), v1 = beamVertexTo(a, 1);
    advanceFakeClock(1501);
    weaponsPass(a);
    EXPECT_EQ(countBeams(a), 0);
    EXPECT_EQ(world.ship(2, 0).impactGlow[v0], 0.0f);
    EXPECT_EQ(world.ship(2, 1).impactGlow[v1], 0.0f);
}

TEST_F(Engage, BeamRunsFromOwnPositionToTheTargetsTurnedHitPoint) {
    BattleWorld world(1, 1);
    Ship& a = world.ship(1, 0);
    Ship& b = world.ship(2, 0);
    place(a, 0.5, 0.25, 0);
    place(b, 1.5, 0, 0.5);
    b.angles[2] = 90;
    setFakeClock(ClockStart + 2000);
    engage(a);
    const int v = beamVertexTo(a, 0);
    ASSERT_GE(v, 0);

    installRecordingGL();
    weaponsPass(a);
    float p[3];
    shieldPoint(v, p);
    // Turned 90 degrees about z: (x, y, z) -> (-y, x, z).
    const double end[3] = {-p[1] + 1.5, p[0] + 0.0, p[2] + 0.5};
    EXPECT_NEAR(a.matrix[1], 1.0, 1e-12) << "the target's rotation, in the firing ship's matrix";

    const int begin = findCall("glBegin");
    ASSERT_GE(begin, 0);
    const auto& calls = RecordingGL.calls;
    EXPECT_EQ(calls[begin].args[0], GL_LINES);
    EXPECT_EQ(calls[begin + 1].name, "glColor3f");
    EXPECT_EQ(calls[begin + 1].args, (std::vector<double>{1, 0, 0}));
    EXPECT_EQ(calls[begin + 2].name, "glVertex3f");
    EXPECT_EQ(calls[begin + 2].args, (std::vector<double>{0.5, 0.25, 0}));
    EXPECT_EQ(calls[begin + 3].args, (std::vector<double>{1, 1, 0}));
    EXPECT_EQ(calls[begin + 4].name, "glVertex3f");
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(calls[begin + 4].args[i], end[i], 1e-6);
    EXPECT_EQ(calls[begin + 5].name, "glEnd");
    EXPECT_EQ(calls[begin + 6].name, "glColor3f");
    EXPECT_EQ(calls[begin + 6].args, (std::vector<double>{1, 1, 1}));
    // Lines are drawn unlit, untextured and from both sides.
    for (GLenum cap : {GL_TEXTURE_2D, GL_LIGHTING, GL_CULL_FACE}) {
        bool disabled = false;
        for (int i = 0; i < begin; ++i)
            if (calls[i].name == "glDisable" && calls[i].args[0] == cap) disabled = true;
        EXPECT_TRUE(disabled) << cap;
    }
}

TEST_F(Engage, DeathEndsEveryBeamOfTheDyingShipAndItDrawsNone) {
    BattleWorld world(1, 2);
    Ship& a = world.ship(1, 0);
    place(world.ship(2, 0), 1, 0, 0);
    place(world.ship(2, 1), 0, -1, 0);
    setFakeClock(ClockStart + 2000);
    engage(a);
    const int v0 = beamVertexTo(a, 0), v1 = beamVertexTo(a, 1);
    ASSERT_GE(v0, 0);
    ASSERT_GE(v1, 0);
    ASSERT_EQ(countMissiles(a), 2);

    for (int i = 0; i < 31; ++i)
        registerHit(a, 3, MissileImpactKind);
    EXPECT_EQ(a.dying, 1);
    EXPECT_EQ(countBeams(a), 0);
    EXPECT_EQ(world.ship(2, 0).impactGlow[v0], 0.0f);
    EXPECT_EQ(world.ship(2, 1).impactGlow[v1], 0.0f);
    EXPECT_EQ(countMissiles(a), 2) << "missiles outlive their launcher";

    // A dying ship fires nothing and draws no beam, but its missiles fly on.
    const float before = a.missiles->next->position[0];
    advanceFakeClock(16);
    engage(a);
    installRecordingGL();
    weaponsPass(a);
    EXPECT_EQ(countBeams(a), 0);
    for (const GLCall& call : callsNamed("glBegin"))
        EXPECT_NE(call.args[0], GL_LINES);
    EXPECT_GT(a.missiles->next->position[0], before);
}

TEST_F(Engage, ShieldlessLivingShipsTrailSmoke) {
    BattleWorld world(3, 0);
    Ship& smoking = world.ship(1, 0);
    Ship& dying = world.ship(1, 1);
    Ship& shielded = world.ship(1, 2);
    place(smoking, 1, 2, 0);
    smoking.shieldsUp = 0;
    dying.shieldsUp = 0;
    dying.dying = 1;
    dying.phaseStart = dying.deathTime = clockNow();
    const uint32_t seed = 5;
    seedRandom(seed);
    for (int i = 0; i < 40; ++i) {
        advanceFakeClock(16);
        engage(smoking);
        engage(dying);
        engage(shielded);
    }
    EXPECT_EQ(dying.dying, 1);
    EXPECT_EQ(drawRandom(), drawAfter(seed, 40)) << "one smoke draw per frame, only for the first";
    EXPECT_GT(countPuffs(), 5);
    for (const SmokePuff* p = PuffListHead->next; p; p = p->next) {
        EXPECT_EQ(p->x, 1.0f);
        EXPECT_EQ(p->y, 2.0f);
    }
}

TEST_F(Engage, EnemiesBeyondSixtyFourAreVisitedInOrder) {
    BattleWorld world(1, 130);
    Ship& a = world.ship(1, 0);
    for (int i = 0; i < 130; ++i)
        place(world.ship(2, i), 50, 0, 0);
    const int engaged[] = {0, 63, 64, 65, 127, 129};
    for (int i : engaged)
        place(world.ship(2, i), 1, 0.001 * i, 0);
    setFakeClock(ClockStart + 2000);
    const uint32_t seed = 99;
    seedRandom(seed);
    engage(a);
    int k = 0;
    for (int i : engaged)
        EXPECT_EQ(beamVertexTo(a, i), referenceRoll(drawAfter(seed, k++))) << "beam to " << i;
    const Missile* m = a.missiles->next;
    for (int i : engaged) {
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->enemyIndex, i);
        EXPECT_EQ(m->vertex, referenceRoll(drawAfter(seed, k++)));
        m = m->next;
    }
    EXPECT_EQ(m, nullptr);

    // Leaving range in the second word ends that beam only.
    Ship& leaver = world.ship(2, 65);
    const int slot = beamVertexTo(a, 65);
    place(leaver, 50, 0, 0);
    advanceFakeClock(1);
    engage(a);
    EXPECT_EQ(beamVertexTo(a, 65), -1);
    EXPECT_EQ(leaver.impactGlow[slot], 0.0f);
    EXPECT_EQ(countBeams(a), 5);
    EXPECT_GE(beamVertexTo(a, 129), 0);
}

TEST_F(Engage, BattlePassSeesAShipWhereItRespawned) {
    BattleWorld world(1, 1);
    Ship& a = world.ship(1, 0);
    Ship& b = world.ship(2, 0);
    setFakeClock(ClockStart + 5000);
    // Where `a` will respawn: the draws of a respawn from this seed.
    const uint32_t seed = 31337;
    double reborn[3];
    {
        seedRandom(seed);
        Ship scratch;
        respawnShip(scratch);
        for (int i = 0; i < 3; ++i)
            reborn[i] = scratch.position[i];
    }
    // `a` explodes far away and its last frame is due; `b` waits where it reappears.
    place(a, 100, 0, 0);
    a.dying = 1;
    a.phaseStart = a.deathTime = clockNow() - 2940;
    place(b, reborn[0] + 0.5, reborn[1], reborn[2]);

    seedRandom(seed);
    runBattlePass();
    EXPECT_EQ(a.dying, 0);
    EXPECT_EQ(a.position[0], reborn[0]);
    ASSERT_EQ(countMissiles(b), 1) << "alliance 2 fights the ship at its new place";
    EXPECT_EQ(b.missiles->next->enemyIndex, 0);

    // Outside the pass the ships' own positions count.
    place(a, -100, 0, 0);
    advanceFakeClock(1);
    engage(b);
    EXPECT_EQ(countBeams(b), 0);
}
