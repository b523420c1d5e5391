// Cruising: every ship picks a new attitude every 3 s, turns to it and flies
// forward at 2 units/s; a ship that strays from the centre turns back.
#pragma once
#include "battle/ship.h"

void chooseManoeuvre(Ship& ship);
void steerToCentre(Ship& ship);
void turnShip(Ship& ship);
void moveShip(Ship& ship);
