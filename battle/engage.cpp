#include "battle/engage.h"

#include "battle/hits.h"
#include "battle/missile.h"
#include "data/fleet.h"
#include "gl/gl_table.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "render/smoke.h"

#include <bit>
#include <cstdint>
#include <vector>

namespace {
// Maps a draw (0..32767) to 0..1500 ms of beam life.
constexpr double BeamLifeDivisor = 21.845;

// Per-enemy views of one engage step, rebuilt at its start so that the loops
// over the enemies neither walk the weapon lists nor measure a pair twice,
// and visit only the enemies they act on. Bit i of word i / 64 stands for
// enemy i. The buffers only grow.
using Bits = std::vector<uint64_t>;
Bits InRange;                      // the enemy is engaged (same answer in both loops)
Bits BeamTo;                       // a beam to the enemy exists
Bits MissileTo;                    // a missile to the enemy is in flight
std::vector<BeamShot*> BeamBefore; // node before the first beam to each enemy in BeamTo

void clearBits(Bits& bits, int count) {
    bits.assign(static_cast<size_t>(count + 63) / 64, 0);
}
bool hasBit(const Bits& bits, int i) {
    return (bits[i >> 6] >> (i & 63)) & 1;
}
void setBit(Bits& bits, int i) {
    bits[i >> 6] |= uint64_t{1} << (i & 63);
}

// Calls visit(i) for each set bit of words(w) in ascending order of i, where
// words(w) is read when the loop reaches word w.
template <class Words, class Visit> void forEachBit(size_t wordCount, Words words, Visit visit) {
    for (size_t w = 0; w < wordCount; ++w)
        for (uint64_t bits = words(w); bits; bits &= bits - 1)
            visit(static_cast<int>(w * 64 + static_cast<size_t>(std::countr_zero(bits))));
}

// Both fleets' positions side by side, copied for the battle pass so that the
// range test reads 24 bytes an enemy instead of a cache line of its record.
// Only live between beginBattlePass and endBattlePass; a respawn updates it.
struct PositionCopy {
    const Ship* ships = nullptr;
    int count = 0;
    std::vector<double> xyz;
};
PositionCopy Copies[2];
bool CopiesLive = false;

const double* copiedPositions(const FleetState& fleet) {
    if (!CopiesLive) return nullptr;
    for (const PositionCopy& copy : Copies)
        if (copy.ships == fleet.ships && copy.count == fleet.shipCount) return copy.xyz.data();
    return nullptr;
}

// Bits of InRange from the first to the end-th enemy, `position(i)` giving
// enemy i's position.
template <class Position> void measureRangeOf(const double own[3], int count, Position position) {
    for (int first = 0; first < count; first += 64) {
        const int end = count - first < 64 ? count : first + 64;
        uint64_t word = 0; // kept in a register, stored once
        for (int i = first; i < end; ++i) {
            const double* p = position(i);
            const double dx = own[0] - p[0], dy = own[1] - p[1], dz = own[2] - p[2];
            const double d2 = dx * dx + dy * dy + dz * dz;
            const uint64_t engaged = (d2 < EngagementRangeSquared) & (d2 != 0);
            word |= engaged << (i - first);
        }
        InRange[first >> 6] = word;
    }
}

// Positions do not change during the step (only a dying ship's own step
// moves it), so one measurement serves the beam and the missile loop.
// Branch-free: the test is unpredictable and most enemies are out of range.
void measureRange(const Ship& ship, const FleetState& enemies) {
    const int count = enemies.shipCount;
    clearBits(InRange, count);
    if (const double* xyz = copiedPositions(enemies))
        measureRangeOf(ship.position, count, [xyz](int i) { return xyz + 3 * i; });
    else
        measureRangeOf(ship.position, count,
                       [&enemies](int i) { return enemies.ships[i].position; });
}

// Returns the last node of the ship's beam list (the sentinel when empty).
BeamShot* indexBeams(Ship& ship, int enemyCount) {
    clearBits(BeamTo, enemyCount);
    if (BeamBefore.size() < static_cast<size_t>(enemyCount)) BeamBefore.resize(enemyCount);
    BeamShot* node = ship.shots;
    for (; node->next; node = node->next) {
        const int e = node->next->enemyIndex;
        if (e < 0 || e >= enemyCount || hasBit(BeamTo, e)) continue;
        setBit(BeamTo, e);
        BeamBefore[e] = node;
    }
    return node;
}

// Returns the last node of the ship's missile list (the sentinel when empty).
Missile* indexMissiles(const Ship& ship, int enemyCount) {
    clearBits(MissileTo, enemyCount);
    Missile* node = ship.missiles;
    for (; node->next; node = node->next) {
        const int e = node->next->enemyIndex;
        if (e >= 0 && e < enemyCount) setBit(MissileTo, e);
    }
    return node;
}

// dropBeam that keeps BeamBefore and the tail right: the beam after the
// dropped one now follows `before`. A beam fired later is appended, so it
// never precedes a beam already indexed.
void dropIndexedBeam(BeamShot* before, BeamShot*& tail) {
    BeamShot* gone = before->next;
    dropBeam(before);
    if (gone == tail) tail = before;
    if (BeamShot* follower = before->next) {
        const int e = follower->enemyIndex;
        if (e >= 0 && static_cast<size_t>(e) < BeamBefore.size() && hasBit(BeamTo, e) &&
            BeamBefore[e] == gone)
            BeamBefore[e] = before;
    }
}

void drawBeam(Ship& ship, const BeamShot& beam, const RaceData& ownRace) {
    const Ship& target = *beam.target;
    const RaceData& targetRace = enemyFleetOf(ship.alliance).races[target.raceIndex];
    const MeshVertex& v = shieldMesh(targetRace).vertices[beam.vertex];
    const double p[3] = {v.x, v.y, v.z};
    rotateByShipAngles(ship, target, p);
    for (int i = 0; i < 3; ++i)
        ship.worldPoint[i] += target.position[i];

    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glBegin(GL_LINES);
    glColor3f(ownRace.beamColourNear[0], ownRace.beamColourNear[1], ownRace.beamColourNear[2]);
    glVertex3f(static_cast<float>(ship.position[0]), static_cast<float>(ship.position[1]),
               static_cast<float>(ship.position[2]));
    glColor3f(ownRace.beamColourFar[0], ownRace.beamColourFar[1], ownRace.beamColourFar[2]);
    glVertex3f(static_cast<float>(ship.worldPoint[0]), static_cast<float>(ship.worldPoint[1]),
               static_cast<float>(ship.worldPoint[2]));
    glEnd();
    glColor3f(1, 1, 1);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glEnable(GL_CULL_FACE);
}

void beginBattlePass() {
    for (int f = 0; f < 2; ++f) {
        const FleetState& fleet = Fleets[f];
        PositionCopy& copy = Copies[f];
        copy.ships = fleet.ships;
        copy.count = fleet.shipCount;
        copy.xyz.resize(3 * static_cast<size_t>(fleet.shipCount));
        for (int i = 0; i < fleet.shipCount; ++i)
            for (int axis = 0; axis < 3; ++axis)
                copy.xyz[3 * static_cast<size_t>(i) + axis] = fleet.ships[i].position[axis];
    }
    CopiesLive = true;
}

void endBattlePass() {
    CopiesLive = false;
}
} // namespace

