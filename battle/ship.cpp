#include "battle/ship.h"

#include "platform/clock.h"

#include <cmath>
#include <cstring>

Ship::Ship() {
    forward[0] = 0;
    forward[1] = -1;
    forward[2] = 0;
    for (double& p : position)
        p = 0;
    dying = 0;
    shieldsUp = 1;
    partDamaged = nullptr;
    partCount = 0;
    std::memcpy(blastColour, BlastColourDefault, sizeof blastColour);
    blastScale = 0;
    phaseStart = clockNow() - 3000;
    phaseNow = clockNow();
    moveTime = clockNow();
    prevMoveTime = clockNow();
    elapsedMs = 0;
    stepSeconds = 0;
    for (int i = 0; i < 3; ++i)
        angles[i] = goalAngles[i] = startAngles[i] = worldPoint[i] = 0;
    for (double& m : matrix)
        m = 0;
    for (int i = 0; i < 26; ++i) {
        impactGlow[i] = 0;
        impactFrame[i] = 0;
        impactKind[i] = 0;
        impactStart[i] = 0;
        impactLast[i] = 0;
    }
    shots = new BeamShot();
    missiles = new Missile();
    hitCount = 0;
    alliance = 0;
    spawnTime = clockNow();
    fireCheckTime = clockNow();
    deathTime = clockNow();
    blastNow = clockNow();
    raceIndex = 0;
    spentShots = nullptr;
    smokeTick = clockNow();
    spinTick = clockNow();
    for (double& a : rotationAngles)
        a = 0;
    for (double& m : rotation)
        m = 0;
    rotationValid = false;
}

Ship::~Ship() {
    releaseShipLists(*this);
}

void initShipForRace(Ship& ship, int alliance, int raceIndex, int partCount) {
    ship.alliance = alliance;
    ship.raceIndex = raceIndex;
    ship.partCount = partCount;
    delete[] ship.partDamaged;
    ship.partDamaged = new int32_t[partCount > 0 ? partCount : 1]();
}

void releaseShipLists(Ship& ship) {
    while (ship.shots) {
        BeamShot* next = ship.shots->next;
        delete ship.shots;
        ship.shots = next;
    }
    while (BeamShot* spent = ship.spentShots) {
        ship.spentShots = spent->next;
        delete spent;
    }
    while (ship.missiles) {
        Missile* next = ship.missiles->next;
        delete ship.missiles;
        ship.missiles = next;
    }
    delete[] ship.partDamaged;
    ship.partDamaged = nullptr;
}

void rotationMatrixXYZ(const double angles[3], double matrix[16]) {
    const double radians = 3.14159265358979323846 / 180.0;
    const double sx = std::sin(angles[0] * radians), cx = std::cos(angles[0] * radians);
    const double sy = std::sin(angles[1] * radians), cy = std::cos(angles[1] * radians);
    const double sz = std::sin(angles[2] * radians), cz = std::cos(angles[2] * radians);
    // Rows of Rx * Ry * Rz.
    const double r[3][3] = {
        {cy * cz, -cy * sz, sy},
        {sx * sy * cz + cx * sz, -sx * sy * sz + cx * cz, -sx * cy},
        {-cx * sy * cz + sx * sz, cx * sy * sz + sx * cz, cx * cy},
    };
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row)
            matrix[col * 4 + row] = (row < 3 && col < 3) ? r[row][col] : (row == col ? 1.0 : 0.0);
}

void transformPoint(const double m[16], const double p[3], double out[3]) {
    const double x = p[0], y = p[1], z = p[2];
    out[0] = m[0] * x + m[4] * y + m[8] * z + m[12];
    out[1] = m[1] * x + m[5] * y + m[9] * z + m[13];
    out[2] = m[2] * x + m[6] * y + m[10] * z + m[14];
}

const double* rotateByShipAngles(Ship& computing, const Ship& angled, const double p[3]) {
    // The matrix depends on the angles alone; compare them bit for bit.
    if (!angled.rotationValid ||
        std::memcmp(angled.rotationAngles, angled.angles, sizeof angled.rotationAngles) != 0) {
        std::memcpy(angled.rotationAngles, angled.angles, sizeof angled.rotationAngles);
        rotationMatrixXYZ(angled.angles, angled.rotation);
        angled.rotationValid = true;
    }
    std::memcpy(computing.matrix, angled.rotation, sizeof computing.matrix);
    transformPoint(computing.matrix, p, computing.worldPoint);
    return computing.worldPoint;
}
