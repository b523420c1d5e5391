#include "battle/engage.h"

#include "battle/fleet.h"
#include "battle/hits.h"
#include "battle/missile.h"
#include "battle/tick.h"
#include "gl/gl_table.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "render/smoke.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace {
// Maps a draw (0..32767) to 0..1500 ms of beam life.
constexpr double BeamLifeDivisor = 21.845;

// Per-enemy views of one engage step, rebuilt at its start so that the loops
// over the enemies neither walk the weapon lists nor measure a pair twice,
// and visit only the enemies they act on. One byte an enemy (0 or 1), padded
// to whole groups of eight. The buffers only grow.
using Flags = std::vector<uint8_t>;
Flags InRange;                     // the enemy is engaged (same answer in both loops)
Flags BeamTo;                      // a beam to the enemy exists
Flags MissileTo;                   // a missile to the enemy is in flight
Flags Spent;                       // the beam to the enemy ended on its life roll
std::vector<BeamShot*> BeamBefore; // node before the first beam to each enemy in BeamTo
std::vector<uint32_t> NextBeamAt;  // the tick the next beam is due, for each enemy in Spent

size_t paddedCount(int count) {
    return (static_cast<size_t>(count) + 7) & ~size_t{7};
}
void clearFlags(Flags& flags, int count) {
    flags.assign(paddedCount(count), 0);
}

// Enemy first + k is byte k of the group, bits 8k to 8k + 7.
static_assert(std::endian::native == std::endian::little, "flag groups assume little-endian");
uint64_t group(const Flags& flags, size_t first) {
    uint64_t bytes;
    std::memcpy(&bytes, flags.data() + first, sizeof bytes);
    return bytes;
}

// Calls visit(i) for each enemy whose byte in groups(first) is set, in
// ascending order of i; groups(first) gives the eight bytes from enemy
// `first` on and is read when the loop gets there.
template <class Groups, class Visit> void forEachFlagged(int count, Groups groups, Visit visit) {
    for (size_t first = 0; first < static_cast<size_t>(count); first += 8)
        for (uint64_t bytes = groups(first); bytes; bytes &= bytes - 1)
            visit(static_cast<int>(first + static_cast<size_t>(std::countr_zero(bytes)) / 8));
}

// Both fleets' positions, one array an axis, copied for the battle pass so that
// the range test streams through them instead of touching a cache line of each
// enemy's record. Only live between beginBattlePass and endBattlePass; a
// respawn updates it.
struct PositionCopy {
    const Ship* ships = nullptr;
    int count = 0;
    std::vector<double> axis[3];
};
PositionCopy Copies[2];
bool CopiesLive = false;

const PositionCopy* copiedPositions(const FleetState& fleet) {
    if (!CopiesLive) return nullptr;
    for (const PositionCopy& copy : Copies)
        if (copy.ships == fleet.ships && copy.count == fleet.shipCount) return &copy;
    return nullptr;
}

uint8_t engaged(const double own[3], double x, double y, double z) {
    const double dx = own[0] - x, dy = own[1] - y, dz = own[2] - z;
    const double d2 = dx * dx + dy * dy + dz * dz;
    return static_cast<uint8_t>((d2 < EngagementRangeSquared) & (d2 != 0));
}

// Positions do not change during the step (only a dying ship's own step
// moves it), so one measurement serves the beam and the missile loop.
// Branch-free: the test is unpredictable and most enemies are out of range.
void measureRange(const Ship& ship, const FleetState& enemies) {
    const int count = enemies.shipCount;
    clearFlags(InRange, count);
    uint8_t* near = InRange.data();
    const double* own = ship.position;
    if (const PositionCopy* copy = copiedPositions(enemies)) {
        const double* x = copy->axis[0].data();
        const double* y = copy->axis[1].data();
        const double* z = copy->axis[2].data();
        for (int i = 0; i < count; ++i)
            near[i] = engaged(own, x[i], y[i], z[i]);
    } else {
        for (int i = 0; i < count; ++i) {
            const double* p = enemies.ships[i].position;
            near[i] = engaged(own, p[0], p[1], p[2]);
        }
    }
}

// Returns the last node of the ship's beam list (the sentinel when empty).
BeamShot* indexBeams(Ship& ship, int enemyCount) {
    clearFlags(BeamTo, enemyCount);
    if (BeamBefore.size() < static_cast<size_t>(enemyCount)) BeamBefore.resize(enemyCount);
    BeamShot* node = ship.shots;
    for (; node->next; node = node->next) {
        const int e = node->next->enemyIndex;
        if (e < 0 || e >= enemyCount || BeamTo[e]) continue;
        BeamTo[e] = 1;
        BeamBefore[e] = node;
    }
    return node;
}

// A beam that its life roll ended is followed by the next one a tick later,
// as when every frame was one tick: a long frame must not stretch the pause
// between two beams, nor a short one cut it.
void indexSpentBeams(const Ship& ship, int enemyCount) {
    clearFlags(Spent, enemyCount);
    if (NextBeamAt.size() < static_cast<size_t>(enemyCount)) NextBeamAt.resize(enemyCount);
    for (const BeamShot* spent = ship.spentShots; spent; spent = spent->next) {
        const int e = spent->enemyIndex;
        if (e < 0 || e >= enemyCount) continue;
        Spent[e] = 1;
        NextBeamAt[e] = spent->lastTime + TickMs;
    }
}

