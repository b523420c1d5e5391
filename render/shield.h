// Shield bubbles and the impact flashes on their hit points.
#pragma once
#include "battle/ship.h"

// Degrees the shield texture is turned by; every bubble drawn advances it by a
// step for each tick since its last.
extern float ShieldSpin;

// The translucent bubble of a shielded ship. Expects the alliance pass to have
// bound the shield texture and set the blended, unlit state.
void drawShield(Ship& ship);

// The flashes on struck hit points, and the advance of their animations.
// Sets and restores its own state.
void drawImpacts(Ship& ship);
