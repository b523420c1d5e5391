#include "battle/fleet.h"
#include "data/effects.h"
#include "gl/gl_state.h"
#include "platform/clock.h"
#include "render/alliance.h"
#include "render/hull.h"
#include "render/shield.h"
#include "render/texture.h"
#include "tests/support/recording_gl.h"
#include "tests/support/render_fixtures.h"

#include <gtest/gtest.h>

namespace {
struct RenderTest : ::testing::Test {
    void SetUp() override {
        installRecordingGL();
        MultitextureAvailable = 1;
        ShieldSpin = 0; // whatever a test before left
        useFakeClock(50000);
        setUpTestEffects();
    }
    void TearDown() override {
        tearDownTestFleets();
        tearDownTestEffects();
        MultitextureAvailable = 1;
        ShieldSpin = 0;
    }
};

std::vector<int> indicesOf(const std::string& name) {
    std::vector<int> found;
    for (int i = findCall(name); i >= 0; i = findCall(name, i + 1))
        found.push_back(i);
    return found;
}

// Index of the first call `name` with exactly these numeric arguments, or -1.
int findWith(const std::string& name, const std::vector<double>& args, int from = 0) {
    for (int i = findCall(name, from); i >= 0; i = findCall(name, i + 1))
        if (RecordingGL.calls[i].args == args) return i;
    return -1;
}

// Which unit the last glActiveTextureARB before call `index` selected (0 when none).
double activeUnitAt(int index) {
    for (int i = index - 1; i >= 0; --i)
        if (RecordingGL.calls[i].name == "glActiveTextureARB") return RecordingGL.calls[i].args[0];
    return 0;
}

// glAreTexturesResident as drivers answer when every name is resident: the
// result says so and the residence array is left as it was.
GLboolean KGL_APIENTRY residentByResultOnly(GLsizei, const GLuint*, GLboolean*) {
    return GL_TRUE;
}
} // namespace

TEST_F(RenderTest, EvictedTextureIsSpecifiedAgainFromItsOwnImageOnUnitZero) {
    setUpTestFleet(1, 0, 1);
    const TextureImage& rgb = testRace(1).textureTable[0];
    RecordingGL.nonResident = {41, 43};
    bindResident(41, rgb, TextureKind::Rgb);
    bindResident(42, Effects.smokeImage, TextureKind::Rgba);
    bindResident(43, Effects.smokeImage, TextureKind::Rgba);

    auto images = callsNamed("glTexImage2D");
    ASSERT_EQ(images.size(), 2u) << "the resident texture is only bound";
    EXPECT_EQ(images[0].args,
              (std::vector<double>{GL_TEXTURE_2D, 0, 3, 3, 1, 0, GL_BGR_EXT, GL_UNSIGNED_BYTE}));
    EXPECT_EQ(images[0].pointers[0], rgb.pixels);
    EXPECT_EQ(images[1].args,
              (std::vector<double>{GL_TEXTURE_2D, 0, 4, 6, 4, 0, GL_BGRA_EXT, GL_UNSIGNED_BYTE}));
    EXPECT_EQ(images[1].pointers[0], Effects.smokeImage.pixels);
    for (double name : {41, 42, 43}) {
        const int bind = findWith("glBindTexture", {GL_TEXTURE_2D, name});
        ASSERT_GE(bind, 0);
        EXPECT_EQ(activeUnitAt(bind), GL_TEXTURE0_ARB);
    }
}

TEST_F(RenderTest, ResidencyIsReadFromTheQueryResult) {
    glAreTexturesResident = residentByResultOnly;
    bindResident(5, Effects.smokeImage, TextureKind::Rgba);
    setUpTestFleet(1, 1, 2);
    drawShipModel(testShip(1, 0));
    EXPECT_TRUE(callsNamed("glTexImage2D").empty());
}

TEST_F(RenderTest, WithoutMultitextureNoUnitIsSelected) {
    MultitextureAvailable = 0;
    RecordingGL.allNonResident = true;
    bindResident(5, Effects.smokeImage, TextureKind::Rgba);
    setUpTestFleet(1, 2, 3);
    testShip(1, 0).partDamaged[1] = 1;
    drawAlliance(1);
    EXPECT_EQ(findCall("glActiveTextureARB"), -1);
    EXPECT_EQ(findCall("glClientActiveTextureARB"), -1);
    EXPECT_EQ(findCall("glMultiTexCoord2fARB"), -1);
    EXPECT_EQ(findWith("glEnable", {GL_TEXTURE_2D}), -1) << "no damage overlay without unit 1";
    EXPECT_EQ(findWith("glBindTexture", {GL_TEXTURE_2D, TestDamageTexture}), -1);
    EXPECT_EQ(callsNamed("glDrawArrays").size(), 6u);
    EXPECT_EQ(callsNamed("glTexCoordPointer").size(), 6u);
    EXPECT_EQ(ShieldSpin, 0.0f) << "invisible bubbles do not turn the texture";
}