void runBattlePass() {
    beginBattlePass();
    for (int alliance = 1; alliance <= 2; ++alliance) {
        FleetState& fleet = fleetOf(alliance);
        for (int i = 0; i < fleet.shipCount; ++i) {
            // The next ship's list heads are fetched while this one fights.
            if (i + 1 < fleet.shipCount) {
                __builtin_prefetch(fleet.ships[i + 1].shots);
                __builtin_prefetch(fleet.ships[i + 1].missiles);
            }
            engage(fleet.ships[i]);
            weaponsPass(fleet.ships[i]);
        }
    }
    endBattlePass();
}

void positionChanged(const Ship& ship) {
    if (!CopiesLive) return;
    for (PositionCopy& copy : Copies) {
        if (copy.count == 0 || &ship < copy.ships || &ship >= copy.ships + copy.count) continue;
        const size_t i = static_cast<size_t>(&ship - copy.ships);
        for (int axis = 0; axis < 3; ++axis)
            copy.xyz[3 * i + axis] = ship.position[axis];
    }
}

int rollVertex() {
    int r = drawRandom();
    if (r >= HitPointCount) r = r / 50;
    if (r >= HitPointCount) r = r / 26;
    return r;
}

void engage(Ship& ship) {
    FleetState& enemies = enemyFleetOf(ship.alliance);
    if (ship.dying) {
        explosionStep(ship);
    } else {
        const int count = enemies.shipCount;
        measureRange(ship, enemies);
        ship.fireCheckTime = clockNow();
        if (static_cast<uint32_t>(ship.fireCheckTime - ship.spawnTime) > BeamFireDelayMs) {
            // Enemies in range get a roll and a beam if they have none; a beam
            // to an enemy out of range ends.
            BeamShot* tail = indexBeams(ship, count);
            forEachBit(
                InRange.size(), [](size_t w) { return InRange[w] | BeamTo[w]; },
                [&](int i) {
                    if (!hasBit(InRange, i)) {
                        dropIndexedBeam(BeamBefore[i], tail);
                        return;
                    }
                    // The roll is drawn even when a beam to this enemy already exists.
                    const int vertex = rollVertex();
                    if (!hasBit(BeamTo, i)) tail = appendBeam(tail, enemies.ships[i], i, vertex);
                });
        }
        Missile* tail = indexMissiles(ship, count);
        forEachBit(
            InRange.size(), [](size_t w) { return InRange[w]; },
            [&](int i) {
                const int vertex = rollVertex();
                if (!hasBit(MissileTo, i))
                    tail = appendMissile(tail, ship, enemies.ships[i], i, vertex);
            });
    }
    if (ship.shieldsUp == 0 && ship.dying == 0) spawnSmokePuff(PuffListHead, ship.position);
}

