#include "render/shield.h"

#include "battle/fleet.h"
#include "battle/hits.h"
#include "battle/tick.h"
#include "data/effects.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"
#include "platform/clock.h"
#include "render/hull.h"
#include "render/texture.h"

float ShieldSpin = 0.0f;

namespace {
constexpr float SpinStep = 1.55f;
constexpr int LoopFirstFrame = 10;
constexpr int LoopLastFrame = 30;
constexpr int OneShotLastFrame = 49;
constexpr double OneShotFrameMs = 15.2;
constexpr float BeamFlashScale = 0.45f;
constexpr float MissileFlashScale = 0.6f;

// Hit points a shield mesh really has; a short mesh must not index past its
// vertices or the ship's impact slots.
int usableHitPoints(const Mesh& shield) {
    return shield.vertexCount < HitPointCount ? shield.vertexCount : HitPointCount;
}

void drawBubbleTriangles(const Ship& ship, const RaceData& race) {
    const Mesh& shield = shieldMesh(race);
    const int points = usableHitPoints(shield);
    const int count =
        shield.triangleCount < ShieldTriangleCount ? shield.triangleCount : ShieldTriangleCount;
    const float* colour = race.shieldColour;
    glBegin(GL_TRIANGLES);
    for (int t = 0; t < count; ++t) {
        const MeshTriangle& triangle = shield.triangles[t];
        const int corners[3] = {triangle.a, triangle.b, triangle.c};
        bool inside = true;
        for (int corner : corners)
            inside = inside && corner >= 0 && corner < points;
        if (!inside) continue;
        for (int corner : corners) {
            const MeshVertex& v = shield.vertices[corner];
            // The glow of the hit point is the bubble's opacity there.
            glColor4f(colour[0], colour[1], colour[2], ship.impactGlow[corner]);
            glMultiTexCoord2fARB(GL_TEXTURE0_ARB, v.u, v.v);
            glVertex3f(v.x, v.y, v.z);
        }
    }
    glEnd();
}

void placeFlash(const Ship& ship, float scale) {
    glTranslatef(static_cast<float>(ship.worldPoint[0]), static_cast<float>(ship.worldPoint[1]),
                 static_cast<float>(ship.worldPoint[2]));
    glRotated(ship.angles[0], 1.0, 0.0, 0.0);
    glRotated(ship.angles[1], 0.0, 1.0, 0.0);
    glRotated(ship.angles[2], 0.0, 0.0, 1.0);
    glScalef(scale, scale, scale);
}

void drawFlashFrame(int frame) {
    if (frame < 0 || frame >= ExplosionFrameCount) return;
    bindResident(Effects.explosionTextures[frame], Effects.explosionFrames[frame],
                 TextureKind::Rgba);
    drawSpriteTriangles(Effects.spriteMesh, Effects.spriteMesh.triangleCount);
}

void clearSlot(Ship& ship, int slot, uint32_t now) {
    ship.impactFrame[slot] = 0;
    ship.impactGlow[slot] = 0;
    ship.impactKind[slot] = 0;
    ship.impactStart[slot] = now;
    ship.impactLast[slot] = now;
}
} // namespace

void drawShield(Ship& ship) {
    if (ship.shieldsUp == 1) {
        glPushMatrix();
        applyShipTransform(ship);
        if (!MultitextureAvailable) {
            // Without a second unit the bubble stays invisible.
            glBegin(GL_TRIANGLES);
            glEnd();
        } else {
            glActiveTextureARB(GL_TEXTURE0_ARB);
            glMatrixMode(GL_TEXTURE);
            glPushMatrix();
            // Each bubble turns the texture on by a step per tick.
            const uint32_t now = clockNow();
            while (nextTick(ship.spinTick, now)) {
                ShieldSpin += SpinStep;
                if (ShieldSpin > 360.0f) ShieldSpin = 0.0f;
            }
            glRotatef(ShieldSpin, 0.0f, 0.0f, 1.0f);
            drawBubbleTriangles(ship, raceOf(ship));
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
        }
        glPopMatrix();
    }
    glColor3f(1.0f, 1.0f, 1.0f);
}

void drawImpacts(Ship& ship) {
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const Mesh& shield = shieldMesh(raceOf(ship));
    const int points = usableHitPoints(shield);
    for (int i = 0; i < points; ++i) {
        if (ship.impactGlow[i] == 0.0f) continue;
        const MeshVertex& vertex = shield.vertices[i];
        const double local[3] = {vertex.x, vertex.y, vertex.z};
        rotateByShipAngles(ship, ship, local);
        for (int axis = 0; axis < 3; ++axis)
            ship.worldPoint[axis] += ship.position[axis];

        if (ship.impactKind[i] == BeamImpactKind) {
            // Beam hit: one picture per tick, looping while the beam lasts.
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
            glPushMatrix();
            placeFlash(ship, BeamFlashScale);
            drawFlashFrame(ship.impactFrame[i]);
            const uint32_t now = clockNow();
            while (nextTick(ship.impactLast[i], now))
                if (++ship.impactFrame[i] > LoopLastFrame) ship.impactFrame[i] = LoopFirstFrame;
            glPopMatrix();
        } else if (ship.impactKind[i] == MissileImpactKind) {
            // Missile hit: runs on time and frees its slot when played out.
            glPushMatrix();
            placeFlash(ship, MissileFlashScale);
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
            drawFlashFrame(ship.impactFrame[i]);
            glPopMatrix();
            const uint32_t now = clockNow();
            ship.impactLast[i] = now;
            const uint32_t elapsed = ship.impactLast[i] - ship.impactStart[i];
            ship.impactFrame[i] =
                static_cast<int32_t>(static_cast<double>(elapsed) / OneShotFrameMs);
            if (ship.impactFrame[i] > OneShotLastFrame) clearSlot(ship, i, now);
        }
    }

    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
}
