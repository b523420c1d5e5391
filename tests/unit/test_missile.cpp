#include "battle/engage.h"
#include "battle/hits.h"
#include "battle/missile.h"
#include "gl/null_gl.h"
#include "platform/random.h"
#include "tests/support/recording_gl.h"
#include "tests/unit/test_battle_world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace battle_test;

namespace {
struct Missiles : ::testing::Test {
    void SetUp() override { installNullGL(); }
};

// Where the missile aims: the target's hit point, turned with the target.
void aimPoint(const Ship& target, int vertex, double out[3]) {
    float p[3];
    shieldPoint(vertex, p);
    const double local[3] = {p[0], p[1], p[2]};
    double m[16];
    rotationMatrixXYZ(target.angles, m);
    transformPoint(m, local, out);
    for (int i = 0; i < 3; ++i)
        out[i] += target.position[i];
}

double distance(const float a[3], const double b[3]) {
    double d = 0;
    for (int i = 0; i < 3; ++i)
        d += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(d);
}

double distance(const float a[3], const float b[3]) {
    const double bd[3] = {b[0], b[1], b[2]};
    return distance(a, bd);
}

std::vector<Missile*> missileList(const Ship& ship) {
    std::vector<Missile*> list;
    for (Missile* m = ship.missiles->next; m; m = m->next)
        list.push_back(m);
    return list;
}
} // namespace

TEST_F(Missiles, FlyAtTheirSpeedWithTheFallbackForImplausibleSteps) {
    BattleWorld world(1, 1);
    Ship& a = world.ship(1, 0);
    Ship& b = world.ship(2, 0);
    place(b, 30, 0, 0);
    launchMissile(a, b, 0, 4);
    Missile* m = a.missiles->next;
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->prevTime, ClockStart);
    EXPECT_EQ(m->spin, 0.0f);

    float before[3] = {m->position[0], m->position[1], m->position[2]};
    advanceFakeClock(16);
    flyMissiles(a);
    EXPECT_NEAR(distance(m->position, before), 2.75 * 0.016, 1e-6);
    EXPECT_FLOAT_EQ(m->spin, 8.0f);
    EXPECT_EQ(a.elapsedMs, 16u);
    // It heads for the hit point.
    double aim[3];
    aimPoint(b, 4, aim);
    const double gone = distance(before, aim) - distance(m->position, aim);
    EXPECT_NEAR(gone, 2.75 * 0.016, 1e-5);

    // A stalled frame counts as a millisecond, and so does a zero step.
    for (uint32_t stall : {1000u, 5000u, 0u}) {
        for (int i = 0; i < 3; ++i)
            before[i] = m->position[i];
        advanceFakeClock(stall);
        flyMissiles(a);
        EXPECT_NEAR(distance(m->position, before), 2.75 * 0.001, 1e-6) << stall;
    }

    // The spin wraps to 0 once it passes 360.
    m->spin = 355;
    advanceFakeClock(16);
    flyMissiles(a);
    EXPECT_EQ(m->spin, 0.0f);
}

TEST_F(Missiles, HitsInOnePassAreAllRemovedAndTheRestStepOnce) {
    BattleWorld world(1, 1);
    Ship& a = world.ship(1, 0);
    Ship& b = world.ship(2, 0);
    place(b, 0, 10, 0);
    for (int i = 0; i < 5; ++i)
        launchMissile(a, b, 0, 7 + i);
    std::vector<Missile*> list = missileList(a);
    // The second and the fourth are within the hit radius of their aim points.
    for (int k : {1, 3}) {
        double aim[3];
        aimPoint(b, list[k]->vertex, aim);
        for (int i = 0; i < 3; ++i)
            list[k]->position[i] = static_cast<float>(aim[i]);
        list[k]->position[0] += 0.17f;
    }
    advanceFakeClock(16);
    flyMissiles(a);

    std::vector<Missile*> left = missileList(a);
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(left[0], list[0]);
    EXPECT_EQ(left[1], list[2]);
    EXPECT_EQ(left[2], list[4]);
    const float origin[3] = {0, 0, 0};
    for (Missile* m : left) {
        EXPECT_NEAR(distance(m->position, origin), 2.75 * 0.016, 1e-6);
        EXPECT_EQ(m->lastTime, ClockStart + 16);
    }
    EXPECT_EQ(b.hitCount, 2);
    EXPECT_EQ(b.impactKind[8], MissileImpactKind);
    EXPECT_EQ(b.impactKind[10], MissileImpactKind);
    EXPECT_EQ(b.impactGlow[10], 1.0f);
    EXPECT_EQ(b.impactKind[7], 0);
}