// Forgets the spent beams whose follower was fired or will not be (the enemy
// is out of range); the others wait for their tick.
void sweepSpentBeams(Ship& ship, int enemyCount, uint32_t now) {
    BeamShot** link = &ship.spentShots;
    while (BeamShot* spent = *link) {
        const int e = spent->enemyIndex;
        if (e >= 0 && e < enemyCount && InRange[e] && !tickReached(NextBeamAt[e], now)) {
            link = &spent->next;
            continue;
        }
        *link = spent->next;
        BeamPool.give(spent);
    }
}

// Rolls the beam's life at every tick due: it survives a tick with
// probability 1 - age/1500.
bool beamLives(BeamShot& beam, uint32_t now) {
    while (nextTick(beam.lastTime, now)) {
        const float age = static_cast<float>(static_cast<uint32_t>(beam.lastTime - beam.startTime));
        const double threshold = drawRandom() / BeamLifeDivisor;
        if (threshold < age) return false;
    }
    return true;
}

// Ends the beam after `before` on its life roll: its slot clears, and the node
// waits in spentShots, with the tick it ended, for the next beam's tick.
void spendBeam(Ship& ship, BeamShot* before) {
    BeamShot* beam = before->next;
    releaseImpact(*beam->target, beam->vertex);
    before->next = beam->next;
    beam->next = ship.spentShots;
    ship.spentShots = beam;
}

// Returns the last node of the ship's missile list (the sentinel when empty).
Missile* indexMissiles(const Ship& ship, int enemyCount) {
    clearFlags(MissileTo, enemyCount);
    Missile* node = ship.missiles;
    for (; node->next; node = node->next) {
        const int e = node->next->enemyIndex;
        if (e >= 0 && e < enemyCount) MissileTo[e] = 1;
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
        if (e >= 0 && static_cast<size_t>(e) < BeamBefore.size() && BeamTo[e] &&
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
        for (int axis = 0; axis < 3; ++axis) {
            copy.axis[axis].resize(static_cast<size_t>(fleet.shipCount));
            for (int i = 0; i < fleet.shipCount; ++i)
                copy.axis[axis][i] = fleet.ships[i].position[axis];
        }
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

void drawBattleView() {
    for (int alliance = 1; alliance <= 2; ++alliance) {
        FleetState& fleet = fleetOf(alliance);
        for (int i = 0; i < fleet.shipCount; ++i) {
            Ship& ship = fleet.ships[i];
            if (ship.dying) {
                drawExplosion(ship);
            } else {
                glDisable(GL_LIGHTING);
                glDisable(GL_TEXTURE_2D);
                for (const BeamShot* beam = ship.shots->next; beam; beam = beam->next)
                    drawBeam(ship, *beam, raceOf(ship));
                glEnable(GL_TEXTURE_2D);
                glEnable(GL_LIGHTING);
            }
            drawMissiles(ship);
        }
    }
}

void positionChanged(const Ship& ship) {
    if (!CopiesLive) return;
    for (PositionCopy& copy : Copies) {
        // std::less orders any two pointers, also ones into different fleets.
        const std::less<const Ship*> before;
        if (copy.count == 0 || before(&ship, copy.ships) || !before(&ship, copy.ships + copy.count))
            continue;
        const size_t i = static_cast<size_t>(&ship - copy.ships);
        for (int axis = 0; axis < 3; ++axis)
            copy.axis[axis][i] = ship.position[axis];
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
        const uint32_t now = ship.fireCheckTime;
        if (static_cast<uint32_t>(now - ship.spawnTime) > BeamFireDelayMs) {
            // Enemies in range get a roll and a beam if they have none; a beam
            // to an enemy out of range ends.
            BeamShot* tail = indexBeams(ship, count);
            indexSpentBeams(ship, count);
            forEachFlagged(
                count, [](size_t first) { return group(InRange, first) | group(BeamTo, first); },
                [&](int i) {
                    if (!InRange[i]) {
                        dropIndexedBeam(BeamBefore[i], tail);
                        return;
                    }
                    // The roll is drawn even when a beam to this enemy already exists.
                    const int vertex = rollVertex();
                    if (BeamTo[i]) return;
                    uint32_t start = now;
                    if (Spent[i]) {
                        if (!tickReached(NextBeamAt[i], now)) return;
                        if (now - NextBeamAt[i] < TickStallMs) start = NextBeamAt[i];
                    }
                    tail = appendBeam(tail, enemies.ships[i], i, vertex, start);
                });
            sweepSpentBeams(ship, count, now);
        }
        Missile* tail = indexMissiles(ship, count);
        forEachFlagged(
            count, [](size_t first) { return group(InRange, first); },
            [&](int i) {
                const int vertex = rollVertex();
                if (!MissileTo[i]) tail = appendMissile(tail, ship, enemies.ships[i], i, vertex);
            });
    }
    // A ship without its shield may drop a puff at every tick.
    if (!ship.dying) {
        const uint32_t now = clockNow();
        while (nextTick(ship.smokeTick, now))
            if (ship.shieldsUp == 0) spawnSmokePuff(PuffListHead, ship.position);
    }
}

void weaponsPass(Ship& ship) {
    if (!ship.dying) {
        const RaceData& ownRace = raceOf(ship);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        BeamShot* before = ship.shots;
        while (BeamShot* beam = before->next) {
            if (!beamLives(*beam, clockNow())) {
                spendBeam(ship, before); // look again at the node that now follows
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

BeamShot* appendBeam(BeamShot* tail, Ship& enemy, int enemyIndex, int vertex, uint32_t start) {
    BeamShot* beam = BeamPool.take();
    beam->target = &enemy;
    beam->vertex = vertex;
    beam->enemyIndex = enemyIndex;
    beam->startTime = start;
    beam->lastTime = start - TickMs; // its first life roll, at age 0, is due at once
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
