#include "battle/missile.h"

#include "battle/fleet.h"
#include "battle/hits.h"
#include "data/effects.h"
#include "gl/gl_table.h"
#include "platform/clock.h"
#include "render/hull.h"
#include "render/texture.h"

#include <cmath>

void launchMissile(Ship& ship, Ship& enemy, int enemyIndex, int vertex) {
    Missile* tail = ship.missiles;
    while (tail->next)
        tail = tail->next;
    appendMissile(tail, ship, enemy, enemyIndex, vertex);
}

Missile* appendMissile(Missile* tail, const Ship& ship, Ship& enemy, int enemyIndex, int vertex) {
    Missile* missile = MissilePool.take();
    missile->target = &enemy;
    missile->vertex = vertex;
    missile->enemyIndex = enemyIndex;
    missile->spin = 0;
    missile->prevTime = clockNow();
    missile->lastTime = missile->prevTime;
    for (int i = 0; i < 3; ++i)
        missile->position[i] = static_cast<float>(ship.position[i]);
    missile->done = 0;
    tail->next = missile;
    return missile;
}

void drawMissiles(Ship& ship) {
    const RaceData& race = raceOf(ship);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    bindResident(race.projectileTexture, *race.projectileImage, TextureKind::Rgba);
    for (const Missile* m = ship.missiles->next; m; m = m->next) {
        if (m->done) continue;
        glPushMatrix();
        glTranslatef(m->position[0], m->position[1], m->position[2]);
        glRotatef(m->spin, 0, 0, 1);
        drawSpriteTriangles(Effects.spriteMesh, Effects.spriteMesh.triangleCount);
        glPopMatrix();
    }
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
}

void flyMissiles(Ship& ship) {
    const FleetState& enemies = enemyFleetOf(ship.alliance);
    Missile* before = ship.missiles;
    while (Missile* m = before->next) {
        m->prevTime = m->lastTime;
        m->lastTime = clockNow();
        ship.elapsedMs = m->lastTime - m->prevTime;
        ship.stepSeconds = ship.elapsedMs / 1000.0;
        if (ship.stepSeconds <= 0 || ship.stepSeconds >= 1) ship.stepSeconds = MissileFallbackStep;
        const double step = ship.stepSeconds;

        // The target's hit point where it is now: it may have turned, moved or respawned.
        Ship& target = *m->target;
        const MeshVertex& v = shieldMesh(enemies.races[target.raceIndex]).vertices[m->vertex];
        const double p[3] = {v.x, v.y, v.z};
        rotateByShipAngles(ship, target, p);
        float delta[3];
        for (int i = 0; i < 3; ++i) {
            const float aim =
                static_cast<float>(ship.worldPoint[i]) + static_cast<float>(target.position[i]);
            delta[i] = aim - m->position[i];
        }
        const float dist =
            std::sqrt(delta[0] * delta[0] + delta[1] * delta[1] + delta[2] * delta[2]);

        if (dist < MissileHitRadius) {
            m->done = 1;
            registerHit(target, m->vertex, MissileImpactKind);
            m->prevTime = clockNow();
            m->lastTime = m->prevTime;
            before->next = m->next;
            MissilePool.give(m);
            continue;
        }
        for (int i = 0; i < 3; ++i)
            m->position[i] =
                static_cast<float>(m->position[i] + delta[i] / dist * MissileSpeed * step);
        m->spin = static_cast<float>(m->spin + MissileSpinRate * step);
        if (m->spin > 360) m->spin = 0;
        before = m;
    }
}

void missilePass(Ship& ship) {
    drawMissiles(ship);
    flyMissiles(ship);
}
