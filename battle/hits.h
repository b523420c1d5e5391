// Damage and the life cycle of a ship: hits, shield failure, explosion, respawn.
#pragma once
#include "battle/ship.h"

constexpr int BeamImpactKind = 10;
constexpr int MissileImpactKind = 2;

// One hit on `target` at hit point `vertex` (0..25): lights the impact slot,
// counts the hit, takes the shield down and marks a part from the 21st hit,
// and starts the explosion at the 31st.
void registerHit(Ship& target, int vertex, int kind);

// Clears the target's impact slot `vertex`; used whenever a beam ends.
void releaseImpact(Ship& target, int vertex);

// Ends every beam of the ship, clearing each target's slot, and forgets its spent
// beams; the lists are left empty.
void releaseAllBeams(Ship& ship);

// One frame of a dying ship: draws fireball and blast, and respawns the ship
// once the animation has run through.
void explosionStep(Ship& ship);
// The explosion as the last step left it, drawn without a step (another view).
void drawExplosion(const Ship& ship);

// Brings the ship back at a random place away from the centre with all its
// battle state reset; its missiles in flight are left alone.
void respawnShip(Ship& ship);
