#include "battle/fleet.h"
#include "data/effects.h"
#include "gl/gl_state.h"
#include "platform/clock.h"
#include "render/alliance.h"
#include "render/shield.h"
#include "tests/support/recording_gl.h"
#include "tests/support/render_fixtures.h"

#include <gtest/gtest.h>

namespace {
struct ShieldTest : ::testing::Test {
    void SetUp() override {
        installRecordingGL();
        MultitextureAvailable = 1;
        useFakeClock(70000);
        setUpTestEffects();
        setUpTestFleet(1, 3, 1);
        ShieldSpin = 0;
    }
    void TearDown() override {
        tearDownTestFleets();
        tearDownTestEffects();
        MultitextureAvailable = 1;
        ShieldSpin = 0;
    }
};

// Explosion frames bound so far, in order.
std::vector<int> boundFrames() {
    std::vector<int> frames;
    for (const auto& bind : callsNamed("glBindTexture")) {
        const int frame =
            static_cast<int>(bind.args[1]) - static_cast<int>(TestExplosionTextureBase);
        if (frame >= 0 && frame < ExplosionFrameCount) frames.push_back(frame);
    }
    return frames;
}

void expectWhiteLast() {
    auto names = callNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "glColor3f");
    EXPECT_EQ(RecordingGL.calls.back().args, (std::vector<double>{1, 1, 1}));
}
} // namespace

TEST_F(ShieldTest, SpinResetsToZeroOncePastFullTurn) {
    Ship& ship = testShip(1, 0);
    ShieldSpin = 359.0f;
    advanceFakeClock(16);
    drawShield(ship);
    EXPECT_EQ(ShieldSpin, 0.0f) << "360.55 is past a full turn and starts again at 0";
    EXPECT_EQ(callsNamed("glRotatef")[0].args, (std::vector<double>{0, 0, 0, 1}));

    const float landing = 360.0f - 1.55f;
    ASSERT_EQ(landing + 1.55f, 360.0f);
    ShieldSpin = landing;
    advanceFakeClock(16);
    drawShield(ship);
    EXPECT_EQ(ShieldSpin, 360.0f);
    advanceFakeClock(16);
    drawShield(ship);
    EXPECT_EQ(ShieldSpin, 0.0f);

    ShieldSpin = 100.0f;
    advanceFakeClock(16);
    drawShield(ship);
    EXPECT_FLOAT_EQ(ShieldSpin, 101.55f);
}

TEST_F(ShieldTest, EveryShieldedShipAdvancesTheSpinOncePerFrame) {
    testShip(1, 1).shieldsUp = 0;
    advanceFakeClock(16);
    drawAlliance(1);
    EXPECT_FLOAT_EQ(ShieldSpin, 2 * 1.55f);
    auto spins = callsNamed("glRotatef");
    ASSERT_EQ(spins.size(), 2u);
    EXPECT_FLOAT_EQ(static_cast<float>(spins[0].args[0]), 1.55f);
    EXPECT_FLOAT_EQ(static_cast<float>(spins[1].args[0]), 3.1f);
}

TEST_F(ShieldTest, BubbleTakesItsOpacityFromTheGlowOfEachHitPoint) {
    Ship& ship = testShip(1, 0);
    ship.impactGlow[0] = 1.0f;
    ship.impactGlow[25] = 0.5f;
    drawShield(ship);

    auto colours = callsNamed("glColor4f");
    auto coords = callsNamed("glMultiTexCoord2fARB");
    auto vertices = callsNamed("glVertex3f");
    ASSERT_EQ(vertices.size(), 48u * 3) << "only the first 48 triangles belong to the bubble";
    ASSERT_EQ(colours.size(), vertices.size());
    ASSERT_EQ(coords.size(), vertices.size());
    const Mesh& shield = shieldMesh(testRace(1));
    for (size_t k = 0; k < vertices.size(); ++k) {
        const MeshTriangle& t = shield.triangles[k / 3];
        const int v = k % 3 == 0 ? t.a : k % 3 == 1 ? t.b : t.c;
        const float alpha = v == 0 ? 1.0f : v == 25 ? 0.5f : 0.0f;
        EXPECT_EQ(colours[k].args, (std::vector<double>{0.25f, 0.5f, 0.75f, alpha}));
        EXPECT_EQ(coords[k].args, (std::vector<double>{GL_TEXTURE0_ARB, shield.vertices[v].u,
                                                       shield.vertices[v].v}));
        EXPECT_EQ(vertices[k].args[0], v + 1);
    }
    // The spin turns the texture matrix, not the bubble.
    EXPECT_EQ(callsNamed("glMatrixMode")[0].args[0], GL_TEXTURE);
    EXPECT_EQ(callsNamed("glMatrixMode").back().args[0], GL_MODELVIEW);
    expectWhiteLast();
}