void weaponsPass(Ship& ship) {
    if (!ship.dying) {
        const RaceData& ownRace = raceOf(ship);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        BeamShot* before = ship.shots;
        while (BeamShot* beam = before->next) {
            beam->lastTime = clockNow();
            const float age =
                static_cast<float>(static_cast<uint32_t>(beam->lastTime - beam->startTime));
            const double threshold = drawRandom() / BeamLifeDivisor;
            if (threshold < age) {
                dropBeam(before); // look again at the node that now follows
                continue;
            }
            drawBeam(ship, *beam, ownRace);
            before = beam;
        }
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_LIGHTING);
    }
    missilePass(ship);
}

void fireBeam(Ship& ship, Ship& enemy, int enemyIndex, int vertex) {
    BeamShot* tail = ship.shots;
    while (tail->next)
        tail = tail->next;
    appendBeam(tail, enemy, enemyIndex, vertex);
}

BeamShot* appendBeam(BeamShot* tail, Ship& enemy, int enemyIndex, int vertex) {
    BeamShot* beam = BeamPool.take();
    beam->target = &enemy;
    beam->vertex = vertex;
    beam->enemyIndex = enemyIndex;
    beam->startTime = clockNow();
    beam->lastTime = beam->startTime;
    tail->next = beam;
    registerHit(enemy, vertex, BeamImpactKind);
    return beam;
}

void dropBeam(BeamShot* after) {
    BeamShot* beam = after->next;
    if (!beam) return;
    releaseImpact(*beam->target, beam->vertex);
    after->next = beam->next;
    BeamPool.give(beam);
}
