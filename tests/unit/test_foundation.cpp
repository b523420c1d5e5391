#include "battle/motion.h"
#include "platform/clock.h"
#include "platform/library.h"
#include "platform/random.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Random, MatchesTheCRuntimeSequence) {
    seedRandom(1);
    EXPECT_EQ(drawRandom(), 41);
    EXPECT_EQ(drawRandom(), 18467);
    EXPECT_EQ(drawRandom(), 6334);
    EXPECT_EQ(drawRandom(), 26500);
    EXPECT_EQ(drawRandom(), 19169);
    seedRandom(12345);
    for (int i = 0; i < 100000; ++i) {
        int r = drawRandom();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, RandomMax);
    }
}

TEST(Clock, FakeClockWrapsInUnsignedArithmetic) {
    useFakeClock(0xFFFFFFF0u);
    uint32_t before = clockNow();
    advanceFakeClock(0x20);
    EXPECT_EQ(clockNow(), 0x10u);
    EXPECT_EQ(static_cast<uint32_t>(clockNow() - before), 0x20u);
    setClockSource(nullptr);
}

TEST(Library, FakeLoaderServesItsTablesAndCountsUse) {
    installFakeLibraries();
    int marker = 0;
    addFakeLibrary("x.dll").symbols["f"] = &marker;
    EXPECT_EQ(openLibrary("missing.dll"), nullptr);
    LibraryHandle handle = openLibrary("x.dll");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(librarySymbol(handle, "f"), &marker);
    EXPECT_EQ(librarySymbol(handle, "g"), nullptr);
    closeLibrary(handle);
    EXPECT_EQ(findFakeLibrary("x.dll")->openCount, 1);
    EXPECT_EQ(findFakeLibrary("x.dll")->closeCount, 1);
    removeFakeLibraries();
}

TEST(Rotation, ComposesXThenYThenZLikeOpenGL) {
    double m[16], out[3];
    const double angles[3] = {90, 0, 90};
    rotationMatrixXYZ(angles, m);
    const double xAxis[3] = {1, 0, 0};
    transformPoint(m, xAxis, out);
    EXPECT_NEAR(out[0], 0, 1e-12);
    EXPECT_NEAR(out[1], 0, 1e-12);
    EXPECT_NEAR(out[2], 1, 1e-12);

    useFakeClock(5000);
    Ship ship;
    const double* heading = rotateByShipAngles(ship, ship, ship.forward);
    EXPECT_DOUBLE_EQ(heading[0], 0);
    EXPECT_DOUBLE_EQ(heading[1], -1);
    EXPECT_DOUBLE_EQ(heading[2], 0);
    setClockSource(nullptr);
}

namespace {
struct MotionTest : ::testing::Test {
    void SetUp() override {
        useFakeClock(100000);
        seedRandom(7);
    }
    void TearDown() override { setClockSource(nullptr); }
};

double goalZFor(double x, double y) {
    Ship ship;
    ship.position[0] = x;
    ship.position[1] = y;
    ship.goalAngles[0] = ship.goalAngles[1] = 99;
    steerToCentre(ship);
    EXPECT_EQ(ship.goalAngles[0], 0);
    EXPECT_EQ(ship.goalAngles[1], 0);
    return ship.goalAngles[2];
}
} // namespace

