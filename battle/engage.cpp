#include "battle/engage.h"

#include "battle/hits.h"
#include "battle/missile.h"
#include "data/fleet.h"
#include "gl/gl_table.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "render/smoke.h"

#include <cstdint>
#include <vector>

namespace {
// Maps a draw (0..32767) to 0..1500 ms of beam life.
constexpr double BeamLifeDivisor = 21.845;

double squaredDistance(const Ship& a, const Ship& b) {
    const double dx = a.position[0] - b.position[0];
    const double dy = a.position[1] - b.position[1];
    const double dz = a.position[2] - b.position[2];
    return dx * dx + dy * dy + dz * dz;
}

bool inRange(double d2) {
    return d2 < EngagementRangeSquared && d2 != 0;
}

// Per-enemy views of one ship's lists, rebuilt at the start of each engage
// step instead of walking the list once per enemy. The buffers only grow.
std::vector<BeamShot*> BeamBefore; // node before the first beam to each enemy
std::vector<uint8_t> MissileTo;    // a missile to each enemy is in flight

void indexBeams(Ship& ship, int enemyCount) {
    BeamBefore.assign(static_cast<size_t>(enemyCount), nullptr);
    for (BeamShot* node = ship.shots; node->next; node = node->next) {
        const int e = node->next->enemyIndex;
        if (e >= 0 && e < enemyCount && !BeamBefore[e]) BeamBefore[e] = node;
    }
}

void indexMissiles(const Ship& ship, int enemyCount) {
    MissileTo.assign(static_cast<size_t>(enemyCount), 0);
    for (const Missile* m = ship.missiles->next; m; m = m->next)
        if (m->enemyIndex >= 0 && m->enemyIndex < enemyCount) MissileTo[m->enemyIndex] = 1;
}

// dropBeam that keeps BeamBefore right: the beam after the dropped one now
// follows `before`. A beam fired later is appended, so it never precedes
// a beam already indexed.
void dropIndexedBeam(BeamShot* before) {
    BeamShot* gone = before->next;
    dropBeam(before);
    if (BeamShot* follower = before->next) {
        const int e = follower->enemyIndex;
        if (e >= 0 && static_cast<size_t>(e) < BeamBefore.size() && BeamBefore[e] == gone)
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
} // namespace

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
        ship.fireCheckTime = clockNow();
        if (static_cast<uint32_t>(ship.fireCheckTime - ship.spawnTime) > BeamFireDelayMs) {
            indexBeams(ship, enemies.shipCount);
            for (int i = 0; i < enemies.shipCount; ++i) {
                Ship& enemy = enemies.ships[i];
                if (!inRange(squaredDistance(ship, enemy))) {
                    if (BeamShot* before = BeamBefore[i]) dropIndexedBeam(before);
                    continue;
                }
                // The roll is drawn even when a beam to this enemy already exists.
                const int vertex = rollVertex();
                if (!BeamBefore[i]) fireBeam(ship, enemy, i, vertex);
            }
        }
        indexMissiles(ship, enemies.shipCount);
        for (int i = 0; i < enemies.shipCount; ++i) {
            Ship& enemy = enemies.ships[i];
            if (!inRange(squaredDistance(ship, enemy))) continue;
            const int vertex = rollVertex();
            if (!MissileTo[i]) launchMissile(ship, enemy, i, vertex);
        }
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
    BeamShot* beam = BeamPool.take();
    beam->target = &enemy;
    beam->vertex = vertex;
    beam->enemyIndex = enemyIndex;
    beam->startTime = clockNow();
    beam->lastTime = beam->startTime;
    tail->next = beam;
    registerHit(enemy, vertex, BeamImpactKind);
}

void dropBeam(BeamShot* after) {
    BeamShot* beam = after->next;
    if (!beam) return;
    releaseImpact(*beam->target, beam->vertex);
    after->next = beam->next;
    BeamPool.give(beam);
}
