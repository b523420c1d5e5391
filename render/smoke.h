// Smoke puffs trailed by ships whose shield is down: one list for both alliances.
#pragma once
#include <cstdint>

struct SmokePuff {
    float alpha = 1.0f;
    float x = 0, y = 0, z = 0;
    uint32_t startTime = 0;
    uint32_t lastTime = 0;
    SmokePuff* next = nullptr;
};

// Sentinel of the puff list; carries no puff. Null until createPuffList.
extern SmokePuff* PuffListHead;

// Makes an empty list (releasing any previous one).
void createPuffList();
// Frees every puff and the sentinel.
void releasePuffList();

// Drops a puff at `position` on about 42 percent of calls (a draw above 19000).
void spawnSmokePuff(SmokePuff* head, const double position[3]);

// Draws every live puff, growing and fading over 800 ms, and removes expired ones.
void drawSmokePuffs();

// Puffs kept for reuse after they expired.
long sparePuffCount();

// Unlinks and frees the node after `node`, if any.
void removeNextPuff(SmokePuff* node);