TEST_F(RenderTest, HullBindsPartAndDamageTexturesAndDrawsEachPartOnce) {
    setUpTestFleet(1, 1, 3);
    Ship& ship = testShip(1, 0);
    ship.position[0] = 1.5;
    ship.angles[0] = 10;
    ship.angles[1] = 20;
    ship.angles[2] = 30;
    const uint32_t part1 = TestPartTextureBase + 10 + 1;
    RecordingGL.nonResident = {part1};
    drawShipModel(ship);

    // Part 1 was evicted: its image and the damage image go up again.
    auto images = callsNamed("glTexImage2D");
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].pointers[0], testRace(1).textureTable[1].pixels);
    EXPECT_EQ(images[0].args[2], 3);
    EXPECT_EQ(images[1].pointers[0], Effects.damageImage.pixels);
    EXPECT_EQ(images[1].args[6], GL_BGRA_EXT);
    EXPECT_EQ(activeUnitAt(findCall("glTexImage2D")), GL_TEXTURE0_ARB);
    EXPECT_EQ(activeUnitAt(findCall("glTexImage2D", findCall("glTexImage2D") + 1)),
              GL_TEXTURE1_ARB);
    // The other parts bind theirs on unit 0 and the damage texture on unit 1.
    for (uint32_t part : {part1 - 1, part1 + 1}) {
        const int at = findWith("glBindTexture", {GL_TEXTURE_2D, static_cast<double>(part)});
        ASSERT_GE(at, 0);
        EXPECT_EQ(activeUnitAt(at), GL_TEXTURE0_ARB);
        const int damage = findWith("glBindTexture", {GL_TEXTURE_2D, TestDamageTexture}, at);
        ASSERT_GE(damage, 0);
        EXPECT_EQ(activeUnitAt(damage), GL_TEXTURE1_ARB);
    }

    auto draws = callsNamed("glDrawArrays");
    ASSERT_EQ(draws.size(), 3u);
    for (const auto& draw : draws)
        EXPECT_EQ(draw.args, (std::vector<double>{GL_TRIANGLES, 0, 6}));
    // Both client units read the part's own texture coordinates.
    auto coords = callsNamed("glTexCoordPointer");
    auto clients = callsNamed("glClientActiveTextureARB");
    ASSERT_EQ(coords.size(), 6u);
    ASSERT_EQ(clients.size(), 6u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(clients[2 * i].args[0], GL_TEXTURE0_ARB);
        EXPECT_EQ(clients[2 * i + 1].args[0], GL_TEXTURE1_ARB);
        EXPECT_EQ(coords[2 * i].pointers[0], testRace(1).meshes[i].texCoords);
        EXPECT_EQ(coords[2 * i + 1].pointers[0], testRace(1).meshes[i].texCoords);
    }
    // Placement: translate, then the x, y and z rotations.
    EXPECT_EQ(callsNamed("glTranslatef")[0].args, (std::vector<double>{1.5f, -2, 0.5f}));
    auto rotations = callsNamed("glRotated");
    ASSERT_EQ(rotations.size(), 9u);
    EXPECT_EQ(rotations[0].args, (std::vector<double>{10, 1, 0, 0}));
    EXPECT_EQ(rotations[1].args, (std::vector<double>{20, 0, 1, 0}));
    EXPECT_EQ(rotations[2].args, (std::vector<double>{30, 0, 0, 1}));
    EXPECT_EQ(findWith("glEnable", {GL_TEXTURE_2D}), -1) << "undamaged parts show no overlay";
}

TEST_F(RenderTest, DyingShipBindsItsTexturesButDrawsNoHull) {
    setUpTestFleet(1, 1, 2);
    Ship& ship = testShip(1, 0);
    ship.dying = 1;
    ship.partDamaged[0] = 1;
    RecordingGL.nonResident = {TestPartTextureBase + 10};
    drawShipModel(ship);
    EXPECT_EQ(callsNamed("glTexImage2D").size(), 2u) << "part 0 and the damage image";
    EXPECT_GE(findWith("glBindTexture", {GL_TEXTURE_2D, TestPartTextureBase + 11}), 0);
    EXPECT_EQ(findCall("glDrawArrays"), -1);
    EXPECT_EQ(findCall("glPushMatrix"), -1);
    EXPECT_EQ(findWith("glEnable", {GL_TEXTURE_2D}), -1);
}

