// The ship record and its weapon lists.
#pragma once
#include <cstdint>

struct Ship;

// One beam from a ship to one enemy.
struct BeamShot {
    Ship* target = nullptr;
    int32_t vertex = 0;
    int32_t enemyIndex = 0;
    BeamShot* next = nullptr;
    uint32_t startTime = 0;
    uint32_t lastTime = 0; // the tick of its last life roll
};

// One homing missile from a ship to one enemy.
struct Missile {
    Ship* target = nullptr;
    int32_t vertex = 0;
    int32_t enemyIndex = 0;
    float spin = 0;
    uint32_t prevTime = 0;
    uint32_t lastTime = 0;
    float position[3] = {0, 0, 0};
    int32_t done = 0;
    Missile* next = nullptr;
};

constexpr float BlastColourDefault[4] = {1.0f, 0.5568f, 0.1607f, 1.0f};

struct Ship {
    double forward[3];
    double position[3];
    int32_t dying;
    int32_t shieldsUp;
    int32_t* partDamaged; // partCount entries
    int32_t partCount;
    float blastColour[4];
    float blastScale;
    uint32_t phaseStart;
    uint32_t phaseNow;
    uint32_t moveTime;
    uint32_t prevMoveTime;
    uint32_t elapsedMs;
    double stepSeconds;
    double angles[3];
    double goalAngles[3];
    double startAngles[3];
    double worldPoint[3];
    double matrix[16];
    float impactGlow[26];
    int32_t impactFrame[26];
    uint8_t impactKind[26];
    uint32_t impactStart[26];
    uint32_t impactLast[26]; // last draw (one-shot) or last picture tick (looping)
    BeamShot* shots;         // sentinel head
    Missile* missiles;       // sentinel head
    int32_t hitCount;
    int32_t alliance;
    uint32_t spawnTime;
    uint32_t fireCheckTime;
    uint32_t deathTime;
    uint32_t blastNow;
    int32_t raceIndex;
    // Beams that their life roll ended, each kept (with its last tick) until
    // the engagement step fires the next beam at that enemy a tick later.
    BeamShot* spentShots; // no sentinel; null when empty
    // Last ticks (battle/tick.h) of the ship's smoke and of its bubble's turn.
    uint32_t smokeTick;
    uint32_t spinTick;
    // The rotation for `rotationAngles`, kept so that the many beams and
    // missiles aimed at this ship in one frame share one sin/cos evaluation.
    mutable double rotationAngles[3];
    mutable double rotation[16];
    mutable bool rotationValid;

    Ship();
    ~Ship();
    Ship(const Ship&) = delete;
    Ship& operator=(const Ship&) = delete;
};

// Stores the ship's alliance, race and part count and gives it a clear damage array.
void initShipForRace(Ship& ship, int alliance, int raceIndex, int partCount);

// Frees the weapon lists (nodes and sentinels) and the damage array.
void releaseShipLists(Ship& ship);

// Rx(x) Ry(y) Rz(z) for angles in degrees, column-major like OpenGL, in double
// precision: the matrix OpenGL composes from glRotated about x, then y, then z.
void rotationMatrixXYZ(const double angles[3], double matrix[16]);

// matrix applied to (p, 1).
void transformPoint(const double matrix[16], const double p[3], double out[3]);

// The ship's angles applied to a model point, written into `computing`'s matrix
// and worldPoint (without adding any position); returns worldPoint.
const double* rotateByShipAngles(Ship& computing, const Ship& angled, const double p[3]);
