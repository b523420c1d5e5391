#include "data/effects.h"
#include "data/fleet.h"

FleetState Fleets[2];
EffectAssets Effects;
uint32_t BackgroundTextures[BackgroundImageCount] = {};