TEST_F(MotionTest, SteerToCentreTurnsTheNoseAtTheAxis) {
    EXPECT_DOUBLE_EQ(goalZFor(4, 0), 270);  // dx < 0, dy = 0
    EXPECT_DOUBLE_EQ(goalZFor(0, 4), 0);    // dx = 0, dy < 0
    EXPECT_DOUBLE_EQ(goalZFor(0, -4), 180); // dx = 0, dy > 0
    EXPECT_NEAR(goalZFor(-3, -3), 135, 1e-7);
    EXPECT_NEAR(goalZFor(-3, 3), 45, 1e-7);
    EXPECT_NEAR(goalZFor(3, 3), -45, 1e-7);
    EXPECT_NEAR(goalZFor(3, -3), 225, 1e-7);
    // Every quadrant's goal points the rotated nose at the centre.
    for (auto [x, y] : {std::pair{5.0, 1.0}, {-2.0, 7.0}, {-6.0, -1.0}, {1.0, -9.0}}) {
        Ship ship;
        ship.angles[2] = goalZFor(x, y);
        const double* nose = rotateByShipAngles(ship, ship, ship.forward);
        double length = std::hypot(x, y);
        EXPECT_NEAR(nose[0], -x / length, 1e-7);
        EXPECT_NEAR(nose[1], -y / length, 1e-7);
    }
    // Inside the radius the goal is left alone.
    Ship near;
    near.position[0] = 3;
    near.goalAngles[2] = 42;
    steerToCentre(near);
    EXPECT_EQ(near.goalAngles[2], 42);
}

TEST_F(MotionTest, ManoeuvreStartsOnlyAfterMoreThan3000Ms) {
    Ship ship;
    chooseManoeuvre(ship); // constructed 3000 ms in the past: not yet
    EXPECT_EQ(ship.phaseStart, 97000u);
    advanceFakeClock(1);
    chooseManoeuvre(ship);
    EXPECT_EQ(ship.phaseStart, 100001u);
    double goal[3] = {ship.goalAngles[0], ship.goalAngles[1], ship.goalAngles[2]};
    for (double g : goal) {
        EXPECT_GE(g, 0);
        EXPECT_LE(g, 327);
        EXPECT_EQ(g, std::floor(g));
    }
    advanceFakeClock(3000);
    chooseManoeuvre(ship);
    EXPECT_EQ(ship.phaseStart, 100001u);
    advanceFakeClock(1);
    chooseManoeuvre(ship);
    EXPECT_EQ(ship.phaseStart, 103002u);
    EXPECT_EQ(ship.startAngles[2], goal[2]);
}

TEST_F(MotionTest, TurningInterpolatesWithoutWrapping) {
    Ship ship;
    ship.phaseStart = clockNow();
    ship.startAngles[2] = 300;
    ship.goalAngles[2] = 20;
    turnShip(ship);
    EXPECT_DOUBLE_EQ(ship.stepSeconds, 0.0001);
    advanceFakeClock(1500);
    turnShip(ship);
    EXPECT_DOUBLE_EQ(ship.angles[2], 160);
    advanceFakeClock(5000);
    turnShip(ship);
    EXPECT_DOUBLE_EQ(ship.angles[2], 20);
}

TEST_F(MotionTest, MovingUsesTheStepClampsAndTheZSlab) {
    Ship ship;
    advanceFakeClock(500);
    moveShip(ship);
    EXPECT_DOUBLE_EQ(ship.position[1], -1.0); // 2 units/s along the nose for 0.5 s
    advanceFakeClock(1000);
    moveShip(ship);
    EXPECT_DOUBLE_EQ(ship.position[1], -1.0 - 2 * 0.0001);
    moveShip(ship); // no time passed
    EXPECT_DOUBLE_EQ(ship.position[1], -1.0 - 4 * 0.0001);

    ship.angles[0] = -90; // nose along +z
    ship.position[2] = 2.9;
    advanceFakeClock(200);
    moveShip(ship);
    EXPECT_DOUBLE_EQ(ship.position[2], 3.0);
    ship.angles[0] = 90;
    ship.position[2] = -2.9;
    advanceFakeClock(200);
    moveShip(ship);
    EXPECT_DOUBLE_EQ(ship.position[2], -3.0);
}

TEST_F(MotionTest, DyingShipNeitherTurnsNorMoves) {
    Ship ship;
    ship.dying = 1;
    ship.goalAngles[2] = 100;
    advanceFakeClock(500);
    chooseManoeuvre(ship);
    turnShip(ship);
    moveShip(ship);
    EXPECT_EQ(ship.angles[2], 0);
    EXPECT_EQ(ship.position[1], 0);
    EXPECT_EQ(ship.phaseStart, 97000u);
}
