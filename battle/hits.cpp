#include "battle/hits.h"

#include "battle/engage.h"

#include "data/effects.h"
#include "gl/gl_table.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "render/hull.h"
#include "render/texture.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {
constexpr int ShieldFailsAfter = 20;
constexpr int ExplodesAfter = 30;
constexpr uint32_t ExplosionFrameMs = 60;
constexpr uint32_t LastExplosionFrame = 49;
constexpr uint32_t RespawnAfterFrame = 48;
constexpr float FireballScale = 1.95f;

// Part index from one draw: the draw range cut into partCount + 1 equal
// slices, the last slice folded onto the last part.
int partFromDraw(int draw, int partCount) {
    const int64_t slices = static_cast<int64_t>(partCount) + 1;
    int64_t width = 32768 / slices;
    if (width < 1) width = 1; // more parts than draws: the draw is the index
    int64_t part = draw / width;
    if (part > partCount - 1) part = partCount - 1;
    return static_cast<int>(part);
}

double placementFromDraw(int draw) {
    double v = draw / 350.0;
    if (v > 50) v = v / 7;
    if (v < 8) v = 8.2;
    return v;
}

void effectStateOn() {
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
}

void effectStateOff() {
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
}

void translateTo(const double position[3]) {
    glTranslatef(static_cast<float>(position[0]), static_cast<float>(position[1]),
                 static_cast<float>(position[2]));
}
} // namespace

void registerHit(Ship& target, int vertex, int kind) {
    target.impactGlow[vertex] = 1.0f;
    target.impactFrame[vertex] = 0;
    target.impactKind[vertex] = static_cast<uint8_t>(kind);
    target.impactStart[vertex] = clockNow();
    target.impactLast[vertex] = clockNow();
    target.hitCount += 1;
    if (target.hitCount > ShieldFailsAfter) {
        const int part = partFromDraw(drawRandom(), target.partCount);
        if (target.partCount > 0) target.partDamaged[part] = 1;
        target.shieldsUp = 0;
    }
    if (target.hitCount > ExplodesAfter && target.dying == 0) {
        target.dying = 1;
        target.phaseStart = clockNow();
        target.phaseNow = clockNow();
        target.deathTime = clockNow();
        releaseAllBeams(target);
    }
}

void releaseImpact(Ship& target, int vertex) {
    target.impactGlow[vertex] = 0;
    target.impactFrame[vertex] = 0;
    target.impactKind[vertex] = 0;
}

void releaseAllBeams(Ship& ship) {
    while (BeamShot* beam = ship.shots->next) {
        ship.shots->next = beam->next;
        releaseImpact(*beam->target, beam->vertex);
        BeamPool.give(beam);
    }
    // Spent beams cleared their slots when they ended.
    while (BeamShot* spent = ship.spentShots) {
        ship.spentShots = spent->next;
        BeamPool.give(spent);
    }
}

void explosionStep(Ship& ship) {
    ship.phaseNow = clockNow();
    ship.elapsedMs = ship.phaseNow - ship.phaseStart;

    ship.blastNow = clockNow();
    const uint32_t sinceDeath = ship.blastNow - ship.deathTime;
    // Signed, so that a late last frame fades to nothing instead of wrapping.
    ship.blastColour[3] = (3000.0f - static_cast<float>(sinceDeath)) / 3100.0f;
    ship.blastScale = static_cast<float>(std::sqrt(static_cast<double>(sinceDeath)) / 25.0 + 0.15);

    drawExplosion(ship);
    if (ship.elapsedMs / ExplosionFrameMs > RespawnAfterFrame) respawnShip(ship);
}

void drawExplosion(const Ship& ship) {
    // From the phase, which only the step moves (a missile's flight reuses elapsedMs).
    uint32_t frame = static_cast<uint32_t>(ship.phaseNow - ship.phaseStart) / ExplosionFrameMs;
    if (frame > LastExplosionFrame) frame = LastExplosionFrame;

    // Fireball: the animation frame on a billboard turned with the ship's heading.
    glPushMatrix();
    translateTo(ship.position);
    glRotated(ship.angles[2], 0.0, 0.0, 1.0);
    glScalef(FireballScale, FireballScale, FireballScale);
    effectStateOn();
    bindResident(Effects.explosionTextures[frame], Effects.explosionFrames[frame],
                 TextureKind::Rgba);
    drawSpriteTriangles(Effects.spriteMesh, 2);
    effectStateOff();
    glPopMatrix();

    // Blast: the expanding shell, fading out.
    glPushMatrix();
    applyShipTransform(ship);
    glScalef(ship.blastScale, ship.blastScale, ship.blastScale);
    effectStateOn();
    bindResident(Effects.blastTexture, Effects.blastImage, TextureKind::Rgba);
    glColor4f(ship.blastColour[0], ship.blastColour[1], ship.blastColour[2], ship.blastColour[3]);
    drawSpriteTriangles(Effects.blastMesh, Effects.blastMesh.triangleCount);
    effectStateOff();
    glColor3f(1, 1, 1);
    glPopMatrix();
}

void respawnShip(Ship& ship) {
    ship.dying = 0;
    ship.shieldsUp = 1;
    ship.hitCount = 0;
    ship.forward[0] = 0;
    ship.forward[1] = -1;
    ship.forward[2] = 0;

    const int drawX = drawRandom();
    const int drawY = drawRandom();
    double x = placementFromDraw(drawX);
    double y = placementFromDraw(drawY);
    if (drawRandom() > 16384) x = -x;
    if (drawRandom() < 16384) y = -y;
    ship.position[0] = x;
    ship.position[1] = y;
    ship.position[2] = 0;
    positionChanged(ship);

    ship.phaseStart = clockNow() - 3000; // a new manoeuvre starts at once
    ship.phaseNow = clockNow();
    ship.moveTime = clockNow();
    ship.prevMoveTime = clockNow();
    ship.spawnTime = clockNow();
    ship.fireCheckTime = clockNow();
    ship.deathTime = clockNow();
    ship.blastNow = clockNow();
    ship.smokeTick = clockNow();
    ship.spinTick = clockNow();
    ship.elapsedMs = 0;
    ship.stepSeconds = 0;
    for (int i = 0; i < 3; ++i)
        ship.angles[i] = ship.goalAngles[i] = ship.startAngles[i] = ship.worldPoint[i] = 0;

    std::memcpy(ship.blastColour, BlastColourDefault, sizeof ship.blastColour);
    ship.blastScale = 0;

    for (int i = 0; i < 26; ++i) {
        ship.impactGlow[i] = 0;
        ship.impactFrame[i] = 0;
        ship.impactKind[i] = 0;
    }
    for (int i = 0; i < ship.partCount; ++i)
        ship.partDamaged[i] = 0;
    // Its beams ended at death; this only matters when a living ship is respawned.
    releaseAllBeams(ship);
}
