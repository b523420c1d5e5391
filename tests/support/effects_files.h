// Effects files for tests: a small valid "Explosion.as" record.
#pragma once
#include "data/formats.h"

#include <string>

// 50 frames of 2x2 BGRA; 6 backgrounds of 3x2 BGR, each one solid colour
// (slot i has blue i + 1, green 16 * i, red 200 - i); a 4-vertex 2-triangle
// sprite, a 1-triangle blast and spare mesh; five 2x2 single images whose
// bytes are 1 to 5.
EffectsFileRecord smallEffects();

// Releases everything loadSceneAssets put into Effects, so later tests start empty.
void releaseLoadedEffects();

// Writes `effects` as directory + "Explosion.as".
void writeEffects(const std::string& directory, const EffectsFileRecord& effects);
