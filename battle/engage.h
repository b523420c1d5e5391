// The per-ship battle step: beams and missiles against every enemy in range.
#pragma once
#include "battle/node_pool.h"
#include "battle/ship.h"

// Spare beam nodes, shared by every ship.
inline NodePool<BeamShot> BeamPool;

// Squared distance below which an enemy is engaged.
constexpr double EngagementRangeSquared = 6.0;
// Beams fire only when more than this has passed since (re)spawn.
constexpr uint32_t BeamFireDelayMs = 1500;

// The battle pass of a frame: each ship of alliance 1, then of alliance 2,
// engages and then flies its beams and missiles. During the pass no ship moves
// except by respawning, which reports it through positionChanged, so the range
// tests read a compact copy of both fleets' positions.
void runBattlePass();
// The weapons and explosions as they are, drawn without a step of the battle:
// every live beam, missile and explosion of both fleets (a second view of the
// same battle, as on another monitor). No life is rolled, nothing moves or ends.
void drawBattleView();
void positionChanged(const Ship& ship);

// A hit point on the enemy's shield: 0..25 from one draw.
int rollVertex();

// Engagement step: the explosion of a dying ship, otherwise beams fired at or
// dropped from each enemy, missiles launched at each enemy in range, and smoke
// for a ship whose shield is down.
void engage(Ship& ship);

// Rolls each beam's life once per tick due (battle/tick.h), ends the beams
// whose life is up and draws the rest (not while dying), then flies the
// ship's missiles.
void weaponsPass(Ship& ship);

// Appends a beam to enemy `enemyIndex` after `tail`, the ship's last beam node,
// fired at `start` (now, or the tick it was due), and registers its hit;
// returns the new node.
BeamShot* appendBeam(BeamShot* tail, Ship& enemy, int enemyIndex, int vertex, uint32_t start);

// Ends the beam after `after` (clearing its target's slot) and frees it;
// nothing when `after` is the tail.
void dropBeam(BeamShot* after);
