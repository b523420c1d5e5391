// Homing missiles: one per enemy in range, flying to a hit point on its shield.
#pragma once
#include "battle/node_pool.h"
#include "battle/ship.h"

// Spare missile nodes, shared by every ship.
inline NodePool<Missile> MissilePool;

constexpr double MissileSpeed = 2.75;      // units per second
constexpr double MissileHitRadius = 0.175; // distance to the aim point that counts as a hit
constexpr double MissileSpinRate = 500;    // degrees per second
// Step used when the measured one is not a plausible frame (<= 0 s or >= 1 s).
constexpr double MissileFallbackStep = 0.001;

// Appends a missile from the ship's position to hit point `vertex` of `enemy`.
void launchMissile(Ship& ship, Ship& enemy, int enemyIndex, int vertex);
// The same after `tail`, the ship's last missile node; returns the new one.
Missile* appendMissile(Missile* tail, const Ship& ship, Ship& enemy, int enemyIndex, int vertex);

// Draws the ship's missiles, then moves each one step towards its aim point;
// a missile that arrives registers its hit and is removed in the same pass.
void missilePass(Ship& ship);

// The two halves of the missile pass.
void drawMissiles(Ship& ship);
void flyMissiles(Ship& ship);