TEST_F(ShieldTest, ColourIsResetEvenWhenNoBubbleIsShown) {
    Ship& ship = testShip(1, 0);
    ship.shieldsUp = 0;
    drawShield(ship);
    EXPECT_EQ(findCall("glBegin"), -1);
    EXPECT_EQ(findCall("glPushMatrix"), -1);
    expectWhiteLast();

    // Without a second texture unit the batch is empty and the spin stands still.
    installRecordingGL("");
    MultitextureAvailable = 0;
    ship.shieldsUp = 1;
    drawShield(ship);
    auto names = callNames();
    const int begin = findCall("glBegin");
    ASSERT_GE(begin, 0);
    EXPECT_EQ(names[begin + 1], "glEnd");
    EXPECT_EQ(ShieldSpin, 0.0f);
    expectWhiteLast();
}

TEST_F(ShieldTest, OneShotFlashRunsOnTimeAndFreesItsSlot) {
    Ship& ship = testShip(1, 0);
    ship.impactGlow[4] = 1.0f;
    ship.impactKind[4] = 2;
    ship.impactFrame[4] = 7;
    ship.impactStart[4] = clockNow() - 759;
    drawImpacts(ship);
    EXPECT_EQ(boundFrames(), (std::vector<int>{7})) << "draws the frame the last step set";
    EXPECT_EQ(ship.impactFrame[4], 49);
    EXPECT_EQ(ship.impactLast[4], clockNow());
    EXPECT_EQ(ship.impactKind[4], 2);

    advanceFakeClock(1); // 760 ms after the hit
    drawImpacts(ship);
    EXPECT_EQ(boundFrames(), (std::vector<int>{7, 49}));
    EXPECT_EQ(ship.impactGlow[4], 0.0f);
    EXPECT_EQ(ship.impactKind[4], 0);
    EXPECT_EQ(ship.impactFrame[4], 0);
    EXPECT_EQ(ship.impactStart[4], clockNow());
    EXPECT_EQ(ship.impactLast[4], clockNow());
    EXPECT_EQ(callsNamed("glScalef")[0].args, (std::vector<double>{0.6f, 0.6f, 0.6f}));

    // A start far in the past (or a wrapped clock) clears on the first draw.
    ship.impactGlow[4] = 1.0f;
    ship.impactKind[4] = 2;
    ship.impactStart[4] = clockNow() - 100000;
    drawImpacts(ship);
    EXPECT_EQ(ship.impactKind[4], 0);
}

TEST_F(ShieldTest, BeamFlashPlaysThroughOnceThenLoopsTenToThirty) {
    Ship& ship = testShip(1, 0);
    ship.impactGlow[9] = 1.0f;
    ship.impactKind[9] = 10;
    ship.impactLast[9] = clockNow(); // as the hit sets it
    for (int i = 0; i < 33; ++i) {
        advanceFakeClock(16);
        drawImpacts(ship);
    }
    std::vector<int> expected;
    for (int f = 0; f <= 30; ++f)
        expected.push_back(f);
    expected.push_back(10);
    expected.push_back(11);
    EXPECT_EQ(boundFrames(), expected);
    EXPECT_EQ(ship.impactFrame[9], 12);
    EXPECT_EQ(ship.impactKind[9], 10) << "only the beam's end frees the slot";
    EXPECT_EQ(callsNamed("glScalef")[0].args, (std::vector<double>{0.45f, 0.45f, 0.45f}));
    // The whole sprite is drawn for a flash.
    EXPECT_EQ(callsNamed("glVertex3f").size(), 33u * 3 * 3);
}

TEST_F(ShieldTest, FlashSitsOnTheStruckVertexTurnedWithTheShip) {
    Ship& ship = testShip(1, 0);
    ship.position[0] = 5;
    ship.position[1] = -2;
    ship.position[2] = 0.5;
    ship.angles[0] = 90;
    ship.angles[2] = 90;
    ship.impactGlow[0] = 1.0f; // shield vertex 0 lies at (1, 0, 0)
    ship.impactKind[0] = 10;
    drawImpacts(ship);
    // Turned about z first, then x: the model's x axis ends up along world z.
    EXPECT_NEAR(ship.worldPoint[0], 5.0, 1e-12);
    EXPECT_NEAR(ship.worldPoint[1], -2.0, 1e-12);
    EXPECT_NEAR(ship.worldPoint[2], 1.5, 1e-12);
    EXPECT_NEAR(callsNamed("glTranslatef")[0].args[2], 1.5, 1e-6);
    EXPECT_EQ(findCall("glGetDoublev"), -1) << "the point is computed, not read back";
}

TEST_F(ShieldTest, GlowWithoutAKindDrawsNothingButTogglesState) {
    Ship& ship = testShip(1, 0);
    ship.impactGlow[2] = 1.0f;
    ship.impactKind[2] = 0;
    ship.impactGlow[3] = 1.0f;
    ship.impactKind[3] = 7;
    drawImpacts(ship);
    EXPECT_EQ(findCall("glBindTexture"), -1);
    EXPECT_EQ(findCall("glBegin"), -1);
    EXPECT_EQ(callNames(), (std::vector<std::string>{"glDepthMask", "glDisable", "glDisable",
                                                     "glEnable", "glBlendFunc", "glDepthMask",
                                                     "glEnable", "glEnable", "glDisable"}));
}
