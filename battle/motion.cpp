#include "battle/motion.h"

#include "platform/clock.h"
#include "platform/random.h"

#include <cmath>

namespace {
constexpr uint32_t ManoeuvreMs = 3000;
constexpr double DegreesPerRadian = 57.29577950560105;
constexpr double SmallestStep = 0.0001;
constexpr double CruisingSpeed = 2.0;
constexpr double ZLimit = 3.0;
} // namespace

void chooseManoeuvre(Ship& ship) {
    if (ship.dying) return;
    ship.phaseNow = clockNow();
    if (static_cast<uint32_t>(ship.phaseNow - ship.phaseStart) <= ManoeuvreMs) return;
    ship.phaseStart = clockNow();
    for (int i = 0; i < 3; ++i)
        ship.startAngles[i] = ship.goalAngles[i];
    for (int i = 0; i < 3; ++i)
        ship.goalAngles[i] = static_cast<double>(drawRandom() / 100);
    steerToCentre(ship);
}

void steerToCentre(Ship& ship) {
    const double x = ship.position[0], y = ship.position[1];
    if (x * x + y * y <= 9.0) return;
    ship.goalAngles[0] = ship.goalAngles[1] = ship.goalAngles[2] = 0;
    const double dx = -x, dy = -y;
    double& goalZ = ship.goalAngles[2];
    if (dx > 0 && dy > 0)
        goalZ = 180.0 - DegreesPerRadian * std::atan(dx / dy);
    else if (dx > 0 && dy <= 0)
        goalZ = 90.0 + DegreesPerRadian * std::atan(dy / dx);
    else if (dx <= 0 && dy < 0)
        goalZ = -DegreesPerRadian * std::atan(dx / dy);
    else if (dx < 0 && dy >= 0)
        goalZ = 270.0 + DegreesPerRadian * std::atan(dy / dx);
    else if (dx == 0 && dy > 0)
        goalZ = 180.0;
}

void turnShip(Ship& ship) {
    if (ship.dying) return;
    ship.phaseNow = clockNow();
    ship.elapsedMs = ship.phaseNow - ship.phaseStart;
    double f = ship.elapsedMs / 3000.0;
    if (f > 1.0)
        f = 1.0;
    else if (f == 0.0)
        f = SmallestStep;
    ship.stepSeconds = f;
    for (int i = 0; i < 3; ++i)
        ship.angles[i] = ship.startAngles[i] + (ship.goalAngles[i] - ship.startAngles[i]) * f;
}

void moveShip(Ship& ship) {
    if (ship.dying) return;
    ship.prevMoveTime = ship.moveTime;
    ship.moveTime = clockNow();
    ship.elapsedMs = ship.moveTime - ship.prevMoveTime;
    ship.stepSeconds = ship.elapsedMs / 1000.0;
    if (ship.stepSeconds <= 0.0 || ship.stepSeconds >= 1.0) ship.stepSeconds = SmallestStep;
    const double* heading = rotateByShipAngles(ship, ship, ship.forward);
    for (int i = 0; i < 3; ++i)
        ship.position[i] += heading[i] * CruisingSpeed * ship.stepSeconds;
    if (ship.position[2] > ZLimit)
        ship.position[2] = ZLimit;
    else if (ship.position[2] < -ZLimit)
        ship.position[2] = -ZLimit;
}
