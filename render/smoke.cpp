#include "render/smoke.h"

#include "battle/node_pool.h"

#include "data/effects.h"
#include "gl/gl_table.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "render/hull.h"
#include "render/texture.h"

SmokePuff* PuffListHead = nullptr;

namespace {
// Spare puff nodes; expired puffs are reused by the next ones dropped.
NodePool<SmokePuff> PuffPool;
// A node of PuffListHead's list at or before its end, so that a drop need not
// walk the whole list; removeNextPuff moves it back when it unlinks it.
SmokePuff* PuffTail = nullptr;
} // namespace

namespace {
constexpr int DropThreshold = 19000;
constexpr float LifeMs = 800.0f;
constexpr float GrowthMs = 500.0f;
constexpr float StartSize = 0.15f;
constexpr float Grey = 0.35f;
constexpr int SpriteTriangles = 2;
} // namespace

void createPuffList() {
    releasePuffList();
    PuffListHead = new SmokePuff();
    PuffTail = PuffListHead;
}

void releasePuffList() {
    while (PuffListHead) {
        SmokePuff* next = PuffListHead->next;
        delete PuffListHead;
        PuffListHead = next;
    }
    PuffPool.clear();
    PuffTail = nullptr;
}

void spawnSmokePuff(SmokePuff* head, const double position[3]) {
    if (drawRandom() <= DropThreshold || !head) return;
    SmokePuff* last = head == PuffListHead && PuffTail ? PuffTail : head;
    while (last->next)
        last = last->next;
    SmokePuff* puff = PuffPool.take();
    puff->alpha = 1.0f;
    puff->startTime = clockNow();
    puff->lastTime = clockNow();
    puff->x = static_cast<float>(position[0]);
    puff->y = static_cast<float>(position[1]);
    puff->z = static_cast<float>(position[2]);
    last->next = puff;
    if (head == PuffListHead) PuffTail = puff;
}

void removeNextPuff(SmokePuff* node) {
    SmokePuff* gone = node ? node->next : nullptr;
    if (!gone) return;
    node->next = gone->next;
    if (gone == PuffTail) PuffTail = node;
    PuffPool.give(gone);
}

void drawSmokePuffs() {
    bindResident(Effects.smokeTexture, Effects.smokeImage, TextureKind::Rgba);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    SmokePuff* current = PuffListHead;
    while (current && current->next) {
        SmokePuff* puff = current->next;
        puff->lastTime = clockNow();
        const float age = static_cast<float>(puff->lastTime - puff->startTime);
        if (age >= LifeMs) {
            // Stay put: the next puff may have expired too.
            removeNextPuff(current);
            continue;
        }
        puff->alpha = (LifeMs - age) / LifeMs;
        const float size = age / GrowthMs + StartSize;
        glPushMatrix();
        glTranslatef(puff->x, puff->y, puff->z);
        glScalef(size, size, size);
        glColor4f(Grey, Grey, Grey, puff->alpha);
        drawSpriteTriangles(Effects.spriteMesh, SpriteTriangles);
        glPopMatrix();
        current = puff;
    }

    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glColor3f(1.0f, 1.0f, 1.0f);
}

long sparePuffCount() {
    return PuffPool.spareCount();
}