TEST_F(RenderTest, DamagedPartTurnsUnitOneTexturingOnAroundItsOwnDrawOnly) {
    setUpTestFleet(1, 1, 3);
    testShip(1, 0).partDamaged[1] = 1;
    drawShipModel(testShip(1, 0));
    auto draws = indicesOf("glDrawArrays");
    auto on = indicesOf("glEnable");
    auto off = indicesOf("glDisable");
    ASSERT_EQ(draws.size(), 3u);
    ASSERT_EQ(on.size(), 1u);
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(RecordingGL.calls[on[0]].args[0], GL_TEXTURE_2D);
    EXPECT_EQ(RecordingGL.calls[off[0]].args[0], GL_TEXTURE_2D);
    EXPECT_EQ(activeUnitAt(on[0]), GL_TEXTURE1_ARB);
    EXPECT_EQ(activeUnitAt(off[0]), GL_TEXTURE1_ARB);
    EXPECT_LT(draws[0], on[0]);
    EXPECT_LT(on[0], draws[1]);
    EXPECT_LT(draws[1], off[0]);
    EXPECT_LT(off[0], draws[2]);
    // The next part starts again from unit 0.
    const int bind2 = findWith("glBindTexture", {GL_TEXTURE_2D, TestPartTextureBase + 12});
    EXPECT_EQ(activeUnitAt(bind2), GL_TEXTURE0_ARB);
}

TEST_F(RenderTest, AlliancePassesRunInOrderAndRestoreTheirState) {
    setUpTestFleet(2, 1, 1);
    Ship& ship = testShip(2, 0);
    ship.impactGlow[3] = 1;
    ship.impactKind[3] = 10;
    drawAlliance(2);

    const int hull = findCall("glDrawArrays");
    const int shieldBind = findWith("glBindTexture", {GL_TEXTURE_2D, TestShieldTexture});
    const int unlit = findWith("glDisable", {GL_LIGHTING});
    const int bubble = findCall("glMultiTexCoord2fARB");
    const int lit = findWith("glEnable", {GL_LIGHTING});
    const int flash = findWith("glBindTexture", {GL_TEXTURE_2D, TestExplosionTextureBase});
    EXPECT_EQ(findCall("glColor4f"), 0) << "white before the hulls";
    EXPECT_LT(hull, shieldBind);
    EXPECT_EQ(activeUnitAt(shieldBind), GL_TEXTURE0_ARB);
    EXPECT_LT(shieldBind, unlit);
    EXPECT_LT(unlit, bubble);
    EXPECT_GE(findWith("glDepthMask", {GL_FALSE}), 0);
    EXPECT_LT(findWith("glDepthMask", {GL_FALSE}), bubble);
    EXPECT_LT(bubble, lit);
    EXPECT_LT(lit, flash);
    EXPECT_GE(findWith("glColor4f", {1, 1, 1, 1}, lit), 0);

    // Whatever ran, the pass leaves lighting, culling and depth writes on and blending off.
    auto last = [](const std::string& name, double cap) {
        int found = -1;
        for (int i : indicesOf(name))
            if (RecordingGL.calls[i].args[0] == cap) found = i;
        return found;
    };
    EXPECT_GT(last("glEnable", GL_LIGHTING), last("glDisable", GL_LIGHTING));
    EXPECT_GT(last("glEnable", GL_CULL_FACE), last("glDisable", GL_CULL_FACE));
    EXPECT_GT(last("glDisable", GL_BLEND), last("glEnable", GL_BLEND));
    EXPECT_GT(last("glDepthMask", GL_TRUE), last("glDepthMask", GL_FALSE));
}

TEST_F(RenderTest, EmptyAllianceStillBindsTheShieldTextureAndTogglesState) {
    drawAlliance(1);
    EXPECT_GE(findWith("glBindTexture", {GL_TEXTURE_2D, TestShieldTexture}), 0);
    EXPECT_GE(findWith("glDepthMask", {GL_TRUE}), findWith("glDepthMask", {GL_FALSE}));
    EXPECT_GE(findWith("glDepthMask", {GL_FALSE}), 0);
    EXPECT_EQ(findCall("glBegin"), -1);
    EXPECT_EQ(findCall("glDrawArrays"), -1);
}