TEST_F(Missiles, KeepHomingThroughRespawnAndAfterTheLauncherDies) {
    BattleWorld world(1, 1);
    Ship& a = world.ship(1, 0);
    Ship& b = world.ship(2, 0);
    place(b, 1, 0, 0);
    launchMissile(a, b, 0, 0);
    Missile* m = a.missiles->next;

    // The target comes back somewhere else: the missile turns after it.
    seedRandom(2);
    respawnShip(b);
    double aim[3];
    aimPoint(b, 0, aim);
    const double start = distance(m->position, aim);
    advanceFakeClock(16);
    flyMissiles(a);
    EXPECT_NEAR(start - distance(m->position, aim), 2.75 * 0.016, 1e-4);

    // The launcher dies: the missile still flies in its weapons pass.
    for (int i = 0; i < 31; ++i)
        registerHit(a, 0, BeamImpactKind);
    ASSERT_EQ(a.dying, 1);
    const double before = distance(m->position, aim);
    advanceFakeClock(16);
    weaponsPass(a);
    EXPECT_NEAR(before - distance(m->position, aim), 2.75 * 0.016, 1e-4);

    // And all the way until it arrives, adding a hit to the target.
    for (int frame = 0; frame < 2000 && a.missiles->next; ++frame) {
        advanceFakeClock(16);
        flyMissiles(a);
    }
    EXPECT_EQ(a.missiles->next, nullptr);
    EXPECT_EQ(b.hitCount, 1);
}

TEST_F(Missiles, DrawSpunSpritesWithTheRaceTextureReloadedWhenEvicted) {
    BattleWorld world(1, 1);
    Ship& a = world.ship(1, 0);
    Ship& b = world.ship(2, 0);
    place(a, 1, 2, 0);
    place(b, 5, 0, 0);
    launchMissile(a, b, 0, 1);
    launchMissile(a, b, 0, 2);
    a.missiles->next->next->spin = 45;

    installRecordingGL();
    RecordingGL.nonResident.insert(71); // alliance 1's projectile texture
    drawMissiles(a);
    auto images = callsNamed("glTexImage2D");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].args[2], 4);
    EXPECT_EQ(images[0].args[6], GL_BGRA_EXT);
    EXPECT_EQ(callsNamed("glBindTexture")[0].args[1], 71);

    auto moves = callsNamed("glTranslatef");
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].args, (std::vector<double>{1, 2, 0}));
    auto spins = callsNamed("glRotatef");
    ASSERT_EQ(spins.size(), 2u);
    EXPECT_EQ(spins[1].args, (std::vector<double>{45, 0, 0, 1}));
    EXPECT_EQ(callsNamed("glVertex3f").size(), 2u * 3 * 3) << "every sprite triangle";
    auto masks = callsNamed("glDepthMask");
    ASSERT_EQ(masks.size(), 2u);
    EXPECT_EQ(masks[0].args[0], GL_FALSE);
    EXPECT_EQ(masks[1].args[0], GL_TRUE);
    EXPECT_LT(findCall("glDepthMask"), findCall("glBegin"));
    EXPECT_EQ(callNames().back(), "glDisable"); // blending off again
}
